// The shared library as each syntax sees it: the same table answers every
// syntax, a family's own spellings reach the same functions, and names that
// mean something else in one family (Int, Sqr, Round, Format, VarType) keep
// that meaning there only.
#include "TestUtil.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/ScriptReference.h>
#include <ZorCompCore/script/ZORExpressionCache.h>

#include <QSet>

using namespace zor;

namespace {

struct Row
{
    const char *language;
    const char *expr;
    const char *text; // VarToStr of the value, or the error message
};

void expectRows(std::initializer_list<Row> rows)
{
    TfsScript main;
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.language) + ": " + r.expr);
        TZORExpressionCache cache(&main);
        cache.SetScriptLanguage(QString::fromLatin1(r.language));
        QString err;
        const Variant v = cache.Calc(QString::fromUtf8(r.expr), err, &main);
        // compile errors come as "Expression-Error: '<text>': <message>"
        const QString prefix = u"Expression-Error: '"_qs + QString::fromUtf8(r.expr) + u"': "_qs;
        const QString got = err.isEmpty() ? VarToStr(v) : err.startsWith(prefix) ? err.mid(prefix.size()) : err;
        EXPECT_EQ(got, QString::fromUtf8(r.text));
    }
}

// What the reference says of each function is what calls accept: no name
// twice in a syntax, the documented parameters are the accepted ones, and
// every alias reaches a function.
TEST(Library, ReferenceRowsMatchWhatCallsAccept)
{
    for (const char *language : {"PascalScript", "C++Script", "BasicScript", "JScript"}) {
        QSet<QString> seen;
        TfsScript main;
        main.SetSyntaxType(QString::fromLatin1(language));
        TZORExpressionCache cache(&main);
        cache.SetScriptLanguage(QString::fromLatin1(language));
        const QList<TfsLibraryFunction> functions = fsLibraryFunctions(QString::fromLatin1(language));
        EXPECT_GT(functions.size(), 100);
        for (const TfsLibraryFunction &f : functions) {
            SCOPED_TRACE(std::string(language) + " " + f.Name.toStdString());
            EXPECT_FALSE(seen.contains(f.Name.toUpper())) << "two rows of one name";
            seen.insert(f.Name.toUpper());
            EXPECT_FALSE(f.Summary.isEmpty());
            EXPECT_EQ(f.Parameters.size(), f.MaxArgs) << f.Declaration.toStdString();
            EXPECT_NE(main.Find(f.Name), nullptr);
            if (f.IsConstant)
                continue;
            // one argument too many is refused at compile time
            QStringList args;
            for (int i = 0; i <= f.MaxArgs; ++i)
                args << u"1"_qs;
            QString err;
            cache.Calc(f.Name + u'(' + args.join(u", "_qs) + u')', err, &main);
            EXPECT_TRUE(err.endsWith(u"Too many actual parameters"_qs)) << err.toStdString();
            if (f.MinArgs > 0) {
                args.clear();
                for (int i = 0; i + 1 < f.MinArgs; ++i)
                    args << u"1"_qs;
                cache.Calc(f.Name + u'(' + args.join(u", "_qs) + u')', err, &main);
                EXPECT_TRUE(err.endsWith(u"Not enough actual parameters"_qs)) << err.toStdString();
            }
        }
    }
}

