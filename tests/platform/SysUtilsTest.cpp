#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/platform/Variant.h>

#include "TestUtil.h"

#include <QDate>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

using namespace zor;

namespace {

// Runs fn and returns the EConvertError message it raised ("" when none).
template <class Fn>
QString convertErrorOf(Fn fn)
{
    try {
        fn();
    } catch (const EConvertError &e) {
        return e.Message();
    }
    return QString();
}

TFormatSettings germanStyle()
{
    TFormatSettings fs = TFormatSettings::Invariant();
    fs.DecimalSeparator = u',';
    fs.ThousandSeparator = u'.';
    fs.DateSeparator = u'.';
    fs.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
    return fs;
}

} // namespace

TEST(SysUtils, StrToIntAcceptsDecimalAndHexWithinRange)
{
    const struct { const char *text; bool ok; qint64 value; } rows[] = {
        {"123", true, 123},
        {" -42 ", true, -42},
        {"+7", true, 7},
        {"$FF", true, 255},
        {"0x1A", true, 26},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1}, // all 32 bits
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483648LL},
        {"2147483648", false, 0},
        {"$100000000", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"12a", false, 0},
        {"- 1", false, 0},
        {"1 2", false, 0},
        {"$", false, 0},
        {"1.0", false, 0},
        {"\u0661", false, 0}, // Arabic-Indic one: a digit, but not ours
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        const QString s = QString::fromUtf8(r.text);
        int v = 99;
        EXPECT_EQ(TryStrToInt(s, v), r.ok);
        if (r.ok) {
            EXPECT_EQ(v, r.value);
            EXPECT_EQ(StrToInt(s), r.value);
        } else {
            EXPECT_EQ(StrToIntDef(s, -7), -7);
            EXPECT_EQ(convertErrorOf([&] { StrToInt(s); }),
                      QStringLiteral("'%1' is not a valid integer value").arg(s));
        }
    }
}

TEST(SysUtils, StrToInt64Limits)
{
    EXPECT_EQ(StrToInt64(QStringLiteral("9223372036854775807")), std::numeric_limits<qint64>::max());
    EXPECT_EQ(StrToInt64(QStringLiteral("-9223372036854775808")), std::numeric_limits<qint64>::min());
    EXPECT_EQ(StrToInt64(QStringLiteral("$FFFFFFFFFFFFFFFF")), -1);
    EXPECT_EQ(StrToInt64(QStringLiteral("4294967296")), qint64(4294967296));
    EXPECT_EQ(StrToInt64Def(QStringLiteral("9223372036854775808"), 5), 5);
    EXPECT_EQ(StrToInt64Def(QStringLiteral("99999999999999999999999"), 5), 5);
    EXPECT_EQ(IntToStr(-9), QStringLiteral("-9"));
    EXPECT_EQ(IntToHex(255, 4), QStringLiteral("00FF"));
    EXPECT_EQ(IntToHex(0x12345, 2), QStringLiteral("12345"));
    EXPECT_EQ(IntToHex(-1, 2), QStringLiteral("FFFFFFFFFFFFFFFF"));
}

