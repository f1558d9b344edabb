// The script's Qt face: property change signals, and scriptError for every
// error the script keeps, delivered in the script's own thread.
#include "TestUtil.h"

#include <ZorCompCore/script/Interpreter.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>

#include <thread>

using namespace zor;

TEST(ScriptSignals, PropertiesNotifyOnlyRealChanges)
{
    TfsScript script;
    QSignalSpy syntax(&script, &TfsScript::syntaxTypeChanged);
    QSignalSpy lines(&script, &TfsScript::linesChanged);
    QSignalSpy mainProg(&script, &TfsScript::mainProgChanged);

    script.setProperty("syntaxType", QStringLiteral("JScript"));
    script.SetSyntaxType(QStringLiteral("JScript"));
    EXPECT_EQ(syntax.count(), 1);
    EXPECT_EQ(script.SyntaxType(), QStringLiteral("JScript"));

    script.SetLines({QStringLiteral("ShowMessage(1);")});
    script.SetLines({QStringLiteral("ShowMessage(1);")});
    EXPECT_EQ(lines.count(), 1);

    script.setProperty("mainProg", false);
    EXPECT_EQ(mainProg.count(), 1);
    EXPECT_FALSE(script.IsMainProg());
}

TEST(ScriptSignals, CompileAndRuntimeErrorsAreSignalled)
{
    TfsScript script;
    QSignalSpy errors(&script, &TfsScript::scriptError);

    script.SetLines({QStringLiteral("begin"), QStringLiteral("  x := 1 +;"), QStringLiteral("end.")});
    EXPECT_FALSE(script.Compile());
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), script.ErrorMsg());
    EXPECT_EQ(errors.at(0).at(1).toString(), QStringLiteral("2:11"));

    script.SetLines({QStringLiteral("var i: Integer;"), QStringLiteral("begin"), QStringLiteral("  i := 0;"),
                     QStringLiteral("  i := 10 div i;"), QStringLiteral("end.")});
    ASSERT_TRUE(script.Compile());
    EXPECT_EQ(errors.count(), 1) << "a successful compile reports nothing";
    EXPECT_THROW(script.Execute(), Exception);
    ASSERT_EQ(errors.count(), 2);
    EXPECT_EQ(errors.at(1).at(0).toString(), QStringLiteral("Division by zero"));
    EXPECT_EQ(errors.at(1).at(1).toString(), QStringLiteral("4:3"));
    EXPECT_EQ(script.property("errorMsg").toString(), QStringLiteral("Division by zero"));
}

// A report running its script in a worker thread: the handler connected in
// the script's thread runs there, after the event loop turns.
TEST(ScriptSignals, AnErrorInAWorkerThreadArrivesInTheScriptsThread)
{
    TfsScript script;
    script.SetLines({QStringLiteral("begin"), QStringLiteral("  raise Exception.Create('from the worker');"),
                     QStringLiteral("end.")});
    ASSERT_TRUE(script.Compile());

    QThread *received = nullptr;
    QString message;
    QObject::connect(&script, &TfsScript::scriptError, [&](const QString &m, const QString &) {
        received = QThread::currentThread();
        message = m;
    });
    std::thread worker([&] {
        try {
            script.Execute();
        } catch (const Exception &) {
        }
    });
    worker.join();
    EXPECT_EQ(received, nullptr) << "delivered in the worker thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(received, QThread::currentThread());
    EXPECT_EQ(message, QStringLiteral("from the worker"));
}
