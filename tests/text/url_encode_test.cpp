// Tests of UrlEncode: which bytes pass, the shape of an escape, and the UTF-8 switch.
#include "text/url_encode.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/code_pages.h"

namespace quorvel {
namespace {

TEST(UrlEncodeTest, Cases) {
  struct Case {
    Text text;
    bool keepUnreserved;
    bool toUtf8;
    Text expected;
  };
  const Case cases[] = {
      // Only - . digits and letters are unreserved; space is %20, never "+".
      {"a b-c.d_e~f/", true, false, "a%20b-c.d%5Fe%7Ef%2F"},
      {"AZaz09", true, false, "AZaz09"},
      {"+&=%?#", true, false, "%2B%26%3D%25%3F%23"},
      // Without keepUnreserved every byte is escaped.
      {"A1", false, false, "%41%31"},
      {"a b", false, false, "%61%20%62"},
      // Always two upper-case digits.
      {"\x0A", true, false, "%0A"},
      {"\x01\x7F", true, false, "%01%7F"},
      {"\xFF", true, false, "%FF"},
      // "中" in GBK: its two bytes; with toUtf8 the three bytes of its UTF-8 form.
      {"\xD6\xD0", true, false, "%D6%D0"},
      {"\xD6\xD0", true, true, "%E4%B8%AD"},
      {"a\xD6\xD0", false, true, "%61%E4%B8%AD"},
      // The empty text stays empty whatever the flags.
      {"", false, false, ""},
      {"", true, false, ""},
      {"", true, true, ""},
      {"", false, true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UrlEncode(c.text, c.keepUnreserved, c.toUtf8), c.expected)
        << "text " << c.text << ", keepUnreserved " << c.keepUnreserved << ", toUtf8 " << c.toUtf8;
  }
}

TEST(UrlEncodeTest, EachSingleByte) {
  const Text unreserved = "-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int value = 1; value <= 255; ++value) {
    const Text text(1, static_cast<char>(value));
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", value);
    const bool kept = unreserved.find(text) != Text::npos;
    EXPECT_EQ(UrlEncode(text, true), kept ? text : Text(escape)) << value;
    EXPECT_EQ(UrlEncode(text, false), Text(escape)) << value;
  }
}

// Code pages whose every conversion fails.
class FailingCodePages : public CodePages {
 public:
  int MultiByteToWideChar(int, const char*, char16_t*, int) override { return 0; }
  int WideCharToMultiByte(int, const char16_t*, char*, int) override { return 0; }
};

TEST(UrlEncodeTest, FailedConversionGivesEmptyText) {
  FailingCodePages failing;
  OverrideCodePages(&failing);
  const Text converted = UrlEncode("a\xD6\xD0", true, true);
  const Text plain = UrlEncode("a\xD6\xD0", true, false);
  OverrideCodePages(nullptr);
  EXPECT_EQ(converted, "");
  EXPECT_EQ(plain, "a%D6%D0");
}

}  // namespace
}  // namespace quorvel
