// Query data sets over PostgreSQL: a throw-away cluster in a temporary
// folder, reached through its Unix socket only. The server refuses to run
// as root, so under root (as in CI) it runs as the "postgres" user.
#include "TestUtil.h"

#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/platform/SysUtils.h>

#include "PostgresCluster.h"

using namespace zor;

namespace {

using testpg::PostgresCluster;

TEST(Postgres, QueriesParametersTypesAndDetails)
{
    PostgresCluster pg;
    const QString why = pg.usable();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString failed = pg.start();
    ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();

    TSqlConnection conn;
    conn.SetDriverName(QStringLiteral("QPSQL"));
    conn.SetHostName(pg.dir.path());
    conn.SetDatabaseName(QStringLiteral("postgres"));
    conn.SetUserName(pg.user);
    conn.ExecSQL(QStringLiteral("create table items (id int4 primary key, code int8, price numeric(10,2), "
                                "name text, pic bytea, due date, stamp timestamp, ok boolean)"));
    const QByteArray pic("\x89PNG\r\n\x1a\n\0\x01", 10);
    conn.ExecSQL(QStringLiteral("insert into items values (:id, :code, :price, :name, :pic, :due, :stamp, :ok)"),
                 {{QStringLiteral("id"), Variant(1)},
                  {QStringLiteral("code"), Variant(qint64(1) << 40)},
                  {QStringLiteral("price"), Variant(9.5)},
                  {QStringLiteral("name"), Variant(QStringLiteral("Grüße"))},
                  {QStringLiteral("pic"), VarArrayFromBytes(pic)},
                  {QStringLiteral("due"), Variant::FromDateTime(EncodeDate(2024, 2, 29))},
                  {QStringLiteral("stamp"), Variant::FromDateTime(EncodeDate(2024, 3, 1) + EncodeTime(12, 0, 5, 0))},
                  {QStringLiteral("ok"), Variant(true)}});
    conn.ExecSQL(QStringLiteral("insert into items (id, name) values (2, 'plain')"));

    TSqlDataSet ds;
    ds.SetConnection(&conn);
    // "::" is a cast here, not a parameter
    ds.SetSQL(QStringLiteral("select id, code, price::float8 as price, name, pic, due, stamp, ok from items "
                             "where id >= :low order by id"));
    ds.SetParamValue(QStringLiteral("low"), Variant(1));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 2);
    auto f = [&](const char *n) { return ds.FieldByName(QString::fromLatin1(n)); };
    EXPECT_EQ(f("id")->DataType(), ftInteger);
    EXPECT_EQ(f("code")->DataType(), ftLargeint);
    EXPECT_EQ(f("pic")->DataType(), ftBlob);
    EXPECT_EQ(f("due")->DataType(), ftDate);
    EXPECT_EQ(f("stamp")->DataType(), ftDateTime);
    EXPECT_EQ(f("ok")->DataType(), ftBoolean);
    EXPECT_EQ(f("code")->AsLargeInt(), qint64(1) << 40);
    EXPECT_DOUBLE_EQ(f("price")->AsFloat(), 9.5);
    EXPECT_EQ(f("name")->AsString(), QStringLiteral("Grüße"));
    EXPECT_EQ(f("pic")->AsBytes(), pic);
    EXPECT_DOUBLE_EQ(f("due")->AsDateTime(), EncodeDate(2024, 2, 29));
    EXPECT_DOUBLE_EQ(f("stamp")->AsDateTime(), EncodeDate(2024, 3, 1) + EncodeTime(12, 0, 5, 0));
    EXPECT_TRUE(f("ok")->AsBoolean());
    ds.Next();
    EXPECT_TRUE(f("pic")->IsNull());
    EXPECT_TRUE(f("due")->IsNull());

    // a detail over the same connection
    TSqlDataSet detail;
    detail.SetConnection(&conn);
    detail.SetSQL(QStringLiteral("select count(*) as n from items where id <= :id"));
    detail.SetMasterSource(&ds);
    ds.First();
    detail.Open();
    EXPECT_EQ(detail.FieldByName(QStringLiteral("n"))->AsInteger(), 1);
    ds.Next();
    EXPECT_EQ(detail.FieldByName(QStringLiteral("n"))->AsInteger(), 2);

    ds.SetSQL(QStringLiteral("select nothing from items"));
    try {
        ds.Open();
        ADD_FAILURE() << "bad column";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nothing"))) << e.Message().toStdString();
    }
}

} // namespace
