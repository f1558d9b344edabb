#include "RichTextDump.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/HtmlReader.h>
#include <ZorCompCore/richtext/engine/HtmlWriter.h>
#include <ZorCompCore/richtext/engine/PicturePlacement.h>
#include <ZorCompCore/richtext/engine/RtfReader.h>
#include <ZorCompCore/richtext/engine/TextWriter.h>

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

const QByteArray kDoc = R"({\rtf1{\stylesheet{\s1\qc\b\fs28 Title Style;}}
{\*\listtable{\list{\listlevel\levelnfc0{\leveltext\'02\'00.;}}\listid1}{\list{\listlevel\levelnfc23{\leveltext\'01\u8226 ?;}}\listid2}}
{\*\listoverridetable{\listoverride\listid1\ls1}{\listoverride\listid2\ls2}}
{\info{\title A <Title>}}
\pard\s1 Heading\par
\pard shown {\v secret} & <b>not bold</b> {\field{\*\fldinst HYPERLINK "http://x/?a=1&b=2"}{\fldrslt link}} page {\field{\*\fldinst PAGE}{\fldrslt 9}}\par
\pard\ls1 one\par\pard\ls1 two\par\pard\ls2 dot\par
\trowd\clmgf\cellx1000\clmrg\cellx2000\clvmgf\cellx3000\pard\intbl wide\cell\cell tall\cell\row
\trowd\cellx1000\cellx2000\clvmrg\cellx3000\pard\intbl a\cell b\cell\cell\row
\pard end})";

QString text(const QByteArray &rtf)
{
    TWPDocument doc;
    TWPRTFReader::Read(rtf, doc);
    TWPFieldContext ctx;
    ctx.Page = 4;
    doc.SetFieldContext(ctx);
    return TWPTextWriter::Write(doc, "\n");
}

} // namespace

TEST(TextWriter, ShowsWhatAReaderSees)
{
    const QString t = text(kDoc);
    EXPECT_EQ(S(t), "Heading\n"
                    "shown  & <b>not bold</b> link page 4\n"
                    "1.\tone\n2.\ttwo\n\u2022\tdot\n"
                    "wide\ttall\na\tb\n"
                    "end");
    EXPECT_FALSE(t.contains("secret")) << "hidden text is left out";
}

TEST(TextWriter, LineBreaksAndDefaultLineEnds)
{
    TWPDocument doc;
    TWPRTFReader::Read(R"({\rtf1 a\line b\par c})", doc);
    EXPECT_EQ(S(TWPTextWriter::Write(doc)), "a\r\nb\r\nc");
}

TEST(HtmlWriter, WholeDocument)
{
    TWPDocument doc;
    TWPRTFReader::Read(kDoc, doc);
    TWPHTMLWriter w;
    const QString html = w.Write(doc);
    EXPECT_TRUE(html.startsWith("<!DOCTYPE html>"));
    EXPECT_TRUE(html.contains("<meta charset=\"utf-8\">"));
    EXPECT_TRUE(html.contains("<title>A &lt;Title&gt;</title>"));
    EXPECT_TRUE(html.contains(".s-title_style { font-size:14pt;font-weight:bold;text-align:center; }")) << S(html);
    EXPECT_TRUE(html.contains("<p class=\"s-title_style\"")) << S(html);
    EXPECT_TRUE(html.contains("&amp; &lt;b&gt;not bold&lt;/b&gt;")) << "text is escaped";
    EXPECT_TRUE(html.contains("<a href=\"http://x/?a=1&amp;b=2\">link</a>"));
    EXPECT_FALSE(html.contains("secret"));
    EXPECT_TRUE(html.contains("<ol type=\"1\">\r\n<li>one</li>\r\n<li>two</li>\r\n</ol>\r\n<ul>\r\n<li>dot</li>\r\n</ul>"))
        << S(html);
    EXPECT_TRUE(html.contains("<td colspan=\"2\">")) << S(html);
    EXPECT_TRUE(html.contains("<td rowspan=\"2\">"));
    EXPECT_EQ(html.count("<td"), 4) << "merged cells are written once";
    EXPECT_TRUE(html.contains("@page { size: 595.3pt 841.9pt;"));
    EXPECT_TRUE(html.endsWith("</body>\r\n</html>\r\n"));
}

TEST(HtmlWriter, OptionsAndFilterName)
{
    TWPDocument doc;
    TWPRTFReader::Read(R"({\rtf1{\fonttbl{\f0 Courier;}}\f0\fs20 x})", doc);
    TWPHTMLWriter w;
    EXPECT_TRUE(w.UseForFilterName("html"));
    EXPECT_FALSE(w.UseForFilterName("TQEWPHTMLWriter"));
    w.SetOptions("-nopageinfo,-onlybody,,-usedefaultfont,-bogus");
    EXPECT_TRUE(w.OnlyBody());
    EXPECT_TRUE(w.NoPageInfo());
    EXPECT_TRUE(w.UseDefaultFont());
    const QString body = w.Write(doc);
    EXPECT_FALSE(body.contains("<html")) << S(body);
    EXPECT_FALSE(body.contains("@page"));
    EXPECT_FALSE(body.contains("Courier")) << "the default font replaces the document's";
    TWPHTMLWriter plain;
    EXPECT_TRUE(plain.Write(doc).contains("font-family:'Courier';font-size:10pt;"));
}

namespace {

// A descendant, as an application adds one: its own name, an extra rule.
class LinkWriter : public TWPHTMLWriter
{
public:
    bool UseForFilterName(const QString &name) const override
    {
        return name.compare("LinkWriter", Qt::CaseInsensitive) == 0;
    }

protected:
    bool HasStyleSheet() const override { return true; }
    void WriteStyleSheet() override
    {
        TWPHTMLWriter::WriteStyleSheet();
        Out("a { color: red; }\r\n");
    }
    void WriteParagraphStart(const QTextBlock &) override { Out("<div>"); }
    void WriteParagraphEnd(const QTextBlock &) override { Out("</div>\r\n"); }
};

} // namespace

TEST(HtmlWriter, HooksChangeTheOutput)
{
    TWPDocument doc;
    TWPRTFReader::Read(R"({\rtf1 one\par two})", doc);
    LinkWriter w;
    w.SetOptions("-nopageinfo");
    const QString html = w.Write(doc);
    EXPECT_TRUE(html.contains("<style type=\"text/css\">\r\na { color: red; }\r\n</style>")) << S(html);
    EXPECT_TRUE(html.contains("<div>one</div>\r\n<div>two</div>"));
    EXPECT_TRUE(w.UseForFilterName("LINKWRITER"));
}

TEST(HtmlWriter, PicturesThroughTheCallbackOrInline)
{
    const QByteArray png = PngBytes(QSize(2, 2), Qt::red);
    TWPDocument doc;
    TWPRTFReader::Read("{\\rtf1{\\pict\\pngblip\\picwgoal300\\pichgoal150 " + png.toHex() + "}}", doc);
    TWPHTMLWriter inlined;
    EXPECT_TRUE(inlined.Write(doc).contains("<img src=\"data:image/png;base64," + QString::fromLatin1(png.toBase64())
                                            + "\" alt=\"\" width=\"20\" height=\"10\">"));
    TWPHTMLWriter w;
    QList<TWPHTMLImage> seen;
    w.OnImage = [&](const TWPHTMLImage &img) {
        seen << img;
        return QString("img/pic%1.%2").arg(seen.size()).arg(img.Extension);
    };
    const QString html = w.Write(doc);
    ASSERT_EQ(seen.size(), 1);
    ASSERT_NE(seen[0].Picture, nullptr);
    EXPECT_EQ(seen[0].Picture->Data, png);
    EXPECT_EQ(seen[0].Image.size(), QSize(2, 2));
    EXPECT_TRUE(html.contains("<img src=\"img/pic1.png\""));
}

TEST(HtmlWriter, ParagraphBordersAndShadesBecomeCss)
{
    TWPDocument doc;
    TWPRTFReader::Read(R"({\rtf1{\colortbl;\red255\green0\blue0;}\pard\brdrl\brdrs\brdrw40\brdrcf1\shading5000 x})", doc);
    TWPHTMLWriter w;
    w.SetOptions("-nopageinfo");
    const QString html = w.Write(doc);
    EXPECT_TRUE(html.contains("border-left:2pt solid #ff0000;")) << S(html);
    EXPECT_TRUE(html.contains("background-color:#808080;")) << "50 % black over white";
}

namespace {

const QByteArray kNotes = R"({\rtf1 First{\super\chftn}{\footnote\pard\plain{\super\chftn} Alpha {\v secret}note.}
 and second{\super\chftn}{\footnote\pard\plain{\super\chftn} Beta <note> & more.}\par
{\field{\*\fldinst HYPERLINK "http://x/"}{\fldrslt linked{\super\chftn}{\footnote\pard\plain{\super\chftn} Gamma.}}}\par})";

} // namespace

