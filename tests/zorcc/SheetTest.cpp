// zorcc sheet: formulas, conversion between .xlsx and CSV, calculated cells.
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

} // namespace
