// The table of library functions every script sees. The compiler binds a
// call to a row here when no registered item has the name.
#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Library_p.h>

#include <QHash>

namespace zor::script {

namespace {

using namespace lib;

// Looked up through a hash: the order is the reference's order.
const Builtin kBuiltins[] = {
    {"LENGTH", 1, 1, 0, true, fnLength},
    {"COPY", 2, 3, 0, true, fnCopy},
    {"POS", 2, 2, 0, true, fnPos},
    {"UPPERCASE", 1, 1, 0, true, fnUpperCase},
    {"LOWERCASE", 1, 1, 0, true, fnLowerCase},
    {"TRIM", 1, 1, 0, true, fnTrim},
    {"INTTOSTR", 1, 1, 0, true, fnIntToStr},
    {"STRTOINT", 1, 1, 0, true, fnStrToInt},
    {"STRTOINTDEF", 2, 2, 0, true, fnStrToIntDef},
    {"FLOATTOSTR", 1, 1, 0, true, fnFloatToStr},
    {"STRTOFLOAT", 1, 1, 0, true, fnStrToFloat},
    {"FORMAT", 2, 2, 0, true, fnFormat},
    {"FORMATFLOAT", 2, 2, 0, true, fnFormatFloat},
    {"FORMATDATETIME", 2, 2, 0, true, fnFormatDateTime},
    {"QUOTEDSTR", 1, 1, 0, true, fnQuotedStr},
    {"CHR", 1, 1, 0, true, fnChr},
    {"ORD", 1, 1, 0, true, fnOrd},
    {"STRINGREPLACE", 3, 3, 0, true, fnStringReplace},
    {"DELETE", 3, 3, 1u, false, fnDelete},
    {"INSERT", 3, 3, 2u, false, fnInsert},
    {"ABS", 1, 1, 0, true, fnAbs},
    {"ROUND", 1, 1, 0, true, fnRound},
    {"TRUNC", 1, 1, 0, true, fnTrunc},
    {"INT", 1, 1, 0, true, fnInt},
    {"FRAC", 1, 1, 0, true, fnFrac},
    {"SQRT", 1, 1, 0, true, fnSqrt},
    {"POWER", 2, 2, 0, true, fnPower},
    {"MIN", 2, 2, 0, true, fnMin},
    {"MAX", 2, 2, 0, true, fnMax},
    {"INC", 1, 2, 1u, false, fnInc},
    {"DEC", 1, 2, 1u, false, fnDec},
    {"NOW", 0, 0, 0, true, fnNow},
    {"DATE", 0, 0, 0, true, fnDate},
    {"TIME", 0, 0, 0, true, fnTime},
    {"ENCODEDATE", 3, 3, 0, true, fnEncodeDate},
    {"ENCODETIME", 4, 4, 0, true, fnEncodeTime},
    {"DECODEDATE", 4, 4, 14u, false, fnDecodeDate},
    {"DATETOSTR", 1, 1, 0, true, fnDateToStr},
    {"DATETIMETOSTR", 1, 1, 0, true, fnDateTimeToStr},
    {"STRTODATE", 1, 1, 0, true, fnStrToDate},
    {"VARISNULL", 1, 1, 0, true, fnVarIsNull},
    {"VARTOSTR", 1, 1, 0, true, fnVarToStr},
    {"NULL", 0, 0, 0, true, fnNull},
    {"ASSIGNED", 1, 1, 0, true, fnAssigned},
    {"SETLENGTH", 2, 2, 1u, false, fnSetLength},
    {"HIGH", 1, 1, 0, true, fnHigh},
    {"LOW", 1, 1, 0, true, fnLow},
    {"SHOWMESSAGE", 1, 1, 0, false, fnShowMessage},
    {"EXCEPTIONMESSAGE", 0, 0, 0, true, fnExceptionMessage},
    {"EXCEPTIONCLASSNAME", 0, 0, 0, true, fnExceptionClassName},
};

} // namespace

const Builtin *FindBuiltin(const QString &upperName)
{
    static const QHash<QString, const Builtin *> index = [] {
        QHash<QString, const Builtin *> h;
        for (const Builtin &b : kBuiltins)
            h.insert(QString::fromLatin1(b.Name), &b);
        return h;
    }();
    return index.value(upperName);
}

} // namespace zor::script
