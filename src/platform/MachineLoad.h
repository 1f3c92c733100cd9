#pragma once

namespace rp {

// Whether more tasks are ready to run right now than twice the processors can run: a machine where many programs
// (many pop-ups at once, a build) already share every processor.
bool machineBusierThanItsProcessors();

} // namespace rp
