#include "platform/MachineLoad.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <thread>

namespace rp {

bool machineBusierThanItsProcessors()
{
    // The fourth field of /proc/loadavg is "ready/total" at this moment, this process included.
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    if (!loadAverage.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QList<QByteArray> fields = loadAverage.readAll().split(' ');
    if (fields.size() < 4) {
        return false;
    }
    bool isNumber = false;
    const unsigned ready = fields[3].split('/').value(0).toUInt(&isNumber);
    const unsigned processors = std::max(1U, std::thread::hardware_concurrency());
    return isNumber && ready > 2 * processors;
}

} // namespace rp
