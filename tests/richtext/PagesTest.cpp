#include "RichTextDump.h"

#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QPdfDocument>
#include <QPdfSelection>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

// Counts pixels of a colour (within a small tolerance) inside a rectangle.
int countColour(const QImage &img, QRect r, QColor c)
{
    r = r.intersected(img.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) <= 3 && std::abs(p.green() - c.green()) <= 3
                && std::abs(p.blue() - c.blue()) <= 3)
                ++n;
        }
    return n;
}

TWPDocument &read(TWPDocument &doc, const QByteArray &rtf)
{
    EXPECT_TRUE(TWPRTFReader::Read(rtf, doc).Ok);
    return doc;
}

QString pdfText(QPdfDocument &pdf)
{
    QString all;
    for (int i = 0; i < pdf.pageCount(); ++i)
        all += pdf.getAllText(i).text() + u'\n';
    return all;
}

// Loads PDF bytes into pdf through a file in dir (QtPdf reads files); once
// per folder.
bool loadPdf(QTemporaryDir &dir, QPdfDocument &pdf, const QByteArray &bytes)
{
    QFile f(dir.filePath(u"doc.pdf"_qs));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return pdf.load(f.fileName()) == QPdfDocument::Error::None;
}

const QByteArray kColours = R"({\colortbl;\red255\green0\blue0;\red0\green0\blue255;\red0\green128\blue0;})";

} // namespace

TEST(Pages, BreaksAndHiddenTextDecideThePageCount)
{
    TWPDocument doc;
    EXPECT_EQ(TWPPagePainter(read(doc, R"({\rtf1 one\page two\page three})")).PageCount(), 3);

    // Two hundred lines would fill pages; hidden, they take no room at all.
    QByteArray many;
    for (int i = 0; i < 200; ++i)
        many += "hidden line\\line ";
    EXPECT_EQ(TWPPagePainter(read(doc, "{\\rtf1 shown{\\v " + many + "}end}")).PageCount(), 1);
    EXPECT_GT(TWPPagePainter(read(doc, "{\\rtf1 shown{" + many + "}end}")).PageCount(), 2);

    // The geometry given wins over the document's: a smaller page, more pages.
    TWPPageSetup small;
    small.PageWidth = small.PageHeight = 2880;
    small.MarginLeft = small.MarginRight = small.MarginTop = small.MarginBottom = 360;
    TWPPagePainter a5(read(doc, "{\\rtf1 shown{" + many + "}end}"));
    EXPECT_GT(TWPPagePainter(doc, small).PageCount(), a5.PageCount());
    EXPECT_NEAR(TWPPagePainter(doc, small).PageSize().width(), 192.0, 0.01);
}

TEST(Pages, FirstLeftAndOtherHeadersGoOnTheirPages)
{
    // Each header is a run with its own background: red first page, blue
    // even pages, green the others.
    TWPDocument doc;
    read(doc, "{\\rtf1" + kColours + R"(\margt2880\headery720\titlepg
{\headerf {\chcbpat1 FIRSTFIRSTFIRST}}{\headerl {\chcbpat2 LEFTLEFTLEFT}}{\header {\chcbpat3 OTHEROTHEROTHER}}
{\footerf {\chcbpat2 FOOTFIRSTFOOT}}
p1\page p2\page p3\page p4})");
    const TWPPagePainter pages(doc);
    ASSERT_EQ(pages.PageCount(), 4);
    const QRect band(0, 40, 800, 120); // between the paper's edge and the body
    const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 128, 0);
    const char *expected[] = {"red", "blue", "green", "blue"};
    for (int p = 0; p < 4; ++p) {
        const QImage img = pages.RenderPage(p);
        const int r = countColour(img, band, red), b = countColour(img, band, blue),
                  g = countColour(img, band, green);
        const char *seen = r > 50 && !b && !g ? "red" : b > 50 && !r && !g ? "blue"
                         : g > 50 && !r && !b ? "green" : "mixed or none";
        EXPECT_STREQ(seen, expected[p]) << "page " << p + 1;
    }
    // The first page's own footer; the other pages have none.
    const QRect bottom(0, int(pages.PageSize().height()) - 120, 800, 119);
    EXPECT_GT(countColour(pages.RenderPage(0), bottom, blue), 50);
    EXPECT_EQ(countColour(pages.RenderPage(1), bottom, blue), 0);
}

TEST(Pages, PaperShadingAndBordersArePainted)
{
    TWPDocument doc;
    read(doc, "{\\rtf1" + kColours
                  + R"(\pard\shading5000\cfpat1 shaded paragraph\par
\pard\brdrb\brdrs\brdrw60\brdrcf2 bordered\par
\pard plain\par})");
    SetRTFDataColorValue(doc, "page-background-color", 0x00FFFF); // yellow
    const TWPPagePainter pages(doc);
    EXPECT_EQ(pages.PaperColor(), QColor(255, 255, 0));
    const QImage img = pages.RenderPage(0);
    EXPECT_EQ(img.pixelColor(5, 5), QColor(255, 255, 0)) << "the paper's colour";
    const QRect body(96, 96, int(pages.PageSize().width()) - 192, 200);
    EXPECT_GT(countColour(img, body, QColor(255, 128, 128)), 500) << "half red over white";
    EXPECT_GT(countColour(img, body, QColor(0, 0, 255)), 100) << "the blue bottom line";
}

