// Tests of cookie merging and its helpers.
#include "http/cookies.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

struct MergeCase {
  Text oldCookies;
  Text newCookies;
  Text merged;
  Text newAfter;  // the new text as MergeCookies stores it back
};

TEST(MergeCookiesTest, NewWinsDeletedVanishDuplicatesGo) {
  const MergeCase cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3; c=4"},
      {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},
      {"a=deleted; b=1", "", "b=1", ""},
      {"sid=1;", "", "sid=1", ""},
      {"a=1; a=2", "", "a=1", ""},
      {"", "x=1; x=1", "x=1", "x=1; x=1"},
      {"", "x=1; x=2", "x=1; x=2", "x=1; x=2"},
      {"SID=1", "sid=2", "sid=2; SID=1", "sid=2"},
      // No space after the semicolon: one item named a, replaced as a whole.
      {"a=1;b=2", "a=3", "a=3", "a=3"},
      {"", "", "", ""},
      // Both texts are trimmed and a final ";" gains its space.
      {"  a=1  ", " b=2;", "b=2; a=1", "b=2; "},
      // Short items are never deleted ones; "=deleted" alone is one.
      {"x=1; deleted", "=deleted", "x=1; deleted", "=deleted"},
      // Names are trimmed before comparing.
      {" a =1", "a=2", "a=2", "a=2"},
      // An empty item between separators is kept like any other.
      {"a=1; ; b=2", "", "a=1; ; b=2", ""},
  };
  for (const MergeCase& c : cases) {
    Text oldCookies = c.oldCookies;
    Text newCookies = c.newCookies;
    const Text merged = MergeCookies(oldCookies, newCookies);
    EXPECT_EQ(merged, c.merged) << "old: " << c.oldCookies << " new: " << c.newCookies;
    EXPECT_EQ(oldCookies, c.merged) << "old: " << c.oldCookies << " new: " << c.newCookies;
    EXPECT_EQ(newCookies, c.newAfter) << "old: " << c.oldCookies << " new: " << c.newCookies;
  }
}

TEST(CookieNameTest, TextBeforeFirstEqualsTrimmed) {
  const std::pair<Text, Text> cases[] = {
      {" a = 1 ", "a"}, {"noequals ", "noequals"}, {"=v", ""}, {"a=b=c", "a"}, {"", ""},
  };
  for (const auto& [item, name] : cases)
    EXPECT_EQ(CookieName(item), name) << item;
}

TEST(HasCookieNamedTest, ComparesNamesExactly) {
  const TextArray items = {"a=1", "B=2", " c "};
  EXPECT_TRUE(HasCookieNamed(items, "B"));
  EXPECT_TRUE(HasCookieNamed(items, "c"));
  EXPECT_FALSE(HasCookieNamed(items, "b"));
  EXPECT_FALSE(HasCookieNamed(items, "a=1"));
  EXPECT_FALSE(HasCookieNamed(TextArray(), ""));
}

struct JoinCase {
  Text text;
  Text separator;
  bool splitAtSeparator;
  Text expected;
};

TEST(JoinDistinctTest, KeepsFirstOccurrenceInPlace) {
  const JoinCase cases[] = {
      {"a; b; a", "; ", true, "a; b"},
      {"b; a; b; c; a", "; ", true, "b; a; c"},
      {"", "; ", true, ""},
      {"a; ", "; ", true, "a"},
      {"; a", "; ", true, "; a"},  // the empty first piece is a piece too
      {"abcab", ",", false, "a,b,c"},
      {"a\r\nb\r\n", "", false, "a\r\nb"},
      {"\xD6\xD0\xD6\xD0"
       "a",
       "|", false, "\xD6\xD0|a"},  // "中中a"
  };
  for (const JoinCase& c : cases) {
    EXPECT_EQ(JoinDistinct(c.text, c.separator, c.splitAtSeparator), c.expected)
        << "text: " << c.text;
  }
}

TEST(SplitCharactersTest, PairsGbkCharactersAndCrLf) {
  const std::pair<Text, TextArray> cases[] = {
      {"", {}},
      {"a\r\nb", {"a", "\r\n", "b"}},
      {"\n\r", {"\n", "\r"}},
      {"\r", {"\r"}},
      {"\xD6\xD0"
       "a",
       {"\xD6\xD0", "a"}},         // "中a"
      {"a\xD6", {"a", "\xD6"}},    // a lone lead byte at the end
      {"\x81\x61", {"\x81\x61"}},  // "乤": the second byte is "a"
      {"\x80"
       "a",
       {"\x80", "a"}},  // 0x80 does not start a pair here
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(SplitCharacters(text), expected) << "text: " << text;
  }
}

TEST(IndexOfTextTest, FindsFirstExactMatch) {
  const TextArray items = {"x", "X", "X"};
  EXPECT_EQ(IndexOfText(items, "X"), 2);
  EXPECT_EQ(IndexOfText(items, "x"), 1);
  EXPECT_EQ(IndexOfText(items, "Z"), -1);
  EXPECT_EQ(IndexOfText(TextArray(), ""), -1);
  EXPECT_EQ(IndexOfText(TextArray{"a", ""}, ""), 2);
}

}  // namespace
}  // namespace quorvel
