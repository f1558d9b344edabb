#include "RichTextDump.h"

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfReader.h>
#include <ZorCompCore/richtext/engine/TextWriter.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QImage>
#include <QUrl>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

struct Read
{
    explicit Read(const QByteArray &rtf) { result = TWPRTFReader::Read(rtf, doc); }
    TWPDocument doc;
    TWPRTFReadResult result;
    QString plain() const { return Plain(doc); }
    QTextCharFormat fmt(const QString &what) const { return FormatOf(doc, what); }
    QTextTable *firstTable() const
    {
        for (QTextFrame *f : doc.Text()->rootFrame()->childFrames())
            if (auto *t = qobject_cast<QTextTable *>(f))
                return t;
        return nullptr;
    }
};

QString cellText(QTextTable *t, int r, int c)
{
    const QTextTableCell cell = t->cellAt(r, c);
    QTextCursor cur = cell.firstCursorPosition();
    cur.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cur.selectedText();
}

} // namespace

TEST(RtfReader, CharacterFormattingFollowsGroupsAndPlain)
{
    Read r(R"({\rtf1\ansi\deff0{\fonttbl{\f0\froman Times;}{\f1\fswiss Arial;}}
{\colortbl;\red255\green0\blue0;\red0\green0\blue255;}
\pard Normal {\b bold {\i both} only bold} \f1\fs36\cf1 red arial\plain  plain {\ul under}\ul0 {\strike s}{\super up}{\cb2 back}\par})");
    ASSERT_TRUE(r.result.Ok);
    EXPECT_EQ(S(r.plain()), "Normal bold both only bold red arial plain undersupback|");
    EXPECT_EQ(r.fmt("Normal").fontWeight(), QFont::Normal);
    EXPECT_EQ(r.fmt("bold").fontWeight(), QFont::Bold);
    EXPECT_TRUE(r.fmt("both").fontItalic());
    EXPECT_EQ(r.fmt("both").fontWeight(), QFont::Bold);
    EXPECT_FALSE(r.fmt("only bold").fontItalic()) << "a group's end must restore the format";
    const QTextCharFormat red = r.fmt("red arial");
    EXPECT_EQ(red.fontFamilies().toStringList().value(0), "Arial");
    EXPECT_EQ(red.fontPointSize(), 18.0);
    EXPECT_EQ(red.foreground().color(), QColor(255, 0, 0));
    const QTextCharFormat plain = r.fmt("plain");
    EXPECT_FALSE(plain.hasProperty(QTextFormat::ForegroundBrush)) << "\\plain resets colour";
    EXPECT_FALSE(plain.hasProperty(QTextFormat::FontPointSize));
    EXPECT_TRUE(r.fmt("under").fontUnderline());
    EXPECT_TRUE(r.fmt("s").fontStrikeOut());
    EXPECT_EQ(r.fmt("up").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(r.fmt("back").background().color(), QColor(0, 0, 255));
    EXPECT_EQ(r.doc.Text()->defaultFont().family(), "Times") << "\\deff gives the default font";
}

