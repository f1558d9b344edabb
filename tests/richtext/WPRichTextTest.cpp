// The rich-text control driven offscreen as a user drives it: keys, mouse,
// input methods, the clipboard and the views, checked through what the
// headless editor behind it saves.

#include "WidgetInput.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QBuffer>
#include <QAbstractTextDocumentLayout>
#include <QRegularExpression>
#include <QTextTable>
#include <QClipboard>
#include <QDesktopServices>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

using Shown = richtext_test::ShownControl<TWPRichText>;
QImage shot(TWPRichText &w) { return Shot(w); }

// What the saved RTF holds, read back by a fresh editor.
QString savedText(TWPRichText &w)
{
    const QByteArray rtf = w.Edit().SaveToBytes(QStringLiteral("RTF"));
    TWPCustomRtfEdit back;
    EXPECT_TRUE(back.LoadFromBytes(rtf, QStringLiteral("RTF"))) << back.LastError().toStdString();
    return back.Document().Text()->toPlainText();
}

QTextCharFormat formatAt(TWPRichText &w, int position)
{
    QTextCursor c(w.Document().Text());
    c.setPosition(position + 1);
    return c.charFormat();
}

// The text "before", then "run" with a property of ours set, then "after".
void threeRuns(TWPRichText &w, const QString &before, int property, bool value, const QString &run,
               const QString &after)
{
    QTextCursor c(w.Document().Text());
    c.insertText(before);
    QTextCharFormat f;
    f.setProperty(property, value);
    c.insertText(run, f);
    c.insertText(after, QTextCharFormat());
}

QString loremParagraph(int words)
{
    QStringList s;
    for (int i = 0; i < words; ++i)
        s << QStringLiteral("word%1").arg(i);
    return s.join(u' ');
}

// Catches: the caret not moving with arrow keys (typed text lands at the
// end), Backspace and Delete swapped or deleting a whole word, Enter not
// splitting the paragraph, a selection not replaced by typing.
TEST(WPRichTextEditing, TypingSessionEndsUpInTheSavedRtf)
{
    Shown s;
    TWPRichText &w = s.w;
    EXPECT_FALSE(w.Modified());
    Type(&w, QStringLiteral("Hello wrld"));
    Press(&w, QKeySequence::MoveToPreviousChar, 3);
    Type(&w, QStringLiteral("o"));
    Press(&w, QKeySequence::MoveToEndOfLine);
    Press(&w, QKeySequence::InsertParagraphSeparator);
    Type(&w, QStringLiteral("Second linex"));
    Key(&w, Qt::Key_Backspace);
    Press(&w, QKeySequence::MoveToStartOfLine);
    Press(&w, QKeySequence::Delete);
    Type(&w, QStringLiteral("s"));
    Press(&w, QKeySequence::MoveToEndOfLine);
    Press(&w, QKeySequence::SelectPreviousWord);
    Type(&w, QStringLiteral("text"));

    EXPECT_EQ(savedText(w), QStringLiteral("Hello world\nsecond text"));
    EXPECT_EQ(w.Document().Text()->blockCount(), 2);
    EXPECT_TRUE(w.Modified());
}

// Catches: undo not reaching the document, the caret left on the text a
// load replaced (typing then goes nowhere), a load that can be undone.
TEST(WPRichTextEditing, UndoAndRedoFollowTheDocument)
{
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromString(QStringLiteral("abc"), QStringLiteral("TXT")));
    EXPECT_FALSE(w.CanUndo()) << "a load is no edit to undo";
    EXPECT_FALSE(w.Modified());

    QSignalSpy modified(&w, &TWPRichText::ModificationChanged);
    Type(&w, QStringLiteral("X"));
    Press(&w, QKeySequence::InsertParagraphSeparator);
    EXPECT_EQ(w.PlainText(), QStringLiteral("X\nabc"));
    EXPECT_TRUE(w.Modified());
    EXPECT_GE(modified.count(), 1);

    Press(&w, QKeySequence::Undo);
    Press(&w, QKeySequence::Undo);
    EXPECT_EQ(w.PlainText(), QStringLiteral("abc"));
    EXPECT_FALSE(w.Modified()) << "back where it was saved";
    EXPECT_EQ(w.TextCursor().position(), 0);

    Press(&w, QKeySequence::Redo);
    EXPECT_EQ(w.PlainText(), QStringLiteral("Xabc"));
    EXPECT_EQ(w.TextCursor().position(), 1);

    w.SetReadOnly(true);
    QSignalSpy refused(&w, &TWPRichText::EditRefused);
    EXPECT_FALSE(w.Undo());
    EXPECT_EQ(w.PlainText(), QStringLiteral("Xabc"));
    EXPECT_EQ(refused.count(), 1);
}

