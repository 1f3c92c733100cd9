#include "common/DaySerial.h"
#include "common/IntegerConversion.h"
#include "common/RuntimeError.h"
#include "common/ScopedLocaleFacts.h"
#include "common/ValueConversions.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

Value text(const QString& s)
{
    return Value::text(s);
}

int errorNumberOf(const Value& value)
{
    try {
        NumberOrDate(value);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

// --- TextOrDefault ---

TEST(TextOrDefaultTest, NothingThereGivesOneBlank)
{
    EXPECT_EQ(TextOrDefault(Value()), QStringLiteral(" "));
    EXPECT_EQ(TextOrDefault(text(QString())), QStringLiteral(" "));
    EXPECT_EQ(TextOrDefault(text(QStringLiteral("   "))), QStringLiteral(" "));
    EXPECT_EQ(TextOrDefault(text(QStringLiteral(" \t "))), QStringLiteral(" "));
    EXPECT_EQ(TextOrDefault(text(QChar(u'\0') + QStringLiteral("abc"))), QStringLiteral(" "));
}

TEST(TextOrDefaultTest, AnythingElseComesBackUntrimmed)
{
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(TextOrDefault(text(QStringLiteral("  Rossi Mario "))), QStringLiteral("  Rossi Mario "));
    EXPECT_EQ(TextOrDefault(Value::integer(12)), QStringLiteral("12"));
    EXPECT_EQ(TextOrDefault(Value::real(2.5)), QStringLiteral("2,5"));
    EXPECT_EQ(TextOrDefault(text(QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"))),
              QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"));
}

TEST(TextOrDefaultTest, GivenDefaultIsUsedUnlessItIsBlank)
{
    EXPECT_EQ(TextOrDefault(Value(), Value::text(QStringLiteral("nessuno"))), QStringLiteral("nessuno"));
    EXPECT_EQ(TextOrDefault(text(QStringLiteral(" ")), Value::integer(0)), QStringLiteral("0"));
    EXPECT_EQ(TextOrDefault(Value(), Value::text(QStringLiteral("  "))), QStringLiteral(" "));
    EXPECT_EQ(TextOrDefault(Value(), Value()), QStringLiteral(" "));
    EXPECT_EQ(TextOrDefault(text(QStringLiteral("x")), Value::text(QStringLiteral("nessuno"))), QStringLiteral("x"));
}

// --- NumberOrDate: numbers and non-numbers ---

TEST(NumberOrDateTest, NothingOrNonNumericGivesZero)
{
    for (const Value& v : {Value(), text(QString()), text(QStringLiteral("   ")), text(QStringLiteral("abc")),
                           text(QStringLiteral("1-2")), text(QStringLiteral("12 rue"))}) {
        EXPECT_EQ(NumberOrDate(v), Value::integer(0)) << v.textForm().toStdString();
    }
}

TEST(NumberOrDateTest, NumericValuesComeBackUnchanged)
{
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("15"))), text(QStringLiteral("15")));
    EXPECT_EQ(toInt16(NumberOrDate(text(QStringLiteral("15")))), 15);
    EXPECT_EQ(NumberOrDate(text(QStringLiteral(" 2,5 "))), text(QStringLiteral(" 2,5 ")));
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("&H10"))), text(QStringLiteral("&H10")));
    EXPECT_EQ(NumberOrDate(Value::integer(-4)), Value::integer(-4));
    EXPECT_EQ(NumberOrDate(Value::real(0.75)), Value::real(0.75));
}

TEST(NumberOrDateTest, DecimalSeparatorFollowsTheLocale)
{
    {
        test::ScopedLocaleFacts locale(test::pointLocale());
        EXPECT_EQ(toDouble(NumberOrDate(text(QStringLiteral("2.5")))), 2.5);
        EXPECT_EQ(toDouble(NumberOrDate(text(QStringLiteral("2,5")))), 25.0);
    }
    test::ScopedLocaleFacts locale(test::commaLocale());
    EXPECT_EQ(toDouble(NumberOrDate(text(QStringLiteral("2,5")))), 2.5);
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("2,,5"))), Value::integer(0));
}

// --- NumberOrDate: slashes ---

TEST(NumberOrDateTest, OneSlashIsNotANumber)
{
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("1/2"))), Value::integer(0));
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("/"))), Value::integer(0));
}

TEST(NumberOrDateTest, TwoSlashesAreADate)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("15/03/2026"))), Value::real(46096.0));
    EXPECT_EQ(NumberOrDate(text(QStringLiteral("15/03/26 18:00"))), Value::real(46096.75));
    EXPECT_EQ(NumberOrDate(Value::dateTime(46096.75)), Value::real(46096.75));
}

TEST(NumberOrDateTest, TwoSlashesThatAreNoDateAreTypeMismatch)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(errorNumberOf(text(QStringLiteral("1/2/abc"))), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf(text(QStringLiteral("31/02/2026"))), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf(text(QStringLiteral("//"))), RuntimeError::TypeMismatchNumber);
}

TEST(NumberOrDateTest, SlashBeyondCharacter255Overflows)
{
    const QString padding(254, u'x');
    EXPECT_EQ(NumberOrDate(text(padding + QStringLiteral("/"))), Value::integer(0)); // first "/" at 255
    EXPECT_EQ(errorNumberOf(text(padding + QStringLiteral("x/"))), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf(text(QStringLiteral("1/") + padding)), 0);
    EXPECT_EQ(errorNumberOf(text(QStringLiteral("1/") + padding + QStringLiteral("/"))), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf(text(QStringLiteral("1/") + QString(252, u' ') + QStringLiteral("/"))),
              RuntimeError::TypeMismatchNumber); // second "/" at 255: a date that is none
}

} // namespace
} // namespace rp
