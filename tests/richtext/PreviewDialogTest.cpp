#include <ZorCompCore/richtext/QEWPPrvFrm.h>
#include <ZorCompCore/richtext/WPPreview.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPointer>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// An editor with pages "one" … "five", one word a page.
void loadFivePages(TWPCustomRtfEdit &editor)
{
    ASSERT_TRUE(editor.LoadFromBytes(R"({\rtf1 one\page two\page three\page four\page five})", u"RTF"_qs));
}

void key(QWidget *to, int k, const QString &text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(to, &release);
}

// Types text into the zoom list and presses Enter.
void typeZoom(TQEWPPreviewForm &form, const QString &text)
{
    auto *cbx = form.findChild<QComboBox *>(u"cbxZoomModes"_qs);
    cbx->setEditText(text);
    key(cbx, Qt::Key_Return, u"\r"_qs);
}

struct Form
{
    TWPCustomRtfEdit editor;
    TQEWPPreviewForm form;
    QComboBox *zoom = nullptr;
    QTimer *timer = nullptr;
    QLineEdit *pageEdit = nullptr;
    QLabel *pageCount = nullptr;

    Form()
    {
        loadFivePages(editor);
        form.SetSource(&editor);
        form.resize(800, 600);
        form.show();
        QApplication::processEvents();
        zoom = form.findChild<QComboBox *>(u"cbxZoomModes"_qs);
        timer = form.findChild<QTimer *>(u"tmrZoom"_qs);
        pageEdit = form.findChild<QLineEdit *>(u"edtPage"_qs);
        pageCount = form.findChild<QLabel *>(u"lblPageCount"_qs);
    }
    TWPPreview &pv() { return *form.Preview(); }
    QString status() const { return form.findChild<QLabel *>(u"lblZoom"_qs)->text(); }
};

} // namespace

// Typed numbers pick the view by their range: the boundaries 10/11 and 50/51
// are where a flipped comparison shows.
TEST(PreviewDialog, TypedZoomNumbersPickTheViewByTheirRange)
{
    struct Row {
        const char *name;
        QString text;
        TWPLayoutMode layout;
        TWPAutoZoom autoZoom;
        int zooming;   // 0: chosen by the view
        bool timer;
    } rows[] = {
        {"thumbnails from 1", u"1"_qs, wpThumbNailView, wpAutoZoomFullPage, 0, false},
        {"five: thumbnails", u"5"_qs, wpThumbNailView, wpAutoZoomFullPage, 0, false},
        {"ten still thumbnails", u"10"_qs, wpThumbNailView, wpAutoZoomFullPage, 0, false},
        {"eleven adjusts columns", u"11"_qs, wplayFullLayout, wpAutoZoomAdjustColumnCount, 11, true},
        {"thirty adjusts columns", u"30"_qs, wplayFullLayout, wpAutoZoomAdjustColumnCount, 30, true},
        {"fifty adjusts columns", u"50"_qs, wplayFullLayout, wpAutoZoomAdjustColumnCount, 50, true},
        {"fifty-one is a plain zoom", u"51"_qs, wplayFullLayout, wpAutoZoomOff, 51, false},
        {"a large zoom", u"240"_qs, wplayFullLayout, wpAutoZoomOff, 240, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Form f;
        f.pv().SetPageColumns(2);   // a plain zoom goes back to one column
        typeZoom(f.form, row.text);
        EXPECT_EQ(f.pv().LayoutMode(), row.layout);
        EXPECT_EQ(f.pv().AutoZoom(), row.autoZoom);
        if (row.zooming) {
            EXPECT_EQ(f.pv().Zooming(), row.zooming);
        }
        if (row.autoZoom == wpAutoZoomOff) {
            EXPECT_EQ(f.pv().PageColumns(), 1);
        }
        EXPECT_EQ(f.timer->isActive(), row.timer);
        EXPECT_EQ(f.status(), QString::number(f.pv().Zooming()) + u'%');
        // The view picks its columns here: the two asked for before are no
        // "Two Pages", nor are thumbnails a "Full Page".
        EXPECT_EQ(f.zoom->currentText(), QString::number(f.pv().Zooming()) + u'%');
    }
}

TEST(PreviewDialog, ThirtyPercentShowsSeveralColumnsAndTheComboFollows)
{
    Form f;
    typeZoom(f.form, u"30"_qs);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomAdjustColumnCount);
    EXPECT_EQ(f.pv().Zooming(), 30);
    EXPECT_TRUE(f.timer->isActive());
    // An A4 page at 30 % is about 240 pixels wide: several fit in 800.
    EXPECT_GT(f.pv().ShownColumns(), 1);
    EXPECT_EQ(f.zoom->currentText(), u"30%"_qs);
    // The timer applies the choice once more and keeps it.
    f.timer->setInterval(0);
    f.timer->start();
    while (f.timer->isActive())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(f.pv().Zooming(), 30);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomAdjustColumnCount);
    EXPECT_FALSE(f.timer->isActive());   // once more, not forever
}

