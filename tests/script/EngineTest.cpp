// The engine through its host API: the same programs in all four syntaxes,
// syntax and runtime errors with their positions, registrations.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

#include <QFile>
#include <QObject>

#include <thread>

using namespace zor;

namespace {

QString readData(const QString &name)
{
    QFile f(QStringLiteral(ZOR_TEST_DATA "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

struct Language
{
    const char *Name;
    const char *Ext;
};

const Language kLanguages[] = {
    {"PascalScript", "pas"},
    {"C++Script", "cpps"},
    {"BasicScript", "bas"},
    {"JScript", "js"},
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

    bool compile(const QString &source)
    {
        script.Lines() = source.split(u'\n');
        return script.Compile();
    }
};

TEST(Engine, SameResultsInEverySyntax)
{
    for (const char *program : {"arith", "control", "routines", "errors", "arrays"}) {
        const QStringList expected = readData(QString::fromLatin1(program) + QStringLiteral(".out"))
                                         .split(u'\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(expected.isEmpty()) << program;
        for (const Language &lang : kLanguages) {
            SCOPED_TRACE(std::string(program) + "." + lang.Ext);
            const QString source = readData(QString::fromLatin1(program) + u'.' + QString::fromLatin1(lang.Ext));
            ASSERT_FALSE(source.isEmpty());
            Harness h(QString::fromLatin1(lang.Name));
            ASSERT_TRUE(h.compile(source)) << h.script.ErrorPos().toStdString() << ": "
                                           << h.script.ErrorMsg().toStdString();
            try {
                h.script.Execute();
            } catch (const Exception &e) {
                FAIL() << "runtime error " << e.Message().toStdString() << " at "
                       << h.script.ErrorPos().toStdString();
            }
            EXPECT_EQ(h.out, expected);
        }
    }
}

TEST(Engine, SyntaxErrorsNameLineAndColumn)
{
    struct Row
    {
        const char *name;
        const char *language;
        const char *source;
        const char *message;
        const char *pos;
    } rows[] = {
        {"undeclared", "PascalScript", "begin\n  x := 1;\nend.", "Undeclared identifier: 'x'", "2:3"},
        {"missing semicolon", "PascalScript", "var a, b: Integer;\nbegin\n  a := 1\n  b := 2;\nend.",
         "';' expected", "4:3"},
        {"unterminated string", "PascalScript", "begin\n  ShowMessage('abc);\nend.", "Unterminated string", "2:15"},
        {"unterminated comment", "PascalScript", "begin { never closed\nend.", "Unterminated comment", "1:7"},
        {"bad character", "PascalScript", "begin\n  ShowMessage(1 ! 2);\nend.", "Unexpected character '!'", "2:17"},
        {"too many arguments", "PascalScript", "begin\n  ShowMessage('a', 'b');\nend.",
         "Too many actual parameters", "2:3"},
        {"not enough arguments", "PascalScript",
         "procedure P(a, b: Integer);\nbegin\nend;\nbegin\n  P(1);\nend.", "Not enough actual parameters", "5:3"},
        {"redeclared", "PascalScript", "var a: Integer;\nvar a: String;\nbegin\nend.", "Identifier redeclared: 'a'",
         "2:5"},
        {"break outside loop", "PascalScript", "begin\n  break;\nend.", "BREAK or CONTINUE outside of loop", "2:3"},
        {"truncated", "PascalScript", "begin\n  if 1 < ", "Unexpected end of script", "2:10"},
        {"c expression", "C++Script", "{\n  int x = ;\n}", "Expression expected", "2:11"},
        {"c missing brace", "C++Script", "void f() {\n  f();\n", "'}' expected", "3:1"},
        {"js undeclared read", "JScript", "var a;\na = b + 1;", "Undeclared identifier: 'b'", "2:5"},
        {"basic end if", "BasicScript", "If 1 < 2 Then\n  ShowMessage \"x\"\n", "Unexpected end of script", "3:1"},
        {"basic statement", "BasicScript", "x = 1\n1 = 2", "Statement expected", "2:1"},
        {"unknown language", "Klingon", "begin end.", "Unknown script language: 'Klingon'", "0:0"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Harness h(QString::fromLatin1(row.language));
        EXPECT_FALSE(h.compile(QString::fromLatin1(row.source)));
        EXPECT_EQ(h.script.ErrorMsg(), QString::fromLatin1(row.message));
        EXPECT_EQ(h.script.ErrorPos(), QString::fromLatin1(row.pos));
    }
}

TEST(Engine, RuntimeErrorsCarryTheRuntimeMessageAndPosition)
{
    struct Row
    {
        const char *name;
        const char *source;
        const char *message;
        const char *pos;
    } rows[] = {
        {"integer division", "var i: Integer;\nbegin\n  i := 0;\n  i := 10 div i;\nend.", "Division by zero", "4:3"},
        {"float division", "var d: Double;\nbegin\n  d := 1 / 0;\nend.", "Floating point division by zero", "3:3"},
        {"raise", "begin\n  if True then\n    raise Exception.Create('custom');\nend.", "custom", "3:5"},
        {"range", "var a: array[1..3] of Integer;\nbegin\n  a[4] := 1;\nend.", "Range check error", "3:3"},
        {"conversion", "begin\n  ShowMessage(StrToInt('12x'));\nend.", "'12x' is not a valid integer value", "2:3"},
        {"stack overflow", "procedure R;\nbegin\n  R;\nend;\nbegin\n  R;\nend.", "Stack overflow", "3:3"},
        {"one-statement loop body", "var i, j: Integer;\nbegin\n  for i := 1 to 3 do\n    j := 10 div (i - 2);\nend.",
         "Division by zero", "4:5"},
        {"one-statement else", "var i: Integer;\nbegin\n  i := 0;\n  if i > 0 then\n    i := 1\n  else\n    i := i div i;\nend.",
         "Division by zero", "7:5"},
        {"inside a function",
         "function F(x: Integer): Integer;\nbegin\n  Result := 100 div x;\nend;\nbegin\n  F(0);\nend.",
         "Division by zero", "3:3"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Harness h(QStringLiteral("PascalScript"));
        ASSERT_TRUE(h.compile(QString::fromLatin1(row.source))) << h.script.ErrorMsg().toStdString();
        try {
            h.script.Execute();
            ADD_FAILURE() << "no exception";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(row.message));
        }
        EXPECT_EQ(h.script.ErrorMsg(), QString::fromLatin1(row.message));
        EXPECT_EQ(h.script.ErrorPos(), QString::fromLatin1(row.pos));
    }
}

// Integer operators read locals, globals, var parameters and constants in
// place; every kind of operand on either side, in updates and loops too.
TEST(Engine, IntegerOperandsOfEveryKind)
{
    Harness h(QStringLiteral("PascalScript"));
    ASSERT_TRUE(h.compile(QStringLiteral(
        "var g, h, i: Integer;\n"
        "procedure Bump(var n: Integer; k: Integer);\n"
        "begin\n  n := n + k;\n  n := n * 2;\nend;\n"
        "function F(a, b: Integer): Integer;\n"
        "var l: Integer;\n"
        "begin\n  l := a - b;\n  if l < 0 then l := 0 - l;\n  Result := l * g + h mod a;\nend;\n"
        "procedure Count(var n: Integer);\n"
        "begin\n  for n := 1 to 4 do g := g + n;\nend;\n"
        "begin\n"
        "  g := 3; h := 17;\n"
        "  Print(F(5, 9)); Print(F(9, 5));\n"
        "  Bump(g, 4); Print(g);\n"
        "  Print(g > h); Print(h - g); Print(g <= 14);\n"
        "  for i := 1 to 3 do g := g - i;\n"
        "  Print(g); Print(i);\n"
        "  Count(h); Print(h); Print(g);\n"
        "end.")))
        << h.script.ErrorMsg().toStdString();
    h.script.Execute();
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("14"), QStringLiteral("20"), QStringLiteral("14"),
                                  QStringLiteral("False"), QStringLiteral("3"), QStringLiteral("True"),
                                  QStringLiteral("8"), QStringLiteral("3"), QStringLiteral("4"),
                                  QStringLiteral("18")}));
}

TEST(Engine, IdentifiersIgnoreCaseAcrossSyntaxes)
{
    Harness p(QStringLiteral("PascalScript"));
    ASSERT_TRUE(p.compile(QStringLiteral("VAR Total: INTEGER;\nBEGIN total := 2; PRINT(ToTaL + 1) END.")));
    p.script.Execute();
    EXPECT_EQ(p.out, QStringList{QStringLiteral("3")});

    Harness c(QStringLiteral("C++Script"));
    ASSERT_TRUE(c.compile(QStringLiteral("int Total; { total = 2; PRINT(TOTAL + 1); }")));
    c.script.Execute();
    EXPECT_EQ(c.out, QStringList{QStringLiteral("3")});
}

TEST(Engine, RecompileReplacesTheProgramButKeepsRegistrations)
{
    Harness h(QStringLiteral("PascalScript"));
    h.script.SetVariables(QStringLiteral("Base"), Variant(40));
    ASSERT_TRUE(h.compile(QStringLiteral("var X: Integer;\nbegin X := Base + 2; Print(X) end.")));
    h.script.Execute();
    ASSERT_TRUE(h.compile(QStringLiteral("var Y: Integer;\nbegin Y := Base; Print(Y) end.")));
    EXPECT_EQ(h.script.FindLocal(QStringLiteral("X")), nullptr) << "the first program's variable must be gone";
    h.script.SetVariables(QStringLiteral("Base"), Variant(7)); // seen by compiled code
    h.script.Execute();
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("42"), QStringLiteral("7")}));
    EXPECT_EQ(h.script.Variables(QStringLiteral("y")), Variant(7));
}

