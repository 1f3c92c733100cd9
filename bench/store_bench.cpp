// Figures for the store: opening the three databases, finding a row by its key, and the edit/update of a
// postpone, each on stores of 1,000 and 1,000,000 rows per table. Figures only; nothing here passes or fails.
#include "app/engine/DefaultWorkspace.h"
#include "app/engine/TableCursor.h"
#include "app/engine/Workspace.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "common/DaySerial.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

using namespace rp;
using namespace rp::engine;

namespace {

const QString Primary = QStringLiteral("primaria");
const QString Equal = QStringLiteral("=");
const double FirstAppointment = *daySerialFromCivil(CivilDateTime{2024, 1, 1, 8, 0, 0});

QString layoutFile(const char* databaseName)
{
    const std::filesystem::path source(__FILE__);
    return QString::fromStdString((source.parent_path().parent_path() / "data" / "layout").string()) +
           QStringLiteral("/%1.sql").arg(QLatin1String(databaseName));
}

void check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
    }
}

void execute(sqlite3* db, const QString& sql)
{
    check(db, sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), "exec");
}

// The row number i (1-based) of every table: its key values.
QByteArray appointmentTime(qint64 i)
{
    return storageTextFromDaySerial(FirstAppointment + static_cast<double>(i) / MinutesPerDay).toUtf8();
}

QByteArray actionCode(qint64 i)
{
    return QByteArray("AZ") + QByteArray::number(i).rightJustified(7, '0');
}

