// Linux backend of the stream object (platform/stream_object.h): bytes in memory with a
// position, text decoded and encoded through the iconv code pages. Only overrides.cpp calls
// the factory; each object is used by one thread.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace quorvel {
namespace {

enum class Charset { kUtf8, kGbk, kUnicode };

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return fold(x) == fold(y); });
}

std::optional<Charset> CharsetNamed(const Text& name) {
  if (EqualsIgnoringCase(name, "UTF-8")) return Charset::kUtf8;
  if (EqualsIgnoringCase(name, "GBK") || EqualsIgnoringCase(name, "GB2312")) return Charset::kGbk;
  if (EqualsIgnoringCase(name, "Unicode")) return Charset::kUnicode;
  return std::nullopt;
}

// The byte-order mark written ahead of text in the charset, if it has one.
std::string_view ByteOrderMark(Charset charset) {
  if (charset == Charset::kUtf8) return "\xEF\xBB\xBF";
  if (charset == Charset::kUnicode) return "\xFF\xFE";
  return {};
}

int CodePageOf(Charset charset) {
  return charset == Charset::kUtf8 ? 65001 : 936;
}

// The UTF-16 units of a zero-terminated text in codePage, without the terminator.
std::u16string DecodeText(const char* text, int codePage) {
  CodePages& pages = backend::PlatformCodePages();
  const int units = pages.MultiByteToWideChar(codePage, text, nullptr, 0);
  if (units <= 0) return {};
  std::u16string decoded(static_cast<std::size_t>(units), u'\0');
  if (pages.MultiByteToWideChar(codePage, text, decoded.data(), units) != units) return {};
  decoded.pop_back();
  return decoded;
}

// The zero-terminated UTF-16 text in codePage, without the terminator.
std::string EncodeText(const char16_t* wide, int codePage) {
  CodePages& pages = backend::PlatformCodePages();
  const int bytes = pages.WideCharToMultiByte(codePage, wide, nullptr, 0);
  if (bytes <= 0) return {};
  std::string encoded(static_cast<std::size_t>(bytes), '\0');
  if (pages.WideCharToMultiByte(codePage, wide, encoded.data(), bytes) != bytes) return {};
  encoded.pop_back();
  return encoded;
}

class IconvStreamObject final : public StreamObject {
 public:
  bool SetType(int type) override {
    if ((type != kTypeBinary && type != kTypeText) || (open_ && position_ != 0)) return false;
    type_ = type;
    return true;
  }

  // Beyond the end the stream grows by zero bytes; they are only stored once written over.
  bool SetPosition(long long position) override {
    if (!open_ || position < 0 || position > INT_MAX) return false;
    position_ = static_cast<std::size_t>(position);
    size_ = std::max(size_, position_);
    return true;
  }

  bool SetCharset(const Text& charset) override {
    const std::optional<Charset> known = CharsetNamed(charset);
    if (!known || (open_ && position_ != 0)) return false;
    charset_ = *known;
    return true;
  }

  bool Open() override {
    if (open_) return false;
    open_ = true;
    Clear();
    return true;
  }

  bool Close() override {
    if (!open_) return false;
    open_ = false;
    Clear();
    return true;
  }

  bool Write(const ByteArray& bytes) override {
    if (!open_ || type_ != kTypeBinary) return false;
    WriteAtPosition(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return true;
  }

  // Only a text that is not empty brings the byte-order mark into an empty stream.
  bool WriteText(const Text& text) override {
    if (!open_ || type_ != kTypeText) return false;
    const std::u16string units = DecodeText(text.c_str(), 936);
    std::string encoded;
    if (charset_ == Charset::kUnicode) {
      for (char16_t unit : units) {
        encoded += static_cast<char>(unit & 0xFF);
        encoded += static_cast<char>(unit >> 8);
      }
    } else {
      encoded = EncodeText(units.c_str(), CodePageOf(charset_));
    }
    if (size_ == 0 && !encoded.empty()) encoded.insert(0, ByteOrderMark(charset_));
    WriteAtPosition(encoded);
    return true;
  }

  ByteArray Read() override {
    if (!open_ || type_ != kTypeBinary) return {};
    const std::string rest = TakeRest();
    return ByteArray(rest.begin(), rest.end());
  }

  Text ReadText() override {
    if (!open_ || type_ != kTypeText) return {};
    const bool atStart = position_ == 0;
    std::string rest = TakeRest();
    const std::string_view mark = ByteOrderMark(charset_);
    if (atStart && std::string_view(rest).substr(0, mark.size()) == mark && !mark.empty()) {
      rest.erase(0, mark.size());
    }
    std::u16string units;
    if (charset_ == Charset::kUnicode) {
      for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<std::uint8_t>(rest[i]) |
                                       static_cast<std::uint8_t>(rest[i + 1]) << 8);
      }
      if (rest.size() % 2 != 0) units += u'\xFFFD';
    } else {
      units = DecodeText(rest.c_str(), CodePageOf(charset_));
    }
    return EncodeText(units.c_str(), 936);
  }

 private:
  void Clear() {
    bytes_.clear();
    size_ = 0;
    position_ = 0;
  }

  // Stores data at the position, overwriting and extending, and moves the position past it.
  void WriteAtPosition(std::string_view data) {
    const std::size_t end = position_ + data.size();
    if (bytes_.size() < end) bytes_.resize(end, '\0');
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
    position_ = end;
    size_ = std::max(size_, end);
  }

  // The bytes from the position to the end; the position moves to the end.
  std::string TakeRest() {
    std::string rest;
    if (position_ < bytes_.size()) rest.assign(bytes_, position_);
    rest.resize(size_ - position_, '\0');
    position_ = size_;
    return rest;
  }

  bool open_ = false;
  int type_ = kTypeText;
  Charset charset_ = Charset::kUnicode;
  std::string bytes_;     // the stored bytes; zeros follow them up to size_
  std::size_t size_ = 0;  // the stream's length
  std::size_t position_ = 0;
};

}  // namespace

std::unique_ptr<StreamObject> backend::CreatePlatformStreamObject() {
  return std::make_unique<IconvStreamObject>();
}

}  // namespace quorvel
