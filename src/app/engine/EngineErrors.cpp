#include "app/engine/EngineErrors.h"

namespace rp::engine {

RuntimeError engineError(EngineErrorNumber number, const QString& description)
{
    return RuntimeError(number, description);
}

RuntimeError fileNotFound(const QString& path)
{
    return engineError(FileNotFound, QStringLiteral("Impossibile trovare il file '%1'.").arg(path));
}

RuntimeError schemaNotFound(const QString& schema)
{
    return engineError(FileNotFound, QStringLiteral("Impossibile trovare il database '%1' sul server.").arg(schema));
}

RuntimeError invalidName(const QString& name, const QString& why)
{
    return engineError(InvalidName, QStringLiteral("'%1' non è un nome valido: %2").arg(name, why));
}

RuntimeError tableNotFound(const QString& table)
{
    return engineError(TableNotFound, QStringLiteral("Impossibile trovare la tabella '%1'.").arg(table));
}

RuntimeError indexNotFound(const QString& index, const QString& table)
{
    return engineError(IndexNotFound, QStringLiteral("'%1' non è un indice della tabella '%2'.").arg(index, table));
}

RuntimeError expressionIndex(const QString& index, const QString& table)
{
    return engineError(
        IndexNotFound,
        QStringLiteral("L'indice '%1' della tabella '%2' usa espressioni e non può servire alla ricerca.")
            .arg(index, table));
}

RuntimeError noPrimaryKey(const QString& index, const QString& table)
{
    return engineError(IndexNotFound,
                       QStringLiteral("'%1' non è un indice della tabella '%2': la tabella non ha una chiave primaria.")
                           .arg(index, table));
}

RuntimeError fieldNotFound(const QString& field, const QString& table)
{
    return engineError(FieldNotFound, QStringLiteral("Campo '%1' non trovato nella tabella '%2'.").arg(field, table));
}

RuntimeError noDatabaseFor(const QString& table)
{
    return engineError(InvalidArgument, QStringLiteral("Nessun database aperto per la tabella '%1'.").arg(table));
}

RuntimeError noCurrentIndex(const QString& table)
{
    return engineError(
        NoCurrentIndex,
        QStringLiteral("Nessun indice corrente sulla tabella '%1': impostare l'indice prima della ricerca.")
            .arg(table));
}

RuntimeError comparisonNotAllowed(const QString& comparison)
{
    return engineError(
        InvalidArgument,
        QStringLiteral("Confronto '%1' non ammesso nella ricerca: è ammesso solo \"=\".").arg(comparison));
}

RuntimeError keyCountMismatch(const QString& index, const QString& table, std::size_t expected, std::size_t given)
{
    return engineError(InvalidArgument,
                       QStringLiteral("L'indice '%1' della tabella '%2' ha %3 campi, la ricerca ha ricevuto %4 valori.")
                           .arg(index, table)
                           .arg(expected)
                           .arg(given));
}

RuntimeError noCurrentRecord()
{
    return engineError(NoCurrentRecord, QStringLiteral("Nessun record corrente."));
}

RuntimeError cursorClosed(const QString& table)
{
    return engineError(CursorClosed, QStringLiteral("Il cursore della tabella '%1' è chiuso.").arg(table));
}

RuntimeError updateWithoutEdit()
{
    return engineError(UpdateWithoutEdit, QStringLiteral("Aggiornamento senza una modifica in corso (Edit)."));
}

RuntimeError nullNotAccepted(const QString& field, const QString& table)
{
    return engineError(ValueNotAccepted,
                       QStringLiteral("Il campo '%1' della tabella '%2' non può essere Null.").arg(field, table));
}

RuntimeError valueNotAccepted(const QString& table, const QString& detail)
{
    return engineError(ValueNotAccepted,
                       QStringLiteral("Valore non accettato dalla tabella '%1' (%2)").arg(table, detail));
}

RuntimeError rowChangedByAnotherUser(const QString& table)
{
    return engineError(
        RowChangedByAnotherUser,
        QStringLiteral("Il record della tabella '%1' è stato modificato da un altro utente dopo la lettura: le "
                       "modifiche non sono state salvate.")
            .arg(table));
}

RuntimeError rowDeletedByAnotherUser(const QString& table)
{
    return engineError(RowDeletedByAnotherUser,
                       QStringLiteral("Il record della tabella '%1' è stato eliminato da un altro utente.").arg(table));
}

RuntimeError databaseLocked(const QString& database, const QString& detail)
{
    return engineError(DatabaseLocked,
                       QStringLiteral("Database bloccato da un altro processo: %1 (%2)").arg(database, detail));
}

RuntimeError permissionDenied(const QString& database, const QString& detail)
{
    return engineError(NoPermission, QStringLiteral("Permesso negato sul database '%1' (%2)").arg(database, detail));
}

RuntimeError readOnlyDatabase(const QString& database, const QString& detail)
{
    return engineError(
        ReadOnlyDatabase,
        QStringLiteral("Database di sola lettura, modifica impossibile: '%1' (%2)").arg(database, detail));
}

RuntimeError serverConnectionFailed(const QString& detail)
{
    return engineError(ServerConnectionFailed, QStringLiteral("Connessione al server non riuscita: %1").arg(detail));
}

RuntimeError serverConnectionLost(const QString& detail)
{
    return engineError(ServerConnectionFailed, QStringLiteral("Connessione al server interrotta: %1").arg(detail));
}

RuntimeError serverNotAnswering(int seconds)
{
    return engineError(ServerConnectionFailed,
                       QStringLiteral("Il server non ha risposto entro %1 secondi: connessione chiusa.").arg(seconds));
}

RuntimeError serverFailure(const QString& database, const QString& detail)
{
    return engineError(ServerFailure, QStringLiteral("Errore del server sul database '%1': %2").arg(database, detail));
}

void checkSeekArguments(const QString& comparison, const QString& index, const QString& table, std::size_t expected,
                        std::size_t given)
{
    if (comparison != QLatin1String("=")) {
        throw comparisonNotAllowed(comparison);
    }
    if (given != expected) {
        throw keyCountMismatch(index, table, expected, given);
    }
}

} // namespace rp::engine
