#include "agenda/AgendaWatcher.h"

#include "agenda/AgendaLog.h"
#include "agenda/PopupLauncher.h"
#include "agenda/StoreLook.h"
#include "agenda/WindowPlan.h"
#include "agenda/WorkFileWatch.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <QDateTime>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rp::agenda {

namespace {

// A burst of writes (a transaction's journal, its pages, a checkpoint) makes one look, well within a second.
constexpr int CoalesceMilliseconds = 200;

qint64 secondsSinceBoot()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec;
}

// Reads a timer's expirations; false when the wall clock was set (or the machine woke) under a timer armed with
// TFD_TIMER_CANCEL_ON_SET.
bool drainTimer(int fd)
{
    quint64 expirations = 0;
    ssize_t n = 0;
    while ((n = read(fd, &expirations, sizeof expirations)) > 0) {
    }
    return !(n < 0 && errno == ECANCELED);
}

} // namespace

double nowDaySerial()
{
    return daySerialFromLocal(QDateTime::currentDateTime());
}

AgendaWatcher::AgendaWatcher(AgendaOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_popup(popupProgram(m_options.popupPath)),
      m_locks(m_options.settingsPath), m_fileWatch(new WorkFileWatch(this))
{
    m_lookSoon.setSingleShot(true);
    m_lookSoon.setInterval(CoalesceMilliseconds);
    connect(&m_lookSoon, &QTimer::timeout, this, &AgendaWatcher::look);
    connect(m_fileWatch, &WorkFileWatch::changed, this, &AgendaWatcher::lookSoon);
}

AgendaWatcher::~AgendaWatcher()
{
    for (const int fd : {m_intervalFd, m_alarmFd}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool AgendaWatcher::start()
{
    // CLOCK_BOOTTIME runs on while the machine sleeps; a periodic timer on it whose expiry passed during suspend
    // fires on waking. A QTimer counts on the monotonic clock, which stops in suspend, and would come late by the
    // whole sleep. The alarm is a moment of the wall clock, so its timer runs on that clock.
    m_intervalFd = timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    m_alarmFd = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (m_intervalFd < 0 || m_alarmFd < 0) {
        logLine(LogPriority::Error,
                QStringLiteral("timer non disponibile: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        // A session that did not hand its display to the user manager: every window would fail to come up.
        logLine(LogPriority::Warning, QStringLiteral("né DISPLAY né WAYLAND_DISPLAY sono impostati: le finestre non "
                                                     "potranno comparire (l'archivio è guardato lo stesso)"));
    }
    itimerspec spec{};
    spec.it_interval.tv_sec = m_options.intervalSeconds;
    spec.it_value.tv_sec = m_options.intervalSeconds;
    timerfd_settime(m_intervalFd, 0, &spec, nullptr);
    auto* interval = new QSocketNotifier(m_intervalFd, QSocketNotifier::Read, this);
    connect(interval, &QSocketNotifier::activated, this, &AgendaWatcher::onIntervalTimer);
    auto* alarm = new QSocketNotifier(m_alarmFd, QSocketNotifier::Read, this);
    connect(alarm, &QSocketNotifier::activated, this, &AgendaWatcher::onAlarmTimer);
    look();
    return true;
}

void AgendaWatcher::onIntervalTimer()
{
    drainTimer(m_intervalFd);
    look();
}

void AgendaWatcher::onAlarmTimer()
{
    // Fired, or cancelled by a change of the clock: either way the look arms it again.
    drainTimer(m_alarmFd);
    look();
}

void AgendaWatcher::lookSoon()
{
    if (!m_lookSoon.isActive()) {
        m_lookSoon.start();
    }
}

void AgendaWatcher::armAlarm(std::optional<double> daySerial)
{
    itimerspec spec{};
    if (daySerial) {
        // An hour that the clock goes through twice when it goes back can make the moment one already passed:
        // the look is then made a second from now, not at once and again and again.
        spec.it_value.tv_sec =
            std::max(localFromDaySerial(*daySerial).toSecsSinceEpoch(), QDateTime::currentSecsSinceEpoch() + 1);
    }
    // A zero moment disarms it: nothing is due later.
    if (timerfd_settime(m_alarmFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) != 0) {
        logLine(LogPriority::Error,
                QStringLiteral("sveglia non impostata: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
}

void AgendaWatcher::watchWorkFile(const QString& file)
{
    const QString problem = m_fileWatch->watch(file);
    if (problem.isEmpty()) {
        m_watchProblem.reset();
    } else if (m_watchProblem != problem) {
        m_watchProblem = problem;
        logLine(LogPriority::Warning, QStringLiteral("modifiche dell'archivio non notificate (%1): controllo ogni %2 s")
                                          .arg(problem)
                                          .arg(m_options.intervalSeconds));
    }
}

void AgendaWatcher::lookWhenEnded(pid_t pid)
{
    // Through syscall(): Debian 12's <sys/pidfd.h> declares pidfd_open without C linkage.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        return; // an older kernel: the end is seen at the next look
    }
    auto* ended = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(ended, &QSocketNotifier::activated, this, [this, ended, fd] {
        ended->setEnabled(false);
        ended->deleteLater();
        close(fd);
        reapPopups();
        lookSoon();
    });
}

void AgendaWatcher::reapPopups()
{
    // Each by its own pid: a wait for any child would throw away the status of one whose end is still to be told.
    for (auto it = m_popups.begin(); it != m_popups.end();) {
        int status = 0;
        const pid_t reaped = waitpid(it->first, &status, WNOHANG);
        if (reaped == 0 || (reaped < 0 && errno == EINTR)) {
            ++it;
            continue;
        }
        const Popup& popup = it->second;
        if (popup.mendedLock >= 0) {
            close(popup.mendedLock);
        }
        m_endedHere[popup.key] = nowDaySerial();
        const std::optional<QString> how = reaped > 0 ? abnormalEnd(status) : std::nullopt;
        if (how) {
            m_locks.markFailed(popup.key);
            if (const std::optional<QString> line =
                    m_popupEndLog.failed(popup.key, popup.launchLine, *how, secondsSinceBoot())) {
                logLine(LogPriority::Error, *line);
            }
        } else {
            m_popupEndLog.endedNormally(popup.key);
        }
        it = m_popups.erase(it);
    }
}

void AgendaWatcher::addOwnWindows(std::map<QString, WindowTrace>& traces)
{
    for (auto& [pid, popup] : m_popups) {
        // Its lock file gone with the folder: the watcher holds a new one for it, so that another watcher of the
        // same settings file does not take the reminder for one without a window.
        if (popup.mendedLock < 0 && traces.count(popup.key) == 0) {
            const WindowLock lock = m_locks.lockForWindow(popup.key, popup.slot);
            popup.mendedLock = lock.fd;
            if (lock.fd < 0 && !lock.alreadyOpen) {
                tellLockProblem(lock.problem);
            }
        }
        traces[popup.key].openSlot = popup.slot;
    }
    for (const auto& [key, ended] : m_endedHere) {
        WindowTrace& trace = traces[key];
        if (!trace.openSlot) {
            trace.endedAt = std::max(trace.endedAt.value_or(ended), ended);
        }
    }
}

void AgendaWatcher::tellLockProblem(const std::optional<QString>& problem)
{
    if (problem && problem != m_lockProblem) {
        logLine(LogPriority::Error,
                QStringLiteral("cartella dei blocchi non usabile, %1: le finestre restano una per promemoria solo "
                               "per questo programma")
                    .arg(*problem));
    }
    m_lockProblem = problem;
}

void AgendaWatcher::look()
{
    m_lookSoon.stop();
    reapPopups();
    const double now = nowDaySerial();
    StoreLook found;
    try {
        const WorkDatabase work = workDatabaseOf(m_options.settingsPath);
        // Watched before it is read: a store that cannot be read now is seen when it is mended.
        watchWorkFile(work.file());
        found = lookForDueReminders(work, now);
    } catch (const RuntimeError& error) {
        const QString text = error.number() != 0
                                 ? QString::number(error.number()) + QLatin1Char('-') + error.description()
                                 : error.description();
        if (const std::optional<QString> line = m_failureLog.failed(text, secondsSinceBoot())) {
            logLine(LogPriority::Error, *line);
        }
        armAlarm(std::nullopt);
        return;
    }
    if (const std::optional<QString> line = m_failureLog.succeeded()) {
        logLine(LogPriority::Info, *line);
    }
    // Each bad row is told once while it stays bad; mended, it is a reminder again at this very look.
    QSet<QString> badNow;
    for (const QString& bad : found.badRows) {
        badNow.insert(bad);
        if (!m_loggedBadRows.contains(bad)) {
            logLine(LogPriority::Warning, QStringLiteral("promemoria ignorato, %1").arg(bad));
        }
    }
    m_loggedBadRows = badNow;

    std::optional<QString> folderProblem;
    std::map<QString, WindowTrace> traces = m_locks.survey(now, folderProblem);
    if (folderProblem) {
        tellLockProblem(folderProblem);
    }
    addOwnWindows(traces);
    std::set<QString> dueKeys;
    for (const DueReminder& reminder : found.due) {
        dueKeys.insert(reminder.keyText());
    }
    m_locks.forgetAllBut(dueKeys);
    m_popupEndLog.forgetAllBut(dueKeys);
    std::erase_if(m_endedHere, [&](const auto& ended) { return dueKeys.count(ended.first) == 0; });

    const double repeatDays = m_options.repeatSeconds / 86400.0;
    for (const WindowStart& start : planWindows(found.due, traces, now, repeatDays, m_options.maxWindows)) {
        const QString key = start.reminder.keyText();
        const QString line = launchLine(m_options.settingsPath, start.slot, start.reminder);
        const WindowLock lock = m_locks.lockForWindow(key, start.slot);
        if (lock.alreadyOpen) {
            continue; // its window is open, started by another watcher of the same settings file
        }
        // Without a lock the window is started all the same: this watcher knows its own windows.
        tellLockProblem(lock.fd < 0 ? std::optional<QString>(lock.problem) : std::nullopt);
        QString error;
        if (const std::optional<pid_t> pid = startPopup(m_popup, line, lock.fd, error)) {
            logLine(LogPriority::Info, QStringLiteral("finestra avviata nel posto %1: %2").arg(start.slot).arg(line));
            m_popups[*pid] = {key, line, start.slot, -1};
            lookWhenEnded(*pid);
        } else {
            if (lock.fd >= 0) {
                m_locks.markEnded(lock.fd);
            }
            m_endedHere[key] = now;
            const QString how = QStringLiteral("non avviata (%1: %2)").arg(m_popup, error);
            if (const std::optional<QString> told = m_popupEndLog.failed(key, line, how, secondsSinceBoot())) {
                logLine(LogPriority::Error, *told);
            }
        }
        if (lock.fd >= 0) {
            close(lock.fd);
        }
    }

    std::optional<double> wake = found.nextAlarm;
    if (const std::optional<double> repeat = nextRepeat(found.due, traces, now, repeatDays)) {
        wake = wake ? std::min(*wake, *repeat) : *repeat;
    }
    armAlarm(wake);
}

} // namespace rp::agenda
