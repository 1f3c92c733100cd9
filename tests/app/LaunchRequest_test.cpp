#include "app/LaunchRequest.h"
#include "common/RuntimeError.h"
#include "common/ScopedLocaleFacts.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

constexpr double Today = 46096.0; // 15 March 2026

LaunchRequest parse(const QString& commandText)
{
    return ParseLaunchRequest(commandText, Today);
}

int errorNumberOf(const QString& commandText)
{
    try {
        parse(commandText);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

void expectDefaultsAfterSettingsPath(const LaunchRequest& r)
{
    EXPECT_EQ(r.SlotNumber, 0);
    EXPECT_EQ(r.ClientCode, 0);
    EXPECT_EQ(r.ActionCode, QString());
    EXPECT_EQ(r.AppointmentTime, Today);
}

class LaunchRequestTest : public ::testing::Test
{
protected:
    test::ScopedLocaleFacts m_locale{test::commaLocale()};
};

// --- fields missing ---

TEST_F(LaunchRequestTest, EmptyCommandLineGivesDefaults)
{
    const LaunchRequest r = parse(QString());
    EXPECT_EQ(r.SettingsPath, QString());
    expectDefaultsAfterSettingsPath(r);
}

TEST_F(LaunchRequestTest, WithoutSeparatorTheWholeTextIsTheSettingsPath)
{
    const LaunchRequest r = parse(QStringLiteral("  /home/op/agenda ini  "));
    EXPECT_EQ(r.SettingsPath, QStringLiteral("  /home/op/agenda ini  "));
    expectDefaultsAfterSettingsPath(r);
}

TEST_F(LaunchRequestTest, SlotAloneLeavesTheRestAtDefaults)
{
    const LaunchRequest r = parse(QStringLiteral("/etc/agenda.ini|3"));
    EXPECT_EQ(r.SettingsPath, QStringLiteral("/etc/agenda.ini"));
    EXPECT_EQ(r.SlotNumber, 3);
    EXPECT_EQ(r.ClientCode, 0);
    EXPECT_EQ(r.ActionCode, QString());
    EXPECT_EQ(r.AppointmentTime, Today);
}

TEST_F(LaunchRequestTest, MissingOrEmptyFifthFieldKeepsTodayAtMidnight)
{
    EXPECT_EQ(parse(QStringLiteral("a.ini|1|57|VIS")).AppointmentTime, Today);
    EXPECT_EQ(parse(QStringLiteral("a.ini|1|57|VIS|")).AppointmentTime, Today);
    EXPECT_EQ(parse(QStringLiteral("a.ini|1|57|VIS|   |x")).AppointmentTime, Today);
}

TEST_F(LaunchRequestTest, EmptyFieldsKeepTheirDefaults)
{
    const LaunchRequest r = parse(QStringLiteral("a.ini|||VIS|15/03/2026 18:00"));
    EXPECT_EQ(r.SlotNumber, 0);
    EXPECT_EQ(r.ClientCode, 0);
    EXPECT_EQ(r.ActionCode, QStringLiteral("VIS"));
    EXPECT_EQ(r.AppointmentTime, 46096.75);
}

// --- all fields ---

TEST_F(LaunchRequestTest, FullCommandLine)
{
    const LaunchRequest r = parse(QStringLiteral(" C:/agenda.ini | 2 | 57 | VIS 1 | 15/03/2026 18:30 "));
    EXPECT_EQ(r.SettingsPath, QStringLiteral(" C:/agenda.ini "));
    EXPECT_EQ(r.SlotNumber, 2);
    EXPECT_EQ(r.ClientCode, 57);
    EXPECT_EQ(r.ActionCode, QStringLiteral("VIS 1"));
    EXPECT_EQ(r.AppointmentTime, 46096.0 + 18.5 / 24.0);
}

TEST_F(LaunchRequestTest, SixthFieldIsIgnored)
{
    const LaunchRequest r = parse(QStringLiteral("a.ini|2|57|VIS|15/03/26|not a date|more"));
    EXPECT_EQ(r.ActionCode, QStringLiteral("VIS"));
    EXPECT_EQ(r.AppointmentTime, 46096.0);
}

TEST_F(LaunchRequestTest, QuotesStayInPlace)
{
    EXPECT_EQ(parse(QStringLiteral("\"/my dir/a.ini\"|1")).SettingsPath, QStringLiteral("\"/my dir/a.ini\""));
}

// --- numeric fields ---

TEST_F(LaunchRequestTest, LettersGiveZero)
{
    const LaunchRequest r = parse(QStringLiteral("a.ini|tre|cinque|VIS"));
    EXPECT_EQ(r.SlotNumber, 0);
    EXPECT_EQ(r.ClientCode, 0);
    EXPECT_EQ(r.ActionCode, QStringLiteral("VIS"));
}

TEST_F(LaunchRequestTest, FractionsRoundHalfToEvenWithTheLocaleSeparator)
{
    EXPECT_EQ(parse(QStringLiteral("a|2,5|3,5")).SlotNumber, 2);
    EXPECT_EQ(parse(QStringLiteral("a|2,5|3,5")).ClientCode, 4);
    EXPECT_EQ(parse(QStringLiteral("a|2,6|-0,5")).SlotNumber, 3);
    EXPECT_EQ(parse(QStringLiteral("a|2,6|-0,5")).ClientCode, 0);
    test::ScopedLocaleFacts point(test::pointLocale());
    EXPECT_EQ(parse(QStringLiteral("a|4.5|1e3")).SlotNumber, 4);
    EXPECT_EQ(parse(QStringLiteral("a|4.5|1e3")).ClientCode, 1000);
}

TEST_F(LaunchRequestTest, OutOfRangeNumbersOverflow)
{
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|32768")), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|32767|2147483647")), 0);
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|1|2147483648")), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|1|-2147483649")), RuntimeError::OverflowNumber);
    // A date in the slot field is its day serial, far beyond 16 bits.
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|15/03/2026|57")), RuntimeError::OverflowNumber);
}

TEST_F(LaunchRequestTest, FifthFieldThatIsNoDateIsTypeMismatch)
{
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|1|57|VIS|domani")), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|1|57|VIS|31/02/2026")), RuntimeError::TypeMismatchNumber);
    EXPECT_EQ(errorNumberOf(QStringLiteral("a|1|57|VIS|15/03")), RuntimeError::TypeMismatchNumber);
}

TEST_F(LaunchRequestTest, SeparatorBeyondPosition32767Overflows)
{
    const QString longPath(32766, u'p');
    EXPECT_EQ(parse(longPath + QStringLiteral("|7")).SlotNumber, 7); // separator at 32767
    EXPECT_EQ(errorNumberOf(longPath + QStringLiteral("p|7")), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf(longPath + QStringLiteral("p")), RuntimeError::OverflowNumber);
}

// --- the command text ---

TEST(LaunchCommandTextTest, ArgumentsJoinedByOneBlank)
{
    EXPECT_EQ(LaunchCommandText({}), QString());
    EXPECT_EQ(LaunchCommandText({QStringLiteral("/my")}), QStringLiteral("/my"));
    EXPECT_EQ(LaunchCommandText(
                  {QStringLiteral("/my"), QStringLiteral("dir/a.ini|2|57|VIS|15/03/2026"), QStringLiteral("18:00")}),
              QStringLiteral("/my dir/a.ini|2|57|VIS|15/03/2026 18:00"));
}

} // namespace
} // namespace rp
