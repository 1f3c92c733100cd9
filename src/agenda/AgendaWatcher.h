#pragma once

#include "agenda/AgendaOptions.h"
#include "agenda/PopupEndLog.h"
#include "agenda/StoreFailureLog.h"
#include "agenda/WindowLocks.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <map>
#include <optional>
#include <sys/types.h>

class QSocketNotifier;

namespace rp::agenda {

class WorkFileWatch;

// Starts a pop-up for each due reminder that has no window, within the limit of open windows. It sleeps between
// looks and looks again when something can have changed:
// - at the next alarm the store holds, or the next repeat of a window closed without an action, on the wall
//   clock, re-armed when the clock is set or the machine wakes;
// - when the work database of the files changes (a burst of writes makes one look);
// - when a window it started ends, freeing its slot;
// - every interval, on a clock that runs on during suspend: the only way for a server's store, for a network
//   file system, and for windows an earlier watcher started.
class AgendaWatcher : public QObject
{
    Q_OBJECT
public:
    explicit AgendaWatcher(AgendaOptions options, QObject* parent = nullptr);
    ~AgendaWatcher() override;

    // Looks at once, then as above. False (after the log line) when a timer cannot be had.
    bool start();

    // One look: reads what is due, starts the windows it may, arms the alarm. Never throws.
    void look();

private:
    void onIntervalTimer();
    void onAlarmTimer();
    void lookSoon();
    void watchWorkFile(const QString& file);
    void armAlarm(std::optional<double> daySerial);
    void lookWhenEnded(pid_t pid);
    void reapPopups();
    void addOwnWindows(std::map<QString, WindowTrace>& traces);
    void tellLockProblem(const std::optional<QString>& problem);

    // A pop-up this watcher started and has not yet seen end.
    struct Popup
    {
        QString key;
        QString launchLine;
        int slot = 0;
        int mendedLock = -1; // the lock this watcher holds for it after its file was lost
    };

    AgendaOptions m_options;
    QString m_popup;
    WindowLocks m_locks;
    int m_intervalFd = -1;
    int m_alarmFd = -1;
    WorkFileWatch* m_fileWatch = nullptr;
    QTimer m_lookSoon;
    QSet<QString> m_loggedBadRows;
    StoreFailureLog m_failureLog;
    std::optional<QString> m_watchProblem;
    std::optional<QString> m_lockProblem;
    // Known whatever becomes of the lock folder: no second window while one of these is open.
    std::map<pid_t, Popup> m_popups;
    std::map<QString, double> m_endedHere; // reminder key: when its last pop-up of this run ended (day serial)
    PopupEndLog m_popupEndLog;
};

// The present moment as a day serial, local time.
double nowDaySerial();

} // namespace rp::agenda
