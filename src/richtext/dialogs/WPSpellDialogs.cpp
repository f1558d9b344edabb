#include "WPSpellDialogs.h"

#include "ui_WPSpellCheckDlg.h"
#include "ui_WPSpellOptionsDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/spell/SpellCheckRun.h>
#include <ZorCompCore/richtext/spell/SpellController.h>
#include <ZorCompCore/utilities/QEDialogs.h>

#include <QDialog>
#include <QFileInfo>
#include <QTextDocument>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPSpellCheckDlg> registerCheck("TWPSpellCheckDlg");
const TWPDialogRegistrar<TWPSpellOptionsDlg> registerOptions("TWPSpellOptionsDlg");

struct LanguageName
{
    int Lcid;
    const char *Name;
};
constexpr LanguageName Languages[] = {{wpLangGerman, "German"},
                                      {wpLangEnglishUS, "English (United States)"},
                                      {wpLangEnglishUK, "English (United Kingdom)"},
                                      {wpLangFrench, "French"},
                                      {wpLangItalian, "Italian"}};

} // namespace

// ---- check now -------------------------------------------------------------------

TWPSpellCheckDlg::TWPSpellCheckDlg(QObject *owner) : TWPFormDialog(owner) {}
TWPSpellCheckDlg::~TWPSpellCheckDlg() = default;
TWPSpellController *TWPSpellCheckDlg::Controller() const { return m_controller; }
void TWPSpellCheckDlg::SetController(TWPSpellController *controller) { m_controller = controller; }
QString TWPSpellCheckDlg::CompleteText() { return tr("The spelling check is complete."); }

bool TWPSpellCheckDlg::Execute()
{
    TWPRichText *e = EditBox();
    if (!e || !m_controller)
        return false;
    TWPSpellCheckRun run(*m_controller, *e->Document().Text(), e->TextCursor().selectionStart());
    if (!run.Next()) {
        ShowMessage(CompleteText());
        return true;
    }
    QDialog form(ParentWindow());
    Ui::WPSpellCheckDlg ui;
    ui.setupUi(&form);
    bool ended = false;
    // Shows the word found last (selected in the editor), or ends the run.
    const auto show = [&](bool found) {
        if (!found) {
            ended = true;
            form.accept();
            return;
        }
        const TWPSpellError word = run.Current();
        QTextCursor c(e->Document().Text());
        c.setPosition(word.Start);
        c.setPosition(word.Start + word.Length, QTextCursor::KeepAnchor);
        e->SetTextCursor(c);
        ui.lblWord->setText(c.selectedText());
        ui.lstSuggestions->clear();
        ui.lstSuggestions->addItems(run.Suggestions());
        ui.edChangeTo->setText(run.Suggestions().value(0, c.selectedText()));
        if (ui.lstSuggestions->count())
            ui.lstSuggestions->setCurrentRow(0);
        const bool editable = !e->ReadOnly() && e->Document().CanEdit(c);
        ui.btnChange->setEnabled(editable);
        ui.btnChangeAll->setEnabled(editable);
    };
    const auto current = [&] {
        QTextCursor c(e->Document().Text());
        c.setPosition(run.Current().Start);
        c.setPosition(run.Current().Start + run.Current().Length, QTextCursor::KeepAnchor);
        return c;
    };
    connect(ui.lstSuggestions, &QListWidget::currentTextChanged, &form,
            [&ui](const QString &text) { ui.edChangeTo->setText(text); });
    connect(ui.btnIgnore, &QPushButton::clicked, &form, [&] { show(run.Next()); });
    connect(ui.btnIgnoreAll, &QPushButton::clicked, &form, [&] {
        run.IgnoreAll();
        show(run.Next());
    });
    connect(ui.btnAdd, &QPushButton::clicked, &form, [&] {
        if (!run.Add())
            ShowMessage(m_controller->LastError());
        show(run.Next());
    });
    const auto change = [&](bool all) {
        const QString to = ui.edChangeTo->text();
        if (!MayEdit(current()))
            return;
        all ? run.ChangeAll(to) : run.Change(to);
        show(run.Next());
    };
    connect(ui.btnChange, &QPushButton::clicked, &form, [&] { change(false); });
    connect(ui.btnChangeAll, &QPushButton::clicked, &form, [&] { change(true); });
    connect(ui.btnClose, &QPushButton::clicked, &form, &QDialog::reject);
    show(true);
    RunForResult(form);
    if (ended)
        ShowMessage(CompleteText());
    return true;
}

// ---- options -------------------------------------------------------------------------

TWPSpellOptionsDlg::TWPSpellOptionsDlg(QObject *owner) : TWPFormDialog(owner) {}
TWPSpellOptionsDlg::~TWPSpellOptionsDlg() = default;
TWPSpellController *TWPSpellOptionsDlg::Controller() const { return m_controller; }
void TWPSpellOptionsDlg::SetController(TWPSpellController *controller) { m_controller = controller; }

bool TWPSpellOptionsDlg::Execute()
{
    if (!m_controller)
        return false;
    QDialog form(ParentWindow());
    Ui::WPSpellOptionsDlg ui;
    ui.setupUi(&form);
    connect(ui.buttonBox, &QDialogButtonBox::accepted, &form, &QDialog::accept);
    connect(ui.buttonBox, &QDialogButtonBox::rejected, &form, &QDialog::reject);
    for (const LanguageName &l : Languages)
        if (m_controller->LanguageAvailable(l.Lcid))
            ui.cbxLanguage->addItem(tr(l.Name), l.Lcid);
    ui.cbxLanguage->setCurrentIndex(ui.cbxLanguage->findData(m_controller->CurrentLanguage()));
    const TWPSpellOptions options = m_controller->Options();
    ui.chkUpperCase->setChecked(options.IgnoreUpperCase);
    ui.chkNumbers->setChecked(options.IgnoreWithNumbers);
    ui.chkInternet->setChecked(options.IgnoreInternet);
    for (int i = 0; i < m_controller->DictionaryCount(); ++i)
        ui.lstDictionaries->addItem(QFileInfo(m_controller->DictionaryFileName(i)).fileName() + u" ("_qs
                                    + TWPSpellController::LanguageCode(m_controller->DictionaryLanguage(i)) + u')');
    if (!Run(form))
        return false;
    TWPSpellOptions changed = options;
    changed.IgnoreUpperCase = ui.chkUpperCase->isChecked();
    changed.IgnoreWithNumbers = ui.chkNumbers->isChecked();
    changed.IgnoreInternet = ui.chkInternet->isChecked();
    m_controller->SetOptions(changed);
    if (const int lcid = ui.cbxLanguage->currentData().toInt(); lcid > 0)
        m_controller->SetCurrentLanguage(lcid);
    return true;
}

} // namespace zor