TEST(RtfReader, ParagraphFormatting)
{
    Read r(R"({\rtf1\pard\qc\li720\ri360\fi-180\sb120\sa240 centred\par\pard\qr right\par\pard\qj\sl-360\slmult0\keep\pagebb just\par\pard\tqr\tx5000\tx7000 tabs})");
    const QTextDocument *t = r.doc.Text();
    ASSERT_GE(t->blockCount(), 4);
    const QTextBlockFormat c = t->findBlockByNumber(0).blockFormat();
    EXPECT_EQ(c.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(UnitsToTwips(c.leftMargin()), 720);
    EXPECT_EQ(UnitsToTwips(c.rightMargin()), 360);
    EXPECT_EQ(UnitsToTwips(c.textIndent()), -180);
    EXPECT_EQ(UnitsToTwips(c.topMargin()), 120);
    EXPECT_EQ(UnitsToTwips(c.bottomMargin()), 240);
    const QTextBlockFormat right = t->findBlockByNumber(1).blockFormat();
    EXPECT_EQ(right.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_FALSE(right.hasProperty(QTextFormat::BlockLeftMargin)) << "\\pard resets the indents";
    const QTextBlockFormat j = t->findBlockByNumber(2).blockFormat();
    EXPECT_EQ(j.lineHeightType(), QTextBlockFormat::FixedHeight);
    EXPECT_EQ(UnitsToTwips(j.lineHeight()), 360);
    EXPECT_TRUE(j.nonBreakableLines());
    EXPECT_TRUE(j.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    const auto tabs = t->findBlockByNumber(3).blockFormat().tabPositions();
    ASSERT_EQ(tabs.size(), 2);
    EXPECT_EQ(tabs[0].type, QTextOption::RightTab);
    EXPECT_EQ(UnitsToTwips(tabs[0].position), 5000);
    EXPECT_EQ(tabs[1].type, QTextOption::LeftTab) << "a tab kind applies to one stop only";
    EXPECT_EQ(t->findBlockByNumber(3).text(), "tabs") << "the last paragraph needs no \\par";
}

TEST(RtfReader, CodePagesAndUnicode)
{
    struct Row
    {
        const char *name;
        QByteArray rtf;
        QString expected;
    } rows[] = {
        {"ansicpg 1252", R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80})", QString::fromUtf8("café €")},
        {"ansicpg 1251", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})", QString::fromUtf8("Привет")},
        {"font charset beats ansicpg",
         R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}{\f1\fcharset161 Greek;}}\f1 \'e1\'e2\f0 \'e1})",
         QString::fromUtf8("αβá")},
        {"double-byte page decodes whole characters",
         R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'82\'a0\'93\'fa})", QString::fromUtf8("あ日")},
        {"double-byte lead with a literal trail byte",
         R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'83A})", QString::fromUtf8("ア")},
        {"\\u skips one fallback character", R"({\rtf1 A\u8364?B})", QString::fromUtf8("A€B")},
        {"\\u skips a \\'hh fallback", R"({\rtf1 A\u8364\'80B})", QString::fromUtf8("A€B")},
        {"\\uc2 skips two", R"({\rtf1\uc2 A\u26085\'93\'faB})", QString::fromUtf8("A日B")},
        {"\\uc0 skips nothing", R"({\rtf1\uc0 A\u26085 B})", QString::fromUtf8("A日B")},
        {"negative \\u", R"({\rtf1 \u-3979?})", QString(QChar(0xF075))},
        {"surrogate pair", R"({\rtf1 \u-10179?\u-8704?})", QString::fromUtf8("😀")},
        {"skip ends at a group end", R"({\rtf1\uc3 {\u8364}XY})", QString::fromUtf8("€XY")},
        {"symbols", R"({\rtf1 a\~b\-c\_d\{\}\\})", QString::fromUtf8("a\u00A0b\u00ADc\u2011d{}\\")},
        {"character words", R"({\rtf1 \emdash\endash\lquote\rquote\ldblquote\rdblquote\bullet})",
         QString::fromUtf8("—–‘’“”•")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Read r(row.rtf);
        EXPECT_EQ(S(r.plain()), S(row.expected));
    }
}

TEST(RtfReader, DestinationsAreSkippedOrReadIntoTheirTables)
{
    Read r(R"({\rtf1{\*\generator Writer 1.0;}{\*\unknowndest secret {\b more}}{\info{\title The Title}{\author Ann}{\creatim\yr2020\mo1\dy2}}
{\fonttbl\f0\fnil Courier;\f1\fnil Helvetica;}
{\annotation not shown}{\*\bkmkstart mark}visible{\*\bkmkend mark}\par})");
    EXPECT_EQ(S(r.plain()), "visible|");
    EXPECT_EQ(S(r.doc.Info("title")), "The Title");
    EXPECT_EQ(S(r.doc.Info("author")), "Ann");
    EXPECT_EQ(S(r.doc.Text()->metaInformation(QTextDocument::DocumentTitle)), "The Title");
    const TWPBookmark *b = r.doc.FindBookmark("mark");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Start, 0);
    EXPECT_EQ(b->End, 7);
}

TEST(RtfReader, BookmarksStayWhereTheyWereRead)
{
    // A point mark is not pushed along by the text read after it; one in the
    // empty paragraph a table takes the place of stays just before the table.
    Read r(R"({\rtf1 ab{\*\bkmkstart p}{\*\bkmkend p}cd\par\par{\*\bkmkstart t}{\*\bkmkend t}\trowd\cellx1000\pard\intbl x\cell\row\pard after\par})");
    const TWPBookmark *p = r.doc.FindBookmark("p");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Start, 2);
    EXPECT_EQ(p->End, 2);
    const TWPBookmark *t = r.doc.FindBookmark("t");
    QTextTable *table = r.firstTable();
    ASSERT_NE(t, nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(t->Start, 5);
    EXPECT_EQ(t->End, 5);
    EXPECT_EQ(table->firstPosition(), 6);
}

