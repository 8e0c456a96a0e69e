// Tests of NameValueList (rendering, lookups by name, query parsing, copies, and the calls it
// makes through its own virtual functions) and of ReplaceMany.
#include "text/name_value_list.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace quorvel {
namespace {

using Pairs = std::vector<std::pair<Text, Text>>;

void AddAll(NameValueList& list, const Pairs& pairs) {
  for (const auto& [name, value] : pairs)
    list.Add(name, value);
}

Pairs PairsOf(const NameValueList& list) {
  const TextArray names = list.Names();
  const TextArray values = list.Values();
  EXPECT_EQ(names.Count(), values.Count());
  Pairs pairs;
  for (int i = 1; i <= names.Count(); ++i)
    pairs.emplace_back(names[i], values[i]);
  return pairs;
}

TEST(NameValueListTest, Renders) {
  struct Case {
    Pairs pairs;
    bool encode;
    Text form;
    Text headers;
    Text json;
  };
  const Case cases[] = {
      {{}, false, "", "", "{}"},
      {{}, true, "", "", "{}"},
      {{{"a", "1"}, {"b", "2"}}, false, "a=1&b=2", "a: 1\r\nb: 2", R"({"a":"1","b":"2"})"},
      {{{"User-Agent", "Mozilla/5.0 (x)"}},
       false,
       "User-Agent=Mozilla/5.0 (x)",
       "User-Agent: Mozilla/5.0 (x)",
       R"j({"User-Agent":"Mozilla/5.0 (x)"})j"},
      // encode: both parts of a form pair, only the value of a header line.
      {{{"a b", "c&d"}}, false, "a b=c&d", "a b: c&d", R"({"a b":"c&d"})"},
      {{{"a b", "c&d"}}, true, "a%20b=c%26d", "a b: c%26d", R"({"a b":"c&d"})"},
      // "中" = "文" in GBK.
      {{{"\xD6\xD0", "\xCE\xC4"}},
       true,
       "%D6%D0=%CE%C4",
       "\xD6\xD0: %CE%C4",
       "{\"\xD6\xD0\":\"\xCE\xC4\"}"},
      {{{"", ""}}, false, "=", ": ", R"({"":""})"},
      {{{"", ""}, {"", ""}}, false, "=&=", ": \r\n: ", R"({"":"","":""})"},
      // Only the comma after the last member goes, not one inside a value; names are not
      // escaped, values only have their double quotes escaped.
      {{{"a", "x,"}, {"b", ","}}, false, "a=x,&b=,", "a: x,\r\nb: ,", R"({"a":"x,","b":","})"},
      {{{"q\"", "say \"hi\" \\n"}},
       false,
       "q\"=say \"hi\" \\n",
       "q\": say \"hi\" \\n",
       R"({"q"":"say \"hi\" \n"})"},
  };
  for (const Case& c : cases) {
    NameValueList list;
    AddAll(list, c.pairs);
    EXPECT_EQ(list.ToFormData(c.encode), c.form);
    EXPECT_EQ(list.ToHeaderBlock(c.encode), c.headers);
    EXPECT_EQ(list.ToJson(), c.json);
    EXPECT_EQ(PairsOf(list), c.pairs) << "rendering changed the list";
  }
}