TEST(Library, EachFamilysNamesReachTheSharedFunctions)
{
    expectRows({
        {"BasicScript", "Len(\"abc\") & UCase(\"x\") & LCase(\"Y\")", "3Xy"},
        {"BasicScript", "Mid(\"abcdef\", 2, 3) & Mid(\"abcdef\", 5)", "bcdef"},
        {"BasicScript", "Left(\"abc\", 2) & Right(\"abc\", 2) & Left(\"abc\", 9)", "abbcabc"},
        {"BasicScript", "\"[\" & LTrim(\"  x \") & \"|\" & RTrim(\" x  \") & \"|\" & Trim(\" x \") & \"]\"", "[x | x|x]"},
        {"BasicScript", "Asc(\"A\") & Chr(66) & Hex(255)", "65BFF"},
        {"BasicScript", "Year(DateSerial(2024, 2, 29)) & Month(DateSerial(2024, 2, 29)) & Day(DateSerial(2024, 2, 29))",
         "2024229"},
        {"BasicScript", "Weekday(DateSerial(2024, 1, 7))", "1"},
        {"BasicScript", "IsNull(Null) & IsEmpty(Null) & CStr(12)", "TrueFalse12"},
        {"BasicScript", "Sgn(-3) & Atn(0) & Log(1)", "-100"},
        {"PascalScript", "AnsiPos('c', 'abc') + Length(AnsiUpperCase('ab'))", "5"},
        {"C++Script", "AnsiSameText(\"ab\", \"AB\")", "True"},
        // a name of another family is not there
        {"PascalScript", "UCase('x')", "Undeclared identifier: 'UCase'"},
        {"BasicScript", "AnsiPos(\"c\", \"abc\")", "Undeclared identifier: 'AnsiPos'"},
        {"PascalScript", "parseInt('1')", "Undeclared identifier: 'parseInt'"},
    });
}

TEST(Library, NamesThatMeanOtherThingsInOneFamily)
{
    expectRows({
        {"PascalScript", "Int(-3.7)", "-3"},
        {"BasicScript", "Int(-3.7) & \" \" & Int(3.7) & \" \" & Fix(-3.7)", "-4 3 -3"},
        {"PascalScript", "Sqr(4)", "16"},
        {"BasicScript", "Sqr(16)", "4"},
        {"PascalScript", "Round(2.5) + Round(3.5)", "6"},
        {"BasicScript", "Round(2.5) & \" \" & Round(2.567, 2) & \" \" & Round(-0.125, 2)", "2 2.57 -0.12"},
        {"PascalScript", "Format('%d-%s', [1, 'a'])", "1-a"},
        {"BasicScript", "Format(1234.5, \"#,##0.00\")", "1,234.50"},
        {"BasicScript", "Format(\"%d-%s\", [1, \"a\"])", "1-a"},
        {"BasicScript", "Format(DateSerial(2024, 2, 29), \"yyyy-mm-dd\") & Format(\"text\", \"0.00\")",
         "2024-02-29text"},
        {"BasicScript", "Format(0.256, \"Percent\") & \" \" & Format(1, \"Yes/No\") & \" \" & Format(12)",
         "25.60% Yes 12"},
        {"PascalScript", "IntToStr(VarType('s')) + ' ' + IntToStr(VarType(1.5)) + ' ' + IntToStr(VarType(7))",
         "258 5 3"},
        {"BasicScript", "VarType(\"s\") & \" \" & VarType(Split(\"a\"))", "8 8204"},
    });
}

