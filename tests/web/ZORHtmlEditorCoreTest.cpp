#include "../localisation/TestHttpServer.h"
#include "TestUtil.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/StringList.h>
#include <ZorCompCore/utilities/HTTPUtils.h>
#include <ZorCompCore/web/ZORClipboardClassifier.h>
#include <ZorCompCore/web/ZORHtmlEditorCore.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zor;
using ztest::HttpRequest;
using ztest::HttpResponse;
using ztest::HttpServer;

namespace {

QByteArray picture(const char *format, int w = 40, int h = 20, Qt::GlobalColor color = Qt::red)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList namesOf(const TStringList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out.append(list.Get(i));
    return out;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QString url(const QString &path)
{
    return TZORHtmlEditorCore::ConvertLocalPathToHTML(path, true);
}

// A temporary folder of its own for each test: private image folders and
// staging folders land there, so leftovers can be counted.
class TempRoot
{
public:
    TempRoot() : env("TMPDIR", QFile::encodeName(dir.path())) {}
    QString path() const { return dir.path(); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private:
    QTemporaryDir dir;
    ScopedEnv env;
};

} // namespace

// ---- names and paths

TEST(ZORHtmlEditorCoreNames, CompatibleFileNames)
{
    struct Row
    {
        const char *name;
        QString in, out;
    } rows[] = {
        {"keeps letters, digits, dot, underscore, blank", u"/a/b/My_Photo 1.jpg"_qs, u"My_Photo 1.jpg"_qs},
        {"replaces the rest", u"/a/x-(\u00e4)#.png"_qs, u"x_____.png"_qs},
        {"backslash separates folders", u"C:\\pics\\a.png"_qs, u"a.png"_qs},
        {"empty name", u"/a/b/"_qs, u"_"_qs},
        {"dot-dot is no folder", u"x/.."_qs, u"_.."_qs},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TZORHtmlEditorCore::ExtractHTMLCompatibleFileName(row.in), row.out);
    }
    const QString longName = QString(300, u'n') + u".png"_qs;
    const QString cut = TZORHtmlEditorCore::ExtractHTMLCompatibleFileName(longName);
    EXPECT_EQ(cut.size(), 200);
    EXPECT_TRUE(cut.endsWith(u".png"_qs));
}

TEST(ZORHtmlEditorCoreNames, LocalPathsAsFileUrls)
{
    EXPECT_EQ(TZORHtmlEditorCore::ConvertLocalPathToHTML(u"/tmp/a b/\u00fc#1.png"_qs, true),
              u"file:///tmp/a%20b/%C3%BC%231.png"_qs);
    EXPECT_EQ(TZORHtmlEditorCore::ConvertLocalPathToHTML(u"\\x\\y z"_qs, false), u"/x/y%20z"_qs);
    // Nothing that would end or break an HTML attribute survives.
    const QString odd = TZORHtmlEditorCore::ConvertLocalPathToHTML(u"/a\"b'c&d<e>f?g%h"_qs, false);
    EXPECT_EQ(odd, u"/a%22b%27c%26d%3Ce%3Ef%3Fg%25h"_qs);
    // And a file URL reads back as the path.
    EXPECT_EQ(LocalPathFromFileURL(TZORHtmlEditorCore::ConvertLocalPathToHTML(u"/a\"b c%d/\u00e9.png"_qs, true)),
              u"/a\"b c%d/\u00e9.png"_qs);
    EXPECT_EQ(LocalPathFromFileURL(u"file://localhost/x/y.png?size=2#top"_qs), u"/x/y.png"_qs);
    EXPECT_EQ(LocalPathFromFileURL(u"file://server/share/y.png"_qs), QString());

    EXPECT_TRUE(TZORHtmlEditorCore::GetIsGraphicTypeExtension(u"a.JPEG"_qs));
    EXPECT_TRUE(TZORHtmlEditorCore::GetIsGraphicTypeExtension(u"/x/a.eps"_qs));
    EXPECT_FALSE(TZORHtmlEditorCore::GetIsGraphicTypeExtension(u"/x.png/readme"_qs));
    EXPECT_FALSE(TZORHtmlEditorCore::GetIsGraphicTypeExtension(u"a.pdf"_qs));
}

TEST(ZORHtmlEditorCoreNames, ReferencesResolveToFiles)
{
    QTemporaryDir base;
    writeFile(base.filePath(u"a.png"_qs), "x");
    writeFile(base.filePath(u"sub dir/b.png"_qs), "x");
    const QString a = base.filePath(u"a.png"_qs), b = base.filePath(u"sub dir/b.png"_qs);
    struct Row
    {
        const char *name;
        QString in;
        bool found;
        QString out;
    } rows[] = {
        {"relative to the base", u"a.png"_qs, true, a},
        {"cid: is dropped", u"CID:a.png"_qs, true, a},
        {"percent-encoded relative URL", u"sub%20dir/b.png"_qs, true, b},
        {"backslashes", u"sub dir\\b.png"_qs, true, b},
        {"file URL", url(b), true, b},
        {"absolute path", a, true, a},
        {"web address", u"http://example.org/a.png"_qs, false, {}},
        {"secure web address", u"HTTPS://example.org/a.png"_qs, false, {}},
        {"ftp", u"ftp://example.org/a.png"_qs, false, {}},
        {"empty after cid:", u"cid:"_qs, false, {}},
        {"missing", u"missing.png"_qs, false, {}},
        {"a folder is no file", u"sub dir"_qs, false, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QString name = row.in;
        EXPECT_EQ(TZORHtmlEditorCore::ConvertLocalFileNameToFullPath(name, base.path()), row.found);
        EXPECT_EQ(name, row.found ? row.out : row.in);
    }
}

// ---- clipboard

TEST(ZORClipboardClassifier, FormatsAndTexts)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(u"a b.png"_qs), txt = dir.filePath(u"notes.txt"_qs);
    writeFile(png, picture("PNG"));
    writeFile(txt, "text");

    {
        SCOPED_TRACE("a file manager's list: only the pictures that exist");
        QMimeData m;
        m.setUrls({QUrl::fromLocalFile(txt), QUrl::fromLocalFile(png), QUrl::fromLocalFile(dir.filePath(u"gone.png"_qs))});
        m.setText(u"ignored"_qs);
        const TZORClipboardContent c = ClassifyClipboard(m, true);
        EXPECT_EQ(c.Kind, TZORClipboardKind::LocalImages);
        EXPECT_EQ(c.Files, QStringList{png});
    }
    {
        SCOPED_TRACE("a list without pictures leaves the text");
        QMimeData m;
        m.setUrls({QUrl::fromLocalFile(txt)});
        m.setText(u"plain"_qs);
        EXPECT_EQ(ClassifyClipboard(m, true).Kind, TZORClipboardKind::Text);
    }
    {
        SCOPED_TRACE("HTML before rich text, pictures and text");
        QMimeData m;
        m.setHtml(u"<b>x</b>"_qs);
        m.setData(u"text/rtf"_qs, "{\\rtf1 x}");
        m.setData(u"image/png"_qs, picture("PNG"));
        m.setText(u"x"_qs);
        const TZORClipboardContent c = ClassifyClipboard(m, true);
        EXPECT_EQ(c.Kind, TZORClipboardKind::HTML);
        EXPECT_EQ(c.Text, u"<b>x</b>"_qs);
    }
    {
        SCOPED_TRACE("rich text before pictures");
        QMimeData m;
        m.setData(u"text/rtf"_qs, "{\\rtf1 x}");
        m.setData(u"image/png"_qs, picture("PNG"));
        EXPECT_EQ(ClassifyClipboard(m, true).Kind, TZORClipboardKind::RTF);
    }
    {
        SCOPED_TRACE("picture bytes; a format that lies is skipped");
        QMimeData m;
        m.setData(u"image/gif"_qs, "no picture");
        m.setData(u"image/bmp"_qs, picture("BMP"));
        const TZORClipboardContent c = ClassifyClipboard(m, true);
        EXPECT_EQ(c.Kind, TZORClipboardKind::Image);
        EXPECT_EQ(c.Data, picture("BMP"));
    }

    struct Row
    {
        const char *name;
        QString text;
        TZORClipboardKind kind;
        QString out;
    } rows[] = {
        {"picture address, query ignored", u" https://example.org/a/b.JPG?x=1 "_qs, TZORClipboardKind::GraphicURL,
         u"https://example.org/a/b.JPG?x=1"_qs},
        {"page address", u"http://example.org/page"_qs, TZORClipboardKind::URL, u"http://example.org/page"_qs},
        {"picture name only in the query", u"http://example.org/show?f=a.png"_qs, TZORClipboardKind::URL,
         u"http://example.org/show?f=a.png"_qs},
        {"an address in a sentence is text", u"http://example.org is nice"_qs, TZORClipboardKind::Text,
         u"http://example.org is nice"_qs},
        {"picture path", png, TZORClipboardKind::LocalImage, png},
        {"picture file URL", QUrl::fromLocalFile(png).toString(QUrl::FullyEncoded), TZORClipboardKind::LocalImage, png},
        {"missing picture path is text", dir.filePath(u"gone.png"_qs), TZORClipboardKind::Text,
         dir.filePath(u"gone.png"_qs)},
        {"path of no picture type", txt, TZORClipboardKind::Text, txt},
        {"two lines", png + u"\n"_qs + png, TZORClipboardKind::Text, png + u"\n"_qs + png},
        {"blanks", u"  \n "_qs, TZORClipboardKind::Nothing, QString()},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QMimeData m;
        m.setText(row.text);
        const TZORClipboardContent c = ClassifyClipboard(m, true);
        EXPECT_EQ(c.Kind, row.kind);
        EXPECT_EQ(c.Text, row.out);
    }
    QMimeData m;
    m.setText(u"http://example.org/a.png"_qs);
    EXPECT_EQ(ClassifyClipboard(m, false).Kind, TZORClipboardKind::Text) << "link paste off";
}

// ---- image folder

TEST(ZORHtmlEditorCore, PrivateFolderIsOwnersOnlyAndGoesWithTheCore)
{
    TempRoot root;
    QString folder;
    {
        TZORHtmlEditorCore core;
        EXPECT_TRUE(root.entries().isEmpty()) << "no folder until one is needed";
        folder = core.ImagePath();
        EXPECT_TRUE(core.OwnsImagePath());
        EXPECT_TRUE(folder.startsWith(root.path()));
        const QFileInfo info(folder);
        ASSERT_TRUE(info.isDir());
        struct stat st{};
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        writeFile(folder + u"/a.png"_qs, "x");
    }
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(ZORHtmlEditorCore, LoadingEmptiesOnlyAnOwnedFolderOnce)
{
    TempRoot root;
    TZORHtmlEditorCore core;
    const QString owned = core.ImagePath();
    writeFile(owned + u"/old.png"_qs, "x");
    core.StartLoading();
    EXPECT_TRUE(filesIn(owned).isEmpty());
    writeFile(owned + u"/new.png"_qs, "x");
    core.StartLoading(); // nested: the folder already belongs to this load
    EXPECT_EQ(filesIn(owned), QStringList{u"new.png"_qs});
    core.EndLoading();
    core.EndLoading();
    EXPECT_EQ(core.LoadingLockCount(), 0);

    QTemporaryDir app;
    writeFile(app.filePath(u"keep.png"_qs), "x");
    {
        TZORHtmlEditorCore appCore;
        appCore.ImagePath();
        const QString before = appCore.ImagePath();
        appCore.SetImagePath(app.path());
        EXPECT_FALSE(QFileInfo::exists(before)) << "the private folder is given up";
        EXPECT_FALSE(appCore.OwnsImagePath());
        appCore.StartLoading();
        appCore.EndLoading();
        EXPECT_EQ(filesIn(app.path()), QStringList{u"keep.png"_qs});
    }
    EXPECT_EQ(filesIn(app.path()), QStringList{u"keep.png"_qs}) << "an application's folder outlives the core";
}

// ---- text

TEST(ZORHtmlEditorCore, HTMLTextMapsImagePathBothWays)
{
    TempRoot root;
    TZORHtmlEditorCore core;
    QString loaded;
    core.OnLoadDocument = [&](const QString &html) { loaded = html; };
    const QString text = u"<html><body><img src=\"%IMAGEPATH%a b.png\"><p>%IMAGEPATH%</p></body></html>"_qs;
    core.SetHTMLText(text);
    const QString folderUrl = url(core.ImagePath() + u"/"_qs);
    EXPECT_EQ(loaded, core.DocumentHTML());
    EXPECT_EQ(loaded, u"<html><body><img src=\""_qs + folderUrl + u"a b.png\"><p>"_qs + folderUrl + u"</p></body></html>"_qs);
    EXPECT_EQ(core.HTMLText(), text);

    core.SetBodyOnly(true);
    EXPECT_EQ(core.HTMLText(), u"<img src=\"%IMAGEPATH%a b.png\"><p>%IMAGEPATH%</p>"_qs);
    core.SetDocumentHTML(u"<p>no body</p>"_qs);
    EXPECT_EQ(core.HTMLText(), u"<p>no body</p>"_qs);
}

TEST(ZORHtmlEditorCore, EmptyTextIsAnEmptyBlock)
{
    TZORHtmlEditorCore core;
    core.SetHTMLText(QString());
    EXPECT_EQ(core.DocumentHTML(), u"<html><p>&nbsp;</p></html>"_qs);
    core.SetBodyOnly(true);
    core.SetDefaultBlockTag(u"div"_qs);
    core.SetHTMLText(QString());
    EXPECT_EQ(core.DocumentHTML(), u"<div>&nbsp;</div>"_qs);
}

TEST(ZORHtmlEditorCore, WhiteBodyBackgroundIsDropped)
{
    struct Row
    {
        const char *name;
        QString in, out;
    } rows[] = {
        {"white goes", u"<body style=\"color: red; background-color: #FFFFFF\">x</body>"_qs,
         u"<body style=\"color: red;\">x</body>"_qs},
        // #FEFFFF is 0xFFFFFE as a colour value (blue in the high byte).
        {"near white stays", u"<body style=\"background-color: #FEFFFF\">x</body>"_qs,
         u"<body style=\"background-color: #FEFFFF\">x</body>"_qs},
        {"with a picture it stays", u"<body style=\"background-color: white; background-image: url(a.png)\">x</body>"_qs,
         u"<body style=\"background-color: white; background-image: url(a.png)\">x</body>"_qs},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TZORHtmlEditorCore core;
        core.SetHTMLText(row.in);
        EXPECT_EQ(core.DocumentHTML(), row.out);
    }
}

// ---- pictures

TEST(ZORHtmlEditorCore, SamePictureTwiceGetsANumberedName)
{
    TempRoot root;
    QTemporaryDir src;
    const QString png = src.filePath(u"My Pic.png"_qs);
    writeFile(png, picture("PNG"));
    TZORHtmlEditorCore core;
    core.SetHTMLText(u"<html><body></body></html>"_qs);
    const QString folder = core.ImagePath();
    EXPECT_EQ(core.AddLocalImage(png, false), url(folder + u"/My Pic.png"_qs));
    EXPECT_EQ(core.AddLocalImage(png, false), url(folder + u"/InnlineMy Pic_1.png"_qs));
    EXPECT_EQ(readFile(folder + u"/InnlineMy Pic_1.png"_qs), picture("PNG"));
    EXPECT_EQ(core.HTMLText(), u"<html><body><img src=\"%IMAGEPATH%My%20Pic.png\"><img src=\"%IMAGEPATH%InnlineMy%20Pic_1.png\"></body></html>"_qs);

    // Names handed out count before the engine shows the pictures.
    TZORHtmlEditorCore widgetCore;
    QStringList inserted;
    widgetCore.OnInsertHTML = [&](const QString &f) { inserted.append(f); };
    widgetCore.SetInlineImagePrefix(u"P"_qs);
    widgetCore.AddLocalImage(png, false);
    widgetCore.AddLocalImage(png, false);
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_TRUE(inserted[1].contains(u"PMy%20Pic_1.png"_qs)) << inserted[1].toStdString();
    EXPECT_TRUE(widgetCore.DocumentHTML().isEmpty());
}

TEST(ZORHtmlEditorCore, FailedCopyInsertsNothing)
{
    TempRoot root;
    QTemporaryDir src;
    const QString png = src.filePath(u"a.png"_qs);
    writeFile(png, picture("PNG"));
    TZORHtmlEditorCore core;
    core.SetHTMLText(u"<p>x</p>"_qs);
    EXPECT_EQ(core.AddLocalImage(src.filePath(u"missing.png"_qs), false), QString());
    // A folder that cannot be: its parent is a file.
    core.SetImagePath(png + u"/pictures"_qs);
    EXPECT_EQ(core.AddLocalImage(png, false), QString());
    EXPECT_EQ(core.DocumentHTML(), u"<p>x</p>"_qs);
}

TEST(ZORHtmlEditorCore, EmbeddedPictures)
{
    QTemporaryDir src;
    const QString jpg = src.filePath(u"a.jpeg"_qs), bmp = src.filePath(u"b.bmp"_qs), eps = src.filePath(u"c.eps"_qs);
    writeFile(jpg, picture("JPG"));
    writeFile(bmp, picture("BMP", 7, 5));
    writeFile(eps, "%!PS");
    TZORHtmlEditorCore core;
    core.SetHTMLText(u"<body></body>"_qs);

    EXPECT_EQ(core.AddLocalImage(jpg, true), u"data:image/jpg;base64,"_qs + QString::fromLatin1(picture("JPG").toBase64()));
    const QString png = core.AddLocalImage(bmp, true);
    ASSERT_TRUE(png.startsWith(u"data:image/png;base64,"_qs));
    const QImage converted = QImage::fromData(QByteArray::fromBase64(png.mid(22).toLatin1()), "PNG");
    EXPECT_EQ(converted.size(), QSize(7, 5));
    try {
        core.AddLocalImage(eps, true);
        ADD_FAILURE() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), u"Unknown graphic format "_qs + eps);
    }
    EXPECT_EQ(core.DocumentHTML().count(u"<img"_qs), 2);
    EXPECT_TRUE(filesIn(core.ImagePath()).isEmpty()) << "embedding copies nothing";
}

