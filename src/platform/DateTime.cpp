#include "DateTime.h"

#include "Exception.h"

#include <QTimeZone>
#include <cmath>
#include <limits>

namespace zor {

namespace {

constexpr qint64 kMSecsPerDay = 86400000;
// Day number (1 = 0001-01-01) of 1970-01-01.
constexpr qint64 kUnixDayNumber = 719163;
constexpr double kUnixDateDelta = 25569.0; // 1970-01-01 as a TDateTime

// Days since 1970-01-01 of a proleptic Gregorian date (Hinnant's algorithm).
constexpr qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

constexpr void civilFromDays(qint64 z, int &y, int &m, int &d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(qint64(yoe) + era * 400 + (m <= 2));
}

// Splits a TDateTime into the day number (1 = 0001-01-01) and the
// milliseconds of the day. The time is counted forward from midnight even for
// negative values, whose integer part alone names the day.
bool split(TDateTime dt, qint64 &dayNumber, qint64 &msOfDay)
{
    if (!std::isfinite(dt) || dt < MinDateTime - 1.0 || dt > MaxDateTime + 1.0)
        return false;
    const double whole = std::trunc(dt);
    dayNumber = DateDelta + qint64(whole);
    msOfDay = std::llround(std::fabs(dt - whole) * MSecsPerDay);
    if (msOfDay >= kMSecsPerDay) { // rounds up to the next midnight
        msOfDay -= kMSecsPerDay;
        ++dayNumber;
    }
    return true;
}

TDateTime combine(TDateTime date, TDateTime time)
{
    return date < 0 ? date - time : date + time;
}

// A straight-line day count (midnight 1899-12-30 = 0) and back: negative
// TDateTime values do not run linearly through their fraction.
double toLinear(TDateTime dt)
{
    const double whole = std::trunc(dt);
    return whole + std::fabs(dt - whole);
}

TDateTime fromLinear(double days)
{
    const double day = std::floor(days);
    const double frac = days - day;
    return day < 0 && frac > 0 ? day - frac : day + frac;
}

TDateTime fromFields(const QDate &date, const QTime &time)
{
    TDateTime d = 0, t = 0;
    if (!TryEncodeDate(date.year(), date.month(), date.day(), d))
        return 0.0;
    if (time.isValid())
        TryEncodeTime(time.hour(), time.minute(), time.second(), time.msec(), t);
    return combine(d, t);
}

} // namespace

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInAMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime &out)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month))
        return false;
    out = double(daysFromCivil(year, unsigned(month), unsigned(day)) + kUnixDayNumber - DateDelta);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime &out)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    out = double(qint64(hour) * 3600000 + min * 60000 + sec * 1000 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime r;
    if (!TryEncodeTime(hour, min, sec, msec, r))
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return r;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec)
{
    return combine(EncodeDate(year, month, day), EncodeTime(hour, min, sec, msec));
}

void DecodeDate(TDateTime dt, int &year, int &month, int &day)
{
    qint64 dayNumber, ms;
    if (!split(dt, dayNumber, ms) || dayNumber <= 0) {
        year = month = day = 0;
        return;
    }
    civilFromDays(dayNumber - kUnixDayNumber, year, month, day);
}

