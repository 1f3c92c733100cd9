#pragma once

#include "common/LocaleFacts.h"
#include "common/Value.h"

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rp::fuzz {

// Aborts with a message: libFuzzer records an abort as a crash, so a broken invariant becomes a finding.
#define RP_FUZZ_CHECK(condition)                                                                                       \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition);                   \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// Regional conventions found on real desktops, so that every locale-dependent branch is reached:
// point and comma decimals, "/", "." and "-" dates, and "." as the time separator (Finnish).
inline const std::array<LocaleFacts, 5>& fuzzLocales()
{
    static const std::array<LocaleFacts, 5> locales = {
        LocaleFacts{u'.', u',', u'/', u':'}, LocaleFacts{u',', u'.', u'/', u':'}, LocaleFacts{u',', u'.', u'.', u':'},
        LocaleFacts{u',', u' ', u'.', u'.'}, LocaleFacts{u',', u'.', u'-', u':'},
    };
    return locales;
}

// Reads the fuzzer's bytes front to back: small choices first, then whatever is left as text.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t byte()
    {
        if (m_pos >= m_size) {
            return 0;
        }
        return m_data[m_pos++];
    }

    template <typename T>
    T raw()
    {
        std::array<unsigned char, sizeof(T)> bytes{};
        for (auto& b : bytes) {
            b = byte();
        }
        T value;
        std::memcpy(&value, bytes.data(), sizeof(T));
        return value;
    }

    // Picks one of the locales above for the rest of this input.
    void chooseLocale() { setLocaleFacts(fuzzLocales()[byte() % fuzzLocales().size()]); }

    // The rest as text: mostly UTF-8 as a launcher or a table would hand it over, sometimes raw UTF-16 so that
    // lone surrogates and NUL characters reach the code too.
    QString restAsText()
    {
        const bool utf16 = byte() % 4 == 0;
        const auto* begin = reinterpret_cast<const char*>(m_data + m_pos);
        const auto count = static_cast<qsizetype>(m_size - m_pos);
        m_pos = m_size;
        if (utf16) {
            QString text(count / 2, Qt::Uninitialized);
            std::memcpy(text.data(), begin, static_cast<std::size_t>(count / 2) * 2);
            return text;
        }
        return QString::fromUtf8(begin, count);
    }

    // A loosely typed value of any kind; numbers take any bit pattern, NaN and infinities included.
    Value value()
    {
        switch (byte() % 5) {
        case 0:
            return Value();
        case 1:
            return Value::integer(raw<qint64>());
        case 2:
            return Value::real(raw<double>());
        case 3:
            return Value::dateTime(raw<double>());
        default:
            return Value::text(restAsText());
        }
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace rp::fuzz
