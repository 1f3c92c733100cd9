#pragma once

#include "common/RuntimeError.h"

#include <cstdio>
#include <string_view>

namespace rp {

// The "skip" error regime: the step is abandoned when it raises the run-time error and the next step runs.
// With a diagnostic name, the abandoned step is reported on standard error for whoever supervises the
// process; the operator is shown nothing. Returns whether the step completed.
template <typename Step>
bool runSkippingError(Step&& step, std::string_view diagnostic = {})
{
    try {
        step();
        return true;
    } catch (const RuntimeError& error) {
        if (!diagnostic.empty()) {
            std::fprintf(stderr, "reminder-popup: %.*s non eseguito: %d - %s\n", static_cast<int>(diagnostic.size()),
                         diagnostic.data(), error.number(), error.description().toLocal8Bit().constData());
        }
        return false;
    }
}

} // namespace rp
