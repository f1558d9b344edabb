#include "QEWPHTMLPageSetupDlg.h"

#include "ui_QEWPHTMLPageSetupDlg.h"

#include <ZorCompCore/html/HtmlColors.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QColorDialog>
#include <QPixmap>

namespace zor {

namespace {

// The colour names of HTML 4; their values come from the html folder's table.
constexpr const char *kHtml4Colors[] = {"Black", "Silver", "Gray", "White", "Maroon", "Red",
                                        "Purple", "Fuchsia", "Green", "Lime", "Olive", "Yellow",
                                        "Navy", "Blue", "Teal", "Aqua"};

// Item data of the entry that asks for a colour of the user's own.
constexpr int kOwnColorRole = Qt::UserRole + 1;

QIcon swatch(TColor color)
{
    QPixmap p(16, 12);
    p.fill(TColorToQColor(color));
    return QIcon(p);
}

} // namespace

struct TQEWPHTMLPageSetupDialog::Private
{
    Ui::QEWPHTMLPageSetupDlg ui;
    int lastIndex = 0; // the colour before "Other…" was picked

    int addColor(const QString &text, TColor color, int at = -1)
    {
        QComboBox *box = ui.cbBackgroundColor;
        if (at < 0)
            at = box->count();
        box->insertItem(at, swatch(color), text, QVariant::fromValue<quint32>(color));
        return at;
    }

    int ownColorEntry() const { return ui.cbBackgroundColor->count() - 1; }
};

TQEWPHTMLPageSetupDialog::TQEWPHTMLPageSetupDialog(QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>())
{
    d->ui.setupUi(this);
    QComboBox *box = d->ui.cbBackgroundColor;
    d->addColor(tr("Default"), DefaultColor);
    for (const char *name : kHtml4Colors) {
        quint32 color = 0;
        if (HtmlStrToColor(QString::fromLatin1(name), color))
            d->addColor(QLatin1String(name), color);
    }
    box->addItem(tr("Other..."));
    box->setItemData(d->ownColorEntry(), true, kOwnColorRole);
    connect(box, &QComboBox::activated, this, [this, box](int index) {
        if (!box->itemData(index, kOwnColorRole).toBool()) {
            d->lastIndex = index;
            return;
        }
        const QColor picked = QColorDialog::getColor(TColorToQColor(Color()), this);
        if (picked.isValid())
            SetColor(QColorToTColor(picked));
        else
            box->setCurrentIndex(d->lastIndex);
    });
}

TQEWPHTMLPageSetupDialog::~TQEWPHTMLPageSetupDialog() = default;

TColor TQEWPHTMLPageSetupDialog::Color() const
{
    const QVariant v = d->ui.cbBackgroundColor->currentData();
    return v.isValid() ? v.value<quint32>() : DefaultColor;
}

void TQEWPHTMLPageSetupDialog::SetColor(TColor color)
{
    QComboBox *box = d->ui.cbBackgroundColor;
    int index = box->findData(QVariant::fromValue<quint32>(color));
    if (index < 0)
        index = d->addColor(htmlColortoStr(color), color, d->ownColorEntry());
    box->setCurrentIndex(index);
    d->lastIndex = index;
}

TQEWPHTMLPageSetupDlg::TQEWPHTMLPageSetupDlg(QWidget *parent) : m_parent(parent) {}

TQEWPHTMLPageSetupDlg::~TQEWPHTMLPageSetupDlg() = default;

TWPCustomRtfEdit *TQEWPHTMLPageSetupDlg::EditBox() const
{
    return m_edit;
}

void TQEWPHTMLPageSetupDlg::SetEditBox(TWPCustomRtfEdit *editor)
{
    m_edit = editor;
}

bool TQEWPHTMLPageSetupDlg::Execute()
{
    // A read-only page cannot take a new colour.
    if (!m_edit || m_edit->ReadOnly())
        return false;
    TWPDocument &doc = m_edit->Document();
    TQEWPHTMLPageSetupDialog form(m_parent);
    form.SetColor(GetRTFDataColorValue(doc, u"page-background-color"_qs, TQEWPHTMLPageSetupDialog::DefaultColor));
    if (OnShow)
        OnShow(form);
    if (form.exec() != QDialog::Accepted)
        return false;
    // The stored colour is the paper's: pages and the HTML body take it.
    SetRTFDataColorValue(doc, u"page-background-color"_qs, form.Color());
    m_edit->SetModified(true);
    return true;
}

} // namespace zor