TEST(Pages, PdfHasThePagesTheTextAndTheInformation)
{
    QTemporaryDir dir;
    TWPDocument doc;
    read(doc, R"({\rtf1{\info{\title Doc Title}{\author Ann Author}{\subject Things}{\keywords k1 k2}}
\paperw12240\paperh15840 Visible words {\v secretword} here\page Second page {\field{\*\fldinst PAGE}{\fldrslt 9}}/{\field{\*\fldinst NUMPAGES}{\fldrslt 9}}})");
    TWPPdfOptions options;
    options.Subject = u"Given \u00DCber"_qs; // given values win over the document's
    const QByteArray bytes = TWPPagePainter::WritePdf(doc, options);
    ASSERT_TRUE(bytes.startsWith("%PDF"));
    const QString path = dir.filePath("out.pdf");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();

    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(path), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 2);
    EXPECT_NEAR(pdf.pagePointSize(0).width(), 612, 1);
    EXPECT_NEAR(pdf.pagePointSize(0).height(), 792, 1);
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Visible words")) << S(text);
    EXPECT_FALSE(text.contains("secretword")) << "hidden text is left out";
    EXPECT_TRUE(text.contains("Second page 2/2")) << S(text);
    EXPECT_EQ(S(pdf.metaData(QPdfDocument::MetaDataField::Title).toString()), "Doc Title");
    EXPECT_EQ(S(pdf.metaData(QPdfDocument::MetaDataField::Author).toString()), "Ann Author");
    EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Subject).toString(), u"Given \u00DCber"_qs);
    EXPECT_EQ(S(pdf.metaData(QPdfDocument::MetaDataField::Keywords).toString()), "k1 k2");

    // Landscape geometry gives landscape pages.
    TWPPdfOptions wide;
    wide.Page = doc.PageSetup(0);
    std::swap(wide.Page->PageWidth, wide.Page->PageHeight);
    f.open(QIODevice::WriteOnly);
    f.write(TWPPagePainter::WritePdf(doc, wide));
    f.close();
    QPdfDocument landscape;
    ASSERT_EQ(landscape.load(path), QPdfDocument::Error::None);
    EXPECT_NEAR(landscape.pagePointSize(0).width(), 792, 1);
}

TEST(Pages, PdfInfoUpdateLeavesWhatItCannotReadAlone)
{
    EXPECT_EQ(TWPPagePainter::SetPdfInfo("not a pdf", "t", "a", "s", "k", "c"), QByteArray("not a pdf"));
    const QByteArray stream = "%PDF-1.5\n1 0 obj<</Type/XRef>>endobj\nstartxref\n9\n%%EOF\n";
    EXPECT_EQ(TWPPagePainter::SetPdfInfo(stream, "t", "a", "s", "k", "c"), stream)
        << "a cross-reference stream is not a table";
}

TEST(Pages, TheEditorCountsPagesAgainAfterChanges)
{
    TWPCustomRtfEdit e;
    ASSERT_TRUE(e.LoadFromBytes("{\\rtf1 a\\page b}", "RTF"));
    EXPECT_EQ(e.PageCount(), 2);
    QTextCursor c(e.Document().Text());
    c.movePosition(QTextCursor::End);
    QTextBlockFormat bf;
    bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(bf);
    c.insertText("c");
    EXPECT_EQ(e.PageCount(), 3);
}

TEST(Pages, FootnotesGoOnThePageOfTheirReference)
{
    TWPDocument doc;
    read(doc, R"({\rtf1 First{\super\chftn}{\footnote\pard\plain{\super\chftn} Alphanote.}\page )"
              R"(Second{\super\chftn}{\footnote\pard\plain{\super\chftn} Betanote.}})");
    QTemporaryDir dir;
    QPdfDocument pdf;
    ASSERT_TRUE(loadPdf(dir, pdf, TWPPagePainter::WritePdf(doc)));
    ASSERT_EQ(pdf.pageCount(), 2);
    const QString one = pdf.getAllText(0).text(), two = pdf.getAllText(1).text();
    EXPECT_TRUE(one.contains("Alphanote")) << S(one);
    EXPECT_FALSE(one.contains("Betanote")) << S(one);
    EXPECT_TRUE(two.contains("Betanote")) << S(two);
    EXPECT_FALSE(two.contains("Alphanote"));
}

