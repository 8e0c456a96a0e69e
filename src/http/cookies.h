// Cookie texts ("a=1; b=2") and their merging after a response. Pure text functions, safe on
// any thread.
#pragma once

#include "text/text.h"

namespace quorvel {

// Merges the cookies a response set (newCookies) into the ones sent (oldCookies): new items
// win over old ones of the same name, "name=deleted" items vanish, exact duplicates go.
// Both texts are normalised in place to end in "; " when they ended in ";"; oldCookies then
// receives the merged text, and a copy of it is returned.
Text MergeCookies(Text& oldCookies, Text& newCookies);
// The trimmed text before the item's first "=", or the whole item trimmed.
Text CookieName(const Text& item);
// True when some item has exactly this cookie name (case-sensitive).
bool HasCookieNamed(const TextArray& items, const Text& name);
// The distinct pieces of text, first occurrences in order, joined by separator. The pieces
// are split at separator when splitAtSeparator is true, else they are the characters.
Text JoinDistinct(const Text& text, const Text& separator, bool splitAtSeparator);
// The characters of text: GBK pairs (lead byte 0x81 or above), CR LF pairs, single bytes.
TextArray SplitCharacters(const Text& text);
// The 1-based index of the first element equal to text, or -1.
int IndexOfText(const TextArray& items, const Text& text);

}  // namespace quorvel
