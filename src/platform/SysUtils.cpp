#include "SysUtils.h"

#include "Exception.h"
#include "Variant.h"

#include <QDate>
#include <QVarLengthArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace zor {

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------------------
// Settings

TFormatSettings TFormatSettings::Invariant()
{
    TFormatSettings fs;
    fs.ShortMonthNames = {u"Jan"_s, u"Feb"_s, u"Mar"_s, u"Apr"_s, u"May"_s, u"Jun"_s,
                          u"Jul"_s, u"Aug"_s, u"Sep"_s, u"Oct"_s, u"Nov"_s, u"Dec"_s};
    fs.LongMonthNames = {u"January"_s, u"February"_s, u"March"_s, u"April"_s,
                         u"May"_s, u"June"_s, u"July"_s, u"August"_s,
                         u"September"_s, u"October"_s, u"November"_s, u"December"_s};
    fs.ShortDayNames = {u"Sun"_s, u"Mon"_s, u"Tue"_s, u"Wed"_s, u"Thu"_s, u"Fri"_s, u"Sat"_s};
    fs.LongDayNames = {u"Sunday"_s, u"Monday"_s, u"Tuesday"_s, u"Wednesday"_s,
                       u"Thursday"_s, u"Friday"_s, u"Saturday"_s};
    return fs;
}

TFormatSettings &FormatSettings()
{
    static TFormatSettings settings = TFormatSettings::Invariant();
    return settings;
}

