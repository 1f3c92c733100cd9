#include "platform/MachineLoad.h"

#include <QFile>
#include <QList>
#include <algorithm>
#include <thread>

namespace rp {

bool busierThanItsProcessors(const QByteArray& loadAverage, unsigned processors)
{
    const QList<QByteArray> fields = loadAverage.simplified().split(' ');
    if (fields.size() < 4 || !fields[3].contains('/')) {
        return false;
    }
    bool isNumber = false;
    const unsigned ready = fields[3].split('/').constFirst().toUInt(&isNumber);
    return isNumber && ready > 2 * std::max(1U, processors);
}

bool machineBusierThanItsProcessors()
{
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    if (!loadAverage.open(QIODevice::ReadOnly)) {
        return false;
    }
    return busierThanItsProcessors(loadAverage.readAll(), std::thread::hardware_concurrency());
}

} // namespace rp