TEST(ZORHtmlEditorCore, ImageListHoldsWhatTheTextUses)
{
    TempRoot root;
    TZORHtmlEditorCore core;
    const QString folder = core.ImagePath();
    for (const char *name : {"used.png", "unused.png", "remote.png", "text.png"})
        writeFile(folder + u'/' + QString::fromLatin1(name), "x");
    core.SetHTMLText(u"<img src=\"%IMAGEPATH%used.png\"><img src=\"http://example.org/remote.png\">"
                     "<p>%IMAGEPATH%text.png</p>"_qs);
    TStringList list;
    core.FillImageList(list);
    EXPECT_EQ(namesOf(list), QStringList{u"used.png"_qs});
}

// ---- container

TEST(ZORHtmlEditorCore, ContainerReopensInASecondCore)
{
    TempRoot root;
    QTemporaryDir src;
    writeFile(src.filePath(u"a.png"_qs), picture("PNG"));
    writeFile(src.filePath(u"b.jpg"_qs), picture("JPG", 10, 10, Qt::blue));
    TZORHtmlEditorCore first;
    first.SetHTMLText(u"<html><body><p>Hallo</p></body></html>"_qs);
    first.AddLocalImage(src.filePath(u"a.png"_qs), false);
    first.AddLocalImage(src.filePath(u"b.jpg"_qs), false);
    writeFile(first.ImagePath() + u"/stray.png"_qs, "not used");
    TMemoryStream stream;
    first.SaveToBinaryStream(stream, [](const QString &html) { return html + u"<!--saved-->"_qs; });

    TZORHtmlEditorCore second;
    second.SetHTMLText(u"<p>before</p>"_qs);
    const QString before = second.ImagePath();
    stream.SetPosition(0);
    second.LoadFromBinaryStream(stream, [](const QString &html) { return html + u"<!--loaded-->"_qs; });
    EXPECT_EQ(second.HTMLText(), first.HTMLText() + u"<!--saved--><!--loaded-->"_qs);
    EXPECT_FALSE(QFileInfo::exists(before)) << "the old private folder goes";
    EXPECT_TRUE(second.OwnsImagePath());
    EXPECT_EQ(filesIn(second.ImagePath()), (QStringList{u"a.png"_qs, u"b.jpg"_qs}));
    EXPECT_EQ(readFile(second.ImagePath() + u"/a.png"_qs), picture("PNG"));
    EXPECT_EQ(readFile(second.ImagePath() + u"/b.jpg"_qs), picture("JPG", 10, 10, Qt::blue));
    EXPECT_TRUE(second.DocumentHTML().contains(url(second.ImagePath() + u"/b.jpg"_qs)));

    // Into an application's folder: the files arrive there, nothing else stays.
    QTemporaryDir app;
    writeFile(app.filePath(u"other.png"_qs), "x");
    TZORHtmlEditorCore third;
    third.SetImagePath(app.path());
    stream.SetPosition(0);
    third.LoadFromBinaryStream(stream);
    EXPECT_EQ(third.ImagePath(), app.path());
    EXPECT_EQ(QDir(app.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{u"a.png"_qs, u"b.jpg"_qs, u"other.png"_qs}));
    EXPECT_EQ(readFile(app.filePath(u"a.png"_qs)), picture("PNG"));
}

