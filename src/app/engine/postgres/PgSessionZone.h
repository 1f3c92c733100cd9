#pragma once

#include <QByteArray>

namespace rp::engine {

// The PC's time zone as the server names it, found as the C library finds the zone it computes local time in:
// TZ when set (":Europe/Rome", "Europe/Rome", a path into the zone database; empty is UTC), else the zone
// /etc/localtime links to, else the name in /etc/timezone. Empty when the zone has no name the server would know
// (a copied /etc/localtime and no /etc/timezone).
QByteArray pcTimeZoneName(const char* tzVariable, const QByteArray& localtimeTarget, const QByteArray& timezoneFile);

// Every connection of the process works in the PC's own zone from its first moment: libpq sends PGTZ as the
// session's TimeZone in the startup packet, a startup parameter PgBouncer keeps for the client in transaction
// pooling too (a SET would last only until the pooler hands the backend on). Called once in the process, before
// any thread that could connect is started: the environment is not for writing while other threads read it.
void useThePcsTimeZoneOnTheServer();

} // namespace rp::engine
