// An ordered list of name/value text pairs that renders form bodies, header blocks and flat
// JSON objects. Used within one call on one thread; it takes no lock.
#pragma once

#include "text/text.h"

namespace quorvel {

class NameValueList {
 public:
  NameValueList() = default;
  // Release: frees every name and value.
  virtual ~NameValueList() = default;
  // Copy: a list with deep copies of both arrays.
  NameValueList(const NameValueList&) = default;
  NameValueList& operator=(const NameValueList&) = default;

  // Appends a pair; with toUtf8 both parts are converted from GBK to UTF-8 first.
  virtual void Add(const Text& name, const Text& value, bool toUtf8 = false);
  // Appends the pairs of a form-style text a=1&b=2 (name before the first "=", value after
  // the last one).
  virtual void AddFromQuery(const Text& text, bool toUtf8 = false);
  // The value of the first pair with exactly this name; empty when there is none.
  virtual Text Get(const Text& name) const;
  // Replaces the value of the first pair with this name, or appends the pair.
  virtual void Set(const Text& name, const Text& value);
  // name=value joined by "&"; with encode both parts are percent-encoded.
  virtual Text ToFormData(bool encode = false) const;
  // "name: value" lines joined by CR LF, nothing after the last; with encode only the values
  // are percent-encoded.
  virtual Text ToHeaderBlock(bool encode = false) const;
  virtual TextArray Names() const;
  virtual TextArray Values() const;
  virtual void Clear();
  // Removes the first pair with this name, if any.
  virtual void Remove(const Text& name);
  // {"name":"value",...} with no blanks; only the values are escaped.
  virtual Text ToJson() const;
  // The value with every double quote preceded by a backslash.
  virtual Text EscapeJsonValue(const Text& text) const;
  // Cuts one remove from the end of text, then one from its start; returns a copy.
  virtual Text TrimAround(Text& text, const Text& remove) const;

 private:
  TextArray names_;
  TextArray values_;
};

// Applies up to five find/replacement pairs in order, each with TextReplace from start
// (0 counts as 1) and at most count replacements (kNoLimit: all). A pair whose find text is
// empty changes nothing.
Text ReplaceMany(const Text& text, int count, int start, bool caseSensitive, const Text& find1,
                 const Text& replacement1, const Text& find2 = {}, const Text& replacement2 = {},
                 const Text& find3 = {}, const Text& replacement3 = {}, const Text& find4 = {},
                 const Text& replacement4 = {}, const Text& find5 = {},
                 const Text& replacement5 = {});

}  // namespace quorvel
