// What names mean where the host is involved: Pascal's with on host objects
// (members known when compiling, or only when running), and JScript closures
// that outlive the calls and the values that made them.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

#include <QObject>

using namespace zor;

namespace {

class Gauge : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Level READ level WRITE setLevel)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
public:
    int level() const { return m_level; }
    void setLevel(int v) { m_level = v; }
    QString caption() const { return m_caption; }
    void setCaption(const QString &v) { m_caption = v; }
    Q_INVOKABLE int Bump(int by) { return m_level += by; }
    Q_INVOKABLE void Reset() { m_level = 0; }

private:
    int m_level = 0;
    QString m_caption;
};

// A script with Print(Value) collecting its output lines.
struct Harness
{
    TfsScript script;
    QStringList out;

    explicit Harness(const QString &language)
    {
        script.SetSyntaxType(language);
        script.AddScriptMethod(QStringLiteral("procedure Print(Value: Variant)"),
                               [this](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
                                   out << VarToStr(m->GetVParam(0));
                                   return Variant();
                               });
    }

    // Compiles and runs; the error message, or empty.
    QString run(const QString &source)
    {
        script.Lines() = source.split(u'\n');
        if (!script.Compile())
            return QStringLiteral("compile: ") + script.ErrorMsg();
        try {
            script.Execute();
        } catch (const Exception &e) {
            return e.Message();
        }
        return QString();
    }
};

TEST(PascalWith, MembersOfARegisteredObjectComeFirst)
{
    Gauge g;
    Harness h(QStringLiteral("PascalScript"));
    h.script.AddScriptObject(QStringLiteral("G"), &g);
    // Level is the object's; Total is the script's own variable; Caption
    // names both and the object wins, as in the language.
    EXPECT_EQ(h.run(QStringLiteral("var Total: Integer; Caption: String;\n"
                                   "begin\n"
                                   "  Caption := 'mine';\n"
                                   "  with G do\n"
                                   "  begin\n"
                                   "    Level := 4;\n"
                                   "    Bump(3);\n"
                                   "    Total := Level * 10;\n"
                                   "    Caption := 'set ' + IntToStr(Bump(1));\n"
                                   "  end;\n"
                                   "  Print(Total); Print(Caption);\n"
                                   "end.")),
              QString());
    EXPECT_EQ(g.level(), 8);
    EXPECT_EQ(g.caption(), QStringLiteral("set 8"));
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("70"), QStringLiteral("mine")}));

    // a method without parentheses is a call
    EXPECT_EQ(h.run(QStringLiteral("begin with G do Reset; end.")), QString());
    EXPECT_EQ(g.level(), 0);
}

TEST(PascalWith, ObjectOfADeclaredClassAndAMissingMember)
{
    Gauge g;
    Harness h(QStringLiteral("PascalScript"));
    h.script.AddScriptClass(&Gauge::staticMetaObject, QStringLiteral("TObject"));
    h.script.AddScriptObject(QStringLiteral("Source"), &g);
    // the variable's class is known from its declaration though it is nil
    // when compiling
    EXPECT_EQ(h.run(QStringLiteral("var x: Gauge;\n"
                                   "begin\n"
                                   "  x := Source;\n"
                                   "  with x do Caption := 'typed';\n"
                                   "end.")),
              QString());
    EXPECT_EQ(g.caption(), QStringLiteral("typed"));
    // a name neither the class nor the program has is an error when compiling
    EXPECT_EQ(h.run(QStringLiteral("var x: Gauge;\nbegin x := Source; with x do Missing := 1; end.")),
              QStringLiteral("compile: Undeclared identifier: 'Missing'"));
}

TEST(PascalWith, ObjectWhoseClassIsKnownOnlyWhenRunning)
{
    Gauge g;
    Harness h(QStringLiteral("PascalScript"));
    h.script.AddScriptObject(QStringLiteral("Source"), &g);
    const QString program = QStringLiteral("function Pick: Variant;\n"
                                           "begin Result := Source; end;\n"
                                           "var n: Integer;\n"
                                           "begin\n"
                                           "  n := 2;\n"
                                           "  with Pick do\n"
                                           "  begin\n"
                                           "    Level := n + 1;\n" // Level: the object's; n: the program's
                                           "    n := Level * 2;\n"
                                           "    %1\n"
                                           "  end;\n"
                                           "  Print(n);\n"
                                           "end.");
    EXPECT_EQ(h.run(program.arg(QString())), QString());
    EXPECT_EQ(g.level(), 3);
    EXPECT_EQ(h.out, QStringList{QStringLiteral("6")});
    // nothing has the name: the object is asked when it runs, and says no
    EXPECT_EQ(h.run(program.arg(QStringLiteral("Nowhere := 1;"))), QStringLiteral("Undeclared identifier: 'Nowhere'"));
}

