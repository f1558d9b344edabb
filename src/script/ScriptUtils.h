// A single script call written as text, "Name" or "Name(args)", with
// literal arguments: quoted strings, numbers, null, and date-times between
// two number signs (#2024-01-31T10:00:00Z#).
#pragma once

#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>

namespace zor {

class ZOR_EXPORT TZORScriptUtils
{
public:
    // One literal argument to its value: 'text' -> the text, #date-time# ->
    // a date-time, null or nothing -> null, numbers with a decimal separator
    // -> floats, else integers (EConvertError when the text is none of these).
    static Variant ConvertParamValueToValue(const QString &Value);
    // Splits a call into its name and arguments (appended to Params); false
    // when a closing parenthesis comes before the opening one or is missing.
    static bool ParseSingleScriptCall(const QString &ACall, QString &AFunctionName, QList<Variant> &Params);
    // A valid identifier made from a type name.
    static QString CreateScriptConstName(const QString &ATypeName);
};

} // namespace zor
