// The character walk shared by the searching and replacing operations: top-bit stepping,
// ASCII-only case folding and the search for the next match. Internal to the text library.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/text.h"
#include "text/text_scan.h"

namespace quorvel::walk {

// Position arithmetic runs in 64 bits so that no int argument can overflow it.
using Offset = std::int64_t;

inline Offset Size(std::string_view text) {
  return static_cast<Offset>(text.size());
}

inline bool IsHigh(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

inline char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
}

// True when the sought.size() bytes at at equal sought. With ignoreCase, one-byte ASCII letters
// match in either case; both bytes of a two-byte character always match exactly, so the second
// byte of 癮 (B0 61) never matches that of 癆 (B0 41), just as TextToUpper leaves both whole.
inline bool MatchesFolded(const char* at, std::string_view sought) {
  for (std::size_t i = 0; i < sought.size(); ++i) {
    if (IsHigh(sought[i])) {
      if (at[i] != sought[i]) return false;
      if (++i < sought.size() && at[i] != sought[i]) return false;
    } else if (FoldAscii(at[i]) != FoldAscii(sought[i])) {
      return false;
    }
  }
  return true;
}

inline bool MatchesAt(const char* at, std::string_view sought, bool ignoreCase) {
  if (ignoreCase) return MatchesFolded(at, sought);
  if (at[0] != sought[0]) return false;
  return sought.size() == 1 || std::memcmp(at + 1, sought.data() + 1, sought.size() - 1) == 0;
}

// The offset of the character after the one at p, or -1 when the character at p is an
// unpaired byte of 0x80 or above at the end, which ends every walk.
inline Offset Step(std::string_view text, Offset p) {
  if (!IsHigh(text[static_cast<std::size_t>(p)])) return p + 1;
  return p + 1 < Size(text) ? p + 2 : -1;
}

// The byte that matches first under ASCII case folding: the other case of a letter, else first.
inline char OtherCase(char first) {
  if (first >= 'a' && first <= 'z') return static_cast<char>(first - 0x20);
  if (first >= 'A' && first <= 'Z') return static_cast<char>(first + 0x20);
  return first;
}

// From offset p, stepping character by character, the first offset whose sought.size() bytes
// (at least one) equal sought and lie within the first limit bytes of the text, or -1. Reads
// nothing at or beyond limit. Runs of one-byte characters that cannot begin a match are
// skipped a block at a time.
inline Offset FindFrom(std::string_view text, std::string_view sought, Offset p, Offset limit,
                       bool ignoreCase) {
  const Offset s = Size(sought);
  const char* base = text.data();
  const char* end = base + limit;
  const char first = sought[0];
  const char other = ignoreCase ? OtherCase(first) : first;
  while (p >= 0 && limit - p >= s) {
    p = scan::SkipPlain(base + p, end, first, other) - base;
    if (limit - p < s) break;
    if (MatchesAt(base + p, sought, ignoreCase)) return p;
    p = Step(text, p);
  }
  return -1;
}

}  // namespace quorvel::walk
