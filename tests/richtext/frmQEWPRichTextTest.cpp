// The word-processor window offscreen: a user's session through its items,
// two frames sharing one set of actions, the modes, the close question and
// the pop-up editor, checked through the saved RTF and what is shown.

#include "WidgetInput.h"

#include <ZorCompCore/richtext/WPRuler.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/richtext/actions/WPComboActions.h>
#include <ZorCompCore/richtext/dialogs/WPFormDialog.h>
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/engine/SuperMerge.h>
#include <ZorCompCore/richtext/frame/frmQEWPRichText.h>
#include <ZorCompCore/utilities/QEDialogs.h>

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTextTable>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace zor;
using namespace richtext_test;

namespace {

QString rtfOf(TWPRichText *w) { return QString::fromLatin1(w->Edit().SaveToBytes(QStringLiteral("RTF"))); }

QAction *shared(const char *name) { return GlobalWPDefaultActions()->Actions()->Action(QString::fromLatin1(name)); }

// Answers every message dialog with a fixed result and counts the questions.
struct Answer
{
    int result;
    int asked = 0;
    explicit Answer(int r) : result(r)
    {
        GlobalMessageDialogHandler = [this](const QString &, TMsgDlgType, TMsgDlgButtons, int) {
            ++asked;
            return result;
        };
    }
    ~Answer() { GlobalMessageDialogHandler = nullptr; }
};

void typeText(QWidget *w, const QString &s)
{
    for (QChar ch : s)
        Key(w, ch == u' ' ? int(Qt::Key_Space) : int(ch.toUpper().unicode()), {}, QString(ch));
}

} // namespace

// Catches: items not bound to their shared actions (a click that does
// nothing or acts on another editor), the font boxes not attached to this
// frame, the window not saving what was typed.
TEST(frmQEWPRichText, UserSessionThroughTheItems)
{
    TfrmQEWPRichText f;
    f.resize(900, 600);
    f.show();
    QApplication::processEvents();
    TdWPRichText *w = f.WPRichText1();
    w->setFocus();
    typeText(w, QStringLiteral("Hello world"));
    QTextCursor c = w->TextCursor();
    c.setPosition(6);
    c.setPosition(11, QTextCursor::KeepAnchor);
    w->SetTextCursor(c);

    QAction *bold = f.Item(QStringLiteral("WPABold1"));
    ASSERT_NE(bold, nullptr);
    EXPECT_NE(bold, shared("WPABold1")) << "the form shows a proxy";
    EXPECT_EQ(bold->text(), shared("WPABold1")->text());
    bold->trigger();
    EXPECT_TRUE(rtfOf(w).contains(QStringLiteral("\\b "))) << rtfOf(w).toStdString();
    EXPECT_TRUE(bold->isChecked()) << "the proxy follows the shared state";

    // The size box of this frame drives the selection.
    QComboBox *size = f.Combo(QStringLiteral("WPAFontSize"));
    ASSERT_NE(size, nullptr);
    size->setCurrentText(QStringLiteral("not a size"));
    f.FontSizeUp();
    EXPECT_TRUE(rtfOf(w).contains(QStringLiteral("\\fs22"))) << "11 pt from the default 10" << rtfOf(w).toStdString();
    size->setCurrentText(QStringLiteral("1"));
    const QString before = rtfOf(w);
    f.FontSizeDown();
    EXPECT_EQ(rtfOf(w), before) << "nothing below 1";

    f.Item(QStringLiteral("WPAUndo1"))->trigger();
    f.Item(QStringLiteral("WPAUndo1"))->trigger();
    EXPECT_FALSE(rtfOf(w).contains(QStringLiteral("\\b "))) << "bold undone in one step";
    EXPECT_EQ(w->PlainText(), QStringLiteral("Hello world"));
}

