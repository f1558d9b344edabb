#include "CellValue.h"

#include <cmath>

namespace zor {

TCellValue TCellValue::Number(double v)
{
    TCellValue r;
    if (!std::isfinite(v))
        return Error(TSheetError::Num);
    r.kind = TCellKind::Number;
    r.number = v;
    return r;
}

TCellValue TCellValue::Text(const QString &s)
{
    TCellValue r;
    r.kind = TCellKind::Text;
    r.text = s;
    return r;
}

TCellValue TCellValue::Boolean(bool b)
{
    TCellValue r;
    r.kind = TCellKind::Boolean;
    r.number = b ? 1 : 0;
    return r;
}

TCellValue TCellValue::Error(TSheetError e, const QString &message)
{
    TCellValue r;
    r.kind = TCellKind::Error;
    r.error = e;
    r.text = message;
    return r;
}

QString TCellValue::ToString() const
{
    switch (kind) {
    case TCellKind::Empty: return QString();
    case TCellKind::Number: return SheetNumberText(number);
    case TCellKind::Text: return text;
    case TCellKind::Boolean: return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case TCellKind::Error: return SheetErrorText(error);
    }
    return QString();
}

bool operator==(const TCellValue &a, const TCellValue &b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case TCellKind::Empty: return true;
    case TCellKind::Number:
    case TCellKind::Boolean: return a.number == b.number;
    case TCellKind::Text: return a.text == b.text;
    case TCellKind::Error: return a.error == b.error;
    }
    return false;
}

QString SheetErrorText(TSheetError e)
{
    switch (e) {
    case TSheetError::None: break;
    case TSheetError::Null: return QStringLiteral("#NULL!");
    case TSheetError::DivZero: return QStringLiteral("#DIV/0!");
    case TSheetError::Value: return QStringLiteral("#VALUE!");
    case TSheetError::Ref: return QStringLiteral("#REF!");
    case TSheetError::Name: return QStringLiteral("#NAME?");
    case TSheetError::Num: return QStringLiteral("#NUM!");
    case TSheetError::NA: return QStringLiteral("#N/A");
    }
    return QString();
}

TSheetError SheetErrorFromText(const QString &s)
{
    for (int i = 1; i <= 7; ++i)
        if (s.compare(SheetErrorText(TSheetError(i)), Qt::CaseInsensitive) == 0)
            return TSheetError(i);
    return TSheetError::None;
}

QString SheetNumberText(double v)
{
    if (v == 0)
        return QStringLiteral("0"); // also -0
    QString s = QString::number(v, 'g', 15);
    const qsizetype e = s.indexOf(u'e');
    if (e < 0)
        return s;
    // 1e+20 -> 1E+20, 1e-07 -> 1E-07 (two exponent digits at least, as spreadsheets show)
    QString mant = s.left(e), exp = s.mid(e + 1);
    const QChar sign = exp.at(0) == u'-' ? u'-' : u'+';
    if (exp.at(0) == u'-' || exp.at(0) == u'+')
        exp.remove(0, 1);
    while (exp.size() > 2 && exp.startsWith(u'0'))
        exp.remove(0, 1);
    if (exp.size() < 2)
        exp.prepend(u'0');
    return mant + u'E' + sign + exp;
}

std::optional<double> SheetTextToNumber(const QString &s)
{
    QString t = s.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool percent = false;
    if (t.endsWith(u'%')) {
        percent = true;
        t.chop(1);
    }
    // Only the C-locale form: digits, one point, an exponent. QString::toDouble
    // would also take "inf" and "nan", which are no numbers in a sheet.
    for (QChar c : t)
        if (!(c.isDigit() || c == u'.' || c == u'e' || c == u'E' || c == u'+' || c == u'-'))
            return std::nullopt;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return percent ? v / 100 : v;
}

} // namespace zor
