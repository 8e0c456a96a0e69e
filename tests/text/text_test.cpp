// Table tests of the text, byte-array and integer primitives: boundary rules, two-byte
// stepping over real GBK samples, clamping of extreme positions and counts.
#include "text/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

// Counts the allocations of the whole program, so that a test can tell how often an
// operation allocated.
namespace {
std::atomic<long> allocationCount{0};
}  // namespace

void* operator new(std::size_t size) {
  ++allocationCount;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
// Freed through a pointer the compiler cannot see through: GCC would otherwise take the free
// for a mismatch with the new expressions that it inlines this into.
void (*volatile releaseBlock)(void*) = std::free;
void operator delete(void* block) noexcept {
  releaseBlock(block);
}
void operator delete(void* block, std::size_t) noexcept {
  releaseBlock(block);
}

namespace quorvel {
namespace {

// GBK samples, written as bytes:
//   中 D6 D0, 文 CE C4, 你 C4 E3, 好 BA C3, 引 D2 FD, 号 BA C5, 啊 B0 A1,
//   癮 B0 61 (second byte is 'a'), 癆 B0 41 (second byte is 'A'), 謀 D6 5C (second byte '\'),
//   full-width space A1 A1.
const Text kZhongWen = "\xD6\xD0\xCE\xC4";               // 中文
const Text kZhongWenZhong = "\xD6\xD0\xCE\xC4\xD6\xD0";  // 中文中

TEST(TextCutting, LeftRightMidCountBytesAndClamp) {
  struct Case {
    const char* name;
    Text actual;
    Text expected;
  };
  const Text abc = "abc";
  const std::vector<Case> cases = {
      {"left 0", TextLeft(abc, 0), ""},
      {"left INT_MIN", TextLeft(abc, INT_MIN), ""},
      {"left 2", TextLeft(abc, 2), "ab"},
      {"left INT_MAX", TextLeft(abc, INT_MAX), "abc"},
      {"left cuts 中 in half", TextLeft(kZhongWen, 1), "\xD6"},
      {"right 0", TextRight(abc, 0), ""},
      {"right INT_MIN", TextRight(abc, INT_MIN), ""},
      {"right 2", TextRight(abc, 2), "bc"},
      {"right INT_MAX", TextRight(abc, INT_MAX), "abc"},
      {"right cuts 文 in half", TextRight(kZhongWen, 1), "\xC4"},
      {"mid 2,1", TextMid(abc, 2, 1), "b"},
      {"mid 2,INT_MAX", TextMid(abc, 2, INT_MAX), "bc"},
      {"mid INT_MAX,INT_MAX", TextMid(abc, INT_MAX, INT_MAX), ""},
      {"mid start 0 is not moved to 1", TextMid(abc, 0, 2), ""},
      {"mid start INT_MIN", TextMid(abc, INT_MIN, INT_MAX), ""},
      {"mid start past end", TextMid(abc, 4, 1), ""},
      {"mid count 0", TextMid(abc, 1, 0), ""},
      {"mid count INT_MIN", TextMid(abc, 1, INT_MIN), ""},
      {"mid from second byte of 中", TextMid(kZhongWen, 2, 2), "\xD0\xCE"},
      {"mid of empty", TextMid("", 1, 1), ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.actual, c.expected) << c.name;
  EXPECT_EQ(TextLength(kZhongWen), 4);
  EXPECT_EQ(TextLength(""), 0);
}

TEST(TextBuilding, ConcatSpacesCodesAndHex) {
  EXPECT_EQ(TextConcat("a", "", kZhongWen, "b"),
            "a\xD6\xD0\xCE\xC4"
            "b");
  EXPECT_TRUE(TextEquals("", Text()));
  EXPECT_FALSE(TextEquals("a", "A"));
  EXPECT_EQ(TextSpaces(3), "   ");
  EXPECT_EQ(TextSpaces(0), "");
  EXPECT_EQ(TextSpaces(INT_MIN), "");
  EXPECT_EQ(CharFromCode(0), "");
  EXPECT_EQ(CharFromCode(0x41), "A");
  EXPECT_EQ(CharFromCode(0xB0), "\xB0");
  EXPECT_EQ(TextCharCode(""), 0);
  EXPECT_EQ(TextCharCode("A"), 65);
  EXPECT_EQ(TextCharCode(kZhongWen), -42);  // D6
  EXPECT_EQ(TextCharCode("\xFF"), -1);

  struct HexCase {
    int value;
    const char* expected;
  };
  for (const HexCase& c : std::vector<HexCase>{{0, "0"},
                                               {10, "A"},
                                               {255, "FF"},
                                               {4096, "1000"},
                                               {INT_MAX, "7FFFFFFF"},
                                               {-1, "FFFFFFFF"},
                                               {INT_MIN, "80000000"}}) {
    EXPECT_EQ(HexText(c.value), c.expected) << c.value;
  }
}

TEST(TextToUpper, FoldsOnlyOneByteLetters) {
  struct Case {
    Text input;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"abc-XYZ_09@[`{z", "ABC-XYZ_09@[`{Z"},
      {"\xB0\x61"
       "a",
       "\xB0\x61"
       "A"},                                       // 癮a: the 'a' inside 癮 stays
      {"a\xB0\x61\xB0\x61", "A\xB0\x61\xB0\x61"},  // a癮癮
      {"\xE0\xE1\xFF", "\xE0\xE1\xFF"},            // bytes above 0x80 are never letters
      {"a\xB0", "A\xB0"},                          // unpaired lead byte at the end stays
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToUpper(c.input), c.expected) << c.input;
}

TEST(TextTrim, DropsSpacesAndFullWidthSpacesAtBothEnds) {
  struct Case {
    Text input;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"   ", ""},
      {"  a b  ", "a b"},
      {"\xA1\xA1 \xD6\xD0 \xA1\xA1", "\xD6\xD0"},  // 　 中 　
      {"\t a \r\n", "\t a \r\n"},                  // tabs, CR, LF are kept
      {" \t\r\n ", "\t\r\n"},
      {"\xA1\xA1\xA1\xA1", ""},              // 　　
      {"a \xB0", "a "},                      // unpaired lead dropped, space before stays
      {"a\xB0\xA1\xA1 ", "a\xB0\xA1\xA1 "},  // a啊 then A1 20, one character: no space
      {"\xB0\x20 ", "\xB0\x20"},             // B0 20 is one character; the run is 1 space
      {" \xA1", ""},                         // lone A1 at the end is dropped
      {"\xA1\xA1\xA1", ""},                  // 　 then a lone A1
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextTrim(c.input), c.expected) << c.input;
}

TEST(TextFind, FindsAtCharacterBoundariesFromStart) {
  struct Case {
    Text text;
    Text sought;
    int start;
    bool ignoreCase;
    int expected;
  };
  const std::vector<Case> cases = {
      {"abcabc", "bc", 1, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 6, false, -1},
      {"abcabc", "bc", INT_MIN, false, 2},
      {"abcabc", "bc", INT_MAX, false, -1},
      {"abcabc", "BC", 1, false, -1},
      {"abcabc", "BC", 1, true, 2},
      {"ABC", "b", 1, true, 2},
      {"", "", 1, false, -1},
      {"abc", "", 1, false, 1},
      {"abc", "", 3, false, 1},  // empty sought: 1 whenever the region is not empty
      {"abc", "", 4, false, -1},
      {"abc", "", INT_MAX, false, -1},
      {"ab", "abc", 1, false, -1},
      // 中文中: the bytes C4 D6 straddle 文 and 中, so stepping from the start never meets them,
      // while a start on the second byte of 文 begins a character there.
      {kZhongWenZhong, "\xC4\xD6", 1, false, -1},
      {kZhongWenZhong, "\xC4\xD6", 4, false, 4},
      {kZhongWenZhong, "\xD6\xD0", 1, false, 1},
      {kZhongWenZhong, "\xD6\xD0", 2, false, -1},  // from D0, stepping takes D0 CE, C4 D6
      {"\xB0\x61"
       "a",
       "a", 1, false, 3},  // 癮a: the 'a' inside 癮 is not met
      {"\xB0\x61"
       "a",
       "A", 1, true, 3},
      {"\xB0\x41", "\xB0\x61", 1, true, -1},  // bytes of a two-byte character never fold
      {"\xB0\x61", "a", 2, false, 2},         // start on the second byte of 癮
      {"x\xB0", "\xB0", 1, false, 2},         // an unpaired lead byte is still compared
      {"\xB0\xB0\xB0", "\xB0", 2, false, 2},
      {"\xB0\xB0\xB0", "\xB0", 3, false, 3},
      {"\xD6\x5C\\", "\\", 1, false, 3},  // 謀\ .
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextFind(c.text, c.sought, c.start, c.ignoreCase), c.expected)
        << c.text << " / " << c.sought << " from " << c.start;
  }
}

TEST(TextFindLast, FindsLastOccurrenceEndingBeforeStart) {
  struct Case {
    Text text;
    Text sought;
    int start;
    bool ignoreCase;
    int expected;
  };
  const std::vector<Case> cases = {
      {"abcabc", "bc", kToEnd, false, 5},
      {"abcabc", "bc", 7, false, 5},
      {"abcabc", "bc", 6, false, 2},  // the second "bc" ends at position 6, not before it
      {"abcabc", "bc", 4, false, 2},
      {"abcabc", "bc", 3, false, -1},
      {"abcabc", "bc", 1, false, -1},
      {"abcabc", "bc", INT_MIN, false, -1},
      {"abcabc", "BC", kToEnd, true, 5},
      {"aaaa", "aa", kToEnd, false, 3},  // overlapping occurrences count
      {"abc", "", kToEnd, false, 1},
      {"abc", "", 2, false, 1},
      {"abc", "", 1, false, -1},
      {"", "", kToEnd, false, -1},
      {kZhongWenZhong, "\xC4\xD6", kToEnd, false, -1},
      {kZhongWenZhong, "\xD6\xD0", kToEnd, false, 5},
      {"a\xB0\x61", "a", kToEnd, false, 1},  // a癮
      {"a\xB0", "\xB0", kToEnd, false, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextFindLast(c.text, c.sought, c.start, c.ignoreCase), c.expected)
        << c.text << " / " << c.sought << " before " << c.start;
  }
}

Text Repeated(const Text& piece, int times) {
  Text text;
  for (int i = 0; i < times; ++i)
    text += piece;
  return text;
}

TEST(TextReplace, ReplacesLeftToRightWithinBounds) {
  struct Case {
    Text text;
    Text sought;
    Text replacement;
    int start;
    int maxCount;
    bool matchCase;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"a+b+c", "+", "%2B", 1, kNoLimit, true, "a%2Bb%2Bc"},
      {"a+b+c", "+", "%2B", 3, kNoLimit, true, "a+b%2Bc"},
      {"a+b+c", "+", "%2B", 1, 1, true, "a%2Bb+c"},
      {"a+b+c", "+", "%2B", 1, INT_MIN, true, "a%2Bb%2Bc"},  // negative: no limit
      {"a+b+c", "+", "%2B", 1, 0, true, "a+b+c"},
      {"a+b+c", "+", "%2B", INT_MAX, kNoLimit, true, "a+b+c"},
      {"a+b+c", "+", "%2B", INT_MIN, INT_MAX, true, "a%2Bb%2Bc"},
      {"a+b+c", "", "x", 1, kNoLimit, true, "a+b+c"},
      {"", "+", "x", 1, kNoLimit, true, ""},
      {"aXbxc", "x", "", 1, kNoLimit, false, "abc"},
      {"aXbxc", "x", "", 1, kNoLimit, true, "aXbc"},
      {"aa", "a", "aa", 1, kNoLimit, true, "aaaa"},  // replacements are not scanned again
      {"aaa", "aa", "b", 1, kNoLimit, true, "ba"},
      {kZhongWenZhong, "\xC4\xD6", "!", 1, kNoLimit, true, kZhongWenZhong},
      {kZhongWenZhong, "\xC4\xD6", "!", 4, kNoLimit, true, "\xD6\xD0\xCE!\xD0"},
      {"\xB0\x61"
       "a",
       "a", "b", 1, kNoLimit, false,
       "\xB0\x61"
       "b"},                                                                   // 癮a
      {"\xB0\x41\xB0\x61", "\xB0\x61", "x", 1, kNoLimit, false, "\xB0\x41x"},  // 癆癮
      {"a\xB0", "a", "b", 1, kNoLimit, true, "b"},        // one-byte sought: lone lead byte dropped
      {"a\xB0", "\xB0", "b", 1, kNoLimit, true, "ab"},    // ... unless it matches there
      {"a\xB0", "a", "b", 1, 1, true, "b\xB0"},           // ... or the limit stopped the scan
      {"ab\xB0", "ab", "c", 1, kNoLimit, true, "c\xB0"},  // longer sought: the tail is kept
      {"\xD6\xD0\xB0", "\xD0", "x", 2, kNoLimit, true, "\xD6x"},
      // The limit reached exactly at the end of a whole block of matches.
      {Text(40, '+'), "+", "-", 1, 16, true, Text(16, '-') + Text(24, '+')},
      {Text(40, '+'), "+", "%2B", 1, 32, true, Repeated("%2B", 32) + Text(8, '+')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextReplace(c.text, c.sought, c.replacement, c.start, c.maxCount, c.matchCase),
              c.expected)
        << c.text << " / " << c.sought << " from " << c.start << " max " << c.maxCount;
    EXPECT_EQ(TextReplace(Text(c.text), c.sought, c.replacement, c.start, c.maxCount, c.matchCase),
              c.expected)
        << "given up: " << c.text << " / " << c.sought << " from " << c.start << " max "
        << c.maxCount;
  }
}