// Catches: a frame hiding or disabling the shared action (the other frame's
// item would vanish), groups of one frame changing the other, proxies acting
// on the last focused editor instead of their own frame's.
TEST(frmQEWPRichText, TwoFramesKeepTheirOwnModes)
{
    QWidget window;
    auto *row = new QHBoxLayout(&window);
    auto *hostA = new QWidget, *hostB = new QWidget;
    row->addWidget(hostA);
    row->addWidget(hostB);
    auto *a = new TfrmQEWPRichText(hostA);
    auto *b = new TfrmQEWPRichText(hostB);
    EXPECT_EQ(a->DialogMode(), rtfDlgInplace) << "a parent puts the frame in place";
    window.resize(1600, 600);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(a->geometry(), hostA->rect()) << "in place it fills its parent";
    window.resize(1400, 500);
    QApplication::processEvents();
    EXPECT_EQ(b->geometry(), hostB->rect()) << "and follows it";

    a->SetFileMode(true);
    b->SetFileMode(false);
    EXPECT_TRUE(a->Item(QStringLiteral("XA_Save"))->isVisible());
    EXPECT_FALSE(b->Item(QStringLiteral("XA_Save"))->isVisible());
    EXPECT_TRUE(shared("XA_Save")->isVisible()) << "the shared action is never hidden";
    EXPECT_TRUE(b->Item(QStringLiteral("XA_SaveToString"))->isVisible());

    a->WPRichText1()->InputString(QStringLiteral("alpha"));
    b->WPRichText1()->InputString(QStringLiteral("beta"));
    b->WPRichText1()->setFocus();
    QApplication::processEvents();
    a->WPRichText1()->SelectAll();
    a->Item(QStringLiteral("WPAItalic1"))->trigger();
    EXPECT_TRUE(rtfOf(a->WPRichText1()).contains(QStringLiteral("\\i "))) << "A's item acts on A's editor";
    EXPECT_FALSE(rtfOf(b->WPRichText1()).contains(QStringLiteral("\\i ")));

    // Disabling follows the shared action in both frames.
    shared("XA_InsSymbol")->setEnabled(false);
    EXPECT_FALSE(a->Item(QStringLiteral("XA_InsSymbol"))->isEnabled());
    EXPECT_FALSE(b->Item(QStringLiteral("XA_InsSymbol"))->isEnabled());
    delete a;
    delete b;
}

