// The HTML report document: template loading (dynamic blocks, script
// blocks, compile errors), data from data sets, packets and variables,
// expressions and their errors, images, re-rendering, and the functions
// report scripts get.
#include "TestUtil.h"

#include <ZorCompCore/data/MemDataSet.h>
#include <ZorCompCore/data/SqlDataSet.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

#include <QBuffer>
#include <QImage>
#include <QPointer>

#include <thread>

using namespace zor;

namespace {

QByteArray pngBytes(QColor color = Qt::red)
{
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// Orders 1..n with Total = 10 * id and a logo blob on the first.
std::unique_ptr<TMemDataSet> ordersSet(int n)
{
    auto ds = std::make_unique<TMemDataSet>();
    ds->FieldDefs().Add(QStringLiteral("Id"), ftInteger);
    ds->FieldDefs().Add(QStringLiteral("Total"), ftFloat);
    ds->FieldDefs().Add(QStringLiteral("Logo"), ftBlob);
    ds->CreateDataSet();
    for (int i = 1; i <= n; ++i)
        ds->AppendRecord({Variant(i), Variant(10.0 * i), i == 1 ? VarArrayFromBytes(pngBytes()) : Variant::Null()});
    ds->First();
    return ds;
}

std::unique_ptr<THtXMLNode> packet()
{
    return THtXMLNode::FromXml("<DATAPACKET><ROWDATA>"
                               "<ROW TOTAL=\"100\" KIND=\"a\" KIND_REALVALUE=\"7\" CODE=\"x1\"/>"
                               "<ROW TOTAL=\"101\"/><ROW TOTAL=\"102\"/><ROW TOTAL=\"103\" KIND=\"d\"/>"
                               "</ROWDATA></DATAPACKET>");
}

QString messageOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

QStringList errorsOf(const TZORHtReportDocument &doc)
{
    QStringList out;
    for (int i = 0; i < doc.Errors().Count(); ++i)
        out << doc.Errors().Get(i);
    return out;
}

class Derived : public TZORHtReportDocument
{
    Q_OBJECT
public:
    using TZORHtReportDocument::TZORHtReportDocument;
};

} // namespace

TEST(ZORHtReportDocument, LoadTemplateKeepsPlainTemplatesAndNumbersDynamicBlocks)
{
    TZORHtReportDocument doc;
    // no blocks and no script elements: the text goes to Parse as it stands
    const QString plain = QStringLiteral("<P class=x>{{a}}<br></P>");
    doc.LoadTemplate(plain);
    EXPECT_TRUE(doc.TemplateLoaded());
    EXPECT_EQ(doc.TemplateText(), plain);

    doc.LoadTemplate(QStringLiteral("<div class=\"a quenlor-dynamicblock\">{{x}}<span class=\"quenlor-dynamicblock\">"
                                    "{{y}}</span></div><p>{{z}}</p><div class=\"quenlor-dynamicblock\">{{w}}</div>"
                                    "<script>keep()</script>"));
    ASSERT_EQ(doc.DynamicNodeTemplates().size(), 3);
    EXPECT_EQ(doc.DynamicNodeTemplates()[0], QStringLiteral("{{x}}<span class=\"quenlor-dynamicblock\">{{y}}</span>"))
        << "the outer block is stored before its inner block is numbered";
    EXPECT_EQ(doc.DynamicNodeTemplates()[1], QStringLiteral("{{y}}"));
    EXPECT_EQ(doc.DynamicNodeTemplates()[2], QStringLiteral("{{w}}"));
    const QString t = doc.TemplateText();
    EXPECT_TRUE(t.contains(QStringLiteral("class=\"a quenlor-dynamicblock\" template-id=\"0\""))) << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("<span class=\"quenlor-dynamicblock\" template-id=\"1\">")));
    EXPECT_TRUE(t.contains(QStringLiteral("template-id=\"2\">{{w}}")));
    EXPECT_TRUE(t.contains(QStringLiteral("<script>keep()</script>"))) << "other script elements stay";

    // loading again starts from scratch
    doc.LoadTemplate(plain);
    EXPECT_TRUE(doc.DynamicNodeTemplates().isEmpty());
}

