// The value a spreadsheet cell holds or a formula yields: empty, number,
// text, boolean or error, with the conversions between them that formulas use.
//
// Dates are numbers: the platform's TDateTime serial (days since 1899-12-30).
// Other spreadsheets count a 29 February 1900 that never was, so their
// serials before 1900-03-01 are one day larger than ours; from 1900-03-01 on
// both agree.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>
#include <optional>

namespace zor {

// Numbered as ERROR.TYPE numbers them.
enum class TSheetError : int { None = 0, Null = 1, DivZero = 2, Value = 3, Ref = 4, Name = 5, Num = 6, NA = 7 };

enum class TCellKind : unsigned char { Empty, Number, Text, Boolean, Error };

struct ZOR_EXPORT TCellValue
{
    TCellKind kind = TCellKind::Empty;
    double number = 0;         // Number; Boolean as 0/1
    TSheetError error = TSheetError::None;
    QString text;              // Text; for an Error its message (may be empty)

    static TCellValue Number(double v);
    static TCellValue Text(const QString &s);
    static TCellValue Boolean(bool b);
    static TCellValue Error(TSheetError e, const QString &message = QString());

    bool IsEmpty() const { return kind == TCellKind::Empty; }
    bool IsError() const { return kind == TCellKind::Error; }
    bool IsNumber() const { return kind == TCellKind::Number; }
    bool IsText() const { return kind == TCellKind::Text; }
    bool IsBoolean() const { return kind == TCellKind::Boolean; }

    // The value as it shows in a General cell and in text concatenation:
    // "TRUE", "#DIV/0!", 15 significant digits.
    QString ToString() const;
};

// Same kind and value; errors compare by code only.
ZOR_EXPORT bool operator==(const TCellValue &a, const TCellValue &b);
inline bool operator!=(const TCellValue &a, const TCellValue &b) { return !(a == b); }

// "#DIV/0!" for TSheetError::DivZero; empty for None.
ZOR_EXPORT QString SheetErrorText(TSheetError e);
// The error a text such as "#N/A" names (case-insensitive), or None.
ZOR_EXPORT TSheetError SheetErrorFromText(const QString &s);
// A number in General form: up to 15 significant digits, "1E+20".
ZOR_EXPORT QString SheetNumberText(double v);
// Text read as a number the way arithmetic does ("3", " 1.5e3 ", "50%"); nothing otherwise.
ZOR_EXPORT std::optional<double> SheetTextToNumber(const QString &s);

} // namespace zor