TEST(RtfReader, ACaptureInsideAnotherLeavesItsText)
{
    // Found by fuzzing: a data item inside a style entry took the entry's
    // half-read name and gave back its own text.
    Read r(R"({\rtf1{\stylesheet{\s1 Hea{\*\zordata x;41}ding;}{\s2 Next;}}\pard\s2 a})");
    ASSERT_EQ(r.doc.Styles().size(), 2u);
    EXPECT_EQ(S(r.doc.Styles()[0].Name), "Heading");
    EXPECT_EQ(S(r.doc.Styles()[1].Name), "Next");
    EXPECT_EQ(r.doc.DataItem("x"), QByteArray("A"));
}

TEST(RtfReader, FontTableWithoutGroupsNamesEachFont)
{
    Read r(R"({\rtf1{\fonttbl\f0\fnil Courier;\f1\fnil Helvetica;}\f1 x})");
    EXPECT_EQ(r.fmt("x").fontFamilies().toStringList().value(0), "Helvetica");
}

TEST(RtfReader, HiddenAndProtectedText)
{
    Read r(R"({\rtf1 open {\v secret}{\protect locked}\protect0  free\par})");
    EXPECT_TRUE(r.fmt("secret").boolProperty(wpHidden));
    EXPECT_FALSE(r.fmt("open").boolProperty(wpHidden));
    EXPECT_TRUE(r.fmt("locked").boolProperty(wpProtected));
    EXPECT_FALSE(r.fmt("free").boolProperty(wpProtected));
}

TEST(RtfReader, StylesKeepTheirTextFormAndParagraphsTheirName)
{
    Read r(R"({\rtf1{\fonttbl{\f0 Arial;}}{\stylesheet{\s0\fs22 Normal;}{\s1\sbasedon0\qc\b\f0\fs32 heading 1;}{\*\cs10\i Emphasis;}}
\pard\s1 Title\par\pard\s0 Body {\cs10\i stressed}\par})");
    const TWPStyle *h = r.doc.FindStyle("Heading 1");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(S(h->Text), "Font=Arial;Size=16;Bold=1;Align=Center");
    EXPECT_EQ(S(h->BasedOn), "Normal");
    EXPECT_FALSE(h->IsCharStyle);
    const TWPStyle *n = r.doc.FindStyle("normal");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(S(n->Text), "Size=11");
    const TWPStyle *e = r.doc.FindStyle("Emphasis");
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->IsCharStyle);
    EXPECT_EQ(S(r.doc.Text()->begin().blockFormat().stringProperty(wpStyleName)), "heading 1");
    EXPECT_EQ(S(r.fmt("stressed").stringProperty(wpStyleName)), "Emphasis");
    EXPECT_EQ(S(r.plain()), "Title|Body stressed|") << "style names are not text";
}

TEST(RtfReader, TableRowsShareOneGridFromTheUnionOfTheirEdges)
{
    // Row 1: two cells; row 2: one cell as wide as both; row 3: the second
    // edge moved, so the grid has three columns.
    Read r(R"({\rtf1
\trowd\cellx2000\cellx4000\pard\intbl a\cell b\cell\row
\trowd\cellx4000\pard\intbl wide\cell\row
\trowd\cellx1000\cellx4000\pard\intbl c\cell d\cell\row
\pard after\par})");
    QTextTable *t = r.firstTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 3);
    EXPECT_EQ(t->columns(), 3);
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 2); // 0..2000 spans edges 1000 and 2000
    EXPECT_EQ(S(cellText(t, 0, 0)), "a");
    EXPECT_EQ(S(cellText(t, 0, 2)), "b");
    EXPECT_EQ(t->cellAt(1, 0).columnSpan(), 3);
    EXPECT_EQ(S(cellText(t, 1, 0)), "wide");
    EXPECT_EQ(t->cellAt(2, 1).columnSpan(), 2);
    EXPECT_EQ(S(cellText(t, 2, 1)), "d");
    const auto widths = t->format().columnWidthConstraints();
    ASSERT_EQ(widths.size(), 3);
    EXPECT_EQ(UnitsToTwips(widths[0].rawValue()), 1000);
    EXPECT_EQ(UnitsToTwips(widths[1].rawValue()), 1000);
    EXPECT_EQ(UnitsToTwips(widths[2].rawValue()), 2000);
    EXPECT_TRUE(r.plain().endsWith("after|"));
    EXPECT_EQ(r.doc.Text()->begin().text(), "") << "one block before the table, not two";
    // before, five cells, "after" and the empty last paragraph
    EXPECT_EQ(r.doc.Text()->blockCount(), 1 + 5 + 2);
}

