#include "RichTextDump.h"

#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/richtext/engine/HtmlReader.h>
#include <ZorCompCore/richtext/engine/HtmlWriter.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/TextReader.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

QString plain(TWPCustomRtfEdit &e)
{
    return Plain(e.Document());
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Serves a name of its own and marks what it writes.
class MarkedWriter : public TWPHTMLWriter
{
public:
    bool UseForFilterName(const QString &name) const override
    {
        return name.compare(u"MarkedHTML", Qt::CaseInsensitive) == 0;
    }

protected:
    void WriteParagraphStart(const QTextBlock &) override { Out(u"<p class=\"marked\">"_qs); }
};

} // namespace

TEST(FormatName, NameAndOptionsSplitWhereTheOptionsBegin)
{
    const auto check = [](const char *in, const char *name, const char *options) {
        const TWPFormatName f = ParseFormatName(QString::fromLatin1(in));
        EXPECT_EQ(S(f.Name), name) << in;
        EXPECT_EQ(S(f.Options), options) << in;
    };
    check("HTML-nopageinfo,-onlybody,", "HTML", "-nopageinfo,-onlybody,");
    check("TQEWPHTMLWriter-usedefaultfont,", "TQEWPHTMLWriter", "-usedefaultfont,");
    check("HTML,-onlybody", "HTML", ",-onlybody");
    check(" rtf ", "rtf", "");
    check("", "", "");
}

TEST(RtfEdit, LoadsByNameInAnyCaseByExtensionAndByLooking)
{
    QTemporaryDir dir;
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 {\\b bold} text}", "rtf"));
    EXPECT_EQ(S(plain(e)), "bold text");
    EXPECT_TRUE(FormatOf(e.Document(), "bold").fontWeight() >= QFont::Bold);

    // Bytes that are RTF are read as RTF whatever the file is called.
    writeFile(dir.filePath("letter.txt"), "{\\rtf1 from rtf}");
    ASSERT_TRUE(e.LoadFromFile(dir.filePath("letter.txt")));
    EXPECT_EQ(S(plain(e)), "from rtf");

    // An extension names HTML even without a doctype; a .txt keeps markup as text.
    writeFile(dir.filePath("page.htm"), "<p>one</p><p>two &amp; more</p>");
    ASSERT_TRUE(e.LoadFromFile(dir.filePath("page.htm")));
    EXPECT_EQ(S(plain(e)), "one|two & more");
    writeFile(dir.filePath("page.txt"), "<p>one</p>");
    ASSERT_TRUE(e.LoadFromFile(dir.filePath("page.txt")));
    EXPECT_EQ(S(plain(e)), "<p>one</p>");

    // No name, no telling extension: HTML by its markup, else text.
    ASSERT_TRUE(e.LoadFromBytes("<!DOCTYPE html><html><body><b>x</b> y</body></html>"));
    EXPECT_EQ(S(plain(e)), "x y");
    ASSERT_TRUE(e.LoadFromBytes("line 1\nline 2"));
    EXPECT_EQ(S(plain(e)), "line 1|line 2");

    // "WPTOOLS" is our RTF: data items come back.
    SetRTFDataColorValue(e.Document(), "page-background-color", 0x123456);
    const QByteArray ours = e.SaveToBytes("WpTools");
    TWPCustomRtfEdit other;
    ASSERT_TRUE(other.LoadFromBytes(ours, "WPTOOLS"));
    EXPECT_EQ(GetRTFDataColorValue(other.Document(), "page-background-color", 0), 0x123456u);
}

TEST(RtfEdit, AFailedLoadKeepsTheOldTextAndSaysWhy)
{
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromString("keep me", "TXT"));
    QTextDocument *before = e.Document().Text();

    EXPECT_FALSE(e.LoadFromBytes("plain words", "RTF"));
    EXPECT_FALSE(e.LastError().isEmpty());
    EXPECT_FALSE(e.LoadFromBytes("%PDF-1.4", "PDF"));
    EXPECT_TRUE(e.LastError().contains("PDF"));
    EXPECT_FALSE(e.LoadFromBytes("x", "NoSuchFormat"));
    EXPECT_TRUE(e.LastError().contains("NoSuchFormat"));
    EXPECT_FALSE(e.LoadFromFile(QDir::tempPath() + "/no/such/file.rtf"));
    EXPECT_TRUE(e.LastError().contains("file.rtf"));

    EXPECT_EQ(S(plain(e)), "keep me");
    EXPECT_EQ(e.Document().Text(), before) << "nothing was replaced";
    ASSERT_TRUE(e.LoadFromString("new", "TXT"));
    EXPECT_TRUE(e.LastError().isEmpty()) << "a good load clears the last error";
}

