// Editing an HTML template without disturbing it: parse a template with
// Mustache tags between table rows and inside a tag, look at the tree, change
// one attribute and add a row, and write it back. Exits with 1 when the
// result is not what the comments promise.
#include <ZorCompCore/html/HtDocument.h>
#include <ZorCompCore/html/HtReportDocument.h>
#include <ZorCompCore/html/HtmlColors.h>
#include <ZorCompCore/html/HtmlNode.h>
#include <ZorCompCore/html/HtTemplate.h>

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
    "<table class=list>\n"
    "  <tbody>\n"
    "  {{#rows}}\n"
    "    <tr {{#odd}}class=\"odd\"{{/odd}}><td>{{name}}<td>{{amount}}\n"
    "  {{/rows}}\n"
    "  </tbody>\n"
    "</table>\n");

void roundTrip()
{
    THtmlNode doc;
    doc.Parse(kTemplate);
    check(doc.OuterHTML() == kTemplate, "an unchanged tree writes its input back");

    THtmlNode *tbody = doc.FindFirst(u"tbody");
    THtmlNode *row = doc.FindFirst(u"tr");
    check(row->Parent() == tbody, "the section stays inside tbody");
    check(row->GetAttribute(u"class") == u"odd", "Mustache tags in a tag are tokens");
    check(row->ChildCount() == 2, "the first cell ends where the second starts");
}

void edit()
{
    THtmlNode doc;
    doc.Parse(kTemplate);
    THtmlNode *table = doc.FindFirst(u"table");
    table->SetAttribute(QStringLiteral("class"), QStringLiteral("list wide"));
    table->SetAttribute(QStringLiteral("data-total"), QStringLiteral("{{total}}"));

    auto row = std::make_unique<THtmlNode>(QStringLiteral("tr"));
    row->SetInnerHTML(QStringLiteral("<td colspan=2>Total: {{total}}</td>"));
    doc.FindFirst(u"tbody")->AppendChild(std::move(row));

    const QString html = doc.OuterHTML();
    out << html;
    check(html.startsWith(u"<table class=\"list wide\" data-total=\"{{total}}\">\n"),
          "only the edited tag is rewritten");
    check(html.contains(u"{{/rows}}\n  <tr><td colspan=2>Total: {{total}}</td></tr></tbody>"),
          "the new row after the section");
}

void text()
{
    THtmlNode doc;
    doc.Parse(QStringLiteral("<h1>Invoice</h1><p>Total:&nbsp;<b>12 &euro;</b><br>Thank you."));
    check(doc.InnerText() == u"Invoice\r\nTotal: 12 \u20AC\r\nThank you.", "inner text");

    quint32 color = 0;
    check(HtmlStrToColor(u"cornflowerblue", color), "a CSS colour name");
    check(htmlColortoStr(color) == u"#6495ED", "colours written as HTML writes them");
}

void fill()
{
    auto data = THtXMLNode::FromJson(R"({"rows": [{"name": "Tea & cake", "amount": 4, "odd": true},
                                                 {"name": "Coffee", "amount": 3}]})");
    RegisterHtTemplateFunction(QStringLiteral("upper"), [](THtTemplate &, const QString &content) {
        return content.toUpper();
    });
    THtTemplate tmpl;
    tmpl.SetVariable(QStringLiteral("total"), Variant(7));
    tmpl.Compile(kTemplate + QStringLiteral("{{#upper}}total {{total}}{{/upper}}"));
    const QString html = tmpl.Render(data.get());
    check(html.contains(u"<tr class=\"odd\"><td>Tea &amp; cake<td>4\n"), "the first row, escaped");
    check(html.contains(u"<tr ><td>Coffee<td>3\n"), "the second row");
    check(html.endsWith(u"TOTAL 7"), "a template function");
}

void styles()
{
    THtDocument doc;
    doc.Parse(QStringLiteral("<style>img.thumb { width: 200px; thumbfmt: png }</style>\n"
                             "<body style=\"background-color: white; margin: 0\"><p>x</p></body>"));
    const TCSSSection *thumb = doc.FindCSSClass(QStringLiteral("thumb"));
    check(thumb && thumb->Values(u"width")->front().Kind == cvkDimension, "200px: a number with a unit");
    check(thumb && thumb->Values(u"width")->front().Number == 200, "read as the number");

    quint32 background = 0;
    if (THtDocument::GetInlineStyleColor(doc.Body(), u"background-color", background)
        && background == 0xFFFFFF)
        THtDocument::RemoveInlineStyle(doc.Body(), u"background-color");
    check(doc.Body()->GetAttribute(u"style") == u"margin: 0", "only that declaration goes");
}

void report()
{
    THtReportDocument doc;
    THtXMLNode *rows = doc.AddReportObject(THtXMLNode::FromJson(R"([{"name": "Tea"}, {"name": "Cake"}])"));
    doc.RegisterVariable(QStringLiteral("rows"), rows);
    doc.Parse(QStringLiteral("<ul>{{#rows}}<li>{{name}}</li>{{/rows}}</ul>"));
    check(doc.Render() == u"<ul><li>Tea</li><li>Cake</li></ul>", "a report over a variable");
    check(doc.FindFirst(u"li") != nullptr, "the result is the document's tree");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    roundTrip();
    edit();
    text();
    fill();
    styles();
    report();
    return failures ? 1 : 0;
}
