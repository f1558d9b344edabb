#include "Currency.h"

#include "Exception.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <limits>

namespace zor {

namespace {

[[noreturn]] void overflow()
{
    throw EOverflow(QStringLiteral("Floating point overflow"));
}

// Divides with rounding half away from zero.
qint64 roundedDiv(__int128 num, __int128 den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    __int128 q = num / den, r = num % den;
    if (r < 0)
        r = -r;
    if (2 * r >= den)
        q += num < 0 ? -1 : 1;
    if (q > std::numeric_limits<qint64>::max() || q < std::numeric_limits<qint64>::min())
        overflow();
    return qint64(q);
}

QString scaledToText(qint64 scaled, bool trimZeros)
{
    const bool neg = scaled < 0;
    // magnitude as unsigned so that the smallest value prints too
    const quint64 mag = neg ? quint64(0) - quint64(scaled) : quint64(scaled);
    QString s = QString::number(mag / 10000);
    QString frac = QStringLiteral("%1").arg(mag % 10000, 4, 10, QLatin1Char('0'));
    if (trimZeros) {
        while (frac.endsWith(u'0'))
            frac.chop(1);
    }
    if (!frac.isEmpty())
        s += u'.' + frac;
    return neg ? u'-' + s : s;
}

} // namespace

Currency Currency::FromDouble(double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 922337203685477.6)
        overflow();
    // Round on the shortest decimal text that reads back as v: 1.00005 is
    // stored a hair below the half, yet is meant as the half.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
    const std::string_view text(buf, size_t(res.ptr - buf));
    const size_t ePos = text.find('e');
    std::string digits;
    for (char c : text.substr(0, ePos))
        if (c != '.')
            digits += c;
    const int exp = std::atoi(std::string(text.substr(ePos + 1)).c_str());
    // value = d.ddd * 10^exp; the scaled integer keeps exp + 5 leading digits
    const int keep = exp + 5;
    __int128 scaled = 0;
    bool up = false;
    if (keep > 0) {
        for (int i = 0; i < keep; ++i)
            scaled = scaled * 10 + (i < int(digits.size()) ? digits[size_t(i)] - '0' : 0);
        up = keep < int(digits.size()) && digits[size_t(keep)] >= '5';
    } else {
        up = keep == 0 && digits[0] >= '5';
    }
    if (up)
        ++scaled;
    if (v < 0)
        scaled = -scaled;
    if (scaled > std::numeric_limits<qint64>::max() || scaled < std::numeric_limits<qint64>::min())
        overflow();
    return FromScaled(qint64(scaled));
}

QString Currency::ToString() const
{
    return scaledToText(Scaled, true);
}

QString Currency::ToFixedString() const
{
    return scaledToText(Scaled, false);
}

bool Currency::TryParse(const QString &text, Currency &out)
{
    const QString s = text.trimmed();
    qsizetype i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        neg = s[i++] == u'-';
    __int128 whole = 0;
    int digits = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        whole = whole * 10 + (s[i++].unicode() - '0');
        if (whole > __int128(std::numeric_limits<qint64>::max()))
            return false;
        ++digits;
    }
    qint64 frac = 0;
    int fracDigits = 0;
    bool roundUp = false;
    if (i < s.size() && s[i] == u'.') {
        ++i;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            const int dgt = s[i++].unicode() - '0';
            if (fracDigits < 4) {
                frac = frac * 10 + dgt;
                ++fracDigits;
            } else if (fracDigits == 4) {
                roundUp = dgt >= 5; // only the first dropped digit decides
                ++fracDigits;
            }
            ++digits;
        }
    }
    if (digits == 0 || i != s.size())
        return false;
    for (int k = std::min(fracDigits, 4); k < 4; ++k)
        frac *= 10;
    __int128 scaled = whole * 10000 + frac + (roundUp ? 1 : 0);
    if (neg)
        scaled = -scaled;
    if (scaled > std::numeric_limits<qint64>::max() || scaled < std::numeric_limits<qint64>::min())
        return false;
    out.Scaled = qint64(scaled);
    return true;
}

ZOR_EXPORT Currency operator*(Currency a, Currency b)
{
    return Currency::FromScaled(roundedDiv(__int128(a.Scaled) * b.Scaled, 10000));
}

ZOR_EXPORT Currency operator/(Currency a, Currency b)
{
    if (b.Scaled == 0) {
        if (a.Scaled == 0)
            throw EInvalidOp(QStringLiteral("Invalid floating point operation"));
        throw EZeroDivide(QStringLiteral("Floating point division by zero"));
    }
    return Currency::FromScaled(roundedDiv(__int128(a.Scaled) * 10000, b.Scaled));
}

} // namespace zor
