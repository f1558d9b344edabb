// The standard library of scripts: strings, numbers, dates, variants,
// Inc/Dec and ShowMessage.
#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Interpreter.h>

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/utilities/QEDialogs.h>

#include <QDebug>
#include <QHash>
#include <cmath>

namespace zor {

std::function<void(const QString &)> fsShowMessageHook;

} // namespace zor

namespace zor::script {

namespace {

struct HandledException
{
    QString Message, ClassName;
};
thread_local std::vector<HandledException> t_handled;

using Args = Value *const *;

QString str(Args a, int i) { return a[i]->ToString(); }
qint64 integer(Args a, int i) { return a[i]->ToInt(); }
double real(Args a, int i) { return a[i]->ToDouble(); }

[[noreturn]] void convertError(const QString &text, const char *what)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(what)));
}

// Strings ------------------------------------------------------------------

Value fnLength(Args a, int)
{
    if (const ArrayBox *arr = a[0]->Array())
        return Value(qint64(arr->Items.size()));
    return Value(qint64(str(a, 0).size()));
}

// Copy(S, Index, Count): 1-based; out-of-range parts are clipped.
Value fnCopy(Args a, int n)
{
    const QString s = str(a, 0);
    qint64 index = integer(a, 1);
    qint64 count = n > 2 ? integer(a, 2) : qint64(s.size());
    if (index < 1)
        index = 1;
    if (index > s.size() || count <= 0)
        return Value(QString());
    count = std::min<qint64>(count, s.size() - index + 1);
    return Value(s.mid(qsizetype(index - 1), qsizetype(count)));
}

Value fnPos(Args a, int) { return Value(qint64(str(a, 1).indexOf(str(a, 0)) + 1)); }
Value fnUpperCase(Args a, int) { return Value(str(a, 0).toUpper()); }
Value fnLowerCase(Args a, int) { return Value(str(a, 0).toLower()); }
Value fnTrim(Args a, int) { return Value(zor::Trim(str(a, 0))); }
Value fnIntToStr(Args a, int) { return Value(QString::number(integer(a, 0))); }

Value fnStrToInt(Args a, int)
{
    const QString s = str(a, 0);
    qint64 v;
    if (!TryStrToInt64(s, v))
        convertError(s, "integer value");
    return Value(v);
}

Value fnStrToIntDef(Args a, int)
{
    qint64 v;
    if (!TryStrToInt64(str(a, 0), v))
        return *a[1];
    return Value(v);
}

Value fnFloatToStr(Args a, int) { return Value(zor::FloatToStr(real(a, 0))); }

Value fnStrToFloat(Args a, int)
{
    const QString s = str(a, 0);
    double v;
    if (!TryStrToFloat(s, v))
        convertError(s, "floating point value");
    return Value(v);
}

Value fnFormat(Args a, int)
{
    QList<Variant> args;
    if (const ArrayBox *arr = a[1]->Array()) {
        for (const Value &v : arr->Items)
            args.append(v.ToVariant());
    } else {
        args.append(a[1]->ToVariant());
    }
    return Value(zor::Format(str(a, 0), args));
}

Value fnFormatFloat(Args a, int) { return Value(zor::FormatFloat(str(a, 0), real(a, 1))); }
Value fnFormatDateTime(Args a, int) { return Value(zor::FormatDateTime(str(a, 0), real(a, 1))); }
Value fnQuotedStr(Args a, int) { return Value(zor::QuotedStr(str(a, 0))); }
Value fnChr(Args a, int) { return Value(QString(QChar(char16_t(integer(a, 0) & 0xFFFF)))); }

Value fnOrd(Args a, int)
{
    if (a[0]->k == VK::Str)
        return Value(qint64(a[0]->s.isEmpty() ? 0 : a[0]->s[0].unicode()));
    if (a[0]->k == VK::Bool)
        return Value(qint64(a[0]->i ? 1 : 0));
    return Value(integer(a, 0));
}

Value fnStringReplace(Args a, int)
{
    QString s = str(a, 0);
    return Value(s.replace(str(a, 1), str(a, 2)));
}

