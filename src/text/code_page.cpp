// Character-set conversion over the platform's code-page functions and stream object.
// Callable from any thread; see code_page.h for each routine's contract.
#include "text/code_page.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "platform/code_pages.h"
#include "platform/com.h"
#include "platform/stream_object.h"

namespace quorvel {
namespace {

// The whole UTF-16LE units of a wide text; an odd last byte is dropped. The string's own
// terminator guarantees a zero unit after them, whether or not the bytes held one.
std::u16string UnitsOf(const ByteArray& wide) {
  std::u16string units(wide.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(wide[2 * i] | wide[2 * i + 1] << 8);
  }
  return units;
}

ByteArray BytesOf(const std::u16string& units) {
  ByteArray bytes(2 * units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
  }
  return bytes;
}

}  // namespace

// The buffer holds what the ANSI code page's measure asks for, and more when codePage itself
// needs more units, so that no conversion is cut short.
ByteArray TextToWide(const Text& text, int codePage) {
  CodePages& pages = SystemCodePages();
  const int ansiUnits = pages.MultiByteToWideChar(kCodePageAnsi, text.c_str(), nullptr, 0);
  const int pageUnits = pages.MultiByteToWideChar(codePage, text.c_str(), nullptr, 0);
  const int units = std::max({ansiUnits, pageUnits, 0});
  std::u16string buffer(static_cast<std::size_t>(units), u'\0');
  if (units > 0) pages.MultiByteToWideChar(codePage, text.c_str(), buffer.data(), units);
  return BytesOf(buffer);
}

// The buffer is twice what the ANSI code page's measure asks for, and larger when codePage
// needs more (the euro sign is one GBK byte but three UTF-8 bytes); it starts as spaces.
Text WideToText(const ByteArray& wide, int codePage) {
  const std::u16string units = UnitsOf(wide);
  CodePages& pages = SystemCodePages();
  const long long ansiBytes = pages.WideCharToMultiByte(kCodePageAnsi, units.c_str(), nullptr, 0);
  const long long pageBytes = pages.WideCharToMultiByte(codePage, units.c_str(), nullptr, 0);
  const int bytes =
      static_cast<int>(std::clamp<long long>(std::max(2 * ansiBytes, pageBytes), 0, INT_MAX));
  std::string buffer(static_cast<std::size_t>(bytes), ' ');
  if (bytes > 0) pages.WideCharToMultiByte(codePage, units.c_str(), buffer.data(), bytes);
  return Text(buffer.c_str());
}

Text AnsiToUtf8(const Text& text) {
  return WideToText(TextToWide(text, kCodePageGbk), kCodePageUtf8);
}

// The stream's steps all run in order whatever their outcomes, but a result that rests on a
// step that failed is dropped: text read or written in a charset that could not be set, or
// bytes read from a start position that could not be set.
ByteArray ConvertCharset(const ByteArray& data, const Text& fromCharset, const Text& toCharset,
                         std::optional<int> startPosition) {
  const Text from = fromCharset.empty() ? Text("UTF-8") : fromCharset;
  const Text to = toCharset.empty() ? Text("GBK") : toCharset;
  ComScope com;
  std::unique_ptr<StreamObject> stream = CreateStreamObject();
  if (stream == nullptr) return {};

  stream->SetType(StreamObject::kTypeBinary);
  stream->Open();
  stream->Write(data);
  stream->SetPosition(0);
  stream->SetType(StreamObject::kTypeText);
  const bool fromSet = stream->SetCharset(from);
  Text text = stream->ReadText();
  if (!fromSet) text.clear();
  stream->Close();
  stream->Open();
  const bool toSet = stream->SetCharset(to);
  stream->WriteText(text);
  stream->SetPosition(0);
  stream->SetType(StreamObject::kTypeBinary);
  const bool startSet = !startPosition || stream->SetPosition(*startPosition);
  ByteArray result = stream->Read();
  if (!fromSet || !toSet || !startSet) result.clear();

  stream.reset();  // released without closing, before the component runtime is let go
  return result;
}

}  // namespace quorvel