TEST(RtfReader, ATableFollowsItsParagraphWithoutAnEmptyOneBetween)
{
    Read r(R"({\rtf1 before\par\trowd\cellx1000\pard\intbl x\cell\row\pard after})");
    ASSERT_NE(r.firstTable(), nullptr);
    EXPECT_EQ(r.doc.Text()->blockCount(), 3) << S(Dump(r.doc));
    EXPECT_EQ(S(r.doc.Text()->begin().text()), "before");
    EXPECT_EQ(S(r.doc.Text()->lastBlock().text()), "after");
}

TEST(RtfReader, MergedCellsKeepTheirText)
{
    Read r(R"({\rtf1
\trowd\clmgf\cellx1000\clmrg\cellx2000\clvmgf\cellx3000\pard\intbl left\cell\cell top\cell\row
\trowd\cellx1000\cellx2000\clvmrg\cellx3000\pard\intbl x\cell y\cell below\cell\row
\pard\par})");
    QTextTable *t = r.firstTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 2);
    EXPECT_EQ(t->cellAt(0, 2).rowSpan(), 2);
    EXPECT_EQ(S(cellText(t, 0, 0)), "left");
    EXPECT_EQ(S(cellText(t, 1, 1)), "y");
    // Text in a cell merged away is not lost.
    EXPECT_EQ(S(cellText(t, 0, 2)), "top\u2029below");
}

// A footnote in a cell may hold a table of its own: its row definition must
// not become the definition of the row around it.
TEST(RtfReader, ATableInAFootnoteLeavesTheOuterRowAlone)
{
    Read r(R"({\rtf1\trowd\clmgf\cellx1000\clmrg\cellx2000\cellx3000\pard\intbl a{\chftn{\footnote\pard
\trowd\cellx500\cellx1001\pard\intbl n\cell m\cell\row\pard}}\cell\cell b\cell\row})");
    QTextTable *t = r.firstTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->columns(), 3);
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 2);
    EXPECT_EQ(S(cellText(t, 0, 2)), "b");
}

TEST(RtfReader, NestedTables)
{
    Read r(R"({\rtf1
\trowd\cellx3000\cellx6000
\pard\intbl outer\par
\pard\intbl\itap2 in1\nestcell in2\nestcell{\*\nesttableprops\trowd\cellx1000\cellx2000\nestrow}{\nonesttables\par}
\pard\intbl tail\cell second\cell\row
\pard end})");
    QTextTable *t = r.firstTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 1);
    EXPECT_EQ(t->columns(), 2);
    const QTextTableCell cell = t->cellAt(0, 0);
    QTextTable *inner = nullptr;
    for (auto it = cell.begin(); !it.atEnd(); ++it)
        if (auto *nested = qobject_cast<QTextTable *>(it.currentFrame()))
            inner = nested;
    ASSERT_NE(inner, nullptr) << S(Dump(r.doc));
    EXPECT_EQ(inner->columns(), 2);
    EXPECT_EQ(S(cellText(inner, 0, 1)), "in2");
    EXPECT_EQ(S(cellText(t, 0, 1)), "second");
    EXPECT_TRUE(Dump(r.doc).contains("'tail'"));
    EXPECT_FALSE(r.plain().contains("nonesttables"));
}

