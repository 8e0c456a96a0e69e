// The host of the service this build talks to, fixed when the program is built. Kept alone in
// its file so that a program can compile its own copy with another host in place of this one.
#include "app/app.h"

#ifndef QUORVEL_SERVICE_HOST
#define QUORVEL_SERVICE_HOST "127.0.0.1:8443"
#endif

namespace quorvel {

const Text ServiceHost = QUORVEL_SERVICE_HOST;

}  // namespace quorvel
