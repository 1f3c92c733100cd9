#include "app/SettingsReader.h"

#include "app/PrivateProfile.h"

namespace rp {

namespace {

// The first count characters of s; a character outside the Basic Multilingual Plane counts once and is never split.
QString LeadingCharacters(const QString& s, int count)
{
    qsizetype end = 0;
    for (int taken = 0; taken < count && end < s.size(); ++taken) {
        const bool surrogatePair = s[end].isHighSurrogate() && end + 1 < s.size() && s[end + 1].isLowSurrogate();
        end += surrogatePair ? 2 : 1;
    }
    return s.left(end);
}

// Only the blank itself is trimmed, not other white space, as the scheduling application does.
QString TrimBlanks(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ') {
        ++begin;
    }
    while (end > begin && s[end - 1] == u' ') {
        --end;
    }
    return s.sliced(begin, end - begin);
}

QString BeforeFirst(const QString& s, const QString& marker)
{
    const qsizetype at = s.indexOf(marker);
    return at < 0 ? s : s.left(at);
}

} // namespace

QString TruncateAtNul(const QString& s)
{
    return BeforeFirst(s, QString(QChar(u'\0')));
}

QString ReadSetting(const QString& file, const QString& section, const QString& key)
{
    return ReadSettingUpTo(file, section, key, SettingBufferSize - 1);
}

QString ReadSettingUpTo(const QString& file, const QString& section, const QString& key, int characters)
{
    const QString stored = PrivateProfile::load(file).value(section, key).value_or(QString());
    const QString copied = LeadingCharacters(stored, characters);
    if (copied.isEmpty()) {
        return {};
    }
    QString s = TruncateAtNul(copied);
    s = BeforeFirst(s, QStringLiteral("\t"));
    s = BeforeFirst(s, QStringLiteral(" ;"));
    return TrimBlanks(s);
}

} // namespace rp
