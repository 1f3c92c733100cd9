#pragma once

#include "common/Value.h"

#include <QByteArray>
#include <QString>

namespace rp::engine {

// A value exactly as SQLite holds it (storage class and content), so that a row can be compared with an
// earlier reading of itself and bound back without any conversion.
struct StoredValue
{
    enum class Type
    {
        Null,
        Integer,
        Real,
        Text,
        Blob
    };

    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0.0;
    QByteArray bytes; // UTF-8 for Text, raw for Blob

    bool operator==(const StoredValue&) const = default;
};

// Whether a column of this declared type holds date-times as text: one named for them ("DATE", "DATETIME",
// "TIMESTAMP", "TIME", ...) or one of text affinity ("TEXT", "VARCHAR(19)", "CHAR", "CLOB"), which would turn a
// day serial into digits no reader takes for a date. Columns of numeric affinity hold day serials.
bool isDateTimeType(const QString& declaredType);

// The stored form of a program value: on a date-time column a date-time or a real (a day serial) is the text
// "YYYY-MM-DD HH:MM:SS"; elsewhere a date-time is its REAL day serial. A whole number stays a number.
StoredValue storedFromValue(const Value& value, bool dateTimeColumn);

// The program value of a stored one: text in the store's date-time form on a date-time column becomes a
// date-time; other text stays text; a blob is read as Latin-1 text.
Value valueFromStored(const StoredValue& stored, bool dateTimeColumn);

} // namespace rp::engine
