#include "common/DateText.h"
#include "common/DaySerial.h"
#include "common/ScopedLocaleFacts.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

std::optional<double> parse(const char* text)
{
    return parseDateText(QString::fromUtf8(text));
}

double serialOf(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0)
{
    return *daySerialFromCivil(CivilDateTime{y, mo, d, h, mi, s});
}

// --- accepted date texts ---

TEST(DateTextTest, DayComesBeforeMonth)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(parse("15/03/2026"), serialOf(2026, 3, 15));
    EXPECT_EQ(parse("5/3/2026"), serialOf(2026, 3, 5));
    EXPECT_EQ(parse("01/02/2026"), serialOf(2026, 2, 1));
    EXPECT_EQ(parse("  29/02/2024\t"), serialOf(2024, 2, 29));
}

TEST(DateTextTest, TwoDigitYearsPivotAtThirty)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(parse("15/03/26"), serialOf(2026, 3, 15));
    EXPECT_EQ(parse("1/1/00"), serialOf(2000, 1, 1));
    EXPECT_EQ(parse("31/12/29"), serialOf(2029, 12, 31));
    EXPECT_EQ(parse("1/1/30"), serialOf(1930, 1, 1));
    EXPECT_EQ(parse("31/12/99"), serialOf(1999, 12, 31));
}

TEST(DateTextTest, TimeOfDayGivesTheFraction)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(parse("15/03/2026 18:00"), serialOf(2026, 3, 15, 18, 0));
    EXPECT_EQ(parse("15/03/2026   9:05"), serialOf(2026, 3, 15, 9, 5));
    EXPECT_EQ(parse("15/03/26 09:05:30"), serialOf(2026, 3, 15, 9, 5, 30));
    EXPECT_EQ(parse("15/03/2026 23:59:59"), serialOf(2026, 3, 15, 23, 59, 59));
}

TEST(DateTextTest, LocaleSeparatorsAndTheLaunchersSlash)
{
    test::ScopedLocaleFacts locale(LocaleFacts{u',', u'.', u'.', u'.'});
    EXPECT_EQ(parse("15.03.2026 18.30"), serialOf(2026, 3, 15, 18, 30));
    EXPECT_EQ(parse("15/03/2026 18:30"), serialOf(2026, 3, 15, 18, 30));
    EXPECT_EQ(parse("15.03/2026"), std::nullopt);
    EXPECT_EQ(parse("15-03-2026"), std::nullopt);
}

// --- rejected date texts ---

TEST(DateTextTest, RejectsImpossibleOrIncompleteDates)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    for (const char* text : {"",
                             "  ",
                             "31/02/2026",
                             "29/02/2026",
                             "1/2",
                             "12/13/2026",
                             "0/1/2026",
                             "1/1/202",
                             "1/1/20261",
                             "123/1/2026",
                             "1/1/2026x",
                             "a/b/c",
                             "1/1/2026 25:00",
                             "1/1/2026 12:60",
                             "1/1/2026 12:5",
                             "1/1/2026 12",
                             "1/1/2026 12:00:",
                             "1/1/2026 12:00:00 PM",
                             "1/1/202612:00",
                             "-1/1/2026",
                             "1//2026",
                             "1/1/2026/"}) {
        EXPECT_EQ(parse(text), std::nullopt) << text;
    }
}

// --- display patterns ---

TEST(DateTextTest, DisplayPatterns)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    const double moment = serialOf(2026, 3, 5, 8, 7, 6);
    EXPECT_EQ(formatDayMonthYear(moment), QStringLiteral("05/03/26"));
    EXPECT_EQ(formatHourMinute(moment), QStringLiteral("08:07"));
    EXPECT_EQ(formatDayMonthTime(moment), QStringLiteral("05/03 08:07"));
    EXPECT_EQ(formatHourMinute(serialOf(2026, 3, 5, 23, 0)), QStringLiteral("23:00"));
}

TEST(DateTextTest, DisplayPatternsUseTheLocaleSeparators)
{
    test::ScopedLocaleFacts locale(LocaleFacts{u',', u'.', u'.', u'.'});
    const double moment = serialOf(2026, 12, 24, 18, 30);
    EXPECT_EQ(formatDayMonthYear(moment), QStringLiteral("24.12.26"));
    EXPECT_EQ(formatDayMonthTime(moment), QStringLiteral("24.12 18.30"));
    EXPECT_EQ(dateTimeTextForm(moment), QStringLiteral("24.12.2026 18.30.00"));
}

TEST(DateTextTest, TextFormShowsTheTimeOnlyWhenThereIsOne)
{
    test::ScopedLocaleFacts locale(test::pointLocale());
    EXPECT_EQ(dateTimeTextForm(serialOf(2026, 3, 15)), QStringLiteral("15/03/2026"));
    EXPECT_EQ(dateTimeTextForm(serialOf(2026, 3, 15, 0, 0, 1)), QStringLiteral("15/03/2026 00:00:01"));
    EXPECT_EQ(parseDateText(dateTimeTextForm(serialOf(1999, 7, 4, 13, 14, 15))), serialOf(1999, 7, 4, 13, 14, 15));
}

} // namespace
} // namespace rp