TEST(ZORHtmlEditorCore, BadContainerLeavesTheDocumentAlone)
{
    TempRoot root;
    QTemporaryDir src;
    writeFile(src.filePath(u"a.png"_qs), picture("PNG"));
    TZORHtmlEditorCore writer;
    writer.SetHTMLText(u"<p>new</p>"_qs);
    writer.AddLocalImage(src.filePath(u"a.png"_qs), false);
    TMemoryStream full;
    writer.SaveToBinaryStream(full);
    const QByteArray bytes = full.ToBytes();

    TZORHtmlEditorCore core;
    core.SetHTMLText(u"<p>open</p>"_qs);
    core.AddLocalImage(src.filePath(u"a.png"_qs), false);
    const QString text = core.HTMLText();
    const QString folder = core.ImagePath();
    const QStringList entriesBefore = root.entries();
    for (qsizetype cut : {qsizetype(1), qsizetype(7), qsizetype(20), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        TBytesStream truncated(bytes.left(cut));
        EXPECT_THROW(core.LoadFromBinaryStream(truncated), EReadError);
        EXPECT_EQ(core.HTMLText(), text);
        EXPECT_EQ(core.ImagePath(), folder);
        EXPECT_EQ(readFile(folder + u"/a.png"_qs), picture("PNG"));
        EXPECT_EQ(root.entries(), entriesBefore) << "no staging folder stays behind";
    }
    // A step that fails after reading (here the caller's own) changes nothing either.
    TBytesStream whole(bytes);
    EXPECT_THROW(core.LoadFromBinaryStream(whole, [](const QString &) -> QString { throw EAbort(u""_qs); }), EAbort);
    EXPECT_EQ(core.HTMLText(), text);
    EXPECT_EQ(root.entries(), entriesBefore);
    EXPECT_EQ(core.LoadingLockCount(), 0);

    TBytesStream empty;
    core.LoadFromBinaryStream(empty);
    EXPECT_EQ(core.HTMLText(), u"<html><p>&nbsp;</p></html>"_qs) << "an empty stream is an empty text";
}

// ---- loading files

TEST(ZORHtmlEditorCore, LoadFromFileCopiesLocalPictures)
{
    TempRoot root;
    QTemporaryDir page;
    QTemporaryDir elsewhere;
    writeFile(page.filePath(u"pics/a.png"_qs), picture("PNG"));
    writeFile(page.filePath(u"b c.gif"_qs), picture("PNG", 3, 3));
    writeFile(elsewhere.filePath(u"a.png"_qs), picture("PNG", 5, 5, Qt::green));
    const QString html =
        u"<html><body><img src=\"pics/a.png\"><IMG SRC=\"b%20c.gif\"><img src=\"pics/a.png\" alt=\"again\">"
        "<img src=\""_qs
        + url(elsewhere.filePath(u"a.png"_qs))
        + u"\"><img src=\"data:image/png;base64,AA==\"><img src=\"http://example.org/x.png\">"
          "<img src=\"missing.png\"></body></html>"_qs;
    writeFile(page.filePath(u"page.html"_qs), html.toUtf8());

    TZORHtmlEditorCore core;
    core.LoadFromFile(page.filePath(u"page.html"_qs), true);
    const QString folder = core.ImagePath();
    EXPECT_EQ(filesIn(folder), (QStringList{u"Innlinea.png"_qs, u"Innlinea_1.png"_qs, u"Innlineb c.gif"_qs}));
    EXPECT_EQ(readFile(folder + u"/Innlinea_1.png"_qs), picture("PNG", 5, 5, Qt::green));
    EXPECT_EQ(core.HTMLText(),
              u"<html><body><img src=\"%IMAGEPATH%Innlinea.png\"><IMG SRC=\"%IMAGEPATH%Innlineb%20c.gif\">"
              "<img src=\"%IMAGEPATH%Innlinea.png\" alt=\"again\"><img src=\"%IMAGEPATH%Innlinea_1.png\">"
              "<img src=\"data:image/png;base64,AA==\"><img src=\"http://example.org/x.png\">"
              "<img src=\"missing.png\"></body></html>"_qs);

    TZORHtmlEditorCore plain;
    plain.LoadFromFile(page.filePath(u"page.html"_qs), false);
    EXPECT_EQ(plain.HTMLText(), html);
    EXPECT_THROW(plain.LoadFromFile(page.filePath(u"gone.html"_qs), false), EFOpenError);
    EXPECT_EQ(plain.HTMLText(), html);
}

// ---- paste

TEST(ZORHtmlEditorCorePaste, LocalPicturesTextAndHtml)
{
    TempRoot root;
    QTemporaryDir src;
    const QString a = src.filePath(u"a.png"_qs), b = src.filePath(u"b.png"_qs);
    writeFile(a, picture("PNG"));
    writeFile(b, picture("PNG", 4, 4));
    TZORHtmlEditorCore core;
    core.SetHTMLText(u"<body></body>"_qs);
    const QString folder = core.ImagePath();

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    TZORPasteResult r = core.PasteText(files, false);
    EXPECT_EQ(r.Kind, TZORPasteKind::Image);
    EXPECT_EQ(filesIn(folder), (QStringList{u"a.png"_qs, u"b.png"_qs}));
    EXPECT_EQ(r.HTML, u"<img src=\""_qs + url(folder + u"/a.png"_qs) + u"\"><img src=\""_qs + url(folder + u"/b.png"_qs) + u"\">"_qs);

    QMimeData path;
    path.setText(a);
    core.SetEmbedPastedImages(true);
    r = core.PasteText(path, false);
    EXPECT_EQ(r.Kind, TZORPasteKind::Image);
    EXPECT_TRUE(r.HTML.startsWith(u"<img src=\"data:image/png;base64,"_qs));
    core.SetEmbedPastedImages(false);

    QMimeData text;
    text.setText(u"a<b\r\nc & d"_qs);
    r = core.PasteText(text, false);
    EXPECT_EQ(r.Kind, TZORPasteKind::Text);
    EXPECT_EQ(r.HTML, u"a&lt;b<br>c &amp; d"_qs);

    // HTML keeps its pictures from the folder and copies in the others.
    QMimeData html;
    html.setHtml(u"<html><body><p>x</p><img src=\""_qs + url(b) + u"\"><img src=\""_qs + url(folder + u"/a.png"_qs)
                 + u"\"></body></html>"_qs);
    r = core.PasteText(html, false);
    EXPECT_EQ(r.Kind, TZORPasteKind::HTML);
    EXPECT_EQ(r.HTML, u"<p>x</p><img src=\""_qs + url(folder + u"/Innlineb_1.png"_qs) + u"\"><img src=\""_qs
                          + url(folder + u"/a.png"_qs) + u"\">"_qs);
    EXPECT_TRUE(core.DocumentHTML().endsWith(r.HTML + u"</body>"_qs));
}

TEST(ZORHtmlEditorCorePaste, RichTextAndPictureBytes)
{
    TempRoot root;
    TZORHtmlEditorCore core;
    core.SetHTMLText(u"<body></body>"_qs);

    QMimeData rtf;
    rtf.setData(u"text/rtf"_qs, "{\\rtf1\\ansi Hello {\\b bold} world\\par}");
    TZORPasteResult r = core.PasteText(rtf, false);
    EXPECT_EQ(r.Kind, TZORPasteKind::HTML);
    EXPECT_TRUE(r.HTML.contains(u"bold"_qs)) << r.HTML.toStdString();
    EXPECT_FALSE(r.HTML.contains(u"<body"_qs, Qt::CaseInsensitive)) << "the body's content only";

    QMimeData image;
    image.setImageData(QImage::fromData(picture("PNG", 6, 3)));
    r = core.PasteText(image, false);
    EXPECT_EQ(r.Kind, TZORPasteKind::Image);
    const QString folder = core.ImagePath();
    ASSERT_EQ(filesIn(folder), QStringList{u"image.png"_qs});
    EXPECT_EQ(QImage(folder + u"/image.png"_qs).size(), QSize(6, 3));
}

class ZORHtmlEditorCoreDownload : public ::testing::Test
{
protected:
    TempRoot root;
    QByteArray photo = picture("PNG", 400, 200, Qt::blue);
    HttpServer server{[this](const HttpRequest &r) {
        HttpResponse resp;
        if (r.target == "/pics/photo.png")
            resp.body = photo;
        else if (r.target == "/fake.png")
            resp.body = "<html>not a picture</html>";
        else {
            resp.status = 404;
            resp.reason = "Not Found";
        }
        return resp;
    }};
    TZORHtmlEditorCore core;
    QList<bool> busy;

    void SetUp() override
    {
        core.SetHTMLText(u"<html><body></body></html>"_qs);
        core.OnBusy = [this](bool b) { busy.append(b); };
    }
    TZORPasteResult paste(const QString &text, bool rightCtrl = false)
    {
        QMimeData m;
        m.setText(text);
        return core.PasteText(m, rightCtrl);
    }
};

TEST_F(ZORHtmlEditorCoreDownload, PictureAddressBecomesAThumbnailLink)
{
    const QString address = server.Url(u"/pics/photo.png"_qs);
    const TZORPasteResult r = paste(address);
    EXPECT_EQ(r.Kind, TZORPasteKind::ThumbnailLink);
    const QString thumb = core.ImagePath() + u"/photo.jpg"_qs;
    EXPECT_EQ(r.HTML, u"<a class=\"zor-auto-lnkpast-thumb-lnk\" target=\"_blank\" href=\""_qs + address
                          + u"\"><img class=\"zor-auto-lnkpast-thumb-img\" src=\""_qs + url(thumb) + u"\"></a>"_qs);
    QImageReader reader(thumb);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.size(), QSize(200, 100));
    EXPECT_EQ(busy, (QList<bool>{true, false}));
    TStringList used;
    core.FillImageList(used);
    EXPECT_EQ(namesOf(used), QStringList{u"photo.jpg"_qs});
}

