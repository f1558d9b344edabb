#include <ZorCompCore/utilities/DateUtils.h>

#include "TestUtil.h"
#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>

#include <ctime>
#include <optional>

using namespace zor;

namespace {

// Runs a block with TZ set, restoring the previous zone afterwards, so that
// local-time rules are those of a known zone with daylight saving.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char *zone)
        : FHad(qEnvironmentVariableIsSet("TZ")), FOld(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (FHad)
            qputenv("TZ", FOld);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool FHad;
    QByteArray FOld;
};

TDateTime DT(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0)
{
    return EncodeDateTime(y, m, d, h, n, s, ms);
}

// Compares to the millisecond: values built by different routes may differ in
// the last bits of the double.
::testing::AssertionResult SameMoment(TDateTime a, TDateTime b)
{
    int y1, m1, d1, h1, n1, s1, z1, y2, m2, d2, h2, n2, s2, z2;
    DecodeDateTime(a, y1, m1, d1, h1, n1, s1, z1);
    DecodeDateTime(b, y2, m2, d2, h2, n2, s2, z2);
    if (y1 == y2 && m1 == m2 && d1 == d2 && h1 == h2 && n1 == n2 && s1 == s2 && z1 == z2)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d != %04d-%02d-%02d %02d:%02d:%02d.%03d", y1, m1,
                             d1, h1, n1, s1, z1, y2, m2, d2, h2, n2, s2, z2)
               .toStdString();
}

} // namespace

TEST(DateUtils, ParsesRfc3339Texts)
{
    struct Row
    {
        const char *text;
        bool dotted;
        std::optional<TDateTime> expected; // as UTC; nullopt: must fail
    };
    const Row rows[] = {
        {"2021-03-04T05:06:07Z", true, DT(2021, 3, 4, 5, 6, 7)},
        {"2021-03-04T05:06:07", true, DT(2021, 3, 4, 5, 6, 7)},
        {"2021-03-04T05:06:07+02:00", true, DT(2021, 3, 4, 3, 6, 7)},
        {"2021-03-04T05:06:07-02:30", true, DT(2021, 3, 4, 7, 36, 7)},
        {"2021-03-04T05:06:07.5Z", true, DT(2021, 3, 4, 5, 6, 7, 500)},
        {"2021-03-04T05:06:07.123+01:00", true, DT(2021, 3, 4, 4, 6, 7, 123)},
        {"2021-03-04T05:06:07.1239999Z", true, DT(2021, 3, 4, 5, 6, 7, 123)},
        {"2021-03-04T05:06Z", true, DT(2021, 3, 4, 5, 6, 0)},
        {"2021-03-04T05:06+01:00", true, DT(2021, 3, 4, 4, 6, 0)},
        {"2021-03-01T00:30:00+01:00", true, DT(2021, 2, 28, 23, 30)},
        {"2020-12-31T23:30:00-01:00", true, DT(2021, 1, 1, 0, 30)},
        {"1850-06-01T12:00:00-01:30", true, DT(1850, 6, 1, 13, 30)},
        {"1899-12-30T00:30:00+01:00", true, DT(1899, 12, 29, 23, 30)},
        {"04.03.2021", true, DT(2021, 3, 4)},
        {"2021-03-04", true, DT(2021, 3, 4)},
        {"2021-03-04", false, DT(2021, 3, 4)},
        {"04.03.2021", false, std::nullopt},
        {"2021-03-04T05:06", true, std::nullopt},
        {"2021-03", true, std::nullopt},
        {"2021-03-04t05:06:07Z", true, std::nullopt},
        {"2021-03-04T05:06:07z", true, std::nullopt},
        {"2021-13-04T05:06:07Z", true, std::nullopt},
        {"2021-02-29T05:06:07Z", true, std::nullopt},
        {"2021-03-04T24:00:00Z", true, std::nullopt},
        {"2021-03-04T05:60:00Z", true, std::nullopt},
        {"2021-03-04T05:06:07Z+01:00", true, std::nullopt},
        {"2021-03-04T05:06:07+0100", true, std::nullopt},
        {"2021-03-04T05:06:07.Z", true, std::nullopt},
        {"2021-03-04T05:06:07+01:", true, std::nullopt},
        {"2021-03-04T05:06:07+25:00", true, std::nullopt},
        {"2021-03-04T05:06:07 ", true, std::nullopt},
        {"99999999999-03-04T05:06:07Z", true, std::nullopt},
        {"-2021-03-04T05:06:07Z", true, std::nullopt},
        {"", true, std::nullopt},
        {"TTTTTTTTTTTT", true, std::nullopt},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        TDateTime value = -1;
        const bool ok = TryRFC3330ToDateTime(QString::fromLatin1(row.text), value, false, row.dotted);
        ASSERT_EQ(ok, row.expected.has_value());
        if (ok)
            EXPECT_TRUE(SameMoment(value, *row.expected));
        else
            EXPECT_EQ(value, -1) << "a failed parse must leave the output alone";
    }
}

