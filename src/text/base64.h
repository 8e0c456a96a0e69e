// Base64 (RFC 4648 standard alphabet, "=" padding, no line breaks). Safe on any thread.
#pragma once

#include "text/text.h"

namespace quorvel {

// The Base64 text of bytes. When the length is not a multiple of three, the caller's array is
// lengthened with one or two zero bytes (the padding source); an empty array stays as it is
// and gives the empty text. The result is always 4 * ceil(n / 3) characters long.
Text Base64Encode(ByteArray& bytes);

}  // namespace quorvel
