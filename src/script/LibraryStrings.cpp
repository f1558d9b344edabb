// Library functions on strings: copying, searching, case, conversion to and
// from numbers, formatting.
#include <ZorCompCore/script/Library_p.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <algorithm>

namespace zor::script::lib {

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

} // namespace zor::script::lib
