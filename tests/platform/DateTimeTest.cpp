#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>

#include "TestUtil.h"

#include <QTimeZone>
#include <cmath>

using namespace zor;

namespace {

struct DateRow
{
    const char *name;
    int y, m, d;
    double serial;
};

} // namespace

TEST(DateTime, EncodeDateMatchesKnownSerials)
{
    const DateRow rows[] = {
        {"epoch", 1899, 12, 30, 0},
        {"day before epoch", 1899, 12, 29, -1},
        {"first representable day", 1, 1, 1, MinDateTime},
        {"last representable day", 9999, 12, 31, 2958465},
        {"1900 has no leap day", 1900, 3, 1, 61},
        {"leap day 2000", 2000, 2, 29, 36585},
        {"unix epoch", 1970, 1, 1, 25569},
        {"leap day 1600", 1600, 2, 29, -109512},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(EncodeDate(r.y, r.m, r.d), r.serial);
        int y, m, d;
        DecodeDate(r.serial, y, m, d);
        EXPECT_EQ(y, r.y);
        EXPECT_EQ(m, r.m);
        EXPECT_EQ(d, r.d);
    }
}

TEST(DateTime, EveryDayDecodesToTheDateThatEncodesIt)
{
    int prevY = 1, prevM = 1, prevD = 0;
    for (qint64 serial = qint64(MinDateTime); serial <= 2958465; ++serial) {
        int y, m, d;
        DecodeDate(double(serial), y, m, d);
        // consecutive serials are consecutive calendar days
        const bool nextDay = (y == prevY && m == prevM && d == prevD + 1)
                             || (y == prevY && m == prevM + 1 && d == 1 && prevD == DaysInAMonth(prevY, prevM))
                             || (y == prevY + 1 && m == 1 && d == 1 && prevM == 12 && prevD == 31);
        ASSERT_TRUE(nextDay) << serial << ": " << y << "-" << m << "-" << d;
        TDateTime back;
        ASSERT_TRUE(TryEncodeDate(y, m, d, back));
        ASSERT_EQ(back, double(serial));
        prevY = y;
        prevM = m;
        prevD = d;
    }
    EXPECT_EQ(prevY, 9999);
}

TEST(DateTime, NegativeValuesCountTheTimeForwardFromMidnight)
{
    int y, m, d, h, n, s, z;
    DecodeDateTime(-1.25, y, m, d, h, n, s, z);
    EXPECT_EQ(QDate(y, m, d), QDate(1899, 12, 29));
    EXPECT_EQ(QTime(h, n, s, z), QTime(6, 0));
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    EXPECT_EQ(EncodeDateTime(1800, 1, 1, 18, 0, 0, 0), EncodeDate(1800, 1, 1) - 0.75);

    // -0.5 has no day part: it is noon of the epoch day, like 0.5
    DecodeDateTime(-0.5, y, m, d, h, n, s, z);
    EXPECT_EQ(QDate(y, m, d), QDate(1899, 12, 30));
    EXPECT_EQ(h, 12);

    EXPECT_EQ(DateOf(-1.25), -1.0);
    EXPECT_EQ(TimeOf(-1.25), 0.25);
    EXPECT_EQ(DayOfWeek(-1.25), 6); // 1899-12-29 was a Friday
}

TEST(DateTime, TimeRoundsToTheMillisecondAndCarriesIntoTheNextDay)
{
    int y, m, d, h, n, s, z;
    DecodeDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 59, 999), y, m, d, h, n, s, z);
    EXPECT_EQ(QDateTime(QDate(y, m, d), QTime(h, n, s, z)), QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999)));

    // a hair before midnight is midnight of the next day, not 24:00
    DecodeDateTime(EncodeDate(2024, 2, 29) + 1 - 1e-12, y, m, d, h, n, s, z);
    EXPECT_EQ(QDate(y, m, d), QDate(2024, 3, 1));
    EXPECT_EQ(h + n + s + z, 0);
    // and for negative values the day moves forward as well
    DecodeDateTime(-1.9999999999999, y, m, d, h, n, s, z);
    EXPECT_EQ(QDate(y, m, d), QDate(1899, 12, 30));
    EXPECT_EQ(h + n + s + z, 0);
}

TEST(DateTime, InvalidFieldsRaiseTheEncodeErrors)
{
    const struct { const char *name; int y, m, d; } badDates[] = {
        {"29 Feb in a common year", 2023, 2, 29}, {"29 Feb 1900", 1900, 2, 29}, {"year 0", 0, 1, 1},
        {"year 10000", 10000, 1, 1}, {"month 13", 2024, 13, 1}, {"day 0", 2024, 1, 0}, {"31 April", 2024, 4, 31},
    };
    for (const auto &r : badDates) {
        SCOPED_TRACE(r.name);
        TDateTime out = 123;
        EXPECT_FALSE(TryEncodeDate(r.y, r.m, r.d, out));
        EXPECT_EQ(out, 123);
        try {
            EncodeDate(r.y, r.m, r.d);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid argument to date encode"));
        }
    }
    const int badTimes[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto &t : badTimes) {
        try {
            EncodeTime(t[0], t[1], t[2], t[3]);
            ADD_FAILURE() << "no exception for " << t[0] << ":" << t[1] << ":" << t[2] << "." << t[3];
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid argument to time encode"));
        }
    }
}

