#include "RichTextDump.h"

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/richtext/engine/LoadLock.h>
#include <ZorCompCore/richtext/engine/ReportHelper.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>

using namespace zor;
using namespace richtext_test;

namespace {

QByteArray encoded(const char *format, QColor colour)
{
    QImage img(8, 6, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return out;
}

// Text with a PNG, a JPEG and a metafile (which browsers cannot show), in
// that order.
void withPictures(TWPCustomRtfEdit &edit, QByteArray *png = nullptr)
{
    edit.LoadFromString(u"Pictures:"_qs, u"TXT"_qs);
    TWPDocument &doc = edit.Document();
    QTextCursor c(doc.Text());
    c.movePosition(QTextCursor::End);
    const QByteArray p = encoded("PNG", Qt::red);
    if (png)
        *png = p;
    for (const auto &[data, kind] : {std::pair{p, "png"}, {encoded("JPEG", Qt::blue), "jpeg"}, {PlaceableWmf(), "wmf"}}) {
        const QString name = doc.AddPicture(data, QString::fromLatin1(kind));
        ASSERT_FALSE(name.isEmpty()) << kind;
        doc.InsertPicture(c, name);
    }
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QStringList listed(THTMLImages &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << list[i];
    return out;
}

// True when another thread cannot take the load lock right now.
bool lockHeldElsewhere()
{
    return !std::async(std::launch::async, [] {
                const bool got = WPLoadLock().TryEnter();
                if (got)
                    WPLoadLock().Leave();
                return got;
            }).get();
}

} // namespace

TEST(ReportHelper, HTMLSaveFormatNames)
{
    const struct
    {
        bool OnlyBody, KeepFonts, UseQE;
        const char *Format;
    } rows[] = {
        {true, true, false, "HTML-nopageinfo,-onlybody,"},
        {false, false, true, "TQEWPHTMLWriter-usedefaultfont,"},
        {true, false, true, "TQEWPHTMLWriter-onlybody,-usedefaultfont,"},
        {false, true, false, "HTML-nopageinfo,"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.Format);
        EXPECT_EQ(S(TWPRichTextReportHelper::GetHTMLSaveWPFormat(r.OnlyBody, r.KeepFonts, r.UseQE)), r.Format);
    }
}

// Names "img" + prefix + count, own extension for PNG and JPEG, a metafile
// converted to JPEG; the files beside the page, their bare names in it.
TEST(ReportHelper, SavesImagesBesideTheHTMLUnderRunningNames)
{
    QTemporaryDir dir;
    TWPRichTextReportHelper helper;
    QByteArray png;
    withPictures(helper, &png);
    const QString page = dir.filePath("report.html");
    ASSERT_TRUE(helper.SaveToHTMLFile(page, u"Rep"_qs)) << S(helper.LastError());
    const QStringList names{"imgRep0.png", "imgRep1.jpg", "imgRep2.jpg"};
    EXPECT_EQ(listed(helper.HTMLFileList()), names);
    const QString html = readFile(page);
    for (const QString &n : names) {
        EXPECT_TRUE(html.contains("src=\"" + n + "\"")) << S(n) << "\n" << S(html);
        EXPECT_TRUE(QFile::exists(dir.filePath(n))) << S(n);
    }
    QFile f(dir.filePath("imgRep0.png"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), png) << "a PNG is written as it was read";
    QImageReader converted(dir.filePath("imgRep2.jpg"));
    EXPECT_EQ(converted.format(), "jpeg") << "the metafile became a JPEG";
    EXPECT_FALSE(converted.read().isNull());
    EXPECT_TRUE(html.contains("font-family:Arial")) << "fonts are the default unless kept";
    EXPECT_TRUE(html.contains("a:hover {")) << "the library's writer wrote it";
}

TEST(ReportHelper, AnImageFolderTakesTheImagesAndTheirNamesStayBare)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("pics"));
    TWPRichTextReportHelper helper;
    withPictures(helper);
    ASSERT_TRUE(helper.SaveToHTMLFile(dir.filePath("r.html"), {}, dir.filePath("pics")));
    EXPECT_TRUE(QFile::exists(dir.filePath("pics/img0.png")));
    EXPECT_TRUE(QFile::exists(dir.filePath("pics/img2.jpg")));
    EXPECT_FALSE(QFile::exists(dir.filePath("img0.png")));
    EXPECT_TRUE(readFile(dir.filePath("r.html")).contains("src=\"img0.png\""));
    EXPECT_EQ(S(helper.HTMLFileList().GetDestFolder("x")), S(dir.filePath("pics")));
}