// Catches: no cursor/format signals for the action module, the format signal
// firing on every move, or not when the caret enters bold text.
TEST(WPRichTextEditing, CursorAndFormatSignals)
{
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromString(QStringLiteral("{\\rtf1 ab{\\b cd}}"), QStringLiteral("RTF")));
    QSignalSpy moved(&w, &TWPRichText::CursorPositionChanged);
    QSignalSpy format(&w, &TWPRichText::CurrentCharFormatChanged);
    QSignalSpy selection(&w, &TWPRichText::SelectionChanged);
    Press(&w, QKeySequence::MoveToNextChar);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(format.count(), 0);
    Press(&w, QKeySequence::MoveToNextChar, 2);
    ASSERT_EQ(format.count(), 1);
    EXPECT_GE(qvariant_cast<QTextCharFormat>(format.last().at(0)).fontWeight(), QFont::Bold);
    EXPECT_EQ(selection.count(), 0);
    Press(&w, QKeySequence::SelectNextChar);
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(w.TextCursor().selectedText(), QStringLiteral("d"));
}

// Catches: hit tests that ignore the scroll offset or zoom, drags that do
// not keep the anchor, double clicks that select nothing.
TEST(WPRichTextEditing, MouseSelects)
{
    Shown s;
    TWPRichText &w = s.w;
    w.InputString(QStringLiteral("alpha beta gamma"));
    w.SetZoomMode(200);
    const int b = 6, g = 11;
    Click(&w, w.CursorRect(b).center() + QPoint(1, 0));
    EXPECT_EQ(w.TextCursor().position(), b);
    Drag(&w, w.CursorRect(b).center() + QPoint(1, 0), w.CursorRect(g).center() + QPoint(1, 0));
    EXPECT_EQ(w.TextCursor().selectedText(), QStringLiteral("beta "));
    // Shift+click moves the end the mouse moved, keeping the anchor.
    Click(&w, w.CursorRect(0).center() + QPoint(1, 0), Qt::ShiftModifier);
    EXPECT_EQ(w.TextCursor().selectedText(), QStringLiteral("alpha "));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(w.CursorRect(13).center()),
                    w.viewport()->mapToGlobal(QPointF(w.CursorRect(13).center())), Qt::LeftButton,
                    Qt::LeftButton, {});
    QApplication::sendEvent(w.viewport(), &dbl);
    EXPECT_EQ(w.TextCursor().selectedText(), QStringLiteral("gamma"));
}