TEST(PreviewDialog, FiveShowsEveryPageAsThumbnails)
{
    Form f;
    typeZoom(f.form, u"5"_qs);
    ASSERT_EQ(f.pv().LayoutMode(), wpThumbNailView);
    const QRect view = f.pv().viewport()->rect();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(view.contains(f.pv().PageRect(i))) << "page " << i;
    // Not a plain number: nothing changes.
    typeZoom(f.form, u"abc"_qs);
    EXPECT_EQ(f.pv().LayoutMode(), wpThumbNailView);
}

TEST(PreviewDialog, ListEntriesSetTheirViewAndAreRemembered)
{
    TWPPreviewDlg dlg;
    Form f;
    f.form.SetDialog(&dlg);

    f.form.SelectZoomMode(wpPvDoublePage);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomFullPage);
    EXPECT_EQ(f.pv().PageColumns(), 2);
    EXPECT_EQ(f.pv().ShownColumns(), 2);
    EXPECT_EQ(f.zoom->currentIndex(), int(wpPvDoublePage));
    EXPECT_EQ(dlg.ZoomMode(), wpPvDoublePage);

    f.form.SelectZoomMode(wpPvFullWidth);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomWidth);
    EXPECT_EQ(f.pv().PageColumns(), 1);
    EXPECT_EQ(f.zoom->currentIndex(), int(wpPvFullWidth));
    // Page width: the page fills the window's width, whatever the zoom.
    EXPECT_NEAR(f.pv().PageRect(0).width(), f.pv().viewport()->width() - 24, 2);

    f.form.SelectZoomMode(wpPvFullPage);
    EXPECT_EQ(f.zoom->currentIndex(), int(wpPvFullPage));
    EXPECT_TRUE(f.pv().viewport()->rect().contains(f.pv().PageRect(0)));

    // Entries with numbers go through the number's rule: 75 is plain, 25 adjusts.
    f.form.SelectZoomMode(wp75Percent);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomOff);
    EXPECT_EQ(f.pv().Zooming(), 75);
    EXPECT_EQ(f.zoom->currentText(), u"75%"_qs);
    f.form.SelectZoomMode(wp25Percent);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomAdjustColumnCount);
    EXPECT_TRUE(f.timer->isActive());
    EXPECT_EQ(dlg.ZoomMode(), wp25Percent);
    f.form.SetDialog(nullptr);
}

