// The component runtime needs no per-thread set-up on Linux: both hooks do nothing.
#include "platform/com.h"

namespace quorvel {

void ComInitialize() {}
void ComUninitialize() {}

}  // namespace quorvel
