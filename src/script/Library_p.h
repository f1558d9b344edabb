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
// A text of that many characters may be built: "Out of memory" otherwise
// (the host's ceiling, or one no script text needs).
void checkLength(qint64 chars);
// A float as a 64-bit integer; EInvalidOp when it does not fit.
qint64 checkedInt(double v);
// A float from 0 up to 1 from the generator Random and Randomize share.
double randomUnit();
// The variant type code of a value; strings get stringCode (the families
// differ there).
int varTypeCode(const Value &v, int stringCode);
// dt moved by whole months; a day past the new month's end becomes its last.
double addMonths(double dt, qint64 months);
// x rounded to the nearest integer, halves to the even one.
double roundHalfEven(double x);

#define ZOR_LIB(name) Value name(Args a, int n)

// Strings (LibraryStrings.cpp)
ZOR_LIB(fnLength);
ZOR_LIB(fnCopy);
ZOR_LIB(fnPos);
ZOR_LIB(fnLeftStr);
ZOR_LIB(fnRightStr);
ZOR_LIB(fnUpperCase);
ZOR_LIB(fnLowerCase);
ZOR_LIB(fnTrim);
ZOR_LIB(fnTrimLeft);
ZOR_LIB(fnTrimRight);
ZOR_LIB(fnPadLeft);
ZOR_LIB(fnPadRight);
ZOR_LIB(fnStringOfChar);
ZOR_LIB(fnDupeString);
ZOR_LIB(fnStringReplace);
ZOR_LIB(fnCompareStr);
ZOR_LIB(fnCompareText);
ZOR_LIB(fnSameText);
ZOR_LIB(fnQuotedStr);
ZOR_LIB(fnChr);
ZOR_LIB(fnOrd);
ZOR_LIB(fnDelete);
ZOR_LIB(fnInsert);
ZOR_LIB(fnIntToStr);
ZOR_LIB(fnIntToHex);
ZOR_LIB(fnStrToInt);
ZOR_LIB(fnStrToIntDef);
ZOR_LIB(fnFloatToStr);
ZOR_LIB(fnStrToFloat);
ZOR_LIB(fnBoolToStr);
ZOR_LIB(fnFormat);
ZOR_LIB(fnFormatFloat);
ZOR_LIB(fnRfReplaceAll);
ZOR_LIB(fnRfIgnoreCase);

// Numbers (LibraryNumbers.cpp)
ZOR_LIB(fnAbs);
ZOR_LIB(fnRound);
ZOR_LIB(fnTrunc);
ZOR_LIB(fnInt);
ZOR_LIB(fnFrac);
ZOR_LIB(fnCeil);
ZOR_LIB(fnFloor);
ZOR_LIB(fnSign);
ZOR_LIB(fnSqrt);
ZOR_LIB(fnSqr);
ZOR_LIB(fnPower);
ZOR_LIB(fnExp);
ZOR_LIB(fnLn);
ZOR_LIB(fnLog10);
ZOR_LIB(fnSin);
ZOR_LIB(fnCos);
ZOR_LIB(fnTan);
ZOR_LIB(fnArcTan);
ZOR_LIB(fnPi);
ZOR_LIB(fnRandom);
ZOR_LIB(fnRandomize);
ZOR_LIB(fnMin);
ZOR_LIB(fnMax);
ZOR_LIB(fnOdd);
ZOR_LIB(fnSucc);
ZOR_LIB(fnPred);
ZOR_LIB(fnInc);
ZOR_LIB(fnDec);

// Dates (LibraryDates.cpp)
ZOR_LIB(fnNow);
ZOR_LIB(fnDate);
ZOR_LIB(fnTime);
ZOR_LIB(fnEncodeDate);
ZOR_LIB(fnEncodeTime);
ZOR_LIB(fnDecodeDate);
ZOR_LIB(fnDecodeTime);
ZOR_LIB(fnYearOf);
ZOR_LIB(fnMonthOf);
ZOR_LIB(fnDayOf);
ZOR_LIB(fnHourOf);
ZOR_LIB(fnMinuteOf);
ZOR_LIB(fnSecondOf);
ZOR_LIB(fnDayOfWeek);
ZOR_LIB(fnIsLeapYear);
ZOR_LIB(fnIncDay);
ZOR_LIB(fnIncMonth);
ZOR_LIB(fnIncYear);
ZOR_LIB(fnDateToStr);
ZOR_LIB(fnTimeToStr);
ZOR_LIB(fnDateTimeToStr);
ZOR_LIB(fnStrToDate);
ZOR_LIB(fnStrToDateTime);
ZOR_LIB(fnFormatDateTime);

// Variants and arrays (LibraryVariants.cpp)
ZOR_LIB(fnNull);
ZOR_LIB(fnVarIsNull);
ZOR_LIB(fnVarIsEmpty);
ZOR_LIB(fnVarToStr);
ZOR_LIB(fnVarType);
ZOR_LIB(fnAssigned);
ZOR_LIB(fnSetLength);
ZOR_LIB(fnSetLengthShared);
ZOR_LIB(fnSetLengthDims);
ZOR_LIB(fnNewArray);
ZOR_LIB(fnHigh);
ZOR_LIB(fnLow);

// The BASIC family's own (LibraryBasic.cpp)
ZOR_LIB(fnInStr);
ZOR_LIB(fnInStrRev);
ZOR_LIB(fnReplace);
ZOR_LIB(fnSpace);
ZOR_LIB(fnSplit);
ZOR_LIB(fnJoin);
ZOR_LIB(fnFormatBasic);
ZOR_LIB(fnFormatNumber);
ZOR_LIB(fnIntFloor);
ZOR_LIB(fnRoundDigits);
ZOR_LIB(fnRnd);
ZOR_LIB(fnCInt);
ZOR_LIB(fnCLng);
ZOR_LIB(fnCDbl);
ZOR_LIB(fnDateSerial);
ZOR_LIB(fnDateAdd);
ZOR_LIB(fnDateDiff);
ZOR_LIB(fnCDate);
ZOR_LIB(fnCBool);
ZOR_LIB(fnIsNumeric);
ZOR_LIB(fnIsArray);
ZOR_LIB(fnVarTypeBasic);
ZOR_LIB(fnUBound);
ZOR_LIB(fnLBound);

// JScript's global functions (LibraryJScript.cpp)
ZOR_LIB(fnParseInt);
ZOR_LIB(fnParseFloat);
ZOR_LIB(fnIsNaN);
ZOR_LIB(fnIsFinite);
ZOR_LIB(fnNumber);
ZOR_LIB(fnString);

// Messages and exceptions (LibrarySystem.cpp)
ZOR_LIB(fnShowMessage);
ZOR_LIB(fnExceptionMessage);
ZOR_LIB(fnExceptionClassName);

#undef ZOR_LIB

} // namespace zor::script::lib