// Long texts: the result is counted out, sized and allocated once, and comes out right,
// across block boundaries, long runs of matches and pieces of two-byte characters.
TEST(TextReplace, AllocatesLongResultsOnce) {
  struct Case {
    const char* name;
    Text text;
    Text sought;
    Text replacement;
    bool matchCase;
    Text expected;
  };
  const Text longReplacement(40, '=');
  const std::vector<Case> cases = {
      {"all matches", Text(100000, '+'), "+", "%2B", true, Repeated("%2B", 100000)},
      {"mixed", Repeated("ab+\xD6\xD0xyz+", 3000) + "\xB0", "+", "%2B", true,
       Repeated("ab%2B\xD6\xD0xyz%2B", 3000)},  // ab+中xyz+ ... then a lone B0, dropped
      {"folded", Repeated("aBcA\xB0\x61", 5000), "a", "<>", false,
       Repeated("<>Bc<>\xB0\x61", 5000)},  // aBcA癮
      {"long replacement", Repeated("0123456789abcdef+", 2000), "+", longReplacement, true,
       Repeated("0123456789abcdef" + longReplacement, 2000)},
      {"longer sought", Repeated("key=value; ", 4000), "; ", "\r\n", true,
       Repeated("key=value\r\n", 4000)},
      {"shorter", Repeated("a+b", 9000), "+", "", true, Repeated("ab", 9000)},
  };
  for (const Case& c : cases) {
    const long before = allocationCount.load();
    const Text replaced = TextReplace(c.text, c.sought, c.replacement, 1, kNoLimit, c.matchCase);
    EXPECT_EQ(allocationCount.load() - before, 1) << c.name;
    EXPECT_TRUE(replaced == c.expected) << c.name;
  }
}

