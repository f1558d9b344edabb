// Query data sets over the embedded SQLite driver: parameters, column types
// from declarations, cached rows, master and detail, driver errors, threads.
#include "TestUtil.h"

#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/platform/SysUtils.h>

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <thread>

using namespace zor;

namespace {

QString messageOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

TEST(SqlParams, NamesOutsideQuotesAndComments)
{
    QStringList names;
    EXPECT_EQ(ParseSqlParams(QStringLiteral("select * from t where a = :A and b = :b_2 or c = :a"), names),
              QStringLiteral("select * from t where a = ? and b = ? or c = ?"));
    EXPECT_EQ(names, (QStringList{QStringLiteral("A"), QStringLiteral("b_2"), QStringLiteral("a")}));

    EXPECT_EQ(ParseSqlParams(QStringLiteral("select ':x', \"a:b\", 'it''s :y' -- :z\n, x::int /* :w */ from t"), names),
              QStringLiteral("select ':x', \"a:b\", 'it''s :y' -- :z\n, x::int /* :w */ from t"));
    EXPECT_TRUE(names.isEmpty());

    // unterminated quotes and comments end with the text
    EXPECT_EQ(ParseSqlParams(QStringLiteral("select 'open :x"), names), QStringLiteral("select 'open :x"));
    EXPECT_EQ(ParseSqlParams(QStringLiteral("/* :x"), names), QStringLiteral("/* :x"));
    EXPECT_EQ(ParseSqlParams(QStringLiteral("a = : b, :1, :"), names), QStringLiteral("a = : b, :1, :"));
    EXPECT_TRUE(names.isEmpty());
}

class SqlDataSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")));
        ASSERT_TRUE(dir.isValid());
        conn.SetDatabaseName(dir.filePath(QStringLiteral("shop.sqlite")));
        conn.ExecSQL(QStringLiteral("create table customers (id integer primary key, name varchar(40), "
                                    "vip boolean, since date)"));
        conn.ExecSQL(QStringLiteral("create table orders (id integer primary key, customer_id integer, "
                                    "total numeric(10,2), placed datetime, logo blob)"));
        const QList<QList<Variant>> customers = {
            {Variant(1), Variant(QStringLiteral("Ada")), Variant(true), Variant(QStringLiteral("2020-01-31"))},
            {Variant(2), Variant(QStringLiteral("Bob")), Variant(false), Variant::Null()},
            {Variant(3), Variant(QStringLiteral("Cyd")), Variant(false), Variant(QStringLiteral("2021-06-01"))},
        };
        for (const auto &c : customers)
            conn.ExecSQL(QStringLiteral("insert into customers values (:id, :name, :vip, :since)"),
                         {{QStringLiteral("id"), c[0]}, {QStringLiteral("name"), c[1]}, {QStringLiteral("vip"), c[2]},
                          {QStringLiteral("since"), c[3]}});
        const char *orders[][4] = {{"10", "1", "12.5", "2024-03-15 10:30:00"},
                                   {"11", "1", "7.25", "2024-03-16T08:00:00"},
                                   {"12", "3", "100", "2024-04-01 00:00:00"}};
        for (const auto &o : orders)
            conn.ExecSQL(QStringLiteral("insert into orders values (:id, :c, :t, :p, :logo)"),
                         {{QStringLiteral("id"), Variant(QString::fromLatin1(o[0]).toInt())},
                          {QStringLiteral("c"), Variant(QString::fromLatin1(o[1]).toInt())},
                          {QStringLiteral("t"), Variant(QString::fromLatin1(o[2]).toDouble())},
                          {QStringLiteral("p"), Variant(QString::fromLatin1(o[3]))},
                          {QStringLiteral("LOGO"), VarArrayFromBytes(QByteArray("\x89PNG\0\x01", 6) + o[0])}});
    }

    QTemporaryDir dir;
    TSqlConnection conn;
};

