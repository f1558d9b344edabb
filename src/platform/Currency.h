// Fixed-point money value: a 64-bit integer holding the amount times 10000.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QtGlobal>
#include <compare>

namespace zor {

struct ZOR_EXPORT Currency
{
    qint64 Scaled = 0; // amount * 10000

    constexpr Currency() = default;
    static constexpr Currency FromScaled(qint64 v) { Currency c; c.Scaled = v; return c; }
    // Rounds half away from zero to four decimals; raises EOverflow outside the range.
    static Currency FromDouble(double v);
    double ToDouble() const { return double(Scaled) / 10000.0; }
    // "12.5" style text (no trailing zeros, '.' decimal separator), as CurrToStr.
    QString ToString() const;
    // Exactly four decimals ("12.5000"), for data exchange.
    QString ToFixedString() const;
    // Parses decimal text with up to four decimals (more are rounded); false on bad text.
    static bool TryParse(const QString &text, Currency &out);

    friend constexpr bool operator==(Currency a, Currency b) { return a.Scaled == b.Scaled; }
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.Scaled <=> b.Scaled; }
    friend constexpr Currency operator+(Currency a, Currency b) { return FromScaled(a.Scaled + b.Scaled); }
    friend constexpr Currency operator-(Currency a, Currency b) { return FromScaled(a.Scaled - b.Scaled); }
    friend Currency operator*(Currency a, Currency b); // rounded to four decimals
    friend Currency operator/(Currency a, Currency b); // raises EZeroDivide on b == 0
};

} // namespace zor
