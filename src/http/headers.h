// Request header blocks: default headers, normalisation, and cutting one line into the name
// and value handed to the request object. Pure text functions, safe on any thread.
#pragma once

#include "text/text.h"

namespace quorvel {

// Appends line (which starts with CR LF) to block unless probe ("Accept:" and the like) occurs
// anywhere in it, ASCII case ignored.
void AppendDefaultHeader(Text& block, const Text& probe, const Text& line);
// The block split at CR LF with the lines without a colon dropped, each header name
// capitalised at its start and after each "-", joined again by CR LF with nothing at the end.
Text NormalizeHeaderBlock(const Text& block);
// The trimmed text before the first colon; empty when there is no colon.
Text HeaderName(const Text& line);
// The trimmed text after the first colon; empty when there is no colon.
Text HeaderValue(const Text& line);
// The text with its first byte upper-cased (ASCII letters only).
Text CapitalizeFirst(const Text& text);

}  // namespace quorvel
