// The BASIC family's own library functions: where its runtime differs from
// the Object Pascal one in argument order (InStr), in meaning (Int floors,
// Round takes digits) or has no counterpart (Split, DateAdd, CInt).
#include <ZorCompCore/script/Library_p.h>
#include <ZorCompCore/script/Runtime_p.h>

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/Variant.h>

#include <QDateTime>

#include <cmath>

namespace zor::script::lib {

namespace {

[[noreturn]] void invalidArgument()
{
    throw EArgumentException(QStringLiteral("Invalid procedure call or argument"));
}

[[noreturn]] void typeMismatch()
{
    throw EVariantTypeCastError(QStringLiteral("Type mismatch"));
}

// Compare argument: 0 binary (the default), 1 text.
Qt::CaseSensitivity compareMode(Args a, int n, int index)
{
    return n > index && integer(a, index) == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive;
}

// Bool counts -1 in this family's arithmetic, as in its comparisons.
double number(const Value &v)
{
    if (v.k == VK::Null)
        throw EVariantTypeCastError(QStringLiteral("Invalid use of Null"));
    return v.ToDouble();
}

qint64 roundedIn(const Value &v, double low, double high)
{
    const double r = roundHalfEven(number(v));
    if (!(r >= low && r <= high))
        throw EOverflow(QStringLiteral("Overflow"));
    return qint64(r);
}

} // namespace

// InStr([Start,] S, SubStr[, Compare])
Value fnInStr(Args a, int n)
{
    qint64 start = 1;
    int s = 0;
    if (n >= 3) {
        start = integer(a, 0);
        s = 1;
    }
    if (start < 1)
        invalidArgument();
    const QString text = str(a, s), sub = str(a, s + 1);
    if (start > text.size())
        return Value(qint64(0));
    return Value(qint64(text.indexOf(sub, qsizetype(start - 1), compareMode(a, n, 3)) + 1));
}

// InStrRev(S, SubStr[, Start[, Compare]]): searches Left(S, Start).
Value fnInStrRev(Args a, int n)
{
    const QString text = str(a, 0), sub = str(a, 1);
    qint64 start = n > 2 ? integer(a, 2) : -1;
    if (start == -1)
        start = text.size();
    if (start < 1 && start != -1)
        invalidArgument();
    if (start > text.size())
        return Value(qint64(0));
    if (sub.isEmpty())
        return Value(start);
    const QString head = text.left(qsizetype(start));
    return Value(qint64(head.lastIndexOf(sub, -1, compareMode(a, n, 3)) + 1));
}

// Replace(S, Find, With[, Start[, Count[, Compare]]]): the result begins at Start.
Value fnReplace(Args a, int n)
{
    const QString text = str(a, 0), find = str(a, 1), with = str(a, 2);
    const qint64 start = n > 3 ? integer(a, 3) : 1;
    qint64 count = n > 4 ? integer(a, 4) : -1;
    if (start < 1 || count < -1)
        invalidArgument();
    if (start > text.size())
        return Value(QString());
    QString rest = text.mid(qsizetype(start - 1));
    if (find.isEmpty() || count == 0)
        return Value(rest);
    const Qt::CaseSensitivity cs = compareMode(a, n, 5);
    QString out;
    qsizetype from = 0;
    for (qsizetype at; count != 0 && (at = rest.indexOf(find, from, cs)) >= 0; --count) {
        out += QStringView(rest).mid(from, at - from);
        out += with;
        checkLength(out.size());
        from = at + find.size();
    }
    out += QStringView(rest).mid(from);
    return Value(out);
}

Value fnSpace(Args a, int)
{
    const qint64 count = integer(a, 0);
    if (count < 0)
        invalidArgument();
    checkLength(count);
    return Value(QString(qsizetype(count), u' '));
}

Value fnSplit(Args a, int n)
{
    const QString text = str(a, 0);
    const QString delim = n > 1 ? str(a, 1) : QStringLiteral(" ");
    const qint64 limit = n > 2 ? integer(a, 2) : -1;
    if (limit < -1)
        invalidArgument();
    QStringList parts;
    if (text.isEmpty() || limit == 0) {
        // no elements: UBound is -1
    } else if (delim.isEmpty()) {
        parts << text;
    } else {
        const Qt::CaseSensitivity cs = compareMode(a, n, 3);
        qsizetype from = 0;
        for (;;) {
            const qsizetype at = limit != -1 && parts.size() + 1 >= limit ? -1 : text.indexOf(delim, from, cs);
            if (at < 0) {
                parts << text.mid(from);
                break;
            }
            parts << text.mid(from, at - from);
            from = at + delim.size();
        }
    }
    CheckSize(parts.size() * qsizetype(sizeof(Value)));
    Value r = Value::NewArray(0, int(parts.size()) - 1);
    ArrayBox *box = r.MutableArray();
    for (qsizetype i = 0; i < parts.size(); ++i)
        box->Items[size_t(i)] = Value(parts[i]);
    return r;
}

Value fnJoin(Args a, int n)
{
    const ArrayBox *arr = a[0]->Array();
    if (!arr)
        typeMismatch();
    const QString delim = n > 1 ? str(a, 1) : QStringLiteral(" ");
    QString out;
    for (size_t i = 0; i < arr->Items.size(); ++i) {
        if (i)
            out += delim;
        out += arr->Items[i].ToString();
        checkLength(out.size());
    }
    return Value(out);
}

// Format(Value[, Fmt]); Format(Fmt, Args) with an array as the other
// syntaxes have it, so scripts written against the shared library still run.
Value fnFormatBasic(Args a, int n)
{
    if (n == 2 && a[1]->Array())
        return fnFormat(a, n);
    const Value &v = *a[0];
    const QString fmt = n > 1 ? str(a, 1) : QString();
    if (fmt.isEmpty() || v.k == VK::Null || v.k == VK::Empty)
        return Value(v.ToString());
    const QString named = fmt.toLower();
    auto num = [&v] { return number(v); };
    if (named == u"general number")
        return Value(zor::FloatToStr(num()));
    if (named == u"fixed")
        return Value(zor::FormatFloat(QStringLiteral("0.00"), num()));
    if (named == u"standard")
        return Value(zor::FormatFloat(QStringLiteral("#,##0.00"), num()));
    if (named == u"percent")
        return Value(zor::FormatFloat(QStringLiteral("0.00"), num() * 100) + u'%');
    if (named == u"yes/no" || named == u"true/false" || named == u"on/off") {
        const bool on = num() != 0;
        const QStringList words = fmt.split(u'/');
        return Value(on ? words[0] : words[1]);
    }
    const bool isDate = v.k == VK::Date;
    auto date = [&v] { return v.k == VK::Str ? zor::StrToDateTime(v.s) : v.ToDouble(); };
    if (named == u"short date")
        return Value(zor::DateToStr(date()));
    if (named == u"long date")
        return Value(zor::FormatDateTime(QStringLiteral("dddddd"), date()));
    if (named == u"short time")
        return Value(zor::FormatDateTime(QStringLiteral("hh:nn"), date()));
    if (named == u"long time")
        return Value(zor::TimeToStr(date()));
    if (isDate)
        return Value(zor::FormatDateTime(fmt, v.d));
    double d;
    if (v.k == VK::Str && !zor::TryStrToFloat(v.s.trimmed(), d))
        return Value(v.s); // text without a number in it stays as it is
    return Value(zor::FormatFloat(fmt, num()));
}

// FormatNumber(Value[, Digits[, LeadingDigit[, Parens[, Group]]]]); the last
// three are tri-states: -1 yes, 0 no, -2 the default.
Value fnFormatNumber(Args a, int n)
{
    const double v = number(*a[0]);
    qint64 digits = n > 1 ? integer(a, 1) : -1;
    if (digits == -1)
        digits = 2;
    if (digits < 0 || digits > 20)
        invalidArgument();
    const qint64 leading = n > 2 ? integer(a, 2) : -2;
    const qint64 parens = n > 3 ? integer(a, 3) : -2;
    const qint64 group = n > 4 ? integer(a, 4) : -2;
    QString pattern = group == 0 ? QStringLiteral("0") : QStringLiteral("#,##0");
    if (digits > 0)
        pattern += u'.' + QString(qsizetype(digits), u'0');
    const bool negative = v < 0 && zor::FormatFloat(pattern, -v) != zor::FormatFloat(pattern, 0.0);
    QString text = zor::FormatFloat(pattern, std::fabs(v));
    if (leading == 0 && text.startsWith(u'0') && text.size() > 1 && !text[1].isDigit())
        text.remove(0, 1);
    if (negative)
        text = parens == -1 ? u'(' + text + u')' : u'-' + text;
    return Value(text);
}

Value fnIntFloor(Args a, int)
{
    if (a[0]->k == VK::Int)
        return *a[0];
    return Value(std::floor(number(*a[0])));
}

Value fnRoundDigits(Args a, int n)
{
    const double v = number(*a[0]);
    if (n < 2)
        return Value(checkedInt(roundHalfEven(v)));
    const qint64 digits = integer(a, 1);
    if (digits < 0 || digits > 15)
        invalidArgument();
    const double scale = std::pow(10.0, double(digits));
    return Value(roundHalfEven(v * scale) / scale);
}

Value fnRnd(Args, int) { return Value(randomUnit()); }
Value fnCInt(Args a, int) { return Value(roundedIn(*a[0], -32768, 32767)); }
Value fnCLng(Args a, int) { return Value(roundedIn(*a[0], -2147483648.0, 2147483647.0)); }
Value fnCDbl(Args a, int) { return Value(number(*a[0])); }

Value fnCBool(Args a, int)
{
    if (a[0]->k == VK::Null)
        throw EVariantTypeCastError(QStringLiteral("Invalid use of Null"));
    return Value(a[0]->ToBool());
}

Value fnCDate(Args a, int)
{
    switch (a[0]->k) {
    case VK::Date: return *a[0];
    case VK::Str: {
        const QString text = a[0]->s.trimmed();
        double d;
        if (zor::TryStrToDateTime(text, d))
            return Value::Date(d);
        // ISO 8601 dates, with a time after a blank or a T
        for (const char *format : {"yyyy-MM-dd", "yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm",
                                   "yyyy-MM-ddTHH:mm:ss"}) {
            const QDateTime iso = QDateTime::fromString(text, QLatin1String(format));
            if (iso.isValid())
                return Value::Date(zor::QDateTimeToDateTime(iso));
        }
        return Value::Date(zor::StrToDateTime(text)); // raises the runtime's conversion error
    }
    case VK::Int: case VK::Double: return Value::Date(a[0]->ToDouble());
    default: typeMismatch();
    }
}

// Two-digit years mean 1930-2029; months and days out of range carry over.
Value fnDateSerial(Args a, int)
{
    qint64 year = integer(a, 0);
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    const qint64 months = year * 12 + integer(a, 1) - 1;
    const qint64 day = integer(a, 2);
    if (months < 12 || months >= 10000 * 12 || day < -4000000 || day > 4000000)
        invalidArgument();
    const double first = zor::EncodeDate(int(months / 12), int(months % 12) + 1, 1);
    const double d = first + double(day - 1);
    if (d < MinDateTime || d > MaxDateTime)
        invalidArgument();
    return Value::Date(d);
}

namespace {

enum class Interval { Year, Quarter, Month, Day, Week, WeekOfYear, Hour, Minute, Second };

Interval interval(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"yyyy") return Interval::Year;
    if (t == u"q") return Interval::Quarter;
    if (t == u"m") return Interval::Month;
    if (t == u"d" || t == u"y") return Interval::Day;
    if (t == u"w") return Interval::Week;
    if (t == u"ww") return Interval::WeekOfYear;
    if (t == u"h") return Interval::Hour;
    if (t == u"n") return Interval::Minute;
    if (t == u"s") return Interval::Second;
    invalidArgument();
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Whole seconds since the epoch of dates; the day before it counts backward
// but its time of day forward.
qint64 seconds(double dt)
{
    const double day = std::trunc(dt);
    return qint64(day) * 86400 + qint64(std::llround(std::fabs(dt - day) * 86400));
}

} // namespace

Value fnDateAdd(Args a, int)
{
    const Interval unit = interval(str(a, 0));
    const qint64 count = checkedInt(std::trunc(number(*a[1])));
    const double d = real(a, 2);
    if (count > 100'000'000'000LL || count < -100'000'000'000LL)
        invalidArgument();
    double r = 0;
    switch (unit) {
    case Interval::Year:
        if (count > 10000 || count < -10000)
            invalidArgument();
        r = addMonths(d, count * 12);
        break;
    case Interval::Quarter: r = addMonths(d, count * 3); break;
    case Interval::Month: r = addMonths(d, count); break;
    case Interval::Day: case Interval::Week: r = d + double(count); break;
    case Interval::WeekOfYear: r = d + 7.0 * double(count); break;
    case Interval::Hour: r = d + double(count) / 24.0; break;
    case Interval::Minute: r = d + double(count) / 1440.0; break;
    case Interval::Second: r = d + double(count) / 86400.0; break;
    }
    if (!(r >= MinDateTime && r <= MaxDateTime))
        invalidArgument();
    return Value::Date(r);
}

Value fnDateDiff(Args a, int)
{
    const Interval unit = interval(str(a, 0));
    const double d1 = real(a, 1), d2 = real(a, 2);
    int y1, m1, dd1, y2, m2, dd2;
    zor::DecodeDate(d1, y1, m1, dd1);
    zor::DecodeDate(d2, y2, m2, dd2);
    const qint64 day1 = qint64(std::trunc(d1)), day2 = qint64(std::trunc(d2));
    switch (unit) {
    case Interval::Year: return Value(qint64(y2 - y1));
    case Interval::Quarter: return Value(qint64((y2 * 4 + (m2 - 1) / 3) - (y1 * 4 + (m1 - 1) / 3)));
    case Interval::Month: return Value(qint64((y2 * 12 + m2) - (y1 * 12 + m1)));
    case Interval::Day: return Value(day2 - day1);
    case Interval::Week: return Value((day2 - day1) / 7);
    case Interval::WeekOfYear: {
        // Sundays crossed: weeks start on Sunday
        const qint64 w1 = day1 - (zor::DayOfWeek(d1) - 1), w2 = day2 - (zor::DayOfWeek(d2) - 1);
        return Value((w2 - w1) / 7);
    }
    case Interval::Hour: return Value(floorDiv(seconds(d2), 3600) - floorDiv(seconds(d1), 3600));
    case Interval::Minute: return Value(floorDiv(seconds(d2), 60) - floorDiv(seconds(d1), 60));
    case Interval::Second: return Value(seconds(d2) - seconds(d1));
    }
    return Value(qint64(0));
}

Value fnIsNumeric(Args a, int)
{
    switch (a[0]->k) {
    case VK::Int: case VK::Double: case VK::Bool: case VK::Empty: return Value(true);
    case VK::Str: {
        double d;
        const QString t = a[0]->s.trimmed();
        return Value(!t.isEmpty() && zor::TryStrToFloat(t, d));
    }
    default: return Value(false);
    }
}

Value fnIsArray(Args a, int) { return Value(a[0]->Array() != nullptr); }
Value fnVarTypeBasic(Args a, int) { return Value(varTypeCode(*a[0], varOleStr)); }

namespace {

const ArrayBox *dimension(Args a, int n)
{
    const ArrayBox *arr = a[0]->Array();
    if (!arr)
        typeMismatch();
    const qint64 dim = n > 1 ? integer(a, 1) : 1;
    if (dim < 1)
        throw ERangeError(QStringLiteral("Subscript out of range"));
    for (qint64 i = 1; i < dim; ++i) {
        arr = arr->Items.empty() ? nullptr : arr->Items.front().Array();
        if (!arr)
            throw ERangeError(QStringLiteral("Subscript out of range"));
    }
    return arr;
}

} // namespace

Value fnUBound(Args a, int n)
{
    const ArrayBox *arr = dimension(a, n);
    return Value(qint64(arr->Low) + qint64(arr->Items.size()) - 1);
}

Value fnLBound(Args a, int n) { return Value(qint64(dimension(a, n)->Low)); }

} // namespace zor::script::lib