// Catches: RTF offered after HTML or not at all, a paste that takes the
// plain text when RTF is there (formatting lost), broken RTF that blocks
// the other formats.
TEST(WPRichTextClipboard, RtfFirstBothWays)
{
    Shown a;
    ASSERT_TRUE(a.w.Edit().LoadFromString(QStringLiteral("{\\rtf1 plain {\\b bold} end}"), QStringLiteral("RTF")));
    QTextCursor c = a.w.TextCursor();
    c.setPosition(6);
    c.setPosition(10, QTextCursor::KeepAnchor);
    a.w.SetTextCursor(c);
    a.w.Copy();
    const QMimeData *offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(offered);
    ASSERT_FALSE(offered->formats().isEmpty());
    EXPECT_EQ(offered->formats().first(), QStringLiteral("text/rtf"));
    EXPECT_TRUE(offered->data(QStringLiteral("text/rtf")).startsWith("{\\rtf"));
    EXPECT_EQ(offered->text(), QStringLiteral("bold"));
    EXPECT_TRUE(offered->hasHtml());

    // Through the platform's clipboard into another control: still bold.
    Shown b;
    Type(&b.w, QStringLiteral("[]"));
    Press(&b.w, QKeySequence::MoveToPreviousChar);
    Press(&b.w, QKeySequence::Paste);
    EXPECT_EQ(b.w.PlainText(), QStringLiteral("[bold]"));
    EXPECT_GE(formatAt(b.w, 1).fontWeight(), QFont::Bold);
    EXPECT_TRUE(b.w.Modified());

    struct Row
    {
        const char *name;
        QByteArray rtf;
        QString html, text, expected;
        bool bold;
    };
    const Row rows[] = {
        {"rtf before html and text", "{\\rtf1 {\\b RICH}}", "<p>HTML</p>", "PLAIN", "RICH", true},
        {"html before text", {}, "<b>HTML</b>", "PLAIN", "HTML", true},
        {"text alone", {}, {}, "PLAIN", "PLAIN", false},
        {"rtf that does not read", "not rtf at all", {}, "PLAIN", "PLAIN", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Shown t;
        auto *data = new QMimeData;
        if (!row.rtf.isEmpty())
            data->setData(QStringLiteral("text/rtf"), row.rtf);
        if (!row.html.isEmpty())
            data->setHtml(row.html);
        data->setText(row.text);
        QGuiApplication::clipboard()->setMimeData(data);
        t.w.Paste();
        EXPECT_EQ(t.w.PlainText(), row.expected);
        EXPECT_EQ(formatAt(t.w, 0).fontWeight() >= QFont::Bold, row.bold);
    }
}

// Catches: fitting codes computed once (not on resize), from the wrong side
// of the page, percentages re-fitted to the window, wrap-to-window wrapping
// at the page's width and normal wrapping at the window's.
TEST(WPRichTextViews, ZoomCodesAndResizing)
{
    Shown s({500, 400});
    TWPRichText &w = s.w;
    w.InputString(loremParagraph(120));
    const int end = int(w.Document().Text()->characterCount()) - 1;

    // Wrap to window: a narrower window, more lines.
    w.SetZoomMode(wpZoomWrapToWindow);
    const int wideBottom = w.CursorRect(end).bottom();
    w.resize(300, 400);
    EXPECT_GT(w.CursorRect(end).bottom(), wideBottom + 20);
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 0);

    // Normal: wrapped at the page's text width whatever the window.
    w.SetZoomMode(wpZoomNormal);
    const int normalBottom = w.CursorRect(end).bottom();
    w.resize(700, 400);
    EXPECT_EQ(w.CursorRect(end).bottom(), normalBottom);
    EXPECT_EQ(w.LayoutMode(), wplayNormal);

    // Page width: the page fills the width, and follows it.
    w.resize(500, 400);
    w.SetZoomMode(wpZoomPageWidth);
    EXPECT_EQ(w.LayoutMode(), wplayPageLayout);
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 0);
    const int narrow = w.Zoom();
    w.resize(500 + w.viewport()->width(), 400); // twice the viewport
    EXPECT_GT(w.Zoom(), narrow * 2 - narrow / 5);
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 0);

    // Full page: the height rules a wide window, the width a tall one.
    w.SetZoomMode(wpZoomFullPage);
    w.resize(1200, 400);
    EXPECT_EQ(w.verticalScrollBar()->maximum(), 0) << "one whole page in sight";
    const int wideZoom = w.Zoom();
    w.resize(200, 1200);
    EXPECT_EQ(w.horizontalScrollBar()->maximum(), 0);
    EXPECT_LT(w.Zoom(), wideZoom);

    // A percentage stays put when the window changes.
    w.SetZoomMode(150);
    EXPECT_EQ(w.Zoom(), 150);
    w.resize(900, 700);
    EXPECT_EQ(w.Zoom(), 150);
    EXPECT_EQ(w.ZoomMode(), 150);
    const int h150 = w.CursorRect(0).height();
    w.SetZoomMode(300);
    EXPECT_NEAR(w.CursorRect(0).height(), 2 * h150, 2);

    // Ctrl+wheel steps the percentage; the wheel alone scrolls.
    const auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
        const QPointF at(10, 10);
        QWheelEvent e(at, w.viewport()->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(w.viewport(), &e);
    };
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(w.Zoom(), 310);
    wheel(-120, Qt::ControlModifier);
    wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(w.Zoom(), 290);
    const int top = w.verticalScrollBar()->value();
    wheel(-120, {});
    EXPECT_EQ(w.Zoom(), 290);
    EXPECT_GT(w.verticalScrollBar()->value(), top);

    // Codes that do not exist change nothing.
    w.SetZoomMode(-11);
    EXPECT_EQ(w.ZoomMode(), 290);
}

