// Seeded property test: TextFind, TextFindLast, TextReplace (both the copying form and the one
// that rewrites a given-up text in place) and TextSplit against a plain model that lists every
// character start and compares substrings, on random byte strings rich in bytes of 0x80 and
// above, short and long, with long ASCII runs between dense stretches.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "text/text.h"

namespace quorvel {
namespace {

bool IsHigh(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

// The offsets that character stepping reaches from offset from.
std::vector<std::size_t> CharacterStarts(const Text& text, std::size_t from) {
  std::vector<std::size_t> starts;
  for (std::size_t p = from; p < text.size();) {
    starts.push_back(p);
    if (IsHigh(text[p]) && p + 1 == text.size()) break;
    p += IsHigh(text[p]) ? 2 : 1;
  }
  return starts;
}

// Lower-cases the one-byte letters of a text, leaving two-byte characters whole.
Text LowerLetters(const Text& text) {
  Text lower = text;
  for (std::size_t p : CharacterStarts(text, 0)) {
    if (lower[p] >= 'A' && lower[p] <= 'Z') lower[p] = static_cast<char>(lower[p] + 32);
  }
  return lower;
}

bool SameText(const Text& a, const Text& b, bool ignoreCase) {
  return ignoreCase ? LowerLetters(a) == LowerLetters(b) : a == b;
}

std::size_t From(const Text& text, int start) {
  return start <= 1 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(start) - 1, text.size());
}

int ModelFind(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const std::size_t from = From(text, start);
  if (sought.empty()) return from < text.size() ? 1 : -1;
  for (std::size_t p : CharacterStarts(text, from)) {
    if (text.size() - p >= sought.size() &&
        SameText(text.substr(p, sought.size()), sought, ignoreCase)) {
      return static_cast<int>(p) + 1;
    }
  }
  return -1;
}

int ModelFindLast(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const std::size_t region = From(text, start);  // start - 1 clamped to 0..length
  if (sought.empty()) return region > 0 ? 1 : -1;
  int last = -1;
  for (std::size_t p : CharacterStarts(text, 0)) {
    if (p + sought.size() <= region &&
        SameText(text.substr(p, sought.size()), sought, ignoreCase)) {
      last = static_cast<int>(p) + 1;
    }
  }
  return last;
}

Text ModelReplace(const Text& text, const Text& sought, const Text& replacement, int start,
                  int maxCount, bool matchCase) {
  std::size_t p = From(text, start);
  if (text.empty() || sought.empty() || p >= text.size() || maxCount == 0) return text;
  Text result = text.substr(0, p);
  int count = 0;
  while (text.size() - p >= sought.size()) {
    if (SameText(text.substr(p, sought.size()), sought, !matchCase)) {
      result += replacement;
      p += sought.size();
      if (++count == maxCount) break;
    } else if (IsHigh(text[p]) && p + 1 == text.size()) {
      return result;
    } else {
      const std::size_t width = IsHigh(text[p]) ? 2 : 1;
      result += text.substr(p, width);
      p += width;
    }
  }
  return result + text.substr(p);
}

TextArray ModelSplit(const Text& text, const Text& delimiter) {
  TextArray pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) return TextArray{text};
  std::size_t pieceStart = 0;
  std::size_t p = 0;
  while (p < text.size() && text.size() - p >= delimiter.size()) {
    if (text.compare(p, delimiter.size(), delimiter) == 0) {
      pieces.Append(text.substr(pieceStart, p - pieceStart));
      p += delimiter.size();
      pieceStart = p;
    } else if (IsHigh(text[p]) && p + 1 == text.size()) {
      break;
    } else {
      p += IsHigh(text[p]) ? 2 : 1;
    }
  }
  if (pieceStart < text.size()) pieces.Append(text.substr(pieceStart));
  return pieces;
}

class RandomTexts {
 public:
  explicit RandomTexts(unsigned seed) : engine_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }

  // Bytes from a small alphabet so that matches are frequent: letters in both cases, "+",
  // ",", and lead bytes, among them A1 (full-width space) and D6 (a second byte too).
  Text Dense(int length) {
    static const char kAlphabet[] = "aAbB+,\xB0\xD6\xA1\x61\x41\xFF\x80";
    Text text;
    for (int i = 0; i < length; ++i)
      text += kAlphabet[Below(sizeof kAlphabet - 1)];
    return text;
  }

  // Runs of ASCII Base64-like text, tens to hundreds of bytes long, with dense stretches
  // between them, so that block scanning meets every kind of block boundary.
  Text Long() {
    static const char kAscii[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/";
    Text text;
    const int segments = 1 + Below(8);
    for (int s = 0; s < segments; ++s) {
      const int run = Below(300);
      for (int i = 0; i < run; ++i) {
        text += Below(64) == 0 ? '+' : kAscii[Below(sizeof kAscii - 1)];
      }
      text += Dense(Below(6));
    }
    return text;
  }

  Text Sought(const Text& text) {
    if (!text.empty() && Below(2) == 0) {  // a piece of the text itself, so it occurs
      const int at = Below(static_cast<int>(text.size()));
      return text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(Below(4)));
    }
    return Dense(Below(4));
  }