TEST_F(SqlDataSetTest, ColumnTypesComeFromDeclarations)
{
    EXPECT_EQ(conn.DriverName(), QStringLiteral("QSQLITE"));
    TSqlDataSet ds;
    ds.SetConnection(&conn);
    ds.SetSQL(QStringLiteral("select o.*, c.since, c.vip, o.total * 2 as doubled from orders o "
                             "join customers c on c.id = o.customer_id order by o.id"));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 3);
    auto f = [&](const char *n) { return ds.FieldByName(QString::fromLatin1(n)); };
    EXPECT_EQ(f("id")->DataType(), ftInteger);
    EXPECT_EQ(f("total")->DataType(), ftFloat);
    EXPECT_EQ(f("placed")->DataType(), ftDateTime);
    EXPECT_EQ(f("logo")->DataType(), ftBlob);
    EXPECT_EQ(f("since")->DataType(), ftDate);
    EXPECT_EQ(f("vip")->DataType(), ftBoolean);
    EXPECT_EQ(f("doubled")->DataType(), ftFloat) << "an expression column takes its first value's type";

    EXPECT_DOUBLE_EQ(f("placed")->AsDateTime(), EncodeDate(2024, 3, 15) + EncodeTime(10, 30, 0, 0));
    EXPECT_EQ(f("placed")->Value().Type(), varDate);
    EXPECT_DOUBLE_EQ(f("since")->AsDateTime(), EncodeDate(2020, 1, 31));
    EXPECT_TRUE(f("vip")->AsBoolean());
    EXPECT_EQ(f("logo")->AsBytes(), QByteArray("\x89PNG\0\x01" "10", 8));
    EXPECT_DOUBLE_EQ(f("doubled")->AsFloat(), 25.0);

    // rows are cached: the cursor moves backwards and jumps
    ds.Last();
    EXPECT_EQ(f("id")->AsInteger(), 12);
    EXPECT_EQ(f("customer_id")->AsInteger(), 3);
    ds.SetRecNo(2);
    EXPECT_DOUBLE_EQ(f("placed")->AsDateTime(), EncodeDate(2024, 3, 16) + EncodeTime(8, 0, 0, 0));
    EXPECT_DOUBLE_EQ(f("total")->AsFloat(), 7.25);

    // a value that does not fit its column is kept as stored
    conn.ExecSQL(QStringLiteral("update customers set since = 'soon' where id = 2"));
    TSqlDataSet c;
    c.SetConnection(&conn);
    c.SetSQL(QStringLiteral("select since from customers where id = 2"));
    c.Open();
    EXPECT_EQ(c.FieldByName(QStringLiteral("since"))->AsString(), QStringLiteral("soon"));
    EXPECT_THROW(c.FieldByName(QStringLiteral("since"))->AsDateTime(), EConvertError);
}

TEST_F(SqlDataSetTest, ParametersAndReopening)
{
    TSqlDataSet ds;
    ds.SetName(QStringLiteral("Orders"));
    ds.SetConnection(&conn);
    ds.SetSQL(QStringLiteral("select id from orders where customer_id = :cust or id = :Cust order by id"));
    EXPECT_EQ(ds.ParamNames(), QStringList{QStringLiteral("cust")}) << "a name used twice is one parameter";
    ds.SetParamValue(QStringLiteral("CUST"), Variant(1));
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 2);
    TField *id = ds.FieldByName(QStringLiteral("id"));

    ds.SetParamValue(QStringLiteral("cust"), Variant(3));
    ds.Refresh();
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(id->AsInteger(), 12);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("id")), id) << "a re-run keeps the field objects";

    EXPECT_EQ(messageOf([&] { ds.SetParamValue(QStringLiteral("nope"), Variant(1)); }),
              QStringLiteral("Orders: Parameter 'nope' not found"));

    // a new text keeps the values of parameters it shares with the old one
    ds.SetSQL(QStringLiteral("select count(*) as n from orders where customer_id = :cust"));
    EXPECT_FALSE(ds.Active());
    ds.Open();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("n"))->AsInteger(), 1);

    // a parameter never set is Null, which matches nothing
    TSqlDataSet unset;
    unset.SetConnection(&conn);
    unset.SetSQL(QStringLiteral("select id from orders where customer_id = :cust"));
    unset.Open();
    EXPECT_TRUE(unset.IsEmpty());
}