// Catches: double page showing pages one below the other, thumbnails in a
// single column, page layout not breaking where the text asks.
TEST(WPRichTextViews, PagesSideBySide)
{
    Shown s({1200, 800});
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromString(QStringLiteral("one\fpage two\fpage three"), QStringLiteral("TXT")));
    w.SetZoomMode(wpZoomPageLayout);
    ASSERT_EQ(w.PageCount(), 3);
    const QString text = w.PlainText();
    const int two = int(text.indexOf(QStringLiteral("page two")));
    const int three = int(text.indexOf(QStringLiteral("page three")));
    EXPECT_GT(w.CursorRect(two).top(), w.CursorRect(0).bottom() + 500) << "one page below the other";

    w.SetZoomMode(wpZoomDoublePage);
    EXPECT_EQ(w.PagesPerRow(), 2);
    EXPECT_EQ(w.CursorRect(two).top(), w.CursorRect(0).top());
    EXPECT_GT(w.CursorRect(two).left(), w.CursorRect(0).left() + 100);
    EXPECT_GT(w.CursorRect(three).top(), w.CursorRect(0).bottom());
    EXPECT_EQ(w.verticalScrollBar()->maximum() > 0, true) << "the second row lies below";

    w.SetZoomMode(wpZoomThumbnails);
    EXPECT_EQ(w.Zoom(), 20);
    EXPECT_GE(w.PagesPerRow(), 3);
    EXPECT_EQ(w.CursorRect(three).top(), w.CursorRect(0).top());

    // A click on the second page's text finds it, wherever the page is.
    for (int code : {int(wpZoomPageLayout), int(wpZoomDoublePage), int(wpZoomThumbnails)}) {
        SCOPED_TRACE(code);
        w.SetZoomMode(code);
        w.EnsureCursorVisible();
        QTextCursor c = w.TextCursor();
        c.setPosition(two);
        w.SetTextCursor(c);
        const QRect r = w.CursorRect(two + 4);
        Click(&w, QPoint(r.left(), r.center().y()));
        EXPECT_EQ(w.TextCursor().position(), two + 4);
    }
}

// The fraction of dark pixels in a rectangle of an image.
double ink(const QImage &img, const QRect &r)
{
    int dark = 0, all = 0;
    const QRect in = r.intersected(img.rect());
    for (int y = in.top(); y <= in.bottom(); ++y)
        for (int x = in.left(); x <= in.right(); ++x, ++all)
            dark += qGray(img.pixel(x, y)) < 128;
    return all ? double(dark) / all : 0;
}

// Catches: the page's header (painted by the page painter) missing from
// page layout, the body painted a second time over it.
TEST(WPRichTextViews, PageLayoutShowsHeaders)
{
    Shown s({900, 1300});
    TWPRichText &w = s.w;
    w.InputString(QStringLiteral("body"));
    w.SetZoomMode(wpZoomPageLayout);
    const QRect body = w.CursorRect(0);
    // The band between the page's top and the text: where the header goes.
    const QRect band(body.left(), body.top() - 60, 300, 40);
    EXPECT_EQ(ink(shot(w), band), 0.0);

    QTextCursor h(w.Document().Header(0));
    QTextCharFormat big;
    big.setFontPointSize(28);
    h.insertText(QStringLiteral("\u2588\u2588\u2588\u2588\u2588\u2588"), big);
    w.ReformatAll();
    EXPECT_GT(ink(shot(w), band), 0.05);
}

