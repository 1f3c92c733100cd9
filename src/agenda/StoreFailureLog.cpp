#include "agenda/StoreFailureLog.h"

namespace rp::agenda {

std::optional<QString> StoreFailureLog::failed(const QString& reason, qint64 seconds)
{
    if (m_reason == reason && seconds - m_loggedAt < RepeatSeconds) {
        return std::nullopt;
    }
    const bool stillSame = m_reason == reason;
    m_reason = reason;
    m_loggedAt = seconds;
    return (stillSame ? QStringLiteral("archivio ancora non leggibile: ")
                      : QStringLiteral("archivio non leggibile: ")) +
           reason;
}

std::optional<QString> StoreFailureLog::succeeded()
{
    if (!m_reason) {
        return std::nullopt;
    }
    m_reason.reset();
    return QStringLiteral("archivio di nuovo leggibile");
}

} // namespace rp::agenda
