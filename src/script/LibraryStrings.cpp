// Library functions on strings: copying, searching, case, conversion to and
// from numbers, formatting.
#include <ZorCompCore/script/Library_p.h>
#include <ZorCompCore/script/Runtime_p.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <algorithm>
#include <limits>

namespace zor::script::lib {

void checkLength(qint64 chars)
{
    if (chars > (qint64(1) << 30))
        ThrowOutOfMemory();
    CheckSize(qsizetype(chars) * qsizetype(sizeof(QChar)));
}

void convertError(const QString &text, const char *what)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(what)));
}

Value fnLength(Args a, int)
{
    if (const ArrayBox *arr = a[0]->Array())
        return Value(qint64(arr->Items.size()));
    return Value(qint64(str(a, 0).size()));
}

// Copy(S, Index, Count): 1-based; out-of-range parts are clipped. On an
// array, Index counts from its first element (0) and the part is a new array
// of the same kind.
Value fnCopy(Args a, int n)
{
    if (const ArrayBox *arr = a[0]->Array()) {
        const qint64 size = qint64(arr->Items.size());
        const qint64 from = std::clamp<qint64>(integer(a, 1), 0, size);
        const qint64 count = std::clamp<qint64>(n > 2 ? integer(a, 2) : size, 0, size - from);
        Value r = Value::NewArray(0, -1);
        ArrayBox *to = r.MutableArray();
        to->ByReference = arr->ByReference;
        to->Depth = arr->Depth;
        to->Items.assign(arr->Items.begin() + from, arr->Items.begin() + from + count);
        return r;
    }
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

// Report expressions format a number per cell: the picture is read in place.
Value fnFormatFloat(Args a, int)
{
    const double v = real(a, 1);
    if (a[0]->k == VK::Str)
        return Value(zor::FormatFloat(a[0]->s, v));
    return Value(zor::FormatFloat(a[0]->ToString(), v));
}
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

namespace {

// Flags are a set: an array of the flag ordinals, or a bit mask of them.
constexpr int kReplaceAll = 0, kIgnoreCase = 1;

unsigned flagBits(const Value &v)
{
    if (const ArrayBox *arr = v.Array()) {
        unsigned bits = 0;
        for (const Value &item : arr->Items) {
            const qint64 ord = item.ToInt();
            if (ord >= 0 && ord < 32)
                bits |= 1u << ord;
        }
        return bits;
    }
    return unsigned(v.ToInt());
}

QString padding(Args a, int n, qsizetype have)
{
    const qint64 width = integer(a, 1);
    if (width <= have)
        return QString();
    checkLength(width);
    const QString fill = n > 2 ? str(a, 2) : QStringLiteral(" ");
    return QString(qsizetype(width - have), fill.isEmpty() ? QChar(u' ') : fill[0]);
}

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

} // namespace

Value fnRfReplaceAll(Args, int) { return Value(qint64(kReplaceAll)); }
Value fnRfIgnoreCase(Args, int) { return Value(qint64(kIgnoreCase)); }

// Without flags every occurrence goes, as scripts written before the flags
// existed expect.
Value fnStringReplace(Args a, int n)
{
    QString s = str(a, 0);
    const QString from = str(a, 1), to = str(a, 2);
    const unsigned bits = n > 3 ? flagBits(*a[3]) : 1u << kReplaceAll;
    const Qt::CaseSensitivity cs = bits & (1u << kIgnoreCase) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (from.isEmpty())
        return Value(s);
    if (bits & (1u << kReplaceAll)) {
        checkLength(qint64(s.size()) / from.size() * qint64(to.size()) + s.size());
        return Value(s.replace(from, to, cs));
    }
    const qsizetype at = s.indexOf(from, 0, cs);
    if (at >= 0)
        s.replace(at, from.size(), to);
    return Value(s);
}

Value fnLeftStr(Args a, int)
{
    const qint64 count = integer(a, 1);
    return Value(count <= 0 ? QString() : str(a, 0).left(qsizetype(std::min<qint64>(count, 1LL << 40))));
}

Value fnRightStr(Args a, int)
{
    const qint64 count = integer(a, 1);
    return Value(count <= 0 ? QString() : str(a, 0).right(qsizetype(std::min<qint64>(count, 1LL << 40))));
}

Value fnTrimLeft(Args a, int) { return Value(zor::TrimLeft(str(a, 0))); }
Value fnTrimRight(Args a, int) { return Value(zor::TrimRight(str(a, 0))); }

Value fnPadLeft(Args a, int n)
{
    const QString s = str(a, 0);
    return Value(padding(a, n, s.size()) + s);
}

Value fnPadRight(Args a, int n)
{
    const QString s = str(a, 0);
    return Value(s + padding(a, n, s.size()));
}

Value fnStringOfChar(Args a, int)
{
    const QString ch = str(a, 0);
    const qint64 count = integer(a, 1);
    if (count <= 0 || ch.isEmpty())
        return Value(QString());
    checkLength(count);
    return Value(QString(qsizetype(count), ch[0]));
}

Value fnDupeString(Args a, int)
{
    const QString s = str(a, 0);
    const qint64 count = integer(a, 1);
    if (count <= 0 || s.isEmpty())
        return Value(QString());
    checkLength(count * s.size());
    return Value(s.repeated(qsizetype(count)));
}

Value fnCompareStr(Args a, int) { return Value(sign(zor::CompareStr(str(a, 0), str(a, 1)))); }
Value fnCompareText(Args a, int) { return Value(sign(zor::CompareText(str(a, 0), str(a, 1)))); }
Value fnSameText(Args a, int) { return Value(zor::SameText(str(a, 0), str(a, 1))); }

// Negative values that fit 32 bits show as the 32-bit pattern (Integer),
// others as 64 bits.
Value fnIntToHex(Args a, int n)
{
    qint64 v = integer(a, 0);
    if (v < 0 && v >= std::numeric_limits<qint32>::min())
        v = qint64(quint32(qint32(v)));
    const qint64 digits = n > 1 ? std::clamp<qint64>(integer(a, 1), 0, 64) : 0;
    return Value(zor::IntToHex(v, int(digits)));
}

Value fnBoolToStr(Args a, int n) { return Value(zor::BoolToStr(a[0]->ToBool(), n > 1 && a[1]->ToBool())); }

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

} // namespace zor::script::lib