// Catches: hidden text left out of the screen (it is only left out of
// print), drawn with no mark, or the mark drawn over the wrong run.
TEST(WPRichTextViews, HiddenTextIsShownDotted)
{
    const auto render = [](bool hidden, QRect *run) {
        Shown s;
        TWPRichText &w = s.w;
        threeRuns(w, QStringLiteral("shown "), wpHidden, hidden, QStringLiteral("secret"), QStringLiteral(" shown"));
        w.SetZoomMode(200);
        *run = w.CursorRect(6).united(w.CursorRect(12));
        return shot(w);
    };
    QRect run;
    const QImage marked = render(true, &run);
    const QImage plain = render(false, &run);
    ASSERT_EQ(marked.size(), plain.size());
    int differing = 0;
    for (int y = 0; y < marked.height(); ++y) {
        for (int x = 0; x < marked.width(); ++x) {
            if (marked.pixel(x, y) == plain.pixel(x, y))
                continue;
            ++differing;
            EXPECT_GT(y, run.center().y()) << "only below the letters";
            EXPECT_LE(y, run.bottom() + 2);
            EXPECT_GE(x, run.left() - 1);
            EXPECT_LE(x, run.right() + 1);
            if (HasFailure())
                return;
        }
    }
    EXPECT_GT(differing, 10) << "the hidden run is marked";
    EXPECT_GT(ink(marked, run), 0.05) << "and its letters are there";
}

// Catches: view options that draw nothing, or that cannot be switched off
// again; marks that change the text.
TEST(WPRichTextViews, ViewOptionsAreRealSwitches)
{
    Shown s;
    TWPRichText &w = s.w;
    w.InputString(QStringLiteral("a b\tc"));
    w.SetReadOnly(true); // no caret in the pictures
    const QImage off = shot(w);
    for (unsigned option : {unsigned(wpShowCR), unsigned(wpShowSPC), unsigned(wpShowTAB)}) {
        SCOPED_TRACE(option);
        w.SetViewOptions(option);
        EXPECT_NE(shot(w), off);
        w.SetViewOptions(0);
        EXPECT_EQ(shot(w), off);
    }
    w.SetZoomMode(wpZoomPageLayout);
    const QImage page = shot(w);
    w.SetViewOptions(wpDrawPageMarginLines);
    EXPECT_NE(shot(w), page);
    EXPECT_EQ(w.PlainText(), QStringLiteral("a b\tc"));
}

// Catches: gridlines not drawn for a table without borders, drawn over a
// table that has its own borders, or not switched off again.
TEST(WPRichTextViews, GridlinesShowTablesWithoutBorders)
{
    Shown s;
    TWPRichText &w = s.w;
    w.SetReadOnly(true);
    const auto table = [&](const char *cellBorders) {
        const QByteArray rtf = QByteArray("{\\rtf1\\ansi\\trowd") + cellBorders + "\\cellx2000" + cellBorders
                               + "\\cellx4000\\pard\\intbl a\\cell b\\cell\\row\\pard end\\par}";
        ASSERT_TRUE(w.Edit().LoadFromBytes(rtf, QStringLiteral("RTF")));
    };
    table("");
    w.SetViewOptions(0);
    const QImage plain = shot(w);
    w.SetViewOptions(wpShowGridlines);
    EXPECT_NE(shot(w), plain);
    w.SetViewOptions(0);
    EXPECT_EQ(shot(w), plain);

    table("\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10");
    const QImage bordered = shot(w);
    w.SetViewOptions(wpShowGridlines);
    EXPECT_EQ(shot(w), bordered);
}

