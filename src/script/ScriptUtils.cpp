// Parser for single script calls.
#include <ZorCompCore/script/ScriptUtils.h>

#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/script/FastScriptUtils.h>
#include <ZorCompCore/utilities/DateUtils.h>

namespace zor {

Variant TZORScriptUtils::ConvertParamValueToValue(const QString &Value)
{
    const QString t = Trim(Value);
    const qsizetype n = t.size();
    if (n >= 2 && t.front() == u'\'' && t.back() == u'\'')
        return Variant(t.mid(1, n - 2)); // no unescaping: the text as written
    if (n > 1 && t.front() == u'#')
        return Variant::FromDateTime(RFC3330ToDateTime(t.mid(1, n - 2), true));
    if (t.isEmpty() || t.toLower() == u"null")
        return Variant::Null();
    if (t.contains(FormatSettings().DecimalSeparator))
        return Variant(StrToFloat(t));
    if (t.contains(u'.'))
        return Variant(StrToFloat(t, TFormatSettings::Invariant()));
    const qint64 v = StrToInt64(t);
    if (v >= INT32_MIN && v <= INT32_MAX)
        return Variant(int(v));
    return Variant(v);
}

bool TZORScriptUtils::ParseSingleScriptCall(const QString &ACall, QString &AFunctionName, QList<Variant> &Params)
{
    AFunctionName.clear();
    const qsizetype open = ACall.indexOf(u'(');
    if (open < 0) {
        AFunctionName = ACall;
        return true;
    }
    const qsizetype close = ACall.indexOf(u')');
    if (close <= open)
        return false;
    AFunctionName = ACall.left(open);
    TStringList pieces;
    pieces.SetDelimiter(u',');
    pieces.SetQuoteChar(u'"');
    pieces.SetStrictDelimiter(true);
    pieces.SetDelimitedText(ACall.mid(open + 1, close - open - 1));
    for (int i = 0; i < pieces.Count(); ++i)
        Params.append(ConvertParamValueToValue(pieces[i]));
    return true;
}

QString TZORScriptUtils::CreateScriptConstName(const QString &ATypeName)
{
    return TfsZORScript::CreateScriptConstName(ATypeName);
}

} // namespace zor
