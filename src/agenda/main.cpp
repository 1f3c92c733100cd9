#include "agenda/AgendaCheck.h"
#include "agenda/AgendaLog.h"
#include "agenda/AgendaOptions.h"
#include "agenda/AgendaWatcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = rp::agenda::answerAgendaStandardOption(argc, argv)) {
        return *status;
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QString error;
    const std::optional<rp::agenda::AgendaOptions> options = rp::agenda::parseAgendaOptions(arguments, error);
    if (!options) {
        std::fprintf(stderr,
                     "reminder-agenda: %s\nUso: reminder-agenda [--interval SECONDI] [--repeat SECONDI] "
                     "[--max-windows N] [--popup PERCORSO] IMPOSTAZIONI | --autostart\n",
                     rp::agenda::escapedForLog(error).toLocal8Bit().constData());
        return 1;
    }
    QCoreApplication app(argc, argv);
    if (options->check) {
        return rp::agenda::checkAgenda(*options);
    }
    // Started at every log-in for every user: one who has not made the file has nothing to watch.
    if (options->autostart && !QFileInfo::exists(options->settingsPath)) {
        rp::agenda::logLine(rp::agenda::LogPriority::Info,
                            QStringLiteral("%1 non esiste: niente da guardare").arg(options->settingsPath));
        return 0;
    }
    rp::agenda::AgendaWatcher watcher(*options);
    if (!watcher.start()) {
        return 1;
    }
    return app.exec();
}
