#pragma once

#include <QString>
#include <QtGlobal>
#include <map>
#include <optional>
#include <set>

namespace rp::agenda {

// What the log says of pop-ups that cannot be started or end abnormally (a display out of reach, a crash): the first
// time for a reminder, a new way of ending, and the same one again at most once an hour with how many times it
// happened. A reminder whose window fails at every repeat would otherwise fill the journal.
class PopupEndLog
{
public:
    static constexpr qint64 RepeatSeconds = 3600;

    // The line to log for the pop-up of reminder `key`, started with `launchLine`, that ended as `how`, `seconds`
    // into the watcher's life; nothing to log.
    std::optional<QString> failed(const QString& key, const QString& launchLine, const QString& how, qint64 seconds);
    // A window of the reminder that ended normally: its next failure is told afresh.
    void endedNormally(const QString& key) { m_told.erase(key); }
    // Forgets the reminders no longer due.
    void forgetAllBut(const std::set<QString>& dueKeys);

private:
    struct Told
    {
        QString how;
        qint64 loggedAt = 0;
        int since = 0; // failures not logged since then
    };
    std::map<QString, Told> m_told;
};

} // namespace rp::agenda