TEST(Library, BasicRuntime)
{
    expectRows({
        {"BasicScript", "CInt(2.5) & CInt(3.5) & CInt(-2.5) & CInt(\"7.5\")", "24-28"},
        {"BasicScript", "CInt(32767.5)", "Overflow"},
        {"BasicScript", "CLng(2147483647) & \" \" & CLng(-2.5)", "2147483647 -2"},
        {"BasicScript", "CLng(2147483648)", "Overflow"},
        {"BasicScript", "CDbl(\"2.5\") * 2 & CBool(0) & CBool(-1) & CInt(True)", "5FalseTrue-1"},
        {"BasicScript", "InStr(\"abcabc\", \"c\") & InStr(4, \"abcabc\", \"c\") & InStr(\"abc\", \"x\")", "360"},
        {"BasicScript", "InStr(1, \"ABC\", \"b\") & InStr(1, \"ABC\", \"b\", 1) & InStr(9, \"abc\", \"a\")", "020"},
        {"BasicScript", "InStr(0, \"abc\", \"a\")", "Invalid procedure call or argument"},
        {"BasicScript", "InStrRev(\"abcabc\", \"bc\") & InStrRev(\"abcabc\", \"bc\", 4) & InStrRev(\"abc\", \"x\")",
         "520"},
        {"BasicScript", "Replace(\"a-b-c\", \"-\", \"+\") & \" \" & Replace(\"aXbxc\", \"x\", \"-\", 1, -1, 1)",
         "a+b+c a-b-c"},
        {"BasicScript", "Replace(\"a-b-c\", \"-\", \"\", 1, 1) & \" \" & Replace(\"a-b-c\", \"-\", \"+\", 3)",
         "ab-c b+c"},
        {"BasicScript", "Join(Split(\"a,b,,c\", \",\"), \"|\") & \" \" & Join(Split(\"a,b,c\", \",\", 2), \"|\")",
         "a|b||c a|b,c"},
        {"BasicScript", "UBound(Split(\"a b c\")) & LBound(Split(\"a b c\")) & UBound(Split(\"\"))", "20-1"},
        {"BasicScript", "UBound(\"abc\")", "Type mismatch"},
        {"BasicScript", "UBound(Split(\"a\"), 2)", "Subscript out of range"},
        {"BasicScript", "IsNumeric(\"12.5\") & IsNumeric(\" 3 \") & IsNumeric(\"abc\") & IsNumeric(\"\") & IsNumeric(Null)",
         "TrueTrueFalseFalseFalse"},
        {"BasicScript", "IsArray(Split(\"a\")) & IsArray(\"a\") & \"[\" & Space(3) & \"]\"", "TrueFalse[   ]"},
        {"BasicScript", "FormatNumber(1234.567) & \" \" & FormatNumber(1234.4, 0) & \" \" & FormatNumber(1234.5, 1, -2, -2, 0)",
         "1,234.57 1,234 1234.5"},
        {"BasicScript", "FormatNumber(-0.5, 1, 0, -1) & \" \" & FormatNumber(-0.001, 2) & \" \" & FormatNumber(-3, 1)",
         "(.5) 0.00 -3.0"},
    });
}

TEST(Library, BasicDates)
{
    const char *d = "\"yyyy-mm-dd\"";
    auto f = [d](const char *expr) { return std::string("Format(") + expr + ", " + d + ")"; };
    const std::string serial1 = f("DateSerial(2024, 14, 1)"), serial2 = f("DateSerial(2024, 3, 0)"),
                      serial3 = f("DateSerial(99, 1, 1)"), add1 = f("DateAdd(\"m\", 1, DateSerial(2024, 1, 31))"),
                      add2 = f("DateAdd(\"yyyy\", -1, DateSerial(2024, 2, 29))"),
                      add3 = f("DateAdd(\"ww\", 2, DateSerial(2024, 12, 25))");
    expectRows({
        {"BasicScript", serial1.c_str(), "2025-02-01"},
        {"BasicScript", serial2.c_str(), "2024-02-29"},
        {"BasicScript", serial3.c_str(), "1999-01-01"},
        {"BasicScript", add1.c_str(), "2024-02-29"},
        {"BasicScript", add2.c_str(), "2023-02-28"},
        {"BasicScript", add3.c_str(), "2025-01-08"},
        {"BasicScript", "Format(DateAdd(\"h\", 25, DateSerial(2024, 1, 1)), \"yyyy-mm-dd hh:nn\")", "2024-01-02 01:00"},
        {"BasicScript", "DateAdd(\"x\", 1, Now)", "Invalid procedure call or argument"},
        {"BasicScript", "DateDiff(\"d\", DateSerial(2024, 1, 1), DateSerial(2024, 3, 1))", "60"},
        {"BasicScript", "DateDiff(\"m\", DateSerial(2024, 1, 31), DateSerial(2024, 2, 1))", "1"},
        {"BasicScript", "DateDiff(\"yyyy\", DateSerial(2023, 12, 31), DateSerial(2024, 1, 1))", "1"},
        {"BasicScript", "DateDiff(\"q\", DateSerial(2024, 3, 31), DateSerial(2024, 4, 1))", "1"},
        {"BasicScript", "DateDiff(\"d\", DateSerial(2024, 3, 1), DateSerial(2024, 1, 1))", "-60"},
        // Sundays crossed: Saturday 2024-01-06 to Sunday 2024-01-07 is one week boundary
        {"BasicScript", "DateDiff(\"ww\", DateSerial(2024, 1, 6), DateSerial(2024, 1, 7)) & "
                        "DateDiff(\"w\", DateSerial(2024, 1, 6), DateSerial(2024, 1, 7))",
         "10"},
        {"BasicScript", "DateDiff(\"h\", CDate(\"2024-01-01 23:59\"), CDate(\"2024-01-02 00:01\")) & \" \" & "
                        "DateDiff(\"n\", CDate(\"2024-01-01 23:59\"), CDate(\"2024-01-02 00:01\"))",
         "1 2"},
        {"BasicScript", "Format(CDate(\"2024-02-29\"), \"dd.mm.yyyy\")", "29.02.2024"},
    });
}

