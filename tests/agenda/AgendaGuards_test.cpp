#include "agenda/AgendaLog.h"
#include "agenda/DueReminder.h"
#include "agenda/LockFolder.h"
#include "app/LaunchRequest.h"
#include "common/DaySerial.h"
#include "common/ScopedLocaleFacts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace rp;
using namespace rp::agenda;

namespace {

double at(int year, int hour, int minute, int second)
{
    return *daySerialFromCivil(CivilDateTime{year, 12, 7, hour, minute, second});
}

// Every row the watcher accepts is launched with a line that the pop-up's own parse reads back to exactly the
// stored key; every row whose key the line cannot carry is refused, naming the column.
TEST(DueReminder, TheLaunchKeyRoundTripsThroughThePopupsParseOrTheRowIsRefused)
{
    const QStringList keyColumns{QStringLiteral("PmCodCliente"), QStringLiteral("PmIstante"),
                                 QStringLiteral("PmCodAzione")};
    const Value alarm = Value::dateTime(at(2026, 9, 0, 0));
    const Value when = Value::dateTime(at(2026, 10, 0, 5));
    const auto text = [](const char* s) { return Value::text(QString::fromUtf8(s)); };
    struct Row
    {
        Value client, appointment, action;
        QString refusedColumn; // empty: accepted
    };
    const std::vector<Row> rows{
        {Value::integer(57), when, text("MAN"), {}},
        {Value::integer(-2147483647 - 1), text("2026-12-07 23:59:59"), text("VIS"), {}},
        {Value::real(2147483647), Value::dateTime(at(1900, 0, 0, 0)), text("MAN INT"), {}},
        {Value::integer(7), when, text(""), {}},
        {Value::integer(57), when, text("MAN "), keyColumns[2]},
        {Value::integer(57), when, text("\tMAN"), keyColumns[2]},
        {Value::integer(57), when, text("MA\nN"), keyColumns[2]},
        {Value::integer(57), when, text("MAN\x7f"), keyColumns[2]},
        {Value::integer(57), when, text("MAN|2"), keyColumns[2]},
        {Value::integer(57), Value::dateTime(at(2026, 10, 0, 5) + 0.25 / 86400), text("MAN"), keyColumns[1]},
        {Value::integer(57), Value::dateTime(3000000.0), text("MAN"), keyColumns[1]},
    };
    for (const LocaleFacts& locale : {test::pointLocale(), test::commaLocale()}) {
        const test::ScopedLocaleFacts pinned(locale);
        for (const Row& row : rows) {
            QString why;
            const std::optional<DueReminder> r =
                reminderFromRow({row.client, row.appointment, row.action, alarm}, keyColumns, why);
            const QString shown = QStringLiteral("%1 %2").arg(row.action.asText()).arg(why);
            if (!row.refusedColumn.isEmpty()) {
                EXPECT_FALSE(r) << shown.toStdString();
                EXPECT_TRUE(why.startsWith(row.refusedColumn)) << shown.toStdString();
                continue;
            }
            ASSERT_TRUE(r) << shown.toStdString();
            const LaunchRequest back = ParseLaunchRequest(launchLine(QStringLiteral(" /a b/x.ini"), 4, *r), 0);
            EXPECT_EQ(back.SettingsPath, QStringLiteral(" /a b/x.ini"));
            EXPECT_EQ(back.SlotNumber, 4);
            EXPECT_EQ(back.ClientCode, static_cast<qint32>(row.client.asReal()));
            EXPECT_EQ(back.AppointmentTime, *dateTimeOf(row.appointment)) << shown.toStdString();
            EXPECT_EQ(back.ActionCode, row.action.asText());
        }
    }
}

TEST(AgendaLog, ControlCharactersAreWrittenOutSoThatALineStaysOne)
{
    const std::vector<std::pair<QString, QString>> rows{
        {QStringLiteral("57|MAN|nota è già"), QStringLiteral("57|MAN|nota è già")},
        {QStringLiteral("MAN\nreminder-agenda: archivio di nuovo leggibile"),
         QStringLiteral("MAN\\nreminder-agenda: archivio di nuovo leggibile")},
        {QStringLiteral("a\r\tb"), QStringLiteral("a\\r\\tb")},
        {QString::fromUtf8("\x1b[31mrosso\x7f"), QStringLiteral("\\x1b[31mrosso\\x7f")},
        {QString(QChar(0x85)), QStringLiteral("\\x85")},
    };
    for (const auto& [raw, escaped] : rows) {
        EXPECT_EQ(escapedForLog(raw), escaped);
    }
}

// What the journal gets: each line one line, with its priority only where standard error is the journal's own
// stream (JOURNAL_STREAM names its device and inode), so that `journalctl -p err` lists the failures.
TEST(AgendaLog, LinesCarryTheJournalsPriorityOnlyOnTheJournalsStream)
{
    QTemporaryDir scratch;
    const QByteArray path = QFile::encodeName(scratch.filePath(QStringLiteral("stderr")));
    const auto written = [&](bool journal) {
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        const int file = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        struct stat facts
        {
        };
        fstat(file, &facts);
        const QByteArray stream = QByteArray::number(static_cast<qulonglong>(facts.st_dev)) + ':' +
                                  QByteArray::number(static_cast<qulonglong>(facts.st_ino + (journal ? 0 : 1)));
        qputenv("JOURNAL_STREAM", stream);
        logLine(LogPriority::Error, QStringLiteral("archivio non leggibile: MAN\nreminder-agenda: x"));
        logLine(LogPriority::Info, QStringLiteral("finestra avviata"));
        qunsetenv("JOURNAL_STREAM");
        dup2(saved, STDERR_FILENO);
        close(saved);
        close(file);
        QFile read(QString::fromLocal8Bit(path));
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    };
    EXPECT_EQ(written(true), QByteArray("<3>reminder-agenda: archivio non leggibile: MAN\\nreminder-agenda: x\n"
                                        "<6>reminder-agenda: finestra avviata\n"));
    EXPECT_EQ(written(false), QByteArray("reminder-agenda: archivio non leggibile: MAN\\nreminder-agenda: x\n"
                                         "reminder-agenda: finestra avviata\n"));
}

TEST(LockFolder, MadeWhenMissingAndRefusedWhenALinkOrOpenToOthers)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString base = scratch.path() + QStringLiteral("/run");
    const auto folder = [&](const char* name) { return base + QStringLiteral("/reminder-agenda/") + name; };

