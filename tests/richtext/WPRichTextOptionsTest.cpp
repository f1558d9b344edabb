// The control's edit, format and view options as switches a user feels: each
// case drives the control with and without its option and checks the text
// (saved RTF, formats, caret) or the pixels.

#include "WidgetInput.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

using Shown = richtext_test::ShownControl<TWPRichText>;
QImage shot(TWPRichText &w) { return Shot(w); }

// "x", a 40 x 20 red picture, "y": the picture is at position 1.
void xPictureY(TWPRichText &w)
{
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    red.save(&buf, "PNG");
    QTextCursor c(w.Document().Text());
    c.insertText(QStringLiteral("x"));
    w.Document().InsertPicture(c, w.Document().AddPicture(png, QStringLiteral("png")), QSizeF(40, 20));
    c.insertText(QStringLiteral("y"));
    QApplication::processEvents();
}

QSizeF pictureSize(TWPRichText &w, int position)
{
    QTextCursor c(w.Document().Text());
    c.setPosition(position + 1);
    const QTextImageFormat f = c.charFormat().toImageFormat();
    return {f.width(), f.height()};
}

bool isPicture(TWPRichText &w, int position)
{
    QTextCursor c(w.Document().Text());
    c.setPosition(position + 1);
    return c.charFormat().isImageFormat();
}

QString anchorAt(TWPRichText &w, int position)
{
    QTextCursor c(w.Document().Text());
    c.setPosition(position + 1);
    return c.charFormat().anchorHref();
}

void typeKeys(TWPRichText &w, const QString &s)
{
    for (QChar ch : s) {
        if (ch == u'\n')
            Key(&w, Qt::Key_Return);
        else
            Key(&w, ch == u' ' ? int(Qt::Key_Space) : int(ch.toUpper().unicode()), {}, QString(ch));
    }
}

} // namespace

// Catches: selecting, resizing, deleting or moving a picture while the
// option that allows it is off, corner handles that keep the proportions
// without wpObjectResizingKeepRatio, and a move that is not one undo step or
// leaves a copy behind.
TEST(WPRichTextOptions, PicturesFollowTheObjectOptions)
{
    Shown s;
    TWPRichText &w = s.w;
    EXPECT_EQ(w.EditOptions(), wpDefaultEditOptions);
    xPictureY(w);
    const QRect r = w.PictureRect(1);
    ASSERT_TRUE(r.isValid());

    w.SetEditOptions(wpDefaultEditOptions & ~wpObjectSelecting);
    Click(&w, r.center());
    EXPECT_FALSE(w.TextCursor().hasSelection()) << "no selecting: a click only places the caret";

    w.SetEditOptions(wpDefaultEditOptions & ~(wpObjectResizingHeight | wpObjectResizingKeepRatio));
    Click(&w, r.center());
    ASSERT_EQ(w.TextCursor().selectionEnd() - w.TextCursor().selectionStart(), 1);
    Drag(&w, r.bottomRight() + QPoint(1, 1), r.bottomRight() + QPoint(41, 21)); // corner: needs both
    EXPECT_NEAR(pictureSize(w, 1).width(), 40, 1);
    Drag(&w, QPoint(r.center().x(), r.bottom() + 1), QPoint(r.center().x(), r.bottom() + 31)); // bottom edge
    EXPECT_NEAR(pictureSize(w, 1).height(), 20, 1);
    Drag(&w, QPoint(r.right() + 1, r.center().y()), QPoint(r.right() + 21, r.center().y())); // right edge
    EXPECT_NEAR(pictureSize(w, 1).width(), 60, 1.5);

    w.SetEditOptions(wpDefaultEditOptions & ~wpObjectResizingKeepRatio);
    const QRect r2 = w.PictureRect(1);
    Drag(&w, r2.bottomRight() + QPoint(1, 1), r2.bottomRight() + QPoint(1, 21));
    EXPECT_NEAR(pictureSize(w, 1).width(), 60, 1.5) << "free corner: only the height changes";
    EXPECT_NEAR(pictureSize(w, 1).height(), 40, 1.5);

    QSignalSpy refused(&w, &TWPRichText::EditRefused);
    w.SetEditOptions(wpDefaultEditOptions & ~wpObjectDeletion);
    Key(&w, Qt::Key_Delete);
    EXPECT_TRUE(isPicture(w, 1));
    EXPECT_EQ(refused.count(), 1);

    // Moving: the picture dragged past "y".
    const QRect r3 = w.PictureRect(1);
    const QRect afterY = w.CursorRect(3);
    w.SetEditOptions(wpDefaultEditOptions & ~wpObjectMoving);
    Drag(&w, r3.center(), afterY.center() + QPoint(2, 0));
    EXPECT_TRUE(isPicture(w, 1)) << "no moving";
    w.SetEditOptions(wpDefaultEditOptions);
    QTextCursor sel(w.Document().Text());
    sel.setPosition(1);
    sel.setPosition(2, QTextCursor::KeepAnchor);
    w.SetTextCursor(sel);
    const QRect r4 = w.PictureRect(1);
    Drag(&w, r4.center(), w.CursorRect(3).center() + QPoint(2, 0));
    EXPECT_FALSE(isPicture(w, 1));
    EXPECT_TRUE(isPicture(w, 2)) << "the picture now follows y";
    EXPECT_EQ(w.Document().Text()->characterCount(), 4) << "moved, not copied";
    EXPECT_EQ(w.TextCursor().selectionStart(), 2) << "and still selected";
    EXPECT_NEAR(pictureSize(w, 2).width(), 60, 1.5) << "with its size";
    EXPECT_TRUE(w.Undo());
    EXPECT_TRUE(isPicture(w, 1)) << "one undo step";
    EXPECT_EQ(w.Document().Text()->characterCount(), 4);
}

