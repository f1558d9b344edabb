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

} // namespace