TEST(Engine, FindLooksThroughParentsFindLocalDoesNot)
{
    TfsScript parent;
    parent.AddScriptConst(QStringLiteral("Answer"), QStringLiteral("Integer"), Variant(42));
    Harness child(QStringLiteral("PascalScript"));
    child.script.SetParent(&parent);
    EXPECT_NE(child.script.Find(QStringLiteral("answer")), nullptr);
    EXPECT_EQ(child.script.FindLocal(QStringLiteral("answer")), nullptr);
    ASSERT_TRUE(child.compile(QStringLiteral("begin Print(Answer * 2) end.")));
    child.script.Execute();
    EXPECT_EQ(child.out, QStringList{QStringLiteral("84")});
    EXPECT_THROW(parent.SetParent(&child.script), Exception) << "a parent cycle must be refused";
}

TEST(Engine, ClearItemsRemovesOnlyWhatThatOwnerAdded)
{
    TfsScript s;
    QObject a, b;
    s.SetAddedBy(&a);
    s.AddScriptConst(QStringLiteral("FromA"), QStringLiteral("Integer"), Variant(1));
    s.SetAddedBy(&b);
    s.AddScriptConst(QStringLiteral("FromB"), QStringLiteral("Integer"), Variant(2));
    s.SetAddedBy(nullptr);
    s.ClearItems(&a);
    EXPECT_EQ(s.FindLocal(QStringLiteral("FromA")), nullptr);
    ASSERT_NE(s.FindLocal(QStringLiteral("FromB")), nullptr);
    EXPECT_EQ(s.FindLocal(QStringLiteral("FromB"))->AddedBy(), &b);
}

