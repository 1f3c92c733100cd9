#include "app/engine/sqlite/SqliteFailure.h"

#include "app/engine/EngineErrors.h"

#include <sqlite3.h>

namespace rp::engine {

RuntimeError sqliteFailure(sqlite3* db, int resultCode, const QString& file, const QString& table)
{
    // sqlite3_errmsg describes the connection's latest failure, which is the one being mapped as long as the
    // caller maps it at once; without a connection the generic text of the code is all there is.
    const QString sqliteText = QString::fromUtf8(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode));
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return databaseLocked(file, sqliteText);
    case SQLITE_NOTADB:
        return engineError(NotADatabase, QStringLiteral("Formato di database non riconosciuto: '%1'.").arg(file));
    case SQLITE_CORRUPT:
        return engineError(NotADatabase, QStringLiteral("Database danneggiato: '%1' (%2)").arg(file, sqliteText));
    case SQLITE_READONLY:
        return readOnlyDatabase(file, sqliteText);
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
        if (!table.isEmpty()) {
            return valueNotAccepted(table, sqliteText);
        }
        return engineError(ValueNotAccepted,
                           QStringLiteral("Valore non accettato dal database '%1' (%2)").arg(file, sqliteText));
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return engineError(FileNotAccessible,
                           QStringLiteral("Impossibile aprire il file '%1' (%2)").arg(file, sqliteText));
    default:
        return engineError(
            EngineFailure,
            QStringLiteral("Errore del database '%1': %2 (codice SQLite %3)").arg(file, sqliteText).arg(resultCode));
    }
}

QString quotedIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace rp::engine
