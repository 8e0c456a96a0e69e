// Character-set conversion: GBK to UTF-8 through the platform's code-page functions, and
// re-encoding of bytes between named charsets through the platform's stream object.
// Safe on any thread; failures show only as empty or partly filled results.
#pragma once

#include <optional>

#include "text/text.h"

namespace quorvel {

inline constexpr int kCodePageAnsi = 0;
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// UTF-16LE units of text, decoded from codePage, terminating zero unit included; the buffer is
// sized by the ANSI code page's measure whatever codePage is.
ByteArray TextToWide(const Text& text, int codePage = kCodePageUtf8);
// The wide text (UTF-16LE, zero-terminated) encoded into codePage, in a buffer twice the size
// the ANSI code page needs; the result stops at the first zero byte.
Text WideToText(const ByteArray& wide, int codePage = kCodePageAnsi);
// The UTF-8 bytes of a GBK text.
Text AnsiToUtf8(const Text& text);
// data re-encoded from fromCharset (empty: "UTF-8") to toCharset (empty: "GBK"), by way of a
// GBK text in between. startPosition, when given, skips that many leading output bytes.
// Any failure, an unknown charset name among them, gives the empty array.
ByteArray ConvertCharset(const ByteArray& data, const Text& fromCharset = {},
                         const Text& toCharset = {}, std::optional<int> startPosition = {});

}  // namespace quorvel
