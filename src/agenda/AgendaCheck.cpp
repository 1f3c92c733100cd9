#include "agenda/AgendaCheck.h"

#include "agenda/AgendaLog.h"
#include "agenda/LockFolder.h"
#include "agenda/PopupLauncher.h"
#include "agenda/StoreLook.h"
#include "app/SettingsValues.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>

namespace rp::agenda {

namespace {

void say(const QString& text)
{
    std::printf("%s\n", escapedForLog(text).toLocal8Bit().constData());
}

QString errorText(const RuntimeError& error)
{
    return error.number() != 0 ? QString::number(error.number()) + QLatin1Char('-') + error.description()
                               : error.description();
}

// A connection string as it may be shown: without its password.
QString withoutPassword(const QString& connection)
{
    static const QRegularExpression password(QStringLiteral("(password\\s*=\\s*)('[^']*'|\\S+)"),
                                             QRegularExpression::CaseInsensitiveOption);
    return QString(connection).replace(password, QStringLiteral("\\1***"));
}

// The pop-up's own answer to --version; empty when it cannot be run.
QString popupVersion(const QString& program)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, {QStringLiteral("--version")});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

int checkAgenda(const AgendaOptions& options)
{
    QStringList reasons;
    const QFileInfo settings(options.settingsPath);
    say(QStringLiteral("impostazioni: %1%2")
            .arg(settings.absoluteFilePath(), !settings.exists() ? QStringLiteral(" (non esiste)")
                                              : settings.canonicalFilePath() != settings.absoluteFilePath()
                                                  ? QStringLiteral(" (cioè %1)").arg(settings.canonicalFilePath())
                                                  : QString()));
    try {
        say(QStringLiteral("operatore: %1").arg(ReadOperatorName(options.settingsPath)));
        const WorkDatabase work = workDatabaseOf(options.settingsPath);
        say(work.server.isEmpty()
                ? QStringLiteral("archivio: file %1").arg(work.name)
                : QStringLiteral("archivio: server %1, schema %2").arg(withoutPassword(work.server), work.name));
        const double now = daySerialFromLocal(QDateTime::currentDateTime());
        const StoreLook found = lookForDueReminders(work, now);
        say(QStringLiteral("chiave di Promemoria: %1").arg(found.keyColumns.join(QStringLiteral(", "))));
        say(QStringLiteral("promemoria in scadenza ora: %1").arg(found.due.size()));
        for (const DueReminder& reminder : found.due) {
            say(QStringLiteral("  %1 (PmAllarm %2)")
                    .arg(launchLine(options.settingsPath, 0, reminder), storageTextFromDaySerial(reminder.alarm)));
        }
        say(QStringLiteral("prossimo allarme: %1")
                .arg(found.nextAlarm ? storageTextFromDaySerial(*found.nextAlarm) : QStringLiteral("nessuno")));
        say(QStringLiteral("righe scartate: %1").arg(found.badRows.size()));
        for (const QString& bad : found.badRows) {
            say(QStringLiteral("  %1").arg(bad));
        }
    } catch (const RuntimeError& error) {
        say(QStringLiteral("archivio non leggibile: %1").arg(errorText(error)));
        reasons << QStringLiteral("archivio non leggibile");
    }

    const QString display = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty() && wayland.isEmpty()) {
        say(QStringLiteral("schermo: nessuno (né DISPLAY né WAYLAND_DISPLAY)"));
        reasons << QStringLiteral("nessuno schermo");
    } else {
        say(QStringLiteral("schermo: %1")
                .arg(!wayland.isEmpty() ? QStringLiteral("WAYLAND_DISPLAY=") + wayland
                                        : QStringLiteral("DISPLAY=") + display));
    }

    const QString program = popupProgram(options.popupPath);
    const QString found = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QString version = found.isEmpty() ? QString() : popupVersion(found);
    if (version.isEmpty()) {
        say(QStringLiteral("finestra: %1 non si avvia").arg(program));
        reasons << QStringLiteral("nessun programma della finestra");
    } else {
        say(QStringLiteral("finestra: %1 (%2)").arg(found, version));
    }

    const QString locks = lockFolderFor(options.settingsPath);
    const std::optional<QString> problem = privateFolderProblem(locks, false);
    say(QStringLiteral("cartella dei blocchi: %1 (%2)")
            .arg(locks, !problem                    ? QStringLiteral("privata")
                        : !QFileInfo::exists(locks) ? QStringLiteral("non ancora creata")
                                                    : *problem));

    if (reasons.isEmpty()) {
        say(QStringLiteral("esito: le finestre possono comparire"));
        return 0;
    }
    say(QStringLiteral("esito: le finestre non possono comparire: %1").arg(reasons.join(QStringLiteral("; "))));
    return 2;
}

} // namespace rp::agenda