namespace {

const TFormatSettings &invariant()
{
    static const TFormatSettings fs = TFormatSettings::Invariant();
    return fs;
}

// Name lists of settings built field by field may be short: fall back to English.
QString nameAt(const QStringList &names, const QStringList &fallback, int index)
{
    if (index >= 0 && index < names.size())
        return names[index];
    if (index >= 0 && index < fallback.size())
        return fallback[index];
    return {};
}

bool isBlank(QChar c)
{
    return c.unicode() <= ' ';
}

[[noreturn]] void convertError(const QString &fmt, const QString &arg)
{
    throw EConvertError(fmt.arg(arg));
}

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Parses an integer with optional sign, decimal or hexadecimal ('$', '0x',
// 'x' prefix); hexadecimal values may use all bits of the width (so
// $FFFFFFFF is -1 for 32 bits).
bool parseInteger(const QString &text, int bits, qint64 &out)
{
    qsizetype i = 0, n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    while (n > i && isBlank(text[n - 1]))
        --n;
    bool neg = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        neg = text[i++] == u'-';
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    if (i >= n)
        return false;
    const quint64 limit = base == 16 ? (bits == 64 ? ~quint64(0) : 0xFFFFFFFFull)
                                     : (bits == 64 ? quint64(1) << 63 : quint64(1) << 31);
    quint64 v = 0;
    for (; i < n; ++i) {
        const int d = digitValue(text[i]);
        if (d < 0 || d >= base)
            return false;
        if (v > (limit - quint64(d)) / quint64(base))
            return false;
        v = v * quint64(base) + quint64(d);
    }
    if (base == 10) {
        if (!neg && v == limit)
            return false; // 2^31 / 2^63 only as a negative number
        out = neg ? qint64(quint64(0) - v) : qint64(v);
        return true;
    }
    qint64 s = bits == 64 ? qint64(v) : qint64(qint32(quint32(v)));
    out = neg ? -s : s;
    if (bits == 32 && (out > std::numeric_limits<qint32>::max() || out < std::numeric_limits<qint32>::min()))
        return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Integers

bool TryStrToInt(const QString &s, int &out)
{
    qint64 v;
    if (!parseInteger(s, 32, v))
        return false;
    out = int(v);
    return true;
}

bool TryStrToInt64(const QString &s, qint64 &out)
{
    return parseInteger(s, 64, out);
}

int StrToInt(const QString &s)
{
    int v;
    if (!TryStrToInt(s, v))
        convertError(QStringLiteral("'%1' is not a valid integer value"), s);
    return v;
}

qint64 StrToInt64(const QString &s)
{
    qint64 v;
    if (!TryStrToInt64(s, v))
        convertError(QStringLiteral("'%1' is not a valid integer value"), s);
    return v;
}

int StrToIntDef(const QString &s, int def)
{
    int v;
    return TryStrToInt(s, v) ? v : def;
}

qint64 StrToInt64Def(const QString &s, qint64 def)
{
    qint64 v;
    return TryStrToInt64(s, v) ? v : def;
}

QString IntToStr(qint64 v)
{
    return QString::number(v);
}

QString IntToHex(qint64 v, int digits)
{
    QString s = QString::number(quint64(v), 16).toUpper();
    if (s.size() < digits)
        s.prepend(QString(digits - s.size(), u'0'));
    return s;
}

// ---------------------------------------------------------------------------
// Floats

namespace detail {

// value = 0.d1d2d3… × 10^exponent; digits without trailing zeros, empty for zero.
struct DecimalRec
{
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

void roundDigits(DecimalRec &r, int keep);

// Digits beyond the fifteen a double carries are noise: values are first
// taken to 15 significant digits, then rounded half away from zero, so that
// 1234.5 to four digits is 1235 and 1.005 to two decimals is 1.01.
DecimalRec toDecimalExact(double v, int precision);

DecimalRec toDecimal(double v, int precision)
{
    if (precision >= 15)
        return toDecimalExact(v, precision);
    DecimalRec r = toDecimalExact(v, 15);
    roundDigits(r, precision);
    return r;
}

DecimalRec toDecimalExact(double v, int precision)
{
    DecimalRec r;
    r.negative = std::signbit(v);
    if (v == 0)
        return r;
    char buf[64];
    std::to_chars_result res{};
    // The shortest text that reads back as v is, when it has at most 15
    // digits, also v rounded to 15 digits: 15-digit steps are wider than the
    // double's own. It is several times cheaper than a rounding to a fixed
    // number of digits, which is left for the values that need 16 or 17.
    bool shortest = false;
    if (precision == 15) {
        res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
        int significant = 0;
        for (const char *q = buf; q < res.ptr && *q != 'e'; ++q)
            significant += *q != '.';
        shortest = significant <= 15;
    }
    if (!shortest)
        res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, precision - 1);
    // mantissa digits, then the exponent after 'e' (read in place: this runs
    // for every formatted number)
    const char *p = buf;
    char digits[sizeof buf];
    size_t n = 0;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p != '.')
            digits[n++] = *p;
    while (n > 0 && digits[n - 1] == '0')
        --n;
    r.digits.assign(digits, n);
    int exponent = 0;
    bool negativeExponent = false;
    if (p < res.ptr)
        ++p;
    if (p < res.ptr && (*p == '+' || *p == '-'))
        negativeExponent = *p++ == '-';
    for (; p < res.ptr && *p >= '0' && *p <= '9'; ++p)
        exponent = exponent * 10 + (*p - '0');
    r.exponent = (negativeExponent ? -exponent : exponent) + 1;
    return r;
}

// Keeps `keep` leading digits, rounding the rest half away from zero.
void roundDigits(DecimalRec &r, int keep)
{
    if (keep >= int(r.digits.size()))
        return;
    if (keep < 0) {
        r.digits.clear();
        r.exponent = 0;
        return;
    }
    const bool up = r.digits[size_t(keep)] >= '5';
    r.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && r.digits[size_t(i)] == '9')
            r.digits[size_t(i--)] = '0';
        if (i >= 0) {
            ++r.digits[size_t(i)];
        } else {
            r.digits.insert(r.digits.begin(), '1');
            ++r.exponent;
        }
    }
    while (!r.digits.empty() && r.digits.back() == '0')
        r.digits.pop_back();
    if (r.digits.empty())
        r.exponent = 0;
}

// Rounds to `decimals` digits after the decimal point.
void roundFraction(DecimalRec &r, int decimals)
{
    roundDigits(r, r.exponent + decimals);
}

char digitAt(const DecimalRec &r, int index)
{
    return index >= 0 && index < int(r.digits.size()) ? r.digits[size_t(index)] : '0';
}

// Integer digits ("0" when none) and the fraction digits of a decimal.
void splitFixed(const DecimalRec &r, QString &intPart, QString &fracPart)
{
    // written in place: every formatted number passes here
    if (r.exponent > 0) {
        intPart = QString(r.exponent, Qt::Uninitialized);
        QChar *d = intPart.data();
        for (int i = 0; i < r.exponent; ++i)
            d[i] = QLatin1Char(digitAt(r, i));
    } else {
        intPart = QStringLiteral("0");
    }
    const int from = std::max(r.exponent, 0);
    const int lead = r.exponent < 0 && !r.digits.empty() ? -r.exponent : 0;
    const int n = std::max(int(r.digits.size()) - from, 0);
    if (lead + n == 0) {
        fracPart.clear();
        return;
    }
    fracPart = QString(lead + n, Qt::Uninitialized);
    QChar *f = fracPart.data();
    for (int i = 0; i < lead; ++i)
        f[i] = u'0';
    for (int i = 0; i < n; ++i)
        f[lead + i] = QLatin1Char(r.digits[size_t(from + i)]);
}

QString groupThousands(const QString &intPart, QChar sep)
{
    if (sep.isNull())
        return intPart;
    QString out;
    const qsizetype n = intPart.size();
    for (qsizetype i = 0; i < n; ++i) {
        out += intPart[i];
        const qsizetype left = n - i - 1;
        if (left > 0 && left % 3 == 0)
            out += sep;
    }
    return out;
}

QString specialText(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NAN");
    return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// The general format: fixed notation while the integer digits fit the
// precision and the value is not below 0.0001, scientific otherwise; minimum
// exponent digits as given, sign only when negative.
QString generalFormat(double v, int precision, int expDigits, const TFormatSettings &fs)
{
    if (!std::isfinite(v))
        return specialText(v);
    if (precision < 1)
        precision = 1;
    if (precision > 18)
        precision = 18;
    DecimalRec r = toDecimal(v, precision);
    if (r.digits.empty())
        return QStringLiteral("0");
    QString out = r.negative ? QStringLiteral("-") : QString();
    if (r.exponent > precision || r.exponent < -3) {
        out += QLatin1Char(r.digits[0]);
        if (r.digits.size() > 1) {
            out += fs.DecimalSeparator;
            out += QString::fromLatin1(r.digits.c_str() + 1);
        }
        const int e = r.exponent - 1;
        out += u'E';
        if (e < 0)
            out += u'-';
        QString ed = QString::number(std::abs(e));
        if (ed.size() < expDigits)
            ed.prepend(QString(expDigits - ed.size(), u'0'));
        return out + ed;
    }
    // [-]int[.frac], written in one allocation: FloatToStr runs for every
    // number a report or a script turns into text
    const int from = std::max(r.exponent, 0);
    const int lead = r.exponent < 0 ? -r.exponent : 0;
    const int frac = std::max(int(r.digits.size()) - from, 0);
    const int intDigits = std::max(r.exponent, 1);
    const qsizetype sign = out.size();
    out.resize(sign + intDigits + (lead + frac ? 1 + lead + frac : 0));
    QChar *d = out.data() + sign;
    for (int i = 0; i < intDigits; ++i)
        *d++ = r.exponent > 0 ? QLatin1Char(digitAt(r, i)) : QLatin1Char('0');
    if (lead + frac) {
        *d++ = fs.DecimalSeparator;
        for (int i = 0; i < lead; ++i)
            *d++ = u'0';
        for (int i = 0; i < frac; ++i)
            *d++ = QLatin1Char(r.digits[size_t(from + i)]);
    }
    return out;
}

// "d.dddE+ddd": `precision` significant digits, exponent with sign and at least `expDigits` digits.
QString exponentFormat(double v, int precision, int expDigits, const TFormatSettings &fs)
{
    if (!std::isfinite(v))
        return specialText(v);
    precision = std::clamp(precision, 1, 18);
    DecimalRec r = toDecimal(v, precision);
    QString out = r.negative && !r.digits.empty() ? QStringLiteral("-") : QString();
    out += QLatin1Char(digitAt(r, 0));
    if (precision > 1) {
        out += fs.DecimalSeparator;
        for (int i = 1; i < precision; ++i)
            out += QLatin1Char(digitAt(r, i));
    }
    const int e = r.digits.empty() ? 0 : r.exponent - 1;
    out += e < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    QString ed = QString::number(std::abs(e));
    if (ed.size() < expDigits)
        ed.prepend(QString(expDigits - ed.size(), u'0'));
    return out + ed;
}

// Fixed notation with `decimals` digits (thousands grouped when asked); values
// whose integer digits exceed 15 fall back to the exponent format.
QString fixedFormat(double v, int decimals, bool thousands, const TFormatSettings &fs, int precision = 15)
{
    if (!std::isfinite(v))
        return specialText(v);
    decimals = std::clamp(decimals, 0, 18);
    precision = std::clamp(precision, 1, 18);
    DecimalRec r = toDecimal(v, precision);
    if (r.exponent > precision)
        return exponentFormat(v, precision, 3, fs);
    roundFraction(r, decimals);
    QString ip, fp;
    splitFixed(r, ip, fp);
    if (fp.size() < decimals)
        fp += QString(decimals - fp.size(), u'0');
    QString out = r.negative && !r.digits.empty() ? QStringLiteral("-") : QString();
    out += thousands ? groupThousands(ip, fs.ThousandSeparator) : ip;
    if (decimals > 0)
        out += fs.DecimalSeparator + fp;
    return out;
}

} // namespace detail

using detail::DecimalRec;

bool TryStrToFloat(const QString &s, double &out, const TFormatSettings &fs)
{
    qsizetype i = 0, n = s.size();
    while (i < n && isBlank(s[i]))
        ++i;
    while (n > i && isBlank(s[n - 1]))
        --n;
    std::string ascii;
    ascii.reserve(size_t(n - i));
    bool neg = false;
    if (i < n && (s[i] == u'-' || s[i] == u'+'))
        neg = s[i++] == u'-';
    const QString rest = s.mid(i, n - i);
    if (rest.compare(u"INF", Qt::CaseInsensitive) == 0) {
        out = neg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (rest.compare(u"NAN", Qt::CaseInsensitive) == 0) {
        out = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    int mantissaDigits = 0;
    bool seenPoint = false, seenExp = false;
    int expDigits = 0;
    for (; i < n; ++i) {
        const QChar c = s[i];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            ascii += char(c.unicode());
            (seenExp ? expDigits : mantissaDigits)++;
        } else if (c == fs.DecimalSeparator && !seenPoint && !seenExp) {
            ascii += '.';
            seenPoint = true;
        } else if ((c == u'e' || c == u'E') && !seenExp && mantissaDigits > 0) {
            ascii += 'e';
            seenExp = true;
            if (i + 1 < n && (s[i + 1] == u'+' || s[i + 1] == u'-'))
                ascii += char(s[++i].unicode());
        } else {
            return false;
        }
    }
    if (mantissaDigits == 0 || (seenExp && expDigits == 0))
        return false;
    double v = 0;
    const auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (res.ptr != ascii.data() + ascii.size())
        return false;
    if (res.ec == std::errc::result_out_of_range) {
        // underflow reads as zero; overflow is not a number we can hold
        const size_t e = ascii.find('e');
        if (e == std::string::npos || ascii.compare(e + 1, 1, "-") != 0)
            return false;
        v = 0;
    } else if (res.ec != std::errc()) {
        return false;
    }
    out = neg ? -v : v;
    return true;
}

double StrToFloat(const QString &s, const TFormatSettings &fs)
{
    double v;
    if (!TryStrToFloat(s, v, fs))
        convertError(QStringLiteral("'%1' is not a valid floating point value"), s);
    return v;
}

double StrToFloatDef(const QString &s, double def, const TFormatSettings &fs)
{
    double v;
    return TryStrToFloat(s, v, fs) ? v : def;
}

QString FloatToStr(double v, const TFormatSettings &fs)
{
    return detail::generalFormat(v, 15, 0, fs);
}

namespace {

// One section of a FormatFloat picture, pre-scanned.
struct FloatPicture
{
    QString text;
    int intPlaceholders = 0;  // 0/# before the decimal point
    int intMin = 0;           // placeholders from the first '0' on
    int fracMin = 0;          // up to the last '0' after the point
    int fracMax = 0;          // all placeholders after the point
    bool hasPoint = false;
    bool thousands = false;
    bool scientific = false;
    bool anyPlaceholder = false;
};

FloatPicture scanPicture(const QString &text)
{
    FloatPicture p;
    p.text = text;
    bool afterPoint = false, firstZeroSeen = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype close = text.indexOf(c, i + 1);
            i = close < 0 ? text.size() : close;
            continue;
        }
        if (p.scientific)
            continue; // exponent digits are counted when written
        if (c == u'0' || c == u'#') {
            p.anyPlaceholder = true;
            if (afterPoint) {
                ++p.fracMax;
                if (c == u'0')
                    p.fracMin = p.fracMax;
            } else {
                ++p.intPlaceholders;
                if (c == u'0')
                    firstZeroSeen = true;
                if (firstZeroSeen)
                    ++p.intMin;
            }
        } else if (c == u'.') {
            if (!afterPoint) {
                afterPoint = true;
                p.hasPoint = true;
            }
        } else if (c == u',') {
            if (!afterPoint)
                p.thousands = true;
        } else if ((c == u'E' || c == u'e') && i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
            p.scientific = true;
        }
    }
    return p;
}

QString applyPicture(const FloatPicture &p, DecimalRec r, bool showSign, const TFormatSettings &fs)
{
    // Digits to place: integer part (at least intMin digits) and fraction.
    QString intDigits, fracDigits;
    int exponent = 0;
    if (p.scientific) {
        const int sig = std::max(p.intPlaceholders + p.fracMax, 1);
        detail::roundDigits(r, sig);
        const int lead = p.intPlaceholders;
        if (!r.digits.empty())
            exponent = r.exponent - lead;
        for (int i = 0; i < lead; ++i)
            intDigits += QLatin1Char(detail::digitAt(r, i));
        // '#' integer placeholders drop leading zeros, '0' keeps intMin of them
        while (intDigits.size() > p.intMin && intDigits.startsWith(u'0'))
            intDigits.remove(0, 1);
        for (int i = lead; i < int(r.digits.size()); ++i)
            fracDigits += QLatin1Char(r.digits[size_t(i)]);
    } else {
        detail::splitFixed(r, intDigits, fracDigits);
        if (intDigits == u"0")
            intDigits.clear();
        if (intDigits.size() < p.intMin)
            intDigits.prepend(QString(p.intMin - intDigits.size(), u'0'));
    }
    if (fracDigits.size() > p.fracMax)
        fracDigits.truncate(p.fracMax);
    while (fracDigits.size() > p.fracMin && fracDigits.endsWith(u'0'))
        fracDigits.chop(1);
    if (fracDigits.size() < p.fracMin)
        fracDigits += QString(p.fracMin - fracDigits.size(), u'0');

    const QString &t = p.text;
    // collected on the stack and made a string once
    struct
    {
        QVarLengthArray<QChar, 96> b;
        void operator+=(QChar c) { b.append(c); }
        void operator+=(const QString &s) { b.append(s.constData(), s.size()); }
    } out;
    if (showSign)
        out += u'-';
    const qsizetype nInt = intDigits.size();
    int intSeen = 0, fracSeen = 0;
    bool afterPoint = false, inExponent = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype close = t.indexOf(c, i + 1);
            out += t.mid(i + 1, (close < 0 ? t.size() : close) - i - 1);
            i = close < 0 ? t.size() : close;
            continue;
        }
        if (inExponent) {
            out += c;
            continue;
        }
        if (c == u'0' || c == u'#') {
            if (!afterPoint) {
                // the first placeholder also takes the digits that have no placeholder of their own
                qsizetype from = intSeen == 0 ? 0 : nInt - (p.intPlaceholders - intSeen);
                const qsizetype to = nInt - (p.intPlaceholders - intSeen - 1);
                from = std::max<qsizetype>(from, 0);
                for (qsizetype k = from; k < to; ++k) {
                    out += intDigits[k];
                    const qsizetype left = nInt - k - 1;
                    if (p.thousands && left > 0 && left % 3 == 0 && !fs.ThousandSeparator.isNull())
                        out += fs.ThousandSeparator;
                }
                ++intSeen;
            } else {
                if (fracSeen < fracDigits.size())
                    out += fracDigits[fracSeen];
                ++fracSeen;
            }
        } else if (c == u'.') {
            if (!afterPoint) {
                afterPoint = true;
                if (!fracDigits.isEmpty())
                    out += fs.DecimalSeparator;
            } // a second point is not shown
        } else if (c == u',') {
            // grouping flag, placed by the digits
        } else if (p.scientific && (c == u'E' || c == u'e') && i + 1 < t.size()
                   && (t[i + 1] == u'+' || t[i + 1] == u'-')) {
            const bool alwaysSign = t[i + 1] == u'+';
            ++i;
            int minDigits = 0;
            while (i + 1 < t.size() && t[i + 1] == u'0') {
                ++minDigits;
                ++i;
            }
            out += c;
            if (exponent < 0)
                out += u'-';
            else if (alwaysSign)
                out += u'+';
            QString ed = QString::number(std::abs(exponent));
            if (ed.size() < minDigits)
                ed.prepend(QString(minDigits - ed.size(), u'0'));
            out += ed;
            inExponent = true;
            afterPoint = true;
        } else {
            out += c;
        }
    }
    return QString(out.b.constData(), out.b.size());
}