  int Position(const Text& text) {
    switch (Below(8)) {
      case 0:
        return INT_MIN;
      case 1:
        return INT_MAX;
      default:
        return Below(static_cast<int>(text.size()) + 4) - 1;
    }
  }

  // Long text: runs of hundreds to thousands of Base64 characters, each with its own density
  // of "+" (from most bytes to none), and, in some texts, dense stretches with two-byte
  // characters between the runs; now and then a lone lead byte at the very end.
  Text Large(int length) {
    static const char kAscii[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/";
    const bool wide = Below(2) == 0;
    Text text;
    while (static_cast<int>(text.size()) < length) {
      const int run = Below(4000);
      const int spacing = 1 + Below(200);
      for (int i = 0; i < run; ++i) {
        text += Below(spacing) == 0 ? '+' : kAscii[Below(sizeof kAscii - 1)];
      }
      if (wide) text += Dense(Below(8));
    }
    if (Below(4) == 0) text += '\xB0';
    return text;
  }

  // A copy of text for the form of TextReplace that takes it over, with capacity to spare
  // from none to plenty, so that the result sometimes fits it and sometimes not.
  Text WithSpare(const Text& text) {
    static const double kSpare[] = {0, 0.001, 0.02, 0.0625, 0.25, 3};
    Text copy;
    copy.reserve(text.size() + static_cast<std::size_t>(text.size() * kSpare[Below(6)]));
    copy += text;
    return copy;
  }

  int MaxCount() {
    static const int kCounts[] = {kNoLimit, kNoLimit, INT_MIN, 0, 1, 2, 5, INT_MAX};
    return kCounts[Below(8)];
  }

 private:
  std::mt19937 engine_;
};

TEST(TextProperty, SearchReplaceAndSplitAgreeWithModel) {
  RandomTexts random(20240611);
  for (int round = 0; round < 6000; ++round) {
    const Text text = round % 4 == 0 ? random.Long() : random.Dense(random.Below(24));
    const Text sought = round % 8 == 4 ? Text("+") : random.Sought(text);
    const Text replacement = random.Dense(random.Below(4));
    const int start = random.Position(text);
    const int maxCount = random.MaxCount();
    const bool flag = random.Below(2) == 0;
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ", sought length " << sought.size() << ", start " << start
                 << ", maxCount " << maxCount << ", flag " << flag);
    ASSERT_EQ(TextFind(text, sought, start, flag), ModelFind(text, sought, start, flag));
    ASSERT_EQ(TextFindLast(text, sought, start, flag), ModelFindLast(text, sought, start, flag));
    const Text expected = ModelReplace(text, sought, replacement, start, maxCount, flag);
    ASSERT_EQ(TextReplace(text, sought, replacement, start, maxCount, flag), expected);
    ASSERT_EQ(TextReplace(random.WithSpare(text), sought, replacement, start, maxCount, flag),
              expected);
    ASSERT_EQ(TextSplit(text, sought), ModelSplit(text, sought));
  }
}

// Texts of tens of kilobytes, so that a replacement in place meets many stretches of its scan
// and the bytes that earlier matches add push the output far above the input: runs of
// Base64-like text with "+" at a varying density, with or without two-byte characters and
// lone lead bytes among them, a lead byte at the very end now and then; replacements shorter
// than, as long as and longer than the sought text, up to past one block.
TEST(TextProperty, ReplaceAgreesWithModelOnLongTexts) {
  RandomTexts random(7051);
  for (int round = 0; round < 160; ++round) {
    const Text text = random.Large(20000 + random.Below(60000));
    static const char* const kLetters[] = {"a", "Q", "z"};
    const Text sought = round % 4 < 2    ? Text("+")
                        : round % 4 == 2 ? Text(kLetters[random.Below(3)])
                                         : random.Sought(text);
    const Text replacement = random.Dense(random.Below(4) == 0 ? random.Below(24) : 3);
    const int start = random.Below(4) == 0 ? random.Position(text) : 1;
    const int maxCount = random.Below(3) == 0 ? random.Below(3000) : kNoLimit;
    const bool matchCase = random.Below(2) == 0;
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ", length " << text.size() << ", sought length "
                 << sought.size() << ", replacement length " << replacement.size() << ", start "
                 << start << ", maxCount " << maxCount << ", matchCase " << matchCase);
    const Text expected = ModelReplace(text, sought, replacement, start, maxCount, matchCase);
    ASSERT_TRUE(TextReplace(text, sought, replacement, start, maxCount, matchCase) == expected);
    ASSERT_TRUE(TextReplace(random.WithSpare(text), sought, replacement, start, maxCount,
                            matchCase) == expected);
  }
}

}  // namespace
}  // namespace quorvel