void DecodeTime(TDateTime dt, int &hour, int &min, int &sec, int &msec)
{
    qint64 dayNumber, ms;
    if (!split(dt, dayNumber, ms))
        ms = 0;
    hour = int(ms / 3600000);
    min = int(ms / 60000 % 60);
    sec = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

void DecodeDateTime(TDateTime dt, int &year, int &month, int &day, int &hour, int &min, int &sec, int &msec)
{
    DecodeDate(dt, year, month, day);
    DecodeTime(dt, hour, min, sec, msec);
}

int DayOfWeek(TDateTime dt)
{
    qint64 dayNumber, ms;
    if (!split(dt, dayNumber, ms) || dayNumber <= 0)
        return 0;
    return int(dayNumber % 7) + 1;
}

TDateTime DateOf(TDateTime dt)
{
    qint64 dayNumber, ms;
    if (!split(dt, dayNumber, ms))
        return std::trunc(dt);
    return double(dayNumber - DateDelta);
}

TDateTime TimeOf(TDateTime dt)
{
    qint64 dayNumber, ms;
    if (!split(dt, dayNumber, ms))
        return 0.0;
    return double(ms) / MSecsPerDay;
}

TDateTime Now()
{
    return QDateTimeToDateTime(QDateTime::currentDateTime());
}

TDateTime Date()
{
    return DateOf(Now());
}

TDateTime Time()
{
    return TimeOf(Now());
}

TDateTime NowUTC()
{
    return QDateTimeToDateTime(QDateTime::currentDateTimeUtc());
}

QDateTime DateTimeToQDateTime(TDateTime dt, const QTimeZone &zone)
{
    int y, m, d, h, n, s, z;
    DecodeDateTime(dt, y, m, d, h, n, s, z);
    if (y == 0)
        return {};
    return QDateTime(QDate(y, m, d), QTime(h, n, s, z), zone);
}

QDateTime DateTimeToQDateTime(TDateTime dt)
{
    return DateTimeToQDateTime(dt, QTimeZone::systemTimeZone());
}

TDateTime QDateTimeToDateTime(const QDateTime &dt)
{
    if (!dt.isValid())
        return 0.0;
    return fromFields(dt.date(), dt.time());
}

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime dt)
{
    int y, m, d, h, n, s, z;
    DecodeDateTime(dt, y, m, d, h, n, s, z);
    TSQLTimeStamp ts;
    ts.Year = qint16(y);
    ts.Month = quint16(m);
    ts.Day = quint16(d);
    ts.Hour = quint16(h);
    ts.Minute = quint16(n);
    ts.Second = quint16(s);
    ts.Fractions = quint32(z);
    return ts;
}

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp &ts)
{
    if (ts == TSQLTimeStamp())
        return 0.0;
    // Fractions are milliseconds; larger values carry no meaning here
    return combine(EncodeDate(ts.Year, ts.Month, ts.Day),
                   EncodeTime(ts.Hour, ts.Minute, ts.Second, int(ts.Fractions)));
}

TSystemTime DateTimeToSystemTime(TDateTime dt)
{
    int y, m, d, h, n, s, z;
    DecodeDateTime(dt, y, m, d, h, n, s, z);
    TSystemTime st;
    st.wYear = quint16(y);
    st.wMonth = quint16(m);
    st.wDay = quint16(d);
    const int dow = DayOfWeek(dt);
    st.wDayOfWeek = quint16(dow > 0 ? dow - 1 : 0);
    st.wHour = quint16(h);
    st.wMinute = quint16(n);
    st.wSecond = quint16(s);
    st.wMilliseconds = quint16(z);
    return st;
}

TDateTime SystemTimeToDateTime(const TSystemTime &st)
{
    return combine(EncodeDate(st.wYear, st.wMonth, st.wDay),
                   EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds));
}

TDateTime UnixToDateTime(qint64 secs)
{
    // Whole days and seconds kept apart so that large values lose no second.
    qint64 days = secs / 86400, rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    return fromLinear(double(days) + kUnixDateDelta + double(rest) / 86400.0);
}

qint64 DateTimeToUnix(TDateTime dt)
{
    qint64 dayNumber, ms;
    if (!split(dt, dayNumber, ms)) {
        if (!std::isfinite(dt))
            return 0;
        const double secs = (toLinear(dt) - kUnixDateDelta) * 86400.0;
        // beyond year 9999: saturate rather than overflow
        if (std::fabs(secs) >= 9.2e18)
            return secs < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        return qint64(std::llround(secs));
    }
    const qint64 days = dayNumber - kUnixDayNumber;
    const qint64 msTotal = days * kMSecsPerDay + ms;
    // round to the nearest second, halves away from zero
    return msTotal >= 0 ? (msTotal + 500) / 1000 : -((-msTotal + 500) / 1000);
}

} // namespace zor