// Delete(var S, Index, Count) and Insert(Source, var S, Index): 1-based.
Value fnDelete(Args a, int)
{
    QString s = str(a, 0);
    const qint64 index = integer(a, 1), count = integer(a, 2);
    if (index >= 1 && index <= s.size() && count > 0)
        s.remove(qsizetype(index - 1), qsizetype(std::min<qint64>(count, s.size() - index + 1)));
    *a[0] = Value(s);
    return Value();
}

Value fnInsert(Args a, int)
{
    QString s = str(a, 1);
    qint64 index = std::clamp<qint64>(integer(a, 2), 1, s.size() + 1);
    s.insert(qsizetype(index - 1), str(a, 0));
    *a[1] = Value(s);
    return Value();
}

// Numbers ------------------------------------------------------------------

Value fnAbs(Args a, int)
{
    if (a[0]->k == VK::Int)
        return Value(a[0]->i < 0 ? -a[0]->i : a[0]->i);
    return Value(std::fabs(real(a, 0)));
}

qint64 checkedInt(double v)
{
    if (!std::isfinite(v) || v >= 9.2233720368547758e18 || v < -9.2233720368547758e18)
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return qint64(v);
}

// Round: half to even, as the runtime rounds.
Value fnRound(Args a, int) { return Value(checkedInt(std::nearbyint(real(a, 0)))); }
Value fnTrunc(Args a, int) { return Value(checkedInt(std::trunc(real(a, 0)))); }
Value fnInt(Args a, int) { return Value(std::trunc(real(a, 0))); }
Value fnFrac(Args a, int)
{
    const double v = real(a, 0);
    return Value(v - std::trunc(v));
}

Value fnSqrt(Args a, int)
{
    const double v = real(a, 0);
    if (v < 0)
        throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
    return Value(std::sqrt(v));
}

Value fnPower(Args a, int) { return Value(std::pow(real(a, 0), real(a, 1))); }
Value fnMin(Args a, int) { return Compare(*a[1], *a[0]) == -1 ? *a[1] : *a[0]; }
Value fnMax(Args a, int) { return Compare(*a[1], *a[0]) == 1 ? *a[1] : *a[0]; }

Value fnInc(Args a, int n)
{
    *a[0] = Add(*a[0], n > 1 ? *a[1] : Value(1));
    return Value();
}

Value fnDec(Args a, int n)
{
    *a[0] = Sub(*a[0], n > 1 ? *a[1] : Value(1));
    return Value();
}

// Dates --------------------------------------------------------------------

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

// Variants -----------------------------------------------------------------

Value fnVarIsNull(Args a, int) { return Value(a[0]->k == VK::Null); }
Value fnVarToStr(Args a, int) { return Value(str(a, 0)); }
Value fnNull(Args, int) { return Value::Null(); }
Value fnAssigned(Args a, int) { return Value(a[0]->ToObject() != nullptr); }

// Arrays -------------------------------------------------------------------

Value fnSetLength(Args a, int)
{
    const qint64 len = integer(a, 1);
    if (len < 0 || len > 100'000'000)
        throw ERangeError(QStringLiteral("Range check error"));
    if (a[0]->k == VK::Str) {
        a[0]->s.resize(qsizetype(len));
        return Value();
    }
    if (a[0]->k != VK::Array)
        *a[0] = Value::NewArray(0, -1);
    a[0]->MutableArray()->Items.resize(size_t(len));
    return Value();
}

Value fnHigh(Args a, int)
{
    if (const ArrayBox *arr = a[0]->Array())
        return Value(qint64(arr->Low) + qint64(arr->Items.size()) - 1);
    return Value(qint64(str(a, 0).size()));
}

Value fnLow(Args a, int)
{
    if (const ArrayBox *arr = a[0]->Array())
        return Value(qint64(arr->Low));
    return Value(qint64(1));
}

// Messages and exceptions ----------------------------------------------------

Value fnShowMessage(Args a, int)
{
    const QString text = str(a, 0);
    if (fsShowMessageHook)
        fsShowMessageHook(text);
    else
        zor::ShowMessage(text); // the package's dialog, or the host's dialog handler
    return Value();
}

Value fnExceptionMessage(Args, int)
{
    return Value(t_handled.empty() ? QString() : t_handled.back().Message);
}

Value fnExceptionClassName(Args, int)
{
    return Value(t_handled.empty() ? QString() : t_handled.back().ClassName);
}

