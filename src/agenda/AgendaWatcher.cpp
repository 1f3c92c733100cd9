#include "agenda/AgendaWatcher.h"

#include "agenda/PopupLauncher.h"
#include "agenda/StoreLook.h"
#include "agenda/WindowPlan.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <QDateTime>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/timerfd.h>
#include <unistd.h>

namespace rp::agenda {

double nowDaySerial()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return daySerialFromCivil({d.year(), static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()), t.hour(),
                               t.minute(), t.second()})
        .value_or(0);
}

void logLine(const QString& text)
{
    std::fprintf(stderr, "reminder-agenda: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

AgendaWatcher::AgendaWatcher(AgendaOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_popup(popupProgram(m_options.popupPath)),
      m_locks(m_options.settingsPath)
{
}

AgendaWatcher::~AgendaWatcher()
{
    if (m_timerFd >= 0) {
        close(m_timerFd);
    }
}

bool AgendaWatcher::start()
{
    // CLOCK_BOOTTIME runs on while the machine sleeps; a periodic timer on it whose expiry passed during suspend
    // fires on waking. A QTimer counts on the monotonic clock, which stops in suspend, and would come late by the
    // whole sleep.
    m_timerFd = timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (m_timerFd < 0) {
        logLine(QStringLiteral("timer non disponibile: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    itimerspec spec{};
    spec.it_interval.tv_sec = m_options.intervalSeconds;
    spec.it_value.tv_sec = m_options.intervalSeconds;
    timerfd_settime(m_timerFd, 0, &spec, nullptr);
    m_notifier = new QSocketNotifier(m_timerFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &AgendaWatcher::onTimer);
    look();
    return true;
}

void AgendaWatcher::onTimer()
{
    quint64 expirations = 0;
    while (read(m_timerFd, &expirations, sizeof expirations) > 0) {
    }
    look();
}

void AgendaWatcher::look()
{
    reapEndedPopups();
    const double now = nowDaySerial();
    StoreLook found;
    try {
        found = lookForDueReminders(m_options.settingsPath, now);
    } catch (const RuntimeError& error) {
        const QString text = error.number() != 0
                                 ? QString::number(error.number()) + QLatin1Char('-') + error.description()
                                 : error.description();
        logLine(
            QStringLiteral("archivio non leggibile, riprovo tra %1 s: %2").arg(m_options.intervalSeconds).arg(text));
        return;
    }
    for (const QString& bad : found.badRows) {
        if (!m_loggedBadRows.contains(bad)) {
            m_loggedBadRows.insert(bad);
            logLine(QStringLiteral("promemoria ignorato, %1").arg(bad));
        }
    }

    const std::map<QString, WindowTrace> traces = m_locks.survey(now);
    std::set<QString> dueKeys;
    for (const DueReminder& reminder : found.due) {
        dueKeys.insert(reminder.keyText());
    }
    m_locks.forgetAllBut(dueKeys);

    const double repeatDays = m_options.repeatSeconds / 86400.0;
    for (const WindowStart& start : planWindows(found.due, traces, now, repeatDays, m_options.maxWindows)) {
        const QString line = launchLine(m_options.settingsPath, start.slot, start.reminder);
        QString error;
        const int fd = m_locks.lockForWindow(start.reminder.keyText(), start.slot, error);
        if (fd < 0) {
            logLine(QStringLiteral("finestra non avviata per %1: %2").arg(line, error));
            continue;
        }
        if (startPopup(m_popup, line, error)) {
            logLine(QStringLiteral("finestra avviata nel posto %1: %2").arg(start.slot).arg(line));
        } else {
            m_locks.markEnded(fd);
            logLine(QStringLiteral("finestra non avviata per %1: %2 (%3)").arg(line, m_popup, error));
        }
        close(fd);
    }
}

} // namespace rp::agenda