TEST(RtfEdit, SavesByNameWithOptionsAndRegisteredWriters)
{
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1{\\info{\\title T}}caf\\'e9 {\\v secret}\\par two}", "RTF"));

    const QString whole = QString::fromUtf8(e.SaveToBytes("html"));
    EXPECT_TRUE(whole.contains("<html")) << S(whole);
    EXPECT_TRUE(whole.contains("@page")) << "page information unless asked not to";
    const QString body = QString::fromUtf8(e.SaveToBytes("HTML-onlybody,-nopageinfo,"));
    EXPECT_FALSE(body.contains("<html")) << S(body);
    EXPECT_TRUE(body.contains(u"café"));

    EXPECT_EQ(e.SaveToBytes("TXT"), QByteArray("caf\xC3\xA9 \r\ntwo"));
    EXPECT_EQ(e.SaveToBytes("ansi"), ToAnsi(u"café \r\ntwo"_qs));
    EXPECT_TRUE(e.SaveToBytes("PDF").startsWith("%PDF"));
    EXPECT_TRUE(e.SaveToBytes("ODT").startsWith("PK")) << "an ODF package is a zip";

    // A writer registered later is asked first; names it does not serve
    // still reach the built-in writer.
    TWPToolsEnviroment::Global().RegisterHTMLWriter([] { return std::make_unique<MarkedWriter>(); });
    EXPECT_TRUE(QString::fromUtf8(e.SaveToBytes("markedhtml-onlybody")).startsWith("<p class=\"marked\">"));
    EXPECT_FALSE(QString::fromUtf8(e.SaveToBytes("HTML")).contains("marked"));
    EXPECT_TRUE(e.SaveToBytes("unknown").isEmpty());
    EXPECT_TRUE(e.LastError().contains("unknown"));

    // Hooks see each writer before it writes.
    int prepared = 0;
    e.OnPrepareHTMLWriter = [&](TWPHTMLWriter &w) {
        ++prepared;
        EXPECT_TRUE(w.OnlyBody());
    };
    e.SaveToBytes("HTML-onlybody");
    EXPECT_EQ(prepared, 1);
}

TEST(RtfEdit, RegisteredReadersTakeTheirFormatNames)
{
    TWPToolsEnviroment::Global().RegisterReader(
        "UPPER", [](const QByteArray &data, TWPDocument &doc, QString &error) {
            if (data.isEmpty()) {
                error = "nothing to read";
                return false;
            }
            QTextCursor(doc.Text()).insertText(QString::fromUtf8(data).toUpper());
            return true;
        });
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("shout", "upper"));
    EXPECT_EQ(S(plain(e)), "SHOUT");
    EXPECT_FALSE(e.LoadFromBytes("", "Upper"));
    EXPECT_EQ(S(e.LastError()), "nothing to read");
    EXPECT_EQ(S(plain(e)), "SHOUT");
}

TEST(RtfEdit, InsertingPutsTheTextAtTheCursorWithItsPictures)
{
    const QByteArray red = PngBytes({4, 4}, Qt::red);
    const QByteArray blue = PngBytes({4, 4}, Qt::blue);
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 A{\\pict\\pngblip " + red.toHex() + "}Z}", "RTF"));
    e.TextCursor().setPosition(1); // between A and the red picture
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 {\\b b}{\\pict\\pngblip " + blue.toHex() + "}}", "RTF", true));

    EXPECT_EQ(S(plain(e)), "Ab\xEF\xBF\xBC\xEF\xBF\xBCZ");
    EXPECT_TRUE(FormatOf(e.Document(), "b").fontWeight() >= QFont::Bold);
    // Both documents named their picture alike; each must still show its own.
    QStringList colours;
    for (auto it = e.Document().Text()->begin().begin(); !it.atEnd(); ++it) {
        const QTextCharFormat cf = it.fragment().charFormat();
        if (!cf.isImageFormat())
            continue;
        const TWPPicture *p = e.Document().Picture(cf.stringProperty(wpPictureName));
        ASSERT_NE(p, nullptr);
        colours << (p->Data == red ? "red" : p->Data == blue ? "blue" : "?");
    }
    EXPECT_EQ(colours, QStringList({"blue", "red"}));

    // Protected text refuses what would land inside it.
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 {\\protect locked}}", "RTF"));
    e.TextCursor().setPosition(3);
    EXPECT_FALSE(e.LoadFromBytes("x", "TXT", true));
    EXPECT_EQ(S(plain(e)), "locked");
}