QStringList splitSections(const QString &format)
{
    QStringList sections;
    QString cur;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            sections << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    sections << cur;
    return sections;
}

bool isZeroAfter(const FloatPicture &p, DecimalRec r)
{
    if (p.scientific)
        return r.digits.empty();
    detail::roundFraction(r, p.fracMax);
    return r.digits.empty();
}

} // namespace

QString FormatFloat(const QString &format, double v, const TFormatSettings &fs)
{
    if (format.isEmpty())
        return FloatToStr(v, fs);
    if (!std::isfinite(v))
        return detail::specialText(v);
    // Most pictures have one section: then it is the format itself, and no
    // list is built.
    QStringList split;
    if (format.contains(u';'))
        split = splitSections(format);
    const qsizetype count = split.isEmpty() ? 1 : split.size();
    const auto section = [&](qsizetype i) -> const QString & { return split.isEmpty() ? format : split[i]; };
    DecimalRec r = detail::toDecimal(v, 15);
    const bool negative = r.negative && !r.digits.empty();
    r.negative = false;

    FloatPicture pic = scanPicture(section(0));
    bool sign = negative;
    if (negative && count > 1 && !section(1).isEmpty()) {
        pic = scanPicture(section(1));
        sign = false; // the negative section carries its own sign, if any
    }
    if (isZeroAfter(pic, r)) {
        if (count > 2 && !section(2).isEmpty())
            return applyPicture(scanPicture(section(2)), DecimalRec(), false, fs);
        sign = false; // no "-0"
    }
    if (!pic.scientific)
        detail::roundFraction(r, pic.fracMax);
    return applyPicture(pic, r, sign, fs);
}

