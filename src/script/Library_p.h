//
//  W A R N I N G
//  -------------
// Internal to the script engine: what the library files share. Each
// Library*.cpp implements the functions of one domain; ScriptLibrary.cpp
// holds the one table that names them for every syntax.
#pragma once

#include <ZorCompCore/script/Value.h>

#include <QString>

namespace zor::script::lib {

using Args = Value *const *;

inline QString str(Args a, int i) { return a[i]->ToString(); }
inline qint64 integer(Args a, int i) { return a[i]->ToInt(); }
inline double real(Args a, int i) { return a[i]->ToDouble(); }

// EConvertError "'<text>' is not a valid <what>".
[[noreturn]] void convertError(const QString &text, const char *what);
// A float as a 64-bit integer; EInvalidOp when it does not fit.
qint64 checkedInt(double v);

#define ZOR_LIB(name) Value name(Args a, int n)

// Strings
ZOR_LIB(fnLength);
ZOR_LIB(fnCopy);
ZOR_LIB(fnPos);
ZOR_LIB(fnUpperCase);
ZOR_LIB(fnLowerCase);
ZOR_LIB(fnTrim);
ZOR_LIB(fnIntToStr);
ZOR_LIB(fnStrToInt);
ZOR_LIB(fnStrToIntDef);
ZOR_LIB(fnFloatToStr);
ZOR_LIB(fnStrToFloat);
ZOR_LIB(fnFormat);
ZOR_LIB(fnFormatFloat);
ZOR_LIB(fnQuotedStr);
ZOR_LIB(fnChr);
ZOR_LIB(fnOrd);
ZOR_LIB(fnStringReplace);
ZOR_LIB(fnDelete);
ZOR_LIB(fnInsert);

// Numbers
ZOR_LIB(fnAbs);
ZOR_LIB(fnRound);
ZOR_LIB(fnTrunc);
ZOR_LIB(fnInt);
ZOR_LIB(fnFrac);
ZOR_LIB(fnSqrt);
ZOR_LIB(fnPower);
ZOR_LIB(fnMin);
ZOR_LIB(fnMax);
ZOR_LIB(fnInc);
ZOR_LIB(fnDec);

// Dates
ZOR_LIB(fnNow);
ZOR_LIB(fnDate);
ZOR_LIB(fnTime);
ZOR_LIB(fnEncodeDate);
ZOR_LIB(fnEncodeTime);
ZOR_LIB(fnDecodeDate);
ZOR_LIB(fnDateToStr);
ZOR_LIB(fnDateTimeToStr);
ZOR_LIB(fnStrToDate);
ZOR_LIB(fnFormatDateTime);

// Variants and arrays
ZOR_LIB(fnVarIsNull);
ZOR_LIB(fnVarToStr);
ZOR_LIB(fnNull);
ZOR_LIB(fnAssigned);
ZOR_LIB(fnSetLength);
ZOR_LIB(fnHigh);
ZOR_LIB(fnLow);

// Messages and exceptions
ZOR_LIB(fnShowMessage);
ZOR_LIB(fnExceptionMessage);
ZOR_LIB(fnExceptionClassName);

#undef ZOR_LIB

} // namespace zor::script::lib