TEST(RtfEdit, SavingTheSelectionAndSavingFilesSafely)
{
    QTemporaryDir dir;
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromString("hello {\\b world}", "TXT"));
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 hello {\\b world}}", "RTF"));
    e.TextCursor().setPosition(6);
    e.TextCursor().setPosition(11, QTextCursor::KeepAnchor);
    EXPECT_EQ(e.SaveToBytes("TXT", true), "world");
    TWPDocument part;
    TWPRTFReader::Read(e.SaveToBytes("RTF", true), part);
    EXPECT_EQ(S(Plain(part)), "world");
    EXPECT_TRUE(FormatOf(part, "world").fontWeight() >= QFont::Bold) << "formats go with the selection";

    const QString file = dir.filePath("out.rtf");
    e.TextCursor().setPosition(0);
    QTextCursor(e.Document().Text()).insertText("changed ");
    EXPECT_TRUE(e.Modified());
    ASSERT_TRUE(e.SaveToFile(file)) << S(e.LastError());
    EXPECT_FALSE(e.Modified());
    TWPCustomRtfEdit back;
    ASSERT_TRUE(back.LoadFromFile(file));
    EXPECT_EQ(S(plain(back)), "changed hello world") << "the extension chose RTF";

    // A save that cannot be made leaves the old file whole.
    EXPECT_FALSE(e.SaveToFile(file, false, "NoSuchFormat"));
    ASSERT_TRUE(back.LoadFromFile(file));
    EXPECT_EQ(S(plain(back)), "changed hello world");
    EXPECT_FALSE(e.SaveToFile(dir.filePath("missing/folder/out.rtf")));
    EXPECT_TRUE(e.LastError().contains("out.rtf"));

    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(e.SaveToStream(buf, "TXT"));
    EXPECT_EQ(buf.data(), "changed hello world");
}

TEST(RtfEdit, TabsBecomeBlanksAfterLoadingWhenTabsAreNotWanted)
{
    TWPCustomRtfEdit e;
    int loads = 0;
    e.OnAfterLoadText = [&] { ++loads; };
    ASSERT_TRUE(e.LoadFromString("a\tb\t\tc", "TXT"));
    EXPECT_EQ(S(plain(e)), "a\tb\t\tc");
    e.SetWantTabs(false);
    ASSERT_TRUE(e.LoadFromString("a\tb", "TXT"));
    EXPECT_EQ(S(plain(e)), "a b");
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 x\\tab y\\tab\\tab z}", "RTF"));
    EXPECT_EQ(S(plain(e)), "x y  z");
    EXPECT_FALSE(e.Modified()) << "the clean-up is part of loading";
    EXPECT_FALSE(e.LoadFromBytes("no", "RTF"));
    EXPECT_EQ(loads, 3) << "after every successful load, not after a failed one";
}

TEST(TextReader, LinesPagesAndEncodings)
{
    TWPDocument doc;
    TWPTextReader::Read(u"a\r\nb\rc\n\fd\te\n"_qs, doc);
    EXPECT_EQ(S(Plain(doc)), "a|b|c|d\te");
    const QTextBlock d = doc.Text()->findBlockByNumber(3);
    EXPECT_TRUE(d.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    EXPECT_FALSE(doc.Text()->findBlockByNumber(2).blockFormat().pageBreakPolicy()
                 & QTextFormat::PageBreak_AlwaysBefore);
    TWPTextReader::Read(u"x\n\ny"_qs, doc);
    EXPECT_EQ(S(Plain(doc)), "x||y") << "an empty line is an empty paragraph";

    EXPECT_EQ(S(TWPTextReader::Decode("caf\xC3\xA9")), "caf\xC3\xA9");
    EXPECT_EQ(TWPTextReader::Decode("caf\xE9"), FromAnsi("caf\xE9")) << "not UTF-8: the ANSI code page";
    EXPECT_EQ(TWPTextReader::Decode("caf\xC3\xA9", true), FromAnsi("caf\xC3\xA9"));
    EXPECT_EQ(S(TWPTextReader::Decode(QByteArray("\xFF\xFE" "h\0i\0", 6))), "hi");
    EXPECT_EQ(S(TWPTextReader::Decode(QByteArray("\xFE\xFF\0h\0i", 6))), "hi");
    EXPECT_EQ(S(TWPTextReader::Decode("\xEF\xBB\xBFok")), "ok");
}

TEST(HtmlReader, TitleBackgroundAndPicturesFromTheFolderOnly)
{
    QTemporaryDir top;
    ASSERT_TRUE(QDir(top.path()).mkpath("base/sub"));
    const QDir dir(top.filePath("base"));
    const QByteArray png = PngBytes({3, 2}, Qt::green);
    writeFile(dir.filePath("pic.png"), png);
    writeFile(top.filePath("pic.png"), PngBytes({7, 7}, Qt::blue)); // outside the folder
    writeFile(dir.filePath("sub/in.png"), PngBytes({5, 5}, Qt::red));
    writeFile(dir.filePath("not-a-picture.png"), "text");

    TWPDocument doc;
    TWPHTMLReader::Read(uR"(<html><head><title> My  page </title></head>
<body bgcolor="navy"><p>A<img src="pic.png">B<img src="sub/in.png">
<img src="../pic.png"><img src="/etc/hostname"><img src="http://example.org/x.png"><img src="not-a-picture.png">C</p></body></html>)"_qs,
                        doc, dir.path());
    EXPECT_EQ(S(doc.Info("title")), "My page");
    EXPECT_EQ(GetRTFDataColorValue(doc, "page-background-color", 1), 0x800000u) << "navy";
    EXPECT_EQ(doc.PictureNames().size(), 2);
    QList<QByteArray> shown;
    for (auto it = doc.Text()->begin().begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isImageFormat()) {
            const TWPPicture *p = doc.Picture(it.fragment().charFormat().stringProperty(wpPictureName));
            ASSERT_NE(p, nullptr);
            shown << p->Data;
        }
    ASSERT_EQ(shown.size(), 2) << "pictures outside the folder, remote or unreadable are left out";
    EXPECT_EQ(shown[0], png);

    // A CSS background counts too; without one no colour item is made.
    TWPHTMLReader::Read(u"<body style=\"margin:0; background: #FF8000 url(x.png)\">x</body>"_qs, doc);
    EXPECT_EQ(GetRTFDataColorValue(doc, "page-background-color", 1), 0x0080FFu);
    TWPHTMLReader::Read(u"<body>x</body>"_qs, doc);
    EXPECT_FALSE(doc.HasDataItem("page-background-color"));
    EXPECT_TRUE(doc.Info("title").isEmpty()) << "a new read starts from nothing";

    // Without a base folder nothing is read from disk at all.
    TWPHTMLReader::Read(u"<p><img src=\"pic.png\"></p>"_qs, doc);
    EXPECT_TRUE(doc.PictureNames().isEmpty());
}