// Catches: the viewer hiding too little or bringing back the tag-1 bars,
// the main menu shown in place, read-only lifted while viewer-only, the
// gridlines and one-click links not following the state, the word-processor
// switch not reaching zoom, margins and rulers, empty texts loaded instead
// of clearing.
TEST(frmQEWPRichText, ModesAndTexts)
{
    TfrmQEWPRichText f;
    f.show();
    QApplication::processEvents();
    const auto bars = [&] {
        int shown = 0;
        for (QToolBar *t : f.findChildren<QToolBar *>())
            shown += t->isVisible();
        return shown;
    };
    EXPECT_TRUE(f.menuBar()->isVisible());
    EXPECT_FALSE(f.Bar(QStringLiteral("dxBarManagerBar1"))->isVisible()) << "Format bar: tag 1";
    EXPECT_FALSE(f.Bar(QStringLiteral("dxBarManagerBar5"))->isVisible()) << "View bar: tag 1";
    const int normal = bars();
    EXPECT_EQ(normal, 10);
    f.SetViewerOnly(true);
    EXPECT_EQ(bars(), 0);
    EXPECT_FALSE(f.menuBar()->isVisible());
    EXPECT_FALSE(f.statusBar()->isVisible());
    EXPECT_TRUE(f.ReadOnly());
    EXPECT_FALSE(f.WPRichText1()->ViewOptions() & wpShowGridlines);
    f.SetReadOnly(false);
    EXPECT_TRUE(f.ReadOnly()) << "viewer-only keeps it read-only";
    f.SetEnabledWebPageMode(true);
    EXPECT_TRUE(f.WPRichText1()->OneClickHyperlink());
    EXPECT_FALSE(f.WPRichText1()->WantTabs());
    EXPECT_TRUE(f.Item(QStringLiteral("XA_HTMLPageSetup"))->isVisible());
    f.SetViewerOnly(false);
    EXPECT_EQ(bars(), normal);
    EXPECT_FALSE(f.WPRichText1()->OneClickHyperlink());
    EXPECT_TRUE(f.WPRichText1()->ViewOptions() & wpShowGridlines);
    f.SetEnabledWebPageMode(false);
    EXPECT_TRUE(f.WPRichText1()->WantTabs());

    EXPECT_FALSE(f.EnableWordProcessor());
    EXPECT_EQ(f.WPRichText1()->ZoomMode(), -18);
    EXPECT_FALSE(f.WPRuler1()->isVisible());
    f.SetEnableWordProcessor(true);
    EXPECT_EQ(f.WPRichText1()->ZoomMode(), -12);
    EXPECT_EQ(f.WPRichText1()->Document().PageSetup(0).MarginLeft, 1882);
    EXPECT_TRUE(f.WPRuler1()->isVisible());
    EXPECT_TRUE(f.Item(QStringLiteral("ShowHorzRuler1"))->isChecked());
    EXPECT_TRUE(f.Item(QStringLiteral("XA_ViewPageLayout"))->isVisible());
    EXPECT_FALSE(f.Item(QStringLiteral("ShowGutter1"))->isVisible()) << "never shown";
    f.Item(QStringLiteral("ShowHorzRuler1"))->trigger();
    EXPECT_FALSE(f.WPRuler1()->isVisible());
    f.SetEnableWordProcessor(false);
    EXPECT_EQ(f.WPRichText1()->Document().PageSetup(0).MarginLeft, 0);

    f.SetRTFText(QStringLiteral("{\\rtf1\\ansi Some \\b bold\\b0  text\\par}"));
    EXPECT_EQ(f.PlainText().trimmed(), QStringLiteral("Some bold text"));
    f.SetPlainText(QString());
    EXPECT_EQ(f.PlainText(), QString());
    f.SetPlainText(QStringLiteral("plain"));
    EXPECT_TRUE(f.RTFText().contains(QStringLiteral("plain")));
    f.SetRTFText(QString());
    EXPECT_EQ(f.PlainText(), QString());

    f.SetShowSaveButton(false);
    EXPECT_FALSE(f.Item(QStringLiteral("XA_SaveToString"))->isVisible());
    EXPECT_FALSE(f.Item(QStringLiteral("XA_Save"))->isVisible());
    EXPECT_FALSE(f.Item(QStringLiteral("XA_SaveAs"))->isVisible());

    // A report engine shows the reporting items and gets the editor's text.
    EXPECT_FALSE(f.Item(QStringLiteral("XA_InsMailmergeField"))->isVisible());
    TWPSuperMerge merge;
    f.SetSuperMerge(&merge);
    EXPECT_EQ(merge.Source(), &f.WPRichText1()->Document());
    EXPECT_TRUE(f.Item(QStringLiteral("XA_InsMailmergeField"))->isVisible());
    EXPECT_TRUE(f.Item(QStringLiteral("menuReporting"))->isVisible());
    f.SetSuperMerge(nullptr);
    EXPECT_FALSE(f.Item(QStringLiteral("menuReporting"))->isVisible());

    f.SetLanguage(QStringLiteral("German"));
    EXPECT_EQ(f.Item(QStringLiteral("menuFile"))->text(), QStringLiteral("Datei"));
    EXPECT_EQ(f.Language(), QStringLiteral("German"));
    f.SetLanguage(QStringLiteral("English"));
    EXPECT_EQ(f.Item(QStringLiteral("menuFile"))->text(), QStringLiteral("File"));
}

