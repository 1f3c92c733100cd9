#pragma once

#include <optional>
#include <string>

namespace rp {

// "--help" or "--version" as the one and only argument prints the usage or the version on standard output and
// gives the exit status. Any other command line is a launch request: nothing is printed and there is no status.
std::optional<int> answerStandardOption(int argc, const char* const* argv);

// Prints the text on standard output and gives the exit status: 0, or 1 with a message naming `program` when the
// text did not reach its reader.
int printStandardAnswer(const char* program, const std::string& text);

} // namespace rp
