#include <ZorCompCore/localisation/LangNames.h>

#include <ZorCompCore/localisation/runtime/EditorForms.h>
#include <ZorCompCore/localisation/runtime/SiLangLinked.h>
#include <ZorCompCore/platform/StringList.h>
#include "ui_LangNames.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace zor {

namespace {

// Draws the names centred vertically, an empty one as a placeholder.
class TLangNameDelegate : public QStyledItemDelegate
{
public:
    explicit TLangNameDelegate(TfrmLangNames *AForm) : QStyledItemDelegate(AForm), FForm(AForm) {}

    void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override
    {
        QStyleOptionViewItem option = AOption;
        initStyleOption(&option, AIndex);
        const bool selected = option.state & QStyle::State_Selected;
        const TfrmLangNames::ItemLook look = FForm->LookOf(AIndex.row(), selected);
        option.text.clear();
        // Background, selection and focus as the style draws them; the text is ours.
        const QWidget *view = option.widget;
        QStyle *style = view ? view->style() : nullptr;
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &option, APainter, view);
        const QRect textRect = style ? style->subElementRect(QStyle::SE_ItemViewItemText, &option, view) : option.rect;
        APainter->save();
        APainter->setPen(look.Color);
        APainter->setFont(option.font);
        APainter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, look.Text);
        APainter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override
    {
        return {QStyledItemDelegate::sizeHint(AOption, AIndex).width(), FForm->ItemHeight()};
    }

private:
    TfrmLangNames *FForm;
};

QString commaText(const QStringList &ANames)
{
    return TStringList(ANames).CommaText();
}

} // namespace

struct TfrmLangNames::Private
{
    Ui::LangNames ui;
    TsiLangLinked *lang = nullptr;
    QString shownNames; // comma text of the names when the dialog was shown
    bool shown = false;
};

TfrmLangNames::TfrmLangNames(QWidget *AParent) : QDialog(AParent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    d->ui.lbNames->setItemDelegate(new TLangNameDelegate(this));
    d->ui.lbNames->setUniformItemSizes(true);

    d->lang = new TsiLangLinked(this);
    d->lang->setObjectName(QStringLiteral("siLangLinked_frmLangNames"));
    d->lang->SetHandlesType(stItems, false); // the entries are the user's names
    siLoadFormTexts(d->lang, QStringLiteral("LangNames"));
    // The placeholder of empty names is drawn in the form's language.
    d->lang->OnChangeLanguage = [this](TsiCustomLang &) { d->ui.lbNames->viewport()->update(); };
    siInitEditorForm(this, d->lang);

    connect(d->ui.lbNames, &QListWidget::currentRowChanged, this, [this](int ARow) {
        QListWidgetItem *item = d->ui.lbNames->item(ARow);
        d->ui.edName->setText(item ? item->text() : QString());
        UpdateButtons();
    });
    connect(d->ui.edName, &QLineEdit::textChanged, this, &TfrmLangNames::UpdateButtons);
    connect(d->ui.btnModify, &QPushButton::clicked, this, &TfrmLangNames::Modify);
    connect(d->ui.btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(d->ui.btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

TfrmLangNames::~TfrmLangNames() = default;

QListWidget *TfrmLangNames::ListBox() const { return d->ui.lbNames; }
QLineEdit *TfrmLangNames::NameEdit() const { return d->ui.edName; }
QPushButton *TfrmLangNames::ModifyButton() const { return d->ui.btnModify; }
QPushButton *TfrmLangNames::OKButton() const { return d->ui.btnOK; }
TsiCustomLang *TfrmLangNames::Lang() const { return d->lang; }

void TfrmLangNames::SetNames(const QStringList &ANames)
{
    d->ui.lbNames->clear();
    d->ui.lbNames->addItems(ANames);
    if (d->shown)
        d->shownNames = commaText(ANames);
    d->ui.lbNames->setCurrentRow(ANames.isEmpty() ? -1 : 0);
    UpdateButtons();
}

QStringList TfrmLangNames::Names() const
{
    QStringList names;
    for (int i = 0; i < d->ui.lbNames->count(); ++i)
        names.append(d->ui.lbNames->item(i)->text());
    return names;
}

void TfrmLangNames::showEvent(QShowEvent *AEvent)
{
    if (!d->shown) {
        d->shown = true;
        d->shownNames = commaText(Names());
        d->ui.lbNames->setCurrentRow(d->ui.lbNames->count() > 0 ? 0 : -1);
        QListWidgetItem *item = d->ui.lbNames->currentItem();
        d->ui.edName->setText(item ? item->text() : QString());
        UpdateButtons();
    }
    QDialog::showEvent(AEvent);
}

void TfrmLangNames::Modify()
{
    QListWidgetItem *item = d->ui.lbNames->currentItem();
    if (!item)
        return;
    item->setText(d->ui.edName->text());
    UpdateButtons();
}

void TfrmLangNames::UpdateButtons()
{
    const QStringList names = Names();
    const bool noneEmpty = std::none_of(names.begin(), names.end(), [](const QString &n) { return n.isEmpty(); });
    d->ui.btnOK->setEnabled(d->shown && noneEmpty && commaText(names) != d->shownNames);
    const QListWidgetItem *item = d->ui.lbNames->currentItem();
    const QString edited = d->ui.edName->text();
    d->ui.btnModify->setEnabled(item && !edited.trimmed().isEmpty() && edited != item->text());
}

TfrmLangNames::ItemLook TfrmLangNames::LookOf(int AIndex, bool ASelected) const
{
    const QListWidgetItem *item = d->ui.lbNames->item(AIndex);
    if (!item)
        return {};
    const QPalette &palette = d->ui.lbNames->palette();
    ItemLook look;
    look.Text = item->text().isEmpty() ? d->lang->GetText(QStringLiteral("IDS_0")) : item->text();
    if (ASelected)
        look.Color = palette.color(QPalette::HighlightedText);
    else if (item->text().isEmpty())
        look.Color = palette.color(QPalette::Disabled, QPalette::Text);
    else
        look.Color = palette.color(QPalette::Active, QPalette::Text);
    return look;
}

int TfrmLangNames::ItemHeight() const
{
    const QListWidget *list = d->ui.lbNames;
    return QFontMetrics(list->font()).height() + qRound(4.0 * list->logicalDpiY() / 96.0);
}

int ChangeLanguagesDlg(TStringList &ALangNames, TsiLangDispatcher *ADispatcher,
                       const std::function<void(TfrmLangNames &)> &ACallback)
{
    TfrmLangNames dialog;
    dialog.Lang()->SetLangDispatcher(ADispatcher);
    dialog.SetNames(ALangNames.ToQStringList());
    if (ACallback)
        ACallback(dialog);
    const int result = dialog.exec();
    if (result == QDialog::Accepted) {
        ALangNames.BeginUpdate();
        ALangNames.Clear();
        for (const QString &name : dialog.Names())
            ALangNames.Add(name);
        ALangNames.EndUpdate();
    }
    return result;
}

} // namespace zor