// Catches: a question for unmodified text or in place, Cancel closing
// anyway, Yes not handing the text over in string mode.
TEST(frmQEWPRichText, CloseAsksOnlyWhenItShould)
{
    TfrmQEWPRichText f;
    int saved = 0;
    f.OnSave = [&](TfrmQEWPRichText *) { ++saved; };
    f.show();
    {
        Answer cancel(mrCancel);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(cancel.asked, 0) << "unmodified: no question";
    }
    f.show();
    f.WPRichText1()->InputString(QStringLiteral("changed"));
    {
        Answer cancel(mrCancel);
        EXPECT_FALSE(f.close());
        EXPECT_EQ(cancel.asked, 1);
        EXPECT_TRUE(f.isVisible());
    }
    {
        Answer yes(mrYes);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(saved, 1) << "string mode: OnSave";
        EXPECT_TRUE(f.NeedSave());
    }
    f.show();
    f.SetShowSaveButton(false);
    {
        Answer cancel(mrCancel);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(cancel.asked, 0) << "without a save button nothing is asked";
    }
    QWidget host;
    auto *inplace = new TfrmQEWPRichText(&host);
    inplace->WPRichText1()->InputString(QStringLiteral("changed"));
    {
        Answer cancel(mrCancel);
        EXPECT_TRUE(inplace->close());
        EXPECT_EQ(cancel.asked, 0) << "in place: never asked";
    }
}

// Catches: the pop-up editor not copying the text in, saving not copying it
// back (or not marking the control modified), Saved wrong.
TEST(frmQEWPRichText, ExternalEditorEditsAnotherControl)
{
    TdWPRichText cell;
    cell.LoadFromString(QStringLiteral("{\\rtf1\\ansi cell \\b text\\b0\\par}"), QStringLiteral("RTF"));
    cell.SetModified(false);
    const auto keep = TExternalRichEditor::ShowModal();
    TExternalRichEditor::ShowModal() = [](TfrmQEWPRichText &frame) {
        EXPECT_EQ(frame.PlainText().trimmed(), QStringLiteral("cell text"));
        EXPECT_FALSE(frame.FileMode());
        QTextCursor c = frame.WPRichText1()->TextCursor();
        c.setPosition(9); // after "cell text"
        frame.WPRichText1()->SetTextCursor(c);
        frame.WPRichText1()->InputString(QStringLiteral(" more"));
        frame.Item(QStringLiteral("XA_SaveToString"))->trigger();
    };
    bool saved = false;
    ShowExternalRichEditorHook()(nullptr, &cell, saved);
    EXPECT_TRUE(saved);
    EXPECT_EQ(cell.PlainText().trimmed(), QStringLiteral("cell text more"));
    EXPECT_TRUE(cell.Modified());
    EXPECT_TRUE(rtfOf(&cell).contains(QStringLiteral("\\b "))) << "formatting kept";

    TExternalRichEditor::ShowModal() = [](TfrmQEWPRichText &) {};
    cell.SetModified(false);
    ShowExternalRichEditorHook()(nullptr, &cell, saved);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(cell.Modified());
    TExternalRichEditor::ShowModal() = keep;
    EXPECT_EQ(cxWPToolsEditShowEditorCaption(), QStringLiteral("Editieren..."));
}

// Catches: pictures of an HTML save not named "img" + prefix + number from
// 0, or written somewhere else than beside the file.
TEST(frmQEWPRichText, HtmlSaveNamesItsPictures)
{
    QTemporaryDir dir;
    TfrmQEWPRichText f;
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    red.save(&buf, "PNG");
    TWPDocument &doc = f.WPRichText1()->Document();
    QTextCursor c(doc.Text());
    c.insertText(QStringLiteral("a"));
    doc.InsertPicture(c, doc.AddPicture(png, QStringLiteral("png")), QSizeF(8, 8));
    doc.InsertPicture(c, doc.AddPicture(png, QStringLiteral("png")), QSizeF(8, 8));
    const QString file = dir.filePath(QStringLiteral("page.html"));
    ASSERT_TRUE(f.SaveAsHTMLFile(file, QString(), QStringLiteral("_x")));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("img_x0.png"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("img_x1.png"))));
    QFile html(file);
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    EXPECT_TRUE(html.readAll().contains("img_x1.png"));
    const QString str = f.SaveAsHTMLStr(dir.path(), QString(), QStringLiteral("_s"));
    EXPECT_TRUE(str.contains(QStringLiteral("img_s0.png")));
}