TEST(PreviewDialog, ComboFollowsZoomSetOnThePreview)
{
    Form f;
    f.pv().SetAutoZoom(wpAutoZoomWidth);
    EXPECT_EQ(f.zoom->currentIndex(), int(wpPvFullWidth));
    f.pv().SetAutoZoom(wpAutoZoomOff);
    f.pv().SetPageColumns(2);
    EXPECT_EQ(f.zoom->currentIndex(), int(wpPvDoublePage));
    f.pv().SetPageColumns(1);
    f.pv().SetAutoZoom(wpAutoZoomFullPage);
    EXPECT_EQ(f.zoom->currentIndex(), int(wpPvFullPage));
    f.pv().SetAutoZoom(wpAutoZoomOff);
    f.pv().SetZooming(133);
    EXPECT_EQ(f.zoom->currentText(), u"133%"_qs);
    // Showing the combo's own update must not be read as a choice.
    EXPECT_EQ(f.pv().Zooming(), 133);
    EXPECT_EQ(f.pv().AutoZoom(), wpAutoZoomOff);
}

TEST(PreviewDialog, NavigationKeysAndButtonsMoveByTheColumnsShown)
{
    Form f;
    f.form.SelectZoomMode(wp100Percent);
    EXPECT_EQ(f.pageCount->text(), u"/5"_qs);
    EXPECT_EQ(f.pageEdit->text(), u"1"_qs);

    // Keys reach the form from any control (key preview).
    key(f.zoom, Qt::Key_PageDown);
    EXPECT_EQ(f.pv().Page(), 1);
    key(&f.form, Qt::Key_End);
    EXPECT_EQ(f.pv().Page(), 4);
    EXPECT_EQ(f.pageEdit->text(), u"5"_qs);
    key(&f.form, Qt::Key_PageDown);   // past the end stays on the last page
    EXPECT_EQ(f.pv().Page(), 4);
    key(&f.pv(), Qt::Key_Home);
    EXPECT_EQ(f.pv().Page(), 0);
    key(&f.form, Qt::Key_PageUp);
    EXPECT_EQ(f.pv().Page(), 0);

    f.form.SelectZoomMode(wpPvDoublePage);
    key(&f.form, Qt::Key_PageDown);
    EXPECT_EQ(f.pv().Page(), 2);
    f.form.findChild<QToolButton *>(u"btnNext"_qs)->click();
    EXPECT_EQ(f.pv().Page(), 4);
    f.form.findChild<QToolButton *>(u"btnPrev"_qs)->click();
    EXPECT_EQ(f.pv().Page(), 2);
    f.form.findChild<QToolButton *>(u"btnFirst"_qs)->click();
    EXPECT_EQ(f.pv().Page(), 0);
    f.form.findChild<QToolButton *>(u"btnLast"_qs)->click();
    EXPECT_EQ(f.pv().Page(), 4);
    EXPECT_EQ(f.pageEdit->text(), u"5"_qs);
}

TEST(PreviewDialog, PageEditTakesDigitsAndJumpsOnEnter)
{
    Form f;
    f.pageEdit->clear();
    f.pageEdit->setFocus();
    key(f.pageEdit, Qt::Key_A, u"a"_qs);
    key(f.pageEdit, Qt::Key_Minus, u"-"_qs);
    key(f.pageEdit, Qt::Key_3, u"3"_qs);
    EXPECT_EQ(f.pageEdit->text(), u"3"_qs);
    key(f.pageEdit, Qt::Key_Return, u"\r"_qs);
    EXPECT_EQ(f.pv().Page(), 2);
    EXPECT_EQ(f.pageEdit->text(), u"3"_qs);

    key(f.pageEdit, Qt::Key_Backspace);
    EXPECT_EQ(f.pageEdit->text(), QString());
    key(f.pageEdit, Qt::Key_9, u"9"_qs);
    key(f.pageEdit, Qt::Key_9, u"9"_qs);
    key(f.pageEdit, Qt::Key_Enter, u"\r"_qs);
    EXPECT_EQ(f.pv().Page(), 4);   // clamped to the last page
    EXPECT_EQ(f.pageEdit->text(), u"5"_qs);
    // Home in the edit is the edit's, not a jump to the first page.
    key(f.pageEdit, Qt::Key_Home);
    EXPECT_EQ(f.pv().Page(), 4);
}