// Keep sorted by nothing in particular: looked up through a hash.
const Builtin kBuiltins[] = {
    {"LENGTH", 1, 1, 0, true, fnLength},
    {"COPY", 2, 3, 0, true, fnCopy},
    {"POS", 2, 2, 0, true, fnPos},
    {"UPPERCASE", 1, 1, 0, true, fnUpperCase},
    {"LOWERCASE", 1, 1, 0, true, fnLowerCase},
    {"TRIM", 1, 1, 0, true, fnTrim},
    {"INTTOSTR", 1, 1, 0, true, fnIntToStr},
    {"STRTOINT", 1, 1, 0, true, fnStrToInt},
    {"STRTOINTDEF", 2, 2, 0, true, fnStrToIntDef},
    {"FLOATTOSTR", 1, 1, 0, true, fnFloatToStr},
    {"STRTOFLOAT", 1, 1, 0, true, fnStrToFloat},
    {"FORMAT", 2, 2, 0, true, fnFormat},
    {"FORMATFLOAT", 2, 2, 0, true, fnFormatFloat},
    {"FORMATDATETIME", 2, 2, 0, true, fnFormatDateTime},
    {"QUOTEDSTR", 1, 1, 0, true, fnQuotedStr},
    {"CHR", 1, 1, 0, true, fnChr},
    {"ORD", 1, 1, 0, true, fnOrd},
    {"STRINGREPLACE", 3, 3, 0, true, fnStringReplace},
    {"DELETE", 3, 3, 1u, false, fnDelete},
    {"INSERT", 3, 3, 2u, false, fnInsert},
    {"ABS", 1, 1, 0, true, fnAbs},
    {"ROUND", 1, 1, 0, true, fnRound},
    {"TRUNC", 1, 1, 0, true, fnTrunc},
    {"INT", 1, 1, 0, true, fnInt},
    {"FRAC", 1, 1, 0, true, fnFrac},
    {"SQRT", 1, 1, 0, true, fnSqrt},
    {"POWER", 2, 2, 0, true, fnPower},
    {"MIN", 2, 2, 0, true, fnMin},
    {"MAX", 2, 2, 0, true, fnMax},
    {"INC", 1, 2, 1u, false, fnInc},
    {"DEC", 1, 2, 1u, false, fnDec},
    {"NOW", 0, 0, 0, true, fnNow},
    {"DATE", 0, 0, 0, true, fnDate},
    {"TIME", 0, 0, 0, true, fnTime},
    {"ENCODEDATE", 3, 3, 0, true, fnEncodeDate},
    {"ENCODETIME", 4, 4, 0, true, fnEncodeTime},
    {"DECODEDATE", 4, 4, 14u, false, fnDecodeDate},
    {"DATETOSTR", 1, 1, 0, true, fnDateToStr},
    {"DATETIMETOSTR", 1, 1, 0, true, fnDateTimeToStr},
    {"STRTODATE", 1, 1, 0, true, fnStrToDate},
    {"VARISNULL", 1, 1, 0, true, fnVarIsNull},
    {"VARTOSTR", 1, 1, 0, true, fnVarToStr},
    {"NULL", 0, 0, 0, true, fnNull},
    {"ASSIGNED", 1, 1, 0, true, fnAssigned},
    {"SETLENGTH", 2, 2, 1u, false, fnSetLength},
    {"HIGH", 1, 1, 0, true, fnHigh},
    {"LOW", 1, 1, 0, true, fnLow},
    {"SHOWMESSAGE", 1, 1, 0, false, fnShowMessage},
    {"EXCEPTIONMESSAGE", 0, 0, 0, true, fnExceptionMessage},
    {"EXCEPTIONCLASSNAME", 0, 0, 0, true, fnExceptionClassName},
};

} // namespace

const Builtin *FindBuiltin(const QString &upperName)
{
    static const QHash<QString, const Builtin *> index = [] {
        QHash<QString, const Builtin *> h;
        for (const Builtin &b : kBuiltins)
            h.insert(QString::fromLatin1(b.Name), &b);
        return h;
    }();
    return index.value(upperName);
}

void PushHandledException(const QString &message, const QString &className)
{
    t_handled.push_back({message, className});
}

void PopHandledException()
{
    if (!t_handled.empty())
        t_handled.pop_back();
}

} // namespace zor::script
