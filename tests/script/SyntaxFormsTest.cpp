// Statement forms particular to one syntax: each row is a program and the
// lines it prints.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

using namespace zor;

namespace {

TEST(SyntaxForms, EachSyntaxsOwnStatements)
{
    struct Row
    {
        const char *name;
        const char *language;
        const char *source;
        const char *output; // printed lines joined by '|'
    } rows[] = {
        {"basic elseif chain", "BasicScript",
         "Dim i\nFor i = 1 To 3\n  If i = 1 Then\n    Print \"a\"\n  ElseIf i = 2 Then\n    Print \"b\"\n  Else\n"
         "    Print \"c\"\n  End If\nNext",
         "a|b|c"},
        {"basic select ranges", "BasicScript",
         "Dim v\nv = 7\nSelect Case v\n  Case 1 To 5\n    Print \"low\"\n"
         "  Case 6, 7 To 9\n    Print \"high\"\nEnd Select",
         "high"},
        {"basic one-line if else", "BasicScript", "If 1 > 2 Then Print \"x\" Else Print \"y\"", "y"},
        {"basic continuation and rem", "BasicScript", "Print 1 + _\n  2 ' a comment\nREM another\nPrint \"done\"",
         "3|done"},
        {"basic do while", "BasicScript", "Dim n\nn = 0\nDo While n < 3\n  n = n + 1\nLoop\nPrint n", "3"},
        {"basic integer division", "BasicScript", "Print 7 \\ 2 & \"/\" & 7 Mod 2", "3/1"},
        {"c ternary and escapes", "C++Script", "{ int a = 3; Print(a > 2 ? \"big\\tone\" : \"small\"); }",
         "big\tone"},
        {"c continue", "C++Script",
         "{ int s = 0; for (int i = 0; i < 5; i++) { if (i == 2) continue; s += i; } Print(s); }", "8"},
        {"c shifts and bit operators", "C++Script", "{ Print(1 << 3 | 1); }", "9"},
        {"js while and logic", "JScript",
         "var i = 0, hits = 0;\nwhile (i < 10) { i++; if (i % 3 == 0 || i == 5) hits++; }\nPrint(hits);", "4"},
        {"js nested functions calls", "JScript",
         "function add(a, b) { return a + b; }\nfunction twice(x) { return add(x, x); }\nPrint(twice(add(1, 2)));",
         "6"},
        {"pascal case ranges and strings", "PascalScript",
         "var c: String;\nbegin\n  c := 'm';\n  case c of\n    'a'..'f': Print('early');\n    'g'..'p': Print('middle');\n"
         "  else Print('late');\n  end;\nend.",
         "middle"},
        {"pascal downto with exit in main", "PascalScript",
         "var i: Integer;\nbegin\n  for i := 3 downto 1 do begin Print(i); if i = 2 then exit; end;\n  Print('never');\nend.",
         "3|2"},
        {"pascal repeat with nested break", "PascalScript",
         "var i, j, n: Integer;\nbegin\n  n := 0;\n  for i := 1 to 3 do\n    for j := 1 to 3 do begin\n"
         "      if j > i then break;\n      n := n + 1;\n    end;\n  Print(n);\nend.",
         "6"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TfsScript s;
        QStringList out;
        s.SetSyntaxType(QString::fromLatin1(row.language));
        s.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                          [&out](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                              out << VarToStr(m->GetVParam(0));
                              return Variant();
                          });
        s.Lines() = QString::fromLatin1(row.source).split(u'\n');
        ASSERT_TRUE(s.Compile()) << s.ErrorPos().toStdString() << " " << s.ErrorMsg().toStdString();
        s.Execute();
        EXPECT_EQ(out.join(u'|'), QString::fromLatin1(row.output));
    }
}

} // namespace
