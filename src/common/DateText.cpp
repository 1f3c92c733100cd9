#include "common/DateText.h"

#include "common/Blanks.h"
#include "common/DaySerial.h"
#include "common/LocaleFacts.h"

namespace rp {

namespace {

// A left-to-right reader over the date text; every step either consumes what it expects or fails.
class DateTextReader
{
public:
    explicit DateTextReader(const QString& text) : m_text(text) {}

    bool atEnd() const { return m_pos == m_text.size(); }

    // Between minDigits and maxDigits ASCII digits; the count read is left in lastDigitCount().
    std::optional<int> digits(int minDigits, int maxDigits)
    {
        int value = 0;
        int count = 0;
        while (count < maxDigits && m_pos < m_text.size() && isAsciiDigit(m_text.at(m_pos))) {
            value = value * 10 + (m_text.at(m_pos).unicode() - u'0');
            ++m_pos;
            ++count;
        }
        m_lastDigitCount = count;
        if (count < minDigits || (m_pos < m_text.size() && isAsciiDigit(m_text.at(m_pos)))) {
            return std::nullopt;
        }
        return value;
    }

    int lastDigitCount() const { return m_lastDigitCount; }

    // One of the two given separators; the one found is returned so that a text uses the same one throughout.
    std::optional<QChar> separator(QChar first, QChar second)
    {
        if (m_pos < m_text.size() && (m_text.at(m_pos) == first || m_text.at(m_pos) == second)) {
            return m_text.at(m_pos++);
        }
        return std::nullopt;
    }

    bool exactly(QChar expected)
    {
        if (m_pos < m_text.size() && m_text.at(m_pos) == expected) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool blanks()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && isBlank(m_text.at(m_pos))) {
            ++m_pos;
        }
        return m_pos > start;
    }

private:
    static bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

    const QString& m_text;
    qsizetype m_pos = 0;
    int m_lastDigitCount = 0;
};

int fullYear(int year, int digitCount)
{
    if (digitCount == 4) {
        return year;
    }
    return year < 30 ? 2000 + year : 1900 + year;
}

QString twoDigits(int number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

QString twoDigits(unsigned number)
{
    return twoDigits(static_cast<int>(number));
}

QString dayMonth(const CivilDateTime& c, QChar separator)
{
    return twoDigits(c.day) + separator + twoDigits(c.month);
}

QString hourMinute(const CivilDateTime& c, QChar separator)
{
    return twoDigits(c.hour) + separator + twoDigits(c.minute);
}

} // namespace

std::optional<double> parseDateText(const QString& text)
{
    const LocaleFacts& facts = localeFacts();
    const QString trimmed = trimBlanks(text);
    DateTextReader reader(trimmed);

    // The launcher always writes "/"; it is accepted beside the locale's own separator, as the classic
    // platform's date parser did.
    CivilDateTime civil;
    const std::optional<int> day = reader.digits(1, 2);
    const std::optional<QChar> dateSeparator = reader.separator(facts.dateSeparator, u'/');
    if (!day || !dateSeparator) {
        return std::nullopt;
    }
    const std::optional<int> month = reader.digits(1, 2);
    if (!month || !reader.exactly(*dateSeparator)) {
        return std::nullopt;
    }
    const std::optional<int> year = reader.digits(2, 4);
    if (!year || reader.lastDigitCount() == 3) {
        return std::nullopt;
    }
    civil.day = static_cast<unsigned>(*day);
    civil.month = static_cast<unsigned>(*month);
    civil.year = fullYear(*year, reader.lastDigitCount());

    if (!reader.atEnd()) {
        if (!reader.blanks()) {
            return std::nullopt;
        }
        const std::optional<int> hour = reader.digits(1, 2);
        const std::optional<QChar> timeSeparator = reader.separator(facts.timeSeparator, u':');
        if (!hour || !timeSeparator) {
            return std::nullopt;
        }
        const std::optional<int> minute = reader.digits(2, 2);
        if (!minute) {
            return std::nullopt;
        }
        civil.hour = *hour;
        civil.minute = *minute;
        if (reader.exactly(*timeSeparator)) {
            const std::optional<int> second = reader.digits(2, 2);
            if (!second) {
                return std::nullopt;
            }
            civil.second = *second;
        }
        if (!reader.atEnd()) {
            return std::nullopt;
        }
    }
    return daySerialFromCivil(civil);
}

QString formatDayMonthYear(double serial)
{
    const CivilDateTime c = civilFromDaySerial(serial);
    const QChar separator = localeFacts().dateSeparator;
    return dayMonth(c, separator) + separator + twoDigits(((c.year % 100) + 100) % 100);
}

QString formatHourMinute(double serial)
{
    return hourMinute(civilFromDaySerial(serial), localeFacts().timeSeparator);
}

QString formatDayMonthTime(double serial)
{
    const CivilDateTime c = civilFromDaySerial(serial);
    return dayMonth(c, localeFacts().dateSeparator) + u' ' + hourMinute(c, localeFacts().timeSeparator);
}

QString dateTimeTextForm(double serial)
{
    const CivilDateTime c = civilFromDaySerial(serial);
    const LocaleFacts& facts = localeFacts();
    QString text = dayMonth(c, facts.dateSeparator) + facts.dateSeparator +
                   QStringLiteral("%1").arg(c.year, 4, 10, QLatin1Char('0'));
    if (c.hour != 0 || c.minute != 0 || c.second != 0) {
        text += u' ' + hourMinute(c, facts.timeSeparator) + facts.timeSeparator + twoDigits(c.second);
    }
    return text;
}

} // namespace rp