TEST(ZORHtReportDocument, ScriptBlocksCompileInReverseOrderAndErrorsCarryTheirPosition)
{
    TZORHtReportDocument doc;
    doc.LoadTemplate(QStringLiteral("<script type=\"text/zorscript\">var A: Integer;</script><p>{{#script}}A + B{{/script}}</p>"
                                    "<script type=\"text/zorscript\">var B: Integer;</script>"
                                    "<script type=\"TEXT/ZORSCRIPT\">no script</script>"));
    const QStringList lines = doc.Script()->Lines();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("var B: Integer;"), QStringLiteral("var A: Integer;"),
                                  QStringLiteral("begin"), QString(), QStringLiteral("end.")}));
    EXPECT_FALSE(doc.TemplateText().contains(QStringLiteral("text/zorscript")));
    EXPECT_TRUE(doc.TemplateText().contains(QStringLiteral("TEXT/ZORSCRIPT"))) << "the type compares exactly";
    EXPECT_EQ(doc.Render(), QStringLiteral("<p>0</p><script type=\"TEXT/ZORSCRIPT\">no script</script>"));

    // a compile error: raised with the position, kept in Errors, nothing loaded
    TZORHtReportDocument bad;
    try {
        bad.LoadTemplate(QStringLiteral("<script type=\"text/zorscript\">var X: Integer;\nprocedure P;\nbegin\n  X := ;\nend;</script>"));
        ADD_FAILURE() << "compile error expected";
    } catch (const EZORHtReportErrorScriptError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Script error at 4:8 (rel to script block 4:8): ")))
            << e.Message().toStdString();
        EXPECT_EQ(e.ErrorPos(), QPoint(8, 4));
        EXPECT_EQ(errorsOf(bad), QStringList{e.Message()});
    }
    EXPECT_FALSE(bad.TemplateLoaded());
}

TEST(ZORHtReportDocument, DataExpressionsReadPacketRowsAndCurrentRecords)
{
    TZORHtReportDocument doc;
    auto orders = ordersSet(5);
    orders->SetRecNo(2);
    doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
    doc.LoadTemplate(QStringLiteral("x"));
    auto pk = packet();
    doc.RegisterVariable(QStringLiteral("Pk"), pk.get());

    EXPECT_EQ(VarToStr(doc.ExecuteScript(QStringLiteral("Pk.\"Total:3\""))), QStringLiteral("103"));
    EXPECT_EQ(VarToStr(doc.ExecuteScript(QStringLiteral("Pk.\"total\""))), QStringLiteral("100")) << "no index: row 0";
    EXPECT_DOUBLE_EQ(VarToDouble(doc.ExecuteScript(QStringLiteral("Orders.\"Total:3\""))), 20.0)
        << "a data set ignores the index: the current record counts";
    EXPECT_EQ(VarToStr(doc.ExecuteScript(QStringLiteral("ORDERS.\"Id\""))), QStringLiteral("2"));
    // blobs come back as their bytes
    const Variant logo = [&] {
        orders->First();
        return doc.ExecuteScript(QStringLiteral("Orders.\"Logo\""));
    }();
    EXPECT_EQ(logo.Type(), varString);
    EXPECT_EQ(logo.RawAnsi(), pngBytes());

    // the direct lookup is not guarded: a missing field raises
    EXPECT_EQ(messageOf([&] { doc.ExecuteScript(QStringLiteral("Orders.\"Total\" * 2")); }),
              QStringLiteral("Field 'Total\" * ' not found"));
    EXPECT_THROW(doc.ExecuteScript(QStringLiteral("Pk.\"Total:x\"")), EConvertError);

    QString ds, f;
    int i = 0;
    EXPECT_TRUE(TZORHtReportDocument::ExtractDatasetAndField(QStringLiteral("Orders.\"Total:2\""), ds, f, i));
    EXPECT_EQ(ds, QStringLiteral("Orders"));
    EXPECT_EQ(f, QStringLiteral("Total"));
    EXPECT_EQ(i, 2);
    EXPECT_FALSE(TZORHtReportDocument::ExtractDatasetAndField(QStringLiteral("Orders.Total"), ds, f, i));
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_EQ(i, -1);
}