// Catches: a table edge that cannot be dragged, a whole-table drag that
// moves an inner border instead, and either drag working with its option off.
TEST(WPRichTextOptions, TableEdgeResizesTheTable)
{
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromBytes(
        "{\\rtf1\\ansi\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl a\\cell b\\cell c\\cell\\row\\pard end\\par}",
        QStringLiteral("RTF")));
    const QList<int> before = CellEdges(w);
    ASSERT_EQ(before.size(), 3);
    QTextDocument *doc = w.Document().Text();
    QTextCursor c(doc);
    c.setPosition(doc->find(QStringLiteral("c")).selectionStart());
    QTextTable *table = c.currentTable();
    ASSERT_NE(table, nullptr);
    const QRectF last = doc->documentLayout()->blockBoundingRect(table->cellAt(0, 2).firstCursorPosition().block());
    const qreal edgeX = last.right() + table->format().cellPadding();
    const QRect caret = w.CursorRect(table->cellAt(0, 2).firstPosition());
    const QPoint at(qRound(caret.left() + (edgeX - last.left()) * w.Zoom() / 100.0), caret.center().y());

    w.SetEditOptions(wpDefaultEditOptions & ~wpTableResizing);
    Drag(&w, at, at + QPoint(48, 0));
    EXPECT_EQ(CellEdges(w), before);

    w.SetEditOptions(wpDefaultEditOptions);
    Drag(&w, at, at + QPoint(48, 0));
    const QList<int> after = CellEdges(w);
    ASSERT_EQ(after.size(), 3);
    EXPECT_NEAR(after[0], before[0], 40);
    EXPECT_NEAR(after[1], before[1], 40);
    EXPECT_NEAR(after[2] - before[2], 720, 40) << "the last column, and the table, grow";
    EXPECT_TRUE(w.Undo());
    EXPECT_EQ(CellEdges(w), before);

    w.SetEditOptions(wpDefaultEditOptions & ~wpTableColumnResizing);
    const QRectF b = doc->documentLayout()->blockBoundingRect(table->cellAt(0, 1).firstCursorPosition().block());
    const QRect caretB = w.CursorRect(table->cellAt(0, 1).firstPosition());
    const QRectF a = doc->documentLayout()->blockBoundingRect(table->cellAt(0, 0).firstCursorPosition().block());
    const QPoint inner(qRound(caretB.left() - (b.left() - (a.right() + b.left()) / 2) * w.Zoom() / 100.0),
                       caretB.center().y());
    Drag(&w, inner, inner + QPoint(48, 0));
    EXPECT_EQ(CellEdges(w), before) << "no column resizing";
}

