// The standard library and statement forms through the whole pipeline:
// each row is a PascalScript expression or program and the text of its value.
#include "TestUtil.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/ZORExpressionCache.h>

using namespace zor;

namespace {

TEST(Builtins, ExpressionsGiveTheRuntimesResults)
{
    struct Row
    {
        const char *expr;
        const char *text; // VarToStr of the value, or the error message
    } rows[] = {
        {"Copy('abcdef', 2, 3)", "bcd"},
        {"Copy('abc', 0, 2)", "ab"},
        {"Copy('abc', 3, 100)", "c"},
        {"Copy('abc', 4, 1)", ""},
        {"Copy('abc', 2, -1)", ""},
        {"Pos('c', 'abcabc')", "3"},
        {"Pos('x', 'abc')", "0"},
        {"Length('')", "0"},
        {"UpperCase('äb') + LowerCase('CD')", "ÄBcd"},
        {"Trim(#9' x '#13#10)", "x"},
        {"QuotedStr('it''s')", "'it''s'"},
        {"StrToIntDef('12a', -1)", "-1"},
        {"StrToInt(' 7')", "7"},
        {"StrToInt('12a')", "'12a' is not a valid integer value"},
        {"StrToFloat('2.5') * 2", "5"},
        {"StrToFloat('x')", "'x' is not a valid floating point value"},
        {"IntToStr(-42)", "-42"},
        {"Round(2.5)", "2"},
        {"Round(3.5)", "4"},
        {"Round(-2.5)", "-2"},
        {"Trunc(-2.7)", "-2"},
        {"Int(2.7)", "2"},
        {"Frac(2.5)", "0.5"},
        {"Abs(-3)", "3"},
        {"Sqrt(16)", "4"},
        {"Sqrt(-1)", "Invalid floating point operation"},
        {"Power(2, 10)", "1024"},
        {"Min(3, 2)", "2"},
        {"Max('a', 'b')", "b"},
        {"Format('%s=%d', ['x', 5])", "x=5"},
        {"FormatFloat('0.00', 3.14159)", "3.14"},
        {"FormatDateTime('yyyy-mm-dd', EncodeDate(2024, 2, 29))", "2024-02-29"},
        {"EncodeDate(2023, 2, 29)", ""}, // checked below: raises
        {"VarIsNull(Null)", "True"},
        {"VarToStr(Null) + 'x'", "x"},
        {"Chr(65) + IntToStr(Ord('a'))", "A97"},
        {"StringReplace('a-b-c', '-', '+')", "a+b+c"},
        {"1 + 2 * 3 - 4 div 2 mod 3", "5"},
        {"(5 > 3) and not (2 > 3)", "True"},
        {"'abc' < 'abd'", "True"},
        {"1 shl 4 shr 2", "4"},
    };
    TfsScript main;
    TZORExpressionCache cache(&main);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.expr);
        QString err;
        const Variant v = cache.Calc(QString::fromUtf8(r.expr), err, &main);
        if (QString::fromLatin1(r.expr).startsWith(u"EncodeDate(2023")) {
            EXPECT_FALSE(err.isEmpty()) << "29 February 2023 does not exist";
            continue;
        }
        EXPECT_EQ(err.isEmpty() ? VarToStr(v) : err, QString::fromUtf8(r.text));
    }
}

TEST(Builtins, VarParameterRoutinesAndStatementForms)
{
    TfsScript s;
    QStringList out;
    s.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                      [&out](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                          out << VarToStr(m->GetVParam(0));
                          return Variant();
                      });
    s.Lines() = QString::fromLatin1(
                    "var i, y, m, d: Integer; s: String; a: array of Integer;\n"
                    "function Safe(x: Integer): String;\n"
                    "begin\n"
                    "  Result := 'start';\n"
                    "  try\n"
                    "    if x = 0 then exit;\n"
                    "    Result := IntToStr(10 div x);\n"
                    "  finally\n"
                    "    Result := Result + '!';\n"
                    "  end;\n"
                    "end;\n"
                    "begin\n"
                    "  i := 5; Inc(i); Inc(i, 10); Dec(i, 2); Print(i);\n"
                    "  DecodeDate(EncodeDate(2024, 3, 15), y, m, d); Print(Format('%d/%d/%d', [d, m, y]));\n"
                    "  s := 'hello'; s[1] := 'J'; Delete(s, 2, 1); Insert('e', s, 2); Print(s);\n"
                    "  SetLength(a, 3); a[2] := 7; Print(Length(a) + a[2]);\n"
                    "  Print(Safe(0)); Print(Safe(5));\n"
                    "  try\n"
                    "    raise EMyError.Create('mine');\n"
                    "  except\n"
                    "    Print(ExceptionClassName + ': ' + ExceptionMessage);\n"
                    "  end;\n"
                    "  i := 0;\n"
                    "  while True do begin Inc(i); if i < 3 then continue; break; end;\n"
                    "  Print(i);\n"
                    "end.")
                    .split(u'\n');
    ASSERT_TRUE(s.Compile()) << s.ErrorPos().toStdString() << " " << s.ErrorMsg().toStdString();
    s.Execute();
    EXPECT_EQ(out, (QStringList{QStringLiteral("14"), QStringLiteral("15/3/2024"), QStringLiteral("Jello"),
                                QStringLiteral("10"), QStringLiteral("start!"), QStringLiteral("2!"),
                                QStringLiteral("EMyError: mine"), QStringLiteral("3")}));
}

} // namespace