TEST(SysUtils, FloatToStrUsesFifteenSignificantDigits)
{
    const struct { double v; const char *text; } rows[] = {
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {100, "100"},
        {-2.5, "-2.5"},
        {0, "0"},
        {-0.0, "0"},
        {123456789012345, "123456789012345"},
        {1e15, "1E15"},
        {1.5e20, "1.5E20"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-1.25e-10, "-1.25E-10"},
        {999999999999999.9, "1E15"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(FloatToStr(r.v), QLatin1String(r.text));
    }
    EXPECT_EQ(FloatToStr(1234.5, germanStyle()), QStringLiteral("1234,5"));
}

TEST(SysUtils, StrToFloatParsesWithTheSettingsSeparator)
{
    const struct { const char *text; bool ok; double v; } rows[] = {
        {"1.5", true, 1.5},
        {" -2.5e3 ", true, -2500},
        {"+.5", true, 0.5},
        {"5.", true, 5},
        {"1E-400", true, 0},
        {"inf", true, std::numeric_limits<double>::infinity()},
        {"1e400", false, 0},
        {"1,5", false, 0},
        {".", false, 0},
        {"e5", false, 0},
        {"1e", false, 0},
        {"1e+", false, 0},
        {"1.2.3", false, 0},
        {"0x10", false, 0},
        {"", false, 0},
        {"12 34", false, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        const QString s = QString::fromLatin1(r.text);
        double v = 42;
        EXPECT_EQ(TryStrToFloat(s, v), r.ok);
        if (r.ok) {
            EXPECT_EQ(v, r.v);
        } else {
            EXPECT_EQ(convertErrorOf([&] { StrToFloat(s); }),
                      QStringLiteral("'%1' is not a valid floating point value").arg(s));
        }
    }
    EXPECT_EQ(StrToFloat(QStringLiteral("1,5"), germanStyle()), 1.5);
    EXPECT_EQ(StrToFloatDef(QStringLiteral("1.5"), -1, germanStyle()), -1);
}

TEST(SysUtils, FloatTextRoundTripsAtFifteenDigits)
{
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mant(-10, 10);
    std::uniform_int_distribution<int> expo(-30, 30);
    for (int i = 0; i < 3000; ++i) {
        const double v = mant(rng) * std::pow(10.0, expo(rng));
        const double back = StrToFloat(FloatToStr(v));
        ASSERT_NEAR(back, v, std::fabs(v) * 1e-14) << FloatToStr(v).toStdString();
        // text that came from 15 digits reads back to exactly the same text
        ASSERT_EQ(FloatToStr(back), FloatToStr(v));
    }
}

// Short decimals (prices, measures) and full-precision values take different
// routes to their digits; both must give the value rounded to 15 significant
// digits, as the C library's %.15g rounds it.
TEST(SysUtils, FloatToStrDigitsAreTheValueRoundedToFifteen)
{
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<qint64> cents(-99999999, 99999999);
    std::uniform_real_distribution<double> mant(1, 10);
    std::uniform_int_distribution<int> expo(-20, 20);
    for (int i = 0; i < 20000; ++i) {
        double v;
        switch (i % 3) {
        case 0: v = double(cents(rng)) / 100; break;             // 12.34: few digits
        case 1: v = mant(rng) * std::pow(10.0, expo(rng)); break; // 16-17 digits
        default: v = double(cents(rng)) * std::pow(10.0, expo(rng)); break;
        }
        char oracle[64];
        std::snprintf(oracle, sizeof oracle, "%.15g", v);
        const QString text = FloatToStr(v);
        ASSERT_EQ(StrToFloat(text), std::strtod(oracle, nullptr)) << text.toStdString() << " vs " << oracle;
        const QString mantissa = text.section(u'E', 0, 0);
        ASSERT_FALSE(mantissa.contains(u'.') && mantissa.endsWith(u'0')) << text.toStdString();
    }
}

TEST(SysUtils, FormatFloatPictures)
{
    const struct { const char *format; double v; const char *text; } rows[] = {
        {"0.00", 1234.567, "1234.57"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0.00", -5, "-5.00"},
        {"#,##0", 999999.5, "1,000,000"},
        {"#.##", 0.5, ".5"},
        {"0.###", 1.5, "1.5"},
        {"0.0#", 2, "2.0"},
        {"000", 7, "007"},
        {"#", 0, ""},
        {"0", 1e20, "100000000000000000000"},
        {"0.00", 0.125, "0.13"},  // halves round away from zero on the decimal value
        {"0.00", 1.005, "1.01"},
        {"0.00", 2.675, "2.68"},
        {"0.00", -0.001, "0.00"}, // no "-0.00"
        {"0.00000", 0.00123, "0.00123"}, // zeros between the point and the first digit
        {"#,##0;(#,##0)", -1234, "(1,234)"},
        {"0.00;-0.00;zero", 0, "zero"},
        {"0.00;-0.00;zero", 0.001, "zero"},
        {"0.0;;zero", -1.5, "-1.5"},
        {"\"$\"#,##0.00", 5, "$5.00"},
        {"'#'0", 5, "#5"},
        {"x0x", 5, "x5x"},
        {"0.00E+00", 1234.5, "1.23E+03"},
        {"0.0E-0", 0.00012, "1.2E-4"},
        {"0.0E-0", 12000, "1.2E4"},
        {"00.0E+0", 1234.5, "12.3E+2"},
        {"0E+00", 0, "0E+00"},
        {"", 0.1 + 0.2, "0.3"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.format);
        SCOPED_TRACE(r.v);
        EXPECT_EQ(FormatFloat(QString::fromLatin1(r.format), r.v), QLatin1String(r.text));
    }
    EXPECT_EQ(FormatFloat(QStringLiteral("#,##0.00"), 1234.5, germanStyle()), QStringLiteral("1.234,50"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), std::numeric_limits<double>::quiet_NaN()), QStringLiteral("NAN"));
    TFormatSettings noGrouping = TFormatSettings::Invariant();
    noGrouping.ThousandSeparator = QChar();
    EXPECT_EQ(FormatFloat(QStringLiteral("#,##0"), 1234567, noGrouping), QStringLiteral("1234567"));
}

TEST(SysUtils, FloatToStrFFormats)
{
    EXPECT_EQ(FloatToStrF(1234.5, ffFixed, 15, 2), QStringLiteral("1234.50"));
    EXPECT_EQ(FloatToStrF(1234.5, ffNumber, 15, 1), QStringLiteral("1,234.5"));
    EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 2), QStringLiteral("1.235E+03"));
    EXPECT_EQ(FloatToStrF(1234.5, ffGeneral, 3, 0), QStringLiteral("1.23E3"));
    EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2), QStringLiteral("1.00000000000000E+020"));
}

