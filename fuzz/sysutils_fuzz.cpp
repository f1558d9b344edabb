// Text conversions of the value types on arbitrary input: number, date and
// boolean parsing, float/date pictures and Format() strings taken from the
// data, code page decoding, and variant casts of strings. Nothing may crash,
// hang or raise anything but the library's own exceptions; parsed numbers
// must survive their own text form.
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/Variant.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace zor;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template <class Fn>
void guarded(Fn fn)
{
    try {
        fn();
    } catch (const Exception &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const uint8_t op = data[0] % 6;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString text = QString::fromUtf8(bytes);

    switch (op) {
    case 0: {
        double d;
        if (TryStrToFloat(text, d) && std::isfinite(d)) {
            double back;
            check(TryStrToFloat(FloatToStr(d), back));
        }
        qint64 i;
        if (TryStrToInt64(text, i))
            check(StrToInt64(IntToStr(i)) == i);
        TDateTime dt;
        if (TryStrToDateTime(text, dt)) {
            TDateTime back;
            check(TryStrToDateTime(DateTimeToStr(dt), back));
        }
        bool b;
        TryStrToBool(text, b);
        Currency c;
        if (Currency::TryParse(text, c)) {
            Currency back;
            check(Currency::TryParse(c.ToString(), back) && back == c);
        }
        break;
    }
    case 1:
        for (double v : {0.0, -1.5, 1234567.891, 1e300, 5e-324})
            guarded([&] { FormatFloat(text, v); });
        break;
    case 2:
        for (double v : {0.0, -1.25, 45000.5, MinDateTime, MaxDateTime})
            guarded([&] { FormatDateTime(text, v); });
        break;
    case 3:
        guarded([&] {
            Format(text, {Variant(1), Variant(-2.5), Variant(QStringLiteral("s")), Variant(qint64(-1)),
                          Variant::Null(), Variant(Currency::FromScaled(12345))});
        });
        break;
    case 4:
        FromCodePage(bytes, 1252);
        FromCodePage(bytes, CP_UTF8);
        guarded([&] { ToCodePage(DecodeCharset(bytes, QStringLiteral("shift_jis")), 932); });
        guarded([&] { DecodeCharset(bytes, QStringLiteral("iso-2022-jp")); });
        check(ToCodePage(FromCodePage(bytes, 1252), 1252) == bytes);
        break;
    default: {
        const Variant v(text);
        for (TVarType t : {varSmallint, varInteger, varSingle, varDouble, varCurrency, varDate, varBoolean,
                           varByte, varInt64, varUInt64, varString})
            guarded([&] { VarCast(v, t); });
        guarded([&] { (void)(v + Variant(1)); });
        guarded([&] { VarCompareValue(v, Variant(2.5)); });
        VarSameValue(v, Variant::FromDateTime(1));
        break;
    }
    }
    return 0;
}
