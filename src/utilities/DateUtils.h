// Date-time texts: RFC 3339 timestamps (the functions carry "3330" in their
// names for compatibility with existing callers), compact yyyymmdd stamps,
// ISO 8601 dates and times, date ranges and local-time arithmetic.
// Unset values are those not after MinDateTime; they pass through the
// local/UTC conversions unchanged.
#pragma once

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/zor_export.h>

#include <QString>

namespace zor {

// The system time zone's rules at the given instant.
ZOR_EXPORT TDateTime RwLocalToUTC(TDateTime localTime);
ZOR_EXPORT TDateTime RwUTCToLocal(TDateTime utcTime);
// True when the local wall-clock time does not exist (inside a daylight-saving gap).
ZOR_EXPORT bool IsInvalidTime(TDateTime localTime);

// Parses "2021-03-04T05:06:07.123+01:00", "…Z", "2021-03-04" and, when
// allowDottedDate, "04.03.2021". Timestamps give UTC, or local time with toLocal.
ZOR_EXPORT bool TryRFC3330ToDateTime(const QString &text, TDateTime &dateTime,
                                     bool toLocal = false, bool allowDottedDate = true);
// EConvertError "'<text>' is not a valid RFC 3339 timestamp!" on failure.
ZOR_EXPORT TDateTime RFC3330ToDateTime(const QString &text, bool toLocal = false);
ZOR_EXPORT TDateTime RFC3330ToDateTimeDef(const QString &text, bool toLocal, TDateTime defaultValue);
ZOR_EXPORT bool IsRFC3330ToDateTime(const QString &text);
ZOR_EXPORT QString DateTimeToRFC3330(TDateTime dateTime, bool outputUTC = true, bool inputIsUTC = false,
                                     int fractionDigits = 0, bool withOffset = true);

// "20210304" or "20210304T050607"; defaultValue for empty or out-of-range texts.
ZOR_EXPORT TDateTime StrYYYYMMDDToDateDef(const QString &text, TDateTime defaultValue);
ZOR_EXPORT QString DateTimeToYYYYMMDDFmt(TDateTime dateTime, bool withTime = false,
                                         bool outputUTC = false, bool inputIsUTC = false);

ZOR_EXPORT TDateTime UTCToSystemTime(TDateTime dateTime);
ZOR_EXPORT TDateTime SystemTimeToUTC(TDateTime dateTime);

// ISO forms "yyyy-mm-dd", "hh:nn:ss" and "yyyy-mm-dd hh:nn:ss". The conversions
// raise EConvertError; the Is… forms answer whether they would succeed.
ZOR_EXPORT bool IsISODateTime(const QString &text);
ZOR_EXPORT bool IsISODate(const QString &text);
ZOR_EXPORT bool IsISOTime(const QString &text);
ZOR_EXPORT TDateTime ISODateTimeToDateTime(const QString &text);
ZOR_EXPORT TDateTime ISODateToDateTime(const QString &text);
ZOR_EXPORT TDateTime ISOTimeToDateTime(const QString &text);
ZOR_EXPORT QString DateToISOStr(TDateTime dateTime);
ZOR_EXPORT QString TimeToISOStr(TDateTime dateTime);
// Only the date when the time is exactly midnight.
ZOR_EXPORT QString DateTimeToISOStr(TDateTime dateTime);

// A value at exactly midnight becomes 23:59:59.999 of that day, so that an end
// date given without a time includes the whole day.
ZOR_EXPORT TDateTime CorrectEndDate(TDateTime dateTime);
// Unset bounds are open; with neither bound set the answer is false.
ZOR_EXPORT bool IsDateInRange(TDateTime from, TDateTime to, TDateTime date);
// Whole years, months and days covered by first..last, both days included.
ZOR_EXPORT void GetDateRangeBetween(TDateTime first, TDateTime last, int &days, int &months, int &years);

// Add hours/minutes; a result inside a daylight-saving gap moves one hour on.
ZOR_EXPORT TDateTime IncHourLocal(TDateTime dateTime, qint64 count = 1);
ZOR_EXPORT TDateTime IncMinuteLocal(TDateTime dateTime, qint64 count = 1);

} // namespace zor
