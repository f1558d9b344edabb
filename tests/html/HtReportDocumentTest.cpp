// The report base: variables and the root context reach the template, the
// template text survives rendering, sections are reported as they begin,
// and report objects are freed without leaving dangling variables behind.
#include "TestUtil.h"

#include <ZorCompCore/html/HtReportDocument.h>
#include <ZorCompCore/html/HtTemplate.h>

using namespace zor;

namespace {

std::unique_ptr<THtXMLNode> packet()
{
    return THtXMLNode::FromXml("<DATAPACKET><ROWDATA><ROW Name=\"M&#252;ller\" Total=\"3\"/>"
                               "<ROW Name=\"O'Brien &amp; Co\" Total=\"\"/></ROWDATA></DATAPACKET>");
}

TEST(HtReportDocument, RendersVarsOverTheRootContext)
{
    THtReportDocument doc;
    THtXMLNode *orders = doc.AddReportObject(packet());
    doc.RegisterVariable(u"Orders"_qs, orders);
    auto context = THtXMLNode::FromJson(R"({"title": "Q<1>"})");
    doc.SetReportContext(context.get());

    const QString tmpl = u"<h1>{{title}}</h1><table>\n{{#Orders}}\n"
                         u"<tr {{#Total}}class=\"paid\"{{/Total}}><td>{{Name}}</td>\n"
                         u"{{/Orders}}\n</table>"_qs;
    doc.Parse(tmpl);
    EXPECT_EQ(doc.TemplateText(), tmpl);
    EXPECT_EQ(doc.OuterHTML(), tmpl); // the template parsed as a tree, untouched

    const QString want = u"<h1>Q&lt;1&gt;</h1><table>\n"
                         u"<tr class=\"paid\"><td>M\u00FCller</td>\n"
                         u"<tr ><td>O&#39;Brien &amp; Co</td>\n"
                         u"</table>"_qs;
    EXPECT_EQ(doc.Render(), want);
    EXPECT_EQ(doc.OuterHTML(), want);
    ASSERT_NE(doc.FindFirst(u"tr"), nullptr);
    EXPECT_EQ(doc.FindFirst(u"tr")->GetAttribute(u"class"), u"paid"); // the result is the tree
    EXPECT_EQ(doc.TemplateText(), tmpl); // kept for the next render
    EXPECT_EQ(doc.ReportContext(), context.get());
    EXPECT_EQ(doc.ReportObjects().size(), 1u);

    // Without a context, one is made among the report objects.
    doc.SetReportContext(nullptr);
    EXPECT_EQ(doc.Render(), QString(want).replace(u"Q&lt;1&gt;"_qs, QString()));
    EXPECT_NE(doc.ReportContext(), nullptr);
    EXPECT_EQ(doc.ReportObjects().size(), 2u);
}

TEST(HtReportDocument, VariablesReplaceAndObjectsFreeCleanly)
{
    THtReportDocument doc;
    auto a = std::make_unique<THtXMLNode>(u"a"_qs);
    a->SetAttribute(u"v"_qs, Variant(u"first"_qs));
    THtXMLNode *b = doc.AddReportObject(std::make_unique<THtXMLNode>(u"b"_qs));
    b->SetAttribute(u"v"_qs, Variant(u"second"_qs));
    doc.RegisterVariable(u"item"_qs, a.get());
    doc.RegisterVariable(u"ITEM"_qs, b); // same name in another case: replaced
    EXPECT_EQ(doc.Vars().Count(), 1);
    EXPECT_EQ(doc.Variable(u"Item"_qs), b);
    doc.RegisterVariable(u"kept"_qs, a.get());

    doc.Parse(u"{{item.v}}/{{kept.v}}/{{#item}}{{v}}{{/item}}"_qs);
    EXPECT_EQ(doc.Render(), u"second/first/second");

    // Freeing the objects takes the variables and context that pointed at
    // them; a variable the caller owns stays.
    doc.ClearReportObjects();
    EXPECT_TRUE(doc.ReportObjects().empty());
    EXPECT_EQ(doc.Variable(u"item"_qs), nullptr);
    EXPECT_EQ(doc.Variable(u"kept"_qs), a.get());
    EXPECT_EQ(doc.ReportContext(), nullptr);
    EXPECT_EQ(doc.Render(), u"/first/");
}

// A report that supplies its own values and numbers its rows through the
// section callback, the way reports built on this base do.
class NumberedReport : public THtReportDocument
{
public:
    QStringList Seen;
    QString Processed;

protected:
    void UpdateSection(const QString &name, int index, THtXMLNode *item) override
    {
        THtReportDocument::UpdateSection(name, index, item);
        Seen << QStringLiteral("%1:%2:%3").arg(name).arg(index).arg(item ? item->Name() : u"-"_qs);
    }
    QString ProcessTemplate(const QString &text) override
    {
        Processed = text;
        return THtReportDocument::ProcessTemplate(text);
    }
};

TEST(HtReportDocument, SectionsAndUnknownNamesReachTheDocument)
{
    NumberedReport doc;
    auto rows = packet();
    doc.RegisterVariable(u"rows"_qs, rows.get());
    doc.OnGetTemplateVar = [&doc](const QString &name, Variant &value) {
        if (name != u"no")
            return false;
        value = Variant(doc.SectionIndex() + 1);
        return true;
    };
    doc.Parse(u"{{#rows}}{{no}}.{{Name}} {{/rows}}{{#flag}}x{{/flag}}{{missing}}"_qs);
    EXPECT_EQ(doc.Render(), u"1.M\u00FCller 2.O&#39;Brien &amp; Co ");
    EXPECT_EQ(doc.Seen, (QStringList{u"rows:0:ROW"_qs, u"rows:1:ROW"_qs}));
    EXPECT_EQ(doc.Processed, doc.TemplateText());
    EXPECT_EQ(doc.SectionName(), u"rows");

    // Template errors reach the caller with their position.
    doc.Parse(u"ok\n  {{#open}}"_qs);
    try {
        doc.Render();
        FAIL() << "an unclosed section must raise";
    } catch (const EHtTemplateError &e) {
        EXPECT_TRUE(e.Message().contains(u"2:3")) << e.Message().toStdString();
    }
}

} // namespace
