#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

namespace rp::engine {

// One connection attempt: libpq's keywords and values, and how long it may take at most (nothing: the whole of
// what is left of the bound).
struct PgConnectAttempt
{
    std::vector<std::pair<QByteArray, QByteArray>> options;
    bool expandDbname = false;
    std::optional<std::chrono::milliseconds> longest;
};

// How to reach the server a settings string names. libpq walks a list of hosts itself, but in a non-blocking
// connection it leaves the timing to the caller, so a host that accepts and never answers would use up the whole
// bound: a string naming several hosts becomes one attempt per host, in order, each given its share of the bound
// (or the string's own connect_timeout). Anything else, or a string libpq cannot parse (libpq then reports it),
// is one attempt with the string as it is.
std::vector<PgConnectAttempt> pgConnectPlan(const QByteArray& connectionString);

} // namespace rp::engine
