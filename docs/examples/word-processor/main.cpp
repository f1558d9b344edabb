// The word-processor window in an application: editing a string in a
// dialog, the shared actions behind its items, the close question, the
// window in place on a form, and the pop-up editor for another control.
// Exits with 1 when a result is not the one shown in the guide.
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/frame/frmQEWPRichText.h>
#include <ZorCompCore/utilities/QEDialogs.h>

#include <QApplication>
#include <QStatusBar>
#include <QTextStream>
#include <QVBoxLayout>

using namespace zor;

namespace {

QTextStream out(stdout);
int failures = 0;

void check(bool ok, const char *what)
{
    if (!ok) {
        out << "unexpected: " << what << '\n';
        ++failures;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    // A string in a dialog: the caller hands the text in as RTF and gets it
    // back through OnSave.
    QString stored = QStringLiteral("{\\rtf1\\ansi Dear customer,\\par}");
    TfrmQEWPRichText dialog;
    dialog.SetLanguage(QStringLiteral("English"));
    dialog.SetTitle(QStringLiteral("Letter text"));
    dialog.SetRTFText(stored);
    dialog.SetModified(false);
    dialog.OnSave = [&stored](TfrmQEWPRichText *sender) {
        stored = sender->RTFText();
        sender->SetModified(false);
    };
    dialog.show();

    // Every menu and toolbar item is a proxy of one shared action; the
    // action acts on the frame's own editor.
    TdWPRichText *editor = dialog.WPRichText1();
    editor->SelectAll();
    dialog.Item(QStringLiteral("WPABold1"))->trigger();
    check(dialog.RTFText().contains(QStringLiteral("\\b ")), "bold through the item");
    check(dialog.Item(QStringLiteral("WPABold1"))->isChecked(), "the item shows the caret's state");
    QAction *shared = GlobalWPDefaultActions()->Actions()->Action(QStringLiteral("WPABold1"));
    check(shared != dialog.Item(QStringLiteral("WPABold1")), "the form holds a proxy");

    // Closing a changed text asks "Möchten Sie die Änderungen speichern?";
    // here the answer comes from a handler instead of a user.
    GlobalMessageDialogHandler = [](const QString &, TMsgDlgType, TMsgDlgButtons, int) { return mrYes; };
    dialog.close();
    GlobalMessageDialogHandler = nullptr;
    check(stored.contains(QStringLiteral("\\b ")), "Yes handed the text over");
    out << "Saved " << stored.size() << " characters of RTF\n";

    // In place: a child of a form fills it, without a status bar; the word
    // processor shows pages, rulers and the file commands.
    QWidget form;
    form.resize(900, 600);
    auto *panel = new QWidget;
    auto *column = new QVBoxLayout(&form);
    column->addWidget(panel);
    auto *frame = new TfrmQEWPRichText(panel);
    frame->SetEnableWordProcessor(true);
    frame->SetFileMode(true);
    form.show();
    QApplication::processEvents();
    check(frame->DialogMode() == rtfDlgInplace, "a parent puts it in place");
    check(frame->geometry() == panel->rect(), "it fills its parent");
    check(!frame->statusBar()->isVisible(), "no status bar in place");
    check(frame->WPRichText1()->ZoomMode() == -12, "page layout");
    out << "In place: " << frame->width() << " x " << frame->height() << " pixels, page layout\n";

    // Another rich-text control opens the window as its pop-up editor.
    // A stand-in user adds a line and saves.
    TdWPRichText cell;
    cell.LoadFromString(QStringLiteral("{\\rtf1\\ansi Note\\par}"), QStringLiteral("RTF"));
    TExternalRichEditor::ShowModal() = [](TfrmQEWPRichText &popup) {
        popup.WPRichText1()->InputString(QStringLiteral("Checked. "));
        popup.Item(QStringLiteral("XA_SaveToString"))->trigger();
    };
    bool saved = false;
    ShowExternalRichEditorHook()(nullptr, &cell, saved);
    check(saved && cell.PlainText().startsWith(QStringLiteral("Checked. Note")), "the cell got the text back");
    out << "Pop-up editor (" << cxWPToolsEditShowEditorCaption() << ") saved: " << cell.PlainText().trimmed() << '\n';

    return failures ? 1 : 0;
}
