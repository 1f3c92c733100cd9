#include "FuzzInput.h"
#include "actions/NumericEntry.h"

namespace {

bool isAllowedCode(qint16 code, qint16 separator)
{
    const bool digit = code >= 48 && code <= 57;
    return code == 0 || digit || code == separator || code == 45 || code == 3 || code == 8 || code == 18 || code == 22;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rp::fuzz::FuzzInput input(data, size);
    input.chooseLocale();
    const qint16 separator = rp::localeFacts().decimalSeparator == u'.' ? 46 : 44;
    const auto typed = input.raw<qint16>();

    qint16 code = typed;
    const qint16 result = rp::FilterNumericKey(code);

    RP_FUZZ_CHECK(result == code);
    RP_FUZZ_CHECK(isAllowedCode(result, separator));
    // Digits and the minus sign always pass, either separator key types the locale's one.
    if ((typed >= 48 && typed <= 57) || typed == 45) {
        RP_FUZZ_CHECK(result == typed);
    }
    if (typed == 44 || typed == 46) {
        RP_FUZZ_CHECK(result == separator);
    }
    return 0;
}