TEST(ZORHtReportDocument, RealValuesPreferTheRealValueAttribute)
{
    TZORHtReportDocument doc;
    auto pk = packet();
    doc.RegisterVariable(QStringLiteral("Pk"), pk.get());
    EXPECT_EQ(TZORHtReportDocument::GetRealValueFieldName(QStringLiteral("Kind")), QStringLiteral("KIND_REALVALUE"));
    EXPECT_EQ(doc.GetDataSetRealValue(QStringLiteral("Pk"), QStringLiteral("Kind"), -1), 7);
    EXPECT_EQ(doc.GetDataSetRealValue(QStringLiteral("Pk"), QStringLiteral("Total"), 2), 102);
    EXPECT_EQ(doc.GetDataSetRealValue(QStringLiteral("Pk"), QStringLiteral("Kind"), 3), -1) << "\"d\" is no number";
    EXPECT_EQ(doc.GetDataSetRealValue(QStringLiteral("Pk"), QStringLiteral("Kind"), 9), -1);
    EXPECT_EQ(doc.GetDataSetRealValue(QStringLiteral("None"), QStringLiteral("Kind"), 0), -1);
}

TEST(ZORHtReportDocument, ExpressionErrorsAreCollectedAndRaisedAfterThePage)
{
    TZORHtReportDocument doc;
    QStringList calls;
    doc.AddFunction(QStringLiteral("procedure Note(S: String)"));
    doc.OnUserFunction = [&](const QString &name, Variant &params) {
        calls << name + u':' + VarToStr(params.ArrayGet(0));
        return Variant();
    };
    doc.LoadTemplate(QStringLiteral(
        "<script type=\"text/zorscript\">procedure Initialization; begin Note('init'); end;\n"
        "procedure Finalization; begin Note('fin'); end;</script>"
        "<p>{{#script}}1/0{{/script}}|{{#script}}1/0{{/script}}|{{#script}}Nope + 1{{/script}}|{{#script}}2*3{{/script}}</p>"));
    try {
        doc.Render();
        ADD_FAILURE() << "errors expected";
    } catch (const EZORHtReportErrorScriptError &e) {
        const QStringList lines = e.Message().split(u'\n');
        ASSERT_EQ(lines.size(), 2) << e.Message().toStdString() << " (each text once)";
        EXPECT_EQ(lines[1], QStringLiteral("Floating point division by zero"));
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Expression-Error: 'Nope + 1'"))) << "sorted";
        EXPECT_EQ(e.ErrorPos(), QPoint(0, 0));
        EXPECT_EQ(e.Html(), QStringLiteral("<p>|||6</p>")) << "the page was produced, failed expressions empty";
    }
    EXPECT_EQ(calls, (QStringList{QStringLiteral("NOTE:init"), QStringLiteral("NOTE:fin")}));

    // division by zero dropped when asked
    doc.SetIgnoreDivByZero(true);
    doc.LoadTemplate(QStringLiteral("<p>{{#script}}1/0{{/script}}{{#script}}2*3{{/script}}</p>"));
    EXPECT_EQ(doc.Render(), QStringLiteral("<p>6</p>"));
    EXPECT_EQ(doc.Errors().Count(), 0);
}

TEST(ZORHtReportDocument, SectionsWalkDataSetsAndPutTheCursorBack)
{
    TZORHtReportDocument doc;
    auto orders = ordersSet(3);
    orders->SetRecNo(2);
    doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
    doc.AddVariable(QStringLiteral("Title"), Variant(QStringLiteral("Sales")));
    doc.LoadTemplate(QStringLiteral("<h1>{{Title}}</h1>{{#Orders}}<p>{{Id}}:{{Total}}={{#script}}Orders.\"Total\"{{/script}}="
                                    "{{#script}}Orders.FieldByName('Total').AsFloat * 2{{/script}}"
                                    "</p>{{/Orders}}{{^Orders}}none{{/Orders}}"));
    EXPECT_EQ(doc.Render(), QStringLiteral("<h1>Sales</h1><p>1:10=10=20</p><p>2:20=20=40</p><p>3:30=30=60</p>"));
    EXPECT_EQ(orders->RecNo(), 2) << "the cursor goes back after the section";

    orders->SetRecNo(3);
    doc.LoadTemplate(QStringLiteral("{{#Orders}}{{Id}}{{/Orders}}"));
    EXPECT_EQ(doc.Render(), QStringLiteral("123"));
    EXPECT_EQ(orders->RecNo(), 3);

    // without auto-open a closed data set renders as empty
    orders->Close();
    doc.SetAutoOpenDataSets(false);
    doc.LoadTemplate(QStringLiteral("{{#Orders}}{{Id}}{{/Orders}}{{^Orders}}none{{/Orders}}"));
    EXPECT_EQ(doc.Render(), QStringLiteral("none"));

    // a packet of the same name wins over the data set
    doc.SetAutoOpenDataSets(true);
    doc.LoadTemplate(QStringLiteral("{{#Orders}}{{TOTAL}},{{/Orders}}"));
    auto pk = packet();
    doc.RegisterVariable(QStringLiteral("Orders"), pk.get());
    EXPECT_EQ(doc.Render(), QStringLiteral("100,101,102,103,"));
    EXPECT_LE(doc.ReportObjects().size(), 1u) << "only the root context: data set nodes leave with the render";
}