TEST(DateUtils, RaisingAndDefaultForms)
{
    try {
        RFC3330ToDateTime(QStringLiteral("2021-03"));
        FAIL() << "no exception";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'2021-03' is not a valid RFC 3339 timestamp!"));
    }
    EXPECT_EQ(RFC3330ToDateTimeDef(QStringLiteral("junk"), false, 42.0), 42.0);
    EXPECT_TRUE(SameMoment(RFC3330ToDateTime(QStringLiteral("04.03.2021")), DT(2021, 3, 4)));
    EXPECT_TRUE(IsRFC3330ToDateTime(QStringLiteral("04.03.2021")));
    EXPECT_FALSE(IsRFC3330ToDateTime(QStringLiteral("2021-03-04T05:06")));
}

TEST(DateUtils, FormatsRfc3339)
{
    const TDateTime t = DT(2021, 3, 4, 5, 6, 7, 89);
    struct Row
    {
        int digits;
        bool withOffset;
        const char *expected;
    };
    const Row rows[] = {
        {3, true, "2021-03-04T05:06:07.089Z"},
        {0, true, "2021-03-04T05:06:07Z"},
        {0, false, "2021-03-04T05:06:07"},
        {1, true, "2021-03-04T05:06:07.0Z"},
        {2, false, "2021-03-04T05:06:07.08"},
        {5, false, "2021-03-04T05:06:07.08900"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(DateTimeToRFC3330(t, true, true, row.digits, row.withOffset), QString::fromLatin1(row.expected));
    }
    // Years are not padded, as the format is written.
    EXPECT_EQ(DateTimeToRFC3330(DT(987, 6, 5), true, true, 0, true), QStringLiteral("987-06-05T00:00:00Z"));
}

TEST(DateUtils, LocalTimeFollowsTheZoneRules)
{
    ScopedTimeZone zone("Europe/Berlin");

    // Winter +01:00, summer +02:00.
    EXPECT_TRUE(SameMoment(RFC3330ToDateTime(QStringLiteral("2021-03-04T05:06:07Z"), true), DT(2021, 3, 4, 6, 6, 7)));
    EXPECT_TRUE(SameMoment(RFC3330ToDateTime(QStringLiteral("2021-07-04T05:06:07Z"), true), DT(2021, 7, 4, 7, 6, 7)));
    // A date carries no zone: never shifted.
    EXPECT_TRUE(SameMoment(RFC3330ToDateTime(QStringLiteral("2021-07-04"), true), DT(2021, 7, 4)));

    const TDateTime summer = DT(2021, 7, 4, 7, 6, 7);
    EXPECT_EQ(DateTimeToRFC3330(summer, false, false, 0, true), QStringLiteral("2021-07-04T07:06:07+02:00"));
    EXPECT_EQ(DateTimeToRFC3330(summer, true, false, 0, true), QStringLiteral("2021-07-04T05:06:07Z"));
    EXPECT_EQ(DateTimeToRFC3330(DT(2021, 7, 4, 5, 6, 7), false, true, 0, true),
              QStringLiteral("2021-07-04T07:06:07+02:00"));
    EXPECT_EQ(DateTimeToRFC3330(DT(2021, 1, 4, 5, 6, 7), false, false, 0, true),
              QStringLiteral("2021-01-04T05:06:07+01:00"));

    EXPECT_EQ(DateTimeToYYYYMMDDFmt(summer, false), QStringLiteral("20210704"));
    EXPECT_EQ(DateTimeToYYYYMMDDFmt(summer, true, false, false), QStringLiteral("20210704T070607+02:00"));
    EXPECT_EQ(DateTimeToYYYYMMDDFmt(summer, true, true, false), QStringLiteral("20210704T050607Z"));
    // A UTC input stays UTC even when local output is asked for.
    EXPECT_EQ(DateTimeToYYYYMMDDFmt(DT(2021, 7, 4, 5, 6, 7), true, false, true), QStringLiteral("20210704T050607Z"));

    // Unset values pass through unchanged.
    EXPECT_EQ(UTCToSystemTime(MinDateTime), MinDateTime);
    EXPECT_EQ(SystemTimeToUTC(MinDateTime - 5), MinDateTime - 5);
}

TEST(DateUtils, LocalRoundTripAcrossTransitions)
{
    for (const char *tz : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "UTC"}) {
        ScopedTimeZone zone(tz);
        SCOPED_TRACE(tz);
        // Every 20 minutes through the days around both transitions of 2021.
        for (TDateTime day : {DT(2021, 3, 13), DT(2021, 3, 27), DT(2021, 4, 3), DT(2021, 10, 2), DT(2021, 10, 30),
                              DT(2021, 11, 6)}) {
            for (int step = 0; step < 3 * 72; ++step) {
                const TDateTime utc = day + step / 72.0;
                const QString text = DateTimeToRFC3330(utc, false, true, 3, true);
                SCOPED_TRACE(text.toStdString());
                TDateTime back = 0;
                ASSERT_TRUE(TryRFC3330ToDateTime(text, back, false, true));
                EXPECT_TRUE(SameMoment(back, utc));
            }
        }
    }
}

