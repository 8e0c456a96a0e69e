// The text, byte-array and integer primitives of text.h except TextReplace (text_replace.cpp).
// Pure functions over values, callable from any thread; the only platform call is the file
// reading of ReadFileBytes.
#include "text/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "platform/read_only_file.h"
#include "text/text_walk.h"

namespace quorvel {
namespace {

using walk::FindFrom;
using walk::Offset;
using walk::Size;
using walk::Step;

int ClampToInt(Offset value) {
  return static_cast<int>(std::clamp<Offset>(value, INT_MIN, INT_MAX));
}

bool IsSpaceAt(const Text& text, Offset p) {
  const auto at = static_cast<std::size_t>(p);
  if (text[at] == ' ') return true;
  return text[at] == '\xA1' && p + 1 < Size(text) && text[at + 1] == '\xA1';
}

// The placeholder that TextBetween turns into a double quote: "#引号".
const Text kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";

// The parts joined in order, sized once.
template <typename Sequence>
Sequence JoinParts(std::initializer_list<Sequence> parts) {
  std::size_t total = 0;
  for (const Sequence& part : parts)
    total += part.size();
  Sequence result;
  result.reserve(total);
  for (const Sequence& part : parts)
    result.insert(result.end(), part.begin(), part.end());
  return result;
}

}  // namespace

void TextArray::RemoveAt(int i) {
  if (i < 1 || i > Count()) return;
  elements_.erase(elements_.begin() + (i - 1));
}

// --- Measuring and cutting ---

int TextLength(const Text& text) {
  return ClampToInt(Size(text));
}

Text TextLeft(const Text& text, int n) {
  if (n <= 0) return Text();
  return text.substr(0, static_cast<std::size_t>(n));
}

Text TextRight(const Text& text, int n) {
  if (n <= 0) return Text();
  if (static_cast<Offset>(n) >= Size(text)) return text;
  return text.substr(text.size() - static_cast<std::size_t>(n));
}

Text TextMid(const Text& text, int start, int n) {
  const Offset length = Size(text);
  if (start < 1 || start > length || n <= 0) return Text();
  const Offset last = std::min<Offset>(Offset{start} + n - 1, length);
  return text.substr(static_cast<std::size_t>(start - 1),
                     static_cast<std::size_t>(last - start + 1));
}

Text TextConcat(std::initializer_list<Text> parts) {
  return JoinParts(parts);
}

bool TextEquals(const Text& a, const Text& b) {
  return a == b;
}

Text TextSpaces(int n) {
  return n <= 0 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}

Text CharFromCode(std::uint8_t code) {
  return code == 0 ? Text() : Text(1, static_cast<char>(code));
}

int TextCharCode(const Text& text) {
  return text.empty() ? 0 : static_cast<int>(static_cast<std::int8_t>(text[0]));
}

Text HexText(int value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto bits = static_cast<std::uint32_t>(value);
  char buffer[8];
  int used = 0;
  do {
    buffer[7 - used++] = kDigits[bits & 0xF];
    bits >>= 4;
  } while (bits != 0);
  return Text(buffer + 8 - used, static_cast<std::size_t>(used));
}

Text TextToUpper(const Text& text) {
  Text result = text;
  const Offset length = Size(text);
  for (Offset p = 0; p >= 0 && p < length; p = Step(text, p)) {
    char& c = result[static_cast<std::size_t>(p)];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  }
  return result;
}

Text TextTrim(const Text& text) {
  const Offset length = Size(text);
  Offset begin = 0;
  while (begin < length && IsSpaceAt(text, begin))
    begin += text[begin] == ' ' ? 1 : 2;
  Offset end = length;
  Offset runStart = -1;
  for (Offset p = begin; p < length;) {
    const Offset next = Step(text, p);
    if (next < 0) {  // an unpaired lead byte at the end: cut before it, spaces before it stay
      runStart = -1;
      end = p;
      break;
    }
    if (IsSpaceAt(text, p)) {
      if (runStart < 0) runStart = p;
    } else {
      runStart = -1;
    }
    p = next;
  }
  if (runStart >= 0) end = runStart;
  return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

// --- Searching and splitting (TextReplace is in text_replace.cpp) ---

int TextFind(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const Offset length = Size(text);
  const Offset from = start <= 1 ? 0 : Offset{start} - 1;
  if (from >= length) return -1;
  if (sought.empty()) return 1;
  const Offset found = FindFrom(text, sought, from, length, ignoreCase);
  return found < 0 ? -1 : ClampToInt(found + 1);
}

int TextFindLast(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const Offset length = Size(text);
  const Offset region = start <= 1 ? 0 : std::min<Offset>(Offset{start} - 1, length);
  if (sought.empty()) return region > 0 ? 1 : -1;
  Offset last = -1;
  for (Offset p = FindFrom(text, sought, 0, region, ignoreCase); p >= 0;) {
    last = p;
    const Offset next = Step(text, p);
    p = next < 0 ? -1 : FindFrom(text, sought, next, region, ignoreCase);
  }
  return last < 0 ? -1 : ClampToInt(last + 1);
}

TextArray TextSplit(const Text& text, const Text& delimiter) {
  TextArray pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.Append(text);
    return pieces;
  }
  const Offset length = Size(text);
  const Offset s = Size(delimiter);
  Offset pieceStart = 0;
  for (Offset p = FindFrom(text, delimiter, 0, length, false); p >= 0;) {
    pieces.Append(text.substr(static_cast<std::size_t>(pieceStart),
                              static_cast<std::size_t>(p - pieceStart)));
    pieceStart = p + s;
    p = FindFrom(text, delimiter, pieceStart, length, false);
  }
  if (pieceStart < length) pieces.Append(text.substr(static_cast<std::size_t>(pieceStart)));
  return pieces;
}

// --- Conversions and byte arrays ---

ByteArray TextToBytes(const Text& text) {
  return ByteArray(text.begin(), text.end());
}

Text BytesToText(const ByteArray& bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return Text(bytes.begin(), zero);
}

int BytesLength(const ByteArray& bytes) {
  return ClampToInt(static_cast<Offset>(bytes.size()));
}

ByteArray BytesMid(const ByteArray& bytes, int start, int n) {
  const auto count = static_cast<Offset>(bytes.size());
  const Offset from = std::clamp<Offset>(Offset{start} - 1, 0, count);
  const Offset taken = std::min<Offset>(std::max(n, 0), count - from);
  return ByteArray(bytes.begin() + from, bytes.begin() + from + taken);
}

ByteArray BytesConcat(std::initializer_list<ByteArray> parts) {
  return JoinParts(parts);
}

bool BytesEqual(const ByteArray& a, const ByteArray& b) {
  return a == b;
}

ByteArray ZeroBytes(int n) {
  return n <= 0 ? ByteArray() : ByteArray(static_cast<std::size_t>(n), 0);
}

ByteArray ReadFileBytes(const Text& path) {
  if (path.empty()) return ByteArray();
  std::unique_ptr<ReadOnlyFile> file = OpenReadOnlyFile(path);
  if (!file) return ByteArray();
  const std::int64_t length = file->Length();
  if (length <= 0) return ByteArray();
  // One allocation with two spare bytes. The array grows a chunk at a time just ahead of each
  // read, so the zeroes that growing writes are still in the cache when the read overwrites
  // them; the bytes pass through memory once.
  constexpr std::int64_t kChunk = 1 << 20;
  ByteArray bytes;
  try {
    bytes.reserve(static_cast<std::size_t>(length) + 2);
  } catch (const std::exception&) {  // too large to hold: treated like any failed read
    return ByteArray();
  }
  std::int64_t arrived = 0;
  while (arrived < length) {
    const std::int64_t wanted = std::min(kChunk, length - arrived);
    bytes.resize(static_cast<std::size_t>(arrived + wanted));
    const std::int64_t got = file->Read(bytes.data() + arrived, wanted);
    if (got < 0) return ByteArray();
    if (got == 0) break;  // the file ended early: keep what arrived
    arrived += got;
  }
  bytes.resize(static_cast<std::size_t>(arrived));
  return bytes;
}

// --- Integers ---

int ToByte(int value) {
  return value & 0xFF;
}

int BitAnd(int a, int b) {
  return a & b;
}

int ShiftLeft(int value, int n) {
  return static_cast<int>(static_cast<std::uint32_t>(value) << (n & 31));
}

int ShiftRight(int value, int n) {
  return value >> (n & 31);
}

double Remainder(double a, double b) {
  return std::fmod(a, b);
}

// --- Delimiter operations ---

// A negative start -k searches backwards: only occurrences that end within the first L - k
// bytes count, where -1 means the whole text.
Text TextBefore(const Text& text, const Text& delimiter, int start, bool ignoreCase) {
  int found;
  if (start < 0) {
    Offset k = -Offset{start};
    if (k == 1) k = 0;
    found = TextFindLast(text, delimiter, ClampToInt(Size(text) - k + 1), ignoreCase);
  } else {
    found = TextFind(text, delimiter, start == 0 ? 1 : start, ignoreCase);
  }
  return found < 0 ? Text() : TextLeft(text, found - 1);
}

// A negative start -k searches forwards from position k instead (-1 from the first byte); a
// positive start k only considers occurrences that end within the first L - k bytes.
Text TextAfter(const Text& text, const Text& delimiter, int start, bool ignoreCase) {
  const Offset length = Size(text);
  int found;
  if (start < 0) {
    Offset k = -Offset{start};
    if (k == 1) k = 0;
    found = TextFind(text, delimiter, k == 0 ? 1 : ClampToInt(k), ignoreCase);
  } else {
    found = TextFindLast(text, delimiter, ClampToInt(length - start + 1), ignoreCase);
  }
  if (found < 0) return Text();
  return TextRight(text, ClampToInt(length - Size(delimiter) - found + 1));
}

Text TextBetween(const Text& text, const Text& left, const Text& right, int start,
                 bool ignoreCase) {
  const Text leftDelimiter = TextReplace(left, kQuotePlaceholder, "\"", 1, kNoLimit, true);
  const Text rightDelimiter = TextReplace(right, kQuotePlaceholder, "\"", 1, kNoLimit, true);
  const int found = TextFind(text, leftDelimiter, start <= 0 ? 1 : start, ignoreCase);
  if (found < 0) return Text();
  const Offset after = Offset{found} + Size(leftDelimiter);
  const int end = TextFind(text, rightDelimiter, ClampToInt(after), ignoreCase);
  if (end < 0) return Text();
  return TextMid(text, ClampToInt(after), ClampToInt(end - after));
}

}  // namespace quorvel