TEST(ZORHtReportDocument, MasterDetailDataSetsRenderEachOrdersItems)
{
    TSqlConnection conn;
    conn.SetDatabaseName(QStringLiteral(":memory:"));
    conn.ExecSQL(QStringLiteral("create table orders (id integer, customer text)"));
    conn.ExecSQL(QStringLiteral("create table items (order_id integer, product text, qty integer)"));
    conn.ExecSQL(QStringLiteral("insert into orders values (1, 'Ann'), (2, 'Bob'), (3, 'Cy')"));
    conn.ExecSQL(QStringLiteral("insert into items values (1, 'pen', 2), (1, 'ink', 1), (2, 'pad', 5)"));
    TSqlDataSet orders, items;
    orders.SetConnection(&conn);
    orders.SetSQL(QStringLiteral("select id, customer from orders order by id"));
    items.SetConnection(&conn);
    items.SetSQL(QStringLiteral("select product, qty from items where order_id = :id order by product"));
    items.SetMasterSource(&orders);

    TZORHtReportDocument doc;
    doc.DataSets().AddDataSet(&orders, QStringLiteral("Orders"));
    doc.DataSets().AddDataSet(&items, QStringLiteral("Items"));
    doc.LoadTemplate(QStringLiteral("{{#Orders}}[{{customer}}:{{#Items}} {{qty}} {{product}}{{/Items}}{{^Items}} -{{/Items}}"
                                    " ({{#script}}Items.RecordCount{{/script}})]{{/Orders}}"));
    EXPECT_EQ(doc.Render(), QStringLiteral("[Ann: 1 ink 2 pen (2)][Bob: 5 pad (1)][Cy: - (0)]"));
}

TEST(ZORHtReportDocument, DynamicBlocksRenderAgainFromTheirTemplates)
{
    TZORHtReportDocument doc;
    doc.AddVariable(QStringLiteral("N"), Variant(1));
    doc.LoadTemplate(QStringLiteral("<p>{{N}}</p><div class=\"quenlor-dynamicblock\">{{N}}"
                                    "<b class=\"quenlor-dynamicblock\">{{N}}</b></div>"
                                    "<i class=\"quenlor-dynamicblock\" template-id=\"9\">{{N}}</i>"));
    const QString first = doc.Render();
    EXPECT_EQ(first, QStringLiteral("<p>1</p><div class=\"quenlor-dynamicblock\" template-id=\"0\">1"
                                    "<b class=\"quenlor-dynamicblock\" template-id=\"1\">1</b></div>"
                                    "<i class=\"quenlor-dynamicblock\" template-id=\"2\">1</i>"));
    EXPECT_TRUE(doc.TemplateText().isEmpty()) << "Render ends by clearing the template";

    doc.AddVariable(QStringLiteral("N"), Variant(2));
    const QString second = doc.ReRenderDynamic(first);
    EXPECT_EQ(second, QStringLiteral("<p>1</p><div class=\"quenlor-dynamicblock\" template-id=\"0\">2"
                                     "<b class=\"quenlor-dynamicblock\">2</b></div>"
                                     "<i class=\"quenlor-dynamicblock\" template-id=\"2\">2</i>"))
        << "static parts stay, each block comes back from its template";
    // an id out of range, or none, leaves the block as it is
    EXPECT_EQ(doc.ReRenderDynamic(QStringLiteral("<i class=\"quenlor-dynamicblock\" template-id=\"7\">old</i>"
                                                 "<i class=\"quenlor-dynamicblock\">old</i>")),
              QStringLiteral("<i class=\"quenlor-dynamicblock\" template-id=\"7\">old</i>"
                             "<i class=\"quenlor-dynamicblock\">old</i>"));
}

