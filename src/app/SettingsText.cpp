#include "app/SettingsText.h"

#include <QStringDecoder>
#include <array>
#include <optional>

namespace rp {

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; every other byte is the Latin-1 character of the same number.
// Qt 6.4's QStringDecoder offers no Windows-1252, hence the table.
constexpr std::array<char16_t, 32> Windows1252HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::optional<QString> DecodeStrictly(const QByteArray& bytes, QStringConverter::Encoding encoding)
{
    // Stateless makes a sequence cut short at the end of the file count as an error too.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

} // namespace

QString DecodeWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F) {
            text.append(QChar(Windows1252HighControls[byte - 0x80u]));
        } else {
            text.append(QChar(static_cast<char16_t>(byte)));
        }
    }
    return text;
}

QString DecodeSettingsText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        if (auto text = DecodeStrictly(bytes, QStringConverter::Utf16LE)) {
            return *text;
        }
    } else if (bytes.startsWith("\xFE\xFF")) {
        if (auto text = DecodeStrictly(bytes, QStringConverter::Utf16BE)) {
            return *text;
        }
    }
    if (auto text = DecodeStrictly(bytes, QStringConverter::Utf8)) {
        return *text;
    }
    return DecodeWindows1252(bytes);
}

} // namespace rp
