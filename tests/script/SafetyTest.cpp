// Script text alone must never take the host down: deep and long programs,
// runaway recursion on a small thread stack, loops that never end, strings
// that double endless. Each ends in a clear error the host can catch.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

#include <QThread>
#include <pthread.h>
#include <thread>

using namespace zor;

namespace {

QString repeat(const QString &piece, int n)
{
    QString r;
    r.reserve(piece.size() * n);
    for (int i = 0; i < n; ++i)
        r += piece;
    return r;
}

// Compiles and runs; the error text, or "ok" (and the result of Result()).
QString outcome(const QString &language, const QString &source, TfsScript *configured = nullptr)
{
    TfsScript local;
    TfsScript &s = configured ? *configured : local;
    s.SetSyntaxType(language);
    s.Lines() = source.split(u'\n');
    if (!s.Compile())
        return QStringLiteral("compile: ") + s.ErrorMsg();
    try {
        s.Execute();
    } catch (const Exception &e) {
        return QString::fromLatin1(e.ClassName()) + QStringLiteral(": ") + e.Message();
    }
    return QStringLiteral("ok");
}

TEST(Safety, LongChainsAndElseIfListsCompileAndRunOnASmallStack)
{
    // Generated code: 50,000 terms in one expression, 20,000 else-if branches.
    const QString pascalSum = QStringLiteral("var x: Integer;\nbegin\n x := 0") + repeat(QStringLiteral("+1"), 50000)
        + QStringLiteral(";\n if x <> 50000 then raise Exception.Create('wrong sum');\nend.");
    const QString cSum = QStringLiteral("var x = 1") + repeat(QStringLiteral(" && 1"), 50000)
        + QStringLiteral(";\nif (!x) throw \"wrong\";");
    QString basicIf = QStringLiteral("Dim v\nv = 19999\nIf v = 0 Then\n r = 0\n");
    for (int i = 1; i < 20000; ++i)
        basicIf += QStringLiteral("ElseIf v = %1 Then\n r = %1\n").arg(i);
    basicIf += QStringLiteral("End If\nIf r <> 19999 Then Throw \"wrong branch\"\n");
    QString pascalIf = QStringLiteral("var r: Integer;\nbegin\n if 1 = 0 then r := 0\n");
    for (int i = 1; i < 20000; ++i)
        pascalIf += QStringLiteral(" else if %1 = 19999 then r := %1\n").arg(i);
    pascalIf += QStringLiteral(";\n if r <> 19999 then raise Exception.Create('wrong branch');\nend.");
    onSmallStack([&] {
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"), pascalSum), u"ok");
        EXPECT_EQ(outcome(QStringLiteral("JScript"), cSum), u"ok");
        EXPECT_EQ(outcome(QStringLiteral("BasicScript"), basicIf), u"ok");
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"), pascalIf), u"ok");
    });
}

TEST(Safety, RunawayRecursionIsACatchableStackOverflowOnASmallStack)
{
    // Each level holds a modest expression; the guard counts stack bytes.
    const QString nested = repeat(QStringLiteral("(1+"), 60) + QStringLiteral("R(n+1)") + repeat(QStringLiteral(")"), 60);
    const QString pascal = QStringLiteral("function R(n: Integer): Integer;\nbegin\n Result := ") + nested
        + QStringLiteral(";\nend;\nvar s: String;\nbegin\n try\n  R(0);\n except\n  s := ExceptionMessage;\n end;\n"
                         " if s <> 'Stack overflow' then raise Exception.Create('not caught: ' + s);\n R(0);\nend.");
    onSmallStack([&] {
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"), pascal), u"EStackOverflow: Stack overflow");
    });
    // A host's worker thread with a 1 MiB stack, as Qt sets it up.
    QString onWorker;
    std::unique_ptr<QThread> worker(
        QThread::create([&] { onWorker = outcome(QStringLiteral("PascalScript"), pascal); }));
    worker->setStackSize(1 << 20);
    worker->start();
    ASSERT_TRUE(worker->wait(QDeadlineTimer(120000)));
    EXPECT_EQ(onWorker, u"EStackOverflow: Stack overflow");
}

TEST(Safety, DeepNestingEndsInASyntaxErrorOnASmallStack)
{
    onSmallStack([&] {
        for (const char *lang : {"PascalScript", "C++Script", "BasicScript", "JScript"}) {
            SCOPED_TRACE(lang);
            const bool pascal = QLatin1String(lang) == u"PascalScript";
            const QString parens = QString::fromLatin1(pascal ? "begin x := " : "x = ")
                + repeat(QStringLiteral("("), 5000) + u'1' + repeat(QStringLiteral(")"), 5000);
            EXPECT_TRUE(outcome(QString::fromLatin1(lang), parens).startsWith(u"compile: Nesting too deep"));
        }
    });
}

TEST(Safety, NestedRoutinesAndWithBlocksStayUnderTheDepthGuard)
{
    // Routines inside routines and With blocks inside With blocks nest the
    // parser as deeply as parentheses do; a nested routine's body is walked
    // again when it is lifted, operator chains included.
    const QString routines = repeat(QStringLiteral("procedure P;\n"), 5000) + QStringLiteral("begin end.");
    const QString withs = QStringLiteral("Dim e\nSet e = New Exception(\"x\")\n") + repeat(QStringLiteral("With e\n"), 5000);
    const QString longBody = QStringLiteral("procedure Outer;\nvar x: Integer;\n procedure Inner;\n begin\n  x := 0")
        + repeat(QStringLiteral("+1"), 50000)
        + QStringLiteral(";\n end;\nbegin\n Inner;\n if x <> 50000 then raise Exception.Create('wrong');\nend;\n"
                         "begin\n Outer;\nend.");
    onSmallStack([&] {
        EXPECT_TRUE(outcome(QStringLiteral("PascalScript"), routines).startsWith(u"compile: Nesting too deep"));
        EXPECT_TRUE(outcome(QStringLiteral("BasicScript"), withs).startsWith(u"compile: Nesting too deep"));
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"), longBody), u"ok");
    });
}

TEST(Safety, HostLimitsEndRunsThatWouldNotEnd)
{
    const QString endless = QStringLiteral("begin\n while True do\n  try\n   while True do ;\n  except\n  end;\nend.");
    {
        TfsScript s;
        s.SetTimeLimit(200);
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"), endless, &s), u"EScriptAborted: Time limit exceeded");
    }
    {
        TfsScript s;
        s.SetStatementLimit(10000);
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"), endless, &s), u"EScriptAborted: Statement limit exceeded");
        // the budget is per run: a short program within it passes
        EXPECT_EQ(outcome(QStringLiteral("PascalScript"),
                          QStringLiteral("var i: Integer;\nbegin\n for i := 1 to 100 do ;\nend."), &s),
                  u"ok");
    }
    {
        TfsScript s;
        std::thread stopper([&s] {
            QThread::msleep(100);
            s.Terminate();
        });
        EXPECT_EQ(outcome(QStringLiteral("JScript"), QStringLiteral("for (;;) { try { for (;;) {} } catch (e) {} }"), &s),
                  u"EScriptAborted: Script terminated");
        stopper.join();
        // a new run starts afresh
        EXPECT_EQ(outcome(QStringLiteral("JScript"), QStringLiteral("var a = 1;"), &s), u"ok");
    }
}

TEST(Safety, MemoryCeilingAndAllocationFailureAreOutOfMemoryErrorsScriptsCanCatch)
{
    TfsScript s;
    s.SetMemoryLimit(1 << 20);
    // caught by the script itself, which goes on
    EXPECT_EQ(outcome(QStringLiteral("PascalScript"),
                      QStringLiteral("var t: String; ok: Boolean;\nbegin\n t := 'x';\n try\n  while True do t := t + t;\n"
                                     " except\n  on E: EOutOfMemory do ok := E.Message = 'Out of memory';\n end;\n"
                                     " if not ok then raise Exception.Create('not caught');\nend."),
                      &s),
              u"ok");
    EXPECT_EQ(outcome(QStringLiteral("BasicScript"), QStringLiteral("Dim t\nt = \"ab\"\nDo\n t = t & t\nLoop\n"), &s),
              u"EOutOfMemory: Out of memory");
    EXPECT_EQ(outcome(QStringLiteral("C++Script"), QStringLiteral("int a[5000000];"), &s),
              u"EOutOfMemory: Out of memory");
    // an array nesting that freeing could not walk is refused
    EXPECT_EQ(outcome(QStringLiteral("JScript"), QStringLiteral("var a = [];\nfor (var i = 0; i < 100000; i++) a = [a];")),
              u"Exception: Arrays nested too deeply");
}

} // namespace