TEST_F(ZORHtmlEditorCoreDownload, DocumentStyleSetsFormatAndSize)
{
    core.SetHTMLText(u"<html><head><style>.zor-auto-lnkpast-thumb-img { thumbfmt: png; width: 50px; height: 40 }"
                     "</style></head><body></body></html>"_qs);
    EXPECT_EQ(paste(server.Url(u"/pics/photo.png"_qs)).Kind, TZORPasteKind::ThumbnailLink);
    QImageReader reader(core.ImagePath() + u"/photo.png"_qs);
    EXPECT_EQ(reader.format(), QByteArray("png"));
    EXPECT_EQ(reader.size(), QSize(50, 40));

    core.SetEmbedPastedImages(true);
    const TZORPasteResult r = paste(server.Url(u"/pics/photo.png"_qs));
    const qsizetype at = r.HTML.indexOf(u"data:image/png;base64,"_qs);
    ASSERT_GE(at, 0) << r.HTML.toStdString();
    const QString data = r.HTML.mid(at + 22, r.HTML.indexOf(u'"', at) - at - 22);
    EXPECT_EQ(QImage::fromData(QByteArray::fromBase64(data.toLatin1())).size(), QSize(50, 40));
    EXPECT_EQ(filesIn(core.ImagePath()), QStringList{u"photo.png"_qs}) << "embedding writes no file";
}