TEST(RtfReader, ListsFromTheListTableAndOldStyleNumbering)
{
    Read r(R"({\rtf1{\*\listtable{\list\listtemplateid1{\listlevel\levelnfc0{\leveltext\'02\'00.;}{\levelnumbers\'01;}}{\listlevel\levelnfc4{\leveltext\'02\'01);}}\listid77}
{\list{\listlevel\levelnfc23{\leveltext\'01\u8226 ?;}}\listid88}}
{\*\listoverridetable{\listoverride\listid77\listoverridecount0\ls1}{\listoverride\listid88\listoverridecount0\ls2}}
\pard\ls1{\listtext 1.\tab}one\par\pard\ls1{\listtext 2.\tab}two\par\pard\ls1\ilvl1{\listtext a)\tab}sub\par
\pard\ls2{\listtext \'95\tab}dot\par
\pard{\*\pn\pnlvlbody\pnucrm{\pntxta .}}{\pntext I.\tab}roman\par\pard plain})");
    EXPECT_EQ(S(r.plain()), "one|two|sub|dot|roman|plain") << "list numbers are not text";
    const QTextDocument *t = r.doc.Text();
    QTextList *l1 = t->findBlockByNumber(0).textList();
    ASSERT_NE(l1, nullptr);
    EXPECT_EQ(l1->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(t->findBlockByNumber(1).textList(), l1) << "one \\ls, one list";
    EXPECT_EQ(l1->itemNumber(t->findBlockByNumber(1)), 1);
    QTextList *sub = t->findBlockByNumber(2).textList();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->format().style(), QTextListFormat::ListLowerAlpha);
    EXPECT_EQ(sub->format().indent(), 2);
    ASSERT_NE(t->findBlockByNumber(3).textList(), nullptr);
    EXPECT_EQ(t->findBlockByNumber(3).textList()->format().style(), QTextListFormat::ListDisc);
    ASSERT_NE(t->findBlockByNumber(4).textList(), nullptr);
    EXPECT_EQ(t->findBlockByNumber(4).textList()->format().style(), QTextListFormat::ListUpperRoman);
    EXPECT_EQ(t->findBlockByNumber(5).textList(), nullptr);
}

TEST(RtfReader, PicturesFromHexAndBin)
{
    const QByteArray png = PngBytes(QSize(8, 4), Qt::red);
    QByteArray rtf = "{\\rtf1 a{\\pict\\pngblip\\picw8\\pich4\\picwgoal1500\\pichgoal750\n" + png.toHex() + "}b";
    rtf += "{\\*\\shppict{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png + "}}";
    rtf += "{\\nonshppict{\\pict\\pngblip " + png.toHex() + "}}c}";
    Read r(rtf);
    EXPECT_EQ(S(r.plain()), S(QString("a") + QChar::ObjectReplacementCharacter + "b" + QChar::ObjectReplacementCharacter + "c"));
    const QStringList names = r.doc.PictureNames();
    ASSERT_EQ(names.size(), 2) << "the \\nonshppict copy is skipped";
    for (const QString &n : names) {
        EXPECT_EQ(r.doc.Picture(n)->Data, png);
        EXPECT_EQ(S(r.doc.Picture(n)->Kind), "png");
    }
    const QTextImageFormat f = r.fmt(QString(QChar::ObjectReplacementCharacter)).toImageFormat();
    EXPECT_EQ(qRound(f.width()), 100);
    EXPECT_EQ(qRound(f.height()), 50);
    EXPECT_FALSE(r.doc.Text()->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>().isNull());
}

TEST(RtfReader, MetafilePicturesGoThroughThePlayers)
{
    const QByteArray wmf = PlaceableWmf();
    Read r("{\\rtf1{\\pict\\wmetafile8 " + wmf.toHex() + "}}");
    ASSERT_EQ(r.doc.PictureNames().size(), 1);
    EXPECT_EQ(S(r.doc.Picture(r.doc.PictureNames().first())->Kind), "wmf");
    Read broken("{\\rtf1{\\pict\\emfblip 0102030405}x}");
    EXPECT_TRUE(broken.doc.PictureNames().isEmpty()) << "bytes no player takes are dropped";
    EXPECT_EQ(S(broken.plain()), "x");
}

TEST(RtfReader, FieldsBecomeLinksObjectsOrTheirResult)
{
    Read r(R"({\rtf1 {\field{\*\fldinst HYPERLINK "https://example.org/x"}{\fldrslt {\ul link}}} 
{\field{\*\fldinst {\b PAGE}}{\fldrslt 3}} {\field{\*\fldinst MERGEFIELD Customer}{\fldrslt <<Customer>>}}
{\field{\*\fldinst DATE \\@ "dd.MM.yyyy"}{\fldrslt 01.01.2020}} {\field{\*\fldinst HYPERLINK \\l "anchor"}{\fldrslt inside}}
{\field{\*\fldinst SYMBOL 183}{\fldrslt kept}}})");
    const QTextCharFormat link = r.fmt("link");
    EXPECT_TRUE(link.isAnchor());
    EXPECT_EQ(S(link.anchorHref()), "https://example.org/x");
    EXPECT_TRUE(link.fontUnderline());
    EXPECT_EQ(S(r.fmt("inside").anchorHref()), "#anchor");
    EXPECT_TRUE(r.plain().contains("kept")) << "unknown fields show their result";
    std::vector<QTextCharFormat> fields;
    for (QTextBlock b = r.doc.Text()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().objectType() == WPFieldObjectType)
                fields.push_back(it.fragment().charFormat());
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(TWPFieldKind(fields[0].intProperty(wpFieldKind)), TWPFieldKind::Page);
    EXPECT_EQ(S(fields[0].stringProperty(wpFieldResult)), "3");
    EXPECT_EQ(TWPFieldKind(fields[1].intProperty(wpFieldKind)), TWPFieldKind::Merge);
    EXPECT_EQ(S(fields[1].stringProperty(wpFieldName)), "Customer");
    EXPECT_EQ(TWPFieldKind(fields[2].intProperty(wpFieldKind)), TWPFieldKind::Date);
    EXPECT_EQ(S(fields[2].stringProperty(wpFieldFormat)), "dd.MM.yyyy");
    EXPECT_FALSE(r.plain().contains("<<Customer>>")) << "an object field's result is not text";
}