TEST(SysUtils, FormatDateTimePictures)
{
    const TDateTime dt = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);
    const struct { const char *format; const char *text; } rows[] = {
        {"yyyy-mm-dd hh:nn:ss.zzz", "2024-03-05 14:07:09.045"},
        {"d/m/yy", "5/3/24"},
        {"h:mm", "14:07"},        // "mm" after an hour is minutes
        {"hh:mm:ss", "14:07:09"},
        {"mm/dd", "03/05"},
        {"mmm mmmm ddd dddd", "Mar March Tue Tuesday"},
        {"hh:nn am/pm", "02:07 pm"},
        {"h AM/PM", "2 PM"},
        {"h a/p", "2 p"},
        {"h ampm", "2 PM"},
        {"c", "03/05/2024 14:07:09"},
        {"ddddd", "03/05/2024"},
        {"dddddd", "Tuesday, March 5, 2024"},
        {"t", "14:07"},
        {"tt", "14:07:09"},
        {"'quoted' \"yy\" yy", "quoted yy 24"},
        {"s z", "9 45"},
        {"", "03/05/2024 14:07:09"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.format);
        EXPECT_EQ(FormatDateTime(QString::fromLatin1(r.format), dt), QLatin1String(r.text));
    }
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm/yyyy"), dt, germanStyle()), QStringLiteral("05.03.2024"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("h am/pm"), EncodeTime(0, 30, 0, 0)), QStringLiteral("12 am"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("h am/pm"), EncodeTime(12, 30, 0, 0)), QStringLiteral("12 pm"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("h \"am/pm\" h"), EncodeTime(14, 0, 0, 0)), QStringLiteral("14 am/pm 14"))
        << "a quoted marker does not switch to the 12-hour clock";
    EXPECT_EQ(FormatDateTime(QStringLiteral("h a/p h"), EncodeTime(14, 0, 0, 0)), QStringLiteral("2 p 14"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn"), -1.25), QStringLiteral("1899-12-29 06:00"));
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), QStringLiteral("03/05/2024")); // no time at midnight
    EXPECT_EQ(DateToStr(dt), QStringLiteral("03/05/2024"));
    EXPECT_EQ(TimeToStr(dt), QStringLiteral("14:07:09"));

    // "c" inside the settings' own formats must not recurse forever
    TFormatSettings loop = TFormatSettings::Invariant();
    loop.ShortDateFormat = QStringLiteral("c");
    EXPECT_FALSE(FormatDateTime(QStringLiteral("c"), dt, loop).isNull());
    // settings built by hand without names still print names
    TFormatSettings bare;
    EXPECT_EQ(FormatDateTime(QStringLiteral("mmmm"), dt, bare), QStringLiteral("March"));
}