TEST(Library, ObjectPascalRuntime)
{
    expectRows({
        {"PascalScript", "StringReplace('aAa', 'a', 'b', [])", "bAa"},
        {"PascalScript", "StringReplace('aAa', 'a', 'b', [rfReplaceAll])", "bAb"},
        {"PascalScript", "StringReplace('aAa', 'a', 'b', [rfReplaceAll, rfIgnoreCase])", "bbb"},
        {"PascalScript", "StringReplace('AaA', 'a', 'b', [rfIgnoreCase])", "baA"},
        {"PascalScript", "StringReplace('a-b', '-', '+')", "a+b"},
        {"PascalScript", "IntToHex(255, 4) + ' ' + IntToHex(-1, 2) + ' ' + IntToHex(10)", "00FF FFFFFFFF A"},
        {"PascalScript", "BoolToStr(True) + BoolToStr(False) + BoolToStr(True, True)", "-10True"},
        {"PascalScript", "IntToStr(CompareText('abc', 'ABD')) + IntToStr(CompareStr('b', 'a')) + "
                         "IntToStr(CompareText('x', 'X'))",
         "-110"},
        {"PascalScript", "SameText('Abc', 'aBC')", "True"},
        {"PascalScript", "'[' + TrimLeft('  x ') + '|' + TrimRight(' x  ') + ']'", "[x | x]"},
        {"PascalScript", "PadLeft('7', 3, '0') + PadRight('ab', 4, '.') + PadLeft('long', 2)", "007ab..long"},
        {"PascalScript", "DupeString('ab', 3) + StringOfChar('x', 2) + LeftStr('abc', 2) + RightStr('abc', 1)",
         "abababxxabc"},
        {"PascalScript", "DayOfWeek(EncodeDate(2024, 1, 7))", "1"},
        {"PascalScript", "FormatDateTime('yyyy-mm-dd', IncMonth(EncodeDate(2024, 1, 31)))", "2024-02-29"},
        {"PascalScript", "FormatDateTime('yyyy-mm-dd', IncMonth(EncodeDate(2024, 3, 31), -13))", "2023-02-28"},
        {"PascalScript", "FormatDateTime('yyyy-mm-dd hh:nn', IncDay(EncodeDate(2024, 12, 31) + 0.5))",
         "2025-01-01 12:00"},
        {"PascalScript", "FormatDateTime('yyyy-mm-dd', IncYear(EncodeDate(2024, 2, 29), 1))", "2025-02-28"},
        {"PascalScript", "BoolToStr(IsLeapYear(1900), True) + BoolToStr(IsLeapYear(2000), True)", "FalseTrue"},
        {"PascalScript", "IntToStr(HourOf(EncodeTime(13, 45, 30, 0))) + ':' + IntToStr(MinuteOf(EncodeTime(13, 45, 30, 0)))"
                         " + ':' + IntToStr(SecondOf(EncodeTime(13, 45, 30, 0)))",
         "13:45:30"},
        {"PascalScript", "EncodeTime(25, 0, 0, 0)", "Invalid argument to time encode"},
        {"PascalScript", "BoolToStr(VarIsEmpty(Null), True) + BoolToStr(VarIsNull(Null), True)", "FalseTrue"},
        {"PascalScript", "Sin(0) + Cos(0) + Ln(Exp(1)) + Log10(1000)", "5"},
        {"PascalScript", "Ln(0)", "Invalid floating point operation"},
        {"PascalScript", "Round(Pi * 100) + Trunc(-2.7) + Ceil(1.2) + Floor(-1.2) + Sign(-5)", "311"},
        {"PascalScript", "Frac(2.5) + Max(2, 3) + Min(2, 3) + Random(1)", "5.5"},
        {"PascalScript", "BoolToStr(Odd(3), True) + IntToStr(Succ(1)) + IntToStr(Pred(1))", "True20"},
        {"JScript", "StringReplace(\"aAa\", \"a\", \"b\", [rfReplaceAll, rfIgnoreCase])", "bbb"},
    });
}