namespace {

// Paragraphs "Portrait", a table, "Landscape" with section 1 starting at
// "Landscape" (A5 landscape), section 0 A4 portrait.
void twoSections(TWPDocument &doc, bool tableBeforeSecond)
{
    QTextCursor c(doc.Text());
    c.insertText("Portrait text");
    if (tableBeforeSecond) {
        c.insertBlock();
        QTextTable *t = c.insertTable(1, 2);
        t->cellAt(0, 0).firstCursorPosition().insertText("cell");
        c = QTextCursor(doc.Text());
        c.movePosition(QTextCursor::End);
    } else {
        c.insertBlock();
    }
    c.insertText("Landscape text");
    const int s = doc.AddSection(c);
    TWPPageSetup &a5 = doc.PageSetup(s);
    a5.PageWidth = 11906;  // A5 is 148 x 210 mm; landscape swaps them
    a5.PageHeight = 8391;
    a5.Landscape = true;
}

} // namespace

// A section of another page size starts a page of that size: laying the whole
// text out at the first section's size gave every PDF page A4 portrait.
TEST(Pages, EachSectionHasItsOwnPageSizeAndOrientation)
{
    for (bool table : {false, true}) {
        SCOPED_TRACE(table ? "a table before the second section" : "paragraphs only");
        TWPDocument doc;
        twoSections(doc, table);
        const TWPPagePainter pages(doc);
        ASSERT_EQ(pages.PageCount(), 2);
        EXPECT_GT(pages.PageSize(1).width(), pages.PageSize(1).height()) << "landscape";

        QTemporaryDir dir;
        QPdfDocument pdf;
        ASSERT_TRUE(loadPdf(dir, pdf, TWPPagePainter::WritePdf(doc)));
        ASSERT_EQ(pdf.pageCount(), 2);
        const QSizeF a4 = pdf.pagePointSize(0), a5 = pdf.pagePointSize(1);
        EXPECT_NEAR(a4.width(), 595.3, 1.0);
        EXPECT_NEAR(a4.height(), 841.9, 1.0);
        EXPECT_NEAR(a5.width(), 595.3, 1.0) << "A5 landscape: 210 mm wide";
        EXPECT_NEAR(a5.height(), 419.5, 1.0);
        const QString one = pdf.getAllText(0).text(), two = pdf.getAllText(1).text();
        EXPECT_TRUE(one.contains("Portrait")) << S(one);
        EXPECT_FALSE(one.contains("Landscape")) << S(one);
        EXPECT_TRUE(two.contains("Landscape")) << S(two);
        EXPECT_FALSE(two.contains("Portrait")) << "the first section's text is not repeated: " << S(two);
        EXPECT_EQ(table, one.contains("cell"));
    }
}

// Sections of one geometry flow on as before; a fixed geometry (the PDF
// options') overrides every section's.
TEST(Pages, SectionsOfOneGeometryFlowOnAndAFixedPageOverridesThem)
{
    TWPDocument doc;
    twoSections(doc, false);
    doc.PageSetup(1) = doc.PageSetup(0);
    EXPECT_EQ(TWPPagePainter(doc).PageCount(), 1);

    TWPDocument mixed;
    twoSections(mixed, false);
    const TWPPageSetup letter = PDFPageSetup(psLetter, poPagePortrait, 10, 10, 10, 10);
    const TWPPagePainter fixed(mixed, letter);
    EXPECT_EQ(fixed.PageCount(), 1);
    for (int i = 0; i < fixed.PageCount(); ++i)
        EXPECT_EQ(fixed.PageSize(i), fixed.PageSize()) << i;
    TWPPdfOptions options;
    options.Page = letter;
    QPdfDocument pdf;
    QTemporaryDir dir;
    ASSERT_TRUE(loadPdf(dir, pdf, TWPPagePainter::WritePdf(mixed, options)));
    ASSERT_EQ(pdf.pageCount(), 1);
    for (int i = 0; i < pdf.pageCount(); ++i)
        EXPECT_NEAR(pdf.pagePointSize(i).width(), 612, 1.0) << i;
}

// Fault: a field's text drawn from the top of a box as high as the whole
// line (ascent and descent) rides above the baseline by the font's descent.
// "1", the page field's "1" and "1" again must end on the same pixel row.
TEST(Pages, FieldTextSharesTheBaselineOfItsLine)
{
    TWPDocument doc;
    read(doc, "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss DejaVu Sans;}}\\f0\\fs96 "
              "1  {\\field{\\*\\fldinst PAGE}{\\fldrslt 9}}  1\\par}");
    const QImage page = TWPPagePainter(doc).RenderPage(0, 96);
    // The lowest dark row of each of the three glyphs, left to right.
    std::vector<int> bottoms;
    bool inGlyph = false;
    for (int x = 0; x < page.width(); ++x) {
        int lowest = -1;
        for (int y = 0; y < page.height() / 3; ++y)
            if (qGray(page.pixel(x, y)) < 100)
                lowest = y;
        if (lowest >= 0 && !inGlyph)
            bottoms.push_back(lowest);
        else if (lowest >= 0)
            bottoms.back() = std::max(bottoms.back(), lowest);
        inGlyph = lowest >= 0;
    }
    ASSERT_EQ(bottoms.size(), 3u);
    EXPECT_NEAR(bottoms[1], bottoms[0], 1);
    EXPECT_NEAR(bottoms[2], bottoms[0], 1);
}
