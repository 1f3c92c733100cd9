#pragma once

namespace rp {

class Desktop;
class RuntimeError;

// The one message with which an error that no handler catches ends the program.
void reportUnhandledError(Desktop& desktop, const RuntimeError& error);

constexpr int UnhandledErrorExitStatus = 1;

} // namespace rp