TEST(Library, JScriptGlobalFunctions)
{
    expectRows({
        {"JScript", "parseInt('12px') + parseInt('  -42') + parseInt('0x1F') + parseInt('101', 2)", "6"},
        {"JScript", "String(parseInt('abc'))", "NaN"},
        {"JScript", "String(parseInt('12', 1))", "NaN"},
        {"JScript", "parseInt('ff', 16) + parseInt('z', 36)", "290"},
        {"JScript", "parseFloat('3.14abc') + parseFloat('.5') + parseFloat('1e3x') + parseFloat('2e')", "1005.64"},
        {"JScript", "String(parseFloat('e3'))", "NaN"},
        {"JScript", "String(parseFloat('-Infinity'))", "-Infinity"},
        {"JScript", "isNaN('abc') + ',' + isNaN('12') + ',' + isNaN(null) + ',' + isFinite(1 / 0)",
         "true,false,false,false"},
        {"JScript", "Number('') + Number(null) + Number(true) + Number(' 12 ') + Number()", "13"},
        {"JScript", "String(Number('12px'))", "NaN"},
        {"JScript", "String(1.5) + String(null) + String(true) + String([1, 2]) + String()", "1.5nulltrue1,2"},
    });
}

// Functions a script can call are items a host can find, with the same
// per-syntax names.
TEST(Library, FindSeesTheSyntaxsBuiltins)
{
    TfsScript s;
    EXPECT_NE(s.Find(QStringLiteral("copy")), nullptr);
    EXPECT_EQ(s.Find(QStringLiteral("UCase")), nullptr);
    s.SetSyntaxType(QStringLiteral("BasicScript"));
    ASSERT_NE(s.Find(QStringLiteral("UCase")), nullptr);
    EXPECT_EQ(s.Find(QStringLiteral("parseInt")), nullptr);
    s.SetSyntaxType(QStringLiteral("JScript"));
    EXPECT_NE(s.Find(QStringLiteral("parseInt")), nullptr);
}

TEST(Library, MembersOfStringsSayWhatIsWrong)
{
    TfsScript s;
    s.Lines() = QStringList{u"var s: String; n: Integer;"_qs, u"begin"_qs, u"  s := 'abc';"_qs,
                            u"  n := s.length;"_qs, u"end."_qs};
    QString message;
    if (s.Compile()) {
        try {
            s.Execute();
        } catch (const Exception &e) {
            message = e.Message();
        }
    } else {
        message = s.ErrorMsg();
    }
    EXPECT_EQ(message, u"Unknown member 'length' of String"_qs);
}

