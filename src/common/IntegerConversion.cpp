#include "common/IntegerConversion.h"

#include "common/NumberText.h"
#include "common/RuntimeError.h"

#include <cmath>

namespace rp {

namespace {

// Halves go to the even neighbour independently of the floating-point environment's rounding mode.
// The fraction d - floor(d) of a double is always exact, so the comparison with 0.5 is too.
double roundHalfToEven(double d)
{
    const double below = std::floor(d);
    const double fraction = d - below;
    if (fraction > 0.5) {
        return below + 1;
    }
    if (fraction < 0.5) {
        return below;
    }
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

template <typename Integer>
Integer roundedInRange(double d, double low, double high)
{
    if (!std::isfinite(d)) {
        throw RuntimeError::overflow();
    }
    const double rounded = roundHalfToEven(d);
    if (rounded < low || rounded > high) {
        throw RuntimeError::overflow();
    }
    return static_cast<Integer>(rounded);
}

} // namespace

qint16 toInt16(double d)
{
    return roundedInRange<qint16>(d, -32768.0, 32767.0);
}

qint32 toInt32(double d)
{
    return roundedInRange<qint32>(d, -2147483648.0, 2147483647.0);
}

quint8 toUInt8(double d)
{
    return roundedInRange<quint8>(d, 0.0, 255.0);
}

quint32 toUInt32(double d)
{
    return roundedInRange<quint32>(d, 0.0, 4294967295.0);
}

double toDouble(const Value& v)
{
    switch (v.kind()) {
    case Value::Kind::Integer:
    case Value::Kind::Real:
    case Value::Kind::DateTime:
        return v.asReal();
    case Value::Kind::Text:
        if (const std::optional<double> number = parseNumberText(v.asText())) {
            return *number;
        }
        break;
    case Value::Kind::Null:
        break;
    }
    throw RuntimeError::typeMismatch();
}

qint16 toInt16(const Value& v)
{
    return toInt16(toDouble(v));
}

qint32 toInt32(const Value& v)
{
    return toInt32(toDouble(v));
}

} // namespace rp
