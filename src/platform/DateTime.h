// TDateTime: days since 1899-12-30 00:00 as a double, the time of day as the
// fraction. Negative values count days before that date with the fraction
// still giving the time forward from midnight (-1.25 is 1899-12-29 06:00).
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QDateTime>
#include <QString>

namespace zor {

using TDateTime = double;

constexpr TDateTime MinDateTime = -693593.0;           // 0001-01-01 00:00:00
constexpr TDateTime MaxDateTime = 2958465.99999999;    // 9999-12-31 23:59:59.999
constexpr double MSecsPerDay = 86400000.0;
constexpr int DateDelta = 693594;                      // days from 0001-01-01 to 1899-12-31

struct TSQLTimeStamp
{
    qint16 Year = 0;
    quint16 Month = 0;
    quint16 Day = 0;
    quint16 Hour = 0;
    quint16 Minute = 0;
    quint16 Second = 0;
    quint32 Fractions = 0; // milliseconds
    friend bool operator==(const TSQLTimeStamp &, const TSQLTimeStamp &) = default;
};

struct TSystemTime
{
    quint16 wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
    quint16 wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
    friend bool operator==(const TSystemTime &, const TSystemTime &) = default;
};

ZOR_EXPORT bool IsLeapYear(int year);
ZOR_EXPORT int DaysInAMonth(int year, int month);
ZOR_EXPORT bool TryEncodeDate(int year, int month, int day, TDateTime &out);
ZOR_EXPORT bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime &out);
// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
ZOR_EXPORT TDateTime EncodeDate(int year, int month, int day);
ZOR_EXPORT TDateTime EncodeTime(int hour, int min, int sec, int msec);
ZOR_EXPORT TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
ZOR_EXPORT void DecodeDate(TDateTime dt, int &year, int &month, int &day);
ZOR_EXPORT void DecodeTime(TDateTime dt, int &hour, int &min, int &sec, int &msec);
ZOR_EXPORT void DecodeDateTime(TDateTime dt, int &year, int &month, int &day,
                               int &hour, int &min, int &sec, int &msec);
// 1 = Sunday … 7 = Saturday.
ZOR_EXPORT int DayOfWeek(TDateTime dt);
ZOR_EXPORT TDateTime DateOf(TDateTime dt);
ZOR_EXPORT TDateTime TimeOf(TDateTime dt);

ZOR_EXPORT TDateTime Now();   // local time
ZOR_EXPORT TDateTime Date();  // today, local
ZOR_EXPORT TDateTime Time();  // time of day, local
ZOR_EXPORT TDateTime NowUTC();

// Local wall-clock conversions (no time zone arithmetic: fields are kept).
ZOR_EXPORT QDateTime DateTimeToQDateTime(TDateTime dt, const QTimeZone &zone);
ZOR_EXPORT QDateTime DateTimeToQDateTime(TDateTime dt); // local time
ZOR_EXPORT TDateTime QDateTimeToDateTime(const QDateTime &dt); // its own wall-clock fields

ZOR_EXPORT TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime dt);
ZOR_EXPORT TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp &ts); // all-zero record -> 0.0
ZOR_EXPORT TSystemTime DateTimeToSystemTime(TDateTime dt);
ZOR_EXPORT TDateTime SystemTimeToDateTime(const TSystemTime &st);

// Unix seconds <-> TDateTime (UTC both sides).
ZOR_EXPORT TDateTime UnixToDateTime(qint64 secs);
ZOR_EXPORT qint64 DateTimeToUnix(TDateTime dt);

} // namespace zor