TEST(ZORHtReportDocument, TemplateFunctionsAndPostProcessing)
{
    TZORHtReportDocument doc;
    doc.AddVariable(QStringLiteral("Nested"), Variant(QStringLiteral("<{{#script}}Inner{{/script}}>")));
    doc.AddVariable(QStringLiteral("Inner"), Variant(QStringLiteral("in")));
    doc.AddVariable(QStringLiteral("Self"), Variant(QStringLiteral("{{#script}}Self{{/script}}")));
    doc.LoadTemplate(QStringLiteral("{{#colortohtml}}255{{/colortohtml}} {{#colortohtml}}x{{/colortohtml}} "
                                    "{{#colortohtml}}-16777211{{/colortohtml}}"));
    EXPECT_EQ(doc.Render(), QStringLiteral("#FF0000 #000000 #FFFFFF")) << "0xFF000005: the window colour";

    QString data = QStringLiteral("a{{#script}}Nested{{/script}}b{{#script}}Self{{/script}}c{{#script}}open");
    doc.PostProcessScripTags(data);
    EXPECT_EQ(data, QStringLiteral("a<in>b{{#script}}Self{{/script}}c{{#script}}open"));

    // the script function outside a report template writes nothing
    THtTemplate plain;
    EXPECT_EQ(plain.Render(QStringLiteral("[{{#script}}1+1{{/script}}]"), nullptr), QStringLiteral("[]"));
}

TEST(ZORHtReportDocument, ImagesBecomeInlineTags)
{
    EXPECT_EQ(TZORHtReportDocument::CreateImageTag(QStringLiteral("s.png"), QStringLiteral("A \"b\""), {}, {}),
              QStringLiteral("<img src=\"s.png\" alt=\"A \"b\"\">"));
    EXPECT_EQ(TZORHtReportDocument::CreateImageTag(QStringLiteral("s"), {}, QStringLiteral("c"), QStringLiteral("w:1")),
              QStringLiteral("<img src=\"s\" alt=\"\" class=\"c\" style=\"w:1\">"));

    TZORHtReportDocument doc;
    auto orders = ordersSet(2);
    doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
    QByteArray bytes("junk");
    QString format = QStringLiteral("junk");
    EXPECT_TRUE(doc.LoadImageData(QStringLiteral("orders"), QStringLiteral("Logo"), {}, bytes, format));
    EXPECT_EQ(bytes, pngBytes());
    EXPECT_EQ(format, QStringLiteral("png"));
    EXPECT_EQ(doc.GetEmbedImageDataTag(bytes, {}, QStringLiteral("logo"), {}, {}, false),
              QStringLiteral("<img src=\"data:image/png;base64,%1\" alt=\"logo\">").arg(QString::fromLatin1(bytes.toBase64())));
    EXPECT_TRUE(doc.GetEmbedImageDataTag("<svg/>", QStringLiteral("svg"), {}, {}, {}, true)
                    .startsWith(QStringLiteral("<img src=\"data:image/svg+xml;base64,")));
    EXPECT_FALSE(doc.LoadImageData(QStringLiteral("Missing"), QStringLiteral("Logo"), {}, bytes, format));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_TRUE(format.isEmpty());
}

