// Conversion between GBK texts and Qt strings for the Qt window backend, over the platform
// code pages so that the window and the text layer agree on every byte.
#include "gbk_qstring.h"

#include <string>

#include "platform/code_pages.h"

namespace quorvel {
namespace {

constexpr int kGbkCodePage = 936;

}  // namespace

QString GbkToQString(const Text& text) {
  if (text.empty()) return {};
  CodePages& pages = SystemCodePages();
  int units = pages.MultiByteToWideChar(kGbkCodePage, text.c_str(), nullptr, 0);
  if (units <= 1) return {};
  std::u16string wide(static_cast<std::size_t>(units), u'\0');
  units = pages.MultiByteToWideChar(kGbkCodePage, text.c_str(), wide.data(), units);
  if (units <= 1) return {};
  return QString::fromUtf16(wide.data(), units - 1);  // without the terminator
}

Text QStringToGbk(const QString& text) {
  const std::u16string wide = text.toStdU16String();
  if (wide.empty() || wide[0] == u'\0') return {};
  CodePages& pages = SystemCodePages();
  int bytes = pages.WideCharToMultiByte(kGbkCodePage, wide.c_str(), nullptr, 0);
  if (bytes <= 1) return {};
  Text gbk(static_cast<std::size_t>(bytes), '\0');
  bytes = pages.WideCharToMultiByte(kGbkCodePage, wide.c_str(), gbk.data(), bytes);
  if (bytes <= 1) return {};
  gbk.resize(static_cast<std::size_t>(bytes) - 1);  // drop the terminator
  return gbk;
}

}  // namespace quorvel