TEST_F(ZORHtmlEditorCoreDownload, FormatWithoutWriterFallsBackUnderItsOwnName)
{
    // Qt reads GIF but writes none: the thumbnail is a PNG and says so.
    core.SetHTMLText(u"<html><head><style>.zor-auto-lnkpast-thumb-img { thumbfmt: gif }</style></head><body></body></html>"_qs);
    paste(server.Url(u"/pics/photo.png"_qs));
    EXPECT_EQ(filesIn(core.ImagePath()), QStringList{u"photo.png"_qs});
    EXPECT_EQ(QImageReader(core.ImagePath() + u"/photo.png"_qs).format(), QByteArray("png"));
    core.SetEmbedPastedImages(true);
    EXPECT_TRUE(paste(server.Url(u"/pics/photo.png"_qs)).HTML.contains(u"src=\"data:image/png;base64,"_qs));
}

TEST_F(ZORHtmlEditorCoreDownload, RightControlOrNoPictureGivesAPlainLink)
{
    const QString address = server.Url(u"/pics/photo.png"_qs);
    TZORPasteResult r = paste(address, true);
    EXPECT_EQ(r.Kind, TZORPasteKind::Link);
    EXPECT_EQ(r.HTML, u"<a href=\""_qs + address + u"\">"_qs + THTTPUtils::RemoveProtocol(address) + u"</a>"_qs);
    EXPECT_EQ(server.RequestCount(), 0) << "nothing is downloaded";

    const QString fake = server.Url(u"/fake.png"_qs);
    r = paste(fake);
    EXPECT_EQ(r.Kind, TZORPasteKind::Link);
    EXPECT_EQ(r.HTML, u"<a target=\"_blank\" href=\""_qs + fake + u"\">"_qs + THTTPUtils::RemoveProtocol(fake) + u"</a>"_qs);

    r = paste(u"https://example.org/a?b=1&c=2"_qs);
    EXPECT_EQ(r.HTML, u"<a href=\"https://example.org/a?b=1&amp;c=2\">example.org/a?b=1&amp;c=2</a>"_qs);
    EXPECT_TRUE(filesIn(core.ImagePath()).isEmpty());
}

TEST_F(ZORHtmlEditorCoreDownload, FailedDownloadInsertsNothing)
{
    const QString before = core.DocumentHTML();
    EXPECT_THROW(paste(server.Url(u"/missing.png"_qs)), EHTTPProtocolException);
    EXPECT_EQ(busy, (QList<bool>{true, false})) << "the busy state ends before the error passes";
    EXPECT_EQ(core.DocumentHTML(), before);

    // Waiting with a callback (the widget's event loop) ends as well.
    core.OnWait = [] {};
    EXPECT_EQ(paste(server.Url(u"/pics/photo.png"_qs)).Kind, TZORPasteKind::ThumbnailLink);
}
