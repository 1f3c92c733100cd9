#include "FuzzInput.h"
#include "common/DateText.h"
#include "common/DaySerial.h"

#include <cmath>

// A parsed date must be a real calendar moment: it survives the way to civil fields and back, and its own
// text form reads back as the same moment.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rp::fuzz::FuzzInput input(data, size);
    input.chooseLocale();
    const QString text = input.restAsText();

    const std::optional<double> serial = rp::parseDateText(text);
    if (!serial) {
        return 0;
    }
    RP_FUZZ_CHECK(std::isfinite(*serial));
    const rp::CivilDateTime civil = rp::civilFromDaySerial(*serial);
    const std::optional<double> again = rp::daySerialFromCivil(civil);
    RP_FUZZ_CHECK(again.has_value());
    RP_FUZZ_CHECK(std::fabs(*again - *serial) < 0.5 / 86400);

    const std::optional<double> reread = rp::parseDateText(rp::dateTimeTextForm(*serial));
    RP_FUZZ_CHECK(reread.has_value());
    RP_FUZZ_CHECK(std::fabs(*reread - *serial) < 0.5 / 86400);

    // The display patterns are built from the same civil fields; they must not fail on any parsed moment.
    RP_FUZZ_CHECK(!rp::formatDayMonthYear(*serial).isEmpty());
    RP_FUZZ_CHECK(!rp::formatDayMonthTime(*serial).isEmpty());
    return 0;
}
