#pragma once

#include <QString>
#include <variant>

namespace rp {

// A loosely typed value: what a table field or a piece of outside text holds. Null is a value of its own,
// distinct from the empty text. Date-times are day serials kept apart from plain numbers so that their
// text form is a date, not a number.
class Value
{
public:
    enum class Kind
    {
        Null,
        Text,
        Integer,
        Real,
        DateTime
    };

    Value() = default; // Null
    static Value text(QString s);
    static Value integer(qint64 n);
    static Value real(double d);
    static Value dateTime(double daySerial);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isNumber() const { return m_kind == Kind::Integer || m_kind == Kind::Real; }

    // Raw access; each expects the matching kind (asReal also accepts Integer and DateTime).
    const QString& asText() const;
    qint64 asInteger() const;
    double asReal() const;
    double asDaySerial() const;

    // The platform's ordinary conversion to text under the current locale facts:
    // numbers with the locale's decimal separator, date-times as day/month/year [hh:nn:ss], Null as "".
    QString textForm() const;

    bool operator==(const Value& other) const;

private:
    Kind m_kind = Kind::Null;
    std::variant<std::monostate, QString, qint64, double> m_data;
};

} // namespace rp