TEST_F(SqlDataSetTest, DetailFollowsItsMaster)
{
    TSqlDataSet customers, orders;
    customers.SetConnection(&conn);
    customers.SetSQL(QStringLiteral("select id, name from customers order by id"));
    orders.SetConnection(&conn);
    orders.SetSQL(QStringLiteral("select id, total from orders where customer_id = :id order by id"));
    orders.SetMasterSource(&customers);

    orders.Open();
    EXPECT_TRUE(customers.Active()) << "opening a detail opens its master";
    EXPECT_EQ(orders.RecordCount(), 2);
    orders.Next();
    EXPECT_EQ(orders.RecNo(), 2);

    customers.Next(); // Bob: no orders
    EXPECT_TRUE(orders.IsEmpty());
    EXPECT_TRUE(orders.Eof());
    customers.Next(); // Cyd
    ASSERT_EQ(orders.RecordCount(), 1);
    EXPECT_EQ(orders.RecNo(), 1);
    EXPECT_EQ(orders.FieldByName(QStringLiteral("id"))->AsInteger(), 12);
    customers.First();
    EXPECT_EQ(orders.RecordCount(), 2);

    QStringList pairs;
    for (customers.First(); !customers.Eof(); customers.Next())
        for (orders.First(); !orders.Eof(); orders.Next())
            pairs << customers.FieldByName(QStringLiteral("name"))->AsString() + u'/'
                         + orders.FieldByName(QStringLiteral("id"))->AsString();
    EXPECT_EQ(pairs, (QStringList{QStringLiteral("Ada/10"), QStringLiteral("Ada/11"), QStringLiteral("Cyd/12")}));

    customers.Close();
    EXPECT_FALSE(orders.Active()) << "closing the master closes the detail";

    EXPECT_THROW(customers.SetMasterSource(&orders), EDatabaseError);
    EXPECT_THROW(orders.SetMasterSource(&orders), EDatabaseError);
}

TEST_F(SqlDataSetTest, DriverErrorsBecomeDatabaseErrors)
{
    TSqlDataSet ds;
    ds.SetConnection(&conn);
    ds.SetSQL(QStringLiteral("select * from no_such_table"));
    const QString msg = messageOf([&] { ds.Open(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("no such table: no_such_table"))) << msg.toStdString();
    EXPECT_FALSE(ds.Active());

    TSqlDataSet orphan;
    orphan.SetSQL(QStringLiteral("select 1"));
    EXPECT_THROW(orphan.Open(), EDatabaseError);

    TSqlConnection bad;
    bad.SetDriverName(QStringLiteral("QNOSUCHDRIVER"));
    EXPECT_THROW(bad.Open(), EDatabaseError);
    EXPECT_FALSE(bad.Connected());

    TSqlConnection missing;
    missing.SetDatabaseName(dir.filePath(QStringLiteral("absent/x.sqlite")));
    EXPECT_THROW(missing.Open(), EDatabaseError);

    EXPECT_THROW(conn.ExecSQL(QStringLiteral("insert into orders (id) values (:id)")), EDatabaseError)
        << "a parameter without a value";
    EXPECT_THROW(conn.ExecSQL(QStringLiteral("insert into orders (id) values (:id)"), {{QStringLiteral("id"), Variant(10)}}),
                 EDatabaseError)
        << "a duplicate key";
}

TEST_F(SqlDataSetTest, ConnectionsServeTheirOwnThread)
{
    conn.Open();
    std::atomic<bool> refused{false};
    std::thread other([&] {
        TSqlDataSet ds;
        ds.SetConnection(&conn);
        ds.SetSQL(QStringLiteral("select 1"));
        try {
            ds.Open();
        } catch (const EDatabaseError &) {
            refused = true;
        }
    });
    other.join();
    EXPECT_TRUE(refused) << "a QtSql connection must not be used on another thread";

    // each thread with a connection of its own reads the same database
    const QString file = conn.DatabaseName();
    std::atomic<int> sums[2] = {0, 0};
    auto reader = [&](int slot) {
        TSqlConnection own;
        own.SetDatabaseName(file);
        TSqlDataSet ds;
        ds.SetConnection(&own);
        ds.SetSQL(QStringLiteral("select id from orders"));
        for (int round = 0; round < 20; ++round) {
            ds.Close();
            ds.Open();
            for (ds.First(); !ds.Eof(); ds.Next())
                sums[slot] += ds.FieldByName(QStringLiteral("id"))->AsInteger();
        }
    };
    std::thread a(reader, 0), b(reader, 1);
    a.join();
    b.join();
    EXPECT_EQ(sums[0].load(), 20 * 33);
    EXPECT_EQ(sums[1].load(), 20 * 33);
}

} // namespace
