// Tests of the code-page conversions: TextToWide, WideToText and AnsiToUtf8 over the platform's
// code pages, ConvertCharset over the platform's stream object and over a recording fake.
#include "text/code_page.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fakes/fake_stream_object.h"

namespace quorvel {
namespace {

ByteArray Bytes(const std::string& bytes) {
  return ByteArray(bytes.begin(), bytes.end());
}

// 中文 in GBK and in UTF-8.
const std::string kGbkChinese = "\xD6\xD0\xCE\xC4";
const std::string kUtf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(AnsiToUtf8Test, ConvertsGbkText) {
  const struct {
    Text text, expected;
  } cases[] = {
      {"", ""},
      {"Hello, world ~!", "Hello, world ~!"},
      {"\xD6\xD0", "\xE4\xB8\xAD"},                              // 中
      {"a" + kGbkChinese + "b", "a" + kUtf8Chinese + "b"},       // a中文b
      {"\xA1\xA1", "\xE3\x80\x80"},                              // the full-width space
      {"\x80", "\xE2\x82\xAC"},                                  // €
      {"\x80\x80\x80", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},  // three bytes, nine in UTF-8
      {"\xFF\xFF", "\xE3\x83\xBB\xE3\x83\xBB"},                  // bytes 936 cannot decode
  };
  for (const auto& c : cases)
    EXPECT_EQ(AnsiToUtf8(c.text), c.expected) << c.text;
}

TEST(TextToWideTest, GivesUnitsWithTerminator) {
  const struct {
    Text text;
    int codePage;
    std::string expected;
  } cases[] = {
      {"", kCodePageGbk, std::string(2, '\0')},
      {"A", kCodePageUtf8, std::string("A\0\0\0", 4)},
      {"\xD6\xD0", kCodePageGbk, std::string("\x2D\x4E\0\0", 4)},
      // The buffer keeps the size the ANSI code page measures: three units here.
      {"\xE4\xB8\xAD", kCodePageUtf8, std::string("\x2D\x4E\0\0\0\0", 6)},
      // Read as UTF-8, the GBK bytes need more units than the ANSI code page measures.
      {"\xD6\xD0", kCodePageUtf8, std::string("\xFD\xFF\xFD\xFF\0\0", 6)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToWide(c.text, c.codePage), Bytes(c.expected)) << c.text << " " << c.codePage;
  }
  EXPECT_EQ(TextToWide("A"), Bytes(std::string("A\0\0\0", 4)));  // 65001 by default
}

TEST(WideToTextTest, StopsAtZeroAndNeverReadsPastTheEnd) {
  const struct {
    std::string wide;
    int codePage;
    Text expected;
  } cases[] = {
      {std::string("\x2D\x4E\0\0", 4), kCodePageAnsi, "\xD6\xD0"},
      {std::string("\x2D\x4E\0\0", 4), kCodePageUtf8, "\xE4\xB8\xAD"},
      {std::string("A\0\0\0B\0\0\0", 8), kCodePageAnsi, "A"},
      {std::string("A\0B\0", 4), kCodePageAnsi, "AB"},  // no terminating unit
      {std::string("A\0B", 3), kCodePageAnsi, "A"},     // an odd length
      {std::string("A", 1), kCodePageAnsi, ""},
      {"", kCodePageAnsi, ""},
      {std::string("\x00\xD8\0\0", 4), kCodePageUtf8, "\xEF\xBF\xBD"},  // a lone surrogate
      {std::string("\x00\xAC\0\0", 4), kCodePageAnsi, "?"},             // 가
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WideToText(Bytes(c.wide), c.codePage), c.expected) << c.codePage;
  }
  EXPECT_EQ(WideToText(Bytes(std::string("\x2D\x4E\0\0", 4))), "\xD6\xD0");  // 0 by default
}

TEST(ConvertCharsetTest, ConvertsThroughThePlatformStream) {
  const struct {
    std::string data;
    Text from, to;
    std::optional<int> startPosition;
    std::string expected;
  } cases[] = {
      {kUtf8Chinese, "", "", {}, kGbkChinese},
      {"\xEF\xBB\xBF" + kUtf8Chinese, "", "", {}, kGbkChinese},
      {"plain ASCII", "", "", {}, "plain ASCII"},
      {"", "", "", {}, ""},
      {kGbkChinese, "GBK", "UTF-8", {}, "\xEF\xBB\xBF" + kUtf8Chinese},
      {kGbkChinese, "GBK", "UTF-8", 0, "\xEF\xBB\xBF" + kUtf8Chinese},
      {kGbkChinese, "GBK", "UTF-8", 3, kUtf8Chinese},
      {kGbkChinese, "GBK", "UTF-8", 2, "\xBF" + kUtf8Chinese},
      {kGbkChinese, "gb2312", "unicode", {}, std::string("\xFF\xFE\x2D\x4E\x87\x65", 6)},
      {std::string("\xFF\xFE\x2D\x4E\x87\x65", 6), "Unicode", "", {}, kGbkChinese},
      {"a\xEA\xB0\x80"
       "b",
       "",
       "",
       {},
       "a?b"},  // 가 is not in GBK
      {"a\xE4\xB8"
       "b\xFF",
       "",
       "",
       {},
       "a?b?"},                                   // malformed UTF-8
      {std::string("a\0b", 3), "", "", {}, "a"},  // the text ends at a zero byte
      {kUtf8Chinese, "klingon", "", {}, ""},
      {kUtf8Chinese, "", "klingon", {}, ""},
      // Start positions that cannot be set, or lie past the end, leave nothing to read.
      {kUtf8Chinese, "", "", 4, ""},
      {kUtf8Chinese, "", "", INT_MAX, ""},
      {kUtf8Chinese, "", "", -1, ""},
      {kUtf8Chinese, "", "", INT_MIN, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertCharset(Bytes(c.data), c.from, c.to, c.startPosition), Bytes(c.expected))
        << c.data << " from " << c.from << " to " << c.to << " at "
        << c.startPosition.value_or(-99);
  }
  EXPECT_EQ(ConvertCharset(Bytes(kUtf8Chinese)), Bytes(kGbkChinese));
}

TEST(ConvertCharsetTest, DrivesTheStreamStepByStep) {
  FakeStreamObjectFactory factory;
  factory.SetReadText("\xD6\xD0");
  factory.SetRead(Bytes("out"));
  EXPECT_EQ(ConvertCharset(Bytes("in"), "", "UTF-8", 3), Bytes("out"));
  const std::vector<StreamCall> expected = {
      {"SetType", "1"},
      {"Open", ""},
      {"Write", "in"},
      {"SetPosition", "0"},
      {"SetType", "2"},
      {"SetCharset", "UTF-8"},
      {"ReadText", ""},
      {"Close", ""},
      {"Open", ""},
      {"SetCharset", "UTF-8"},
      {"WriteText", "\xD6\xD0"},
      {"SetPosition", "0"},
      {"SetType", "1"},
      {"SetPosition", "3"},
      {"Read", ""},
      {"Release", ""},
  };
  EXPECT_EQ(factory.Calls(), expected);
  EXPECT_EQ(factory.Created(), 1);

  // Without a start position the position is set only once after writing.
  FakeStreamObjectFactory defaults;
  ConvertCharset(Bytes("in"));
  std::vector<StreamCall> calls = defaults.Calls();
  ASSERT_EQ(calls.size(), 15u);
  EXPECT_EQ(calls[9], (StreamCall{"SetCharset", "GBK"}));
  EXPECT_EQ(calls[13], (StreamCall{"Read", ""}));
}

TEST(ConvertCharsetTest, FailuresGiveEmptyResultButStepsStillRun) {
  const struct {
    std::string name;
    std::optional<std::string> arg;
    std::string expectedWriteText, expected;
  } cases[] = {
      {"Open", {}, "\xD6\xD0", "out"},  // ignored: nothing depends on it in the fake
      {"SetCharset", "UTF-8", "", ""},      {"SetCharset", "GBK", "\xD6\xD0", ""},
      {"SetPosition", "5", "\xD6\xD0", ""}, {"Read", {}, "\xD6\xD0", ""},
  };
  for (const auto& c : cases) {
    FakeStreamObjectFactory factory;
    factory.SetReadText("\xD6\xD0");
    factory.SetRead(Bytes("out"));
    factory.FailCall(c.name, c.arg);
    EXPECT_EQ(ConvertCharset(Bytes("in"), "", "", 5), Bytes(c.expected)) << c.name;
    const std::vector<StreamCall> calls = factory.Calls();
    ASSERT_EQ(calls.size(), 16u) << c.name;
    EXPECT_EQ(calls[10], (StreamCall{"WriteText", c.expectedWriteText})) << c.name;
    EXPECT_EQ(calls.back(), (StreamCall{"Release", ""})) << c.name;
  }

  FakeStreamObjectFactory missing;
  missing.FailCreation();
  EXPECT_EQ(ConvertCharset(Bytes(kUtf8Chinese)), ByteArray());
  EXPECT_TRUE(missing.Calls().empty());
}

}  // namespace
}  // namespace quorvel