TEST(Engine, TypedVariablesConvertOnAssignment)
{
    Harness h(QStringLiteral("PascalScript"));
    ASSERT_TRUE(h.compile(QStringLiteral(
        "var i: Integer; s: String; d: Double; v: Variant;\n"
        "begin i := 2.5; s := 12; d := 3; Print(i); Print(s + 'x'); Print(d / 2); Print(VarIsNull(v)); end.")));
    h.script.Execute();
    // 2.5 rounds half to even, as the runtime's conversions do
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("2"), QStringLiteral("12x"), QStringLiteral("1.5"),
                                  QStringLiteral("False")}));
}

TEST(Engine, HostileSourcesEndInErrorsNotCrashes)
{
    struct Row
    {
        const char *name;
        const char *language;
        QString source;
    } rows[] = {
        {"deep parentheses", "PascalScript", QStringLiteral("begin ShowMessage(") + QString(5000, u'(') + QStringLiteral("1);end.")},
        {"deep not", "BasicScript", QStringLiteral("x = ") + QStringLiteral("Not ").repeated(5000) + QStringLiteral("1")},
        {"deep blocks", "C++Script", QString(5000, u'{')},
        {"deep ifs", "PascalScript", QStringLiteral("begin ") + QStringLiteral("if 1 then ").repeated(5000) + QStringLiteral("end.")},
        {"lone quote", "JScript", QStringLiteral("var s = \"abc")},
        {"huge array", "PascalScript", QStringLiteral("var a: array[0..2000000000] of Integer; begin end.")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Harness h(QString::fromLatin1(row.language));
        EXPECT_FALSE(h.compile(row.source));
        EXPECT_FALSE(h.script.ErrorMsg().isEmpty());
        EXPECT_FALSE(h.script.ErrorPos().isEmpty());
    }
    // Found by fuzzing: a block-level declaration without initialiser that
    // shadows a global crashed the compiler.
    Harness h(QStringLiteral("C++Script"));
    EXPECT_TRUE(h.compile(QStringLiteral("int i;\n{\n  f i;\n  i = 1;\n}")));
    h.script.Execute();
}

// A class whose properties and invokable methods scripts see without any
// registration code.
class Counter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Value READ value WRITE setValue)
    Q_PROPERTY(QString Label READ label)
