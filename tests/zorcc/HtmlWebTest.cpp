// zorcc html's text utilities and BinHTML verbs as users run them.
#include "RunZorcc.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(data);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The raw bytes zorcc writes to stdout.
QByteArray zorccBytes(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(ZORCC_PATH), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

QString examples(const char *name)
{
    return QStringLiteral(ZOR_SOURCE_DIR "/examples/html/") + QLatin1StringView(name);
}

} // namespace

TEST(ZorccHtmlWeb, TextVerbs)
{
    QTemporaryDir dir;
    const QString text = writeFile(dir.filePath(u"t.txt"_qs), "  a\xC3\xA4 & \xE2\x84\xA2\n\nb");
    const struct
    {
        QStringList args;
        QString out;
    } cases[] = {
        {{u"encode"_qs, u"--entities"_qs, text}, u"&nbsp;&nbsp;a&auml; &amp; &#153;\n\nb"_qs},
        {{u"encode"_qs, text}, u"&nbsp;&nbsp;a&#228; &#38; &#153;\n\nb"_qs},
        {{u"from-text"_qs, u"--crlf"_qs, text}, u"<p>&nbsp;&nbsp;a&auml; &amp; &#153;</p>\r\n<p>b</p>\r\n"_qs},
        {{u"from-text"_qs, text}, u"<p>&nbsp;&nbsp;a&auml; &amp; &#153;</p><p>b</p>"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const ZorccRun r = runZorcc(QStringList{u"html"_qs} + c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
    }

    const QString page = writeFile(dir.filePath(u"p.html"_qs),
                                   "<html><head><meta content=\"text/html; charset=iso-8859-1\"></head>"
                                   "<BODY>x&amp;lt;&#160;\xC3\xA4</BODY></html>");
    ZorccRun r = runZorcc({u"html"_qs, u"body"_qs, page});
    EXPECT_EQ(r.out, u"x&amp;lt;&#160;\u00E4"_qs);
    r = runZorcc({u"html"_qs, u"decode"_qs, page});
    EXPECT_TRUE(r.out.contains(u"<BODY>x< \u00E4</BODY>"_qs)) << r.out.toStdString();
    r = runZorcc({u"html"_qs, u"charset"_qs, u"--json"_qs, page});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"charset"_qs).toString(), u"iso-8859-1"_qs);
    EXPECT_TRUE(zorccBytes({u"html"_qs, u"own-charset"_qs, page}).endsWith("x&amp;lt;&#160;\xE4</BODY></html>"));
}

TEST(ZorccHtmlWeb, PackAndUnpackTheLetter)
{
    QTemporaryDir dir;
    const QString packed = dir.filePath(u"letter.binhtml"_qs);
    ZorccRun r = runZorcc({u"html"_qs, u"pack"_qs, examples("letter.html"), u"--images"_qs,
                           QStringLiteral(ZOR_SOURCE_DIR "/examples/html"), u"-o"_qs, packed});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"2 images (logo.png, signature.png)"_qs)) << r.out.toStdString();

    const QString files = dir.filePath(u"files"_qs);
    r = runZorcc({u"html"_qs, u"unpack"_qs, packed, u"--to"_qs, files, u"--json"_qs});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject j = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(j.value(u"files"_qs).toArray().toVariantList(),
              (QVariantList{u"logo.png"_qs, u"signature.png"_qs}));
    EXPECT_EQ(j.value(u"html"_qs).toString().toUtf8(), readFile(examples("letter.html")));
    EXPECT_EQ(readFile(files + u"/logo.png"_qs), readFile(examples("logo.png")));
    EXPECT_EQ(readFile(files + u"/signature.png"_qs), readFile(examples("signature.png")));

    const QString page = dir.filePath(u"page.html"_qs);
    r = runZorcc({u"html"_qs, u"unpack"_qs, packed, u"--embed"_qs, u"-o"_qs, page});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    const QByteArray html = readFile(page);
    EXPECT_TRUE(html.contains("src=\"data:image/png;base64," + readFile(examples("logo.png")).toBase64() + '"'));
    EXPECT_TRUE(html.contains("src=\"data:image/png;base64," + readFile(examples("signature.png")).toBase64() + '"'));
    EXPECT_FALSE(html.contains("%IMAGEPATH%"));

    // --file packs only what it names.
    r = runZorcc({u"html"_qs, u"pack"_qs, examples("letter.html"), u"--images"_qs,
                  QStringLiteral(ZOR_SOURCE_DIR "/examples/html"), u"--file"_qs, u"logo.png"_qs, u"-o"_qs, packed});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = runZorcc({u"html"_qs, u"unpack"_qs, packed, u"--json"_qs});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"files"_qs).toArray().size(), 1);
}

TEST(ZorccHtmlWeb, BadInputAndWrongUsage)
{
    QTemporaryDir dir;
    const QString page = writeFile(dir.filePath(u"p.html"_qs), "<img src=\"%IMAGEPATH%gone.png\">");
    const QString out = dir.filePath(u"out.bin"_qs);
    const struct
    {
        const char *name;
        QStringList args;
        int exitCode;
        QString err;
    } cases[] = {
        {"a referenced image is missing", {u"pack"_qs, page, u"--images"_qs, dir.path(), u"-o"_qs, out}, 1,
         u"Cannot open file"_qs},
        {"no output named", {u"pack"_qs, page, u"--images"_qs, dir.path()}, 2, u"-o OUT"_qs},
        {"a page is no block", {u"unpack"_qs, page}, 1, u"is no BinHTML block"_qs},
        {"unknown option", {u"encode"_qs, u"--names"_qs, page}, 2, u"unknown option --names"_qs},
        {"an option without its value", {u"unpack"_qs, page, u"--to"_qs}, 2, u"--to needs a value"_qs},
        {"not UTF-8", {u"decode"_qs, writeFile(dir.filePath(u"bad.txt"_qs), "\xFF\xFE")}, 1,
         u"is not valid UTF-8"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ZorccRun r = runZorcc(QStringList{u"html"_qs} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}
