#include "FuzzInput.h"
#include "app/LaunchRequest.h"
#include "common/Blanks.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <cmath>

namespace {

constexpr double Today = 46000; // 9 December 2025, midnight

// The 16-bit separator positions only matter for texts longer than the fuzzer's usual inputs: a long run of
// path characters is put in front on request.
QString paddingOfChoice(std::uint8_t choice)
{
    if (choice % 8 != 0) {
        return QString();
    }
    return QString(32760 + choice / 8, u'x');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rp::fuzz::FuzzInput input(data, size);
    input.chooseLocale();
    const QString padding = paddingOfChoice(input.byte());
    const QString commandText = padding + input.restAsText();

    rp::LaunchRequest request;
    try {
        request = rp::ParseLaunchRequest(commandText, Today);
    } catch (const rp::RuntimeError&) {
        return 0; // overflow or type mismatch: the program reports it and ends, as it should
    }

    // Every field is a piece of the command text between separators.
    RP_FUZZ_CHECK(!request.SettingsPath.contains(u'|'));
    RP_FUZZ_CHECK(commandText.startsWith(request.SettingsPath));
    RP_FUZZ_CHECK(!request.ActionCode.contains(u'|'));
    RP_FUZZ_CHECK(request.ActionCode == rp::trimBlanks(request.ActionCode));
    RP_FUZZ_CHECK(commandText.contains(request.ActionCode));

    if (request.AppointmentTime != Today) {
        RP_FUZZ_CHECK(std::isfinite(request.AppointmentTime));
        const std::optional<double> again = rp::daySerialFromCivil(rp::civilFromDaySerial(request.AppointmentTime));
        RP_FUZZ_CHECK(again && std::fabs(*again - request.AppointmentTime) < 0.5 / 86400);
    }
    return 0;
}
