// Library functions on dates and times.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <algorithm>

namespace zor::script::lib {

Value fnNow(Args, int) { return Value::Date(zor::Now()); }
Value fnDate(Args, int) { return Value::Date(zor::Date()); }
Value fnTime(Args, int) { return Value::Date(zor::Time()); }

Value fnEncodeDate(Args a, int)
{
    return Value::Date(zor::EncodeDate(int(integer(a, 0)), int(integer(a, 1)), int(integer(a, 2))));
}

Value fnEncodeTime(Args a, int)
{
    return Value::Date(zor::EncodeTime(int(integer(a, 0)), int(integer(a, 1)), int(integer(a, 2)),
                                       int(integer(a, 3))));
}

Value fnDecodeDate(Args a, int)
{
    int y, m, d;
    zor::DecodeDate(real(a, 0), y, m, d);
    *a[1] = Value(y);
    *a[2] = Value(m);
    *a[3] = Value(d);
    return Value();
}

Value fnDateToStr(Args a, int) { return Value(zor::DateToStr(real(a, 0))); }
Value fnDateTimeToStr(Args a, int) { return Value(zor::DateTimeToStr(real(a, 0))); }
Value fnStrToDate(Args a, int) { return Value::Date(zor::StrToDate(str(a, 0))); }
Value fnFormatDateTime(Args a, int) { return Value(zor::FormatDateTime(str(a, 0), real(a, 1))); }

Value fnTimeToStr(Args a, int) { return Value(zor::TimeToStr(real(a, 0))); }
Value fnStrToDateTime(Args a, int) { return Value::Date(zor::StrToDateTime(str(a, 0))); }

Value fnDecodeTime(Args a, int)
{
    int h, m, s, ms;
    zor::DecodeTime(real(a, 0), h, m, s, ms);
    *a[1] = Value(h);
    *a[2] = Value(m);
    *a[3] = Value(s);
    *a[4] = Value(ms);
    return Value();
}

namespace {

struct Parts
{
    int Year, Month, Day, Hour, Min, Sec, MSec;
};

Parts parts(Args a)
{
    Parts p;
    zor::DecodeDateTime(real(a, 0), p.Year, p.Month, p.Day, p.Hour, p.Min, p.Sec, p.MSec);
    return p;
}

} // namespace

Value fnYearOf(Args a, int) { return Value(parts(a).Year); }
Value fnMonthOf(Args a, int) { return Value(parts(a).Month); }
Value fnDayOf(Args a, int) { return Value(parts(a).Day); }
Value fnHourOf(Args a, int) { return Value(parts(a).Hour); }
Value fnMinuteOf(Args a, int) { return Value(parts(a).Min); }
Value fnSecondOf(Args a, int) { return Value(parts(a).Sec); }
Value fnDayOfWeek(Args a, int) { return Value(zor::DayOfWeek(real(a, 0))); }
Value fnIsLeapYear(Args a, int) { return Value(zor::IsLeapYear(int(integer(a, 0)))); }

double addMonths(double dt, qint64 months)
{
    int y, m, d;
    zor::DecodeDate(dt, y, m, d);
    const qint64 total = qint64(y) * 12 + (m - 1) + months;
    if (total < 12 || total >= 10000 * 12)
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    const int ny = int(total / 12), nm = int(total % 12) + 1;
    const int nd = std::min(d, zor::DaysInAMonth(ny, nm));
    // keep the time of day; the date part moves
    return zor::EncodeDate(ny, nm, nd) + (dt - zor::DateOf(dt));
}

Value fnIncDay(Args a, int n)
{
    const double days = n > 1 ? real(a, 1) : 1.0;
    return Value::Date(real(a, 0) + days);
}

Value fnIncMonth(Args a, int n) { return Value::Date(addMonths(real(a, 0), n > 1 ? integer(a, 1) : 1)); }

Value fnIncYear(Args a, int n)
{
    const qint64 years = n > 1 ? integer(a, 1) : 1;
    if (years > 10000 || years < -10000)
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return Value::Date(addMonths(real(a, 0), years * 12));
}

} // namespace zor::script::lib
