// The sample database and packet under examples/data: the committed files
// agree with each other (the packet's totals are the orders' items), the
// pictures are images of the formats they claim, and master and detail walk
// the orders as the invoice example does.
#include "TestUtil.h"

#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/imaging/EnvisionUtils.h>

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

#include <cmath>

using namespace zor;

namespace {

const QString kData = QStringLiteral(ZOR_SOURCE_DIR "/examples/data/");

TEST(SampleData, PacketTotalsMatchTheOrderItems)
{
    QHash<int, double> packetTotals;
    QFile f(kData + QStringLiteral("orders-packet.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader r(&f);
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("ROW"))
            packetTotals.insert(r.attributes().value(QLatin1String("ID")).toInt(),
                                r.attributes().value(QLatin1String("TOTAL")).toDouble());
    ASSERT_FALSE(r.hasError());

    TSqlConnection conn;
    conn.SetDatabaseName(kData + QStringLiteral("sample.sqlite"));
    conn.SetConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    TSqlDataSet orders, items;
    orders.SetConnection(&conn);
    orders.SetSQL(QStringLiteral("select id, order_date from orders order by id"));
    items.SetConnection(&conn);
    items.SetSQL(QStringLiteral("select quantity, price from order_items where order_id = :id"));
    items.SetMasterSource(&orders);
    items.Open();
    ASSERT_EQ(orders.RecordCount(), packetTotals.size());
    int withItems = 0;
    for (orders.First(); !orders.Eof(); orders.Next()) {
        double total = 0;
        for (items.First(); !items.Eof(); items.Next())
            total += items.FieldByName(QStringLiteral("quantity"))->AsInteger()
                     * items.FieldByName(QStringLiteral("price"))->AsFloat();
        const int id = orders.FieldByName(QStringLiteral("id"))->AsInteger();
        EXPECT_NEAR(packetTotals.value(id, -1), total, 0.005) << "order " << id;
        withItems += items.IsEmpty() ? 0 : 1;
        EXPECT_EQ(orders.FieldByName(QStringLiteral("order_date"))->DataType(), ftDate);
    }
    EXPECT_EQ(withItems, orders.RecordCount());
}

TEST(SampleData, PicturesAreWhatTheyClaim)
{
    TSqlConnection conn;
    conn.SetDatabaseName(kData + QStringLiteral("sample.sqlite"));
    conn.SetConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    TSqlDataSet pics;
    pics.SetConnection(&conn);
    pics.SetSQL(QStringLiteral("select format, data from pictures union all select 'png', logo from company"));
    pics.Open();
    ASSERT_GE(pics.RecordCount(), 4);
    QSet<QString> formats;
    for (pics.First(); !pics.Eof(); pics.Next()) {
        const QString claimed = pics.FieldByName(QStringLiteral("format"))->AsString();
        const QString guessed = GuessImageDataFormat(pics.FieldByName(QStringLiteral("data"))->AsBytes());
        EXPECT_EQ(guessed, claimed == u"jpeg" ? QStringLiteral("jpg") : claimed);
        formats << guessed;
    }
    EXPECT_EQ(formats, (QSet<QString>{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("svg")}));
}

} // namespace
