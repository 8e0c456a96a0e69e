// Request header blocks: default headers, normalisation, name and value of one line. Used by
// HttpRequest; pure text functions.
#include "http/headers.h"

namespace quorvel {
namespace {

const Text kLineBreak = "\r\n";

// The name with its first character and every character after a "-" upper-cased. Every "-"
// stays, also one at the end, which the split itself does not give back.
Text CapitalizeName(const Text& name) {
  if (TextFind(name, "-") == -1) return CapitalizeFirst(name);
  const TextArray parts = TextSplit(name, "-");
  Text result;
  for (int i = 1; i <= parts.Count(); ++i) {
    if (i > 1) result += "-";
    result += CapitalizeFirst(parts[i]);
  }
  // The split drops only an empty piece after a final "-".
  if (TextLength(result) < TextLength(name)) result += "-";
  return result;
}

}  // namespace

void AppendDefaultHeader(Text& block, const Text& probe, const Text& line) {
  if (TextFind(block, probe, 1, true) == -1) block = TextConcat(block, line);
}

Text NormalizeHeaderBlock(const Text& block) {
  const TextArray pieces = TextSplit(block, kLineBreak);
  Text result;
  for (int i = 1; i <= pieces.Count(); ++i) {
    const Text& piece = pieces[i];
    const int colon = TextFind(piece, ":");
    if (colon == -1) continue;
    const Text name = TextLeft(piece, colon - 1);
    const Text rest = TextRight(piece, TextLength(piece) - colon + 1);
    result += TextConcat(CapitalizeName(name), rest, kLineBreak);
  }
  return TextLeft(result, TextLength(result) - TextLength(kLineBreak));
}

Text HeaderName(const Text& line) {
  const int colon = TextFind(line, ":");
  if (colon == -1) return Text();
  return TextTrim(TextLeft(line, colon - 1));
}

Text HeaderValue(const Text& line) {
  const int colon = TextFind(line, ":");
  if (colon == -1) return Text();
  return TextTrim(TextRight(line, TextLength(line) - colon));
}

Text CapitalizeFirst(const Text& text) {
  return TextConcat(TextToUpper(TextLeft(text, 1)), TextMid(text, 2, TextLength(text) - 1));
}

}  // namespace quorvel