// A text given up to TextReplace is rewritten within its own buffer whenever the result fits
// its capacity, and copied only when it does not; the result is that of the copying form.
TEST(TextReplace, GivenUpTextIsRewrittenInItsOwnBuffer) {
  struct Case {
    const char* name;
    Text text;
    Text sought;
    Text replacement;
    std::size_t capacity;
    bool fits;
  };
  const Text plain = Repeated("ab+cdefghijklm/+nopq", 5000);  // 100000 bytes, 10000 "+"
  const Text wide = Repeated("\xD6\xD0+x", 25000);            // 中+x ...: 100000 bytes
  const std::vector<Case> cases = {
      {"longer, room to spare", plain, "+", "%2B", 130000, true},
      {"longer, just enough", plain, "+", "%2B", 120000, true},
      {"longer, 20 bytes short", plain, "+", "%2B", 119980, false},
      {"longer, no room", plain, "+", "%2B", 100000, false},
      {"longer, past two-byte characters", wide, "+", "%2B", 150000, true},
      {"long replacement", plain, "+", Text(40, '='), 500000, true},
      {"longer, no match", plain, "#", "%23", 100000, true},
      {"equal", plain, "+", "-", 100000, true},
      {"shorter", plain, "+", "", 100000, true},
      {"longer sought", wide, "+x", "", 100000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Text expected = TextReplace(c.text, c.sought, c.replacement, 1, kNoLimit, true);
    Text text;
    text.reserve(c.capacity);
    text += c.text;
    ASSERT_EQ(expected.size() <= text.capacity(), c.fits);
    const char* before = text.data();
    const Text result = TextReplace(std::move(text), c.sought, c.replacement, 1, kNoLimit, true);
    EXPECT_TRUE(result == expected);
    EXPECT_EQ(result.data() == before, c.fits);
  }
  // A text that is also the replacement is read as it was.
  Text self = "xax";
  EXPECT_EQ(TextReplace(std::move(self), "a", self, 1, kNoLimit, true), "xxaxx");
}

TEST(TextSplit, KeepsInnerEmptyPiecesButNoTrailingOne) {
  struct Case {
    Text text;
    Text delimiter;
    TextArray expected;
  };
  const std::vector<Case> cases = {
      {"", ",", {}},
      {"", "", {}},
      {"a,b", "", {"a,b"}},
      {"a", ",", {"a"}},
      {"a,b,c", ",", {"a", "b", "c"}},
      {",a", ",", {"", "a"}},
      {"a,,b", ",", {"a", "", "b"}},
      {"a,b,", ",", {"a", "b"}},
      {",", ",", {""}},
      {",,", ",", {"", ""}},
      {"a; b; c", "; ", {"a", "b", "c"}},
      {"a,B", "b", {"a,B"}},  // always case-sensitive
      {kZhongWenZhong, "\xC4\xD6", {kZhongWenZhong}},
      {"\xD6\xD0,\xCE\xC4", ",", {"\xD6\xD0", "\xCE\xC4"}},  // 中,文
      {"a,\xB0", ",", {"a", "\xB0"}},  // an unpaired lead byte stays in the last piece
      {"\xB0,", ",", {"\xB0,"}},       // B0 2C is one character
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextSplit(c.text, c.delimiter), c.expected) << c.text;
}

TEST(TextArray, RemoveAtShiftsAndIgnoresBadIndices) {
  TextArray array{"a", "b", "c"};
  for (int bad : {0, 4, -1, INT_MIN, INT_MAX})
    array.RemoveAt(bad);
  EXPECT_EQ(array, (TextArray{"a", "b", "c"}));
  array.RemoveAt(2);
  EXPECT_EQ(array, (TextArray{"a", "c"}));
  array.RemoveAt(2);
  array.RemoveAt(1);
  EXPECT_EQ(array.Count(), 0);
  array.RemoveAt(1);
  EXPECT_EQ(array.Count(), 0);
}

TEST(ByteArrays, ConvertCutJoinAndCompare) {
  const ByteArray bytes{1, 0, 2};
  EXPECT_EQ(TextToBytes(kZhongWen), (ByteArray{0xD6, 0xD0, 0xCE, 0xC4}));
  EXPECT_EQ(TextToBytes(""), ByteArray());
  EXPECT_EQ(BytesToText(ByteArray{0x41, 0x42, 0, 0x43}), "AB");
  EXPECT_EQ(BytesToText(ByteArray{0xD6, 0xD0}), "\xD6\xD0");
  EXPECT_EQ(BytesToText(ByteArray{0}), "");
  EXPECT_EQ(BytesLength(bytes), 3);
  EXPECT_EQ(BytesConcat(bytes, ByteArray(), ByteArray{9}), (ByteArray{1, 0, 2, 9}));
  EXPECT_TRUE(BytesEqual(ByteArray(), ByteArray()));
  EXPECT_FALSE(BytesEqual(bytes, ByteArray{1, 0}));
  EXPECT_EQ(ZeroBytes(2), (ByteArray{0, 0}));
  EXPECT_EQ(ZeroBytes(INT_MIN), ByteArray());

  struct MidCase {
    int start;
    int n;
    ByteArray expected;
  };
  const std::vector<MidCase> cases = {
      {1, 2, {1, 0}},
      {0, 2, {1, 0}},  // a start below 1 reads from the first byte
      {INT_MIN, INT_MAX, {1, 0, 2}},
      {2, INT_MAX, {0, 2}},
      {3, 1, {2}},
      {4, 1, {}},
      {INT_MAX, INT_MAX, {}},
      {1, 0, {}},
      {1, INT_MIN, {}},
  };
  for (const MidCase& c : cases) {
    EXPECT_EQ(BytesMid(bytes, c.start, c.n), c.expected) << c.start << ", " << c.n;
  }
}

TEST(Integers, BitOperations) {
  EXPECT_EQ(ToByte(0x1FF), 0xFF);
  EXPECT_EQ(ToByte(-1), 0xFF);
  EXPECT_EQ(ToByte(INT_MIN), 0);
  EXPECT_EQ(BitAnd(-1, 0x5A), 0x5A);
  EXPECT_EQ(ShiftLeft(1, 4), 16);
  EXPECT_EQ(ShiftLeft(1, 36), 16);  // n mod 32
  EXPECT_EQ(ShiftLeft(1, 31), INT_MIN);
  EXPECT_EQ(ShiftLeft(-1, 1), -2);
  EXPECT_EQ(ShiftLeft(3, -1), INT_MIN);  // -1 mod 32 is 31
  EXPECT_EQ(ShiftRight(-16, 2), -4);     // the sign bit is copied in
  EXPECT_EQ(ShiftRight(INT_MIN, 31), -1);
  EXPECT_EQ(ShiftRight(256, 40), 1);
  EXPECT_EQ(ShiftRight(5, INT_MIN), 5);
  EXPECT_DOUBLE_EQ(Remainder(7.5, 2), 1.5);
  EXPECT_DOUBLE_EQ(Remainder(-7.5, 2), -1.5);
  EXPECT_DOUBLE_EQ(Remainder(7.5, -2), 1.5);
}

TEST(DelimiterOperations, CutAtFirstAndLastOccurrences) {
  struct Case {
    const char* name;
    Text actual;
    Text expected;
  };
  const Text list = "a=1;b=2;c=3";
  const std::vector<Case> cases = {
      {"before first", TextBefore(list, ";"), "a=1"},
      {"before missing", TextBefore(list, "#"), ""},
      {"before at start", TextBefore(";x", ";"), ""},
      {"before from 5", TextBefore(list, ";", 5), "a=1;b=2"},
      {"before -1 is last", TextBefore(list, ";", -1), "a=1;b=2"},
      {"before -4 ends in first 7 bytes", TextBefore(list, ";", -4), "a=1"},
      {"before INT_MIN", TextBefore(list, ";", INT_MIN), ""},
      {"before INT_MAX", TextBefore(list, ";", INT_MAX), ""},
      {"before folded", TextBefore("xAby", "ab", 0, true), "x"},
      {"after last", TextAfter(list, ";"), "c=3"},
      {"after missing", TextAfter(list, "#"), ""},
      {"after at end", TextAfter("x;", ";"), ""},
      {"after -1 is first", TextAfter(list, ";", -1), "b=2;c=3"},
      {"after -5 from position 5", TextAfter(list, ";", -5), "c=3"},
      {"after 4 ends in first 7 bytes", TextAfter(list, ";", 4), "b=2;c=3"},
      {"after INT_MIN", TextAfter(list, ";", INT_MIN), ""},
      {"after INT_MAX", TextAfter(list, ";", INT_MAX), ""},
      {"after GBK", TextAfter("\xD6\xD0:\xCE\xC4", ":"), "\xCE\xC4"},  // 中:文
      {"between", TextBetween("<b>x</b>", "<b>", "</b>"), "x"},
      {"between adjacent", TextBetween("<b></b>", "<b>", "</b>"), ""},
      {"between no right", TextBetween("<b>x", "<b>", "</b>"), ""},
      {"between no left", TextBetween("x</b>", "<b>", "</b>"), ""},
      {"between right only before left", TextBetween("</b><b>x", "<b>", "</b>"), ""},
      // "#引号" stands for a double quote in either delimiter.
      {"between quotes", TextBetween("id=\"42\" n", "id=#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"),
       "42"},
      {"between placeholder in the text is no quote",
       TextBetween("#\xD2\xFD\xBA\xC5x#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5"),
       ""},
      {"between from start", TextBetween("[a][b]", "[", "]", 2), "b"},
      {"between INT_MAX", TextBetween("[a]", "[", "]", INT_MAX), ""},
      {"between INT_MIN", TextBetween("[a]", "[", "]", INT_MIN), "a"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.actual, c.expected) << c.name;
}

}  // namespace
}  // namespace quorvel