TEST(HtmlReader, PictureSourceComesFirstAndOtherFormatsBecomePng)
{
    QTemporaryDir dir;
    const QByteArray onDisk = PngBytes({2, 2}, Qt::red);
    writeFile(dir.filePath("a.png"), onDisk);
    const QByteArray held = PngBytes({3, 3}, Qt::green);
    QImage gifImage(5, 4, QImage::Format_ARGB32);
    gifImage.fill(Qt::blue);
    QByteArray bmp;
    {
        QBuffer buf(&bmp);
        buf.open(QIODevice::WriteOnly);
        ASSERT_TRUE(gifImage.save(&buf, "BMP"));
    }
    QStringList asked;
    const TWPPictureSource source = [&](const QString &src) -> QByteArray {
        asked << src;
        if (src == u"a.png")
            return held; // the source's picture wins over the file of that name
        if (src == u"x:bmp")
            return bmp;
        if (src == u"x:junk")
            return "not a picture";
        return {};
    };
    TWPDocument doc;
    TWPHTMLReader::Read(u"<p><img src=\"a.png\"><img src=\"x:bmp\"><img src=\"x:junk\"><img src=\"x:none\"></p>"_qs,
                        doc, dir.path(), source);
    EXPECT_EQ(asked, (QStringList{"a.png", "x:bmp", "x:junk", "x:none"}));
    QList<const TWPPicture *> shown;
    for (auto it = doc.Text()->begin().begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().isImageFormat())
            shown << doc.Picture(it.fragment().charFormat().stringProperty(wpPictureName));
    ASSERT_EQ(shown.size(), 2) << "unreadable and unknown sources are left out";
    ASSERT_TRUE(shown[0] && shown[1]);
    EXPECT_EQ(shown[0]->Data, held);
    EXPECT_EQ(shown[1]->Kind, "png") << "a BMP is kept as PNG, which every writer carries";
    QImage back;
    ASSERT_TRUE(back.loadFromData(shown[1]->Data, "PNG"));
    EXPECT_EQ(back.size(), QSize(5, 4));
    EXPECT_EQ(back.pixelColor(0, 0), QColor(Qt::blue));

    // Names the source does not know still come from the folder.
    TWPHTMLReader::Read(u"<img src=\"b.png\">"_qs, doc, dir.path(), source);
    EXPECT_TRUE(doc.PictureNames().isEmpty());
    writeFile(dir.filePath("b.png"), onDisk);
    TWPHTMLReader::Read(u"<img src=\"b.png\">"_qs, doc, dir.path(), source);
    ASSERT_EQ(doc.PictureNames().size(), 1);
    EXPECT_EQ(doc.Picture(doc.PictureNames()[0])->Data, onDisk);
}