// Catches: the window's items not reaching the dialogs and commands behind
// them: a table not made by the table dialog's answer, cells not combined
// or split, a style not applied, Replace All not replacing everywhere or
// taking more than one undo step; checked through the saved RTF.
TEST(frmQEWPRichText, SessionWithTablesStylesAndReplace)
{
    TfrmQEWPRichText f;
    f.resize(1000, 700);
    f.show();
    QApplication::processEvents();
    TdWPRichText *w = f.WPRichText1();
    TdmQEWPActions *module = GlobalWPDefaultActions()->Actions();
    w->setFocus();
    typeText(w, QStringLiteral("Report"));
    Key(w, Qt::Key_Return);

    auto *tableDlg = qobject_cast<TWPFormDialog *>(module->Dialog(QStringLiteral("TWPTableDlg")));
    ASSERT_NE(tableDlg, nullptr);
    tableDlg->OnShow = [](QDialog &form) {
        form.findChild<QSpinBox *>(QStringLiteral("spRows"))->setValue(2);
        form.findChild<QSpinBox *>(QStringLiteral("spColumns"))->setValue(3);
        form.accept();
    };
    f.Item(QStringLiteral("XA_CreateTable"))->trigger();
    QTextTable *table = w->TextCursor().currentTable();
    ASSERT_NE(table, nullptr) << "the caret is in the new table";
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 3);
    typeText(w, QStringLiteral("Report one"));
    EXPECT_EQ(rtfOf(w).count(QRegularExpression(QStringLiteral("\\\\cell(?![a-z])"))), 6);

    // Two cells of the first row combined, then split again.
    QTextCursor cells(w->Document().Text());
    cells.setPosition(table->cellAt(0, 0).firstPosition());
    cells.setPosition(table->cellAt(0, 1).lastPosition(), QTextCursor::KeepAnchor);
    w->SetTextCursor(cells);
    f.Item(QStringLiteral("WPACombineCell1"))->trigger();
    EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 2);
    EXPECT_TRUE(rtfOf(w).contains(QStringLiteral("\\clmgf"))) << "the merge is saved";
    w->SetTextCursor(table->cellAt(0, 0).firstCursorPosition());
    f.Item(QStringLiteral("WPASplitCells1"))->trigger();
    EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 1);

    // A style of the document, applied from the style box's action.
    w->Document().SetStyle({QStringLiteral("Title"), QStringLiteral("Size=20"), {}, false});
    QTextCursor top(w->Document().Text());
    w->SetTextCursor(top);
    auto *styles = qobject_cast<TWPToolsCustomEditContolAction *>(module->Action(QStringLiteral("WPAStyleNames")));
    ASSERT_NE(styles, nullptr);
    EXPECT_TRUE(styles->ApplyText(QStringLiteral("Title")));
    EXPECT_TRUE(rtfOf(w).contains(QRegularExpression(QStringLiteral("\\\\s\\d+[^;]*Report")))) << rtfOf(w).toStdString();

    // Replace All through the non-modal dialog: one undo step.
    const QString before = w->PlainText();
    auto *replaceDlg = qobject_cast<TWPFormDialog *>(module->Dialog(QStringLiteral("TWPReplaceDlg")));
    ASSERT_NE(replaceDlg, nullptr);
    replaceDlg->OnShow = [](QDialog &form) {
        form.findChild<QLineEdit *>(QStringLiteral("edFind"))->setText(QStringLiteral("Report"));
        form.findChild<QLineEdit *>(QStringLiteral("edReplace"))->setText(QStringLiteral("Summary"));
        form.findChild<QPushButton *>(QStringLiteral("btnReplaceAll"))->click();
        form.reject();
    };
    f.Item(QStringLiteral("WPAReplace1"))->trigger();
    EXPECT_EQ(w->PlainText().count(QStringLiteral("Summary")), 2) << w->PlainText().toStdString();
    EXPECT_FALSE(w->PlainText().contains(QStringLiteral("Report")));
    f.Item(QStringLiteral("WPAUndo1"))->trigger();
    EXPECT_EQ(w->PlainText(), before);
    tableDlg->OnShow = nullptr;
    replaceDlg->OnShow = nullptr;
}