public:
    int value() const { return m_value; }
    void setValue(int v) { m_value = v; }
    QString label() const { return QStringLiteral("counter"); }
    Q_INVOKABLE int Add(int a, int b) { return m_value += a + b; }
    Q_INVOKABLE Counter *Self() { return this; }
    Q_INVOKABLE int Twice(int a) const { return 2 * a; }

private:
    int m_value = 0;
};

TEST(Engine, QtClassesBecomeScriptClasses)
{
    Counter counter;
    Harness h(QStringLiteral("PascalScript"));
    h.script.AddScriptObject(QStringLiteral("Cnt"), &counter);
    ASSERT_TRUE(h.compile(QStringLiteral(
        "begin\n  Cnt.Value := 5;\n  Print(Cnt.Add(1, 2));\n  Print(Cnt.Self.Label);\n  Print(Cnt.Value);\nend.")));
    h.script.Execute();
    EXPECT_EQ(h.out, (QStringList{QStringLiteral("8"), QStringLiteral("counter"), QStringLiteral("8")}));
    EXPECT_EQ(counter.value(), 8);

    ASSERT_TRUE(h.compile(QStringLiteral("begin\n  Cnt.Label := 'x';\nend.")));
    EXPECT_THROW(h.script.Execute(), Exception) << "a read-only property must refuse writes";
    ASSERT_TRUE(h.compile(QStringLiteral("begin\n  Cnt.Missing;\nend.")));
    EXPECT_THROW(h.script.Execute(), Exception);
}

// A Qt class's script class is one for every script: two scripts calling its
// methods and reading its properties on two threads must each get their own
// arguments and values back.
TEST(Engine, ScriptsOnTwoThreadsShareAQtClassSafely)
{
    auto run = [](int offset, qint64 *sum, QString *error) {
        Counter counter;
        TfsScript script;
        script.AddScriptObject(QStringLiteral("Cnt"), &counter);
        script.AddScriptVariable(QStringLiteral("Total"), QStringLiteral("Integer"), Variant(0));
        script.Lines() = QStringList{QStringLiteral(
            "var i: Integer;\n"
            "begin\n"
            "  for i := 1 to 20000 do\n"
            "    if Cnt.Label = 'counter' then Total := Total + Cnt.Twice(i + %1);\n"
            "end.").arg(offset)};
        if (!script.Compile()) {
            *error = script.ErrorMsg();
            return;
        }
        script.Execute();
        *sum = VarToInt64(script.Variables(QStringLiteral("Total")));
    };
    qint64 a = 0, b = 0;
    QString errorA, errorB;
    std::thread t1(run, 0, &a, &errorA), t2(run, 1000000, &b, &errorB);
    t1.join();
    t2.join();
    EXPECT_TRUE(errorA.isEmpty()) << errorA.toStdString();
    EXPECT_TRUE(errorB.isEmpty()) << errorB.toStdString();
    const qint64 n = 20000, base = n * (n + 1); // 2 * (1 + ... + n)
    EXPECT_EQ(a, base);
    EXPECT_EQ(b, base + 2 * 1000000 * n);
}