// Catches: edits touching protected text going through (typing inside,
// Backspace/Delete at its edges, a selection over it, a paste, an input
// method's commit), and text typed after it inheriting the protection.
TEST(WPRichTextEditing, ProtectedTextRefusesEdits)
{
    Shown s;
    TWPRichText &w = s.w;
    threeRuns(w, QStringLiteral("open "), wpProtected, true, QStringLiteral("LOCKED"), QStringLiteral(" tail"));
    const QString before = w.PlainText();
    QSignalSpy refused(&w, &TWPRichText::EditRefused);

    const auto caret = [&](int pos, int anchor = -1) {
        QTextCursor k = w.TextCursor();
        k.setPosition(anchor < 0 ? pos : anchor);
        k.setPosition(pos, QTextCursor::KeepAnchor);
        w.SetTextCursor(k);
    };
    caret(8);
    Type(&w, QStringLiteral("x"));
    Press(&w, QKeySequence::InsertParagraphSeparator);
    caret(11);
    Key(&w, Qt::Key_Backspace);
    caret(5);
    Press(&w, QKeySequence::Delete);
    caret(7, 3);
    Type(&w, QStringLiteral("y"));
    w.Cut();
    auto *data = new QMimeData;
    data->setText(QStringLiteral("pasted"));
    QGuiApplication::clipboard()->setMimeData(data);
    caret(9);
    w.Paste();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("ime"));
    QApplication::sendEvent(&w, &commit);
    EXPECT_EQ(w.PlainText(), before);
    EXPECT_EQ(refused.count(), 8);

    // Beside it is fine, and what is typed there is not protected.
    caret(11);
    Type(&w, QStringLiteral("z"));
    EXPECT_EQ(w.PlainText(), QStringLiteral("open LOCKEDz tail"));
    EXPECT_FALSE(formatAt(w, 11).boolProperty(wpProtected));
    caret(11);
    Key(&w, Qt::Key_Backspace);
    EXPECT_EQ(w.PlainText(), QStringLiteral("open LOCKEDz tail")) << "still refused at the edge";
}

// Catches: a click on a picture not selecting it, handles not hit, corners
// that distort the picture, edges that change both sides, a size the saved
// RTF loses, resizing that cannot be undone or that a read-only text allows.
TEST(WPRichTextEditing, PictureHandlesResize)
{
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    red.save(&buf, "PNG");

    Shown s;
    TWPRichText &w = s.w;
    QTextCursor c(w.Document().Text());
    c.insertText(QStringLiteral("x"));
    const QString name = w.Document().AddPicture(png, QStringLiteral("png"));
    ASSERT_FALSE(name.isEmpty());
    w.Document().InsertPicture(c, name, QSizeF(40, 20));
    c.insertText(QStringLiteral("y"));
    const auto size = [&] {
        const QTextImageFormat f = formatAt(w, 1).toImageFormat();
        return QSizeF(f.width(), f.height());
    };

    const QRect r = w.PictureRect(1);
    ASSERT_TRUE(r.isValid());
    EXPECT_NEAR(r.width(), 40, 1);
    EXPECT_FALSE(w.PictureRect(0).isValid());
    EXPECT_EQ(qRed(shot(w).pixel(r.center())), 255) << "the rectangle is where the picture is drawn";
    Click(&w, r.center());
    EXPECT_EQ(w.TextCursor().selectionStart(), 1);
    EXPECT_EQ(w.TextCursor().selectionEnd(), 2);

    Drag(&w, r.bottomRight() + QPoint(1, 1), r.bottomRight() + QPoint(41, 1)); // corner
    EXPECT_NEAR(size().width(), 80, 1.5);
    EXPECT_NEAR(size().height(), 40, 1.5);
    const QRect r2 = w.PictureRect(1);
    Drag(&w, QPoint(r2.right() + 1, r2.center().y()), QPoint(r2.right() - 19, r2.center().y() + 30)); // edge
    EXPECT_NEAR(size().width(), 60, 1.5);
    EXPECT_NEAR(size().height(), 40, 1.5);

    TWPCustomRtfEdit back;
    ASSERT_TRUE(back.LoadFromBytes(w.Edit().SaveToBytes(QStringLiteral("RTF")), QStringLiteral("RTF")));
    QTextCursor b(back.Document().Text());
    b.setPosition(2);
    EXPECT_NEAR(b.charFormat().toImageFormat().width(), 60, 1);

    EXPECT_TRUE(w.Undo());
    EXPECT_NEAR(size().width(), 80, 1.5);
    w.SetReadOnly(true);
    const QRect r3 = w.PictureRect(1);
    Drag(&w, r3.bottomRight() + QPoint(1, 1), r3.bottomRight() + QPoint(-39, 1));
    EXPECT_NEAR(size().width(), 80, 1.5);
}