// Catches: Up/Down moving by lines inside a multi-line cell with the option
// on (or by cells with it off), Tab typing a tab instead of going to the
// next cell, Tab in the last cell not adding a row, Shift+Tab going forward.
TEST(WPRichTextOptions, SpreadsheetCursorMovesByCells)
{
    Shown s;
    TWPRichText &w = s.w;
    w.SetWantTabs(true);
    ASSERT_TRUE(w.Edit().LoadFromBytes("{\\rtf1\\ansi\\trowd\\cellx3000\\cellx6000\\pard\\intbl one\\par two\\cell "
                                       "b\\cell\\row\\trowd\\cellx3000\\cellx6000\\pard\\intbl c\\cell d\\cell\\row"
                                       "\\pard end\\par}",
                                       QStringLiteral("RTF")));
    QTextDocument *doc = w.Document().Text();
    QTextCursor c(doc);
    c.setPosition(doc->find(QStringLiteral("one")).selectionStart());
    QTextTable *table = c.currentTable();
    ASSERT_NE(table, nullptr);
    const auto cellOfCaret = [&] {
        const QTextTableCell cell = table->cellAt(w.TextCursor());
        return QPoint(cell.column(), cell.row());
    };
    w.SetTextCursor(c);
    w.SetEditOptions(wpDefaultEditOptions & ~wpSpreadsheetCursorMovement);
    Key(&w, Qt::Key_Down);
    EXPECT_EQ(cellOfCaret(), QPoint(0, 0)) << "without the option Down goes to the cell's next line";
    Key(&w, Qt::Key_Tab, {}, QStringLiteral("\t"));
    EXPECT_TRUE(w.PlainText().contains(u'\t')) << "and Tab types a tab";
    ASSERT_TRUE(w.Undo());

    w.SetEditOptions(wpDefaultEditOptions);
    w.SetTextCursor(c);
    Key(&w, Qt::Key_Down);
    EXPECT_EQ(cellOfCaret(), QPoint(0, 1));
    Key(&w, Qt::Key_Up);
    EXPECT_EQ(cellOfCaret(), QPoint(0, 0));
    Key(&w, Qt::Key_Tab, {}, QStringLiteral("\t"));
    EXPECT_EQ(cellOfCaret(), QPoint(1, 0));
    EXPECT_FALSE(w.PlainText().contains(u'\t'));
    Key(&w, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(cellOfCaret(), QPoint(0, 0));
    Key(&w, Qt::Key_Tab, {}, QStringLiteral("\t"));
    Key(&w, Qt::Key_Tab, {}, QStringLiteral("\t"));
    Key(&w, Qt::Key_Tab, {}, QStringLiteral("\t"));
    EXPECT_EQ(cellOfCaret(), QPoint(1, 1));
    Key(&w, Qt::Key_Tab, {}, QStringLiteral("\t"));
    EXPECT_EQ(table->rows(), 3) << "Tab in the last cell adds a row";
    EXPECT_EQ(cellOfCaret(), QPoint(0, 2));
}

// Catches: Undo working with wpActivateUndo off, Ctrl+Z undoing without
// the hot-key option (or the control eating the shortcut the window has),
// Page Down moving the caret without wpMoveCPOnPageUpDown.
TEST(WPRichTextOptions, UndoAndPageKeysFollowTheirOptions)
{
    Shown s;
    TWPRichText &w = s.w;
    typeKeys(w, QStringLiteral("abc"));
    w.SetEditOptions(wpDefaultEditOptions & ~wpActivateUndo);
    EXPECT_FALSE(w.CanUndo());
    EXPECT_FALSE(w.Undo());
    Press(&w, QKeySequence::Undo);
    EXPECT_EQ(w.PlainText(), QStringLiteral("abc"));

    w.SetEditOptions(wpDefaultEditOptions & ~wpActivateUndoHotkey);
    QKeyEvent override(QEvent::ShortcutOverride, QKeySequence(QKeySequence::Undo)[0].key(),
                       QKeySequence(QKeySequence::Undo)[0].keyboardModifiers());
    QApplication::sendEvent(&w, &override);
    EXPECT_FALSE(override.isAccepted()) << "the window's own Ctrl+Z shortcut gets the key";
    Press(&w, QKeySequence::Undo);
    EXPECT_EQ(w.PlainText(), QStringLiteral("abc"));
    EXPECT_TRUE(w.Undo()) << "the command still works";
    w.SetEditOptions(wpDefaultEditOptions);
    EXPECT_TRUE(w.Redo());
    Press(&w, QKeySequence::Undo);
    EXPECT_EQ(w.PlainText(), QString());

    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("line %1").arg(i);
    w.Edit().LoadFromBytes(lines.join(u'\n').toUtf8(), QStringLiteral("TXT"));
    QApplication::processEvents();
    w.SetEditOptions(wpDefaultEditOptions & ~wpMoveCPOnPageUpDown);
    QScrollBar *v = w.verticalScrollBar();
    const int top = v->value();
    Key(&w, Qt::Key_PageDown);
    EXPECT_GT(v->value(), top) << "the view moves";
    EXPECT_EQ(w.TextCursor().position(), 0) << "the caret stays";
    w.SetEditOptions(wpDefaultEditOptions);
    Key(&w, Qt::Key_PageDown);
    EXPECT_GT(w.TextCursor().position(), 0);
}

// Catches: addresses not linked when their word ends, the blank or the
// closing full stop linked with them, plain words linked, the link and the
// typing undone together, links made with the option off.
TEST(WPRichTextOptions, TypedAddressesBecomeLinks)
{
    Shown s;
    TWPRichText &w = s.w;
    typeKeys(w, QStringLiteral("see www.example.com and mail bob@example.org. or https://x.org/a?b=1\nplain.word "));
    const QString text = w.PlainText();
    const int www = int(text.indexOf(u"www."));
    EXPECT_EQ(anchorAt(w, www), QStringLiteral("http://www.example.com"));
    EXPECT_EQ(anchorAt(w, www + 14), QStringLiteral("http://www.example.com"));
    EXPECT_EQ(anchorAt(w, www + 15), QString()) << "the blank after it";
    const int bob = int(text.indexOf(u"bob@"));
    EXPECT_EQ(anchorAt(w, bob), QStringLiteral("mailto:bob@example.org"));
    EXPECT_EQ(anchorAt(w, bob + 15), QString()) << "the sentence's full stop";
    EXPECT_EQ(anchorAt(w, int(text.indexOf(u"https"))), QStringLiteral("https://x.org/a?b=1")) << "ended by Enter";
    EXPECT_EQ(anchorAt(w, int(text.indexOf(u"plain"))), QString());
    EXPECT_EQ(anchorAt(w, 0), QString());

    // Undo takes the link, then the blank.
    w.Clear();
    typeKeys(w, QStringLiteral("www.example.com "));
    ASSERT_FALSE(anchorAt(w, 0).isEmpty());
    EXPECT_TRUE(w.Undo());
    EXPECT_EQ(anchorAt(w, 0), QString());
    EXPECT_EQ(w.PlainText(), QStringLiteral("www.example.com "));

    w.Clear();
    w.SetEditOptions(wpDefaultEditOptions & ~wpAutoDetectHyperlinks);
    typeKeys(w, QStringLiteral("www.example.com "));
    EXPECT_EQ(anchorAt(w, 0), QString());
}

// Catches: a table inserted inside a table without wpAllowCreateTableInTable,
// an insertion that takes more than one undo step, bad sizes accepted.
TEST(WPRichTextOptions, TablesInsideTables)
{
    Shown s;
    TWPRichText &w = s.w;
    EXPECT_FALSE(w.InsertTable(0, 3));
    EXPECT_FALSE(w.InsertTable(2, 100000));
    ASSERT_TRUE(w.InsertTable(2, 3));
    QTextTable *outer = w.TextCursor().currentTable();
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->rows(), 2);
    EXPECT_EQ(outer->columns(), 3);
    EXPECT_EQ(outer->cellAt(w.TextCursor()).column(), 0);

    QSignalSpy refused(&w, &TWPRichText::EditRefused);
    w.SetEditOptions(wpDefaultEditOptions & ~wpAllowCreateTableInTable);
    EXPECT_FALSE(w.InsertTable(2, 2));
    EXPECT_EQ(refused.count(), 1);
    EXPECT_EQ(w.TextCursor().currentTable(), outer);

    w.SetEditOptions(wpDefaultEditOptions);
    ASSERT_TRUE(w.InsertTable(2, 2));
    QTextTable *inner = w.TextCursor().currentTable();
    ASSERT_NE(inner, outer);
    EXPECT_EQ(inner->parentFrame(), outer);
    EXPECT_TRUE(w.Undo());
    EXPECT_EQ(w.TextCursor().currentTable(), outer) << "one undo step";
    EXPECT_TRUE(w.Undo());
    EXPECT_EQ(w.TextCursor().currentTable(), nullptr);
}