// Without writing images the names are still given; afterwards the list is
// back to writing images and clearing itself, so a later save by format
// name starts again at 0.
TEST(ReportHelper, SettingsOfOneSaveDoNotLeakIntoTheNext)
{
    QTemporaryDir dir;
    TWPRichTextReportHelper helper;
    withPictures(helper);
    ASSERT_TRUE(helper.SaveToHTMLFile(dir.filePath("a.html"), u"A"_qs, {}, false, false, false));
    EXPECT_EQ(helper.HTMLFileList().Count(), 3);
    EXPECT_FALSE(QFile::exists(dir.filePath("imgA0.png"))) << "no files without WriteImages";
    EXPECT_TRUE(readFile(dir.filePath("a.html")).contains("src=\"imgA0.png\""));
    EXPECT_TRUE(helper.HTMLFileList().WriteImages);
    EXPECT_TRUE(helper.HTMLFileList().AutoClear);

    helper.HTMLFileList().BaseFolder = dir.path();
    helper.HTMLFileList().NamePrefix = u"B"_qs;
    ASSERT_FALSE(helper.SaveToBytes(u"TQEWPHTMLWriter"_qs).isEmpty());
    EXPECT_EQ(listed(helper.HTMLFileList()), QStringList({"img0.png", "img1.jpg", "img2.jpg"}))
        << "auto-clear empties the list and its prefix before the write";
    EXPECT_TRUE(QFile::exists(dir.filePath("img0.png")));

    helper.HTMLFileList().AutoClear = false;
    helper.SaveToBytes(u"TQEWPHTMLWriter"_qs);
    EXPECT_EQ(helper.HTMLFileList().Count(), 6) << "without auto-clear the numbers run on";
    EXPECT_EQ(S(helper.HTMLFileList()[5]), "img5.jpg");
}

TEST(ReportHelper, StreamSavesTakeTheirBaseFolderAndOptions)
{
    QTemporaryDir dir;
    TWPRichTextReportHelper helper;
    withPictures(helper);
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(helper.SaveToHTMLStream(buf, dir.path(), u"S"_qs, {}, false, true, u"-onlybody,"_qs));
    const QString html = QString::fromUtf8(out);
    EXPECT_FALSE(html.contains("<html>")) << "the options follow the format name";
    EXPECT_TRUE(html.contains("src=\"imgS1.jpg\""));
    EXPECT_TRUE(QFile::exists(dir.filePath("imgS1.jpg")));
}

// Loads hold the shared lock (another thread cannot take it meanwhile) and
// give it back however they end.
TEST(ReportHelper, LoadsHoldTheSharedLockAndReleaseIt)
{
    TWPRichTextReportHelper helper;
    bool heldDuringLoad = false;
    helper.OnAfterLoadText = [&] { heldDuringLoad = lockHeldElsewhere(); };
    ASSERT_TRUE(helper.LoadFromString(u"x"_qs, u"TXT"_qs));
    EXPECT_TRUE(heldDuringLoad);
    EXPECT_FALSE(helper.Modified()) << "a text just loaded is unchanged";
    heldDuringLoad = false;
    ASSERT_TRUE(helper.LoadFromBytes("{\\rtf1 y}"));
    EXPECT_TRUE(heldDuringLoad);
    EXPECT_FALSE(lockHeldElsewhere());

    EXPECT_FALSE(helper.LoadFromFile(u"/nonexistent/z.rtf"_qs));
    EXPECT_FALSE(helper.LastError().isEmpty());
    EXPECT_FALSE(lockHeldElsewhere()) << "a failed load gives the lock back";
    EXPECT_EQ(S(helper.Document().Text()->toPlainText()), "y") << "and keeps the old text";
}

TEST(ReportHelper, TabsBecomeBlanksWhenTheEditorTakesNoTabs)
{
    TWPRichTextReportHelper helper;
    helper.SetWantTabs(false);
    ASSERT_TRUE(helper.LoadFromString(u"a\tb"_qs, u"TXT"_qs));
    EXPECT_EQ(S(helper.Document().Text()->toPlainText()), "a b");
}