TEST(RtfReader, SectionsPageSetupAndHeaders)
{
    Read r(R"({\rtf1\paperw12240\paperh15840\margl1000\margr1100\margt1200\margb1300
\sectd{\header \pard\qc Head {\field{\*\fldinst PAGE}{\fldrslt 1}}\par}{\footer foot}first\sect
\sectd\lndscpsxn\pgwsxn15840\pghsxn12240\marglsxn500{\header second head}second})");
    ASSERT_EQ(r.doc.SectionCount(), 2);
    const TWPPageSetup &p0 = r.doc.PageSetup(0);
    EXPECT_EQ(p0.PageWidth, 12240);
    EXPECT_EQ(p0.MarginLeft, 1000);
    EXPECT_EQ(p0.MarginBottom, 1300);
    EXPECT_FALSE(p0.Landscape);
    const TWPPageSetup &p1 = r.doc.PageSetup(1);
    EXPECT_TRUE(p1.Landscape);
    EXPECT_EQ(p1.PageWidth, 15840);
    EXPECT_EQ(p1.MarginLeft, 500);
    EXPECT_EQ(p1.MarginTop, 1200) << "\\sectd starts from the document's page";
    ASSERT_NE(r.doc.Header(0), nullptr);
    EXPECT_TRUE(r.doc.Header(0)->toPlainText().startsWith("Head "));
    ASSERT_NE(r.doc.Footer(0), nullptr);
    EXPECT_EQ(S(r.doc.Footer(0)->toPlainText()), "foot");
    EXPECT_EQ(S(r.doc.Header(1)->toPlainText()), "second head");
    EXPECT_EQ(S(r.plain()), "first|second") << "headers are not body text";
    EXPECT_EQ(r.doc.SectionAt(r.doc.Text()->findBlockByNumber(1).position()), 1);
    EXPECT_EQ(r.doc.SectionAt(0), 0);
}

TEST(RtfReader, ParagraphBordersAndShading)
{
    Read r(R"({\rtf1{\colortbl;\red0\green128\blue0;\red200\green200\blue200;}
\pard\brdrt\brdrs\brdrw15\brdrcf1\brsp40\brdrb\brdrs\brdrw30\cbpat2\shading2500\cfpat1 boxed\par\pard\box\brdrs\brdrw10 all})");
    const QTextBlockFormat b = r.doc.Text()->begin().blockFormat();
    EXPECT_EQ(b.intProperty(wpBorderTop), 15);
    EXPECT_EQ(b.intProperty(wpBorderBottom), 30);
    EXPECT_EQ(b.intProperty(wpBorderLeft), 0);
    EXPECT_EQ(b.colorProperty(wpBorderColor), QColor(0, 128, 0));
    EXPECT_EQ(b.intProperty(wpBorderSpacing), 40);
    EXPECT_EQ(b.background().color(), QColor(200, 200, 200));
    EXPECT_EQ(b.intProperty(wpShading), 2500);
    EXPECT_EQ(b.colorProperty(wpShadingColor), QColor(0, 128, 0));
    const QTextBlockFormat all = r.doc.Text()->findBlockByNumber(1).blockFormat();
    for (int side = wpBorderLeft; side <= wpBorderBottom; ++side)
        EXPECT_EQ(all.intProperty(side), 10);
}

TEST(RtfReader, DataItemsAndPageColour)
{
    Read r(R"({\rtf1{\*\zordata page-background-color;ff800000}text})");
    EXPECT_EQ(GetRTFDataColorValue(r.doc, "page-background-color", 0xFFFFFF), 0x000080FFu);
}

