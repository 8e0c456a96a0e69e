// The value types every other module is written in (Text, ByteArray, TextArray) and the
// operations on them. Pure functions, safe on any thread; none of them fails or throws on
// its arguments: positions and counts out of range are clamped as each function says.
#pragma once

#include <climits>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quorvel {

// A text of GBK bytes. It never holds a zero byte: every operation that builds a text from
// bytes stops at the first zero. Lengths and positions count bytes; positions are 1-based and
// a search that finds nothing gives -1. A byte of 0x80 or above starts a two-byte character,
// whatever follows it (plain top-bit stepping, no lead-byte tables).
using Text = std::string;

// Bytes of any value, zero included.
using ByteArray = std::vector<std::uint8_t>;

// An ordered array of texts, indexed from 1 to Count(). It owns copies of its elements.
class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> elements) : elements_(elements) {}

  int Count() const { return static_cast<int>(elements_.size()); }
  // Element i, 1 <= i <= Count(); any other index is a program error.
  const Text& operator[](int i) const { return elements_.at(static_cast<std::size_t>(i) - 1); }
  Text& operator[](int i) { return elements_.at(static_cast<std::size_t>(i) - 1); }

  void Append(const Text& text) { elements_.push_back(text); }
  void Append(Text&& text) { elements_.push_back(std::move(text)); }
  // Removes element i and moves the later ones down; an index outside 1..Count() does nothing.
  void RemoveAt(int i);
  void Clear() { elements_.clear(); }

  friend bool operator==(const TextArray&, const TextArray&) = default;

 private:
  std::vector<Text> elements_;
};

// "No limit" for the maxCount of TextReplace, and "to the end" for TextFindLast's start.
inline constexpr int kNoLimit = -1;
inline constexpr int kToEnd = INT_MAX;

// --- Measuring and cutting (bytes only: these may cut a two-byte character in half) ---

int TextLength(const Text& text);
// n <= 0: empty; n >= length: the whole text; else the first n bytes.
Text TextLeft(const Text& text, int n);
// n <= 0: empty; n >= length: the whole text; else the last n bytes.
Text TextRight(const Text& text, int n);
// Bytes from position start up to min(start + n - 1, length); empty when start < 1,
// start > length or n <= 0 (a start below 1 is not moved to 1).
Text TextMid(const Text& text, int start, int n);
Text TextConcat(std::initializer_list<Text> parts);
template <typename... Rest>
Text TextConcat(const Text& first, const Text& second, const Rest&... rest) {
  return TextConcat({first, second, Text(rest)...});
}
bool TextEquals(const Text& a, const Text& b);
// n <= 0: empty; else n spaces.
Text TextSpaces(int n);
// The one-byte text holding code; code 0 gives the empty text.
Text CharFromCode(std::uint8_t code);
// The first byte as a signed 8-bit value; 0 for the empty text.
int TextCharCode(const Text& text);
// The value as an unsigned 32-bit number in upper-case hexadecimal, no leading zeros.
Text HexText(int value);
// ASCII a-z become A-Z; two-byte characters (both bytes) and all other bytes stay.
Text TextToUpper(const Text& text);
// Drops leading and trailing spaces and GBK full-width spaces (A1 A1); keeps tabs, CR and LF.
// An unpaired byte of 0x80 or above at the end is dropped too.
Text TextTrim(const Text& text);

// --- Searching, replacing, splitting (walk character by character) ---

// Position of the first occurrence of sought at or after start, or -1. The walk starts at
// byte start (1 when start <= 1) even when that is the second byte of a character. An empty
// sought gives 1 when the scanned region is not empty. ignoreCase folds ASCII letters only.
int TextFind(const Text& text, const Text& sought, int start = 1, bool ignoreCase = false);
// Position of the last occurrence that ends before position start (the whole text when
// start > length), or -1. The walk always starts at the first byte.
int TextFindLast(const Text& text, const Text& sought, int start = kToEnd, bool ignoreCase = false);
// A copy with the occurrences of sought from position start on replaced, left to right, at
// most maxCount of them (kNoLimit or any negative: all). matchCase true compares exactly,
// false folds ASCII case. Replacements are never scanned again. An unpaired byte of 0x80 or
// above that the scan reaches at the end is dropped.
Text TextReplace(const Text& text, const Text& sought, const Text& replacement, int start,
                 int maxCount, bool matchCase);
// The same result from a text the caller gives up (left valid but unspecified): when the
// result fits the text's capacity, the text is rewritten within its own buffer and returned,
// so no second buffer is needed; otherwise the result is a copy and the text is freed.
Text TextReplace(Text&& text, const Text& sought, const Text& replacement, int start, int maxCount,
                 bool matchCase);
// The pieces between delimiters (case-sensitive): empty text gives none, an empty delimiter
// the whole text; leading and doubled delimiters give empty pieces, a trailing one does not.
TextArray TextSplit(const Text& text, const Text& delimiter);

// --- Conversions and byte arrays ---

ByteArray TextToBytes(const Text& text);
// The bytes up to, not including, the first zero byte.
Text BytesToText(const ByteArray& bytes);
int BytesLength(const ByteArray& bytes);
// max(n, 0) bytes from offset start - 1 clamped to 0..count, no more than the array holds.
ByteArray BytesMid(const ByteArray& bytes, int start, int n);
ByteArray BytesConcat(std::initializer_list<ByteArray> parts);
template <typename... Rest>
ByteArray BytesConcat(const ByteArray& first, const ByteArray& second, const Rest&... rest) {
  return BytesConcat({first, second, ByteArray(rest)...});
}
bool BytesEqual(const ByteArray& a, const ByteArray& b);
// n <= 0: empty; else n zero bytes.
ByteArray ZeroBytes(int n);
// The whole file, read while other writers are refused; empty for an empty path, a file
// that cannot be opened or read, or an empty file. The array keeps two bytes of spare
// capacity so that Base64Encode can pad it without moving it.
ByteArray ReadFileBytes(const Text& path);

// --- Integers ---

// The low 8 bits of value.
int ToByte(int value);
int BitAnd(int a, int b);
// Shifted by n mod 32 bits; ShiftRight copies the sign bit in.
int ShiftLeft(int value, int n);
int ShiftRight(int value, int n);
// Floating-point remainder with the sign of a; b is never 0.
double Remainder(double a, double b);

// --- Delimiter operations (start 0 and ignoreCase false in every caller) ---

// The part before the first occurrence of delimiter; empty when there is none. A negative
// start searches backwards from the end (see the .cpp for the exact rule).
Text TextBefore(const Text& text, const Text& delimiter, int start = 0, bool ignoreCase = false);
// The part after the last occurrence of delimiter; empty when there is none.
Text TextAfter(const Text& text, const Text& delimiter, int start = 0, bool ignoreCase = false);
// The part between the first left and the next right after it; empty when either is missing.
// The placeholder "#引号" in left or right stands for a double quote.
Text TextBetween(const Text& text, const Text& left, const Text& right, int start = 0,
                 bool ignoreCase = false);

}  // namespace quorvel