TEST(PreviewDialog, ClosingWritesTheBoundsBackAndTheNextFormOpensThere)
{
    TWPCustomRtfEdit editor;
    loadFivePages(editor);
    TWPPreviewDlg dlg;
    EXPECT_FALSE(dlg.Execute());   // no editor
    dlg.SetEditBox(&editor);
    dlg.SetModal(false);
    EXPECT_EQ(dlg.CurrentZooming(), 100);
    ASSERT_TRUE(dlg.Execute());
    QPointer<TQEWPPreviewForm> form = dlg.Form();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->size(), QSize(319, 426));
    EXPECT_EQ(form->minimumSize(), QSize(220, 220));
    form->SelectZoomMode(wp150Percent);
    EXPECT_EQ(dlg.CurrentZooming(), 150);
    form->setGeometry(40, 50, 500, 400);
    dlg.Close();
    EXPECT_TRUE(form.isNull());   // closed and freed
    EXPECT_EQ(dlg.CurrentZooming(), 100);
    EXPECT_EQ(QRect(dlg.Left(), dlg.Top(), dlg.Width(), dlg.Height()), QRect(40, 50, 500, 400));

    ASSERT_TRUE(dlg.Execute());
    form = dlg.Form();
    EXPECT_EQ(form->geometry(), QRect(40, 50, 500, 400));
    EXPECT_EQ(form->Preview()->Zooming(), 150);   // the zoom choice is kept
    form->setGeometry(60, 70, 450, 350);
    form->close();   // the user closes it: freed, bounds kept
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(QRect(dlg.Left(), dlg.Top(), dlg.Width(), dlg.Height()), QRect(60, 70, 450, 350));
}

TEST(PreviewDialog, ModalExecuteReturnsWhenTheFormCloses)
{
    TWPCustomRtfEdit editor;
    loadFivePages(editor);
    TWPPreviewDlg dlg;
    dlg.SetEditBox(&editor);
    bool prepared = false;
    dlg.OnPrepareDlg = [&](TQEWPPreviewForm &form) {
        prepared = form.Preview()->Editor() == &editor;
        QTimer::singleShot(0, &form, [&dlg] { dlg.Close(); });
    };
    ASSERT_TRUE(dlg.Execute());
    EXPECT_TRUE(prepared);
    EXPECT_EQ(dlg.Form(), nullptr);
}

// Freeing the dialog while its modal form is up must end the form, not
// leave Execute working on a freed dialog or the form writing bounds into it.
TEST(PreviewDialog, FreeingTheDialogDuringAModalShowEndsTheForm)
{
    TWPCustomRtfEdit editor;
    loadFivePages(editor);
    auto *dlg = new TWPPreviewDlg;
    dlg->SetEditBox(&editor);
    QPointer<TQEWPPreviewForm> seen;
    dlg->OnPrepareDlg = [&](TQEWPPreviewForm &form) {
        seen = &form;
        QTimer::singleShot(0, &form, [dlg] { delete dlg; });
    };
    EXPECT_TRUE(dlg->Execute());
    EXPECT_TRUE(seen.isNull());
}

TEST(PreviewDialog, AWrappingEditorIsPreviewedThroughACopy)
{
    TWPCustomRtfEdit wrapping;
    loadFivePages(wrapping);
    wrapping.SetWordWrap(true);
    wrapping.TextCursor().setPosition(5);
    SetRTFDataColorValue(wrapping.Document(), u"page-background-color"_qs, 0x00FFEEDD);
    const QString text = wrapping.Document().Text()->toPlainText();

    TWPPreviewDlg dlg;
    dlg.SetModal(false);
    dlg.SetEditBox(&wrapping);
    ASSERT_TRUE(dlg.Execute());
    TQEWPPreviewForm *form = dlg.Form();
    TWPCustomRtfEdit *shown = form->Shown();
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(shown, &wrapping);
    EXPECT_EQ(form->Source(), &wrapping);
    EXPECT_FALSE(shown->WordWrap());
    EXPECT_TRUE(wrapping.WordWrap());   // the source is not touched
    EXPECT_EQ(shown->Document().Text()->toPlainText(), text);
    EXPECT_EQ(shown->TextCursor().position(), 5);
    EXPECT_EQ(GetRTFDataColorValue(shown->Document(), u"page-background-color"_qs, 0), 0x00FFEEDDu);
    EXPECT_EQ(form->Preview()->PageCount(), 5);
    dlg.Close();

    TWPCustomRtfEdit paged;
    loadFivePages(paged);
    dlg.SetEditBox(&paged);
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.Form()->Shown(), &paged);
    dlg.Close();
}

