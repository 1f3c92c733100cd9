#include "app/engine/postgres/PgValue.h"

#include "app/engine/EngineErrors.h"
#include "common/DaySerial.h"

namespace rp::engine {

PgColumnKind pgColumnKind(const QString& typeName)
{
    if (typeName == u"int2" || typeName == u"int4" || typeName == u"int8") {
        return PgColumnKind::Integer;
    }
    if (typeName == u"float4" || typeName == u"float8" || typeName == u"numeric") {
        return PgColumnKind::Real;
    }
    if (typeName == u"bool") {
        return PgColumnKind::Boolean;
    }
    if (typeName == u"timestamp" || typeName == u"timestamptz") {
        return PgColumnKind::DateTime;
    }
    if (typeName == u"date") {
        return PgColumnKind::Date;
    }
    return PgColumnKind::Text;
}

bool isPgDateTimeKind(PgColumnKind kind)
{
    return kind == PgColumnKind::DateTime || kind == PgColumnKind::Date;
}

QString pgSelectExpression(const QString& quotedColumn, PgColumnKind kind)
{
    if (isPgDateTimeKind(kind)) {
        return QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(quotedColumn);
    }
    return quotedColumn;
}

PgParameter pgParameterFromValue(const Value& value, PgColumnKind kind)
{
    switch (value.kind()) {
    case Value::Kind::Null:
        return std::nullopt;
    case Value::Kind::Text:
        return value.asText().toUtf8();
    case Value::Kind::Integer:
        if (isPgDateTimeKind(kind)) {
            return storageTextFromDaySerial(static_cast<double>(value.asInteger())).toUtf8();
        }
        return QByteArray::number(value.asInteger());
    case Value::Kind::Real:
    case Value::Kind::DateTime:
        if (isPgDateTimeKind(kind)) {
            return storageTextFromDaySerial(value.asReal()).toUtf8();
        }
        return QByteArray::number(value.asReal(), 'g', 17);
    }
    return std::nullopt;
}

void requireKeptWhole(const Value& value, PgColumnKind kind, const QString& column, const QString& table)
{
    if (kind != PgColumnKind::Date || value.isNull() || value.kind() == Value::Kind::Text) {
        return;
    }
    const QString moment = QString::fromUtf8(pgParameterFromValue(value, kind).value_or(QByteArray()));
    if (!moment.endsWith(QLatin1String(" 00:00:00"))) {
        throw valueNotAccepted(table,
                               QStringLiteral("%1 è una data senza ora: %2 perderebbe l'ora").arg(column, moment));
    }
}

Value valueFromPg(const PgParameter& text, PgColumnKind kind)
{
    if (!text) {
        return Value();
    }
    const QString string = QString::fromUtf8(*text);
    switch (kind) {
    case PgColumnKind::Integer:
        return Value::integer(text->toLongLong());
    case PgColumnKind::Real:
        return Value::real(text->toDouble());
    case PgColumnKind::Boolean:
        // True is -1, as the scheduling application's engine gave it.
        return Value::integer(*text == "t" ? -1 : 0);
    case PgColumnKind::DateTime:
    case PgColumnKind::Date:
        if (const std::optional<double> serial = daySerialFromStorageText(string)) {
            return Value::dateTime(*serial);
        }
        return Value::text(string);
    case PgColumnKind::Text:
        break;
    }
    return Value::text(string);
}

} // namespace rp::engine