// Lists as Object Pascal's classes have them: a count and an indexed
// default property, here an invokable method of one parameter.
class TColumns : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Count READ count)
public:
    int count() const { return 3; }
    Q_INVOKABLE QString Columns(int i) const { return QStringLiteral("col%1").arg(i); }
};

class Sheet : public QObject
{
    Q_OBJECT
    // names the default; without it Items would serve
    Q_CLASSINFO("DefaultProperty", "Cell")
    Q_PROPERTY(TColumns *Cols READ cols)
public:
    TColumns *cols() { return &m_cols; }
    Q_INVOKABLE QString Cell(int i) const { return QStringLiteral("cell%1").arg(i); }
    Q_INVOKABLE QString Items(int i) const { return QStringLiteral("item%1").arg(i); }
    Q_INVOKABLE QString Title() const { return QStringLiteral("title"); }
    Q_INVOKABLE void SetCell(int i, const QString &v) { written << QStringLiteral("cell%1=%2").arg(i).arg(v); }
    Q_INVOKABLE void SetItems(int i, const QString &v) { written << QStringLiteral("item%1=%2").arg(i).arg(v); }

    QStringList written;

private:
    TColumns m_cols;
};

TEST(Engine, IndexingAnObjectReadsItsDefaultIndexedProperty)
{
    Sheet sheet;
    Counter counter;
    for (const char *language : {"PascalScript", "JScript"}) {
        Harness h(QString::fromLatin1(language));
        h.script.AddScriptObject(QStringLiteral("Sh"), &sheet);
        h.script.AddScriptObject(QStringLiteral("Cnt"), &counter);
        const bool pascal = QLatin1String(language) == QLatin1String("PascalScript");
        ASSERT_TRUE(h.compile(pascal ? QStringLiteral("var i: Integer;\nbegin\n  Print(Sh[2]);\n"
                                                      "  for i := 0 to Sh.Cols.Count - 1 do Print(Sh.Cols[i]);\n"
                                                      "  Print(Sh.Cols.Columns[7] + Sh.Items[1] + Sh.Title);\nend.")
                                     : QStringLiteral("Print(Sh[2]);\n"
                                                      "for (var i = 0; i < Sh.Cols.Count; i++) Print(Sh.Cols[i]);\n"
                                                      "Print(Sh.Cols.Columns[7] + Sh.Items[1] + Sh.Title);")))
            << h.script.ErrorMsg().toStdString();
        h.script.Execute();
        EXPECT_EQ(h.out, (QStringList{QStringLiteral("cell2"), QStringLiteral("col0"), QStringLiteral("col1"),
                                      QStringLiteral("col2"), QStringLiteral("col7item1title")}))
            << language;

        ASSERT_TRUE(h.compile(pascal ? QStringLiteral("begin Print(Cnt[0]); end.") : QStringLiteral("Print(Cnt[0]);")));
        try {
            h.script.Execute();
            ADD_FAILURE() << "a class without a default property was indexed";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Class Counter has no default property"));
        }
    }
}

