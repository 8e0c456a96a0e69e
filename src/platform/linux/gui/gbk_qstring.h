// Conversion between the program's GBK texts and the toolkit's UTF-16 strings, through the
// platform code pages (936). Used by the Qt window backend, on any thread.
#pragma once

#include <QString>

#include "text/text.h"

namespace quorvel {

// The GBK text as a Qt string; bytes GBK cannot decode become U+FFFD. Empty on failure.
QString GbkToQString(const Text& text);
// The Qt string as GBK, up to its first U+0000; characters GBK lacks become "?". Empty on
// failure.
Text QStringToGbk(const QString& text);

}  // namespace quorvel