TEST(PreviewDialog, PrintAndExportGoToTheHandlersWhenGiven)
{
    TWPCustomRtfEdit editor;
    loadFivePages(editor);
    TWPPreviewDlg dlg;
    dlg.SetModal(false);
    dlg.SetEditBox(&editor);
    int printed = 0, saved = 0;
    dlg.OnPrintClick = [&](TQEWPPreviewForm &) { ++printed; };
    dlg.OnSaveClick = [&](TQEWPPreviewForm &) { ++saved; };
    ASSERT_TRUE(dlg.Execute());
    dlg.Form()->findChild<QToolButton *>(u"btnPrint"_qs)->click();
    dlg.Form()->findChild<QToolButton *>(u"btnExport"_qs)->click();
    EXPECT_EQ(printed, 1);
    EXPECT_EQ(saved, 1);
    dlg.Close();
}

TEST(PreviewDialog, SinglePageModeReachesAnOpenForm)
{
    TWPCustomRtfEdit editor;
    loadFivePages(editor);
    TWPPreviewDlg dlg;
    dlg.SetModal(false);
    dlg.SetEditBox(&editor);
    ASSERT_TRUE(dlg.Execute());
    TWPPreview *pv = dlg.Form()->Preview();
    EXPECT_FALSE(pv->SinglePageMode());
    dlg.SetSinglePageMode(true);
    EXPECT_TRUE(pv->SinglePageMode());
    pv->SetPage(3);
    EXPECT_TRUE(pv->PageRect(2).isEmpty());   // only the current page is shown
    EXPECT_FALSE(pv->PageRect(3).isEmpty());
    dlg.Close();
}

TEST(PreviewDialog, ShowPreviewKeepsOneFormForEveryEditor)
{
    TWPCustomRtfEdit a, b;
    loadFivePages(a);
    ASSERT_TRUE(b.LoadFromBytes(R"({\rtf1 single})", u"RTF"_qs));
    TQEWPPreviewForm *first = WPShowPreview(&a, false);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->Preview()->PageCount(), 5);
    TQEWPPreviewForm *second = WPShowPreview(&b, false);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->Preview()->Editor(), &b);
    EXPECT_EQ(second->Preview()->PageCount(), 1);
    second->close();
    second->Preview()->SetEditor(nullptr);
}

