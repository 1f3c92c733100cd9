#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace rp::agenda {

// What the log says of a store that cannot be read, so that an operator can read it: when it starts failing,
// when the reason changes, the same reason again at most once an hour, and once more when it can be read again.
// A look every 30 s would otherwise write the same line 2,880 times a day.
class StoreFailureLog
{
public:
    static constexpr qint64 RepeatSeconds = 3600;

    // The line to log for a look that failed with `reason`, `seconds` into the watcher's life; nothing to log.
    std::optional<QString> failed(const QString& reason, qint64 seconds);
    // The line to log for a look that read the store; nothing when it was readable before too.
    std::optional<QString> succeeded();

private:
    std::optional<QString> m_reason;
    qint64 m_loggedAt = 0;
};

} // namespace rp::agenda