TEST(Library, RandomStaysInRangeAndTextsStayBounded)
{
    TfsScript s;
    s.Lines() = QString::fromLatin1("var i, r: Integer; lo, hi: Boolean;\n"
                                    "begin\n  Randomize;\n  for i := 1 to 2000 do begin\n    r := Random(10);\n"
                                    "    if (r < 0) or (r > 9) then raise Exception.Create('out of range');\n"
                                    "    if r = 0 then lo := True;\n    if r = 9 then hi := True;\n"
                                    "    if (Random < 0) or (Random >= 1) then raise Exception.Create('float');\n"
                                    "  end;\n  if not (lo and hi) then raise Exception.Create('ends never drawn');\nend.")
                    .split(u'\n');
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();
    EXPECT_NO_THROW(s.Execute());

    // a count no text needs ends as out of memory before anything is allocated
    expectRows({
        {"PascalScript", "StringOfChar('x', 4000000000)", "Out of memory"},
        {"PascalScript", "Length(DupeString('ab', 2000000000))", "Out of memory"},
        {"PascalScript", "PadLeft('', 9000000000)", "Out of memory"},
        {"BasicScript", "Len(Space(3000000000))", "Out of memory"},
    });
}

// Procedures that hand results back through var parameters.
TEST(Library, DecodeWritesItsVarParameters)
{
    TfsScript s;
    QStringList out;
    s.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                      [&out](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                          out << VarToStr(m->GetVParam(0));
                          return Variant();
                      });
    s.Lines() = QString::fromLatin1("var h, m, sec, ms, y, mo, d: Integer; t: String;\n"
                                    "begin\n  DecodeTime(EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 30, 250), h, m, sec, ms);\n"
                                    "  DecodeDate(EncodeDate(2024, 2, 29), y, mo, d);\n"
                                    "  t := 'abcdef';\n  Delete(t, 2, 3);\n  Insert('XY', t, 2);\n"
                                    "  Print(Format('%d:%d:%d.%d %d-%d-%d ', [h, m, sec, ms, y, mo, d]) + t);\nend.")
                    .split(u'\n');
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg().toStdString();
    s.Execute();
    EXPECT_EQ(out, QStringList{u"13:45:30.250 2024-2-29 aXYef"_qs});
}

TEST(Library, ReferenceDeclarationsInEachNotation)
{
    auto decl = [](const char *language, const char *name) {
        for (const TfsLibraryFunction &f : fsLibraryFunctions(QString::fromLatin1(language)))
            if (f.Name == QLatin1String(name))
                return f.Declaration + (f.AliasOf.isEmpty() ? QString() : u" = "_qs + f.AliasOf);
        return QString();
    };
    EXPECT_EQ(decl("PascalScript", "Copy"), u"function Copy(S: String; Index: Integer[; Count: Integer]): String"_qs);
    EXPECT_EQ(decl("PascalScript", "Now"), u"function Now: TDateTime"_qs);
    EXPECT_EQ(decl("PascalScript", "rfReplaceAll"), u"const rfReplaceAll: Integer"_qs);
    EXPECT_EQ(decl("C++Script", "Inc"), u"void Inc(int &X[, int N])"_qs);
    EXPECT_EQ(decl("BasicScript", "UCase"), u"Function UCase(S As String) As String = UpperCase"_qs);
    EXPECT_EQ(decl("BasicScript", "InStr"),
              u"Function InStr([Start As Integer, ]S As String, SubStr As String[, Compare As Integer]) As Integer"_qs);
    EXPECT_EQ(decl("JScript", "parseInt"), u"parseInt(S[, Radix]): Number"_qs);
    EXPECT_TRUE(decl("PascalScript", "UCase").isEmpty());
    EXPECT_THROW(fsLibraryFunctions(u"Klingon"_qs), EfsScriptError);
}

// Every example the reference pages show compiles in its syntax.
TEST(Library, ReferenceExamplesCompile)
{
    for (const char *language : {"PascalScript", "C++Script", "BasicScript", "JScript"}) {
        const QStringList examples = fsScriptReferenceExamples(QString::fromLatin1(language));
        EXPECT_GE(examples.size(), 7);
        for (const QString &program : examples) {
            SCOPED_TRACE(std::string(language) + ":\n" + program.toStdString());
            TfsScript s;
            s.SetSyntaxType(QString::fromLatin1(language));
            s.Lines() = program.split(u'\n');
            EXPECT_TRUE(s.Compile()) << s.ErrorPos().toStdString() << ": " << s.ErrorMsg().toStdString();
        }
    }
}

} // namespace
