// Percent-encoding of a text, byte by byte. Safe on any thread.
#pragma once

#include "text/text.h"

namespace quorvel {

// Each byte becomes "%" and two upper-case hex digits; with keepUnreserved the bytes
// - . 0-9 A-Z a-z pass unchanged. With toUtf8 the GBK text is first turned into UTF-8.
// The space becomes %20, never "+". An empty text gives the empty text.
Text UrlEncode(const Text& text, bool keepUnreserved = false, bool toUtf8 = false);

}  // namespace quorvel