TEST(ZORHtReportDocument, ReportScriptsCallTheDocument)
{
    Derived doc; // a descendant still answers through the registering class
    auto orders = ordersSet(2);
    auto pk = packet();
    doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
    doc.LoadTemplate(QStringLiteral(
        "<script type=\"text/zorscript\">var Img: TBytes; Fmt, Tag, NoFmt: String; Ok, NoOk: Boolean; Rv, Missing, DsOk: Variant;\n"
        "procedure Initialization;\n"
        "begin\n"
        "  Rv := Document.RealValue('Pk', 'Kind');\n"
        "  Missing := Document.GetDataSetByName('missing');\n"
        "  DsOk := Document.GetDataSetByName('ORDERS') <> 0;\n"
        "  Ok := Document.LoadImageData('Orders', 'Logo', '', Img, Fmt);\n"
        "  Tag := Document.GetEmbedImageDataTag(Img);\n"
        "  NoOk := Document.LoadImageData('None', 'Logo', '', Img, NoFmt);\n"
        "end;</script>"
        "{{#script}}Rv{{/script}}|{{#script}}Missing{{/script}}|{{#script}}DsOk{{/script}}|{{#script}}Ok{{/script}}|"
        "{{#script}}Fmt{{/script}}|{{#script}}NoOk{{/script}}|{{#script}}NoFmt = ''{{/script}}|"
        "{{#script}}Get('Orders.\"Id\"'){{/script}}|{{#script}}MAX_PATH{{/script}}|{{{Tag}}}"));
    doc.RegisterVariable(QStringLiteral("Pk"), pk.get());
    doc.OnGetTemplateVar = [&](const QString &name, Variant &value) {
        if (name != u"Tag")
            return false;
        value = doc.Script()->Variables(QStringLiteral("Tag"));
        return true;
    };
    const QString html = doc.Render();
    const QStringList parts = html.split(u'|');
    ASSERT_EQ(parts.size(), 10) << html.toStdString();
    EXPECT_EQ(parts[0], QStringLiteral("7")) << "RealValue without an index reads row 0";
    EXPECT_EQ(parts[1], QStringLiteral("0"));
    EXPECT_EQ(parts[2], QStringLiteral("True"));
    EXPECT_EQ(parts[3], QStringLiteral("True"));
    EXPECT_EQ(parts[4], QStringLiteral("png"));
    EXPECT_EQ(parts[5], QStringLiteral("False"));
    EXPECT_EQ(parts[6], QStringLiteral("True"));
    const Variant img = doc.Script()->Variables(QStringLiteral("Img"));
    EXPECT_TRUE(VarIsArray(img));
    EXPECT_TRUE(VarArrayToBytes(img).isEmpty()) << "the failed load wrote an empty array back";
    EXPECT_EQ(parts[7], QStringLiteral("1"));
    EXPECT_EQ(parts[8], QStringLiteral("260"));
    EXPECT_TRUE(parts[9].startsWith(QStringLiteral("<img src=\"data:image/png;base64,iVBOR"))) << parts[9].toStdString();
}

TEST(ZORHtReportDocument, DataSetListsFindByAnyCaseAndOwnWhenTold)
{
    TDataSetList list;
    int changes = 0;
    list.OnChanged = [&](TDataSetList *sender) {
        EXPECT_EQ(sender, &list);
        ++changes;
    };
    auto kept = ordersSet(1);
    QPointer<TDataSet> owned = new TMemDataSet;
    list.AddDataSet(kept.get(), QStringLiteral("Orders"));
    list.AddDataSet(owned.data(), QStringLiteral("Owned"), true);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(list.GetDataSetByName(QStringLiteral("ORDERS")), kept.get());
    EXPECT_EQ(list.Item(QStringLiteral("orders"))->DataSetName(), QStringLiteral("Orders"));
    EXPECT_EQ(list.GetDataSetByName(QStringLiteral("x")), nullptr);
    EXPECT_THROW(list.AddDataSet(kept.get(), QStringLiteral("oRdErS")), EListError);

    TDataSetList copy;
    copy.AddDataSet(kept.get(), QStringLiteral("Old"));
    copy.Assign(list);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_FALSE(copy.Item(QStringLiteral("owned"))->OwnsDataSet());
    copy.Clear();
    EXPECT_FALSE(owned.isNull()) << "copies do not own";
    list.Remove(QStringLiteral("OWNED"));
    EXPECT_TRUE(owned.isNull());
    EXPECT_EQ(changes, 6);

    TTemplateDataNodeList nodes;
    auto *a = new THtXMLNode(QStringLiteral("a"));
    auto *b = new THtXMLNode(QStringLiteral("b"));
    nodes.Add(QStringLiteral("select 1"), a);
    nodes.Add(QStringLiteral("select 2"), b);
    EXPECT_THROW(nodes.Add(QStringLiteral("select 1"), b), EListError);
    nodes.RemoveItem(a);
    EXPECT_EQ(nodes.FlatList(), QList<THtXMLNode *>{b});
    EXPECT_EQ(nodes.Node(QStringLiteral("select 1")), nullptr);
    delete a; // taken out, not freed
}

