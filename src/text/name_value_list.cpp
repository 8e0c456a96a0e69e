// NameValueList: ordered name/value pairs rendered as form bodies, header blocks and flat JSON;
// and ReplaceMany. A list is used on one thread at a time.
#include "text/name_value_list.h"

#include "text/code_page.h"
#include "text/url_encode.h"

namespace quorvel {
namespace {

// Index (1-based) of the first pair whose name is exactly name; 0 when there is none.
int FindName(const TextArray& names, const Text& name) {
  for (int i = 1; i <= names.Count(); ++i) {
    if (TextEquals(names[i], name)) return i;
  }
  return 0;
}

}  // namespace

void NameValueList::Add(const Text& name, const Text& value, bool toUtf8) {
  if (toUtf8) {
    Text utf8Name = AnsiToUtf8(name);
    Text utf8Value = AnsiToUtf8(value);
    names_.Append(std::move(utf8Name));
    values_.Append(std::move(utf8Value));
  } else {
    names_.Append(name);
    values_.Append(value);
  }
}

void NameValueList::AddFromQuery(const Text& text, bool toUtf8) {
  const TextArray items = TextSplit(text, "&");
  for (int i = 1; i <= items.Count(); ++i) {
    Add(TextBefore(items[i], "="), TextAfter(items[i], "="), toUtf8);
  }
}

Text NameValueList::Get(const Text& name) const {
  const int i = FindName(names_, name);
  return i != 0 ? values_[i] : Text();
}

void NameValueList::Set(const Text& name, const Text& value) {
  const int i = FindName(names_, name);
  if (i != 0) {
    values_[i] = value;
  } else {
    Add(name, value);
  }
}

Text NameValueList::ToFormData(bool encode) const {
  // A form body may carry a whole package: size it once and append each part in place, so
  // the value is never copied into a temporary or moved by a growing buffer.
  std::size_t size = 0;
  for (int i = 1; i <= names_.Count() && !encode; ++i) {
    size += names_[i].size() + values_[i].size() + 2;
  }
  Text out;
  out.reserve(size);
  for (int i = 1; i <= names_.Count(); ++i) {
    if (encode) {
      out += UrlEncode(names_[i], true);
      out += '=';
      out += UrlEncode(values_[i], true);
    } else {
      out += names_[i];
      out += '=';
      out += values_[i];
    }
    out += '&';
  }
  if (!out.empty()) out.pop_back();
  return out;
}

Text NameValueList::ToHeaderBlock(bool encode) const {
  Text out;
  for (int i = 1; i <= names_.Count(); ++i) {
    if (i > 1) out += "\r\n";
    out += names_[i];
    out += ": ";
    out += encode ? UrlEncode(values_[i], true) : values_[i];
  }
  return out;
}

TextArray NameValueList::Names() const {
  return names_;
}

TextArray NameValueList::Values() const {
  return values_;
}

void NameValueList::Clear() {
  names_.Clear();
  values_.Clear();
}

void NameValueList::Remove(const Text& name) {
  const int i = FindName(names_, name);
  if (i == 0) return;
  names_.RemoveAt(i);
  values_.RemoveAt(i);
}

Text NameValueList::ToJson() const {
  Text out = "{";
  for (int i = 1; i <= names_.Count(); ++i) {
    out += '"';
    out += names_[i];
    out += "\":\"";
    out += EscapeJsonValue(values_[i]);
    out += "\",";
  }
  TrimAround(out, ",");  // the comma after the last member
  out += '}';
  return out;
}

Text NameValueList::EscapeJsonValue(const Text& text) const {
  return ReplaceMany(text, kNoLimit, 1, false, "\"", "\\\"");
}

Text NameValueList::TrimAround(Text& text, const Text& remove) const {
  const std::size_t n = remove.size();
  if (n != 0 && text.size() >= n && text.compare(text.size() - n, n, remove) == 0) {
    text.erase(text.size() - n);
  }
  if (n != 0 && text.size() >= n && text.compare(0, n, remove) == 0) text.erase(0, n);
  return text;
}

Text ReplaceMany(const Text& text, int count, int start, bool caseSensitive, const Text& find1,
                 const Text& replacement1, const Text& find2, const Text& replacement2,
                 const Text& find3, const Text& replacement3, const Text& find4,
                 const Text& replacement4, const Text& find5, const Text& replacement5) {
  if (start == 0) start = 1;
  const Text* const pairs[5][2] = {{&find1, &replacement1},
                                   {&find2, &replacement2},
                                   {&find3, &replacement3},
                                   {&find4, &replacement4},
                                   {&find5, &replacement5}};
  Text result = text;
  for (const auto& [find, replacement] : pairs) {
    if (!find->empty())
      result = TextReplace(result, *find, *replacement, start, count, caseSensitive);
  }
  return result;
}

}  // namespace quorvel