TEST(RtfReader, HostileInputIsBounded)
{
    struct Row
    {
        const char *name;
        QByteArray rtf;
    } rows[] = {
        {"huge \\bin", "{\\rtf1{\\pict\\pngblip\\bin999999999 abc}}"},
        {"negative \\bin", "{\\rtf1{\\pict\\bin-5 abc}}"},
        {"overlong parameter", "{\\rtf1\\fs99999999999999999999 x\\u99999999999999 \\uc2147483647 y}"},
        {"unbalanced closing", "{\\rtf1 a}}}}}b"},
        {"open groups at the end", "{\\rtf1{\\b{\\i{\\field{\\*\\fldinst PAGE}{\\fldrslt"},
        {"truncated control", "{\\rtf1 abc\\"},
        {"truncated hex", "{\\rtf1 abc\\'4"},
        {"cells without rows", "{\\rtf1\\pard\\intbl a\\cell b\\cell c\\nestcell\\nestrow\\itap99 d\\cell"},
        {"row without cells", "{\\rtf1\\trowd\\cellx-5\\cellx-10\\row\\row\\pard x}"},
        {"merge without a first", "{\\rtf1\\trowd\\clvmrg\\clmrg\\cellx100\\pard\\intbl a\\cell\\row}"},
        // a row with fewer cells than edges merges into the cells it lacks
        // (a use after free that the asan build shows)
        {"merge into missing cells", "{\\rtf1\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell\\row"
                                     "\\trowd\\cellx1000\\clvmrg\\cellx2000\\clmrg\\cellx3000\\pard\\intbl x\\cell y\\cell\\row"
                                     "\\pard\\par}"},
        {"colour index out of range", "{\\rtf1\\cf9999\\cb-1 x}"},
        {"list references", "{\\rtf1\\pard\\ls999\\ilvl99 x\\par}"},
        {"many cellx", "{\\rtf1\\trowd" + QByteArray("\\cellx1").repeated(5000) + "\\pard\\intbl x\\cell\\row}"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TWPDocument doc;
        EXPECT_TRUE(TWPRTFReader::Read(row.rtf, doc).Ok);
    }
    TWPDocument doc;
    const QByteArray deep = "{\\rtf1 " + QByteArray(100000, '{') + "x" + QByteArray(100000, '}') + " after}";
    const TWPRTFReadResult r = TWPRTFReader::Read(deep, doc);
    EXPECT_GT(r.SkippedGroups, 0);
    EXPECT_EQ(S(Plain(doc)), " after") << "groups beyond the depth limit are skipped as a whole";
}

TEST(RtfReader, NotRtfIsRefusedAndKeepsNothing)
{
    TWPDocument doc;
    const TWPRTFReadResult r = TWPRTFReader::Read("plain text", doc);
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Error.isEmpty());
    EXPECT_TRUE(TWPRTFReader::IsRTF("  \r\n{\\rtf1}"));
    EXPECT_FALSE(TWPRTFReader::IsRTF("{\\rt"));
}

TEST(RtfReader, ObjectsShowTheirResultOnly)
{
    const QByteArray png = PngBytes({2, 2}, Qt::red);
    TWPDocument doc;
    ASSERT_TRUE(TWPRTFReader::Read("{\\rtf1 before {\\object\\objemb\\objw40\\objh40{\\*\\objclass Paint.Picture}"
                                   "{\\*\\objdata 01050000 02000000}stray{\\result {\\pict\\pngblip "
                                   + png.toHex() + "}}} middle {\\object{\\*\\objdata 00}\\bin3 }}}} after}",
                                   doc).Ok);
    EXPECT_EQ(S(Plain(doc)), "before \xEF\xBF\xBC middle  after");
    ASSERT_EQ(doc.PictureNames().size(), 1);
    EXPECT_EQ(doc.Picture(doc.PictureNames().first())->Data, png);
}