TEST(ZORHtReportDocument, KeptNodesSurviveTheRenderData)
{
    TZORHtReportDocument doc;
    auto *kept = static_cast<TZORhtReportXMLNode *>(
        doc.AddReportObject(std::make_unique<TZORhtReportXMLNode>(QStringLiteral("kept"))));
    kept->AllowAutoFree = false;
    doc.AddReportObject(std::make_unique<TZORhtReportXMLNode>(QStringLiteral("gone")));
    doc.RegisterVariable(QStringLiteral("K"), kept);
    doc.FreeRenderData();
    EXPECT_TRUE(doc.ReportObjects().empty());
    EXPECT_EQ(doc.Vars().Count(), 0);
    EXPECT_EQ(kept->Name(), QStringLiteral("kept"));
    delete kept;
}

TEST(ZORHtReportDocument, InitScriptHooksAndLanguages)
{
    TZORHtReportDocument doc;
    auto orders = ordersSet(3);
    doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
    doc.AddVariable(QStringLiteral("Factor"), Variant(3));
    doc.OnInitScript = [&doc](QObject *sender) {
        EXPECT_EQ(sender, &doc);
        doc.SetScriptLanguage(QStringLiteral("JScript"));
        doc.SetScriptText({});
        doc.InvalidateExpressionCache();
    };
    doc.LoadTemplate(QStringLiteral("<script type=\"text/zorscript\">function Twice(x) { return x * 2 * Factor; }"
                                    "</script>{{#script}}Twice(Orders.RecordCount){{/script}}"));
    EXPECT_EQ(doc.Script()->SyntaxType(), QStringLiteral("JScript"));
    EXPECT_TRUE(doc.FunctionExists(QStringLiteral("Twice")));
    EXPECT_FALSE(doc.FunctionExists(QStringLiteral("Thrice")));
    EXPECT_EQ(doc.Render(), QStringLiteral("18"));
    // Clear goes back to Pascal
    doc.OnInitScript = nullptr;
    doc.Clear();
    EXPECT_EQ(doc.ScriptLanguage(), QStringLiteral("PascalScript"));
    EXPECT_EQ(doc.ScriptText(), (QStringList{QStringLiteral("begin"), QString(), QStringLiteral("end.")}));

    // a parent script lends its registrations; the hook replaces AddRTTI
    TfsScript parent;
    parent.AddRTTI();
    TZORHtReportDocument child(&parent);
    child.LoadTemplate(QStringLiteral("{{#script}}MAX_PATH{{/script}}"));
    EXPECT_EQ(child.Render(), QStringLiteral("260"));
    TZORHtReportDocument hooked;
    int hookCalls = 0;
    hooked.OnInitScriptRTTI = [&](QObject *, TfsZORScript *s) {
        ++hookCalls;
        s->AddScriptConst(QStringLiteral("Answer"), QStringLiteral("Integer"), Variant(42));
    };
    hooked.LoadTemplate(QStringLiteral("{{#script}}Answer{{/script}}"));
    hooked.LoadTemplate(QStringLiteral("{{#script}}Answer + 1{{/script}}"));
    EXPECT_EQ(hookCalls, 1) << "once per document";
}

TEST(ZORHtReportDocument, TwoDocumentsRenderOnTwoThreads)
{
    auto work = [](int seed, QString *out) {
        TZORHtReportDocument doc;
        auto orders = ordersSet(50 + seed);
        doc.DataSets().AddDataSet(orders.get(), QStringLiteral("Orders"));
        doc.LoadTemplate(QStringLiteral("<script type=\"text/zorscript\">var Sum: Double;</script>"
                                        "{{#Orders}}{{#script}}Orders.FieldByName('Id').AsInteger * 2{{/script}},{{/Orders}}"));
        for (int i = 0; i < 10; ++i) {
            doc.LoadTemplate(QStringLiteral("{{#Orders}}{{#script}}Orders.FieldByName('Id').AsInteger * 2{{/script}},{{/Orders}}"));
            *out = doc.Render();
        }
    };
    QString a, b;
    std::thread t1(work, 0, &a), t2(work, 5, &b);
    t1.join();
    t2.join();
    QString expectA, expectB;
    for (int i = 1; i <= 55; ++i) {
        if (i <= 50)
            expectA += QString::number(i * 2) + u',';
        expectB += QString::number(i * 2) + u',';
    }
    EXPECT_EQ(a, expectA);
    EXPECT_EQ(b, expectB);
}

#include "ZORHtReportDocumentTest.moc"
