// The table of library functions every script sees. The compiler binds a
// call to a row here when no registered item has the name; the reference
// pages and `zorcc script functions` are printed from it.
#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Library_p.h>

#include <QHash>
#include <array>
#include <vector>

namespace zor::script {

namespace {

using namespace lib;

constexpr quint8 P = kInPascalFamily, A = kInAll, B = kInBasic, J = kInJScript;
// Where a name is a word of the syntax itself (C's delete, the literal null
// of C, JScript and BASIC), the row leaves that syntax out.
constexpr quint8 kNotC = kInPascal | kInBasic, kPascalOnly = kInPascal;

// A row that spells the function of another row its family's way.
constexpr Builtin alias(const char *name, const char *of, quint8 syntaxes)
{
    Builtin b{name, 0, 0, 0, true, nullptr, syntaxes, nullptr, nullptr, nullptr, nullptr};
    b.AliasOf = of;
    return b;
}

constexpr Builtin constant(const char *name, Value (*fn)(Args, int), quint8 syntaxes, const char *type,
                           const char *category, const char *summary)
{
    Builtin b{name, 0, 0, 0, true, fn, syntaxes, "", type, category, summary};
    b.IsConstant = true;
    return b;
}

// Order within a category is the reference's order. Canonical rows come
// before the aliases that name them.
const Builtin kRows[] = {
    // Name, min, max, by-ref, function, implementation, syntaxes, parameters, result, category, summary
    {"Length", 1, 1, 0, true, fnLength, A, "S: Variant", "Integer", "Strings",
     "Number of characters of a string, or of elements of an array."},
    {"Copy", 2, 3, 0, true, fnCopy, A, "S: String; Index: Integer; Count: Integer", "String", "Strings",
     "Count characters from position Index (1-based); without Count, the rest. Out-of-range parts are clipped. "
     "On an array, Count elements from Index (0 is the first) as a new array."},
    {"Pos", 2, 2, 0, true, fnPos, A, "SubStr: String; S: String", "Integer", "Strings",
     "Position (1-based) of the first SubStr in S, 0 when absent."},
    {"LeftStr", 2, 2, 0, true, fnLeftStr, A, "S: String; Count: Integer", "String", "Strings",
     "The first Count characters."},
    {"RightStr", 2, 2, 0, true, fnRightStr, A, "S: String; Count: Integer", "String", "Strings",
     "The last Count characters."},
    {"UpperCase", 1, 1, 0, true, fnUpperCase, A, "S: String", "String", "Strings", "S in capitals."},
    {"LowerCase", 1, 1, 0, true, fnLowerCase, A, "S: String", "String", "Strings", "S in small letters."},
    {"Trim", 1, 1, 0, true, fnTrim, A, "S: String", "String", "Strings",
     "S without blanks and control characters at both ends."},
    {"TrimLeft", 1, 1, 0, true, fnTrimLeft, A, "S: String", "String", "Strings",
     "S without blanks and control characters at the start."},
    {"TrimRight", 1, 1, 0, true, fnTrimRight, A, "S: String", "String", "Strings",
     "S without blanks and control characters at the end."},
    {"PadLeft", 2, 3, 0, true, fnPadLeft, A, "S: String; Width: Integer; Fill: String", "String", "Strings",
     "S right-aligned in Width characters, filled with Fill (a blank by default); longer S is kept whole."},
    {"PadRight", 2, 3, 0, true, fnPadRight, A, "S: String; Width: Integer; Fill: String", "String", "Strings",
     "S left-aligned in Width characters, filled with Fill (a blank by default); longer S is kept whole."},
    {"StringOfChar", 2, 2, 0, true, fnStringOfChar, A, "Ch: String; Count: Integer", "String", "Strings",
     "Count copies of the character Ch."},
    {"DupeString", 2, 2, 0, true, fnDupeString, A, "S: String; Count: Integer", "String", "Strings",
     "Count copies of S, one after the other."},
    {"StringReplace", 3, 4, 0, true, fnStringReplace, A,
     "S: String; OldPattern: String; NewPattern: String; Flags: Set", "String", "Strings",
     "S with OldPattern replaced by NewPattern: the first one, every one with rfReplaceAll, in any letter case "
     "with rfIgnoreCase. Without Flags every one is replaced."},
    {"CompareStr", 2, 2, 0, true, fnCompareStr, A, "S1: String; S2: String", "Integer", "Strings",
     "-1, 0 or 1 as S1 sorts before, with or after S2 (letter case counts)."},
    {"CompareText", 2, 2, 0, true, fnCompareText, A, "S1: String; S2: String", "Integer", "Strings",
     "-1, 0 or 1 as S1 sorts before, with or after S2, in any letter case."},
    {"SameText", 2, 2, 0, true, fnSameText, A, "S1: String; S2: String", "Boolean", "Strings",
     "Whether S1 and S2 are equal in any letter case."},
    {"QuotedStr", 1, 1, 0, true, fnQuotedStr, A, "S: String", "String", "Strings",
     "S between single quotes, inner quotes doubled."},
    {"Chr", 1, 1, 0, true, fnChr, A, "Code: Integer", "String", "Strings", "The character with the code."},
    {"Ord", 1, 1, 0, true, fnOrd, A, "X: Variant", "Integer", "Strings",
     "Code of a string's first character, 1/0 of a Boolean, an integer itself."},
    {"Delete", 3, 3, 1u, false, fnDelete, kNotC, "var S: String; Index: Integer; Count: Integer", nullptr, "Strings",
     "Removes Count characters of S from position Index."},
    {"Insert", 3, 3, 2u, false, fnInsert, A, "Source: String; var S: String; Index: Integer", nullptr, "Strings",
     "Inserts Source into S before position Index."},
    {"IntToStr", 1, 1, 0, true, fnIntToStr, A, "Value: Integer", "String", "Strings", "The integer as text."},
    {"IntToHex", 1, 2, 0, true, fnIntToHex, A, "Value: Integer; Digits: Integer", "String", "Strings",
     "The integer in capital hexadecimal digits, at least Digits of them."},
    {"StrToInt", 1, 1, 0, true, fnStrToInt, A, "S: String", "Integer", "Strings",
     "The integer the text spells; EConvertError otherwise."},
    {"StrToIntDef", 2, 2, 0, true, fnStrToIntDef, A, "S: String; Default: Integer", "Integer", "Strings",
     "The integer the text spells, Default otherwise."},
    {"FloatToStr", 1, 1, 0, true, fnFloatToStr, A, "Value: Double", "String", "Strings", "The number as text."},
    {"StrToFloat", 1, 1, 0, true, fnStrToFloat, A, "S: String", "Double", "Strings",
     "The number the text spells; EConvertError otherwise."},
    {"BoolToStr", 1, 2, 0, true, fnBoolToStr, A, "B: Boolean; UseBoolStrs: Boolean", "String", "Strings",
     "'True'/'False' when UseBoolStrs is true, else '-1'/'0'."},
    {"Format", 2, 2, 0, true, fnFormat, P, "Fmt: String; Args: Array", "String", "Strings",
     "Fmt with each %s, %d, %f, %.2f … replaced by the next element of Args."},
    {"FormatFloat", 2, 2, 0, true, fnFormatFloat, A, "Fmt: String; Value: Double", "String", "Strings",
     "The number in a picture such as '#,##0.00'."},
    alias("AnsiPos", "Pos", P),
    alias("AnsiUpperCase", "UpperCase", P),
    alias("AnsiLowerCase", "LowerCase", P),
    alias("AnsiCompareText", "CompareText", P),
    alias("AnsiCompareStr", "CompareStr", P),
    alias("AnsiSameText", "SameText", P),
    alias("Len", "Length", B),
    alias("Mid", "Copy", B),
    alias("Left", "LeftStr", B),
    alias("Right", "RightStr", B),
    alias("UCase", "UpperCase", B),
    alias("LCase", "LowerCase", B),
    alias("LTrim", "TrimLeft", B),
    alias("RTrim", "TrimRight", B),
    alias("Asc", "Ord", B),
    alias("Hex", "IntToHex", B),
    {"InStr", 2, 4, 0, true, fnInStr, B, "[Start: Integer]; S: String; SubStr: String; Compare: Integer", "Integer",
     "Strings",
     "Position (1-based) of SubStr in S from Start (1 by default), 0 when absent; Compare 1 ignores letter case "
     "(Compare needs Start)."},
    {"InStrRev", 2, 4, 0, true, fnInStrRev, B, "S: String; SubStr: String; Start: Integer; Compare: Integer",
     "Integer", "Strings",
     "Position (1-based) of the last SubStr in S that ends at or before Start (-1: the end), 0 when absent."},
    {"Replace", 3, 6, 0, true, fnReplace, B,
     "S: String; Find: String; ReplaceWith: String; Start: Integer; Count: Integer; Compare: Integer", "String",
     "Strings",
     "S from Start on with Find replaced by ReplaceWith, at most Count times (-1: all); Compare 1 ignores letter "
     "case."},
    {"Space", 1, 1, 0, true, fnSpace, B, "Count: Integer", "String", "Strings", "Count blanks."},
    {"Split", 1, 3, 0, true, fnSplit, B, "S: String; Delimiter: String; Limit: Integer", "Array", "Strings",
     "The pieces of S between Delimiter (a blank by default) as an array from 0, at most Limit of them."},
    {"Join", 1, 2, 0, true, fnJoin, B, "Items: Array; Delimiter: String", "String", "Strings",
     "The elements of Items as text with Delimiter (a blank by default) between them."},
    {"Format", 1, 2, 0, true, fnFormatBasic, B, "Value: Variant; Fmt: String", "String", "Strings",
     "The value in a picture: '0.00', '#,##0' for numbers, 'yyyy-mm-dd hh:nn' for dates, or a named format "
     "('General Number', 'Fixed', 'Standard', 'Percent', 'Short Date', 'Long Date', 'Short Time', 'Long Time'). "
     "With an array as second argument, Format(Fmt, Args) as in the other syntaxes."},
    {"FormatNumber", 1, 5, 0, true, fnFormatNumber, B,
     "Value: Double; Digits: Integer; LeadingDigit: Integer; Parens: Integer; Group: Integer", "String", "Strings",
     "The number with Digits decimals (2 by default) and thousands separators; Group 0 leaves them out, Parens -1 "
     "puts negative numbers in parentheses, LeadingDigit 0 drops the 0 before the separator."},
    constant("rfReplaceAll", fnRfReplaceAll, P, "Integer", "Strings",
             "StringReplace flag: replace every occurrence."),
    constant("rfIgnoreCase", fnRfIgnoreCase, P, "Integer", "Strings",
             "StringReplace flag: match in any letter case."),

    {"Abs", 1, 1, 0, true, fnAbs, A, "X: Double", "Double", "Numbers", "X without its sign."},
    {"Round", 1, 1, 0, true, fnRound, P, "X: Double", "Integer", "Numbers",
     "The nearest integer; halves go to the even one (2.5 gives 2, 3.5 gives 4)."},
    {"Trunc", 1, 1, 0, true, fnTrunc, A, "X: Double", "Integer", "Numbers", "The integer part, toward zero."},
    {"Int", 1, 1, 0, true, fnInt, P, "X: Double", "Double", "Numbers",
     "The integer part as a float, toward zero (Int(-3.7) is -3)."},
    {"Frac", 1, 1, 0, true, fnFrac, A, "X: Double", "Double", "Numbers", "X minus its integer part."},
    {"Ceil", 1, 1, 0, true, fnCeil, A, "X: Double", "Integer", "Numbers", "The smallest integer not below X."},
    {"Floor", 1, 1, 0, true, fnFloor, A, "X: Double", "Integer", "Numbers", "The largest integer not above X."},
    {"Sign", 1, 1, 0, true, fnSign, A, "X: Double", "Integer", "Numbers", "-1, 0 or 1 by the sign of X."},
    {"Sqrt", 1, 1, 0, true, fnSqrt, A, "X: Double", "Double", "Numbers",
     "Square root; EInvalidOp for a negative X."},
    {"Sqr", 1, 1, 0, true, fnSqr, P, "X: Double", "Double", "Numbers", "X times X."},
    {"Power", 2, 2, 0, true, fnPower, A, "Base: Double; Exponent: Double", "Double", "Numbers",
     "Base raised to Exponent."},
    {"Exp", 1, 1, 0, true, fnExp, A, "X: Double", "Double", "Numbers", "e raised to X."},
    {"Ln", 1, 1, 0, true, fnLn, A, "X: Double", "Double", "Numbers",
     "Natural logarithm; EInvalidOp for X not above 0."},
    {"Log10", 1, 1, 0, true, fnLog10, A, "X: Double", "Double", "Numbers",
     "Logarithm to base 10; EInvalidOp for X not above 0."},
    {"Sin", 1, 1, 0, true, fnSin, A, "X: Double", "Double", "Numbers", "Sine of X (radians)."},
    {"Cos", 1, 1, 0, true, fnCos, A, "X: Double", "Double", "Numbers", "Cosine of X (radians)."},
    {"Tan", 1, 1, 0, true, fnTan, A, "X: Double", "Double", "Numbers", "Tangent of X (radians)."},
    {"ArcTan", 1, 1, 0, true, fnArcTan, A, "X: Double", "Double", "Numbers", "Angle (radians) whose tangent is X."},
    {"Pi", 0, 0, 0, true, fnPi, A, "", "Double", "Numbers", "3.14159265358979…"},
    {"Random", 0, 1, 0, true, fnRandom, A, "Range: Integer", "Variant", "Numbers",
     "A random float from 0 up to 1; with Range, a random integer from 0 to Range - 1."},
    {"Randomize", 0, 0, 0, false, fnRandomize, A, "", nullptr, "Numbers",
     "Seeds Random from the clock, so that runs differ."},
    {"Min", 2, 2, 0, true, fnMin, A, "A: Variant; B: Variant", "Variant", "Numbers", "The smaller of A and B."},
    {"Max", 2, 2, 0, true, fnMax, A, "A: Variant; B: Variant", "Variant", "Numbers", "The larger of A and B."},
    {"Odd", 1, 1, 0, true, fnOdd, A, "X: Integer", "Boolean", "Numbers", "Whether X is odd."},
    {"Succ", 1, 1, 0, true, fnSucc, A, "X: Ordinal", "Ordinal", "Numbers", "The next ordinal: X + 1, or the next character of a one-character string."},
    {"Pred", 1, 1, 0, true, fnPred, A, "X: Ordinal", "Ordinal", "Numbers", "The previous ordinal: X - 1, or the previous character of a one-character string."},
    {"Inc", 1, 2, 1u, false, fnInc, A, "var X: Integer; N: Integer", nullptr, "Numbers",
     "Adds N (1 by default) to X."},
    {"Dec", 1, 2, 1u, false, fnDec, A, "var X: Integer; N: Integer", nullptr, "Numbers",
     "Subtracts N (1 by default) from X."},
    {"Int", 1, 1, 0, true, fnIntFloor, B, "X: Double", "Double", "Numbers",
     "The largest whole number not above X (Int(-3.7) is -4)."},
    alias("Fix", "Int", B),
    {"Round", 1, 2, 0, true, fnRoundDigits, B, "X: Double; Digits: Integer", "Variant", "Numbers",
     "X rounded to Digits decimals (none by default: an integer); halves go to the even digit."},
    alias("Sqr", "Sqrt", B),
    alias("Sgn", "Sign", B),
    alias("Atn", "ArcTan", B),
    alias("Log", "Ln", B),
    {"Rnd", 0, 1, 0, true, fnRnd, B, "X: Double", "Double", "Numbers", "A random float from 0 up to 1."},
    {"CInt", 1, 1, 0, true, fnCInt, B, "Value: Variant", "Integer", "Numbers",
     "The value as a 16-bit integer, halves to the even one; EOverflow outside -32768 to 32767."},
    {"CLng", 1, 1, 0, true, fnCLng, B, "Value: Variant", "Integer", "Numbers",
     "The value as a 32-bit integer, halves to the even one; EOverflow outside that range."},
    {"CDbl", 1, 1, 0, true, fnCDbl, B, "Value: Variant", "Double", "Numbers", "The value as a float."},

    {"Now", 0, 0, 0, true, fnNow, A, "", "DateTime", "Dates", "The current local date and time."},
    {"Date", 0, 0, 0, true, fnDate, A, "", "DateTime", "Dates", "Today, at midnight."},
    {"Time", 0, 0, 0, true, fnTime, A, "", "DateTime", "Dates", "The current time of day."},
    {"EncodeDate", 3, 3, 0, true, fnEncodeDate, A, "Year: Integer; Month: Integer; Day: Integer", "DateTime",
     "Dates", "The date; EConvertError when it does not exist."},
    {"EncodeTime", 4, 4, 0, true, fnEncodeTime, A,
     "Hour: Integer; Min: Integer; Sec: Integer; MSec: Integer", "DateTime", "Dates",
     "The time of day; EConvertError when out of range."},
    {"DecodeDate", 4, 4, 14u, false, fnDecodeDate, A,
     "D: DateTime; var Year: Integer; var Month: Integer; var Day: Integer", nullptr, "Dates",
     "Splits a date into year, month and day."},
    {"DecodeTime", 5, 5, 30u, false, fnDecodeTime, A,
     "D: DateTime; var Hour: Integer; var Min: Integer; var Sec: Integer; var MSec: Integer", nullptr, "Dates",
     "Splits a time into hours, minutes, seconds and milliseconds."},
    {"YearOf", 1, 1, 0, true, fnYearOf, A, "D: DateTime", "Integer", "Dates", "The year of D."},
    {"MonthOf", 1, 1, 0, true, fnMonthOf, A, "D: DateTime", "Integer", "Dates", "The month of D (1-12)."},
    {"DayOf", 1, 1, 0, true, fnDayOf, A, "D: DateTime", "Integer", "Dates", "The day of the month of D."},
    {"HourOf", 1, 1, 0, true, fnHourOf, A, "D: DateTime", "Integer", "Dates", "The hour of D (0-23)."},
    {"MinuteOf", 1, 1, 0, true, fnMinuteOf, A, "D: DateTime", "Integer", "Dates", "The minute of D."},
    {"SecondOf", 1, 1, 0, true, fnSecondOf, A, "D: DateTime", "Integer", "Dates", "The second of D."},
    {"DayOfWeek", 1, 1, 0, true, fnDayOfWeek, A, "D: DateTime", "Integer", "Dates",
     "Weekday of D: 1 Sunday … 7 Saturday."},
    {"IsLeapYear", 1, 1, 0, true, fnIsLeapYear, A, "Year: Integer", "Boolean", "Dates",
     "Whether the year has a 29 February."},
    {"IncDay", 1, 2, 0, true, fnIncDay, A, "D: DateTime; N: Integer", "DateTime", "Dates",
     "D moved by N days (1 by default)."},
    {"IncMonth", 1, 2, 0, true, fnIncMonth, A, "D: DateTime; N: Integer", "DateTime", "Dates",
     "D moved by N months (1 by default); a day past the month's end becomes its last day."},
    {"IncYear", 1, 2, 0, true, fnIncYear, A, "D: DateTime; N: Integer", "DateTime", "Dates",
     "D moved by N years (1 by default); 29 February becomes 28 February in other years."},
    {"DateToStr", 1, 1, 0, true, fnDateToStr, A, "D: DateTime", "String", "Dates", "The date as text."},
    {"TimeToStr", 1, 1, 0, true, fnTimeToStr, A, "D: DateTime", "String", "Dates", "The time as text."},
    {"DateTimeToStr", 1, 1, 0, true, fnDateTimeToStr, A, "D: DateTime", "String", "Dates",
     "Date and time as text."},
    {"StrToDate", 1, 1, 0, true, fnStrToDate, A, "S: String", "DateTime", "Dates",
     "The date the text spells; EConvertError otherwise."},
    {"StrToDateTime", 1, 1, 0, true, fnStrToDateTime, A, "S: String", "DateTime", "Dates",
     "The date and time the text spells; EConvertError otherwise."},
    {"FormatDateTime", 2, 2, 0, true, fnFormatDateTime, A, "Fmt: String; D: DateTime", "String", "Dates",
     "The date in a picture such as 'yyyy-mm-dd hh:nn:ss'."},
    alias("Year", "YearOf", B),
    alias("Month", "MonthOf", B),
    alias("Day", "DayOf", B),
    alias("Hour", "HourOf", B),
    alias("Minute", "MinuteOf", B),
    alias("Second", "SecondOf", B),
    alias("Weekday", "DayOfWeek", B),
    {"DateSerial", 3, 3, 0, true, fnDateSerial, B, "Year: Integer; Month: Integer; Day: Integer", "DateTime",
     "Dates", "The date; months and days out of range carry over (month 13 is January of the next year, day 0 "
     "the last day of the month before)."},
    {"DateAdd", 3, 3, 0, true, fnDateAdd, B, "Interval: String; N: Integer; D: DateTime", "DateTime", "Dates",
     "D moved by N intervals: 'yyyy' years, 'q' quarters, 'm' months, 'd'/'y'/'w' days, 'ww' weeks, 'h' hours, "
     "'n' minutes, 's' seconds."},
    {"DateDiff", 3, 3, 0, true, fnDateDiff, B, "Interval: String; D1: DateTime; D2: DateTime", "Integer", "Dates",
     "How many interval boundaries (as for DateAdd) lie between D1 and D2; negative when D2 is earlier."},
    {"CDate", 1, 1, 0, true, fnCDate, B, "Value: Variant", "DateTime", "Dates",
     "The value as a date: a date text, or a number of days."},

    {"Null", 0, 0, 0, true, fnNull, kPascalOnly, "", "Variant", "Variants", "The null value."},
    {"VarIsNull", 1, 1, 0, true, fnVarIsNull, A, "V: Variant", "Boolean", "Variants", "Whether V is null."},
    {"VarIsEmpty", 1, 1, 0, true, fnVarIsEmpty, A, "V: Variant", "Boolean", "Variants",
     "Whether V was never assigned."},
    {"VarToStr", 1, 1, 0, true, fnVarToStr, A, "V: Variant", "String", "Variants",
     "V as text; null gives an empty text."},
    {"VarType", 1, 1, 0, true, fnVarType, P, "V: Variant", "Integer", "Variants",
     "Type code of V: 0 empty, 1 null, 3 integer (20 past 32 bits), 5 float, 7 date, 9 object, 11 Boolean, "
     "258 string, 8204 array."},
    {"Assigned", 1, 1, 0, true, fnAssigned, A, "Obj: Variant", "Boolean", "Variants",
     "Whether Obj is an object, not nil."},
    {"SetLength", 2, 2, 1u, false, fnSetLength, kInCpp | kInBasic | kInJScript, "var A: Variant; Len: Integer",
     nullptr, "Variants", "Resizes a dynamic array or a string; new elements are empty."},
    {"SetLength", 2, 9, 1u, false, fnSetLengthShared, kPascalOnly,
     "var A: Variant; Len: Integer; Len2: Integer; Len3: Integer; Len4: Integer; Len5: Integer; Len6: Integer; "
     "Len7: Integer; Len8: Integer",
     nullptr,
     "Variants",
     "Resizes a dynamic array or a string; new elements take their type's default. Variables assigned the same "
     "dynamic array share it; resizing gives the resized variable an array of its own. With more lengths, "
     "SetLength(A, 3, 4), an array of arrays gets each level's length."},
    {"High", 1, 1, 0, true, fnHigh, A, "A: Variant", "Integer", "Variants",
     "Last index of an array; the length of a string."},
    {"Low", 1, 1, 0, true, fnLow, A, "A: Variant", "Integer", "Variants",
     "First index of an array; 1 for a string."},
    alias("IsNull", "VarIsNull", B),
    alias("IsEmpty", "VarIsEmpty", B),
    alias("CStr", "VarToStr", B),
    {"CBool", 1, 1, 0, true, fnCBool, B, "Value: Variant", "Boolean", "Variants",
     "The value as a truth value: 0 is False, any other number True; 'True'/'False' as text."},
    {"IsNumeric", 1, 1, 0, true, fnIsNumeric, B, "Value: Variant", "Boolean", "Variants",
     "Whether the value is a number or a text that reads as one."},
    {"IsArray", 1, 1, 0, true, fnIsArray, B, "Value: Variant", "Boolean", "Variants", "Whether the value is an array."},
    {"VarType", 1, 1, 0, true, fnVarTypeBasic, B, "V: Variant", "Integer", "Variants",
     "Type code of V: 0 empty, 1 null, 3 integer (20 past 32 bits), 5 float, 7 date, 8 string, 9 object, "
     "11 Boolean, 8204 array."},
    {"UBound", 1, 2, 0, true, fnUBound, B, "A: Array; Dimension: Integer", "Integer", "Variants",
     "Last index of the array in the dimension (1 by default)."},
    {"LBound", 1, 2, 0, true, fnLBound, B, "A: Array; Dimension: Integer", "Integer", "Variants",
     "First index of the array in the dimension (1 by default)."},

    {"parseInt", 1, 2, 0, true, fnParseInt, J, "S: String; Radix: Integer", "Number", "Numbers",
     "The integer at the start of S (leading blanks, a sign, 0x for hexadecimal), in base Radix (2-36) when "
     "given; NaN when S does not start with a digit."},
    {"parseFloat", 1, 1, 0, true, fnParseFloat, J, "S: String", "Number", "Numbers",
     "The number at the start of S; NaN when S does not start with one."},
    {"isNaN", 1, 1, 0, true, fnIsNaN, J, "X: Variant", "Boolean", "Numbers", "Whether Number(X) is NaN."},
    {"isFinite", 1, 1, 0, true, fnIsFinite, J, "X: Variant", "Boolean", "Numbers",
     "Whether Number(X) is neither NaN nor infinite."},
    {"Number", 0, 1, 0, true, fnNumber, J, "X: Variant", "Number", "Numbers",
     "X as a number: '' and null give 0, true 1, a text that is no number NaN."},
    {"String", 0, 1, 0, true, fnString, J, "X: Variant", "String", "Strings",
     "X as text the way JScript writes it ('null', 'true', '1.5', elements joined with commas)."},

    {"ShowMessage", 1, 1, 0, false, fnShowMessage, A, "Msg: String", nullptr, "Messages and errors",
     "Shows the text to the user (the host decides how)."},
    {"ExceptionMessage", 0, 0, 0, true, fnExceptionMessage, A, "", "String", "Messages and errors",
     "Message of the exception the innermost handler is running for."},
    {"ExceptionClassName", 0, 0, 0, true, fnExceptionClassName, A, "", "String", "Messages and errors",
     "Class name of the exception the innermost handler is running for."},
};

struct Library
{
    std::vector<Builtin> Rows;
    std::array<QHash<QString, const Builtin *>, 4> BySyntax;

