#pragma once

#include <QByteArray>
#include <QString>

namespace rp {

// The text of a settings file. The scheduling application wrote these files in the Windows-1252 code page on its
// original platform and may write UTF-8 here, so the bytes are read as UTF-8 when they are valid UTF-8 (an initial
// byte-order mark is dropped), as UTF-16 when they start with its byte-order mark, and as Windows-1252 otherwise.
QString DecodeSettingsText(const QByteArray& bytes);

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined map to the control character of
// the same number, as the Windows conversion does.
QString DecodeWindows1252(const QByteArray& bytes);

} // namespace rp
