#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace rp {

// A settings file read the way the Windows private-profile reader reads it, which is what the scheduling
// application writes for: "[section]" headers and "key=value" lines, section and key names matched without regard to
// case, the first matching section and, within it, the first matching key winning, lines starting with ";" being
// comments, values trimmed of surrounding blanks and freed of one enclosing pair of double or single quotes.
// A ";" later in a line is part of the value. Lines end with LF or CRLF.
// QSettings' IniFormat follows other rules (inline ";" comments, escapes, case-sensitive keys), hence this reader.
class PrivateProfile
{
public:
    static PrivateProfile parse(const QString& text);
    // A missing or unreadable file, or one that is not an ordinary file, gives an empty profile.
    static PrivateProfile load(const QString& path);

    // The value as stored, or nothing when the section or the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;

private:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        std::vector<Entry> entries;
    };

    std::vector<Section> m_sections;
};

} // namespace rp
