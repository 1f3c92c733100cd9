#include "common/DaySerial.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

CivilDateTime civil(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0)
{
    return CivilDateTime{y, mo, d, h, mi, s};
}

// --- civil date-times and serials ---

TEST(DaySerialTest, KnownSerials)
{
    EXPECT_EQ(daySerialFromCivil(civil(1899, 12, 30)), 0.0);
    EXPECT_EQ(daySerialFromCivil(civil(1900, 1, 1)), 2.0);
    EXPECT_EQ(daySerialFromCivil(civil(2000, 1, 1)), 36526.0);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 3, 15, 18, 0)), 46096.75);
    EXPECT_EQ(daySerialFromCivil(civil(1899, 12, 30, 6, 0)), 0.25);
}

TEST(DaySerialTest, NegativeSerialsCountDaysTowardZeroAndAddTheTimeAwayFromIt)
{
    EXPECT_EQ(daySerialFromCivil(civil(1899, 12, 29, 6, 0)), -1.25);
    EXPECT_EQ(civilFromDaySerial(-1.25), civil(1899, 12, 29, 6, 0));
    EXPECT_EQ(civilFromDaySerial(-1.0), civil(1899, 12, 29));
    EXPECT_EQ(civilFromDaySerial(-0.5), civil(1899, 12, 30, 12, 0));
    EXPECT_EQ(civilFromDaySerial(-2.75), civil(1899, 12, 28, 18, 0));
}

TEST(DaySerialTest, ImpossibleDatesAndTimesAreRejected)
{
    EXPECT_EQ(daySerialFromCivil(civil(2026, 2, 29)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(1900, 2, 29)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 4, 31)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 13, 1)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 257, 1)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 1, 257)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 1, 0)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 1, 1, 24, 0)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 1, 1, 12, 60)), std::nullopt);
    EXPECT_EQ(daySerialFromCivil(civil(2026, 1, 1, 12, 0, -1)), std::nullopt);
}

TEST(DaySerialTest, LeapDaysRoundTrip)
{
    for (const CivilDateTime& leap : {civil(2000, 2, 29), civil(2024, 2, 29, 23, 59, 59), civil(1896, 2, 29, 1)}) {
        const std::optional<double> serial = daySerialFromCivil(leap);
        ASSERT_TRUE(serial.has_value());
        EXPECT_EQ(civilFromDaySerial(*serial), leap);
    }
    EXPECT_EQ(*daySerialFromCivil(civil(2024, 3, 1)) - *daySerialFromCivil(civil(2024, 2, 28)), 2.0);
}

TEST(DaySerialTest, EverySecondOfADayRoundTrips)
{
    for (int second = 0; second < 86400; second += 7) {
        const CivilDateTime moment = civil(2026, 6, 1, second / 3600, second / 60 % 60, second % 60);
        EXPECT_EQ(civilFromDaySerial(*daySerialFromCivil(moment)), moment);
        const CivilDateTime before = civil(1899, 1, 1, second / 3600, second / 60 % 60, second % 60);
        EXPECT_EQ(civilFromDaySerial(*daySerialFromCivil(before)), before);
    }
}

TEST(DaySerialTest, RoundsToTheNearestSecondAcrossMidnight)
{
    EXPECT_EQ(civilFromDaySerial(46000.0 + 86399.6 / 86400.0), civil(2025, 12, 10));
    EXPECT_EQ(civilFromDaySerial(46000.0 + 86399.4 / 86400.0), civil(2025, 12, 9, 23, 59, 59));
    EXPECT_EQ(civilFromDaySerial(-1.0 - 86399.6 / 86400.0), civil(1899, 12, 30));
    EXPECT_EQ(civilFromDaySerial(10.0 / 1440.0 - 1e-9), civil(1899, 12, 30, 0, 10, 0));
}

// --- store text ---

TEST(DaySerialTest, StorageTextRoundTrips)
{
    EXPECT_EQ(storageTextFromDaySerial(46096.75), QStringLiteral("2026-03-15 18:00:00"));
    EXPECT_EQ(storageTextFromDaySerial(0), QStringLiteral("1899-12-30 00:00:00"));
    EXPECT_EQ(storageTextFromDaySerial(-1.25), QStringLiteral("1899-12-29 06:00:00"));
    EXPECT_EQ(daySerialFromStorageText(QStringLiteral("2026-03-15 18:00:00")), 46096.75);
    EXPECT_EQ(daySerialFromStorageText(QStringLiteral("2026-03-15")), 46096.0);
    EXPECT_EQ(daySerialFromStorageText(QStringLiteral("1899-12-29 06:00:00")), -1.25);
    const double serial = *daySerialFromCivil(civil(2024, 2, 29, 7, 8, 9));
    EXPECT_EQ(daySerialFromStorageText(storageTextFromDaySerial(serial)), serial);
}

TEST(DaySerialTest, StorageTextAcceptsOnlyItsOwnForm)
{
    for (const char* text :
         {"", "2026-3-15 18:00:00", "2026-03-15T18:00:00", "2026-03-15 18:00", " 2026-03-15", "2026-03-15 18:00:00.000",
          "2026/03/15", "2026-02-30", "2026-03-15 24:00:00", "15-03-2026", "２026-03-15", "2026-03-15 18:00:0x"}) {
        EXPECT_EQ(daySerialFromStorageText(QString::fromUtf8(text)), std::nullopt) << text;
    }
}

} // namespace
} // namespace rp