// Catches: the format options not reaching the layout of loaded tables
// (columns sized by their content, the minimum padding kept), or changing
// tables loaded before they were set.
TEST(WPRichTextOptions, FormatOptionsLayTablesOut)
{
    const QByteArray html = "<table border=1><tr><td>a</td><td>a much longer cell text here</td></tr></table>";
    const auto widths = [](TWPRichText &w) {
        QTextDocument *doc = w.Document().Text();
        QTextCursor c(doc);
        c.setPosition(doc->find(QStringLiteral("a")).selectionStart());
        QTextTable *t = c.currentTable();
        const auto rect = [&](int col) {
            return doc->documentLayout()->blockBoundingRect(t->cellAt(0, col).firstCursorPosition().block());
        };
        return std::make_pair(rect(0).width(), rect(1).width());
    };
    const auto padding = [](TWPRichText &w) {
        QTextDocument *doc = w.Document().Text();
        QTextCursor c(doc);
        c.setPosition(doc->find(QStringLiteral("a")).selectionStart());
        return c.currentTable()->format().cellPadding();
    };
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromBytes(html, QStringLiteral("HTML")));
    QApplication::processEvents();
    auto [a, b] = widths(w);
    EXPECT_LT(a * 2, b) << "autosized: the short column is narrow";
    EXPECT_GT(padding(w), 0);

    w.SetFormatOptions(wpDisableAutosizeTables | wpNoMinimumCellPadding);
    EXPECT_LT(widths(w).first * 2, widths(w).second) << "a loaded text keeps its layout";
    ASSERT_TRUE(w.Edit().LoadFromBytes(html, QStringLiteral("HTML")));
    QApplication::processEvents();
    auto [a2, b2] = widths(w);
    EXPECT_NEAR(a2, b2, 1) << "columns share the width";
    EXPECT_EQ(padding(w), 0);
    EXPECT_FALSE(w.CanUndo()) << "laying out is no edit";
}