TEST(NameValueListTest, LookupsTakeTheFirstPairWithExactlyThatName) {
  NameValueList list;
  AddAll(list, {{"x", "1"}, {"X", "2"}, {"x", "3"}});
  EXPECT_EQ(list.Get("x"), "1");
  EXPECT_EQ(list.Get("X"), "2");
  EXPECT_EQ(list.Get("y"), "");
  EXPECT_EQ(list.Get(""), "");

  list.Set("x", "v");
  EXPECT_EQ(PairsOf(list), (Pairs{{"x", "v"}, {"X", "2"}, {"x", "3"}}));
  list.Set("y", "new");
  EXPECT_EQ(PairsOf(list), (Pairs{{"x", "v"}, {"X", "2"}, {"x", "3"}, {"y", "new"}}));

  list.Remove("x");
  EXPECT_EQ(PairsOf(list), (Pairs{{"X", "2"}, {"x", "3"}, {"y", "new"}}));
  list.Remove("x");
  EXPECT_EQ(PairsOf(list), (Pairs{{"X", "2"}, {"y", "new"}}));
  list.Remove("x");
  list.Remove("");
  EXPECT_EQ(PairsOf(list), (Pairs{{"X", "2"}, {"y", "new"}}));

  list.Clear();
  EXPECT_EQ(PairsOf(list), Pairs{});
  EXPECT_EQ(list.ToJson(), "{}");
}

TEST(NameValueListTest, AddFromQuery) {
  const std::pair<Text, Pairs> cases[] = {
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"a=b=c", {{"a", "c"}}},
      {"x", {{"", ""}}},
      {"a=1&&b=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
      {"&a=1", {{"", ""}, {"a", "1"}}},
      {"a=1&", {{"a", "1"}}},
      {"=", {{"", ""}}},
      {"a=", {{"a", ""}}},
      {"=1", {{"", "1"}}},
      {"", {}},
      {"\xD6\xD0=\xCE\xC4", {{"\xD6\xD0", "\xCE\xC4"}}},  // 中=文 in GBK, kept as it is
  };
  for (const auto& [query, expected] : cases) {
    NameValueList list;
    list.Add("first", "0");
    list.AddFromQuery(query);
    Pairs all{{"first", "0"}};
    all.insert(all.end(), expected.begin(), expected.end());
    EXPECT_EQ(PairsOf(list), all) << "query " << query;
  }
}

TEST(NameValueListTest, ToUtf8ConvertsBothParts) {
  NameValueList list;
  list.AddFromQuery("\xD6\xD0=\xCE\xC4&a=b", true);  // 中=文 in GBK
  list.Add("\xCE\xC4", "\xD6\xD0", true);
  list.Add("\xCE\xC4", "\xD6\xD0");
  EXPECT_EQ(PairsOf(list), (Pairs{{"\xE4\xB8\xAD", "\xE6\x96\x87"},
                                  {"a", "b"},
                                  {"\xE6\x96\x87", "\xE4\xB8\xAD"},
                                  {"\xCE\xC4", "\xD6\xD0"}}));
}

TEST(NameValueListTest, HandsOutAndKeepsOnlyCopies) {
  NameValueList list;
  AddAll(list, {{"a", "1"}, {"b", "2"}});

  TextArray names = list.Names();
  TextArray values = list.Values();
  names[1] = "changed";
  values.Append("extra");
  EXPECT_EQ(PairsOf(list), (Pairs{{"a", "1"}, {"b", "2"}}));

  NameValueList copy(list);
  copy.Set("a", "copy");
  copy.Add("c", "3");
  list.Remove("b");
  EXPECT_EQ(PairsOf(list), (Pairs{{"a", "1"}}));
  EXPECT_EQ(PairsOf(copy), (Pairs{{"a", "copy"}, {"b", "2"}, {"c", "3"}}));
}

TEST(NameValueListTest, EscapeJsonValue) {
  const std::pair<Text, Text> cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"\"", "\\\""},
      {"a\"b\"", "a\\\"b\\\""},
      {"back\\slash", "back\\slash"},
      {"\xD6\xD0\"\x01", "\xD6\xD0\\\"\x01"},  // 中 in GBK and a control byte pass unchanged
  };
  NameValueList list;
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(list.EscapeJsonValue(text), expected);
}

