#include "agenda/PopupEndLog.h"

namespace rp::agenda {

std::optional<QString> PopupEndLog::failed(const QString& key, const QString& launchLine, const QString& how,
                                           qint64 seconds)
{
    const auto found = m_told.find(key);
    if (found == m_told.end() || found->second.how != how) {
        m_told[key] = {how, seconds, 0};
        return QStringLiteral("finestra %1: %2").arg(how, launchLine);
    }
    Told& told = found->second;
    ++told.since;
    if (seconds - told.loggedAt < RepeatSeconds) {
        return std::nullopt;
    }
    const int times = told.since;
    told.loggedAt = seconds;
    told.since = 0;
    return QStringLiteral("finestra %1 ancora %2 volte nell'ultima ora: %3").arg(how).arg(times).arg(launchLine);
}

void PopupEndLog::forgetAllBut(const std::set<QString>& dueKeys)
{
    for (auto it = m_told.begin(); it != m_told.end();) {
        it = dueKeys.count(it->first) != 0 ? std::next(it) : m_told.erase(it);
    }
}

} // namespace rp::agenda
