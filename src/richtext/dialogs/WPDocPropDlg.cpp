#include "WPDocPropDlg.h"

#include "ui_WPDocPropDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QDialog>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPDocPropDlg> registerDocProp("TWPDocPropDlg");

// The information keys the form edits, by their RTF names.
constexpr const char *kTitle = "title";
constexpr const char *kSubject = "subject";
constexpr const char *kAuthor = "author";
constexpr const char *kKeywords = "keywords";
constexpr const char *kComments = "doccomm";

class DocPropForm : public QDialog
{
public:
    Ui::WPDocPropDlg ui;

    explicit DocPropForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }
};

} // namespace

TWPDocPropDlg::TWPDocPropDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPDocPropDlg::~TWPDocPropDlg() = default;

TWPDocStatistics TWPDocPropDlg::Statistics(TWPRichText &editor)
{
    TWPDocStatistics s;
    s.Pages = editor.Edit().PageCount();
    for (QTextBlock b = editor.Document().Text()->begin(); b.isValid(); b = b.next()) {
        const QString t = b.text();
        bool counted = false; // the current word, once it has a letter or digit
        for (QChar ch : t) {
            if (ch.isSpace()) {
                counted = false;
                if (ch != QChar::LineSeparator)
                    ++s.Characters;
                continue;
            }
            ++s.Characters;
            if (!counted && ch.isLetterOrNumber()) {
                ++s.Words;
                counted = true;
            }
        }
        if (!t.trimmed().isEmpty())
            ++s.Paragraphs;
    }
    return s;
}

bool TWPDocPropDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!editor)
        return false;
    TWPDocument &doc = editor->Document();
    DocPropForm form(ParentWindow());
    const std::pair<QLineEdit *, const char *> lines[] = {
        {form.ui.edTitle, kTitle}, {form.ui.edSubject, kSubject}, {form.ui.edAuthor, kAuthor},
        {form.ui.edKeywords, kKeywords}};
    for (const auto &[edit, key] : lines)
        edit->setText(doc.Info(QLatin1String(key)));
    form.ui.edComments->setPlainText(doc.Info(QLatin1String(kComments)));
    const TWPDocStatistics s = Statistics(*editor);
    const QLocale locale;
    form.ui.lblPages->setText(locale.toString(s.Pages));
    form.ui.lblWords->setText(locale.toString(s.Words));
    form.ui.lblChars->setText(locale.toString(s.Characters));
    form.ui.lblParas->setText(locale.toString(s.Paragraphs));
    // A read-only document shows its properties without taking new ones.
    const bool readOnly = editor->ReadOnly();
    for (const auto &[edit, key] : lines)
        edit->setReadOnly(readOnly);
    form.ui.edComments->setReadOnly(readOnly);
    if (!Run(form) || readOnly)
        return false;
    bool changed = false;
    const auto store = [&](const char *key, const QString &value) {
        if (doc.Info(QLatin1String(key)) == value)
            return;
        doc.SetInfo(QLatin1String(key), value);
        changed = true;
    };
    for (const auto &[edit, key] : lines)
        store(key, edit->text());
    store(kComments, form.ui.edComments->toPlainText());
    if (changed)
        editor->SetModified(true);
    return true;
}

} // namespace zor