TEST(NameValueListTest, TrimAroundCutsTheEndFirstThenTheStart) {
  struct Case {
    Text text;
    Text remove;
    Text expected;
  };
  const Case cases[] = {
      {"a,", ",", "a"},   {",a,", ",", "a"},    {",,", ",", ""},    {",,,", ",", ","},
      {",", ",", ""},     {",a", ",", "a"},     {"a", ",", "a"},    {"", ",", ""},
      {"abc", "", "abc"}, {"xyAxy", "xy", "A"}, {"xyx", "xy", "x"}, {"y", "xy", "y"},
  };
  NameValueList list;
  for (const Case& c : cases) {
    Text text = c.text;
    EXPECT_EQ(list.TrimAround(text, c.remove), c.expected) << c.text << " - " << c.remove;
    EXPECT_EQ(text, c.expected) << "the caller's text is cut too";
  }
}

// Records the calls that the list makes to its own overridable operations.
class RecordingList : public NameValueList {
 public:
  void Add(const Text& name, const Text& value, bool toUtf8 = false) override {
    added.push_back(name + "|" + value + (toUtf8 ? "|utf8" : ""));
    NameValueList::Add(name, value, false);
  }
  Text EscapeJsonValue(const Text& text) const override { return "<" + text + ">"; }
  Text TrimAround(Text& text, const Text& remove) const override {
    trimmed.push_back(text + "|" + remove);
    return NameValueList::TrimAround(text, remove);
  }

  std::vector<Text> added;
  mutable std::vector<Text> trimmed;
};

TEST(NameValueListTest, CallsItsOwnOperationsThroughTheTable) {
  RecordingList list;
  list.AddFromQuery("a=1&b=2", true);
  list.Set("a", "changed");
  list.Set("c", "3");
  EXPECT_EQ(list.added, (std::vector<Text>{"a|1|utf8", "b|2|utf8", "c|3"}));

  EXPECT_EQ(list.ToJson(), R"({"a":"<changed>","b":"<2>","c":"<3>"})");
  EXPECT_EQ(list.trimmed, (std::vector<Text>{R"({"a":"<changed>","b":"<2>","c":"<3>",|,)"}));
}

TEST(ReplaceManyTest, Cases) {
  struct Case {
    Text text;
    int count;
    int start;
    bool caseSensitive;
    std::vector<Text> pairs;  // find, replacement, find, replacement...
    Text expected;
  };
  const Case cases[] = {
      {"aXbx", kNoLimit, 1, false, {"x", "-"}, "a-b-"},
      {"aXbx", kNoLimit, 1, true, {"x", "-"}, "aXb-"},
      // Each pair works on the result of the one before.
      {"abc", kNoLimit, 1, true, {"a", "b", "b", "c"}, "ccc"},
      {"abc", kNoLimit, 1, true, {"b", "c", "a", "b"}, "bcc"},
      {"12345", kNoLimit, 1, true, {"1", "a", "2", "b", "3", "c", "4", "d", "5", "e"}, "abcde"},
      // An empty find text skips its pair.
      {"ab", kNoLimit, 1, true, {"", "z", "a", "b"}, "bb"},
      // count limits each pair; start applies to each pair; start 0 counts as 1.
      {"xxxx", 2, 1, true, {"x", "y"}, "yyxx"},
      {"xxyy", 1, 1, true, {"x", "z", "y", "z"}, "zxzy"},
      {"xxxx", 0, 1, true, {"x", "y"}, "xxxx"},
      {"xxxx", kNoLimit, 3, true, {"x", "y"}, "xxyy"},
      {"xxxx", kNoLimit, 0, true, {"x", "y"}, "yyyy"},
      {"", kNoLimit, 1, false, {"x", "y"}, ""},
  };
  for (const Case& c : cases) {
    Text p[10];
    for (std::size_t i = 0; i < c.pairs.size(); ++i)
      p[i] = c.pairs[i];
    EXPECT_EQ(ReplaceMany(c.text, c.count, c.start, c.caseSensitive, p[0], p[1], p[2], p[3], p[4],
                          p[5], p[6], p[7], p[8], p[9]),
              c.expected)
        << c.text << " count " << c.count << " start " << c.start;
  }
}

}  // namespace
}  // namespace quorvel
