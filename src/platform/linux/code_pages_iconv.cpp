// Linux backend of the code-page functions (platform/code_pages.h) on glibc iconv: code page
// 936 as Windows has it (glibc's CP936, an alias of its GBK) and UTF-8. Only overrides.cpp
// and the other Linux backends call the factory; the functions are safe on any thread.
#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "platform/backend.h"

namespace quorvel {
namespace {

enum class Page { kGbk, kUtf8 };

// Code page 0 is the ANSI code page, which the program takes to be 936.
std::optional<Page> PageOf(int codePage) {
  if (codePage == 0 || codePage == 936) return Page::kGbk;
  if (codePage == 65001) return Page::kUtf8;
  return std::nullopt;
}

constexpr char16_t kUtf8Replacement = 0xFFFD;
// What code page 936 decodes a byte sequence it has no character for into.
constexpr char16_t kGbkReplacement = 0x30FB;
bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit < 0xDC00;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit < 0xE000;
}

// Code page 936 maps its three user-defined areas, which glibc's GBK leaves out, onto the
// private use area in order, row by row; rows skip the trail byte 0x7F.
struct UserArea {
  std::uint8_t firstLead, lastLead, firstTrail, lastTrail;
  char16_t firstUnit;
};
constexpr UserArea kUserAreas[] = {
    {0xAA, 0xAF, 0xA1, 0xFE, 0xE000},
    {0xF8, 0xFE, 0xA1, 0xFE, 0xE234},
    {0xA1, 0xA7, 0x40, 0xA0, 0xE4C6},
};

int TrailIndex(const UserArea& area, std::uint8_t trail) {
  return trail - area.firstTrail - (area.firstTrail < 0x7F && trail > 0x7F ? 1 : 0);
}

std::optional<char16_t> UserAreaUnit(std::uint8_t lead, std::uint8_t trail) {
  for (const UserArea& area : kUserAreas) {
    if (lead < area.firstLead || lead > area.lastLead || trail < area.firstTrail ||
        trail > area.lastTrail || trail == 0x7F) {
      continue;
    }
    const int rowLength = TrailIndex(area, area.lastTrail) + 1;
    return static_cast<char16_t>(area.firstUnit + (lead - area.firstLead) * rowLength +
                                 TrailIndex(area, trail));
  }
  return std::nullopt;
}

std::optional<std::string> UserAreaBytes(char16_t unit) {
  for (const UserArea& area : kUserAreas) {
    const int rowLength = TrailIndex(area, area.lastTrail) + 1;
    const int offset = unit - area.firstUnit;
    if (offset < 0 || offset >= rowLength * (area.lastLead - area.firstLead + 1)) continue;
    int trail = area.firstTrail + offset % rowLength;
    if (area.firstTrail < 0x7F && trail >= 0x7F) ++trail;
    return std::string{static_cast<char>(area.firstLead + offset / rowLength),
                       static_cast<char>(trail)};
  }
  return std::nullopt;
}

// The length of the longest start of a UTF-8 sequence at bytes that could still be
// completed (at least 1): the part that one replacement character stands for.
std::size_t Utf8InvalidLength(const std::uint8_t* bytes, std::size_t left) {
  const std::uint8_t first = bytes[0];
  std::size_t continuations = 0;
  std::uint8_t low = 0x80, high = 0xBF;
  if (first >= 0xC2 && first <= 0xDF) {
    continuations = 1;
  } else if (first >= 0xE0 && first <= 0xEF) {
    continuations = 2;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    continuations = 3;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  }
  std::size_t length = 1;
  while (length <= continuations && length < left && bytes[length] >= low &&
         bytes[length] <= high) {
    ++length;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

// What stands for input the converter rejected: skip that many input bytes, emit output.
struct Substitute {
  std::size_t skip;
  std::string output;
};

std::string UnitBytes(char16_t unit) {
  char bytes[sizeof unit];
  std::memcpy(bytes, &unit, sizeof unit);
  return std::string(bytes, sizeof unit);
}

Substitute DecodeSubstitute(Page page, const std::uint8_t* bytes, std::size_t left) {
  if (page == Page::kUtf8) return {Utf8InvalidLength(bytes, left), UnitBytes(kUtf8Replacement)};
  const bool lead = bytes[0] >= 0x81 && bytes[0] <= 0xFE;
  const bool trail = left > 1 && bytes[1] >= 0x40 && bytes[1] <= 0xFE && bytes[1] != 0x7F;
  if (!lead || !trail) return {1, UnitBytes(kGbkReplacement)};
  return {2, UnitBytes(UserAreaUnit(bytes[0], bytes[1]).value_or(kGbkReplacement))};
}

Substitute EncodeSubstitute(Page page, const std::uint8_t* bytes, std::size_t left) {
  if (left < sizeof(char16_t)) return {left, "?"};
  char16_t unit, next = 0;
  std::memcpy(&unit, bytes, sizeof unit);
  if (left >= 2 * sizeof(char16_t)) std::memcpy(&next, bytes + sizeof unit, sizeof next);
  if (IsHighSurrogate(unit) && IsLowSurrogate(next)) return {2 * sizeof unit, "?"};
  if (page == Page::kUtf8) return {sizeof unit, "\xEF\xBF\xBD"};  // a lone surrogate: U+FFFD
  return {sizeof unit, UserAreaBytes(unit).value_or("?")};
}

// One iconv descriptor, used by one thread only.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Usable()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts size bytes at input into output (replacing its content). Input the converter
  // rejects is replaced as substitute says; false only when the converter is unusable.
  template <typename SubstituteFor>
  bool Run(const char* input, std::size_t size, std::string& output, SubstituteFor substitute) {
    if (!Usable()) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    std::size_t inLeft = size, written = 0;
    output.resize(2 * size + 16);
    while (inLeft > 0) {
      char* out = output.data() + written;
      std::size_t outLeft = output.size() - written;
      const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
      const int error = errno;
      written = output.size() - outLeft;
      if (result != static_cast<std::size_t>(-1)) continue;
      if (error == E2BIG) {
        output.resize(2 * output.size());
      } else if (error == EILSEQ || error == EINVAL) {
        Substitute replaced = substitute(reinterpret_cast<const std::uint8_t*>(in), inLeft);
        replaced.skip = std::min(std::max<std::size_t>(replaced.skip, 1), inLeft);
        in += replaced.skip;
        inLeft -= replaced.skip;
        if (output.size() - written < replaced.output.size()) output.resize(2 * output.size());
        output.replace(written, replaced.output.size(), replaced.output);
        written += replaced.output.size();
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      } else {
        return false;
      }
    }
    output.resize(written);
    return true;
  }

 private:
  iconv_t cd_;
};

constexpr const char* kUnitsName =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// The calling thread's converters, opened on its first conversion.
Converter& ConverterFor(Page page, bool decode) {
  thread_local Converter gbkDecoder(kUnitsName, "CP936");
  thread_local Converter utf8Decoder(kUnitsName, "UTF-8");
  thread_local Converter gbkEncoder("CP936", kUnitsName);
  thread_local Converter utf8Encoder("UTF-8", kUnitsName);
  if (page == Page::kGbk) return decode ? gbkDecoder : gbkEncoder;
  return decode ? utf8Decoder : utf8Encoder;
}

// How many of the first limit units to copy so that no surrogate pair is cut in half.
std::size_t UnitsThatFit(const std::u16string& units, std::size_t limit) {
  if (limit > 0 && limit < units.size() && IsHighSurrogate(units[limit - 1]) &&
      IsLowSurrogate(units[limit])) {
    return limit - 1;
  }
  return limit;
}

// How many of the first limit bytes to copy so that no character is cut in half.
std::size_t BytesThatFit(Page page, const std::string& bytes, std::size_t limit) {
  if (limit >= bytes.size()) return limit;
  if (page == Page::kUtf8) {
    while (limit > 0 && (static_cast<std::uint8_t>(bytes[limit]) & 0xC0) == 0x80)
      --limit;
    return limit;
  }
  std::size_t fit = 0;
  while (fit < limit) {
    const std::size_t step = static_cast<std::uint8_t>(bytes[fit]) >= 0x81 ? 2 : 1;
    if (fit + step > limit) break;
    fit += step;
  }
  return fit;
}

class IconvCodePages final : public CodePages {
 public:
  int MultiByteToWideChar(int codePage, const char* text, char16_t* buffer,
                          int bufferUnits) override {
    const std::optional<Page> page = PageOf(codePage);
    if (!page || text == nullptr || bufferUnits < 0 || (bufferUnits > 0 && buffer == nullptr)) {
      return 0;
    }
    std::string decoded;
    const auto substitute = [&](const std::uint8_t* bytes, std::size_t left) {
      return DecodeSubstitute(*page, bytes, left);
    };
    if (!ConverterFor(*page, true).Run(text, std::strlen(text) + 1, decoded, substitute)) {
      return 0;
    }
    std::u16string units(decoded.size() / sizeof(char16_t), u'\0');
    std::memcpy(units.data(), decoded.data(), units.size() * sizeof(char16_t));
    if (units.size() > INT_MAX) return 0;
    if (bufferUnits == 0) return static_cast<int>(units.size());
    const std::size_t fit = UnitsThatFit(units, static_cast<std::size_t>(bufferUnits));
    std::copy_n(units.begin(), std::min(fit, units.size()), buffer);
    return fit >= units.size() ? static_cast<int>(units.size()) : 0;
  }

  int WideCharToMultiByte(int codePage, const char16_t* wide, char* buffer,
                          int bufferBytes) override {
    const std::optional<Page> page = PageOf(codePage);
    if (!page || wide == nullptr || bufferBytes < 0 || (bufferBytes > 0 && buffer == nullptr)) {
      return 0;
    }
    const std::size_t units = std::char_traits<char16_t>::length(wide) + 1;
    std::string encoded;
    const auto substitute = [&](const std::uint8_t* bytes, std::size_t left) {
      return EncodeSubstitute(*page, bytes, left);
    };
    if (!ConverterFor(*page, false)
             .Run(reinterpret_cast<const char*>(wide), units * sizeof(char16_t), encoded,
                  substitute)) {
      return 0;
    }
    if (encoded.size() > INT_MAX) return 0;
    if (bufferBytes == 0) return static_cast<int>(encoded.size());
    const std::size_t fit = BytesThatFit(*page, encoded, static_cast<std::size_t>(bufferBytes));
    std::copy_n(encoded.begin(), std::min(fit, encoded.size()), buffer);
    return fit >= encoded.size() ? static_cast<int>(encoded.size()) : 0;
  }
};

}  // namespace

CodePages& backend::PlatformCodePages() {
  static IconvCodePages pages;
  return pages;
}

}  // namespace quorvel
