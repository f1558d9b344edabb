// XML data packets written from data sets: what the report side reads back
// (upper-case attribute names, one ROW per record, Nulls left out) and that
// any text survives the XML.
#include "TestUtil.h"

#include <ZorCompCore/data/DataPacket.h>
#include <ZorCompCore/data/MemDataSet.h>

#include <QXmlStreamReader>

using namespace zor;

namespace {

struct Packet
{
    QList<std::pair<QString, QString>> fields; // attrname, fieldtype
    QList<QXmlStreamAttributes> rows;
    QString root;
};

Packet readPacket(const QString &xml)
{
    Packet p;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (p.root.isEmpty())
            p.root = r.name().toString();
        if (r.name() == u"FIELD")
            p.fields.append(std::pair<QString, QString>(r.attributes().value(QLatin1String("attrname")).toString(),
                                                      r.attributes().value(QLatin1String("fieldtype")).toString()));
        else if (r.name() == u"ROW")
            p.rows.append(r.attributes());
    }
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    return p;
}

TEST(DataPacket, RowsAndFieldsAsTheReportReadsThem)
{
    TMemDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("Id"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 30);
    ds.FieldDefs().Add(QStringLiteral("Total"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("Paid"), ftBoolean);
    ds.FieldDefs().Add(QStringLiteral("Placed"), ftDateTime);
    ds.FieldDefs().Add(QStringLiteral("Due"), ftDate);
    ds.FieldDefs().Add(QStringLiteral("Logo"), ftBlob);
    ds.Open();
    const QString tricky = QStringLiteral("Obi & \"Sons\" <Ltd> 'x'\tÄ");
    ds.AppendRecord({Variant(1), Variant(tricky), Variant(12.5), Variant(true),
                     Variant::FromDateTime(EncodeDateTime(2024, 3, 5, 8, 7, 6, 45)),
                     Variant::FromDateTime(EncodeDate(2024, 12, 31)), VarArrayFromBytes(QByteArray("\x89PNG\0", 5))});
    ds.AppendRecord({Variant(2), Variant::Null(), Variant(0.1), Variant(false)});
    ds.SetRecNo(2);

    const Packet p = readPacket(DataSetToXmlPacket(&ds));
    EXPECT_EQ(ds.RecNo(), 2) << "writing a packet leaves the cursor alone";
    EXPECT_EQ(p.root, QStringLiteral("DATAPACKET"));
    ASSERT_EQ(p.fields.size(), 7);
    EXPECT_EQ(p.fields[0], (std::pair<QString, QString>{QStringLiteral("ID"), QStringLiteral("i4")}));
    EXPECT_EQ(p.fields[1].second, QStringLiteral("string"));
    EXPECT_EQ(p.fields[4], (std::pair<QString, QString>{QStringLiteral("PLACED"), QStringLiteral("dateTime")}));
    EXPECT_EQ(p.fields[6].second, QStringLiteral("bin.hex"));

    ASSERT_EQ(p.rows.size(), 2);
    const QXmlStreamAttributes &a = p.rows[0];
    EXPECT_EQ(a.value(QLatin1String("ID")).toString(), QStringLiteral("1"));
    EXPECT_EQ(a.value(QLatin1String("NAME")).toString(), tricky);
    EXPECT_EQ(a.value(QLatin1String("TOTAL")).toString(), QStringLiteral("12.5"));
    EXPECT_EQ(a.value(QLatin1String("PAID")).toString(), QStringLiteral("TRUE"));
    EXPECT_EQ(a.value(QLatin1String("PLACED")).toString(), QStringLiteral("20240305T08:07:06045"));
    EXPECT_EQ(a.value(QLatin1String("DUE")).toString(), QStringLiteral("20241231"));
    EXPECT_EQ(QByteArray::fromBase64(a.value(QLatin1String("LOGO")).toLatin1()), QByteArray("\x89PNG\0", 5));

    const QXmlStreamAttributes &b = p.rows[1];
    EXPECT_FALSE(b.hasAttribute(QLatin1String("NAME"))) << "a Null value has no attribute";
    EXPECT_FALSE(b.hasAttribute(QLatin1String("LOGO")));
    EXPECT_EQ(b.value(QLatin1String("TOTAL")).toString(), QStringLiteral("0.1")) << "the shortest text that reads back as the same number";
    EXPECT_EQ(b.value(QLatin1String("PAID")).toString(), QStringLiteral("FALSE"));

    ds.Close();
    EXPECT_THROW(DataSetToXmlPacket(&ds), EDatabaseError);
}

} // namespace