QString CurrToStr(Currency v, const TFormatSettings &fs)
{
    QString s = v.ToString();
    if (fs.DecimalSeparator != u'.')
        s.replace(u'.', fs.DecimalSeparator);
    return s;
}

Currency StrToCurr(const QString &s, const TFormatSettings &fs)
{
    QString t = s;
    if (fs.DecimalSeparator != u'.') {
        if (t.contains(u'.'))
            convertError(QStringLiteral("'%1' is not a valid floating point value"), s);
        t.replace(fs.DecimalSeparator, u'.');
    }
    Currency c;
    if (Currency::TryParse(t, c))
        return c;
    // exponent forms ("1.5E3") go through a double
    double d;
    if (TryStrToFloat(s, d, fs)) {
        try {
            return Currency::FromDouble(d);
        } catch (const EOverflow &) {
        }
    }
    convertError(QStringLiteral("'%1' is not a valid floating point value"), s);
}

// ---------------------------------------------------------------------------
// Booleans

bool TryStrToBool(const QString &s, bool &out)
{
    const QString t = s.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (t.compare(u"False", Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    double d;
    if (TryStrToFloat(t, d, invariant())) {
        out = d != 0;
        return true;
    }
    return false;
}

bool StrToBool(const QString &s)
{
    bool b;
    if (!TryStrToBool(s, b))
        convertError(QStringLiteral("'%1' is not a valid boolean value"), s);
    return b;
}

bool StrToBoolDef(const QString &s, bool def)
{
    bool b;
    return TryStrToBool(s, b) ? b : def;
}

QString BoolToStr(bool v, bool useBoolStrs)
{
    if (useBoolStrs)
        return v ? QStringLiteral("True") : QStringLiteral("False");
    return v ? QStringLiteral("-1") : QStringLiteral("0");
}

// ---------------------------------------------------------------------------
// Date-time formatting

namespace {

// Position of the last am/pm marker outside quotes, -1 when there is none;
// an hour before it prints on the 12-hour clock.
qsizetype lastAmPm(const QString &f)
{
    qsizetype last = -1;
    QChar quote;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            continue;
        }
        if (c == u'a' || c == u'A') {
            const QStringView rest = QStringView(f).mid(i);
            if (rest.startsWith(u"am/pm", Qt::CaseInsensitive) || rest.startsWith(u"a/p", Qt::CaseInsensitive)
                || rest.startsWith(u"ampm", Qt::CaseInsensitive))
                last = i;
        }
    }
    return last;
}

QString pad2(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

void formatDateTimeInto(QString &out, const QString &f, TDateTime dt, const TFormatSettings &fs, int depth)
{
    if (depth > 2) // "c" inside ShortDateFormat and the like must not recurse forever
        return;
    int year, month, day, hour, minute, sec, msec;
    DecodeDateTime(dt, year, month, day, hour, minute, sec, msec);
    const TFormatSettings &inv = invariant();
    const qsizetype amPmAt = lastAmPm(f);
    QChar lastToken;
    const qsizetype n = f.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = f[i];
        const QChar up = c.toUpper();
        auto count = [&](QChar ch) {
            qsizetype k = i;
            while (k < n && f[k].toUpper() == ch)
                ++k;
            return int(k - i);
        };
        if (c == u'"' || c == u'\'') {
            const qsizetype close = f.indexOf(c, i + 1);
            out += f.mid(i + 1, (close < 0 ? n : close) - i - 1);
            i = close < 0 ? n : close + 1;
            continue;
        }
        QChar token = up;
        if (up.unicode() >= 'A' && up.unicode() <= 'Z') {
            if (token == u'M' && lastToken == u'H')
                token = u'N'; // "h:mm": minutes, not the month
            lastToken = token;
        }
        switch (token.unicode()) {
        case 'Y': {
            const int k = count(u'Y');
            out += k <= 2 ? pad2(year % 100) : QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
            i += k;
            break;
        }
        case 'M': {
            const int k = count(u'M');
            switch (k) {
            case 1: out += QString::number(month); break;
            case 2: out += pad2(month); break;
            case 3: out += nameAt(fs.ShortMonthNames, inv.ShortMonthNames, month - 1); break;
            default: out += nameAt(fs.LongMonthNames, inv.LongMonthNames, month - 1); break;
            }
            i += k;
            break;
        }
        case 'D': {
            const int k = count(u'D');
            const int dow = DayOfWeek(dt) - 1;
            switch (k) {
            case 1: out += QString::number(day); break;
            case 2: out += pad2(day); break;
            case 3: out += nameAt(fs.ShortDayNames, inv.ShortDayNames, dow); break;
            case 4: out += nameAt(fs.LongDayNames, inv.LongDayNames, dow); break;
            case 5: formatDateTimeInto(out, fs.ShortDateFormat, dt, fs, depth + 1); break;
            default: formatDateTimeInto(out, fs.LongDateFormat, dt, fs, depth + 1); break;
            }
            i += k;
            break;
        }
        case 'H': {
            const int k = count(u'H');
            int h = hour;
            if (i < amPmAt) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += k == 1 ? QString::number(h) : pad2(h);
            i += k;
            break;
        }
        case 'N': {
            const int k = count(up); // 'n' or the 'm' that follows an hour
            out += k == 1 ? QString::number(minute) : pad2(minute);
            i += k;
            break;
        }
        case 'S': {
            const int k = count(u'S');
            out += k == 1 ? QString::number(sec) : pad2(sec);
            i += k;
            break;
        }
        case 'Z': {
            const int k = count(u'Z');
            out += k < 3 ? QString::number(msec) : QStringLiteral("%1").arg(msec, 3, 10, QLatin1Char('0'));
            i += k;
            break;
        }
        case 'T': {
            const int k = count(u'T');
            formatDateTimeInto(out, k == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, fs, depth + 1);
            i += k;
            break;
        }
        case 'C': {
            const int k = count(u'C');
            formatDateTimeInto(out, fs.ShortDateFormat, dt, fs, depth + 1);
            if (hour || minute || sec || msec) {
                out += u' ';
                formatDateTimeInto(out, fs.LongTimeFormat, dt, fs, depth + 1);
            }
            i += k;
            break;
        }
        case 'A': {
            const QStringView rest = QStringView(f).mid(i);
            const bool pm = hour >= 12;
            if (rest.startsWith(u"am/pm", Qt::CaseInsensitive)) {
                const bool lower = rest[0].isLower();
                out += lower ? (pm ? u"pm"_s : u"am"_s) : (pm ? u"PM"_s : u"AM"_s);
                i += 5;
            } else if (rest.startsWith(u"a/p", Qt::CaseInsensitive)) {
                const bool lower = rest[0].isLower();
                out += lower ? (pm ? u'p' : u'a') : (pm ? u'P' : u'A');
                i += 3;
            } else if (rest.startsWith(u"ampm", Qt::CaseInsensitive)) {
                out += pm ? fs.TimePMString : fs.TimeAMString;
                i += 4;
            } else {
                out += c;
                ++i;
            }
            break;
        }
        case '/':
            out += fs.DateSeparator;
            ++i;
            break;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            break;
        default:
            out += c;
            ++i;
            break;
        }
    }
}

} // namespace

