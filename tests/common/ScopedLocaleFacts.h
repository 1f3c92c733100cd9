#pragma once

#include "common/LocaleFacts.h"

namespace rp::test {

// Pins the locale facts for one test and gives back the previous ones afterwards.
class ScopedLocaleFacts
{
public:
    explicit ScopedLocaleFacts(const LocaleFacts& facts) : m_previous(localeFacts()) { setLocaleFacts(facts); }
    ~ScopedLocaleFacts() { setLocaleFacts(m_previous); }
    ScopedLocaleFacts(const ScopedLocaleFacts&) = delete;
    ScopedLocaleFacts& operator=(const ScopedLocaleFacts&) = delete;

private:
    LocaleFacts m_previous;
};

inline LocaleFacts pointLocale()
{
    return LocaleFacts{u'.', u',', u'/', u':'};
}

// Italian conventions: decimal comma, dot grouping.
inline LocaleFacts commaLocale()
{
    return LocaleFacts{u',', u'.', u'/', u':'};
}

} // namespace rp::test
