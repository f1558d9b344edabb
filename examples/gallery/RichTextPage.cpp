// The "Rich text" page: the word-processor window in place, in page layout,
// on the sample letter, with a language menu and buttons for the other ways
// an application shows it: as a dialog editing a string, as a viewer and in
// web-page mode. Spelling is marked while typing (US English). Below, a
// table with a rich-text column edits its cells in the window as a pop-up
// editor ("Editieren...").
// Headless, --richtext FILE.png types a line with a misspelt word at the top
// of the letter, waits for the checker to mark it and saves a picture of the
// page.
#include "GalleryPage.h"

#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/dWPRichText.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/frame/frmQEWPRichText.h>
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QHeaderView>
#include <QTextLayout>
#include <QTextStream>
#include <QVBoxLayout>

using namespace zor;

namespace {

QString sampleLetter()
{
    return QDir::cleanPath(QStringLiteral(ZOR_GALLERY_IMAGES "/../richtext/sample.rtf"));
}

class RichTextPage : public QWidget
{
public:
    explicit RichTextPage(QWidget *parent = nullptr) : QWidget(parent)
    {
        auto *top = new QHBoxLayout;
        auto *language = new QComboBox;
        language->addItems({QStringLiteral("English"), QStringLiteral("German"), QStringLiteral("Francais"),
                            QStringLiteral("Italian")});
        auto *dialog = new QPushButton(QStringLiteral("Edit a string in a dialog…"));
        auto *viewer = new QCheckBox(QStringLiteral("Viewer only"));
        auto *web = new QCheckBox(QStringLiteral("Web-page mode"));
        said = new QLabel;
        top->addWidget(new QLabel(QStringLiteral("Language:")));
        top->addWidget(language);
        top->addWidget(dialog);
        top->addWidget(viewer);
        top->addWidget(web);
        top->addWidget(said, 1);

        host = new QWidget;
        auto *col = new QVBoxLayout(this);
        col->addLayout(top);
        col->addWidget(host, 1);
        col->addWidget(notesTable());
        frame = new TfrmQEWPRichText(host);
        frame->SetLanguage(QStringLiteral("English"));
        frame->SetEnableWordProcessor(true);
        frame->SetFileMode(true);
        frame->LoadRTFFromFile(sampleLetter());
        frame->SetModified(false);
        if (TWPSpellController *spell = GlobalWPDefaultActions()->Actions()->WPSpellController1())
            spell->SetCurrentLanguage(wpLangEnglishUS);
        if (QAction *asYouGo = GlobalWPDefaultActions()->Actions()->Action(QStringLiteral("XA_SpellAsYouGo")))
            asYouGo->setChecked(true);

        connect(language, &QComboBox::currentTextChanged, this, [this](const QString &name) {
            frame->SetLanguage(name);
        });
        connect(viewer, &QCheckBox::toggled, this, [this](bool on) { frame->SetViewerOnly(on); });
        connect(web, &QCheckBox::toggled, this, [this](bool on) { frame->SetEnabledWebPageMode(on); });
        connect(dialog, &QPushButton::clicked, this, [this] { editString(); });
    }

    TfrmQEWPRichText *frame = nullptr;

private:
    // A dialog in string mode on the letter's first paragraph; Save hands
    // the text back through OnSave.
    void editString()
    {
        TfrmQEWPRichText dlg;
        dlg.SetTitle(QStringLiteral("A string in a dialog"));
        dlg.SetRTFText(QStringLiteral("{\\rtf1\\ansi A short text for the caller. Edit it and save.\\par}"));
        dlg.SetModified(false);
        dlg.OnSave = [this](TfrmQEWPRichText *sender) {
            said->setText(QStringLiteral("Saved: ") + sender->PlainText().trimmed().left(60));
            sender->SetModified(false);
        };
        dlg.resize(800, 500);
        dlg.show();
        while (dlg.isVisible())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    // Customers and a note each, kept as RTF in the cell; the pop-up editor
    // edits the note of the selected row.
    QWidget *notesTable()
    {
        auto *box = new QWidget;
        auto *row = new QHBoxLayout(box);
        auto *table = new QTableWidget(3, 2);
        table->setHorizontalHeaderLabels({QStringLiteral("Customer"), QStringLiteral("Note")});
        table->horizontalHeader()->setStretchLastSection(true);
        table->setMaximumHeight(130);
        const char *const customers[] = {"Meyer GmbH", "Rossi S.p.A.", "Dupont SA"};
        for (int r = 0; r < 3; ++r) {
            table->setItem(r, 0, new QTableWidgetItem(QString::fromLatin1(customers[r])));
            setNote(table, r, QStringLiteral("{\\rtf1\\ansi Call back in \\b January\\b0 .\\par}"));
        }
        auto *edit = new QPushButton(cxWPToolsEditShowEditorCaption());
        row->addWidget(table, 1);
        row->addWidget(edit);
        connect(edit, &QPushButton::clicked, this, [this, table] {
            const int r = std::max(0, table->currentRow());
            TdWPRichText cell;
            cell.LoadFromString(table->item(r, 1)->data(Qt::UserRole).toString(), QStringLiteral("RTF"));
            bool saved = false;
            if (ShowExternalRichEditorHook())
                ShowExternalRichEditorHook()(this, &cell, saved);
            if (saved)
                setNote(table, r, QString::fromLatin1(cell.Edit().SaveToBytes(QStringLiteral("RTF"))));
        });
        return box;
    }

    static void setNote(QTableWidget *table, int row, const QString &rtf)
    {
        TdWPRichText cell;
        cell.LoadFromString(rtf, QStringLiteral("RTF"));
        auto *item = new QTableWidgetItem(cell.PlainText().trimmed());
        item->setData(Qt::UserRole, rtf);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        table->setItem(row, 1, item);
    }

    QWidget *host = nullptr;
    QLabel *said = nullptr;
};

bool marked(TWPRichText *editor)
{
    auto *marker = editor->SpellAsYouGo();
    if (!marker)
        marker = editor->findChild<TWPSpellAsYouGo *>();
    return marker && marker->IsIdle() && marker->MisspellingAt(2).Length > 0;
}

int runHeadless(QApplication &, const QStringList &args)
{
    QTextStream out(stdout);
    const QString picture = gallery::argValue(args, QStringLiteral("--richtext"));
    RichTextPage page;
    page.resize(1100, 800);
    page.show();
    QApplication::processEvents();
    TWPRichText *editor = page.frame->WPRichText1();
    editor->setFocus();
    QTextCursor c = editor->TextCursor();
    c.setPosition(0);
    editor->SetTextCursor(c);
    editor->InputString(QStringLiteral("A mispelled word, marked while typing.\n"));
    QElapsedTimer waited;
    waited.start();
    while (!marked(editor) && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool ok = marked(editor);
    out << "Words: " << editor->PlainText().split(QLatin1Char(' '), Qt::SkipEmptyParts).size()
        << ", pages: " << editor->PageCount() << ", the misspelt word "
        << (ok ? "is marked" : "was NOT marked") << '\n';
    if (!gallery::savePicture(page, picture, out))
        return 1;
    return ok ? 0 : 1;
}

const bool registered =
    gallery::registerPage({QStringLiteral("Rich text"), 78,
                           [](QWidget *parent) -> QWidget * { return new RichTextPage(parent); }})
    && gallery::registerCommand({QStringLiteral("--richtext"),
                                 QStringLiteral("--richtext FILE.png the word-processor window on the sample letter, "
                                                "a misspelt word marked"),
                                 runHeadless});

} // namespace