// Edit mode: a click lands where the pages show the text, hidden text (left
// out of the pages) counted; typing goes into the editor.
TEST(PreviewEdit, ClickPlacesTheCaretAndTypingEditsTheEditor)
{
    TWPCustomRtfEdit editor;
    ASSERT_TRUE(editor.LoadFromBytes(R"({\rtf1 alpha {\v secret }beta\page gamma})", u"RTF"_qs));
    const QString plain = editor.Document().Text()->toPlainText();
    const int beta = int(plain.indexOf(u"beta"_qs));
    ASSERT_GT(beta, 0);

    TWPPreview pv;
    pv.resize(600, 800);
    pv.SetEditor(&editor);
    pv.SetZooming(100);
    pv.show();
    QApplication::processEvents();

    TWPPagePainter pages(editor.Document());
    QRectF caret;
    ASSERT_EQ(pages.CaretRect(beta + 2, &caret), 0);   // between "be" and "ta"
    const QPoint at = pv.PageRect(0).topLeft() + (caret.center() * pv.Zooming() / 100.0).toPoint();

    // Read-only until edit mode.
    QMouseEvent click(QEvent::MouseButtonPress, at, pv.viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pv.viewport(), &click);
    EXPECT_EQ(editor.TextCursor().position(), 0);
    key(&pv, Qt::Key_X, u"x"_qs);
    EXPECT_EQ(editor.Document().Text()->toPlainText(), plain);

    pv.SetEditMode(true);
    QApplication::sendEvent(pv.viewport(), &click);
    EXPECT_EQ(editor.TextCursor().position(), beta + 2);
    key(&pv, Qt::Key_X, u"x"_qs);
    EXPECT_EQ(editor.Document().Text()->toPlainText(), QString(plain).insert(beta + 2, u'x'));
    key(&pv, Qt::Key_Backspace);
    EXPECT_EQ(editor.Document().Text()->toPlainText(), plain);

    editor.SetReadOnly(true);
    key(&pv, Qt::Key_Y, u"y"_qs);
    EXPECT_EQ(editor.Document().Text()->toPlainText(), plain);

    // Down from the page's last line goes on to the next page.
    key(&pv, Qt::Key_Home);
    EXPECT_EQ(editor.TextCursor().position(), 0);
    key(&pv, Qt::Key_Down);
    EXPECT_EQ(editor.TextCursor().position(), int(plain.indexOf(u"gamma"_qs)));
    key(&pv, Qt::Key_Up);
    EXPECT_EQ(editor.TextCursor().position(), 0);
}

// Shift selects; the selection shows unless wpHideSelection is set.
TEST(PreviewEdit, ShiftSelectsAndHideSelectionHidesIt)
{
    TWPCustomRtfEdit editor;
    ASSERT_TRUE(editor.LoadFromBytes(R"({\rtf1 alpha beta gamma})", u"RTF"_qs));
    TWPPreview pv;
    pv.resize(600, 800);
    pv.SetEditor(&editor);
    pv.SetZooming(200);
    pv.SetViewOptions({});
    pv.show();
    pv.SetEditMode(true);
    QApplication::processEvents();

    const QColor mark = pv.palette().color(QPalette::Highlight);
    const auto marked = [&] {
        const QImage img = pv.viewport()->grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                // Tinted towards the highlight: white paper under it loses red or green or blue.
                if (c != QColor(Qt::white) && std::abs(c.hue() - mark.hue()) < 20 && c.saturation() > 40)
                    ++n;
            }
        return n;
    };
    EXPECT_EQ(marked(), 0);
    for (int i = 0; i < 5; ++i)
        key(&pv, Qt::Key_Right, {}, Qt::ShiftModifier);
    EXPECT_EQ(editor.TextCursor().selectedText(), u"alpha"_qs);
    EXPECT_GT(marked(), 100);
    pv.SetViewOptions(wpHideSelection);
    EXPECT_EQ(marked(), 0);
    // Typing replaces the selection.
    key(&pv, Qt::Key_O, u"o"_qs);
    EXPECT_EQ(editor.Document().Text()->toPlainText(), u"o beta gamma"_qs);
}

TEST(PreviewPrint, PrintsTheChosenPagesAtTheDocumentsPageSize)
{
    TWPCustomRtfEdit editor;
    loadFivePages(editor);
    QByteArray out;
    {
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buf);
        ASSERT_TRUE(WPPrintPages(editor.Document(), pdf, 1, 2));
    }
    QBuffer in(&out);
    in.open(QIODevice::ReadOnly);
    QPdfDocument doc;
    doc.load(&in);
    ASSERT_EQ(doc.pageCount(), 2);
    EXPECT_TRUE(doc.getAllText(0).text().contains(u"two"_qs));
    EXPECT_TRUE(doc.getAllText(1).text().contains(u"three"_qs));
    // A4 in points.
    EXPECT_NEAR(doc.pagePointSize(0).width(), 595.3, 1);
    EXPECT_NEAR(doc.pagePointSize(0).height(), 841.9, 1);
}