// Notes were left out of HTML altogether; now each reference links to its
// note after the text and the note's mark links back.
TEST(HtmlWriter, FootnotesLinkToTheirNotesAfterTheText)
{
    TWPDocument doc;
    TWPRTFReader::Read(kNotes, doc);
    ASSERT_EQ(doc.FootnoteCount(), 3);
    const QString html = TWPHTMLWriter().Write(doc);
    const qsizetype ref1 = html.indexOf("<a class=\"wp-fnref\" id=\"wpfnref1\" href=\"#wpfn1\"><sup>1</sup></a>");
    const qsizetype ref2 = html.indexOf("<a class=\"wp-fnref\" id=\"wpfnref2\" href=\"#wpfn2\"><sup>2</sup></a>");
    const qsizetype notes = html.indexOf("<div class=\"wp-footnotes\">");
    ASSERT_GE(ref1, 0) << S(html);
    EXPECT_GT(ref2, ref1);
    EXPECT_GT(notes, ref2) << "the notes follow the text";
    EXPECT_LT(notes, html.indexOf("</body>"));
    const qsizetype note1 = html.indexOf("<div class=\"wp-footnote\" id=\"wpfn1\">");
    EXPECT_GT(note1, notes);
    EXPECT_GT(html.indexOf("<a class=\"wp-fnmark\" href=\"#wpfnref1\"><sup>1</sup></a> Alpha note."), note1)
        << S(html);
    EXPECT_TRUE(html.contains("Beta &lt;note&gt; &amp; more.")) << "notes are escaped as text is";
    EXPECT_FALSE(html.contains("secret")) << "hidden text in a note stays hidden";
    EXPECT_FALSE(html.contains("linked<a class=\"wp-fnref\"")) << "no link inside a link: " << S(html);
    EXPECT_TRUE(html.contains("<a href=\"http://x/\">linked</a><a class=\"wp-fnref\" id=\"wpfnref3\""));
    EXPECT_EQ(html.count("id=\"wpfnref1\""), 1);
}

