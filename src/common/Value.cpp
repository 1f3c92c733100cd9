#include "common/Value.h"

#include "common/DateText.h"
#include "common/NumberText.h"
#include "common/RuntimeError.h"

namespace rp {

Value Value::text(QString s)
{
    Value v;
    v.m_kind = Kind::Text;
    v.m_data = std::move(s);
    return v;
}

Value Value::integer(qint64 n)
{
    Value v;
    v.m_kind = Kind::Integer;
    v.m_data = n;
    return v;
}

Value Value::real(double d)
{
    Value v;
    v.m_kind = Kind::Real;
    v.m_data = d;
    return v;
}

Value Value::dateTime(double daySerial)
{
    Value v;
    v.m_kind = Kind::DateTime;
    v.m_data = daySerial;
    return v;
}

// Reading a value as the wrong kind is a programming fault; it surfaces as the platform's type mismatch
// rather than as undefined behaviour.
const QString& Value::asText() const
{
    if (m_kind != Kind::Text) {
        throw RuntimeError::typeMismatch();
    }
    return std::get<QString>(m_data);
}

qint64 Value::asInteger() const
{
    if (m_kind != Kind::Integer) {
        throw RuntimeError::typeMismatch();
    }
    return std::get<qint64>(m_data);
}

double Value::asReal() const
{
    switch (m_kind) {
    case Kind::Integer:
        return static_cast<double>(std::get<qint64>(m_data));
    case Kind::Real:
    case Kind::DateTime:
        return std::get<double>(m_data);
    case Kind::Null:
    case Kind::Text:
        break;
    }
    throw RuntimeError::typeMismatch();
}

double Value::asDaySerial() const
{
    if (m_kind != Kind::DateTime) {
        throw RuntimeError::typeMismatch();
    }
    return std::get<double>(m_data);
}

QString Value::textForm() const
{
    switch (m_kind) {
    case Kind::Null:
        return QString();
    case Kind::Text:
        return std::get<QString>(m_data);
    case Kind::Integer:
        return QString::number(std::get<qint64>(m_data));
    case Kind::Real:
        return numberToText(std::get<double>(m_data));
    case Kind::DateTime:
        return dateTimeTextForm(std::get<double>(m_data));
    }
    return QString();
}

bool Value::operator==(const Value& other) const
{
    return m_kind == other.m_kind && m_data == other.m_data;
}

} // namespace rp
