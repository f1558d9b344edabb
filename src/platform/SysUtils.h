// Text conversions with the classic rules the library's data and scripts
// expect: integer and float parsing, float and date-time formatting with
// format pictures, Format() with %d/%s/%f… specifiers, ordinal comparisons.
#pragma once

#include "Currency.h"
#include "DateTime.h"
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringList>

namespace zor {

class Variant;

struct ZOR_EXPORT TFormatSettings
{
    QChar DecimalSeparator = u'.';
    QChar ThousandSeparator = u',';
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QString ShortDateFormat = QStringLiteral("MM/dd/yyyy");
    QString LongDateFormat = QStringLiteral("dddd, MMMM d, yyyy");
    QString ShortTimeFormat = QStringLiteral("hh:nn");
    QString LongTimeFormat = QStringLiteral("hh:nn:ss");
    QString TimeAMString = QStringLiteral("AM");
    QString TimePMString = QStringLiteral("PM");
    QStringList ShortMonthNames, LongMonthNames; // 12 entries, January first
    QStringList ShortDayNames, LongDayNames;     // 7 entries, Sunday first
    QString CurrencyString = QStringLiteral("$");
    int CurrencyDecimals = 2;
    // Placement of the currency string (Windows layouts): positive 0 "$1",
    // 1 "1$", 2 "$ 1", 3 "1 $"; negative 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-" … 15 "(1 $)".
    int CurrencyFormat = 0;
    int NegCurrFormat = 0;

    // Fixed, locale-independent settings (English names, '.' decimals, MM/dd/yyyy).
    static TFormatSettings Invariant();
};

// Process-wide settings used by the functions without a settings argument;
// invariant by default so that results do not depend on the machine's locale.
ZOR_EXPORT TFormatSettings &FormatSettings();

// Integers. Accept optional sign, decimal or '$'/'0x' hexadecimal, surrounding
// blanks; EConvertError "'%s' is not a valid integer value".
ZOR_EXPORT int StrToInt(const QString &s);
ZOR_EXPORT qint64 StrToInt64(const QString &s);
ZOR_EXPORT int StrToIntDef(const QString &s, int def);
ZOR_EXPORT qint64 StrToInt64Def(const QString &s, qint64 def);
ZOR_EXPORT bool TryStrToInt(const QString &s, int &out);
ZOR_EXPORT bool TryStrToInt64(const QString &s, qint64 &out);
ZOR_EXPORT QString IntToStr(qint64 v);
ZOR_EXPORT QString IntToHex(qint64 v, int digits);

// Floats: EConvertError "'%s' is not a valid floating point value".
ZOR_EXPORT double StrToFloat(const QString &s, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT double StrToFloatDef(const QString &s, double def, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT bool TryStrToFloat(const QString &s, double &out, const TFormatSettings &fs = FormatSettings());
// Shortest text with up to 15 significant digits, exponent form "1.5E20" when needed.
ZOR_EXPORT QString FloatToStr(double v, const TFormatSettings &fs = FormatSettings());
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// ffGeneral: shortest of fixed/scientific with `precision` significant digits,
// `digits` the minimum exponent digits; ffExponent "d.dddE+ddd"; ffFixed and
// ffNumber (thousands grouped) `digits` decimals, scientific when the integer
// part exceeds `precision`; ffCurrency with the currency string and layouts.
ZOR_EXPORT QString FloatToStrF(double v, TFloatFormat format, int precision, int digits,
                               const TFormatSettings &fs = FormatSettings());
// Format pictures with 0 # . , E+ and ;-sections.
ZOR_EXPORT QString FormatFloat(const QString &format, double v, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT QString CurrToStr(Currency v, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT Currency StrToCurr(const QString &s, const TFormatSettings &fs = FormatSettings());

// Booleans: "True"/"False", "-1"/"0" style numbers; EConvertError "'%s' is not a valid boolean value".
ZOR_EXPORT bool StrToBool(const QString &s);
ZOR_EXPORT bool StrToBoolDef(const QString &s, bool def);
ZOR_EXPORT bool TryStrToBool(const QString &s, bool &out);
ZOR_EXPORT QString BoolToStr(bool v, bool useBoolStrs = false); // "-1"/"0" or "True"/"False"

// Date-times with picture strings (yyyy mm dd hh nn ss zzz am/pm "c" "t" "ddddd" …).
ZOR_EXPORT QString FormatDateTime(const QString &format, TDateTime dt, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT QString DateToStr(TDateTime dt, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT QString TimeToStr(TDateTime dt, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT QString DateTimeToStr(TDateTime dt, const TFormatSettings &fs = FormatSettings());
// EConvertError "'%s' is not a valid date" / "… time" / "… date and time".
ZOR_EXPORT TDateTime StrToDate(const QString &s, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT TDateTime StrToTime(const QString &s, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT TDateTime StrToDateTime(const QString &s, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT bool TryStrToDate(const QString &s, TDateTime &out, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT bool TryStrToTime(const QString &s, TDateTime &out, const TFormatSettings &fs = FormatSettings());
ZOR_EXPORT bool TryStrToDateTime(const QString &s, TDateTime &out, const TFormatSettings &fs = FormatSettings());

// Format("%d items, %s, %.2f", {…}): specifiers d u x e f g n m p s with
// index, width and precision ("%0:s", "%-10s", "%*d"); EConvertError
// "Format '%s' invalid or incompatible with argument" on a mismatch.
ZOR_EXPORT QString Format(const QString &format, const QList<Variant> &args,
                          const TFormatSettings &fs = FormatSettings());

// Ordinal comparisons (code unit by code unit) and ASCII-case-insensitive ones.
ZOR_EXPORT int CompareStr(const QString &a, const QString &b);
ZOR_EXPORT int CompareText(const QString &a, const QString &b);
ZOR_EXPORT bool SameText(const QString &a, const QString &b);
ZOR_EXPORT QString QuotedStr(const QString &s, QChar quote = u'\'');
ZOR_EXPORT QString AnsiDequotedStr(const QString &s, QChar quote);
ZOR_EXPORT QString Trim(const QString &s);       // removes chars <= ' ' at both ends
ZOR_EXPORT QString TrimLeft(const QString &s);
ZOR_EXPORT QString TrimRight(const QString &s);

// Splits at any of the separators, skipping leading white-space characters of
// each item, honouring quotes; empty items are dropped. Returns the count added.
ZOR_EXPORT int ExtractStrings(const QList<QChar> &separators, const QList<QChar> &whiteSpace,
                              const QString &content, QStringList &out);

} // namespace zor