QString FormatDateTime(const QString &format, TDateTime dt, const TFormatSettings &fs)
{
    QString out;
    formatDateTimeInto(out, format.isEmpty() ? QStringLiteral("c") : format, dt, fs, 0);
    return out;
}

QString DateToStr(TDateTime dt, const TFormatSettings &fs)
{
    return FormatDateTime(QStringLiteral("ddddd"), dt, fs);
}

QString TimeToStr(TDateTime dt, const TFormatSettings &fs)
{
    return FormatDateTime(QStringLiteral("tt"), dt, fs);
}

QString DateTimeToStr(TDateTime dt, const TFormatSettings &fs)
{
    return FormatDateTime(QStringLiteral("c"), dt, fs);
}

// ---------------------------------------------------------------------------
// Date-time parsing

namespace {

enum class DateOrder { MDY, DMY, YMD };

DateOrder dateOrder(const QString &shortDateFormat)
{
    QString order;
    QChar quote;
    for (QChar c : shortDateFormat) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            continue;
        }
        const QChar u = c.toUpper();
        if ((u == u'Y' || u == u'M' || u == u'D') && !order.contains(u))
            order += u;
    }
    if (order.startsWith(u'Y'))
        return DateOrder::YMD;
    if (order.startsWith(u'D'))
        return DateOrder::DMY;
    return DateOrder::MDY;
}