// Catches: borders between columns that cannot be grabbed, a drag that
// resizes the wrong column or the whole table, widths lost in the saved RTF,
// a resize that takes more than one undo step, dragging in read-only text.
TEST(WPRichTextEditing, TableColumnsResizeByDraggingTheirBorder)
{
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromBytes(
        "{\\rtf1\\ansi\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl a\\cell b\\cell c\\cell\\row\\pard end\\par}",
        QStringLiteral("RTF")));
    const QList<int> before = CellEdges(w);
    ASSERT_EQ(before.size(), 3);

    // The border left of "b": half way between the two cells' text areas.
    QTextDocument *doc = w.Document().Text();
    QTextCursor c(doc);
    c.setPosition(doc->find(QStringLiteral("b")).selectionStart());
    QTextTable *table = c.currentTable();
    ASSERT_NE(table, nullptr);
    const auto rect = [&](int col) {
        return doc->documentLayout()->blockBoundingRect(table->cellAt(0, col).firstCursorPosition().block());
    };
    const qreal border = (rect(0).right() + rect(1).left()) / 2;
    const QRect caret = w.CursorRect(table->cellAt(0, 1).firstPosition());
    const QPoint at(qRound(caret.left() - (rect(1).left() - border) * w.Zoom() / 100.0), caret.center().y());

    Drag(&w, at, at + QPoint(48, 0)); // half an inch at 100 %
    const QList<int> after = CellEdges(w);
    ASSERT_EQ(after.size(), 3);
    EXPECT_NEAR(after[0] - before[0], 720, 40) << "the first column grows by the drag";
    EXPECT_NEAR(after[1], before[1], 40) << "the second column gives what the first takes";
    EXPECT_NEAR(after[2], before[2], 40) << "the table keeps its width";
    EXPECT_TRUE(w.Undo());
    EXPECT_EQ(CellEdges(w), before) << "one undo step";

    w.SetReadOnly(true);
    Drag(&w, at, at + QPoint(48, 0));
    EXPECT_EQ(CellEdges(w), before);
}

// Catches: a read-only control that still types, pastes or deletes, or one
// that no longer lets the user select and copy.
TEST(WPRichTextEditing, ReadOnlyStillSelectsAndCopies)
{
    Shown s;
    TWPRichText &w = s.w;
    w.InputString(QStringLiteral("fixed"));
    w.SetReadOnly(true);
    EXPECT_FALSE(w.inputMethodQuery(Qt::ImEnabled).toBool());
    Type(&w, QStringLiteral("x"));
    Key(&w, Qt::Key_Backspace);
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    w.Paste();
    EXPECT_EQ(w.PlainText(), QStringLiteral("fixed"));
    Press(&w, QKeySequence::SelectPreviousWord);
    w.Copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("fixed"));
}

// Catches: Tab typed when the text does not want tabs (web pages), or the
// focus not moving on.
TEST(WPRichTextEditing, TabsWantedOrNot)
{
    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *w = new TWPRichText;
    auto *next = new QLineEdit;
    layout->addWidget(w);
    layout->addWidget(next);
    form.show();
    form.activateWindow();
    w->setFocus();
    QApplication::processEvents();
    Type(w, QStringLiteral("a"));
    Key(w, Qt::Key_Tab);
    Type(w, QStringLiteral("b"));
    EXPECT_EQ(w->PlainText(), QStringLiteral("a\tb"));

    w->SetWantTabs(false);
    w->setFocus();
    Key(w, Qt::Key_Tab);
    EXPECT_EQ(w->PlainText(), QStringLiteral("a\tb"));
    EXPECT_EQ(QApplication::focusWidget(), next);
}

