#pragma once

#include <optional>

namespace rp {

// "--help" or "--version" as the one and only argument prints the usage or the version on standard output and
// gives the exit status. Any other command line is a launch request: nothing is printed and there is no status.
std::optional<int> answerStandardOption(int argc, const char* const* argv);

} // namespace rp