TEST(DateTime, LeapYearsAndMonthLengths)
{
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2023, 2), 28);
    EXPECT_EQ(DaysInAMonth(2023, 12), 31);
    EXPECT_EQ(DaysInAMonth(2023, 13), 0);
}

TEST(DateTime, DayOfWeekCountsFromSunday)
{
    EXPECT_EQ(DayOfWeek(0), 7);                         // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);    // Monday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 3) + 0.9), 1); // Sunday, late
    EXPECT_EQ(DayOfWeek(MinDateTime), 2);               // 0001-01-01 was a Monday
}

TEST(DateTime, SqlTimeStampRoundTrips)
{
    EXPECT_EQ(SQLTimeStampToDateTime(TSQLTimeStamp()), 0.0);

    const TDateTime values[] = {EncodeDateTime(2024, 7, 14, 13, 45, 30, 250), EncodeDateTime(1850, 6, 1, 6, 30, 0, 5),
                                MinDateTime, EncodeDateTime(9999, 12, 31, 23, 59, 59, 999)};
    for (TDateTime v : values) {
        SCOPED_TRACE(v);
        const TSQLTimeStamp ts = DateTimeToSQLTimeStamp(v);
        EXPECT_EQ(SQLTimeStampToDateTime(ts), v);
    }
    const TSQLTimeStamp ts = DateTimeToSQLTimeStamp(EncodeDateTime(2024, 7, 14, 13, 45, 30, 250));
    EXPECT_EQ(ts.Year, 2024);
    EXPECT_EQ(ts.Month, 7);
    EXPECT_EQ(ts.Day, 14);
    EXPECT_EQ(ts.Hour, 13);
    EXPECT_EQ(ts.Minute, 45);
    EXPECT_EQ(ts.Second, 30);
    EXPECT_EQ(ts.Fractions, 250u);

    TSQLTimeStamp bad;
    bad.Year = 2024;
    bad.Month = 13;
    bad.Day = 1;
    EXPECT_THROW(SQLTimeStampToDateTime(bad), EConvertError);
}

TEST(DateTime, SystemTimeCarriesTheDayOfWeekFromSunday0)
{
    const TDateTime v = EncodeDateTime(2024, 3, 3, 8, 9, 10, 11); // a Sunday
    const TSystemTime st = DateTimeToSystemTime(v);
    EXPECT_EQ(st.wDayOfWeek, 0);
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMilliseconds, 11);
    EXPECT_EQ(SystemTimeToDateTime(st), v);
}

TEST(DateTime, UnixSecondsAcrossTheEpochAndBefore1900)
{
    EXPECT_EQ(UnixToDateTime(0), 25569.0);
    EXPECT_EQ(DateTimeToUnix(25569.0), 0);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1969, 12, 31, 23, 59, 59, 0)), -1);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2038, 1, 19, 3, 14, 8, 0)), qint64(2147483648));
    // before 1899-12-30 the serial runs backwards through the day
    const qint64 secs = -2209161600 - 86400 + 6 * 3600; // 1899-12-29 06:00 UTC
    EXPECT_EQ(DateTimeToUnix(-1.25), secs);
    EXPECT_EQ(UnixToDateTime(secs), -1.25);
    for (qint64 s : {qint64(-62135596800), qint64(-1), qint64(1), qint64(1700000000), qint64(253402300799)}) {
        SCOPED_TRACE(s);
        EXPECT_EQ(DateTimeToUnix(UnixToDateTime(s)), s);
    }
}

TEST(DateTime, QDateTimeConversionsKeepWallClockFields)
{
    const TDateTime v = EncodeDateTime(1765, 4, 3, 2, 1, 0, 999);
    const QDateTime q = DateTimeToQDateTime(v, QTimeZone::utc());
    EXPECT_EQ(q.date(), QDate(1765, 4, 3));
    EXPECT_EQ(q.time(), QTime(2, 1, 0, 999));
    EXPECT_EQ(QDateTimeToDateTime(q), v);
    EXPECT_EQ(QDateTimeToDateTime(QDateTime()), 0.0);
}

TEST(DateTime, NowIsTheLocalClock)
{
    const QDateTime before = QDateTime::currentDateTime();
    const TDateTime now = Now();
    const QDateTime q = DateTimeToQDateTime(now);
    EXPECT_LE(std::llabs(q.msecsTo(before)), 2000);
    EXPECT_GE(now - Date(), 0.0); // today's midnight, not a rounded day
    EXPECT_LT(now - Date(), 1.0);
    EXPECT_GE(Time(), 0.0);
    EXPECT_LT(Time(), 1.0);
}
