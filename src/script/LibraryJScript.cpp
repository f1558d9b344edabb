// JScript's global functions. Number and String convert the way the
// syntax's own operators do (unary + and concatenation), so that they agree
// with them by construction.
#include <ZorCompCore/script/Library_p.h>
#include <ZorCompCore/script/SyntaxRules_p.h>

#include <cmath>
#include <limits>

namespace zor::script::lib {

namespace {

const SyntaxRules &js()
{
    return RulesFor(Syntax::JScript);
}

Value jsNumberOf(const Value &v)
{
    return js().Unary[int(Op::Plus)](v);
}

double toDouble(const Value &v)
{
    const Value n = jsNumberOf(v);
    return n.k == VK::Int ? double(n.i) : n.d;
}

QString jsText(const Value &v)
{
    return js().Binary[int(Op::Add)](Value(QString()), v).ToString();
}

bool isJsSpace(QChar c)
{
    return c.isSpace() || c == u'\uFEFF';
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A whole number as an integer value when it is exactly one.
Value numberValue(double d)
{
    if (d == std::trunc(d) && std::fabs(d) < 9.0e15 && !(d == 0 && std::signbit(d)))
        return Value(qint64(d));
    return Value(d);
}

} // namespace

Value fnParseInt(Args a, int n)
{
    const QString s = jsText(*a[0]);
    qsizetype i = 0;
    while (i < s.size() && isJsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    qint64 radix = n > 1 ? qint64(toDouble(*a[1])) : 0;
    if (radix != 0 && (radix < 2 || radix > 36))
        return Value(kNaN);
    const bool hexPrefix = i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X');
    if ((radix == 0 || radix == 16) && hexPrefix) {
        radix = 16;
        i += 2;
    } else if (radix == 0) {
        radix = 10;
    }
    double value = 0;
    const qsizetype first = i;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        int digit = c >= u'0' && c <= u'9' ? c - u'0'
            : c >= u'a' && c <= u'z'      ? c - u'a' + 10
            : c >= u'A' && c <= u'Z'      ? c - u'A' + 10
                                          : 99;
        if (digit >= radix)
            break;
        value = value * double(radix) + digit;
    }
    if (i == first)
        return Value(kNaN);
    return numberValue(negative ? -value : value);
}

Value fnParseFloat(Args a, int)
{
    const QString s = jsText(*a[0]);
    qsizetype i = 0;
    while (i < s.size() && isJsSpace(s[i]))
        ++i;
    const qsizetype start = i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    if (QStringView(s).mid(i).startsWith(u"Infinity"))
        return Value(s[start] == u'-' ? -std::numeric_limits<double>::infinity()
                                      : std::numeric_limits<double>::infinity());
    qsizetype digits = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128)
        ++i, ++digits;
    if (i < s.size() && s[i] == u'.') {
        ++i;
        while (i < s.size() && s[i].unicode() >= u'0' && s[i].unicode() <= u'9')
            ++i, ++digits;
    }
    if (digits == 0)
        return Value(kNaN);
    // an exponent counts only with digits after it
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        const qsizetype expDigits = j;
        while (j < s.size() && s[j].unicode() >= u'0' && s[j].unicode() <= u'9')
            ++j;
        if (j > expDigits)
            i = j;
    }
    bool ok = false;
    const double d = QStringView(s).mid(start, i - start).toDouble(&ok);
    return Value(ok ? d : kNaN);
}

Value fnIsNaN(Args a, int) { return Value(std::isnan(toDouble(*a[0]))); }
Value fnIsFinite(Args a, int) { return Value(std::isfinite(toDouble(*a[0]))); }
Value fnNumber(Args a, int n) { return n == 0 ? Value(qint64(0)) : jsNumberOf(*a[0]); }
Value fnString(Args a, int n) { return Value(n == 0 ? QString() : jsText(*a[0])); }

} // namespace zor::script::lib
