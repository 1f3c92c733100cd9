#include "common/IntegerConversion.h"
#include "common/RuntimeError.h"
#include "common/ScopedLocaleFacts.h"

#include <cfenv>
#include <gtest/gtest.h>
#include <limits>

namespace rp {
namespace {

int errorNumberOf(auto&& action)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

// --- halves go to the even neighbour ---

TEST(IntegerConversionTest, HalvesRoundToEvenNeighbour)
{
    EXPECT_EQ(toInt16(2.5), 2);
    EXPECT_EQ(toInt16(3.5), 4);
    EXPECT_EQ(toInt16(-2.5), -2);
    EXPECT_EQ(toInt16(-3.5), -4);
    EXPECT_EQ(toInt16(0.5), 0);
    EXPECT_EQ(toInt16(-0.5), 0);
    EXPECT_EQ(toInt32(1000001.5), 1000002);
    EXPECT_EQ(toUInt8(254.5), 254);
}

TEST(IntegerConversionTest, NonHalvesRoundToNearest)
{
    EXPECT_EQ(toInt16(2.4999), 2);
    EXPECT_EQ(toInt16(2.5001), 3);
    EXPECT_EQ(toInt16(-2.6), -3);
    EXPECT_EQ(toInt32(0.49999999999999994), 0);
}

TEST(IntegerConversionTest, RoundingIgnoresTheFloatingPointRoundingMode)
{
    const int previous = std::fegetround();
    std::fesetround(FE_UPWARD);
    const qint16 rounded = toInt16(2.5);
    std::fesetround(previous);
    EXPECT_EQ(rounded, 2);
}

// --- range limits ---

TEST(IntegerConversionTest, SixteenBitEdges)
{
    EXPECT_EQ(toInt16(32767.0), 32767);
    EXPECT_EQ(toInt16(32766.5), 32766);
    EXPECT_EQ(toInt16(-32768.5), -32768);
    EXPECT_EQ(toInt16(-32768.0), -32768);
    EXPECT_EQ(errorNumberOf([] { toInt16(32767.5); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { toInt16(32768.0); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { toInt16(-32769.0); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { toInt16(-32769.5); }), RuntimeError::OverflowNumber);
}

TEST(IntegerConversionTest, ThirtyTwoBitEdges)
{
    EXPECT_EQ(toInt32(2147483647.0), 2147483647);
    EXPECT_EQ(toInt32(2147483646.5), 2147483646);
    EXPECT_EQ(toInt32(-2147483648.5), std::numeric_limits<qint32>::min());
    EXPECT_EQ(errorNumberOf([] { toInt32(2147483647.5); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { toInt32(-2147483649.0); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { toInt32(1e300); }), RuntimeError::OverflowNumber);
}

TEST(IntegerConversionTest, UnsignedByteEdges)
{
    EXPECT_EQ(toUInt8(255.0), 255);
    EXPECT_EQ(toUInt8(-0.5), 0);
    EXPECT_EQ(errorNumberOf([] { toUInt8(255.5); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { toUInt8(-1.0); }), RuntimeError::OverflowNumber);
}

TEST(IntegerConversionTest, NotANumberAndInfinityOverflow)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(errorNumberOf([&] { toInt16(nan); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([&] { toInt32(inf); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([&] { toInt32(-inf); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([&] { toUInt8(nan); }), RuntimeError::OverflowNumber);
}

// --- loosely typed values ---

TEST(IntegerConversionTest, ValuesOfEveryKind)
{
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(toDouble(Value::integer(-7)), -7.0);
    EXPECT_EQ(toDouble(Value::real(1.25)), 1.25);
    EXPECT_EQ(toDouble(Value::dateTime(46000.5)), 46000.5);
    EXPECT_EQ(toDouble(Value::text(QStringLiteral(" 2,5 "))), 2.5);
    EXPECT_EQ(toInt16(Value::text(QStringLiteral("2,5"))), 2);
    EXPECT_EQ(toInt32(Value::text(QStringLiteral("&HFF"))), 255);
    EXPECT_EQ(toInt32(Value::text(QStringLiteral("&HFFFFFFFF"))), -1);
}

TEST(IntegerConversionTest, NullBlankAndWordsAreTypeMismatch)
{
    EXPECT_EQ(errorNumberOf([] { toDouble(Value()); }), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf([] { toDouble(Value::text(QStringLiteral(" "))); }), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf([] { toInt32(Value::text(QStringLiteral("rosso"))); }), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf([] { toInt16(Value::text(QStringLiteral("40000"))); }), RuntimeError::OverflowNumber);
}

} // namespace
} // namespace rp
