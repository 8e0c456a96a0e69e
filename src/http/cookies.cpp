// Cookie texts and their merging after a response. Used by HttpRequest; pure text functions.
#include "http/cookies.h"

namespace quorvel {
namespace {

const Text kSeparator = "; ";
const Text kDeletedMark = "=deleted";

// Trims the cookie text in place and makes one that ends in ";" end in "; ".
void TidyCookieText(Text& cookies) {
  cookies = TextTrim(cookies);
  if (TextRight(cookies, 1) == ";") cookies += " ";
}

bool IsDeletedCookie(const Text& item) {
  return TextEquals(TextRight(item, TextLength(kDeletedMark)), kDeletedMark);
}

}  // namespace

Text MergeCookies(Text& oldCookies, Text& newCookies) {
  TidyCookieText(oldCookies);
  TidyCookieText(newCookies);
  const TextArray oldItems = TextSplit(oldCookies, kSeparator);
  TextArray merged = TextSplit(newCookies, kSeparator);
  for (int i = 1; i <= oldItems.Count(); ++i) {
    if (!HasCookieNamed(merged, CookieName(oldItems[i]))) merged.Append(oldItems[i]);
  }
  Text joined;
  for (int i = 1; i <= merged.Count(); ++i) {
    if (!IsDeletedCookie(merged[i])) joined += TextConcat(merged[i], kSeparator);
  }
  joined = TextLeft(joined, TextLength(joined) - TextLength(kSeparator));
  oldCookies = JoinDistinct(joined, kSeparator, true);
  return oldCookies;
}

Text CookieName(const Text& item) {
  const int equals = TextFind(item, "=");
  if (equals == -1) return TextTrim(item);
  return TextTrim(TextLeft(item, equals - 1));
}

bool HasCookieNamed(const TextArray& items, const Text& name) {
  for (int i = 1; i <= items.Count(); ++i) {
    if (TextEquals(CookieName(items[i]), name)) return true;
  }
  return false;
}

Text JoinDistinct(const Text& text, const Text& separator, bool splitAtSeparator) {
  const TextArray pieces = splitAtSeparator ? TextSplit(text, separator) : SplitCharacters(text);
  TextArray seen;
  Text result;
  for (int i = 1; i <= pieces.Count(); ++i) {
    if (IndexOfText(seen, pieces[i]) != -1) continue;
    seen.Append(pieces[i]);
    result += TextConcat(pieces[i], separator);
  }
  return TextLeft(result, TextLength(result) - TextLength(separator));
}

TextArray SplitCharacters(const Text& text) {
  const ByteArray bytes = TextToBytes(text);
  const int count = BytesLength(bytes);
  TextArray characters;
  int position = 1;
  while (position <= count) {
    const std::uint8_t byte = bytes[position - 1];
    int width = 1;
    if (position < count) {
      const bool pairsWithNext = byte >= 0x81 || (byte == '\r' && bytes[position] == '\n');
      if (pairsWithNext) width = 2;
    }
    characters.Append(BytesToText(BytesMid(bytes, position, width)));
    position += width;
  }
  return characters;
}

int IndexOfText(const TextArray& items, const Text& text) {
  for (int i = 1; i <= items.Count(); ++i) {
    if (TextEquals(items[i], text)) return i;
  }
  return -1;
}

}  // namespace quorvel
