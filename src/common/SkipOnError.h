#pragma once

#include "common/RuntimeError.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

namespace rp {

// One line on standard error for a step abandoned on the run-time error.
inline void reportSkippedStep(std::string_view diagnostic, const RuntimeError& error)
{
    std::fprintf(stderr, "reminder-popup: %.*s non eseguito: %d - %s\n", static_cast<int>(diagnostic.size()),
                 diagnostic.data(), error.number(), error.description().toLocal8Bit().constData());
}

// The "skip" error regime: the step is abandoned when it raises the run-time error and the next step runs.
// With a diagnostic name, the abandoned step is reported on standard error for whoever supervises the
// process. Returns the error that abandoned the step, none when it completed, for callers that tell the
// operator afterwards.
template <typename Step>
std::optional<RuntimeError> errorOfSkippedStep(Step&& step, std::string_view diagnostic = {})
{
    try {
        step();
        return std::nullopt;
    } catch (const RuntimeError& error) {
        if (!diagnostic.empty()) {
            reportSkippedStep(diagnostic, error);
        }
        return error;
    }
}

// The same regime where nobody is told: returns whether the step completed.
template <typename Step>
bool runSkippingError(Step&& step, std::string_view diagnostic = {})
{
    return !errorOfSkippedStep(std::forward<Step>(step), diagnostic);
}

} // namespace rp
