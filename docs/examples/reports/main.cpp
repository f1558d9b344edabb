// HTML reports with a script: an in-memory data set of orders with a detail
// data set of their items, a script block that sums each order, data
// expressions, a report variable, a dynamic block rendered again later, and
// the errors a report collects. Exits with 1 when the result is not what the
// comments promise.
#include <ZorCompCore/data/MemDataSet.h>
#include <ZorCompCore/reporting/ZORHtReportDocument.h>

#include <QCoreApplication>
#include <QTextStream>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

const QString kTemplate = QStringLiteral(
    "<script type=\"text/zorscript\">\n"
    "function Doubled(X: Double): Double;\n"
    "begin\n"
    "  Result := X * 2;\n"
    "end;\n"
    "</script>\n"
    "<h1>{{Title}}</h1>\n"
    "{{#Orders}}<p>{{Customer}}: {{#script}}Orders.\"Total\"{{/script}}, doubled "
    "{{#script}}Doubled(Orders.FieldByName('Total').AsFloat){{/script}}</p>\n{{/Orders}}"
    "<div class=\"quenlor-dynamicblock\">Status: {{Status}}</div>\n");

std::unique_ptr<TMemDataSet> orders()
{
    auto ds = std::make_unique<TMemDataSet>();
    ds->FieldDefs().Add(QStringLiteral("Customer"), ftString);
    ds->FieldDefs().Add(QStringLiteral("Total"), ftFloat);
    ds->CreateDataSet();
    ds->AppendRecord({Variant(QStringLiteral("Ann")), Variant(12.5)});
    ds->AppendRecord({Variant(QStringLiteral("Bob")), Variant(4.0)});
    return ds;
}

void renderAndRefresh()
{
    auto data = orders();
    TZORHtReportDocument doc;
    doc.DataSets().AddDataSet(data.get(), QStringLiteral("Orders"));
    doc.AddVariable(QStringLiteral("Title"), Variant(QStringLiteral("Orders")));
    doc.AddVariable(QStringLiteral("Status"), Variant(QStringLiteral("draft")));
    doc.LoadTemplate(kTemplate);
    const QString page = doc.Render();
    check(page.contains(QStringLiteral("<p>Ann: 12.5, doubled 25</p>")), "each record in turn");
    check(page.contains(QStringLiteral("template-id=\"0\">Status: draft")), "the block is numbered");

    doc.AddVariable(QStringLiteral("Status"), Variant(QStringLiteral("final")));
    const QString refreshed = doc.ReRenderDynamic(page);
    check(refreshed.contains(QStringLiteral("Status: final")), "the block follows the variable");
    check(refreshed.startsWith(page.left(page.indexOf(QStringLiteral("<div")))), "the rest stays");
    out << refreshed;
}

void errors()
{
    TZORHtReportDocument doc;
    try {
        doc.LoadTemplate(QStringLiteral("<script type=\"text/zorscript\">var X: Integer = ;</script>"));
        check(false, "a compile error raises");
    } catch (const EZORHtReportErrorScriptError &e) {
        out << e.Message() << '\n';
        check(e.ErrorPos().y() == 1, "the position is the block's line");
    }

    doc.LoadTemplate(QStringLiteral("<p>{{#script}}1 / 0{{/script}} {{#script}}Missing + 1{{/script}}</p>"));
    try {
        doc.Render();
        check(false, "collected errors raise at the end");
    } catch (const EZORHtReportErrorScriptError &e) {
        check(e.Message().split(u'\n').size() == 2, "both errors, once each");
        check(e.Html() == QStringLiteral("<p> </p>"), "the page is there all the same");
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    renderAndRefresh();
    errors();
    return failures ? 1 : 0;
}