TEST(RtfReader, FootnotesAreTextsOfTheirOwnWithAReference)
{
    TWPDocument doc;
    ASSERT_TRUE(TWPRTFReader::Read(R"({\rtf1 Text{\super\chftn{\footnote\pard\plain{\super\chftn} Note {\b one}.}} more)"
                                   R"({\super\chftn}{\footnote\pard\plain\chftn  Two {\footnote inner} end.} last\chftn})",
                                   doc).Ok);
    EXPECT_EQ(S(Plain(doc)), "Text\xEF\xBF\xBC more\xEF\xBF\xBC last") << "a mark outside a note is none";
    ASSERT_EQ(doc.FootnoteCount(), 2) << "notes inside notes are dropped";
    const QTextCharFormat ref = FormatOf(doc, "\xEF\xBF\xBC");
    EXPECT_EQ(ref.verticalAlignment(), QTextCharFormat::AlignSuperScript) << "the reference keeps its format";
    EXPECT_EQ(S(TWPDocument::FieldText(ref, {})), "1");
    EXPECT_EQ(S(doc.Footnote(0)->toPlainText()), "\xEF\xBF\xBC Note one.");
    EXPECT_EQ(S(doc.Footnote(1)->toPlainText()), "\xEF\xBF\xBC Two  end.");
    EXPECT_EQ(S(TWPTextWriter::Write(doc, "\n")), "Text1 more2 last\n1 Note one.\n2 Two  end.");
}

// Catches: a shape without a picture we can show losing its rendering, a
// shape's picture shown twice (again from its \shprslt), the shapes inside
// a group read as pictures of their own, a picture shape's placement words
// misread (\shpwr1 and \shpwr3 both keep text off its sides; margin counts
// as page).
TEST(RtfReader, ShapesGiveTheirPictureOrElseTheirRendering)
{
    const QByteArray red = PngBytes(QSize(3, 3), Qt::red).toHex();
    const QByteArray blue = PngBytes(QSize(3, 3), Qt::blue).toHex();
    const auto pict = [](const QByteArray &hex) { return "{\\pict\\pngblip " + hex + "}"; };
    const auto pib = [&](const QByteArray &hex) { return "{\\sp{\\sn pib}{\\sv " + pict(hex) + "}}"; };
    struct Row
    {
        const char *name;
        QByteArray shape;
        QColor shown;     // invalid: no picture
        int position, wrap;
        QString text;     // the paragraph's text without pictures
    };
    const Row rows[] = {
        {"text box: its rendering", "{\\shp{\\*\\shpinst\\shpwr2{\\sp{\\sn shapeType}{\\sv 202}}{\\shptxt inside}}{\\shprslt " + pict(blue) + "}}",
         Qt::blue, wpotChar, wpwrAutomatic, "ab"},
        {"picture shape: its own picture once", "{\\shp{\\*\\shpinst\\shpbxmargin\\shpbymargin\\shpwr4\\shpwrk1" + pib(red) + "}{\\shprslt " + pict(blue) + "}}",
         Qt::red, wpotPage, wpwrBoth, "ab"},
        {"top and bottom", "{\\shp{\\*\\shpinst\\shpbypara\\shpwr1" + pib(red) + "}}", Qt::red, wpotPar, wpwrNone, "ab"},
        {"undecodable picture: the rendering", "{\\shp{\\*\\shpinst\\shpwr2" + pib("89504e470d0a1a0a0000") + "}{\\shprslt " + pict(blue) + "}}",
         Qt::blue, wpotChar, wpwrAutomatic, "ab"},
        {"group: its rendering", "{\\shpgrp{\\*\\shpinst{\\shp{\\*\\shpinst" + pib(red) + "}}}{\\shprslt " + pict(blue) + " drawn}}",
         Qt::blue, wpotChar, wpwrAutomatic, "a drawnb"},
        {"no picture, no rendering", "{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 1}}}}", QColor(), wpotChar, wpwrAutomatic, "ab"},
        {"unclosed", "{\\shp{\\*\\shpinst\\shpwr2\\shpwrk3" + pib(red), Qt::red, wpotPar, wpwrAutomatic, "a"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TWPDocument doc;
        ASSERT_TRUE(TWPRTFReader::Read("{\\rtf1 a" + row.shape + "b}", doc).Ok);
        std::vector<QTextImageFormat> pictures;
        QString text;
        for (QTextBlock b = doc.Text()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat cf = it.fragment().charFormat();
                if (cf.isImageFormat())
                    pictures.push_back(cf.toImageFormat());
                else
                    text += it.fragment().text();
            }
        EXPECT_EQ(text, row.text);
        ASSERT_EQ(pictures.size(), row.shown.isValid() ? 1u : 0u);
        if (pictures.empty())
            continue;
        const QImage img = doc.Text()->resource(QTextDocument::ImageResource, QUrl(pictures[0].name())).value<QImage>();
        EXPECT_EQ(img.pixelColor(1, 1), row.shown);
        EXPECT_EQ(pictures[0].intProperty(wpObjPositionMode), row.position);
        if (row.position != wpotChar)
            EXPECT_EQ(pictures[0].intProperty(wpObjWrapMode), row.wrap);
    }
}