TEST(PascalWith, RecordsAndObjectsTogether)
{
    Gauge g;
    Harness h(QStringLiteral("PascalScript"));
    h.script.AddScriptObject(QStringLiteral("G"), &g);
    EXPECT_EQ(h.run(QStringLiteral("type TR = record Level: Integer; Note: String; end;\n"
                                   "var r: TR;\n"
                                   "begin\n"
                                   "  with G, r do\n"
                                   "  begin\n"
                                   "    Level := 5;\n" // the record's field: records open in the text win
                                   "    Note := Caption;\n"
                                   "  end;\n"
                                   "  Print(r.Level); Print(r.Note);\n"
                                   "end.")),
              QString());
    EXPECT_EQ(g.level(), 0);
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("5"), QString()}));
}

TEST(PascalArrays, SharedArraysSurviveTheFramesThatMadeThem)
{
    Harness h(QStringLiteral("PascalScript"));
    // a local dynamic array starts empty in every call: the empty array a
    // routine's frame starts with is never resized in place
    EXPECT_EQ(h.run(QStringLiteral("function Grow(n: Integer): array of Integer;\n"
                                   "var a: array of Integer; i: Integer;\n"
                                   "begin\n"
                                   "  i := Length(a);\n"
                                   "  SetLength(a, i + n);\n"
                                   "  a[i] := n;\n"
                                   "  Result := a;\n"
                                   "end;\n"
                                   "var x, y: array of Integer;\n"
                                   "begin\n"
                                   "  x := Grow(2); y := Grow(3);\n"
                                   "  Print(Length(x)); Print(Length(y)); Print(y[0]);\n"
                                   "  x[1] := 9; y := x; SetLength(x, 1); Print(y[1]);\n"
                                   "end.")),
              QString());
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("3"), QStringLiteral("9")}));
}

TEST(PascalArrays, ResizingIsBounded)
{
    Harness h(QStringLiteral("PascalScript"));
    EXPECT_EQ(h.run(QStringLiteral("var a: array of Integer;\nbegin SetLength(a, -1); end.")),
              QStringLiteral("Range check error"));
    EXPECT_EQ(h.run(QStringLiteral("var a: array of Integer;\nbegin SetLength(a, 2000000000); end.")),
              QStringLiteral("Range check error"));
}

TEST(JScriptClosures, ValuesKeepTheirCellsAfterTheProgramForgetsThem)
{
    Harness h(QStringLiteral("JScript"));
    // a long chain of closures, each holding the previous one through its
    // cell: following it works, and releasing it must not take one native
    // frame per link
    EXPECT_EQ(h.run(QStringLiteral("function link(prev) { return function () { return prev; }; }\n"
                                   "var f = null;\n"
                                   "for (var i = 0; i < 200000; i++) f = link(f);\n"
                                   "var depth = 0; var g = f;\n"
                                   "while (g != null && depth < 3) { g = g(); depth++; }\n"
                                   "Print(depth);\n"
                                   "f = null; g = null;\n"
                                   "Print('freed');")),
              QString());
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("3"), QStringLiteral("freed")}));
}

TEST(JScriptClosures, EachCallMakesFreshCells)
{
    Harness h(QStringLiteral("JScript"));
    // counters made by separate calls do not share; those made by one call do
    EXPECT_EQ(h.run(QStringLiteral("function pair() {\n"
                                   "  var n = 0;\n"
                                   "  return [function () { return ++n; }, function () { return n; }];\n"
                                   "}\n"
                                   "var p = pair(), q = pair();\n"
                                   "p[0](); p[0](); q[0]();\n"
                                   "Print(p[1]() + ',' + q[1]());")),
              QString());
    EXPECT_EQ(h.out, QStringList{QStringLiteral("2,1")});
}

TEST(JScriptClosures, InnerFunctionsAreNotGlobal)
{
    Harness h(QStringLiteral("JScript"));
    EXPECT_EQ(h.run(QStringLiteral("function outer() { function inner() { return 1; } return inner(); }\n"
                                   "Print(outer());\n"
                                   "inner();")),
              QStringLiteral("compile: Undeclared identifier: 'inner'"));
}

} // namespace

#include "ScopesTest.moc"