// A number of up to `maxDigits` ASCII digits at pos; false when none.
bool scanNumber(const QString &s, qsizetype &pos, int &value, int &digits, int maxDigits = 9)
{
    digits = 0;
    value = 0;
    while (pos < s.size() && s[pos].unicode() >= '0' && s[pos].unicode() <= '9' && digits < maxDigits) {
        value = value * 10 + (s[pos].unicode() - '0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

void skipBlanks(const QString &s, qsizetype &pos)
{
    while (pos < s.size() && s[pos] == u' ')
        ++pos;
}

int expandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    // sliding window: two-digit years land within 50 years back and 49 ahead
    const int current = QDate::currentDate().year();
    const int windowStart = current - 50;
    int y = year + windowStart / 100 * 100;
    if (y < windowStart)
        y += 100;
    return y;
}

// Parses a date at pos; on success pos is behind it.
bool scanDate(const QString &s, qsizetype &pos, TDateTime &out, const TFormatSettings &fs)
{
    int v[3] = {0, 0, 0}, d[3] = {0, 0, 0};
    int count = 0;
    qsizetype p = pos;
    skipBlanks(s, p);
    while (count < 3) {
        if (!scanNumber(s, p, v[count], d[count]))
            return false;
        ++count;
        if (count < 3 && p < s.size() && s[p] == fs.DateSeparator)
            ++p;
        else
            break;
    }
    if (count < 2)
        return false;
    // a trailing separator ("12/25/") belongs to nobody
    if (p > 0 && s[p - 1] == fs.DateSeparator)
        return false;
    int year, month, day, yearDigits;
    DateOrder order = dateOrder(fs.ShortDateFormat);
    if (count == 3 && order != DateOrder::YMD && d[0] > 2)
        order = DateOrder::YMD; // a leading four-digit year wins over the settings
    if (count == 2) {
        year = QDate::currentDate().year();
        yearDigits = 4;
        if (order == DateOrder::DMY) {
            day = v[0];
            month = v[1];
        } else {
            month = v[0];
            day = v[1];
        }
    } else {
        switch (order) {
        case DateOrder::MDY: month = v[0]; day = v[1]; year = v[2]; yearDigits = d[2]; break;
        case DateOrder::DMY: day = v[0]; month = v[1]; year = v[2]; yearDigits = d[2]; break;
        default: year = v[0]; month = v[1]; day = v[2]; yearDigits = d[0]; break;
        }
    }
    year = expandYear(year, yearDigits);
    if (!TryEncodeDate(year, month, day, out))
        return false;
    pos = p;
    return true;
}

// Matches an AM/PM marker at pos (the settings' strings, then "AM"/"PM", "A"/"P").
int scanAmPm(const QString &s, qsizetype &pos, const TFormatSettings &fs)
{
    const QStringView rest = QStringView(s).mid(pos);
    const QString cands[] = {fs.TimeAMString, fs.TimePMString, u"AM"_s, u"PM"_s, u"A"_s, u"P"_s};
    for (int k = 0; k < 6; ++k) {
        if (!cands[k].isEmpty() && rest.startsWith(cands[k], Qt::CaseInsensitive)) {
            pos += cands[k].size();
            return k % 2 == 0 ? 1 : 2; // 1 = AM, 2 = PM
        }
    }
    return 0;
}

bool scanTime(const QString &s, qsizetype &pos, TDateTime &out, const TFormatSettings &fs)
{
    qsizetype p = pos;
    skipBlanks(s, p);
    int ampm = scanAmPm(s, p, fs);
    skipBlanks(s, p);
    int hour, minute = 0, sec = 0, msec = 0, digits;
    if (!scanNumber(s, p, hour, digits))
        return false;
    bool hasMinutes = false;
    if (p < s.size() && s[p] == fs.TimeSeparator) {
        ++p;
        if (!scanNumber(s, p, minute, digits))
            return false;
        hasMinutes = true;
        if (p < s.size() && s[p] == fs.TimeSeparator) {
            ++p;
            if (!scanNumber(s, p, sec, digits))
                return false;
            if (p < s.size() && (s[p] == fs.DecimalSeparator || s[p] == u'.')) {
                ++p;
                if (!scanNumber(s, p, msec, digits, 3))
                    return false;
                for (int k = digits; k < 3; ++k)
                    msec *= 10; // ".5" is half a second
                while (p < s.size() && s[p].isDigit())
                    ++p; // finer digits than milliseconds are dropped
            }
        }
    }
    skipBlanks(s, p);
    if (ampm == 0)
        ampm = scanAmPm(s, p, fs);
    if (!hasMinutes && ampm == 0)
        return false;
    if (ampm != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (ampm == 2 ? 12 : 0);
    }
    if (!TryEncodeTime(hour, minute, sec, msec, out))
        return false;
    pos = p;
    return true;
}

bool atEnd(const QString &s, qsizetype pos)
{
    while (pos < s.size() && isBlank(s[pos]))
        ++pos;
    return pos == s.size();
}

} // namespace

bool TryStrToDate(const QString &s, TDateTime &out, const TFormatSettings &fs)
{
    qsizetype pos = 0;
    TDateTime d;
    if (!scanDate(s, pos, d, fs) || !atEnd(s, pos))
        return false;
    out = d;
    return true;
}

bool TryStrToTime(const QString &s, TDateTime &out, const TFormatSettings &fs)
{
    qsizetype pos = 0;
    TDateTime t;
    if (!scanTime(s, pos, t, fs) || !atEnd(s, pos))
        return false;
    out = t;
    return true;
}

bool TryStrToDateTime(const QString &s, TDateTime &out, const TFormatSettings &fs)
{
    qsizetype pos = 0;
    TDateTime d = 0, t = 0;
    if (scanDate(s, pos, d, fs)) {
        if (atEnd(s, pos)) {
            out = d;
            return true;
        }
        if (!scanTime(s, pos, t, fs) || !atEnd(s, pos))
            return false;
        out = d < 0 ? d - t : d + t;
        return true;
    }
    return TryStrToTime(s, out, fs);
}

TDateTime StrToDate(const QString &s, const TFormatSettings &fs)
{
    TDateTime r;
    if (!TryStrToDate(s, r, fs))
        convertError(QStringLiteral("'%1' is not a valid date"), s);
    return r;
}

TDateTime StrToTime(const QString &s, const TFormatSettings &fs)
{
    TDateTime r;
    if (!TryStrToTime(s, r, fs))
        convertError(QStringLiteral("'%1' is not a valid time"), s);
    return r;
}

TDateTime StrToDateTime(const QString &s, const TFormatSettings &fs)
{
    TDateTime r;
    if (!TryStrToDateTime(s, r, fs))
        convertError(QStringLiteral("'%1' is not a valid date and time"), s);
    return r;
}

// ---------------------------------------------------------------------------
// Format()

namespace {

// Money text by the Windows positive/negative currency layouts.
QString moneyText(double v, int decimals, const TFormatSettings &fs)
{
    const QString num = detail::fixedFormat(std::fabs(v), decimals, true, fs);
    const QString &cur = fs.CurrencyString;
    const bool neg = v < 0 && std::any_of(num.cbegin(), num.cend(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    if (!neg) {
        switch (fs.CurrencyFormat) {
        case 1: return num + cur;
        case 2: return cur + u' ' + num;
        case 3: return num + u' ' + cur;
        default: return cur + num;
        }
    }
    switch (fs.NegCurrFormat) {
    case 1: return u'-' + cur + num;
    case 2: return cur + u'-' + num;
    case 3: return cur + num + u'-';
    case 4: return u'(' + num + cur + u')';
    case 5: return u'-' + num + cur;
    case 6: return num + u'-' + cur;
    case 7: return num + cur + u'-';
    case 8: return u'-' + num + u' ' + cur;
    case 9: return u'-' + cur + u' ' + num;
    case 10: return num + u' ' + cur + u'-';
    case 11: return cur + u' ' + num + u'-';
    case 12: return cur + u' ' + u'-' + num;
    case 13: return num + u'-' + u' ' + cur;
    case 14: return u'(' + cur + u' ' + num + u')';
    case 15: return u'(' + num + u' ' + cur + u')';
    default: return u'(' + cur + num + u')';
    }
}

} // namespace

QString FloatToStrF(double v, TFloatFormat format, int precision, int digits, const TFormatSettings &fs)
{
    switch (format) {
    case ffExponent: return detail::exponentFormat(v, precision, std::clamp(digits, 0, 4), fs);
    case ffFixed: return detail::fixedFormat(v, digits, false, fs, precision);
    case ffNumber: return detail::fixedFormat(v, digits, true, fs, precision);
    case ffCurrency: return moneyText(v, digits, fs);
    default: return detail::generalFormat(v, precision, std::clamp(digits, 0, 4), fs);
    }
}

QString Format(const QString &format, const QList<Variant> &args, const TFormatSettings &fs)
{
    // Width and precision bound what one specifier may add to the output.
    constexpr qint64 kMaxFormatCount = 65535;
    auto invalid = [&]() -> QString {
        throw EConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(format));
    };
    auto missing = [&]() -> QString {
        throw EConvertError(QStringLiteral("No argument for format '%1'").arg(format));
    };
    QString out;
    qsizetype argIndex = 0;
    const qsizetype n = format.size();
    auto nextArg = [&]() -> const Variant & {
        if (argIndex >= args.size())
            missing();
        return args[argIndex++].Deref();
    };
    // A number in the specifier, or '*' taking it from the arguments; -1 when absent.
    auto scanCount = [&](qsizetype &i) -> qint64 {
        if (i < n && format[i] == u'*') {
            ++i;
            const Variant &a = nextArg();
            if (!a.IsOrdinal())
                invalid();
            const qint64 v = VarToInt64(a);
            if (v > kMaxFormatCount)
                invalid();
            return v < 0 ? -1 : v;
        }
        qint64 v = -1;
        while (i < n && format[i].unicode() >= '0' && format[i].unicode() <= '9') {
            v = (v < 0 ? 0 : v) * 10 + (format[i].unicode() - '0');
            if (v > kMaxFormatCount)
                invalid(); // widths that large are a broken format, not a request
            ++i;
        }
        return v;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = format[i];
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        ++i;
        if (i < n && format[i] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        // %[index:][-][width][.precision]type
        qsizetype k = i;
        qint64 index = 0;
        while (k < n && format[k].unicode() >= '0' && format[k].unicode() <= '9' && index <= 100000)
            index = index * 10 + (format[k++].unicode() - '0');
        if (k < n && format[k] == u':') {
            argIndex = index;
            i = k + 1;
        }
        bool left = false;
        if (i < n && format[i] == u'-') {
            left = true;
            ++i;
        }
        qint64 width = scanCount(i);
        qint64 prec = -1;
        if (i < n && format[i] == u'.') {
            ++i;
            prec = scanCount(i);
            if (prec < 0)
                prec = 0;
        }
        if (i >= n)
            invalid();
        const QChar type = format[i++].toLower();
        QString text;
        switch (type.unicode()) {
        case 'd':
        case 'u':
        case 'x':
        case 'p': {
            const Variant &a = nextArg();
            qint64 v;
            if (a.Type() == varUInt64) {
                v = a.RawInt(); // the bits; printed unsigned below
            } else if (a.IsOrdinal()) {
                v = VarToInt64(a);
            } else if (a.IsString()) {
                if (!TryStrToInt64(VarToStr(a), v))
                    invalid();
            } else {
                invalid();
            }
            const bool wide = a.BaseType() == varInt64 || a.BaseType() == varUInt64
                              || v > std::numeric_limits<quint32>::max() || v < std::numeric_limits<qint32>::min();
            if (type == u'd') {
                if (a.BaseType() == varUInt64)
                    text = QString::number(quint64(v));
                else
                    text = QString::number(v < 0 ? quint64(0) - quint64(v) : quint64(v));
                if (prec >= 0 && text.size() < prec)
                    text.prepend(QString(prec - text.size(), u'0'));
                if (v < 0 && a.BaseType() != varUInt64)
                    text.prepend(u'-');
            } else if (type == u'u') {
                text = QString::number(wide ? quint64(v) : quint64(quint32(v)));
                if (prec >= 0 && text.size() < prec)
                    text.prepend(QString(prec - text.size(), u'0'));
            } else if (type == u'x') {
                text = QString::number(wide ? quint64(v) : quint64(quint32(v)), 16).toUpper();
                if (prec >= 0 && text.size() < prec)
                    text.prepend(QString(prec - text.size(), u'0'));
            } else {
                text = IntToHex(v, int(sizeof(void *) * 2));
            }
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            const Variant &a = nextArg();
            double v;
            if (a.IsNumeric() || a.BaseType() == varDate) {
                v = VarToDouble(a);
            } else if (a.IsString()) {
                if (!TryStrToFloat(VarToStr(a), v, fs))
                    invalid();
            } else {
                invalid();
            }
            switch (type.unicode()) {
            case 'e': text = detail::exponentFormat(v, prec < 0 ? 15 : int(prec), 3, fs); break;
            case 'f': text = detail::fixedFormat(v, prec < 0 ? 2 : int(prec), false, fs); break;
            case 'g': text = detail::generalFormat(v, prec < 0 ? 15 : int(prec), 0, fs); break;
            case 'n': text = detail::fixedFormat(v, prec < 0 ? 2 : int(prec), true, fs); break;
            default: text = moneyText(v, prec < 0 ? fs.CurrencyDecimals : int(prec), fs); break;
            }
            break;
        }
        case 's': {
            const Variant &a = nextArg();
            try {
                text = VarToStr(a);
            } catch (const EVariantError &) {
                invalid();
            }
            if (prec >= 0 && text.size() > prec)
                text.truncate(prec);
            break;
        }
        default:
            invalid();
        }
        if (width > text.size()) {
            const QString fill(width - text.size(), u' ');
            text = left ? text + fill : fill + text;
        }
        out += text;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Strings

int CompareStr(const QString &a, const QString &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int d = int(a[i].unicode()) - int(b[i].unicode());
        if (d != 0)
            return d;
    }
    return int(std::clamp<qsizetype>(a.size() - b.size(), -1, 1));
}

int CompareText(const QString &a, const QString &b)
{
    auto fold = [](char16_t c) -> int { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int d = fold(a[i].unicode()) - fold(b[i].unicode());
        if (d != 0)
            return d;
    }
    return int(std::clamp<qsizetype>(a.size() - b.size(), -1, 1));
}

bool SameText(const QString &a, const QString &b)
{
    return a.size() == b.size() && CompareText(a, b) == 0;
}

QString QuotedStr(const QString &s, QChar quote)
{
    QString out;
    out.reserve(s.size() + 2);
    out += quote;
    for (QChar c : s) {
        out += c;
        if (c == quote)
            out += quote;
    }
    out += quote;
    return out;
}

QString AnsiDequotedStr(const QString &s, QChar quote)
{
    if (s.isEmpty() || s[0] != quote)
        return s;
    QString out;
    for (qsizetype i = 1; i < s.size(); ++i) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                out += quote;
                ++i;
                continue;
            }
            return out; // closing quote; anything after it is dropped
        }
        out += s[i];
    }
    return s; // no closing quote: not a quoted string after all
}

QString Trim(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

QString TrimLeft(const QString &s)
{
    qsizetype b = 0;
    while (b < s.size() && isBlank(s[b]))
        ++b;
    return s.mid(b);
}

QString TrimRight(const QString &s)
{
    qsizetype e = s.size();
    while (e > 0 && isBlank(s[e - 1]))
        --e;
    return s.left(e);
}

int ExtractStrings(const QList<QChar> &separators, const QList<QChar> &whiteSpace, const QString &content,
                   QStringList &out)
{
    int added = 0;
    const qsizetype n = content.size();
    qsizetype i = 0;
    auto isLineBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    while (i < n) {
        while (i < n && (whiteSpace.contains(content[i]) || isLineBreak(content[i])))
            ++i;
        QString item;
        QChar quote;
        bool quoted = false;
        for (; i < n; ++i) {
            const QChar c = content[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
                item += c;
                continue;
            }
            if (separators.contains(c) || isLineBreak(c))
                break;
            if (c == u'"' || c == u'\'') {
                quote = c;
                quoted = true;
            }
            item += c;
        }
        ++i; // past the separator
        if (!item.isEmpty()) {
            if (quoted && (item[0] == u'"' || item[0] == u'\''))
                item = AnsiDequotedStr(item, item[0]);
            out << item;
            ++added;
        }
    }
    return added;
}

} // namespace zor
