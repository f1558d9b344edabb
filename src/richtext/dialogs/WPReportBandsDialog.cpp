#include "WPReportBandsDialog.h"

#include "ui_WPReportBandsDialog.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/SuperMerge.h>

#include <QDialog>
#include <QTextBlock>
#include <QTextDocument>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPReportBandsDialog> registerBands("TWPReportBandsDialog");

const char *const KindNames[] = {"", "Header", "Data", "Footer", "Group header", "Group footer"};

// kinds: the kind list, whose entries are in the form's language.
QString describe(const TWPBand &b, const QComboBox *kinds)
{
    const int k = int(b.Kind);
    QString s = k >= 1 && k <= kinds->count() ? kinds->itemText(k - 1) : QString();
    if (!b.Name.isEmpty())
        s += u": "_qs + b.Name;
    if (!b.DataBase.isEmpty())
        s += u" ("_qs + b.DataBase + u')';
    return s;
}

} // namespace

struct TWPReportBandsDialog::Private
{
    QPointer<TWPSuperMerge> merge;
    QPointer<QDialog> form;
    Ui::WPReportBandsDialog ui;
};

TWPReportBandsDialog::TWPReportBandsDialog(QObject *owner) : TWPFormDialog(owner), d(new Private) {}

TWPReportBandsDialog::~TWPReportBandsDialog()
{
    delete d->form;
}

TWPSuperMerge *TWPReportBandsDialog::SuperMerge() const { return d->merge; }
void TWPReportBandsDialog::SetSuperMerge(TWPSuperMerge *merge) { d->merge = merge; }
QDialog *TWPReportBandsDialog::Form() const { return d->form; }

void TWPReportBandsDialog::Close()
{
    if (d->form)
        d->form->close();
}

bool TWPReportBandsDialog::AddBand(int kind, const QString &name, const QString &dataBase)
{
    TWPRichText *e = EditBox();
    if (!d->merge || !e || !MayChange() || kind <= 0 || kind > int(TWPBandKind::GroupFooter))
        return false;
    const bool ok = d->merge->SetBand(e->TextCursor(), TWPBandKind(kind), name.trimmed(), dataBase.trimmed());
    if (!ok)
        Q_EMIT e->EditRefused();
    return ok;
}

bool TWPReportBandsDialog::DeleteBand(int index)
{
    TWPRichText *e = EditBox();
    if (!d->merge || !e || !MayChange())
        return false;
    const QList<TWPBand> bands = d->merge->Bands();
    if (index < 0 || index >= bands.size())
        return false;
    QTextCursor at(e->Document().Text());
    at.setPosition(bands[index].Position);
    const bool ok = d->merge->SetBand(at, TWPBandKind::None);
    if (!ok)
        Q_EMIT e->EditRefused();
    return ok;
}

bool TWPReportBandsDialog::InsertField(const QString &fieldName)
{
    TWPRichText *e = EditBox();
    if (!e || fieldName.trimmed().isEmpty() || !MayChange())
        return false;
    bool handled = false;
    if (OnBeforeInsertField)
        OnBeforeInsertField(this, e, fieldName, nullptr, handled);
    if (handled)
        return true;
    QTextCursor c = e->TextCursor();
    if (!MayEdit(c))
        return false;
    c.beginEditBlock();
    c.removeSelectedText();
    e->Document().InsertField(c, TWPFieldKind::Merge, fieldName.trimmed(), {}, c.charFormat());
    c.endEditBlock();
    e->SetTextCursor(c);
    return true;
}

bool TWPReportBandsDialog::Execute()
{
    TWPRichText *e = EditBox();
    if (!e || !d->merge)
        return false;
    if (!d->form) {
        d->form = new QDialog(ParentWindow());
        d->form->setAttribute(Qt::WA_DeleteOnClose, false);
        d->ui.setupUi(d->form);
        for (int k = 1; k <= int(TWPBandKind::GroupFooter); ++k)
            d->ui.cbxKind->addItem(QString::fromLatin1(KindNames[k]), k);
        d->ui.cbxKind->setCurrentIndex(int(TWPBandKind::Data) - 1);
        connect(d->ui.buttonBox, &QDialogButtonBox::rejected, d->form, &QDialog::close);
        connect(d->ui.btnAdd, &QPushButton::clicked, this, [this] {
            AddBand(d->ui.cbxKind->currentData().toInt(), d->ui.edName->text(), d->ui.cbxDataBase->currentText());
        });
        connect(d->ui.btnDelete, &QPushButton::clicked, this, [this] { DeleteBand(d->ui.lstBands->currentRow()); });
        connect(d->ui.btnInsertField, &QPushButton::clicked, this,
                [this] { InsertField(d->ui.cbxField->currentText()); });
        connect(d->ui.btnInsertFormula, &QPushButton::clicked, this, [this] {
            if (!d->ui.edFormula->text().trimmed().isEmpty())
                InsertField(u"FORMULA="_qs + d->ui.edFormula->text().trimmed());
        });
        connect(d->ui.lstBands, &QListWidget::itemClicked, this, [this] {
            const QList<TWPBand> bands = d->merge ? d->merge->Bands() : QList<TWPBand>();
            const int row = d->ui.lstBands->currentRow();
            if (TWPRichText *ed = EditBox(); ed && row >= 0 && row < bands.size()) {
                QTextCursor c(ed->Document().Text());
                c.setPosition(bands[row].Position);
                ed->SetTextCursor(c);
            }
        });
    }
    // The lists follow the template while the form is open.
    const auto refill = [this] {
        if (!d->form || !d->merge)
            return;
        const int row = d->ui.lstBands->currentRow();
        d->ui.lstBands->clear();
        for (const TWPBand &b : d->merge->Bands())
            d->ui.lstBands->addItem(describe(b, d->ui.cbxKind));
        d->ui.lstBands->setCurrentRow(std::min(row, d->ui.lstBands->count() - 1));
        const QString field = d->ui.cbxField->currentText();
        d->ui.cbxField->clear();
        d->ui.cbxField->addItems(FieldNames.isEmpty() ? d->merge->MergeFieldNames() : FieldNames);
        d->ui.cbxField->setCurrentText(field);
    };
    disconnect(d->merge, &TWPSuperMerge::Changed, this, nullptr);
    connect(d->merge, &TWPSuperMerge::Changed, this, refill);
    disconnect(e, &TWPRichText::TextChanged, this, nullptr);
    connect(e, &TWPRichText::TextChanged, this, refill);
    d->ui.cbxDataBase->clear();
    d->merge->SetDataBases(DataBases.isEmpty() ? d->merge->DataBases() : DataBases);
    d->ui.cbxDataBase->addItems(d->merge->DataBaseList());
    d->ui.btnAdd->setVisible(ShowAddDeleteButtons);
    d->ui.btnDelete->setVisible(ShowAddDeleteButtons);
    d->ui.lblField->setVisible(ShowInsertFieldList);
    d->ui.cbxField->setVisible(ShowInsertFieldList);
    d->ui.btnInsertField->setVisible(ShowInsertFieldList);
    d->ui.lblFormula->setVisible(ShowFormulas);
    d->ui.edFormula->setVisible(ShowFormulas);
    d->ui.btnInsertFormula->setVisible(ShowFormulas);
    refill();
    Show(*d->form);
    refill(); // in the language the form was just given
    return true;
}

} // namespace zor