// Catches: marks drawn in the wrong style for the view options, marks not
// following a load, and the control not handing its text to the checker.
TEST(WPRichTextOptions, MisspellingMarksFollowTheViewOptions)
{
    TWPSpellController controller;
    controller.SetCurrentLanguage(wpLangEnglishUS);
    TWPSpellAsYouGo spell(&controller);
    Shown s;
    TWPRichText &w = s.w;
    w.SetViewOptions(wpTraditionalMisspellMarkers);
    w.SetSpellAsYouGo(&spell);
    EXPECT_EQ(spell.Document(), w.Document().Text());
    ASSERT_TRUE(w.Edit().LoadFromBytes("This sentense is rong.", QStringLiteral("TXT")));
    QApplication::processEvents();
    EXPECT_EQ(spell.Document(), w.Document().Text()) << "the loaded text is checked";
    for (int i = 0; i < 100000 && !spell.IsIdle(); ++i)
        QApplication::processEvents();
    const auto styles = [&] {
        QList<int> r;
        for (const QTextLayout::FormatRange &f : w.Document().Text()->begin().layout()->formats())
            if (f.format.hasProperty(TWPSpellAsYouGo::MarkProperty))
                r << f.format.underlineStyle();
        return r;
    };
    EXPECT_EQ(styles(), (QList<int>{QTextCharFormat::WaveUnderline, QTextCharFormat::WaveUnderline}));
    w.SetViewOptions(0);
    EXPECT_EQ(styles(), (QList<int>{QTextCharFormat::DotLine, QTextCharFormat::DotLine}));
    w.SetViewOptions(wpDisableMisspellMarkers | wpTraditionalMisspellMarkers);
    EXPECT_EQ(styles(), (QList<int>{QTextCharFormat::NoUnderline, QTextCharFormat::NoUnderline}));
    EXPECT_EQ(spell.MisspellingAt(7).Length, 8) << "hidden marks still answer";
    w.SetSpellAsYouGo(nullptr);
    EXPECT_EQ(spell.Document(), nullptr);
    EXPECT_TRUE(styles().isEmpty());
}