    Library()
    {
        Rows.assign(std::begin(kRows), std::end(kRows));
        for (Builtin &b : Rows) {
            if (!b.AliasOf)
                continue;
            const Builtin *target = nullptr;
            for (const Builtin &t : kRows)
                if (!t.AliasOf && qstricmp(t.Name, b.AliasOf) == 0) {
                    target = &t;
                    break;
                }
            Q_ASSERT_X(target, "ScriptLibrary", "an alias names a row that does not exist");
            if (!target)
                continue;
            const char *name = b.Name, *of = b.AliasOf;
            const quint8 syntaxes = b.Syntaxes;
            b = *target;
            b.Name = name;
            b.AliasOf = of;
            b.Syntaxes = syntaxes;
        }
        for (const Builtin &b : Rows)
            for (int s = 0; s < 4; ++s)
                if (b.Syntaxes & (1u << s))
                    BySyntax[size_t(s)].insert(QString::fromLatin1(b.Name).toUpper(), &b);
    }
};

const Library &library()
{
    static const Library lib;
    return lib;
}

} // namespace

const Builtin *FindBuiltin(const QString &upperName, Syntax syntax)
{
    return library().BySyntax[size_t(syntax)].value(upperName);
}

std::span<const Builtin> LibraryTable()
{
    return library().Rows;
}

} // namespace zor::script
