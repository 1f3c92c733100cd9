#include "common/NumberText.h"
#include "common/ScopedLocaleFacts.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

std::optional<double> parse(const char* text)
{
    return parseNumberText(QString::fromUtf8(text));
}

// --- decimal point locale ---

TEST(NumberTextTest, PointLocaleAcceptsPlainNumbers)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(parse("15"), 15.0);
    EXPECT_EQ(parse("  -3.25\t"), -3.25);
    EXPECT_EQ(parse("+7"), 7.0);
    EXPECT_EQ(parse(".5"), 0.5);
    EXPECT_EQ(parse("5."), 5.0);
    EXPECT_EQ(parse("1.5e3"), 1500.0);
    EXPECT_EQ(parse("2E-2"), 0.02);
    EXPECT_EQ(parse("1e+2"), 100.0);
}

TEST(NumberTextTest, PointLocaleGroupingBetweenDigitsIsIgnored)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(parse("1,234.5"), 1234.5);
    EXPECT_EQ(parse("1,5"), 15.0);
    EXPECT_EQ(parse(",5"), std::nullopt);
    EXPECT_EQ(parse("-,5"), std::nullopt);
    EXPECT_EQ(parse("1,,5"), std::nullopt);
    EXPECT_EQ(parse("5,"), std::nullopt);
    EXPECT_EQ(parse("1,.5"), std::nullopt);
    EXPECT_EQ(parse("1.2,3"), std::nullopt);
}

// --- decimal comma locale ---

TEST(NumberTextTest, CommaLocaleSwapsTheSeparators)
{
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(parse("2,5"), 2.5);
    EXPECT_EQ(parse("1.234,5"), 1234.5);
    EXPECT_EQ(parse("1,,5"), std::nullopt);
    EXPECT_EQ(parse("1,2,3"), std::nullopt);
    EXPECT_EQ(parse("-0,75e1"), -7.5);
}

// --- hexadecimal and octal ---

TEST(NumberTextTest, HexAndOctalAreSigned32BitIntegers)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(parse("&HFF"), 255.0);
    EXPECT_EQ(parse(" &hff "), 255.0);
    EXPECT_EQ(parse("&H8000"), 32768.0);
    EXPECT_EQ(parse("&HFFFFFFFF"), -1.0);
    EXPECT_EQ(parse("&H80000000"), -2147483648.0);
    EXPECT_EQ(parse("&O17"), 15.0);
    EXPECT_EQ(parse("&o37777777777"), -1.0);
    EXPECT_EQ(parse("&H100000000"), std::nullopt);
    EXPECT_EQ(parse("&H"), std::nullopt);
    EXPECT_EQ(parse("&HFG"), std::nullopt);
    EXPECT_EQ(parse("&O8"), std::nullopt);
    EXPECT_EQ(parse("-&H1"), std::nullopt);
}

// --- texts that are not numbers ---

TEST(NumberTextTest, RejectsWhatIsNotANumber)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    for (const char* text : {"",   "   ", "+",   "-",        ".",   "1-2", "12abc", "abc",  "1e",    "1e+",
                             "e5", "nan", "inf", "Infinity", "1 2", "--1", "1/2",   "0x10", "1e999", "1\n"}) {
        EXPECT_EQ(parse(text), std::nullopt) << text;
    }
}

// --- number to text ---

TEST(NumberTextTest, NumberToTextUsesFifteenDigitsAndTheLocaleSeparator)
{
    {
        test::ScopedLocaleFacts locale(test::pointLocale());
        EXPECT_EQ(numberToText(12), QStringLiteral("12"));
        EXPECT_EQ(numberToText(-3.25), QStringLiteral("-3.25"));
        EXPECT_EQ(numberToText(0.1 + 0.2), QStringLiteral("0.3"));
        EXPECT_EQ(numberToText(-0.0), QStringLiteral("0"));
        EXPECT_EQ(numberToText(123456789012345.0), QStringLiteral("123456789012345"));
        EXPECT_EQ(numberToText(1e15), QStringLiteral("1E+15"));
        EXPECT_EQ(numberToText(1234567.5), QStringLiteral("1234567.5"));
    }
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(numberToText(0.5), QStringLiteral("0,5"));
    EXPECT_EQ(numberToText(1234567.5), QStringLiteral("1234567,5"));
}

TEST(NumberTextTest, NumberTextRoundTripsThroughTheParser)
{
    test::ScopedLocaleFacts locale(test::commaLocale());
    for (const double d : {0.25, -17.0, 46000.5, 3.14159265358979, 1e-7, 6.02e23}) {
        EXPECT_EQ(parseNumberText(numberToText(d)), d) << numberToText(d).toStdString();
    }
}

} // namespace
} // namespace rp
