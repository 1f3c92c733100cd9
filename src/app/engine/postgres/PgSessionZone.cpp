#include "app/engine/postgres/PgSessionZone.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace rp::engine {

namespace {

// "/usr/share/zoneinfo/Europe/Rome" (or "../usr/share/zoneinfo/Europe/Rome") names "Europe/Rome".
QByteArray nameInZoneDatabase(const QByteArray& path)
{
    static const QByteArray Folder = "zoneinfo/";
    const qsizetype at = path.lastIndexOf(Folder);
    return at < 0 ? QByteArray() : path.mid(at + Folder.size());
}

} // namespace

QByteArray pcTimeZoneName(const char* tzVariable, const QByteArray& localtimeTarget, const QByteArray& timezoneFile)
{
    if (tzVariable != nullptr) {
        QByteArray tz(tzVariable);
        if (tz.startsWith(':')) {
            tz.remove(0, 1);
        }
        if (tz.isEmpty()) {
            return "UTC";
        }
        // A zone name or a POSIX rule ("CET-1CEST,M3.5.0,M10.5.0/3") reads the same on the server.
        return tz.startsWith('/') ? nameInZoneDatabase(tz) : tz;
    }
    if (QByteArray name = nameInZoneDatabase(localtimeTarget); !name.isEmpty()) {
        return name;
    }
    return timezoneFile.split('\n').value(0).trimmed();
}

void useThePcsTimeZoneOnTheServer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QByteArray link = QFile::encodeName(QFileInfo(QStringLiteral("/etc/localtime")).symLinkTarget());
        QByteArray fileName;
        if (link.isEmpty()) {
            QFile file(QStringLiteral("/etc/timezone"));
            if (file.open(QIODevice::ReadOnly)) {
                fileName = file.readLine(256);
            }
        }
        const QByteArray zone = pcTimeZoneName(std::getenv("TZ"), link, fileName);
        if (zone.isEmpty()) {
            std::fprintf(stderr, "reminder-popup: il fuso orario del PC non ha un nome: il server usa il proprio\n");
            return;
        }
        // Set over any PGTZ of the user's: the program's own date-times are in the zone the C library uses.
        ::setenv("PGTZ", zone.constData(), 1);
    });
}

} // namespace rp::engine
