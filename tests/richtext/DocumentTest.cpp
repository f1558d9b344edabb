#include <ZorCompCore/richtext/engine/Document.h>

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QUrl>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace zor;

namespace {

std::string S(const QString &s) { return s.toStdString(); }

QTextCharFormat protectedFormat()
{
    QTextCharFormat f;
    f.setProperty(wpProtected, true);
    return f;
}

} // namespace

TEST(Document, BookmarksFollowEditsAroundThem)
{
    TWPDocument doc;
    QTextCursor c(doc.Text());
    c.insertText("0123456789");
    doc.AddBookmark("mid", 3, 6);   // "345"
    doc.AddBookmark("point", 8, 8);

    c.setPosition(0);
    c.insertText("ab");             // before: both move
    EXPECT_EQ(doc.FindBookmark("mid")->Start, 5);
    EXPECT_EQ(doc.FindBookmark("mid")->End, 8);
    EXPECT_EQ(doc.FindBookmark("point")->Start, 10);

    c.setPosition(5);
    c.insertText("X");              // at the start: stays outside
    EXPECT_EQ(doc.FindBookmark("mid")->Start, 6);
    c.setPosition(9);
    c.insertText("Y");              // at the end: stays outside
    EXPECT_EQ(doc.FindBookmark("mid")->End, 9);

    c.setPosition(7);
    c.setPosition(8, QTextCursor::KeepAnchor);
    c.removeSelectedText();         // inside: the range shrinks
    EXPECT_EQ(doc.FindBookmark("mid")->Start, 6);
    EXPECT_EQ(doc.FindBookmark("mid")->End, 8);

    c.setPosition(4);
    c.setPosition(10, QTextCursor::KeepAnchor);
    c.removeSelectedText();         // all of it: collapses where the text was
    EXPECT_EQ(doc.FindBookmark("mid")->Start, 4);
    EXPECT_EQ(doc.FindBookmark("mid")->End, 4);

    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    const int pointBefore = doc.FindBookmark("point")->Start;
    c.setPosition(0);
    c.setPosition(doc.Text()->characterCount() - 1, QTextCursor::KeepAnchor);
    c.mergeCharFormat(bold);        // formatting moves nothing
    EXPECT_EQ(doc.FindBookmark("point")->Start, pointBefore);
    EXPECT_EQ(doc.FindBookmark("MID")->Start, 4) << "names compare case-insensitively";
}

TEST(Document, ProtectedTextRefusesEditsThatTouchIt)
{
    TWPDocument doc;
    QTextCursor c(doc.Text());
    c.insertText("free ");
    c.insertText("LOCK", protectedFormat());
    c.insertText(" free", QTextCharFormat());
    // "free LOCK free": LOCK is 5..8
    EXPECT_TRUE(doc.CanEdit(0, 5));
    EXPECT_FALSE(doc.CanEdit(4, 2)) << "a deletion reaching into protected text";
    EXPECT_FALSE(doc.CanEdit(8, 1));
    EXPECT_TRUE(doc.CanEdit(9, 5));
    EXPECT_FALSE(doc.CanEdit(6, 0)) << "typing between two protected characters";
    EXPECT_TRUE(doc.CanEdit(5, 0)) << "typing just before the protected run";
    EXPECT_TRUE(doc.CanEdit(9, 0)) << "typing just after it";
    QTextCursor sel(doc.Text());
    sel.setPosition(2);
    sel.setPosition(12, QTextCursor::KeepAnchor);
    EXPECT_FALSE(doc.CanEdit(sel));
}

