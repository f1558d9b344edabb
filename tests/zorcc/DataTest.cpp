// zorcc data on the sample database: rows as text and JSON, blobs described
// by size and format, packets, and the errors of bad input and usage.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

namespace {

const QString kSample = QStringLiteral(ZOR_SOURCE_DIR "/examples/data/sample.sqlite");

TEST(ZorccData, QueriesTheSampleDatabase)
{
    const ZorccRun r = runZorcc({u"data"_qs, u"query"_qs, u"--db"_qs, kSample, u"--sql"_qs,
                                 u"select id, name, since from customers where id <= :n order by id"_qs,
                                 u"--param"_qs, u"n=2"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"id\tname\tsince\n1\tAlmond Bakery\t2019-04-02\n2\tBrightwater Café\t2020-11-17\n"_qs);

    const ZorccRun j = runZorcc({u"data"_qs, u"query"_qs, u"--db"_qs, kSample, u"--json"_qs, u"--sql"_qs,
                                 u"select p.id, p.price, p.picture, o.shipped, o.notes from products p, orders o "
                                 "where p.id in (1, 3, 5) and o.id = 1 order by p.id"_qs});
    ASSERT_EQ(j.exitCode, 0) << j.err.toStdString();
    const auto rows = nlohmann::json::parse(j.out.toStdString());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["id"], 1);
    EXPECT_DOUBLE_EQ(rows[0]["price"].get<double>(), 24.9);
    EXPECT_EQ(rows[0]["picture"]["format"], "png");
    EXPECT_GT(rows[0]["picture"]["size"].get<int>(), 100);
    EXPECT_EQ(rows[1]["picture"]["format"], "jpg");
    EXPECT_EQ(rows[2]["picture"]["format"], "svg");
    EXPECT_TRUE(rows[0]["notes"].is_null());
    EXPECT_TRUE(rows[0]["shipped"].is_string());
}

TEST(ZorccData, WritesPackets)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(u"customers.xml"_qs);
    const ZorccRun r = runZorcc({u"data"_qs, u"packet"_qs, u"--db"_qs, kSample, u"--sql"_qs,
                                 u"select id, name, vip from customers order by id"_qs, u"-o"_qs, out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(xml.contains(u"<DATAPACKET Version=\"2.0\">"_qs)) << xml.toStdString();
    EXPECT_TRUE(xml.contains(u"<ROW ID=\"1\" NAME=\"Almond Bakery\" VIP=\"TRUE\"/>"_qs)) << xml.toStdString();
    EXPECT_EQ(xml.count(u"<ROW "_qs), 8);
}

TEST(ZorccData, BadInputAndUsage)
{
    const ZorccRun missing = runZorcc({u"data"_qs, u"query"_qs, u"--db"_qs, u"/nonexistent/x.sqlite"_qs, u"--sql"_qs,
                                       u"select 1"_qs});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(u"no such database file"_qs)) << missing.err.toStdString();

    const ZorccRun badSql = runZorcc({u"data"_qs, u"query"_qs, u"--db"_qs, kSample, u"--sql"_qs, u"select * from nope"_qs});
    EXPECT_EQ(badSql.exitCode, 1);
    EXPECT_TRUE(badSql.err.contains(u"no such table: nope"_qs)) << badSql.err.toStdString();
    EXPECT_TRUE(badSql.out.isEmpty());

    EXPECT_EQ(runZorcc({u"data"_qs, u"query"_qs, u"--db"_qs, kSample}).exitCode, 2);
    EXPECT_EQ(runZorcc({u"data"_qs, u"packet"_qs, u"--db"_qs, kSample, u"--sql"_qs, u"select 1"_qs}).exitCode, 2);
    EXPECT_EQ(runZorcc({u"data"_qs, u"query"_qs, u"--db"_qs, kSample, u"--sql"_qs, u"select 1"_qs, u"--param"_qs,
                        u"novalue"_qs})
                  .exitCode,
              2);
}

} // namespace
