#include "support/TestStore.h"

#include "app/LaunchRequest.h"
#include "common/DaySerial.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

namespace rp::test {

namespace {

void bindAll(sqlite3_stmt* stmt, const QVariantList& binds)
{
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds[i];
        const int index = i + 1;
        if (v.isNull()) {
            sqlite3_bind_null(stmt, index);
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(stmt, index, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(stmt, index, v.toDouble());
        } else {
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(stmt, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }
}

QVariant columnValue(sqlite3_stmt* stmt)
{
    switch (sqlite3_column_type(stmt, 0)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(stmt, 0)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, 0));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))));
    }
}

QVariant run(const QString& dbPath, const QString& sql, const QVariantList& binds, bool wantScalar)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + dbPath.toStdString());
    }
    sqlite3_busy_timeout(db, 5000);
    QVariant result;
    if (binds.isEmpty() && !wantScalar) {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            sqlite3_close(db);
            throw std::runtime_error(message + " in " + sql.toStdString());
        }
    } else {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(db);
            sqlite3_close(db);
            throw std::runtime_error(message + " in " + sql.toStdString());
        }
        bindAll(stmt, binds);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            result = columnValue(stmt);
        } else if (rc != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(db);
            sqlite3_finalize(stmt);
            sqlite3_close(db);
            throw std::runtime_error(message + " in " + sql.toStdString());
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}

QString layoutSql(const QString& layoutFile)
{
    QFile file(suite::sourceDir() + QStringLiteral("/data/layout/") + layoutFile);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("missing layout file " + layoutFile.toStdString());
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

TestStore::TestStore(const QString& operatorName) : m_operator(operatorName)
{
    QDir().mkpath(m_dir.path() + QStringLiteral("/dati/") + m_operator);
    QDir().mkpath(m_dir.path() + QStringLiteral("/lavoro/") + m_operator);
    createDatabase(dataDbPath(), QStringLiteral("DatiQZ.sql"));
    createDatabase(visitsDbPath(), QStringLiteral("VisiteQZ.sql"));
    createDatabase(workDbPath(), QStringLiteral("WorkQZ.sql"));
    writeSettings();
}

QString TestStore::dataDbPath() const
{
    return m_dir.path() + QStringLiteral("/dati/") + m_operator + QStringLiteral("/DatiQZ.mdb");
}

QString TestStore::visitsDbPath() const
{
    return m_dir.path() + QStringLiteral("/dati/") + m_operator + QStringLiteral("/VisiteQZ.mdb");
}

QString TestStore::workDbPath() const
{
    return m_dir.path() + QStringLiteral("/lavoro/") + m_operator + QStringLiteral("/WorkQZ.mdb");
}

void TestStore::declareDateTimesAs(const QString& type) const
{
    const auto relayOut = [&](const QString& path, const QString& layoutFile, const QString& table) {
        const QString layout = layoutSql(layoutFile).replace(QStringLiteral(" DATETIME"), QLatin1Char(' ') + type);
        // The old table's index goes with it: the layout is run again once it is dropped.
        run(path,
            QStringLiteral("BEGIN; ALTER TABLE %1 RENAME TO Vecchia; %2 INSERT INTO %1 SELECT * FROM Vecchia; "
                           "DROP TABLE Vecchia; %2 COMMIT;")
                .arg(table, layout),
            {}, false);
    };
    relayOut(visitsDbPath(), QStringLiteral("VisiteQZ.sql"), QStringLiteral("Appuntamenti"));
    relayOut(workDbPath(), QStringLiteral("WorkQZ.sql"), QStringLiteral("Promemoria"));
}

void TestStore::createDatabase(const QString& path, const QString& layoutFile) const
{
    run(path, layoutSql(layoutFile), {}, false);
}

void TestStore::writeSettings(const QString& agenda)
{
    QFile file(settingsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw std::runtime_error("cannot write settings");
    }
    const QString text = QStringLiteral("[BASE]\nOPERATORE=%1\n[PATH]\nFILE=%2/dati/\nWORK=%2/lavoro\n[AGENDA]\n%3\n")
                             .arg(m_operator, m_dir.path(), agenda);
    file.write(text.toUtf8());
}

void TestStore::exec(const QString& dbPath, const QString& sql, const QVariantList& binds) const
{
    run(dbPath, sql, binds, false);
}

QVariant TestStore::scalar(const QString& dbPath, const QString& sql, const QVariantList& binds) const
{
    return run(dbPath, sql, binds, true);
}

void TestStore::addClient(qint32 code, const QVariant& name, const QVariant& extended) const
{
    exec(dataDbPath(), QStringLiteral("INSERT INTO Clienti (CliCodice, CliRagsoc, CliRagsocEstesa) VALUES (?, ?, ?)"),
         {code, name, extended});
}

void TestStore::addAction(const QString& code, const QVariant& description, const QVariant& colour) const
{
    exec(visitsDbPath(),
         QStringLiteral("INSERT INTO TabAzioni (TbaCodice, TbaDescrizione, TbaColore) VALUES (?, ?, ?)"),
         {code, description, colour});
}

void TestStore::addAppointment(qint32 client, double when, const QString& action, const QVariant& note,
                               const QVariant& cause) const
{
    exec(visitsDbPath(),
         QStringLiteral("INSERT INTO Appuntamenti (ApCliente, ApData, ApAzione, ApNote, ApCausa, ApAllarm) "
                        "VALUES (?, ?, ?, ?, ?, 30)"),
         {client, storageTextFromDaySerial(when), action, note, cause});
}

void TestStore::addReminder(qint32 client, double when, const QString& action, const QVariant& document) const
{
    exec(workDbPath(),
         QStringLiteral("INSERT INTO Promemoria (PmCliente, PmData, PmAzione, PmDocumento, PmAllarm, PmWait) "
                        "VALUES (?, ?, ?, ?, ?, 'S')"),
         {client, storageTextFromDaySerial(when), action, document, storageTextFromDaySerial(when)});
}

QString TestStore::commandLine(qint32 client, double when, const QString& action, int slot) const
{
    const QString date = LaunchDateTimeText(when);
    return QStringLiteral("%1|%2|%3|%4|%5").arg(settingsPath()).arg(slot).arg(client).arg(action, date);
}

double serialOf(int year, int month, int day, int hour, int minute, int second)
{
    const auto serial =
        daySerialFromCivil({year, static_cast<unsigned>(month), static_cast<unsigned>(day), hour, minute, second});
    if (!serial) {
        throw std::invalid_argument("impossible date in a test");
    }
    return *serial;
}

} // namespace rp::test