TEST(DateUtils, DaylightSavingGap)
{
    ScopedTimeZone zone("Europe/Berlin");
    // 2021-03-28 02:00-03:00 does not exist in Berlin.
    EXPECT_TRUE(IsInvalidTime(DT(2021, 3, 28, 2, 30)));
    EXPECT_FALSE(IsInvalidTime(DT(2021, 3, 28, 3, 0)));
    EXPECT_FALSE(IsInvalidTime(DT(2021, 10, 31, 2, 30))); // repeated, not missing
    // A time in the gap is read as the clocks moved: 02:30 "winter" is 01:30 UTC.
    EXPECT_TRUE(SameMoment(RwLocalToUTC(DT(2021, 3, 28, 2, 30)), DT(2021, 3, 28, 1, 30)));

    struct Row
    {
        const char *name;
        TDateTime start;
        bool hours;
        qint64 count;
        TDateTime expected;
    };
    const Row rows[] = {
        {"hour into the gap", DT(2021, 3, 28, 1, 30), true, 1, DT(2021, 3, 28, 3, 30)},
        {"minute into the gap", DT(2021, 3, 28, 1, 59), false, 1, DT(2021, 3, 28, 3, 0)},
        {"hour past the gap", DT(2021, 3, 28, 1, 30), true, 2, DT(2021, 3, 28, 3, 30)},
        {"hour on a normal day", DT(2021, 3, 27, 1, 30), true, 1, DT(2021, 3, 27, 2, 30)},
        {"backwards into the gap", DT(2021, 3, 28, 4, 15), true, -2, DT(2021, 3, 28, 3, 15)},
        {"many minutes", DT(2021, 3, 27, 23, 0), false, 24 * 60, DT(2021, 3, 28, 23, 0)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const TDateTime r = row.hours ? IncHourLocal(row.start, row.count) : IncMinuteLocal(row.start, row.count);
        EXPECT_TRUE(SameMoment(r, row.expected));
    }
}

TEST(DateUtils, CompactStamps)
{
    const TDateTime def = -7;
    struct Row
    {
        const char *text;
        TDateTime expected;
    };
    const Row rows[] = {
        {"20210304T050607", DT(2021, 3, 4, 5, 6, 7)},
        {"20210304", DT(2021, 3, 4)},
        {"20210304T05", DT(2021, 3, 4, 5)},
        {"20210304X050607", DT(2021, 3, 4)},
        {"2021", def},
        {"", def},
        {"20211304", def},
        {"20210230", def},
        {"2021030x", def},
        {"00000304", def},
        {"20210304T250000", def},
        {"20210304T0561", def},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_TRUE(SameMoment(StrYYYYMMDDToDateDef(QString::fromLatin1(row.text), def), row.expected));
    }
}

TEST(DateUtils, IsoTexts)
{
    EXPECT_EQ(DateToISOStr(DT(2021, 3, 4, 5, 6, 7)), QStringLiteral("2021-03-04"));
    EXPECT_EQ(TimeToISOStr(DT(2021, 3, 4, 17, 6, 7)), QStringLiteral("17:06:07"));
    EXPECT_EQ(DateTimeToISOStr(DT(2021, 3, 4, 17, 6, 7)), QStringLiteral("2021-03-04 17:06:07"));
    EXPECT_EQ(DateTimeToISOStr(DT(2021, 3, 4)), QStringLiteral("2021-03-04"));

    EXPECT_TRUE(SameMoment(ISODateToDateTime(QStringLiteral("2021-03-04")), DT(2021, 3, 4)));
    EXPECT_TRUE(SameMoment(ISOTimeToDateTime(QStringLiteral("17:06:07")), EncodeTime(17, 6, 7, 0)));
    EXPECT_TRUE(SameMoment(ISODateTimeToDateTime(QStringLiteral("2021-03-04 17:06:07")), DT(2021, 3, 4, 17, 6, 7)));
    for (TDateTime v : {DT(2021, 3, 4, 17, 6, 7), DT(1999, 12, 31), DT(2000, 2, 29, 23, 59, 59)})
        EXPECT_TRUE(SameMoment(ISODateTimeToDateTime(DateTimeToISOStr(v)), v));

    EXPECT_TRUE(IsISODate(QStringLiteral("2021-03-04")));
    EXPECT_FALSE(IsISODate(QStringLiteral("2021-13-04")));
    EXPECT_FALSE(IsISODate(QStringLiteral("yesterday")));
    EXPECT_TRUE(IsISOTime(QStringLiteral("05:06:07")));
    EXPECT_FALSE(IsISOTime(QStringLiteral("25:06:07")));
    EXPECT_TRUE(IsISODateTime(QStringLiteral("2021-03-04 05:06:07")));
    EXPECT_FALSE(IsISODateTime(QStringLiteral("2021-03-04 05:61:07")));
    EXPECT_THROW(ISODateToDateTime(QStringLiteral("2021-02-30")), EConvertError);
    EXPECT_THROW(ISOTimeToDateTime(QStringLiteral("noon")), EConvertError);
}

TEST(DateUtils, Ranges)
{
    EXPECT_TRUE(SameMoment(CorrectEndDate(DT(2021, 3, 4)), DT(2021, 3, 4, 23, 59, 59, 999)));
    EXPECT_EQ(CorrectEndDate(DT(2021, 3, 4, 0, 0, 1)), DT(2021, 3, 4, 0, 0, 1));
    EXPECT_TRUE(SameMoment(CorrectEndDate(DT(1850, 3, 4)), DT(1850, 3, 4, 23, 59, 59, 999)));

    const TDateTime from = DT(2021, 3, 1), to = DT(2021, 3, 4);
    struct Row
    {
        const char *name;
        TDateTime from, to, date;
        bool expected;
    };
    const Row rows[] = {
        {"last moment of the end day", from, to, DT(2021, 3, 4, 23, 59, 59), true},
        {"day after the end", from, to, DT(2021, 3, 5), false},
        {"start itself", from, to, from, true},
        {"before the start", from, to, DT(2021, 2, 28, 23, 59), false},
        {"only a start", from, 0 + MinDateTime, DT(2999, 1, 1), true},
        {"only a start, before it", from, MinDateTime, DT(2021, 2, 1), false},
        {"only an end", MinDateTime, to, DT(1, 1, 2), true},
        {"only an end, after it", MinDateTime, to, DT(2021, 3, 5), false},
        {"no bounds", MinDateTime, MinDateTime, DT(2021, 3, 2), false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsDateInRange(row.from, row.to, row.date), row.expected);
    }
}

TEST(DateUtils, DateRangeBetween)
{
    struct Row
    {
        TDateTime first, last;
        int days, months, years;
    };
    const Row rows[] = {
        {DT(2021, 1, 1), DT(2021, 1, 31), 0, 1, 0},
        {DT(2021, 2, 1), DT(2021, 3, 31), 0, 2, 0},
        {DT(2021, 1, 15), DT(2021, 2, 14), 0, 1, 0},
        {DT(2021, 1, 1), DT(2021, 1, 10), 10, 0, 0},
        {DT(2020, 1, 1), DT(2020, 12, 31), 0, 0, 1},
        {DT(2021, 3, 4), DT(2021, 3, 4), 0, 0, 0},
        {DT(2021, 3, 5), DT(2021, 3, 4), 0, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(DateToISOStr(row.first).toStdString() + " .. " + DateToISOStr(row.last).toStdString());
        int d = -1, m = -1, y = -1;
        GetDateRangeBetween(row.first, row.last, d, m, y);
        EXPECT_EQ(d, row.days);
        EXPECT_EQ(m, row.months);
        EXPECT_EQ(y, row.years);
    }
}