// Catches: dead keys typing nothing (or the accent alone), accents put on
// letters that have no such composed form.
TEST(WPRichTextInput, DeadKeysCompose)
{
    struct Row
    {
        int dead;
        QString typed, expected;
    };
    const Row rows[] = {
        {Qt::Key_Dead_Acute, u"e"_qs, u"\u00E9"_qs},
        {Qt::Key_Dead_Circumflex, u"o"_qs, u"\u00F4"_qs},
        {Qt::Key_Dead_Diaeresis, u"U"_qs, u"\u00DC"_qs},
        {Qt::Key_Dead_Circumflex, u" "_qs, u"^"_qs},
        {Qt::Key_Dead_Acute, u"q"_qs, u"\u00B4q"_qs},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.expected.toStdString());
        Shown s;
        Key(&s.w, row.dead);
        EXPECT_TRUE(s.w.PlainText().isEmpty());
        Type(&s.w, row.typed);
        EXPECT_EQ(s.w.PlainText(), row.expected);
    }
    // A caret move in between drops the pending accent.
    Shown s;
    Key(&s.w, Qt::Key_Dead_Grave);
    Press(&s.w, QKeySequence::MoveToStartOfDocument);
    Type(&s.w, u"a"_qs);
    EXPECT_EQ(s.w.PlainText(), u"a"_qs);
}

// Catches: preedit text entering the document before it is committed,
// commits lost, replacement ranges ignored, queries that do not describe
// the caret's paragraph.
TEST(WPRichTextInput, InputMethods)
{
    Shown s;
    TWPRichText &w = s.w;
    w.InputString(QStringLiteral("say "));
    QInputMethodEvent preedit(QStringLiteral("ka"), {});
    QApplication::sendEvent(&w, &preedit);
    EXPECT_EQ(w.PlainText(), QStringLiteral("say "));
    EXPECT_EQ(w.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("say "));
    EXPECT_EQ(w.inputMethodQuery(Qt::ImCursorPosition).toInt(), 4);
    const QRectF caret = w.inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    EXPECT_TRUE(caret.isValid());
    EXPECT_TRUE(QRectF(w.rect()).contains(caret.center()));

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u304B"));
    QApplication::sendEvent(&w, &commit);
    EXPECT_EQ(w.PlainText(), QStringLiteral("say \u304B"));

    // An input method correcting the word before the caret.
    QInputMethodEvent correct;
    correct.setCommitString(QStringLiteral("tell"), -5, 3);
    QApplication::sendEvent(&w, &correct);
    EXPECT_EQ(w.PlainText(), QStringLiteral("tell \u304B"));
}

// Receives the URLs QDesktopServices would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

// Catches: plain clicks opening links in an editor (they place the caret),
// Ctrl+click not opening them, one-click mode ignored.
TEST(WPRichTextInput, HyperlinksOpenOnCtrlClick)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("zortest"), &catcher, "open");
    Shown s;
    TWPRichText &w = s.w;
    ASSERT_TRUE(w.Edit().LoadFromString(QStringLiteral("<p>see <a href=\"zortest://target\">the link</a> here</p>"),
                                         QStringLiteral("HTML")));
    const int inLink = int(w.PlainText().indexOf(QStringLiteral("link")));
    const QPoint at = w.CursorRect(inLink).center() + QPoint(1, 0);
    EXPECT_EQ(w.HyperlinkAt(at), QStringLiteral("zortest://target"));
    QSignalSpy clicked(&w, &TWPRichText::HyperlinkClicked);

    Click(&w, at);
    EXPECT_TRUE(catcher.urls.isEmpty());
    EXPECT_EQ(w.TextCursor().position(), inLink);

    Click(&w, at, Qt::ControlModifier);
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl(QStringLiteral("zortest://target")));
    EXPECT_EQ(clicked.count(), 1);

    w.SetOneClickHyperlink(true);
    Click(&w, at);
    EXPECT_EQ(catcher.urls.size(), 2);
    Click(&w, w.CursorRect(1).center());
    EXPECT_EQ(catcher.urls.size(), 2) << "outside the link: no link";
    QDesktopServices::unsetUrlHandler(QStringLiteral("zortest"));
}

} // namespace

#include "WPRichTextTest.moc"