    EXPECT_TRUE(privateFolderProblem(folder("missing"), false));
    EXPECT_FALSE(privateFolderProblem(folder("missing"), true));
    struct stat facts
    {
    };
    ASSERT_EQ(stat(QFile::encodeName(folder("missing")).constData(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0700u);

    ASSERT_TRUE(QDir().mkpath(scratch.path() + QStringLiteral("/elsewhere")));
    chmod(QFile::encodeName(scratch.path() + QStringLiteral("/elsewhere")).constData(), 0700);
    ASSERT_EQ(symlink("../../elsewhere", QFile::encodeName(folder("link")).constData()), 0);
    ASSERT_EQ(mkdir(QFile::encodeName(folder("shared")).constData(), 0700), 0);
    chmod(QFile::encodeName(folder("shared")).constData(), 0755);
    for (const char* refused : {"link", "shared"}) {
        for (const bool make : {false, true}) {
            const std::optional<QString> problem = privateFolderProblem(folder(refused), make);
            ASSERT_TRUE(problem) << refused;
            EXPECT_TRUE(problem->startsWith(folder(refused))) << problem->toStdString();
        }
    }
    // The watcher's own folder above them is checked too.
    chmod(QFile::encodeName(base + QStringLiteral("/reminder-agenda")).constData(), 0770);
    EXPECT_TRUE(privateFolderProblem(folder("missing"), true));
}

} // namespace
