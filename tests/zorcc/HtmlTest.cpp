// zorcc html as users run it: a template goes through unchanged, and the tree
// shows the section inside tbody.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QString writeTemp(const QTemporaryDir &dir, const QByteArray &data)
{
    const QString path = dir.filePath(QStringLiteral("in.html"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
}

TEST(ZorccHtml, RoundTripAndTree)
{
    QTemporaryDir dir;
    const QByteArray page = "<table>\n<tbody>{{#rows}}<tr {{#odd}}class=\"odd\"{{/odd}}>"
                            "<td>{{name}} &amp; \xC3\xBC</td></tr>{{/rows}}</tbody></table></p>";
    const QString path = writeTemp(dir, page);

    ZorccRun r = runZorcc({u"html"_qs, u"roundtrip"_qs, path});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.toUtf8(), page);

    r = runZorcc({u"html"_qs, u"tree"_qs, path});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"table\n"
                     "  \"\\n\"\n"
                     "  tbody\n"
                     "    \"{{#rows}}\"\n"
                     "    tr class=\"odd\"\n"
                     "      td\n"
                     "        \"{{name}} &amp; \u00FC\"\n"
                     "    \"{{/rows}}\"\n"
                     "/p (stray)\n"_qs);

    r = runZorcc({u"html"_qs, u"tree"_qs, path, u"--json"_qs});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"\"kind\": \"stray-end-tag\""_qs)) << r.out.toStdString();

    // Not UTF-8: refused with one line rather than written back altered.
    r = runZorcc({u"html"_qs, u"roundtrip"_qs, writeTemp(dir, "<p>\xFF</p>")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(u"not valid UTF-8"_qs)) << r.err.toStdString();

    r = runZorcc({u"html"_qs, u"tree"_qs, writeTemp(dir, QByteArray("<b>").repeated(2000)), u"--json"_qs});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"deeper"_qs)) << r.err.toStdString();
}

TEST(ZorccHtml, CssValuesAndTemplates)
{
    QTemporaryDir dir;
    const QString page = writeTemp(dir, "<style>img.thumb { width: 200px; thumbfmt: png }\n"
                                        ".thumb { width: 1px }</style><p>x</p>");
    ZorccRun r = runZorcc({u"html"_qs, u"css"_qs, page, u"thumb"_qs, u"width"_qs});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"200\n"); // the first rule of the class, its number
    r = runZorcc({u"html"_qs, u"css"_qs, page, u".thumb"_qs, u"thumbfmt"_qs});
    EXPECT_EQ(r.out, u"png\n");
    r = runZorcc({u"html"_qs, u"css"_qs, page, u"thumb"_qs, u"width"_qs, u"--json"_qs});
    EXPECT_TRUE(r.out.contains(u"\"kind\": 7"_qs)) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"\"unit\": \"px\""_qs)) << r.out.toStdString();
    r = runZorcc({u"html"_qs, u"css"_qs, page, u"nope"_qs, u"width"_qs});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"no CSS class \"nope\" (it has: thumb)"_qs)) << r.err.toStdString();
    r = runZorcc({u"html"_qs, u"css"_qs, page, u"thumb"_qs, u"height"_qs});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"has no value \"height\""_qs)) << r.err.toStdString();
    EXPECT_EQ(runZorcc({u"html"_qs, u"css"_qs, page, u"thumb"_qs}).exitCode, 2);

    const QString tmpl = dir.filePath(u"t.html"_qs);
    QFile t(tmpl);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("<ul>\n{{#rows}}\n<li>{{name}}</li>\n{{/rows}}\n</ul>{{^rows}}none{{/rows}}");
    t.close();
    const QString data = dir.filePath(u"d.json"_qs);
    QFile d(data);
    ASSERT_TRUE(d.open(QIODevice::WriteOnly));
    d.write(R"({"rows": [{"name": "A & B"}, {"name": "\u00fc"}]})");
    d.close();
    r = runZorcc({u"html"_qs, u"template"_qs, tmpl, u"--data"_qs, data});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"<ul>\n<li>A &amp; B</li>\n<li>\u00FC</li>\n</ul>");

    // Errors: the template's position, bad JSON, a missing --data.
    ASSERT_TRUE(t.open(QIODevice::WriteOnly | QIODevice::Truncate));
    t.write("ok\n {{#rows}}");
    t.close();
    r = runZorcc({u"html"_qs, u"template"_qs, tmpl, u"--data"_qs, data});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"2:2"_qs)) << r.err.toStdString();
    ASSERT_TRUE(d.open(QIODevice::WriteOnly | QIODevice::Truncate));
    d.write("{oops");
    d.close();
    r = runZorcc({u"html"_qs, u"template"_qs, tmpl, u"--data"_qs, data});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(data)) << r.err.toStdString();
    EXPECT_EQ(runZorcc({u"html"_qs, u"template"_qs, tmpl}).exitCode, 2);
}

} // namespace
