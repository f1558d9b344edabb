// A report over PostgreSQL data sets: master and detail queries through a
// throw-away cluster, a bytea picture inline.
#include "PostgresCluster.h"
#include "TestUtil.h"

#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

using namespace zor;

namespace {

TEST(ReportPostgres, MasterDetailAndBlobs)
{
    testpg::PostgresCluster pg;
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
    conn.ExecSQL(QStringLiteral("create table orders (id int4, customer text, logo bytea)"));
    conn.ExecSQL(QStringLiteral("create table items (order_id int4, product text, qty int4)"));
    const QByteArray svg("<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
    conn.ExecSQL(QStringLiteral("insert into orders values (1, 'Ann', :logo), (2, 'Bob', null)"),
                 {{QStringLiteral("logo"), VarArrayFromBytes(svg)}});
    conn.ExecSQL(QStringLiteral("insert into items values (1, 'pen', 2), (1, 'ink', 1), (2, 'pad', 5)"));
    TSqlDataSet orders, items;
    orders.SetConnection(&conn);
    orders.SetSQL(QStringLiteral("select id, customer, logo from orders order by id"));
    items.SetConnection(&conn);
    items.SetSQL(QStringLiteral("select product, qty from items where order_id = :id order by product"));
    items.SetMasterSource(&orders);

    TZORHtReportDocument doc;
    doc.DataSets().AddDataSet(&orders, QStringLiteral("Orders"));
    doc.DataSets().AddDataSet(&items, QStringLiteral("Items"));
    doc.LoadTemplate(QStringLiteral(
        "<script type=\"text/zorscript\">function Logo: String;\n"
        "var B: TBytes; F: String;\n"
        "begin\n"
        "  Result := '-';\n"
        "  if (not Orders.FieldByName('logo').IsNull) and Document.LoadImageData('Orders', 'logo', '', B, F) then\n"
        "    Result := Document.GetEmbedImageDataTag(B, F);\n"
        "end;</script>"
        "{{#Orders}}[{{customer}}:{{#Items}} {{qty}}x{{product}}{{/Items}} {{#script}}Logo{{/script}}]{{/Orders}}"));
    EXPECT_EQ(doc.Render(), QStringLiteral("[Ann: 1xink 2xpen <img src=\"data:image/svg+xml;base64,%1\" alt=\"\">]"
                                           "[Bob: 5xpad -]")
                                .arg(QString::fromLatin1(svg.toBase64())));
}

} // namespace
