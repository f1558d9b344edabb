// Template data from JSON and XML: value types kept apart, shapes as the
// templates expect them, lookups ignoring case, hostile data refused cleanly.
#include "TestUtil.h"

#include <ZorCompCore/html/HtXMLNode.h>

using namespace zor;

namespace {

TEST(HtXMLNode, JsonKeepsTypesAndShapes)
{
    auto root = THtXMLNode::FromJson(
        R"({"Title": "Q\u00fcarter", "count": 9007199254740993, "ratio": 0.5, "ok": true,
            "none": null, "big": 18446744073709551615,
            "rows": [{"name": "a", "odd": true}, {"name": "b", "odd": false}],
            "tags": ["x", 2], "empty": [], "customer": {"city": "Bonn"}})");
    EXPECT_EQ(root->Name(), u"root");
    EXPECT_EQ(root->Attribute(u"title").Type(), varUString);
    EXPECT_EQ(VarToStr(root->Attribute(u"TITLE")), u"Q\u00FCarter");
    EXPECT_EQ(root->Attribute(u"count").Type(), varInt64);  // beyond double's precision
    EXPECT_EQ(VarToInt64(root->Attribute(u"count")), 9007199254740993LL);
    EXPECT_EQ(root->Attribute(u"ratio").Type(), varDouble);
    EXPECT_EQ(root->Attribute(u"ok").Type(), varBoolean);
    EXPECT_TRUE(root->Attribute(u"none").IsNull());
    EXPECT_TRUE(root->HasAttribute(u"none"));
    EXPECT_TRUE(root->Attribute(u"missing").IsEmpty());
    EXPECT_EQ(root->Attribute(u"big").Type(), varUInt64);
    // Attribute order is source order.
    ASSERT_EQ(root->AttributeCount(), 6);
    EXPECT_EQ(root->AttributeName(0), u"Title");
    EXPECT_EQ(root->AttributeName(5), u"big");

    THtXMLNode *rows = root->FindChild(u"ROWS");
    ASSERT_TRUE(rows);
    EXPECT_TRUE(rows->IsList());
    ASSERT_EQ(rows->ItemCount(), 2);
    EXPECT_EQ(VarToStr(rows->Item(1)->Attribute(u"name")), u"b");
    EXPECT_EQ(rows->Item(1)->Parent(), rows);
    EXPECT_EQ(rows->Item(2), nullptr);

    THtXMLNode *tags = root->FindChild(u"tags");
    ASSERT_EQ(tags->ItemCount(), 2);
    EXPECT_EQ(VarToStr(tags->Item(0)->Value()), u"x");
    EXPECT_EQ(tags->Item(1)->Value().Type(), varInt64);
    EXPECT_TRUE(root->FindChild(u"empty")->IsList());
    EXPECT_EQ(root->FindChild(u"empty")->ItemCount(), 0);
    EXPECT_FALSE(root->FindChild(u"customer")->IsList());
    EXPECT_EQ(VarToStr(root->FindChild(u"customer")->Attribute(u"city")), u"Bonn");

    // Setting an existing name (in any case) replaces it in place.
    root->SetAttribute(u"TITLE"_qs, Variant(1));
    EXPECT_EQ(root->AttributeCount(), 6);
    EXPECT_EQ(root->AttributeName(0), u"Title");
    EXPECT_EQ(VarToInt64(root->Attribute(u"title")), 1);
}

TEST(HtXMLNode, XmlDataPacketIteratesItsRows)
{
    auto packet = THtXMLNode::FromXml(
        "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"Name\" fieldtype=\"string\"/></FIELDS></METADATA>"
        "<ROWDATA><ROW Name=\"M&#252;ller\"/><ROW Name=\"Smith\"/></ROWDATA></DATAPACKET>");
    EXPECT_EQ(packet->Name(), u"DATAPACKET");
    ASSERT_EQ(packet->ItemCount(), 2);
    EXPECT_EQ(VarToStr(packet->Item(0)->Attribute(u"name")), u"M\u00FCller");
    EXPECT_EQ(packet->Item(1)->Name(), u"ROW");

    auto doc = THtXMLNode::FromXml("<a x='1'><b>text &amp; more</b><c/></a>");
    EXPECT_EQ(doc->ItemCount(), 2); // other nodes iterate their children
    EXPECT_EQ(VarToStr(doc->FindChild(u"B")->Value()), u"text & more");
    EXPECT_EQ(VarToStr(doc->Attribute(u"X")), u"1");
}

TEST(HtXMLNode, BadOrHostileDataIsRefused)
{
    for (const char *bad : {"", "{", "{\"a\":}", "[1,]", "{} {}", "\"a\" 1", "nul"})
        EXPECT_THROW(THtXMLNode::FromJson(bad), EHtDataError) << bad;
    for (const char *bad : {"", "<a>", "<a></b>", "<a/><b/>", "text"})
        EXPECT_THROW(THtXMLNode::FromXml(bad), EHtDataError) << bad;

    // Very deep data: refused beyond the limit, freed without recursion below it.
    const int deep = 9000;
    auto nested = THtXMLNode::FromJson(QByteArray(deep, '[') + QByteArray(deep, ']'));
    EXPECT_EQ(nested->ChildCount(), 1);
    EXPECT_THROW(THtXMLNode::FromJson(QByteArray(20000, '[') + QByteArray(20000, ']')), EHtDataError);
    EXPECT_THROW(THtXMLNode::FromXml(QByteArray("<a>").repeated(20000)), EHtDataError);
    try {
        THtXMLNode::FromXml("<a>\n<b></c></a>");
        FAIL();
    } catch (const EHtDataError &e) {
        EXPECT_TRUE(e.Message().startsWith(u"Invalid XML at line 2")) << e.Message().toStdString();
    }
}

} // namespace
