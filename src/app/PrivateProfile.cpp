#include "app/PrivateProfile.h"

#include "app/SettingsText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringView>

namespace rp {

namespace {

bool IsProfileBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

QStringView TrimProfileBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && IsProfileBlank(s[begin])) {
        ++begin;
    }
    while (end > begin && IsProfileBlank(s[end - 1])) {
        --end;
    }
    return s.sliced(begin, end - begin);
}

QStringView WithoutEnclosingQuotes(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
        return value.sliced(1, value.size() - 2);
    }
    return value;
}

bool SameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

PrivateProfile PrivateProfile::parse(const QString& text)
{
    PrivateProfile profile;
    Section* current = nullptr;
    for (const QStringView rawLine : QStringView(text).split(u'\n')) {
        const QStringView line = TrimProfileBlanks(rawLine);
        if (line.isEmpty() || line.front() == u';') {
            continue;
        }
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            if (close > 0) {
                profile.m_sections.push_back({TrimProfileBlanks(line.sliced(1, close - 1)).toString(), {}});
                current = &profile.m_sections.back();
                continue;
            }
        }
        const qsizetype equals = line.indexOf(u'=');
        // Lines before the first section header belong to no section a caller can name.
        if (equals < 0 || current == nullptr) {
            continue;
        }
        const QStringView key = TrimProfileBlanks(line.first(equals));
        const QStringView value = WithoutEnclosingQuotes(TrimProfileBlanks(line.sliced(equals + 1)));
        current->entries.push_back({key.toString(), value.toString()});
    }
    return profile;
}

PrivateProfile PrivateProfile::load(const QString& path)
{
    // Devices and pipes are refused: reading one could block or never end.
    if (!QFileInfo(path).isFile()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return parse(DecodeSettingsText(file.readAll()));
}

std::optional<QString> PrivateProfile::value(const QString& section, const QString& key) const
{
    for (const Section& candidate : m_sections) {
        if (!SameName(candidate.name, section)) {
            continue;
        }
        // Only the first section of that name is searched, as on the original platform.
        for (const Entry& entry : candidate.entries) {
            if (SameName(entry.key, key)) {
                return entry.value;
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace rp
