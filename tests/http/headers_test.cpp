// Tests of the header block operations: default headers, normalisation, name and value.
#include "http/headers.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

struct BlockCase {
  Text input;
  Text expected;
};

TEST(NormalizeHeaderBlockTest, RewritesNamesAndDropsLinesWithoutColon) {
  const BlockCase cases[] = {
      {"user-agent: x\r\naccept-language: zh-cn", "User-Agent: x\r\nAccept-Language: zh-cn"},
      {"x-requested-with: y", "X-Requested-With: y"},
      {"content-type:text/plain", "Content-Type:text/plain"},
      // Only the name changes: the value keeps its case and its own "-".
      {"accept: text/x-foo-bar", "Accept: text/x-foo-bar"},
      {"my header: v", "My header: v"},
      // Every "-" stays, at the start, doubled or at the end.
      {"a-: b", "A-: b"},
      {"a--b: c", "A--B: c"},
      {"-a: b", "-A: b"},
      {"-: b", "-: b"},
      {": v", ": v"},
      // A leading space is the first character, so nothing is upper-cased.
      {"  accept: x", "  accept: x"},
      {"no colon\r\n\r\nhost: h", "Host: h"},
      {"no colon\r\n\r\n", ""},
      {"", ""},
      {"\r\n", ""},
      {"\r\nAccept: */*\r\nreferer: u", "Accept: */*\r\nReferer: u"},
      {"a: 1\r\n", "A: 1"},
      // A CR before the CR LF belongs to the line and survives.
      {"a: 1\r\r\nb: 2", "A: 1\r\r\nB: 2"},
      // "中-ab: v": a GBK character first stays whole, the part after "-" is capitalised.
      {"\xD6\xD0-ab: v", "\xD6\xD0-Ab: v"},
      // "x-乤b": the second byte of 乤 (81 61) is "a" and must not be upper-cased.
      {"x-\x81\x61"
       "b: v",
       "X-\x81\x61"
       "b: v"},
  };
  for (const BlockCase& c : cases) {
    EXPECT_EQ(NormalizeHeaderBlock(c.input), c.expected) << "input: " << c.input;
  }
}

struct LineCase {
  Text line;
  Text name;
  Text value;
};

TEST(HeaderNameValueTest, CutAtFirstColonAndTrimSpacesOnly) {
  const LineCase cases[] = {
      {"Host:", "Host", ""},
      {"Referer: a:b", "Referer", "a:b"},
      {"no colon", "", ""},
      {"", "", ""},
      {":", "", ""},
      {"  Name  :   v w  ", "Name", "v w"},
      {"A: 1\r", "A", "1\r"},
      {"\tX:\ty\t", "\tX", "\ty\t"},
      // Full-width spaces (A1 A1) are trimmed like ASCII spaces: "　N:　v　".
      {"\xA1\xA1N:\xA1\xA1v\xA1\xA1", "N", "v"},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(HeaderName(c.line), c.name) << "line: " << c.line;
    EXPECT_EQ(HeaderValue(c.line), c.value) << "line: " << c.line;
  }
}

TEST(CapitalizeFirstTest, UpperCasesOnlyAnAsciiFirstByte) {
  const BlockCase cases[] = {
      {"", ""},
      {"a", "A"},
      {"abc", "Abc"},
      {"Abc", "Abc"},
      {"1a", "1a"},
      {"\xD6\xD0"
       "a",
       "\xD6\xD0"
       "a"},             // "中a"
      {"\x81", "\x81"},  // a lone lead byte
  };
  for (const BlockCase& c : cases) {
    EXPECT_EQ(CapitalizeFirst(c.input), c.expected) << "input: " << c.input;
  }
}

struct AppendCase {
  Text block;
  Text probe;
  Text expected;
};

TEST(AppendDefaultHeaderTest, AppendsOnlyWhenProbeIsNowhereInBlock) {
  const Text line = "\r\nAccept: */*";
  const AppendCase cases[] = {
      {"ACCEPT: text/html", "Accept:", "ACCEPT: text/html"},
      {"X-Accept: y", "Accept:", "X-Accept: y"},
      {"X: y accept: z", "Accept:", "X: y accept: z"},
      {"Accept-Language: zh-cn", "Accept:", "Accept-Language: zh-cn\r\nAccept: */*"},
      {"Accept : x", "Accept:", "Accept : x\r\nAccept: */*"},
      {"", "Accept:", "\r\nAccept: */*"},
  };
  for (const AppendCase& c : cases) {
    Text block = c.block;
    AppendDefaultHeader(block, c.probe, line);
    EXPECT_EQ(block, c.expected) << "block: " << c.block;
  }
}

}  // namespace
}  // namespace quorvel
