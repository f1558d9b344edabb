// zorcc report on the example templates: master/detail invoices with an
// inline logo, JSON and packet data, re-rendered dynamic blocks, collected
// errors (exit 1 with the page still written) and compile errors.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kReports = QStringLiteral(ZOR_SOURCE_DIR "/examples/reports/");
const QString kSample = QStringLiteral(ZOR_SOURCE_DIR "/examples/data/sample.sqlite");

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString writeTemp(QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    return path;
}

TEST(ZorccReport, RendersInvoicesWithTheirItemsAndLogo)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(u"invoice.html"_qs);
    const ZorccRun r = runZorcc(
        {u"report"_qs, u"render"_qs, kReports + u"invoice.html"_qs, u"--db"_qs, kSample, u"--sql"_qs,
         u"Company=select * from company"_qs, u"--sql"_qs,
         u"Orders=select o.id, c.name as customer, c.city, o.order_date, o.status from orders o "
         "join customers c on c.id = o.customer_id order by o.id"_qs,
         u"--sql"_qs,
         u"Items=select p.name as product, i.quantity, i.price from order_items i "
         "join products p on p.id = i.product_id where i.order_id = :id order by i.id"_qs,
         u"--master"_qs, u"Items=Orders"_qs, u"-o"_qs, out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString html = readFile(out);
    EXPECT_EQ(html.count(u"<section class=\"invoice\">"_qs), 12);
    EXPECT_TRUE(html.contains(u"<img src=\"data:image/png;base64,iVBOR"_qs));
    EXPECT_TRUE(html.contains(u"border-color: #3A6EA5"_qs)) << "the brand colour through colortohtml";
    // order 1: 11 x 8.75 + 2 x 24.90, each order only its own items
    const qsizetype first = html.indexOf(u"<h2>Invoice 1</h2>"_qs);
    const qsizetype second = html.indexOf(u"<h2>Invoice 2</h2>"_qs);
    ASSERT_GT(second, first);
    const QString one = html.mid(first, second - first);
    EXPECT_EQ(one.count(u"<tr><td>"_qs), 2);
    EXPECT_TRUE(one.contains(u"<p class=\"total\">Total 146.05</p>"_qs)) << one.toStdString();
    EXPECT_TRUE(html.contains(u"12 invoices, together 2231.15"_qs));
    EXPECT_FALSE(html.contains(u"text/zorscript"_qs));
}

TEST(ZorccReport, JsonPacketsAndVariables)
{
    const ZorccRun c = runZorcc({u"report"_qs, u"render"_qs, kReports + u"customers.html"_qs, u"--data"_qs,
                                 kReports + u"customers.json"_qs});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    EXPECT_TRUE(c.out.contains(u"<h1>Customer list of Lindqvist &amp; Obi Trading</h1>"_qs));
    EXPECT_EQ(c.out.count(u"<li class=\"vip\">"_qs), 2);
    EXPECT_TRUE(c.out.contains(u"no contact yet"_qs));

    const ZorccRun p = runZorcc({u"report"_qs, u"render"_qs, kReports + u"packet.html"_qs, u"--packet"_qs,
                                 u"Orders=" ZOR_SOURCE_DIR "/examples/data/orders-packet.xml"_qs});
    ASSERT_EQ(p.exitCode, 0) << p.err.toStdString();
    EXPECT_TRUE(p.out.contains(u"second: Brightwater Café, third: Golden Lotus"_qs)) << p.out.toStdString();
    EXPECT_TRUE(p.out.contains(u"the fourth's: 4."_qs));

    QTemporaryDir dir;
    const QString t = writeTemp(dir, u"v.html"_qs, u"<p>{{Who}} {{#script}}Who + '!'{{/script}}</p>"_qs);
    const ZorccRun v = runZorcc({u"report"_qs, u"render"_qs, t, u"--var"_qs, u"Who=Ann"_qs});
    ASSERT_EQ(v.exitCode, 0) << v.err.toStdString();
    EXPECT_EQ(v.out, u"<p>Ann Ann!</p>\n"_qs);
}

TEST(ZorccReport, RerendersDynamicBlocksOfAPage)
{
    QTemporaryDir dir;
    const QString t = writeTemp(dir, u"d.html"_qs,
                                u"<h1>{{V}}</h1><div class=\"quenlor-dynamicblock\">{{V}}</div>"_qs);
    const QString page = dir.filePath(u"page.html"_qs);
    ASSERT_EQ(runZorcc({u"report"_qs, u"render"_qs, t, u"--var"_qs, u"V=one"_qs, u"-o"_qs, page}).exitCode, 0);
    const ZorccRun r = runZorcc({u"report"_qs, u"render"_qs, t, u"--var"_qs, u"V=two"_qs, u"--rerender"_qs, page});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"<h1>one</h1><div class=\"quenlor-dynamicblock\" template-id=\"0\">two</div>\n"_qs);
}

TEST(ZorccReport, ErrorsGoToStderrAndThePageIsStillWritten)
{
    QTemporaryDir dir;
    const QString t = writeTemp(dir, u"e.html"_qs, u"<p>{{#script}}1/0{{/script}}|{{#script}}2+2{{/script}}</p>"_qs);
    const QString out = dir.filePath(u"out.html"_qs);
    const ZorccRun r = runZorcc({u"report"_qs, u"render"_qs, t, u"-o"_qs, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, u"Floating point division by zero\n"_qs);
    EXPECT_EQ(readFile(out), u"<p>|4</p>"_qs);
    const ZorccRun ignored = runZorcc({u"report"_qs, u"render"_qs, t, u"--ignore-div-by-zero"_qs});
    EXPECT_EQ(ignored.exitCode, 0) << ignored.err.toStdString();

    const ZorccRun check = runZorcc({u"report"_qs, u"check"_qs, kReports + u"broken.html"_qs});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.err, u"Script error at 4:16 (rel to script block 4:16): Expression expected\n"_qs);
    // a JScript template checks in its own language
    const ZorccRun js = runZorcc({u"report"_qs, u"check"_qs, kReports + u"dashboard.html"_qs, u"--language"_qs, u"JScript"_qs});
    EXPECT_EQ(js.exitCode, 0) << js.err.toStdString();
    EXPECT_EQ(js.out, u"dynamic blocks: 2\nscript blocks: 1\nscript compiled: ok\n"_qs);
    const QString plain = writeTemp(dir, u"ok.html"_qs,
                                    u"<script type=\"text/zorscript\">var A: Integer;</script>"
                                    "<b class=\"quenlor-dynamicblock\">{{A}}</b><i class=\"quenlor-dynamicblock\"></i>"_qs);
    const ZorccRun ok = runZorcc({u"report"_qs, u"check"_qs, plain});
    ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, u"dynamic blocks: 2\nscript blocks: 1\nscript compiled: ok\n"_qs);

    EXPECT_EQ(runZorcc({u"report"_qs, u"render"_qs}).exitCode, 2);
    EXPECT_EQ(runZorcc({u"report"_qs, u"render"_qs, t, u"--sql"_qs, u"A=select 1"_qs}).exitCode, 2) << "--sql needs --db";
    EXPECT_EQ(runZorcc({u"report"_qs, u"render"_qs, t, u"--master"_qs, u"A=B"_qs}).exitCode, 2);
}

} // namespace