TEST(Engine, AssigningToAnIndexedObjectCallsTheWriterOfItsDefaultProperty)
{
    Counter counter;
    for (const char *language : {"PascalScript", "JScript", "BasicScript", "C++Script"}) {
        Sheet sheet;
        Harness h(QString::fromLatin1(language));
        h.script.AddScriptObject(QStringLiteral("Sh"), &sheet);
        h.script.AddScriptObject(QStringLiteral("Cnt"), &counter);
        const QString lang = QString::fromLatin1(language);
        QString body;
        if (lang == u"PascalScript")
            body = QStringLiteral("var s: Variant;\nbegin\n  s := Sh;\n  Sh[3] := 'x';\n  Sh.Items[4] := 'y' + Sh[1];\n  s[5] := 'z';\nend.");
        else if (lang == u"BasicScript")
            body = QStringLiteral("Dim s\nSet s = Sh\nSh(3) = \"x\"\nSh.Items(4) = \"y\" & Sh(1)\ns(5) = \"z\"\n");
        else
            body = QStringLiteral("var s = Sh;\nSh[3] = 'x';\nSh.Items[4] = 'y' + Sh[1];\ns[5] = 'z';\n");
        ASSERT_TRUE(h.compile(body)) << language << ": " << h.script.ErrorMsg().toStdString();
        try {
            h.script.Execute();
        } catch (const Exception &e) {
            ADD_FAILURE() << language << ": " << e.Message().toStdString() << " after " << sheet.written.join(u',').toStdString();
        }
        EXPECT_EQ(sheet.written, (QStringList{QStringLiteral("cell3=x"), QStringLiteral("item4=ycell1"),
                                              QStringLiteral("cell5=z")}))
            << language;
    }
    Harness h(QStringLiteral("PascalScript"));
    h.script.AddScriptObject(QStringLiteral("Cnt"), &counter);
    ASSERT_TRUE(h.compile(QStringLiteral("begin Cnt[0] := 1; end.")));
    try {
        h.script.Execute();
        ADD_FAILURE() << "a class without a writer took an indexed assignment";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Class Counter has no writable default property"));
    }
}

TEST(Engine, HandlersSeeUpperCaseNamesAndWriteVarParameters)
{
    Harness h(QStringLiteral("PascalScript"));
    QString seen;
    h.script.AddScriptMethod(QStringLiteral("function Split(const S: String; var Head: String; var Tail: String): Boolean"),
                             [&](QObject *inst, TfsClassVariable *cls, const QString &name, TfsMethodHelper *m) {
                                 EXPECT_EQ(inst, nullptr);
                                 EXPECT_EQ(cls, nullptr);
                                 seen = name;
                                 const QString s = VarToStr(m->GetVParam(0));
                                 m->SetVParam(1, Variant(s.left(1)));
                                 m->SetVParam(2, Variant(s.mid(1)));
                                 return Variant(true);
                             });
    ASSERT_TRUE(h.compile(QStringLiteral(
        "var h, t: String;\nbegin if split('abc', h, t) then Print(h + '|' + t) end.")));
    h.script.Execute();
    EXPECT_EQ(seen, QStringLiteral("SPLIT"));
    EXPECT_EQ(h.out, QStringList{QStringLiteral("a|bc")});
}

TEST(Engine, ObjectsTravelAsAddresses)
{
    Counter counter;
    TfsScript s;
    s.AddScriptObject(QStringLiteral("Cnt"), &counter);
    const Variant v = s.Find(QStringLiteral("Cnt"))->Value();
    EXPECT_EQ(VarToInt64(v), qint64(quintptr(&counter)));
    s.AddScriptVariable(QStringLiteral("Nothing"), QStringLiteral("TObject"), Variant(0));
    s.Lines() = QStringList{QStringLiteral("begin Nothing.Value := 1; end.")};
    ASSERT_TRUE(s.Compile());
    try {
        s.Execute();
        ADD_FAILURE() << "nil object used";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nil"))) << e.Message().toStdString();
    }
    // an integer that names no object the engine has seen is not dereferenced
    s.AddScriptVariable(QStringLiteral("Forged"), QStringLiteral("Variant"), Variant(qint64(12345)));
    s.Lines() = QStringList{QStringLiteral("begin Forged.Value := 1; end.")};
    ASSERT_TRUE(s.Compile());
    EXPECT_THROW(s.Execute(), EInvalidCast);
}

} // namespace

#include "EngineTest.moc"
