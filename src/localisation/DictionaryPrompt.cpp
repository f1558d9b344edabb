#include <ZorCompCore/localisation/DictionaryPrompt.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include "ui_DictionaryPrompt.h"

#include <QDir>
#include <QFileDialog>

namespace zor {

struct TfrmDictionaryPrompt::Private
{
    Ui::DictionaryPrompt ui;
    TsiLangLinked *lang = nullptr;
    QString file;
};

TfrmDictionaryPrompt::TfrmDictionaryPrompt(QWidget *AParent) : QDialog(AParent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    d->lang = new TsiLangLinked(this);
    d->lang->setObjectName(QStringLiteral("siLangLinked_frmDictionaryPrompt"));
    d->lang->SetHandlesType(stItems, false); // language names are data
    // The panel caption is a prefix plus the file name, see showDictionary.
    d->lang->ExcludedProperties().Add(QStringLiteral("lblDictionary.text"));
    siLoadFormTexts(d->lang, QStringLiteral("DictionaryPrompt"));
    d->lang->OnChangeLanguage = [this](TsiCustomLang &) { showDictionary(); };
    siInitEditorForm(this, d->lang);

    FilePicker = [this](const QString &ACurrent) {
        return QFileDialog::getOpenFileName(this, d->lang->GetText(QStringLiteral("IDS_1")), ACurrent,
                                            d->lang->GetText(QStringLiteral("IDS_2")));
    };
    connect(d->ui.btnBrowse, &QPushButton::clicked, this, &TfrmDictionaryPrompt::BrowseDictionary);
    connect(d->ui.cbBaseLanguage, &QComboBox::currentIndexChanged, this, &TfrmDictionaryPrompt::UpdateButtons);
    connect(d->ui.lbDictLanguages, &QListWidget::itemChanged, this, &TfrmDictionaryPrompt::UpdateButtons);
    connect(d->ui.btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(d->ui.btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    showDictionary();
    UpdateButtons();
}

TfrmDictionaryPrompt::~TfrmDictionaryPrompt() = default;

TsiCustomLang *TfrmDictionaryPrompt::Lang() const
{
    return d->lang;
}

void TfrmDictionaryPrompt::SetBaseLanguages(const QStringList &ALanguages, int AIndex)
{
    d->ui.cbBaseLanguage->clear();
    d->ui.cbBaseLanguage->addItems(ALanguages);
    d->ui.cbBaseLanguage->setCurrentIndex(AIndex >= 0 && AIndex < ALanguages.size() ? AIndex : -1);
    UpdateButtons();
}

QString TfrmDictionaryPrompt::BaseLanguage() const
{
    return d->ui.cbBaseLanguage->currentIndex() < 0 ? QString() : d->ui.cbBaseLanguage->currentText();
}

int TfrmDictionaryPrompt::BaseLanguageIndex() const
{
    return d->ui.cbBaseLanguage->currentIndex();
}

void TfrmDictionaryPrompt::SetDictionaryLanguages(const QStringList &ALanguages, const QStringList &AChecked)
{
    QListWidget *list = d->ui.lbDictLanguages;
    const QSignalBlocker block(list);
    list->clear();
    for (const QString &name : ALanguages) {
        auto *item = new QListWidgetItem(name, list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(AChecked.contains(name, Qt::CaseInsensitive) ? Qt::Checked : Qt::Unchecked);
    }
    UpdateButtons();
}

QStringList TfrmDictionaryPrompt::DictionaryLanguages() const
{
    QStringList checked;
    for (int i = 0; i < d->ui.lbDictLanguages->count(); ++i) {
        const QListWidgetItem *item = d->ui.lbDictLanguages->item(i);
        if (item->checkState() == Qt::Checked)
            checked.append(item->text());
    }
    return checked;
}

QString TfrmDictionaryPrompt::DictionaryFile() const
{
    return d->file;
}

void TfrmDictionaryPrompt::SetDictionaryFile(const QString &AFileName)
{
    d->file = AFileName;
    showDictionary();
    if (OnRefresh)
        OnRefresh(*this);
    UpdateButtons();
}

void TfrmDictionaryPrompt::BrowseDictionary()
{
    if (!FilePicker)
        return;
    const QString file = FilePicker(d->file);
    if (!file.isEmpty())
        SetDictionaryFile(file);
}

void TfrmDictionaryPrompt::showDictionary()
{
    d->ui.lblDictionary->setText(d->lang->GetText(QStringLiteral("IDS_0")) + QDir::toNativeSeparators(d->file));
    d->ui.lblDictionary->setToolTip(QDir::toNativeSeparators(d->file));
}

void TfrmDictionaryPrompt::UpdateButtons()
{
    const QString base = BaseLanguage();
    const QStringList targets = DictionaryLanguages();
    const bool target = std::any_of(targets.begin(), targets.end(),
                                    [&](const QString &t) { return t.compare(base, Qt::CaseInsensitive) != 0; });
    d->ui.btnOK->setEnabled(!d->file.isEmpty() && !base.isEmpty() && target);
}

bool TfrmDictionaryPrompt::OverwriteExisting() const { return d->ui.chkOverwrite->isChecked(); }
bool TfrmDictionaryPrompt::CaseSensitive() const { return d->ui.chkCaseSensitive->isChecked(); }
bool TfrmDictionaryPrompt::SkipAmpersands() const { return d->ui.chkSkipAmpersand->isChecked(); }
bool TfrmDictionaryPrompt::ParseMultiLines() const { return d->ui.chkParseMultiLines->isChecked(); }
bool TfrmDictionaryPrompt::ForceEmpty() const { return d->ui.chkForceEmpty->isChecked(); }
bool TfrmDictionaryPrompt::DontAskThisSession() const { return d->ui.chkThisSession->isChecked(); }
bool TfrmDictionaryPrompt::DontAskThisProject() const { return d->ui.chkThisProject->isChecked(); }
void TfrmDictionaryPrompt::SetOverwriteExisting(bool AValue) { d->ui.chkOverwrite->setChecked(AValue); }
void TfrmDictionaryPrompt::SetCaseSensitive(bool AValue) { d->ui.chkCaseSensitive->setChecked(AValue); }
void TfrmDictionaryPrompt::SetSkipAmpersands(bool AValue) { d->ui.chkSkipAmpersand->setChecked(AValue); }
void TfrmDictionaryPrompt::SetParseMultiLines(bool AValue) { d->ui.chkParseMultiLines->setChecked(AValue); }
void TfrmDictionaryPrompt::SetForceEmpty(bool AValue) { d->ui.chkForceEmpty->setChecked(AValue); }
void TfrmDictionaryPrompt::SetDontAskThisSession(bool AValue) { d->ui.chkThisSession->setChecked(AValue); }
void TfrmDictionaryPrompt::SetDontAskThisProject(bool AValue) { d->ui.chkThisProject->setChecked(AValue); }

} // namespace zor
