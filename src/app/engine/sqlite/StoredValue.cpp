#include "app/engine/sqlite/StoredValue.h"

#include "common/DaySerial.h"

namespace rp::engine {

bool isDateTimeType(const QString& declaredType)
{
    const auto has = [&](const char* word) { return declaredType.contains(QLatin1String(word), Qt::CaseInsensitive); };
    // SQLite's own order: "INT" anywhere makes the affinity integer before any text word counts.
    const bool textAffinity = !has("INT") && (has("CHAR") || has("CLOB") || has("TEXT"));
    return has("DATE") || has("TIME") || textAffinity;
}

namespace {

StoredValue storedText(const QString& text)
{
    StoredValue stored;
    stored.type = StoredValue::Type::Text;
    stored.bytes = text.toUtf8();
    return stored;
}

} // namespace

StoredValue storedFromValue(const Value& value, bool dateTimeColumn)
{
    StoredValue stored;
    switch (value.kind()) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Text:
        stored = storedText(value.asText());
        break;
    case Value::Kind::Integer:
        // A whole number is a count or a code, never a day serial: a client code sought on a text key is compared
        // as the text SQLite makes of it.
        stored.type = StoredValue::Type::Integer;
        stored.integer = value.asInteger();
        break;
    case Value::Kind::Real:
    case Value::Kind::DateTime:
        if (dateTimeColumn) {
            return storedText(storageTextFromDaySerial(value.asReal()));
        }
        stored.type = StoredValue::Type::Real;
        stored.real = value.asReal();
        break;
    }
    return stored;
}

Value valueFromStored(const StoredValue& stored, bool dateTimeColumn)
{
    switch (stored.type) {
    case StoredValue::Type::Null:
        return Value();
    case StoredValue::Type::Integer:
        return Value::integer(stored.integer);
    case StoredValue::Type::Real:
        return Value::real(stored.real);
    case StoredValue::Type::Text: {
        QString text = QString::fromUtf8(stored.bytes);
        if (dateTimeColumn) {
            if (const std::optional<double> serial = daySerialFromStorageText(text)) {
                return Value::dateTime(*serial);
            }
        }
        return Value::text(std::move(text));
    }
    case StoredValue::Type::Blob:
        return Value::text(QString::fromLatin1(stored.bytes));
    }
    return Value();
}

} // namespace rp::engine