// Catches: a link under the mouse not drawn hot (red), or staying hot after
// the mouse left it.
TEST(WPRichTextOptions, LinkUnderTheMouseIsHot)
{
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromBytes(
        "{\\rtf1\\ansi plain {\\field{\\*\\fldinst HYPERLINK \"http://x.org\"}{\\fldrslt WWWWWWWW}} after\\par}",
        QStringLiteral("RTF")));
    QApplication::processEvents();
    const int at = int(w.PlainText().indexOf(u"WWW"));
    const QRect link = w.CursorRect(at).united(w.CursorRect(at + 8));
    const auto reds = [&] {
        const QImage img = shot(w);
        int n = 0;
        for (int y = link.top(); y <= link.bottom(); ++y)
            for (int x = link.left(); x <= link.right(); ++x) {
                const QRgb p = img.pixel(x, y);
                n += qRed(p) > 150 && qGreen(p) < 100 && qBlue(p) < 100;
            }
        return n;
    };
    const auto move = [&](QPoint to) {
        QMouseEvent e(QEvent::MouseMove, QPointF(to), w.viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                      Qt::NoButton, {});
        QApplication::sendEvent(w.viewport(), &e);
    };
    EXPECT_EQ(reds(), 0);
    move(link.center());
    EXPECT_GT(reds(), 10);
    move(w.CursorRect(0).center());
    EXPECT_EQ(reds(), 0);
}

// Catches: hard spaces, line breaks and page breaks not marked when their
// view option is on (or marked when off), insert points not framed, or
// framed while hidden.
TEST(WPRichTextOptions, SpecialCharactersAndInsertPoints)
{
    Shown s;
    TWPRichText &w = s.w;
    QTextCursor c(w.Document().Text());
    c.insertText(QStringLiteral("hard") + QChar(QChar::Nbsp) + QStringLiteral("space"));
    c.insertText(QString(QChar::LineSeparator) + QStringLiteral("next line"));
    QTextBlockFormat broken;
    broken.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(broken);
    c.insertText(QStringLiteral("Dear "));
    w.Document().InsertField(c, TWPFieldKind::Merge, QStringLiteral("Name"));
    w.SetZoomMode(-10);
    QApplication::processEvents();
    // Marks are dark blue, insert points red; the text itself is black.
    const auto count = [&](bool blue) {
        const QImage img = shot(w);
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = img.pixel(x, y);
                n += blue ? qBlue(p) > 100 && qRed(p) < 90 && qGreen(p) < 90
                          : qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
            }
        return n;
    };
    const bool mark = true, red = false;
    EXPECT_EQ(count(mark), 0);
    for (unsigned option : {unsigned(wpShowHardSPC), unsigned(wpShowNL), unsigned(wpShowFF)}) {
        w.SetViewOptions(option);
        EXPECT_GT(count(mark), 0) << "option " << option;
    }
    w.SetViewOptions(0);
    EXPECT_GT(count(red), 0) << "the merge field is framed";
    w.SetInsertPointsHidden(true);
    EXPECT_EQ(count(red), 0);
}

// Catches: links not underlined in the link colour on screen, or still
// underlined when the colour is switched off (web pages), or the saved text
// changed by the drawing.
TEST(WPRichTextOptions, LinksUnderlinedInTheirColour)
{
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromBytes(
        "{\\rtf1\\ansi x {\\field{\\*\\fldinst HYPERLINK \"http://x.org\"}{\\fldrslt WWWWWWWW}} y\\par}",
        QStringLiteral("RTF")));
    w.SetZoomMode(-10);
    QApplication::processEvents();
    const int at = int(w.PlainText().indexOf(u"WWW"));
    const QRect link = w.CursorRect(at).united(w.CursorRect(at + 8)).adjusted(0, 0, 0, 4);
    const auto blue = [&] {
        const QImage img = shot(w);
        int n = 0;
        for (int y = link.top(); y <= link.bottom(); ++y)
            for (int x = link.left(); x <= link.right(); ++x) {
                const QRgb p = img.pixel(x, y);
                n += qBlue(p) > 180 && qRed(p) < 80 && qGreen(p) < 80;
            }
        return n;
    };
    const QByteArray before = w.Edit().SaveToBytes(QStringLiteral("RTF"));
    EXPECT_GT(blue(), 5);
    w.SetHyperlinkUnderlineColor(QColor());
    const int without = blue();
    w.SetHyperlinkUnderlineColor(QColor(Qt::blue));
    EXPECT_LT(without, blue()) << "the underline is the link colour's";
    EXPECT_EQ(w.Edit().SaveToBytes(QStringLiteral("RTF")), before);
}
