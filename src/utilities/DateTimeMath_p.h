//
//  W A R N I N G
//  -------------
// Not part of the library's API: linear millisecond arithmetic on TDateTime,
// shared by the utilities' date and file-time code.
#pragma once

#include <ZorCompCore/platform/DateTime.h>

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>

namespace zor::detail {

constexpr qint64 kMSecsPerDay = 86400000;

// Milliseconds since 1899-12-30 00:00 on a straight line. A TDateTime before
// that day keeps its time of day as a positive fraction (-1.25 is 06:00 of the
// day before), so the day and the time are taken apart first.
inline qint64 ToMSecs(TDateTime dt)
{
    const double days = std::trunc(dt);
    const double frac = std::fabs(dt - days);
    return qint64(days) * kMSecsPerDay + std::llround(frac * kMSecsPerDay);
}

inline TDateTime FromMSecs(qint64 ms)
{
    qint64 day = ms / kMSecsPerDay;
    qint64 rem = ms % kMSecsPerDay;
    if (rem < 0) {
        --day;
        rem += kMSecsPerDay;
    }
    const double frac = double(rem) / kMSecsPerDay;
    return day >= 0 ? double(day) + frac : double(day) - frac;
}

inline QDate BaseDate()
{
    return QDate(1899, 12, 30);
}

// Wall-clock fields of a TDateTime as a QDate/QTime pair.
inline void ToDateAndTime(TDateTime dt, QDate &date, QTime &time)
{
    const qint64 ms = ToMSecs(dt);
    qint64 day = ms / kMSecsPerDay;
    qint64 rem = ms % kMSecsPerDay;
    if (rem < 0) {
        --day;
        rem += kMSecsPerDay;
    }
    date = BaseDate().addDays(day);
    time = QTime::fromMSecsSinceStartOfDay(int(rem));
}

inline TDateTime FromDateAndTime(const QDate &date, const QTime &time)
{
    return FromMSecs(BaseDate().daysTo(date) * kMSecsPerDay + time.msecsSinceStartOfDay());
}

} // namespace zor::detail