// Reading our HTML gives the notes back as notes (not as paragraphs after
// the text), each reference a note field again.
TEST(HtmlWriter, FootnotesSurviveARoundTripThroughTheReader)
{
    TWPDocument doc;
    TWPRTFReader::Read(kNotes, doc);
    const QString html = TWPHTMLWriter().Write(doc);
    TWPDocument back;
    TWPHTMLReader::Read(html, back);
    ASSERT_EQ(back.FootnoteCount(), 3) << S(Dump(back));
    EXPECT_EQ(S(back.Footnote(1)->toPlainText().trimmed()), "\uFFFC Beta <note> & more.");
    EXPECT_FALSE(back.Text()->toPlainText().contains("Gamma")) << "notes are not body text";
    // HTML's white space (the &nbsp; of an empty paragraph, line ends) is
    // not what this is about: lines compare simplified.
    const auto lines = [](const TWPDocument &d) {
        QStringList out;
        for (const QString &l : TWPTextWriter::Write(d, "\n").replace(QChar(0xA0), u' ').split(u'\n'))
            if (!l.simplified().isEmpty())
                out << l.simplified();
        return S(out.join(u'|'));
    };
    EXPECT_EQ(lines(back), lines(doc));
    EXPECT_EQ(lines(doc), "First1 and second2|linked3|1 Alpha note.|2 Beta <note> & more.|3 Gamma.");
    const QString again = TWPHTMLWriter().Write(back);
    for (const char *mark : {"class=\"wp-fnref\"", "class=\"wp-fnmark\"", "class=\"wp-footnote\"",
                             "id=\"wpfnref3\"", "id=\"wpfn3\""})
        EXPECT_EQ(again.count(mark), html.count(mark)) << mark << "\n" << S(again);
}