TEST(Document, StyleTextFormsConvertBothWays)
{
    const QString text = "Font=Arial;Size=11;Bold=1;Italic=0;Color=#FF0000;Align=Center;IndentLeft=720;SpaceAfter=120";
    const QTextCharFormat cf = StyleTextToCharFormat(text);
    const QTextBlockFormat bf = StyleTextToBlockFormat(text);
    EXPECT_EQ(cf.fontPointSize(), 11.0);
    EXPECT_EQ(cf.fontWeight(), QFont::Bold);
    EXPECT_EQ(cf.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(bf.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(UnitsToTwips(bf.leftMargin()), 720);
    EXPECT_EQ(S(StyleTextFromFormats(cf, bf)), S(text));
    EXPECT_EQ(S(StyleTextFromFormats(StyleTextToCharFormat("Size=11"), {})), "Size=11");
    // Damaged forms give what can be used.
    const QTextCharFormat junk = StyleTextToCharFormat("Size=abc;=5;Bold;Size=-3;Color=nocolour;italic=true");
    EXPECT_FALSE(junk.hasProperty(QTextFormat::FontPointSize));
    EXPECT_FALSE(junk.hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_TRUE(junk.fontItalic()) << "keys compare case-insensitively";
    EXPECT_FALSE(StyleTextToBlockFormat("IndentLeft=99999999").hasProperty(QTextFormat::BlockLeftMargin));
}

TEST(Document, StylesAreReplacedByName)
{
    TWPDocument doc;
    doc.SetStyle({"Default", "Size=11", {}, false});
    doc.SetStyle({"Quote", "Italic=1", "Default", false});
    doc.SetStyle({"DEFAULT", "Size=12", {}, false});
    ASSERT_EQ(doc.Styles().size(), 2u);
    EXPECT_EQ(S(doc.FindStyle("default")->Text), "Size=12");
}

TEST(Document, FieldTextsDependOnWhereTheyAreDrawn)
{
    QTextCharFormat f;
    f.setObjectType(WPFieldObjectType);
    TWPFieldContext ctx;
    ctx.Page = 1;
    ctx.PageCount = 3;
    ctx.Now = QDateTime(QDate(2024, 2, 29), QTime(13, 5));
    const auto text = [&](TWPFieldKind k) {
        f.setProperty(wpFieldKind, int(k));
        return S(TWPDocument::FieldText(f, ctx));
    };
    EXPECT_EQ(text(TWPFieldKind::Page), "1");
    EXPECT_EQ(text(TWPFieldKind::NumPages), "3");
    EXPECT_EQ(text(TWPFieldKind::PriorPage), "") << "no page before the first";
    EXPECT_EQ(text(TWPFieldKind::NextPage), "2");
    ctx.Page = 3;
    EXPECT_EQ(text(TWPFieldKind::NextPage), "") << "no page after the last";
    EXPECT_EQ(text(TWPFieldKind::PriorPage), "2");
    f.setProperty(wpFieldFormat, "dd.MM.yyyy");
    EXPECT_EQ(text(TWPFieldKind::Date), "29.02.2024");
    f.setProperty(wpFieldFormat, "HH:mm");
    EXPECT_EQ(text(TWPFieldKind::Time), "13:05");
    f.setProperty(wpFieldName, "Customer");
    EXPECT_EQ(text(TWPFieldKind::Merge), "<<Customer>>") << "unmerged";
    ctx.Value = [](const QString &name) { return name == "Customer" ? QString("ACME") : QString(); };
    EXPECT_EQ(text(TWPFieldKind::Merge), "ACME");
    f.setProperty(wpFieldResult, "typed");
    EXPECT_EQ(text(TWPFieldKind::Form), "typed");
}

TEST(Document, FieldObjectsAreLaidOutAndDrawnByTheirHandler)
{
    TWPDocument doc;
    TWPFieldContext ctx;
    ctx.Page = 7;
    ctx.PageCount = 7;
    doc.SetFieldContext(ctx);
    QTextCursor c(doc.Text());
    c.insertText("p");
    QTextCharFormat base;
    base.setFontPointSize(40);
    doc.InsertField(c, TWPFieldKind::NumPages, {}, {}, base);
    EXPECT_EQ(S(doc.Text()->toPlainText()), S(QString("p") + QChar::ObjectReplacementCharacter));
    // The handler measures "7" in the field's font: the line grows to it.
    const QSizeF withField = doc.Text()->documentLayout()->documentSize();
    TWPDocument plain;
    QTextCursor(plain.Text()).insertText("p");
    EXPECT_GT(withField.height(), plain.Text()->documentLayout()->documentSize().height() * 1.5);

    QImage img(200, 100, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        doc.Text()->drawContents(&p);
    }
    int dark = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 20; x < img.width(); ++x)
            dark += qGray(img.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20) << "the field's text is drawn right of the 'p'";
}

TEST(Document, SectionsStartAtMarkedBlocks)
{
    TWPDocument doc;
    QTextCursor c(doc.Text());
    c.insertText("one");
    c.insertBlock();
    c.insertText("two");
    c.insertBlock();
    c.insertText("three");
    EXPECT_EQ(doc.AddSection(QTextCursor(doc.Text()->begin())), 0) << "the first block starts section 0";
    doc.PageSetup(0).PageWidth = 10000;
    const int s = doc.AddSection(QTextCursor(doc.Text()->findBlockByNumber(1)));
    EXPECT_EQ(s, 1);
    EXPECT_EQ(doc.PageSetup(1).PageWidth, 10000) << "a new section starts with its predecessor's page";
    EXPECT_EQ(doc.SectionAt(0), 0);
    EXPECT_EQ(doc.SectionAt(doc.Text()->findBlockByNumber(2).position()), 1);
    // The mark moves with its block.
    QTextCursor(doc.Text()).insertBlock();
    EXPECT_EQ(doc.SectionAt(doc.Text()->findBlockByNumber(1).position()), 0);
    EXPECT_EQ(doc.SectionAt(doc.Text()->findBlockByNumber(2).position()), 1);
    const TWPDocument &cdoc = doc;
    EXPECT_EQ(cdoc.Header(1), nullptr) << "no header until one is asked for";
    doc.Header(1);
    EXPECT_NE(cdoc.Header(1), nullptr);
}

TEST(Document, DataColourValues)
{
    TWPDocument doc;
    EXPECT_EQ(GetRTFDataColorValue(doc, "page-background-color", 0xFFFFFF), 0xFFFFFFu);
    SetRTFDataColorValue(doc, "page-background-color", 0x1FA56E3A);
    EXPECT_EQ(doc.DataItem("page-background-color"), QByteArray::fromHex("3a6ea51f")) << "little-endian";
    EXPECT_EQ(GetRTFDataColorValue(doc, "page-background-color", 0), 0x1FA56E3Au);
    doc.SetDataItem("short", "ab");
    EXPECT_EQ(GetRTFDataColorValue(doc, "short", 7), 7u) << "fewer than 4 bytes: the default";
    EXPECT_EQ(TColorToQColor(0xA56E3A), QColor(58, 110, 165));
    EXPECT_EQ(QColorToTColor(QColor(58, 110, 165)), 0xA56E3Au);
}

TEST(Document, PicturesKeepTheirBytes)
{
    TWPDocument doc;
    EXPECT_TRUE(doc.AddPicture("not a picture", "png").isEmpty());
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::green);
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        img.save(&b, "PNG");
    }
    const QString name = doc.AddPicture(png, "png");
    ASSERT_FALSE(name.isEmpty());
    EXPECT_EQ(doc.Picture(name)->Data, png);
    QTextCursor c(doc.Text());
    doc.InsertPicture(c, name, QSizeF(40, 20));
    const QImage shown = doc.Text()->resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::green));
    doc.Clear();
    EXPECT_EQ(doc.Picture(name), nullptr);
    EXPECT_EQ(doc.SectionCount(), 1);
}
