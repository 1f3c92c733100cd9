#pragma once

#include "agenda/AgendaOptions.h"
#include "agenda/WindowLocks.h"

#include <QObject>
#include <QSet>
#include <QString>

class QSocketNotifier;

namespace rp::agenda {

// Looks at the store every interval against the wall clock and starts a pop-up for each due reminder that has no
// window, within the limit of open windows. The interval is counted on a clock that runs on during suspend, so a
// machine that slept through an alarm looks as soon as it wakes.
class AgendaWatcher : public QObject
{
    Q_OBJECT
public:
    explicit AgendaWatcher(AgendaOptions options, QObject* parent = nullptr);
    ~AgendaWatcher() override;

    // Looks at once, then every interval. False (after the log line) when the timer cannot be had.
    bool start();

    // One look: reads what is due, starts the windows it may. Never throws.
    void look();

private:
    void onTimer();

    AgendaOptions m_options;
    QString m_popup;
    WindowLocks m_locks;
    int m_timerFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QSet<QString> m_loggedBadRows;
    QString m_lastStoreFailure;
};

// The present moment as a day serial, local time.
double nowDaySerial();

// One line on standard error, prefixed with the program's name.
void logLine(const QString& text);

} // namespace rp::agenda