TEST(ReportHelper, MarginsAreZeroAndClearKeepsThePage)
{
    TWPRichTextReportHelper helper;
    EXPECT_EQ(helper.Document().PageSetup(0).MarginLeft, 0);
    ASSERT_TRUE(helper.LoadFromBytes(R"({\rtf1\margl2000\margt900 a\sect\sectd\margl1500 b})"));
    ASSERT_EQ(helper.Document().SectionCount(), 2);
    helper.ClearMargins();
    for (int s = 0; s < 2; ++s) {
        const TWPPageSetup &p = helper.Document().PageSetup(s);
        EXPECT_EQ(p.MarginLeft + p.MarginTop + p.MarginRight + p.MarginBottom, 0) << s;
    }
    helper.Document().PageSetup(0).PageWidth = 9000;
    helper.HTMLFileList().Add(u"img0.png"_qs);
    helper.HTMLFileList().NamePrefix = u"P"_qs;
    helper.Clear();
    EXPECT_TRUE(helper.Document().Text()->isEmpty());
    EXPECT_EQ(helper.HTMLFileList().Count(), 0);
    EXPECT_TRUE(helper.HTMLFileList().NamePrefix.isEmpty());
    EXPECT_EQ(helper.Document().PageSetup(0).PageWidth, 9000);
}

TEST(ReportHelper, SavesPlainText)
{
    QTemporaryDir dir;
    TWPRichTextReportHelper helper;
    ASSERT_TRUE(helper.LoadFromBytes(R"({\rtf1 {\b bold} text})"));
    ASSERT_TRUE(helper.SaveToTEXTFile(dir.filePath("t.txt")));
    EXPECT_EQ(S(readFile(dir.filePath("t.txt"))), "bold text");
}

namespace {

struct CodePageScope
{
    explicit CodePageScope(int cp) : saved(AnsiCodePage()) { SetAnsiCodePage(cp); }
    ~CodePageScope() { SetAnsiCodePage(saved); }
    int saved;
};

} // namespace

// Converting HTML text to the 8-bit code page turned what it lacks into '?':
// Greek and emoji were lost. They go in as character references now.
TEST(LoadHTMLFromStr, CharactersTheCodePageLacksBecomeReferences)
{
    CodePageScope cp(1252);
    const QString text = u"<p>\u00FC\u20AC \u03A9 \U0001F600 ?</p>"_qs;
    EXPECT_EQ(HTMLToAnsiBuffer(text), QByteArray("<p>\xFC\x80 &#937; &#128512; ?</p>"));
    TWPRichTextReportHelper helper;
    ASSERT_TRUE(helper.LoadHTMLFromStr(text));
    EXPECT_EQ(S(helper.Document().Text()->toPlainText()), "\u00FC\u20AC \u03A9 \U0001F600 ?");

    // Under a code page that has Greek, Greek stays 8-bit.
    CodePageScope greek(1253);
    EXPECT_EQ(HTMLToAnsiBuffer(u"\u03A9\u00FC"_qs), QByteArray("\xD9&#252;"));
}

// A page that names UTF-8 in its meta tag is read as UTF-8: 8-bit bytes of
// the ANSI code page would come out as replacement characters.
TEST(LoadHTMLFromStr, ADeclaredCharsetGetsReferencesForAllButASCII)
{
    CodePageScope cp(1252);
    const QString text = u"<html><head><meta charset=\"utf-8\"></head><body>gr\u00FC\u00DFe \u03A9</body></html>"_qs;
    EXPECT_TRUE(HTMLToAnsiBuffer(text).contains("gr&#252;&#223;e &#937;"));
    TWPRichTextReportHelper helper;
    ASSERT_TRUE(helper.LoadHTMLFromStr(text));
    EXPECT_EQ(S(helper.Document().Text()->toPlainText().trimmed()), "gr\u00FC\u00DFe \u03A9");
    TWPCustomRtfEdit plain;
    ASSERT_TRUE(LoadHTMLFromStr(plain, u"<meta charset=\"windows-1252\"><p>\u00FC</p>"_qs));
    EXPECT_EQ(S(plain.Document().Text()->toPlainText().trimmed()), "\u00FC");
}
