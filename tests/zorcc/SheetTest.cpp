// zorcc sheet: formulas, conversion between .xlsx, .ods and CSV, calculated
// cells, with a script and data for SCRIPT and DBVALUE.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

namespace {

TEST(ZorccSheet, EvaluatesFormulas)
{
    ZorccRun r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=-2^2&\"|\"&TEXT(0.256,\"0.0%\")"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"4|25.6%\n"_qs);
    r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=1/0"_qs});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, u"#DIV/0!\n"_qs);
    r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=SUM(1,"_qs});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"cannot parse"_qs)) << r.err.toStdString();
    r = runZorcc({u"sheet"_qs, u"frobnicate"_qs});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(ZorccSheet, ConvertsAndCalculates)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(u"in.csv"_qs), xlsx = dir.filePath(u"out.xlsx"_qs);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("item,price\nbread,2.5\nmilk,1.25\n");
    f.close();
    ZorccRun r = runZorcc({u"sheet"_qs, u"convert"_qs, csv, xlsx});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = runZorcc({u"sheet"_qs, u"calc"_qs, xlsx, u"--cells"_qs, u"in!A2:B3"_qs, u"--json"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto j = nlohmann::json::parse(r.out.toStdString());
    EXPECT_EQ(j["in!A2"], "bread");
    EXPECT_EQ(j["in!B3"], 1.25);
    r = runZorcc({u"sheet"_qs, u"calc"_qs, xlsx, u"--cells"_qs, u"A1"_qs});
    EXPECT_EQ(r.out, u"in!A1\titem\n"_qs);
    r = runZorcc({u"sheet"_qs, u"calc"_qs, dir.filePath(u"missing.xlsx"_qs)});
    EXPECT_EQ(r.exitCode, 1);
    r = runZorcc({u"sheet"_qs, u"calc"_qs, xlsx, u"--cells"_qs, u"Nope!A1"_qs});
    EXPECT_EQ(r.exitCode, 1);
}

TEST(ZorccSheet, ScriptAndDataReachTheFormulas)
{
    ZorccRun r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=SCRIPT(\"1+2\")"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"3\n"_qs);

    QTemporaryDir dir;
    const QString script = dir.filePath(u"rates.pas"_qs), csv = dir.filePath(u"in.csv"_qs);
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("function Vat(Net: Double): Double;\nbegin\n  Result := Net * 0.2;\nend;\nbegin\nend.\n");
    f.close();
    r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=SCRIPT(\"Vat(50)\")+DBVALUE(\"Order\",\"Net\")"_qs, u"--script"_qs,
                  script, u"--data"_qs, u"order.net=5"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"15\n"_qs);
    r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=DBVALUE(\"Order\",\"Who\")"_qs, u"--data"_qs, u"Order.Who=Ann Lee"_qs});
    EXPECT_EQ(r.out, u"Ann Lee\n"_qs);
    r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=DBVALUE(\"Order\",\"Net\")"_qs});
    EXPECT_EQ(r.out, u"#N/A\n"_qs);

    // A file calculated with them, and converted to .ods and back.
    const QString xlsx = dir.filePath(u"book.xlsx"_qs), ods = dir.filePath(u"book.ods"_qs);
    QFile c(csv);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write("net,vat\n100,0\n");
    c.close();
    ASSERT_EQ(runZorcc({u"sheet"_qs, u"convert"_qs, csv, xlsx}).exitCode, 0);
    r = runZorcc({u"sheet"_qs, u"convert"_qs, xlsx, ods, u"--script"_qs, script});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = runZorcc({u"sheet"_qs, u"calc"_qs, ods, u"--cells"_qs, u"A2:B2"_qs, u"--json"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(nlohmann::json::parse(r.out.toStdString())["in!A2"], 100);

    // Wrong usage and a script that does not compile.
    EXPECT_EQ(runZorcc({u"sheet"_qs, u"eval"_qs, u"=1"_qs, u"--data"_qs, u"nodot=1"_qs}).exitCode, 2);
    EXPECT_EQ(runZorcc({u"sheet"_qs, u"eval"_qs, u"=1"_qs, u"--script"_qs}).exitCode, 2);
    QFile bad(dir.filePath(u"bad.pas"_qs));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("begin\n  x := ;\nend.\n");
    bad.close();
    r = runZorcc({u"sheet"_qs, u"eval"_qs, u"=1"_qs, u"--script"_qs, bad.fileName()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"Script error at 2:"_qs)) << r.err.toStdString();
}

} // namespace