TEST(SysUtils, StrToDateFollowsTheShortDateOrder)
{
    const int year = QDate::currentDate().year();
    const struct { const char *text; bool german; bool ok; int y, m, d; } rows[] = {
        {"03/05/2024", false, true, 2024, 3, 5},
        {"3/5/2024", false, true, 2024, 3, 5},
        {" 3/5/2024 ", false, true, 2024, 3, 5},
        {"2024/03/05", false, true, 2024, 3, 5}, // a leading four-digit year
        {"05.03.2024", true, true, 2024, 3, 5},
        {"02/29/2024", false, true, 2024, 2, 29},
        {"03/05", false, true, year, 3, 5},
        {"02/30/2024", false, false, 0, 0, 0},
        {"13/05/2024", false, false, 0, 0, 0},
        {"03/05/2024/1", false, false, 0, 0, 0},
        {"03/05/", false, false, 0, 0, 0},
        {"03-05-2024", false, false, 0, 0, 0},
        {"March 5", false, false, 0, 0, 0},
        {"", false, false, 0, 0, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        const QString s = QString::fromLatin1(r.text);
        const TFormatSettings fs = r.german ? germanStyle() : TFormatSettings::Invariant();
        TDateTime v = -5;
        EXPECT_EQ(TryStrToDate(s, v, fs), r.ok);
        if (r.ok) {
            EXPECT_EQ(v, EncodeDate(r.y, r.m, r.d));
        } else {
            EXPECT_EQ(convertErrorOf([&] { StrToDate(s, fs); }), QStringLiteral("'%1' is not a valid date").arg(s));
        }
    }
    // two-digit years fall into the 100 years around now
    int y, m, d;
    DecodeDate(StrToDate(QStringLiteral("1/1/%1").arg((year + 10) % 100, 2, 10, QLatin1Char('0'))), y, m, d);
    EXPECT_EQ(y, year + 10);
    DecodeDate(StrToDate(QStringLiteral("1/1/%1").arg((year - 60) % 100, 2, 10, QLatin1Char('0'))), y, m, d);
    EXPECT_EQ(y, year + 40);
}

TEST(SysUtils, StrToTimeWithSecondsMillisecondsAndAmPm)
{
    const struct { const char *text; bool ok; int h, n, s, z; } rows[] = {
        {"14:07", true, 14, 7, 0, 0},
        {"14:07:09", true, 14, 7, 9, 0},
        {"14:07:09.5", true, 14, 7, 9, 500},
        {"14:07:09.045", true, 14, 7, 9, 45},
        {"2:07 PM", true, 14, 7, 0, 0},
        {"2:07pm", true, 14, 7, 0, 0},
        {"12:00 AM", true, 0, 0, 0, 0},
        {"12:30 PM", true, 12, 30, 0, 0},
        {"9 am", true, 9, 0, 0, 0},
        {"PM 3:15", true, 15, 15, 0, 0},
        {"14", false, 0, 0, 0, 0},
        {"25:00", false, 0, 0, 0, 0},
        {"13:00 PM", false, 0, 0, 0, 0},
        {"10:60", false, 0, 0, 0, 0},
        {"10:", false, 0, 0, 0, 0},
        {"abc", false, 0, 0, 0, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        const QString s = QString::fromLatin1(r.text);
        TDateTime v;
        EXPECT_EQ(TryStrToTime(s, v), r.ok);
        if (r.ok) {
            EXPECT_EQ(v, EncodeTime(r.h, r.n, r.s, r.z));
        } else {
            EXPECT_EQ(convertErrorOf([&] { StrToTime(s); }), QStringLiteral("'%1' is not a valid time").arg(s));
        }
    }
}

TEST(SysUtils, DateTimeTextRoundTrips)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> day(-100000, 2900000), sec(0, 86399);
    for (int i = 0; i < 500; ++i) {
        const TDateTime d = day(rng);
        const TDateTime t = sec(rng) / 86400.0;
        const TDateTime dt = d < 0 ? d - t : d + t;
        const QString text = DateTimeToStr(dt);
        const TDateTime back = StrToDateTime(text);
        ASSERT_EQ(DateTimeToStr(back), text);
        ASSERT_NEAR(back, dt, 1e-8) << text.toStdString();
    }
    EXPECT_EQ(StrToDateTime(QStringLiteral("14:07")), EncodeTime(14, 7, 0, 0));
    EXPECT_EQ(convertErrorOf([] { StrToDateTime(QStringLiteral("03/05/2024 x")); }),
              QStringLiteral("'03/05/2024 x' is not a valid date and time"));
}

TEST(SysUtils, FormatSpecifiers)
{
    const struct { const char *format; QList<Variant> args; const char *text; } rows[] = {
        {"%d items", {5}, "5 items"},
        {"%5d|%-5d|", {42, 42}, "   42|42   |"},
        {"%.3d", {7}, "007"},
        {"%.3d", {-7}, "-007"},
        {"%d", {Variant(qint64(-9223372036854775807LL - 1))}, "-9223372036854775808"},
        {"%d", {Variant::FromUInt64(18446744073709551615ULL)}, "18446744073709551615"},
        {"%d", {Variant(QStringLiteral("12"))}, "12"},
        {"%x", {255}, "FF"},
        {"%.4x", {255}, "00FF"},
        {"%x", {-1}, "FFFFFFFF"},
        {"%x", {Variant(qint64(-1))}, "FFFFFFFFFFFFFFFF"},
        {"%u", {-1}, "4294967295"},
        {"%s and %s", {QStringLiteral("a"), QStringLiteral("b")}, "a and b"},
        {"%1:s %0:s %s", {QStringLiteral("a"), QStringLiteral("b")}, "b a b"},
        {"%*d", {5, 42}, "   42"},
        {"%-*d|", {4, 1}, "1   |"},
        {"%.*f", {1, 2.25}, "2.3"},
        {"%.2f", {3.14159}, "3.14"},
        {"%f", {2.5}, "2.50"},
        {"%.0f", {2.5}, "3"},
        {"%f", {3}, "3.00"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%e", {1234.5}, "1.23450000000000E+003"},
        {"%.3e", {1234.5}, "1.23E+003"},
        {"%.3e", {-0.00012345}, "-1.23E-004"},
        {"%g", {0.1 + 0.2}, "0.3"},
        {"%m", {-5}, "($5.00)"},
        {"%m", {1234.5}, "$1,234.50"},
        {"%.0m", {Variant(Currency::FromScaled(25000))}, "$3"},
        {"100%%", {}, "100%"},
        {"%.3s|%5s", {QStringLiteral("abcdef"), QStringLiteral("ab")}, "abc|   ab"},
        {"%s", {1.5}, "1.5"},
        {"%s", {true}, "True"},
        {"%s", {Variant::Null()}, ""},
        {"%S %D", {QStringLiteral("x"), 3}, "x 3"},
        {"%p", {255}, "00000000000000FF"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.format);
        EXPECT_EQ(Format(QString::fromLatin1(r.format), r.args), QLatin1String(r.text));
    }
    TFormatSettings fs = germanStyle();
    fs.CurrencyString = QStringLiteral("EUR");
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    EXPECT_EQ(Format(QStringLiteral("%m|%m|%.1f"), {1234.5, -2, 0.25}, fs), QStringLiteral("1.234,50 EUR|-2,00 EUR|0,3"));
}

TEST(SysUtils, FormatRejectsMismatchedArguments)
{
    const struct { const char *format; QList<Variant> args; const char *message; } rows[] = {
        {"%d", {1.5}, "Format '%d' invalid or incompatible with argument"},
        {"%d", {QStringLiteral("abc")}, "Format '%d' invalid or incompatible with argument"},
        {"%x", {true}, "Format '%x' invalid or incompatible with argument"},
        {"%f", {QStringLiteral("abc")}, "Format '%f' invalid or incompatible with argument"},
        {"%s", {VarArrayOf({1})}, "Format '%s' invalid or incompatible with argument"},
        {"%q", {1}, "Format '%q' invalid or incompatible with argument"},
        {"abc %", {}, "Format 'abc %' invalid or incompatible with argument"},
        {"%5", {1}, "Format '%5' invalid or incompatible with argument"},
        {"%*d", {1.5, 2}, "Format '%*d' invalid or incompatible with argument"},
        {"%999999999d", {1}, "Format '%999999999d' invalid or incompatible with argument"},
        {"%*d", {100000, 1}, "Format '%*d' invalid or incompatible with argument"},
        {"%d %d", {1}, "No argument for format '%d %d'"},
        {"%3:d", {1}, "No argument for format '%3:d'"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.format);
        EXPECT_EQ(convertErrorOf([&] { Format(QString::fromLatin1(r.format), r.args); }),
                  QLatin1String(r.message));
    }
}

TEST(SysUtils, BooleansAndCurrencyText)
{
    const struct { const char *text; bool ok, value; } rows[] = {
        {"True", true, true}, {"false", true, false}, {" TRUE ", true, true}, {"1", true, true},
        {"0", true, false}, {"-1", true, true}, {"0.0", true, false}, {"yes", false, false}, {"", false, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        bool b = !r.value;
        EXPECT_EQ(TryStrToBool(QString::fromLatin1(r.text), b), r.ok);
        if (r.ok) {
            EXPECT_EQ(b, r.value);
        }
    }
    EXPECT_EQ(convertErrorOf([] { StrToBool(QStringLiteral("yes")); }),
              QStringLiteral("'yes' is not a valid boolean value"));
    EXPECT_TRUE(StrToBoolDef(QStringLiteral("maybe"), true));
    EXPECT_EQ(BoolToStr(true), QStringLiteral("-1"));
    EXPECT_EQ(BoolToStr(false, true), QStringLiteral("False"));

    EXPECT_EQ(CurrToStr(Currency::FromScaled(-123456)), QStringLiteral("-12.3456"));
    EXPECT_EQ(CurrToStr(Currency::FromScaled(15000), germanStyle()), QStringLiteral("1,5"));
    EXPECT_EQ(StrToCurr(QStringLiteral("12.34567")).Scaled, 123457);
    EXPECT_EQ(StrToCurr(QStringLiteral("1,5"), germanStyle()).Scaled, 15000);
    EXPECT_EQ(StrToCurr(QStringLiteral("1.5E3")).Scaled, 15000000);
    EXPECT_EQ(convertErrorOf([] { StrToCurr(QStringLiteral("1e300")); }),
              QStringLiteral("'1e300' is not a valid floating point value"));
}

TEST(SysUtils, ComparisonsAreOrdinalAndAsciiCaseInsensitive)
{
    EXPECT_LT(CompareStr(QStringLiteral("a"), QStringLiteral("b")), 0);
    EXPECT_LT(CompareStr(QStringLiteral("B"), QStringLiteral("a")), 0); // by code unit
    EXPECT_GT(CompareStr(QStringLiteral("ab"), QStringLiteral("a")), 0);
    EXPECT_EQ(CompareStr(QString(), QString()), 0);
    EXPECT_LT(CompareText(QStringLiteral("abc"), QStringLiteral("ABD")), 0);
    EXPECT_EQ(CompareText(QStringLiteral("Hello"), QStringLiteral("hELLO")), 0);
    // '_' sits between the upper- and lower-case letters: folding to upper case decides
    EXPECT_GT(CompareText(QStringLiteral("_"), QStringLiteral("a")), 0);
    EXPECT_TRUE(SameText(QStringLiteral("Hello"), QStringLiteral("hELLO")));
    EXPECT_FALSE(SameText(QStringLiteral("\u00E4"), QStringLiteral("\u00C4"))); // ASCII only
    EXPECT_FALSE(SameText(QStringLiteral("a"), QStringLiteral("a ")));
}

TEST(SysUtils, QuotingAndTrimming)
{
    EXPECT_EQ(QuotedStr(QStringLiteral("it's")), QStringLiteral("'it''s'"));
    EXPECT_EQ(QuotedStr(QString()), QStringLiteral("''"));
    EXPECT_EQ(QuotedStr(QStringLiteral("say \"hi\""), u'"'), QStringLiteral("\"say \"\"hi\"\"\""));
    const struct { const char *in, *out; } dequote[] = {
        {"'it''s'", "it's"}, {"''", ""}, {"abc", "abc"}, {"'abc", "'abc"}, {"'a''b'c", "a'b"},
        {"", ""}, {"'", "'"}, {"''''", "'"},
    };
    for (const auto &r : dequote) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(AnsiDequotedStr(QString::fromLatin1(r.in), u'\''), QLatin1String(r.out));
    }
    for (const QString &s : {QStringLiteral("plain"), QStringLiteral("it's"), QStringLiteral("''"), QString()})
        EXPECT_EQ(AnsiDequotedStr(QuotedStr(s), u'\''), s);

    EXPECT_EQ(Trim(QStringLiteral("\t a b \n\r")), QStringLiteral("a b"));
    EXPECT_EQ(TrimLeft(QStringLiteral("  a ")), QStringLiteral("a "));
    EXPECT_EQ(TrimRight(QStringLiteral("  a \x01")), QStringLiteral("  a"));
    EXPECT_EQ(Trim(QStringLiteral(" \u00A0x")), QStringLiteral("\u00A0x")); // only chars up to ' '
    EXPECT_EQ(Trim(QStringLiteral("   ")), QString());
}

TEST(SysUtils, ExtractStringsSplitsHonouringQuotes)
{
    const struct { const char *content; QList<QChar> seps, ws; QStringList items; } rows[] = {
        {"a, b,,c", {u','}, {u' '}, {"a", "b", "c"}},
        {"'a,b',c", {u','}, {}, {"a,b", "c"}},
        {"\"x y\" z", {u' '}, {}, {"x y", "z"}},
        {"one\r\ntwo\nthree", {u','}, {}, {"one", "two", "three"}},
        {"3,,x,1", {u','}, {}, {"3", "x", "1"}},
        {"a 'b c' d", {u','}, {}, {"a 'b c' d"}},
        {"  lead,trail  ", {u','}, {u' '}, {"lead", "trail  "}},
        {"'unclosed,x", {u','}, {}, {"'unclosed,x"}},
        {"", {u','}, {}, {}},
        {",,,", {u','}, {}, {}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.content);
        QStringList out{QStringLiteral("kept")};
        const int n = ExtractStrings(r.seps, r.ws, QString::fromLatin1(r.content), out);
        EXPECT_EQ(n, r.items.size());
        EXPECT_EQ(out, QStringList{QStringLiteral("kept")} + r.items);
    }
}

TEST(SysUtils, IsoStyleSettingsParseAndPrintTheirOwnText)
{
    TFormatSettings iso = TFormatSettings::Invariant();
    iso.DateSeparator = u'-';
    iso.ShortDateFormat = QStringLiteral("yyyy-mm-dd");
    iso.LongTimeFormat = QStringLiteral("hh:nn:ss");
    const TDateTime dt = EncodeDateTime(2024, 3, 5, 14, 7, 9, 0);
    EXPECT_EQ(DateTimeToStr(dt, iso), QStringLiteral("2024-03-05 14:07:09"));
    EXPECT_EQ(DateTimeToStr(DateOf(dt), iso), QStringLiteral("2024-03-05"));
    EXPECT_EQ(StrToDateTime(QStringLiteral("2024-03-05 14:07:09"), iso), dt);
    EXPECT_EQ(StrToDate(QStringLiteral("2024-3-5"), iso), EncodeDate(2024, 3, 5));
    TDateTime out;
    EXPECT_FALSE(TryStrToDate(QStringLiteral("05-03-2024"), out, iso));
    EXPECT_FALSE(TryStrToDateTime(QStringLiteral("2024-03-05T14:07:09"), out, iso));
    EXPECT_FALSE(TryStrToDate(QStringLiteral("2024/03/05"), out, iso));
}