// Fills one table through one prepared INSERT, in one transaction. `bindRow` binds row i.
template <typename BindRow>
void fill(sqlite3* db, const char* insertSql, qint64 rows, BindRow bindRow)
{
    sqlite3_stmt* insert = nullptr;
    check(db, sqlite3_prepare_v2(db, insertSql, -1, &insert, nullptr), insertSql);
    for (qint64 i = 1; i <= rows; ++i) {
        bindRow(insert, i);
        check(db, sqlite3_step(insert), insertSql);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
}

void bindText(sqlite3_stmt* statement, int position, const QByteArray& text)
{
    sqlite3_bind_text(statement, position, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void createDatabase(const QString& path, const char* layout, qint64 rows, void (*fillTables)(sqlite3*, qint64))
{
    QFile layoutText(layoutFile(layout));
    if (!layoutText.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("layout file not found: " + layoutText.fileName().toStdString());
    }
    sqlite3* db = nullptr;
    check(db, sqlite3_open(QFile::encodeName(path).constData(), &db), "open");
    execute(db, QString::fromUtf8(layoutText.readAll()));
    // Only the building connection skips the syncs; the stores themselves keep their default settings.
    execute(db, QStringLiteral("PRAGMA synchronous = OFF; BEGIN"));
    fillTables(db, rows);
    execute(db, QStringLiteral("COMMIT"));
    sqlite3_close(db);
}

void fillData(sqlite3* db, qint64 rows)
{
    fill(db, "INSERT INTO Clienti VALUES (?1, ?2, ?3)", rows, [](sqlite3_stmt* s, qint64 i) {
        sqlite3_bind_int64(s, 1, i);
        bindText(s, 2, "CLIENTE " + QByteArray::number(i) + " SRL");
        bindText(s, 3, "CLIENTE " + QByteArray::number(i) + " IMPIANTI ELETTRICI SRL");
    });
}

void fillVisits(sqlite3* db, qint64 rows)
{
    fill(db, "INSERT INTO Appuntamenti VALUES (?1, ?2, ?3, ?4, ?5, 15)", rows, [](sqlite3_stmt* s, qint64 i) {
        sqlite3_bind_int64(s, 1, i);
        bindText(s, 2, appointmentTime(i));
        bindText(s, 3, actionCode(i % 50 + 1));
        bindText(s, 4, "Controllo caldaia e verifica impianto " + QByteArray::number(i));
        bindText(s, 5, "MANUTENZIONE");
    });
    fill(db, "INSERT INTO TabAzioni VALUES (?1, ?2, 255)", rows, [](sqlite3_stmt* s, qint64 i) {
        bindText(s, 1, actionCode(i));
        bindText(s, 2, "AZIONE " + QByteArray::number(i));
    });
}

void fillWork(sqlite3* db, qint64 rows)
{
    fill(db, "INSERT INTO Promemoria VALUES (?1, ?2, ?3, ?4, ?2, NULL)", rows, [](sqlite3_stmt* s, qint64 i) {
        sqlite3_bind_int64(s, 1, i);
        bindText(s, 2, appointmentTime(i));
        bindText(s, 3, actionCode(i % 50 + 1));
        bindText(s, 4, "/home/operatore/documenti/pratica-" + QByteArray::number(i) + ".pdf");
    });
}

struct Store
{
    QString data;
    QString visits;
    QString work;
};

// Each size is built once per run, on first use, in one temporary folder removed at exit.
const Store& storeOf(qint64 rows)
{
    static QTemporaryDir root;
    static std::map<qint64, Store> stores;
    if (const auto found = stores.find(rows); found != stores.end()) {
        return found->second;
    }
    const QString folder = root.filePath(QString::number(rows));
    QDir().mkpath(folder);
    Store store{folder + QStringLiteral("/DatiQZ.mdb"), folder + QStringLiteral("/VisiteQZ.mdb"),
                folder + QStringLiteral("/WorkQZ.mdb")};
    QElapsedTimer timer;
    timer.start();
    createDatabase(store.data, "DatiQZ", rows, fillData);
    createDatabase(store.visits, "VisiteQZ", rows, fillVisits);
    createDatabase(store.work, "WorkQZ", rows, fillWork);
    std::fprintf(stderr, "built store of %lld rows per table in %.1f s\n", static_cast<long long>(rows),
                 static_cast<double>(timer.elapsed()) / 1000.0);
    return stores.emplace(rows, store).first->second;
}

// Row numbers visited in a scattered order, so that consecutive seeks do not share pages.
qint64 scatteredRow(qint64 step, qint64 rows)
{
    return (step * 7919) % rows + 1;
}

std::vector<Value> appointmentKey(qint64 i)
{
    return {Value::integer(i), Value::dateTime(FirstAppointment + static_cast<double>(i) / MinutesPerDay),
            Value::text(QString::fromLatin1(actionCode(i % 50 + 1)))};
}

std::unique_ptr<TableCursor> cursorOn(const QString& path, const QString& table)
{
    auto cursor = TableCursor::open(SqliteDatabase::open(path), table);
    cursor->setIndex(Primary);
    return cursor;
}

template <typename Key>
void seekAndRead(benchmark::State& state, const QString& path, const QString& table, const QString& field, Key key)
{
    const qint64 rows = state.range(0);
    const Store& store = storeOf(rows);
    (void)store;
    auto cursor = cursorOn(path, table);
    qint64 step = 0;
    for (auto _ : state) {
        cursor->seek(Equal, key(scatteredRow(step++, rows)));
        if (cursor->noMatch()) {
            state.SkipWithError("key not found");
            break;
        }
        benchmark::DoNotOptimize(cursor->field(field));
    }
}

void BM_OpenThreeDatabases(benchmark::State& state)
{
    const Store& store = storeOf(state.range(0));
    for (auto _ : state) {
        auto workspace = defaultWorkspace();
        auto data = workspace->openDatabase(store.data);
        auto visits = workspace->openDatabase(store.visits);
        auto work = workspace->openDatabase(store.work);
        benchmark::DoNotOptimize(work.get());
    }
}

void BM_SeekAppointment(benchmark::State& state)
{
    seekAndRead(state, storeOf(state.range(0)).visits, QStringLiteral("Appuntamenti"), QStringLiteral("ApNote"),
                appointmentKey);
}

void BM_SeekReminder(benchmark::State& state)
{
    seekAndRead(state, storeOf(state.range(0)).work, QStringLiteral("Promemoria"), QStringLiteral("PmDocumento"),
                appointmentKey);
}

void BM_SeekClient(benchmark::State& state)
{
    seekAndRead(state, storeOf(state.range(0)).data, QStringLiteral("Clienti"), QStringLiteral("CliRagsoc"),
                [](qint64 i) { return std::vector<Value>{Value::integer(i)}; });
}

void BM_SeekAction(benchmark::State& state)
{
    seekAndRead(state, storeOf(state.range(0)).visits, QStringLiteral("TabAzioni"), QStringLiteral("TbaDescrizione"),
                [](qint64 i) { return std::vector<Value>{Value::text(QString::fromLatin1(actionCode(i)))}; });
}

// A whole look-up as the window does it: open the table, choose the index, seek, read, close.
void BM_ClientLookupWithOpenAndClose(benchmark::State& state)
{
    const qint64 rows = state.range(0);
    const auto db = SqliteDatabase::open(storeOf(rows).data);
    qint64 step = 0;
    for (auto _ : state) {
        auto cursor = TableCursor::open(db, QStringLiteral("Clienti"));
        cursor->setIndex(Primary);
        cursor->seek(Equal, {Value::integer(scatteredRow(step++, rows))});
        benchmark::DoNotOptimize(cursor->field(QStringLiteral("CliRagsoc")));
        cursor->close();
    }
}

// The writes of a postpone: the appointment's lead time, then the reminder's next alarm and wait flag, on the
// rows as a window loaded them. Values alternate so that every update really changes the row.
void BM_PostponeEditUpdate(benchmark::State& state)
{
    const qint64 rows = state.range(0);
    const Store& store = storeOf(rows);
    const qint64 row = rows / 2;
    auto appointment = cursorOn(store.visits, QStringLiteral("Appuntamenti"));
    auto reminder = cursorOn(store.work, QStringLiteral("Promemoria"));
    appointment->seek(Equal, appointmentKey(row));
    reminder->seek(Equal, appointmentKey(row));
    // What the window shows: each write then checks these fields too.
    appointment->field(QStringLiteral("ApNote"));
    appointment->field(QStringLiteral("ApCausa"));
    reminder->field(QStringLiteral("PmDocumento"));
    qint64 step = 0;
    for (auto _ : state) {
        const double minutes = static_cast<double>(step++ % 2 == 0 ? 15 : 30);
        appointment->edit();
        appointment->setField(QStringLiteral("ApAllarm"), Value::real(minutes));
        appointment->update();
        reminder->edit();
        reminder->setField(QStringLiteral("PmAllarm"),
                           Value::dateTime(FirstAppointment + (static_cast<double>(row) - minutes) / MinutesPerDay));
        reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
        reminder->update();
    }
}

#define STORE_SIZES Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)

BENCHMARK(BM_OpenThreeDatabases)->STORE_SIZES;
BENCHMARK(BM_SeekAppointment)->STORE_SIZES;
BENCHMARK(BM_SeekReminder)->STORE_SIZES;
BENCHMARK(BM_SeekClient)->STORE_SIZES;
BENCHMARK(BM_SeekAction)->STORE_SIZES;
BENCHMARK(BM_ClientLookupWithOpenAndClose)->STORE_SIZES;
BENCHMARK(BM_PostponeEditUpdate)->STORE_SIZES;

} // namespace

BENCHMARK_MAIN();
