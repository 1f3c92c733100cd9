#include "FuzzInput.h"
#include "common/Blanks.h"
#include "common/RuntimeError.h"
#include "reminder/ClientAndActionLookups.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rp::fuzz::FuzzInput input(data, size);
    input.chooseLocale();
    const rp::Value field = input.value();

    qint32 colour = 0;
    try {
        colour = rp::ActionColourFromField(field);
    } catch (const rp::RuntimeError&) {
        // A stored colour that is no number or too large: the load reports it.
        RP_FUZZ_CHECK(!field.isNull() && !rp::isBlankText(field.textForm()));
        return 0;
    }
    // Without a colour the reminder is still shown, in black.
    if (field.isNull() || rp::isBlankText(field.textForm())) {
        RP_FUZZ_CHECK(colour == 0);
    }
    return 0;
}
