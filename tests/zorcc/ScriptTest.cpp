// zorcc script run --call: the call is checked before the script's main
// block runs, and its result follows the main block's output.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

struct ScriptCallTest : ::testing::Test
{
    QTemporaryDir tmp;
    QString script = tmp.filePath(u"calc.pas"_qs);

    void SetUp() override
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("function Gross(Amount: Double): Double;\n"
                "begin\n"
                "  Result := Amount * 2;\n"
                "end;\n"
                "\n"
                "begin\n"
                "  ShowMessage('main block');\n"
                "end.\n");
    }

    ZorccRun call(const QString &what)
    {
        return runZorcc({u"script"_qs, u"run"_qs, script, u"--call"_qs, what});
    }
};

} // namespace

TEST_F(ScriptCallTest, ABadCallStopsBeforeTheMainBlockRuns)
{
    const ZorccRun unclosed = call(u"Gross(1"_qs);
    EXPECT_EQ(unclosed.exitCode, 2);
    EXPECT_TRUE(unclosed.err.startsWith(u"zorcc script: --call: missing ')'"_qs)) << unclosed.err.toStdString();
    EXPECT_TRUE(unclosed.out.isEmpty()) << unclosed.out.toStdString();

    const ZorccRun unknown = call(u"Net(1)"_qs);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, u"zorcc script: "_qs + script + u": no function 'Net'\n"_qs);
    EXPECT_TRUE(unknown.out.isEmpty()) << unknown.out.toStdString();
}

TEST_F(ScriptCallTest, TheResultFollowsTheMainBlock)
{
    const ZorccRun r = call(u"Gross(21)"_qs);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"main block\n42\n"_qs);
}
