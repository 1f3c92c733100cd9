#include "app/engine/postgres/PgConnectPlan.h"

#include "app/engine/postgres/LibPq.h"

#include <QList>
#include <map>

namespace rp::engine {

namespace {

// libpq's own floor for connect_timeout: anything shorter is taken as two seconds.
constexpr int ShortestConnectTimeoutSeconds = 2;

std::vector<PgConnectAttempt> asItIs(const QByteArray& connectionString)
{
    PgConnectAttempt attempt;
    attempt.options.emplace_back("dbname", connectionString);
    attempt.expandDbname = true;
    return {attempt};
}

// The item of a comma-separated list that goes with host `index`: a single item serves every host.
QByteArray itemFor(const QList<QByteArray>& items, qsizetype index)
{
    return items.size() == 1 ? items.front() : items[index];
}

} // namespace

std::vector<PgConnectAttempt> pgConnectPlan(const QByteArray& connectionString)
{
    char* error = nullptr;
    PQconninfoOption* parsed = libpq().PQconninfoParse(connectionString.constData(), &error);
    if (parsed == nullptr) {
        if (error != nullptr) {
            libpq().PQfreemem(error);
        }
        return asItIs(connectionString);
    }
    std::map<QByteArray, QByteArray> given;
    std::vector<QByteArray> order;
    for (const PQconninfoOption* option = parsed; option->keyword != nullptr; ++option) {
        if (option->val != nullptr) {
            given.emplace(option->keyword, option->val);
            order.emplace_back(option->keyword);
        }
    }
    libpq().PQconninfoFree(parsed);

    const QList<QByteArray> hosts = given.count("host") ? given["host"].split(',') : QList<QByteArray>();
    const QList<QByteArray> addresses = given.count("hostaddr") ? given["hostaddr"].split(',') : QList<QByteArray>();
    const QList<QByteArray> ports = given.count("port") ? given["port"].split(',') : QList<QByteArray>();
    const qsizetype count = std::max(hosts.size(), addresses.size());
    // prefer-standby takes a second pass over all the hosts when no standby answered: only libpq can do that.
    const bool listsAgree = (hosts.isEmpty() || hosts.size() == count) &&
                            (addresses.isEmpty() || addresses.size() == count) &&
                            (ports.size() <= 1 || ports.size() == count);
    if (count < 2 || !listsAgree || given["target_session_attrs"] == "prefer-standby") {
        return asItIs(connectionString);
    }
    std::optional<std::chrono::milliseconds> longest;
    if (given.count("connect_timeout")) {
        const int seconds = given["connect_timeout"].trimmed().toInt();
        if (seconds > 0) {
            longest = std::chrono::seconds(std::max(seconds, ShortestConnectTimeoutSeconds));
        }
    }
    std::vector<PgConnectAttempt> plan;
    for (qsizetype index = 0; index < count; ++index) {
        PgConnectAttempt attempt;
        attempt.longest = longest;
        for (const QByteArray& keyword : order) {
            if (keyword == "host") {
                attempt.options.emplace_back(keyword, hosts[index]);
            } else if (keyword == "hostaddr") {
                attempt.options.emplace_back(keyword, addresses[index]);
            } else if (keyword == "port") {
                attempt.options.emplace_back(keyword, itemFor(ports, index));
            } else {
                attempt.options.emplace_back(keyword, given[keyword]);
            }
        }
        plan.push_back(std::move(attempt));
    }
    return plan;
}

} // namespace rp::engine