// Markup that only looks like ours: a reference to a note that is not there
// stays a plain link, a notes block without notes is dropped, nothing crashes.
TEST(HtmlReader, ForeignOrBrokenFootnoteMarkupIsReadAsItStands)
{
    TWPDocument doc;
    TWPHTMLReader::Read(u"<body><p>a<a class=\"wp-fnref\" href=\"#wpfn9\">9</a> "
                        u"<img src=\"zorhtmlfn:0\">b</p><div class=\"wp-footnotes\"></div></body>"_qs,
                        doc);
    EXPECT_EQ(doc.FootnoteCount(), 0);
    EXPECT_EQ(S(doc.Text()->toPlainText()), "a9 b");
}

// Catches: a placed picture's frame or spacer written as a line or
// paragraph of its own, its picture lost, not floated as laid out, or put
// elsewhere than at the start of its paragraph.
TEST(HtmlWriter, PlacedPicturesFloatAtTheirParagraph)
{
    struct Row
    {
        int wrap;
        bool first;
        const char *style;
    };
    for (const Row &row : {Row{wpwrAutomatic, false, "float:left;margin-right:6px"},
                           Row{wpwrNone, true, "display:block"}}) {
        SCOPED_TRACE(row.style);
        TWPDocument doc;
        QTextCursor c(doc.Text());
        if (!row.first) {
            c.insertText(QStringLiteral("Before."));
            c.insertBlock();
        }
        c.insertText(QStringLiteral("Start "));
        QTextImageFormat f;
        f.setName(doc.AddPicture(PngBytes(QSize(6, 4), Qt::red), QStringLiteral("png")));
        f.setProperty(wpPictureName, f.name());
        f.setProperty(wpObjPositionMode, int(wpotPar));
        f.setProperty(wpObjWrapMode, row.wrap);
        c.insertImage(f);
        c.insertText(QStringLiteral(" after."));
        PlacePictures(doc.Text());
        ASSERT_EQ(doc.Text()->rootFrame()->childFrames().size(), 1);

        EXPECT_EQ(S(TWPTextWriter::Write(doc, "\n")), row.first ? "Start  after." : "Before.\nStart  after.");
        TWPHTMLWriter w;
        const QString html = w.Write(doc);
        EXPECT_EQ(html.count(u"<img"_qs), 1);
        EXPECT_EQ(html.count(u"&nbsp;"_qs), 0) << "no paragraph for the frame or its spacer";
        const QRegularExpression placed(u"<p[^>]*><img [^>]*style=\""_qs + QRegularExpression::escape(QString::fromLatin1(row.style))
                                        + u"\">Start "_qs);
        EXPECT_TRUE(placed.match(html).hasMatch()) << S(html);
    }
}
