#pragma once

#include <QByteArray>

namespace rp {

// Whether more tasks are ready to run at this moment than twice the processors can run, from the text of
// /proc/loadavg (its fourth field, "ready/total"): a machine where many programs already share every processor,
// as when a morning's backlog of pop-ups starts together. An unreadable text is a machine that is not busy.
bool busierThanItsProcessors(const QByteArray& loadAverage, unsigned processors);

// The same for this machine now.
bool machineBusierThanItsProcessors();

} // namespace rp
