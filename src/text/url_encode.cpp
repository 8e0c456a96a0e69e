// UrlEncode: percent-encoding of a text byte by byte, optionally after turning GBK into UTF-8.
// Safe on any thread.
#include "text/url_encode.h"

#include "text/code_page.h"

namespace quorvel {
namespace {

// - . 0-9 A-Z a-z; the underscore, tilde and slash are escaped like everything else.
bool IsUnreserved(unsigned char byte) {
  return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
         (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

Text UrlEncode(const Text& text, bool keepUnreserved, bool toUtf8) {
  if (text.empty()) return {};
  const Text converted = toUtf8 ? AnsiToUtf8(text) : Text();
  const Text& source = toUtf8 ? converted : text;

  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  Text out;
  out.reserve(source.size() * 3);
  for (const char c : source) {
    const auto byte = static_cast<unsigned char>(c);
    if (keepUnreserved && IsUnreserved(byte)) {
      out += c;
    } else {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 15];
    }
  }
  return out;
}

}  // namespace quorvel
