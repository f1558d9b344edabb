// Library functions on dates and times.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/SysUtils.h>

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

} // namespace zor::script::lib
