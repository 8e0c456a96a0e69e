// Tests of the Linux code-page functions: what code page 936 and UTF-8 decode and encode to,
// measuring, too-small buffers, and use from several threads at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/code_pages.h"

namespace quorvel {
namespace {

// Decodes text completely; empty when the call fails.
std::u16string Decode(int codePage, const std::string& text) {
  CodePages& pages = SystemCodePages();
  const int units = pages.MultiByteToWideChar(codePage, text.c_str(), nullptr, 0);
  if (units <= 0) return {};
  std::u16string buffer(static_cast<std::size_t>(units), u'\x1234');
  EXPECT_EQ(pages.MultiByteToWideChar(codePage, text.c_str(), buffer.data(), units), units);
  return buffer;
}

// Encodes wide completely; empty when the call fails.
std::string Encode(int codePage, const std::u16string& wide) {
  CodePages& pages = SystemCodePages();
  const int bytes = pages.WideCharToMultiByte(codePage, wide.c_str(), nullptr, 0);
  if (bytes <= 0) return {};
  std::string buffer(static_cast<std::size_t>(bytes), '#');
  EXPECT_EQ(pages.WideCharToMultiByte(codePage, wide.c_str(), buffer.data(), bytes), bytes);
  return buffer;
}

struct DecodeCase {
  int codePage;
  std::string text;
  std::u16string expected;  // terminator included
};

TEST(CodePagesTest, DecodesAsWindowsDoes) {
  const DecodeCase cases[] = {
      {936, "", std::u16string(1, u'\0')},
      {936, "Az", std::u16string(u"Az", 3)},
      {936, "\xD6\xD0\xCE\xC4", std::u16string(u"\u4E2D\u6587", 3)},  // 中文
      {0, "\xD6\xD0\xCE\xC4", std::u16string(u"\u4E2D\u6587", 3)},    // 0 is 936 here
      {936, "\x80", std::u16string(u"\u20AC", 2)},                    // €
      {936, "\xA1\xA4\xA1\xAA", std::u16string(u"\u00B7\u2014", 3)},  // ·—
      {936, "\xA2\xA1", std::u16string(u"\u2170", 2)},                // ⅰ
      // The user-defined areas go to the private use area.
      {936, "\xAA\xA1\xAF\xFE", std::u16string(u"\uE000\uE233", 3)},
      {936, "\xF8\xA1\xA1\x40\xA1\x80\xA7\xA0", std::u16string(u"\uE234\uE4C6\uE505\uE765", 5)},
      // Bytes code page 936 has no character for.
      {936,
       "\xFF"
       "A",
       std::u16string(u"\u30FB"
                      "A",
                      3)},
      {936, "\x81\x30",
       std::u16string(u"\u30FB"
                      "0",
                      3)},                            // a lead byte without its trail
      {936, "A\x81", std::u16string(u"A\u30FB", 3)},  // a lead byte at the end
      {936, "\x81\x7F", std::u16string(u"\u30FB\x7F", 3)},
      {65001, "\xE4\xB8\xAD", std::u16string(u"\u4E2D", 2)},
      {65001, "\xF0\x9F\x98\x80", std::u16string(u"\U0001F600", 3)},
      {65001, "\xEF\xBB\xBF", std::u16string(u"\uFEFF", 2)},
      // Malformed UTF-8: one replacement for each part that cannot be completed.
      {65001,
       "\xE4\xB8"
       "A",
       std::u16string(u"\uFFFD"
                      "A",
                      3)},
      {65001, "\xC0\xAF", std::u16string(u"\uFFFD\uFFFD", 3)},
      {65001, "\xED\xA0\x80", std::u16string(u"\uFFFD\uFFFD\uFFFD", 4)},
      {65001, "\xF4\x90\x80\x80", std::u16string(u"\uFFFD\uFFFD\uFFFD\uFFFD", 5)},
      {65001, "A\xF0\x9F\x98", std::u16string(u"A\uFFFD", 3)},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(Decode(c.codePage, c.text), c.expected) << c.codePage << " " << c.text;
  }
}

struct EncodeCase {
  int codePage;
  std::u16string wide;
  std::string expected;  // terminator included
};

TEST(CodePagesTest, EncodesWithQuestionMarkForMissingCharacters) {
  const EncodeCase cases[] = {
      {936, u"", std::string(1, '\0')},
      {936, u"\u4E2D\u6587", std::string("\xD6\xD0\xCE\xC4", 5)},  // 中文
      {0, u"\u20AC", std::string("\x80", 2)},
      {936, u"\uE000\uE4C6\uE765", std::string("\xAA\xA1\xA1\x40\xA7\xA0", 7)},
      {936, u"A\uAC00B", std::string("A?B", 4)},  // 가 is not in GBK
      {936, u"\uFFFD", std::string("?", 2)},
      {936, u"\U0001F600!", std::string("?!", 3)},  // one ? for a surrogate pair
      {936,
       u"\xD800"
       "A",
       std::string("?A", 3)},  // a lone surrogate
      {65001, u"\u4E2D\u20AC", std::string("\xE4\xB8\xAD\xE2\x82\xAC", 7)},
      {65001, u"\U0001F600", std::string("\xF0\x9F\x98\x80", 5)},
      {65001,
       u"\xDC00"
       "A",
       std::string("\xEF\xBF\xBD"
                   "A",
                   5)},
  };
  for (const EncodeCase& c : cases) {
    EXPECT_EQ(Encode(c.codePage, c.wide), c.expected) << c.codePage << " " << c.expected;
  }
}

// Every double-byte code that decodes to a character encodes back to the same bytes.
TEST(CodePagesTest, GbkCharactersRoundTrip) {
  int mapped = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string wide = Decode(936, bytes);
      ASSERT_EQ(wide.size(), 2u) << std::hex << lead << " " << trail;
      if (wide[0] == u'\u30FB') continue;
      ++mapped;
      ASSERT_EQ(Encode(936, wide.substr(0, 1)), bytes + '\0') << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(mapped, 23000);  // GBK's characters and the user-defined areas
}

TEST(CodePagesTest, MeasuresWithoutWritingAndRefusesBadArguments) {
  CodePages& pages = SystemCodePages();
  char16_t units[2] = {u'x', u'x'};
  EXPECT_EQ(pages.MultiByteToWideChar(936,
                                      "\xD6\xD0"
                                      "ab",
                                      units, 0),
            4);
  EXPECT_EQ(units[0], u'x');
  char bytes[2] = {'x', 'x'};
  EXPECT_EQ(pages.WideCharToMultiByte(65001, u"\u4E2Da", bytes, 0), 5);
  EXPECT_EQ(bytes[0], 'x');

  EXPECT_EQ(pages.MultiByteToWideChar(1252, "a", nullptr, 0), 0);
  EXPECT_EQ(pages.WideCharToMultiByte(1252, u"a", nullptr, 0), 0);
  EXPECT_EQ(pages.MultiByteToWideChar(936, nullptr, nullptr, 0), 0);
  EXPECT_EQ(pages.WideCharToMultiByte(936, nullptr, nullptr, 0), 0);
  EXPECT_EQ(pages.MultiByteToWideChar(936, "a", units, -1), 0);
  EXPECT_EQ(pages.WideCharToMultiByte(936, u"a", bytes, -1), 0);
  EXPECT_EQ(pages.MultiByteToWideChar(936, "a", nullptr, 2), 0);
}

// A buffer that is too small gives 0 and keeps the whole characters that fit.
TEST(CodePagesTest, TooSmallBufferKeepsWholeCharactersThatFit) {
  CodePages& pages = SystemCodePages();
  std::u16string units(3, u'x');
  EXPECT_EQ(pages.MultiByteToWideChar(936, "\xD6\xD0\xCE\xC4", units.data(), 2), 0);
  EXPECT_EQ(units, u"\u4E2D\u6587x");
  units.assign(3, u'x');
  EXPECT_EQ(pages.MultiByteToWideChar(65001, "A\xF0\x9F\x98\x80", units.data(), 2), 0);
  EXPECT_EQ(units, u"Axx");  // the surrogate pair is not cut

  std::string bytes(6, '#');
  EXPECT_EQ(pages.WideCharToMultiByte(65001, u"\u4E2D\u6587", bytes.data(), 5), 0);
  EXPECT_EQ(bytes, "\xE4\xB8\xAD###");
  bytes.assign(6, '#');
  EXPECT_EQ(pages.WideCharToMultiByte(936, u"a\u4E2D\u6587", bytes.data(), 4), 0);
  EXPECT_EQ(bytes, "a\xD6\xD0###");
  bytes.assign(6, '#');
  EXPECT_EQ(pages.WideCharToMultiByte(936, u"ab", bytes.data(), 2), 0);  // no room for the end
  EXPECT_EQ(bytes, "ab####");
}

TEST(CodePagesTest, ConvertsOnManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      const std::string gbk = std::string(static_cast<std::size_t>(t + 1), 'a') + "\xD6\xD0\x80";
      const std::u16string wide =
          std::u16string(static_cast<std::size_t>(t + 1), u'a') + u"\u4E2D\u20AC" + u'\0';
      for (int i = 0; i < 300; ++i) {
        if (Decode(t % 2 == 0 ? 936 : 0, gbk) != wide) ++failures[t];
        if (Encode(936, wide.substr(0, wide.size() - 1)) != gbk + '\0') ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace quorvel
