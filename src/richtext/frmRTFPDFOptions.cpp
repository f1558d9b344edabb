#include "frmRTFPDFOptions.h"

#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/localisation/runtime/EditorForms.h>

#include "ui_frmRTFPDFOptions.h"
#include <QLineEdit>

namespace zor {

struct TfrmRTFPDFOptions::Private
{
    Ui::frmRTFPDFOptions ui;
    TZORLang *lang = nullptr;
    QString language;

    static int margin(const QLineEdit *edit)
    {
        bool ok = false;
        const int value = edit->text().trimmed().toInt(&ok);
        return ok ? value : 0;
    }
};

TfrmRTFPDFOptions::TfrmRTFPDFOptions(QWidget *AParent) : QDialog(AParent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    // The list comes from the engine so that its index stays the size.
    d->ui.cbxPageSize->addItems(PDFPageSizeNames());
    d->ui.cbxPageSize->setCurrentIndex(psA4);
    d->lang = new TZORLang(this);
    d->lang->setObjectName(QStringLiteral("siLang_frmRTFPDFOptions"));
    // The edits hold the user's values and the sizes' names are the same in
    // every language: no language change may touch them.
    for (const QLineEdit *edit : findChildren<QLineEdit *>())
        d->lang->ExcludedProperties().Add(edit->objectName() + QStringLiteral(".text"));
    d->lang->ExcludedProperties().Add(QStringLiteral("cbxPageSize.items"));
    siLoadFormTexts(d->lang, QStringLiteral("frmRTFPDFOptions"));
    d->language = d->lang->Language();
    connect(d->ui.btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(d->ui.btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmRTFPDFOptions::~TfrmRTFPDFOptions() = default;

int TfrmRTFPDFOptions::LeftMargin() const { return Private::margin(d->ui.edtLeft); }
int TfrmRTFPDFOptions::TopMargin() const { return Private::margin(d->ui.edtTop); }
int TfrmRTFPDFOptions::RightMargin() const { return Private::margin(d->ui.edtRight); }
int TfrmRTFPDFOptions::BottomMargin() const { return Private::margin(d->ui.edtBottom); }
void TfrmRTFPDFOptions::SetLeftMargin(int AValue) { d->ui.edtLeft->setText(QString::number(AValue)); }
void TfrmRTFPDFOptions::SetTopMargin(int AValue) { d->ui.edtTop->setText(QString::number(AValue)); }
void TfrmRTFPDFOptions::SetRightMargin(int AValue) { d->ui.edtRight->setText(QString::number(AValue)); }
void TfrmRTFPDFOptions::SetBottomMargin(int AValue) { d->ui.edtBottom->setText(QString::number(AValue)); }

TPDFPageSize TfrmRTFPDFOptions::PageSize() const
{
    const int i = d->ui.cbxPageSize->currentIndex();
    return i >= psLetter && i <= psEnv11 ? TPDFPageSize(i) : psA4;
}

void TfrmRTFPDFOptions::SetPageSize(TPDFPageSize AValue)
{
    if (AValue >= psLetter && AValue <= psEnv11)
        d->ui.cbxPageSize->setCurrentIndex(AValue);
}

TPDFPageOrientation TfrmRTFPDFOptions::PageOrientation() const
{
    return d->ui.rbLandscape->isChecked() ? poPageLandscape : poPagePortrait;
}

void TfrmRTFPDFOptions::SetPageOrientation(TPDFPageOrientation AValue)
{
    if (AValue == poPageLandscape)
        d->ui.rbLandscape->setChecked(true);
    else
        d->ui.rbPortrait->setChecked(true);
}

QString TfrmRTFPDFOptions::Title() const { return d->ui.edtTitle->text(); }
QString TfrmRTFPDFOptions::Author() const { return d->ui.edtAuthor->text(); }
QString TfrmRTFPDFOptions::Subject() const { return d->ui.edtSubject->text(); }
QString TfrmRTFPDFOptions::Keywords() const { return d->ui.edtKeywords->text(); }
void TfrmRTFPDFOptions::SetTitle(const QString &AValue) { d->ui.edtTitle->setText(AValue); }
void TfrmRTFPDFOptions::SetAuthor(const QString &AValue) { d->ui.edtAuthor->setText(AValue); }
void TfrmRTFPDFOptions::SetSubject(const QString &AValue) { d->ui.edtSubject->setText(AValue); }
void TfrmRTFPDFOptions::SetKeywords(const QString &AValue) { d->ui.edtKeywords->setText(AValue); }

bool TfrmRTFPDFOptions::ShowButtons() const { return !d->ui.pnlButtons->isHidden(); }
void TfrmRTFPDFOptions::SetShowButtons(bool AValue) { d->ui.pnlButtons->setVisible(AValue); }

QString TfrmRTFPDFOptions::Language() const { return d->language; }

void TfrmRTFPDFOptions::SetLanguage(const QString &AValue)
{
    d->language = AValue;
    d->lang->SetLanguage(AValue);
}

TZORLang *TfrmRTFPDFOptions::Lang() const { return d->lang; }

} // namespace zor
