#include "WPParagraphBorderDlg.h"

#include "ui_WPParagraphBorderDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPParagraphBorderDlg> registerBorder("TWPParagraphBorderDlg");

constexpr int kEntryRole = Qt::UserRole + 2; // the entry as given, "0=SINGLE"
constexpr int kDefaultWidth = 10;           // twips: half a point

QString styleCaption(const QString &name)
{
    static const char *const names[][2] = {{"SINGLE", "Single"}, {"DOUBLE", "Double"}, {"DOTTED", "Dotted"},
                                           {"DASHED", "Dashed"}, {"THICK", "Thick"}};
    for (const auto &n : names)
        if (name.compare(QLatin1String(n[0]), Qt::CaseInsensitive) == 0)
            return TWPParagraphBorderDlg::tr(n[1]);
    return name;
}

// The style code of the chosen entry: its data, or the number before the
// '=' of an entry put in by hand; single when there is none.
int chosenStyle(const QComboBox *box)
{
    const QVariant v = box->currentData();
    if (v.isValid())
        return std::clamp(v.toInt(), 0, int(wpbsThick));
    bool ok = false;
    const int code = box->currentText().section(u'=', 0, 0).toInt(&ok);
    return ok ? std::clamp(code, 0, int(wpbsThick)) : wpbsSingle;
}

class BorderForm : public QDialog
{
public:
    Ui::WPParagraphBorderDlg ui;

    explicit BorderForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        WPFillColorBox(ui.cbColor, TWPParagraphBorderDlg::tr("Automatic"));
        WPFillColorBox(ui.cbShadingColor, TWPParagraphBorderDlg::tr("Automatic"));
        TWPParagraphBorderDlg::SetLineStyles(*this, TWPParagraphBorderDlg::DefaultLineStyles());
        connect(ui.btnNone, &QPushButton::clicked, this, [this] { sides(false); });
        connect(ui.btnBox, &QPushButton::clicked, this, [this] { sides(true); });
    }

    void sides(bool on)
    {
        for (QCheckBox *b : {ui.chkLeft, ui.chkTop, ui.chkRight, ui.chkBottom})
            b->setChecked(on);
    }

    QCheckBox *side(int i) const
    {
        QCheckBox *boxes[] = {ui.chkLeft, ui.chkTop, ui.chkRight, ui.chkBottom};
        return boxes[i];
    }

    void load(const QTextBlockFormat &bf)
    {
        int width = 0;
        for (int i = 0; i < 4; ++i) {
            const int w = bf.intProperty(wpBorderLeft + i);
            side(i)->setChecked(w > 0);
            width = std::max(width, w);
        }
        ui.spWidth->setValue((width > 0 ? width : kDefaultWidth) / 20.0);
        const int style = bf.intProperty(wpBorderStyle);
        for (int i = 0; i < ui.cbLineStyle->count(); ++i)
            if (ui.cbLineStyle->itemData(i).toInt() == style)
                ui.cbLineStyle->setCurrentIndex(i);
        WPSelectColor(ui.cbColor, bf.hasProperty(wpBorderColor) ? bf.colorProperty(wpBorderColor) : QColor());
        ui.spSpacing->setValue(bf.intProperty(wpBorderSpacing) / 20.0);
        ui.spShading->setValue(bf.intProperty(wpShading) / 100.0);
        WPSelectColor(ui.cbShadingColor,
                      bf.hasProperty(wpShadingColor) ? bf.colorProperty(wpShadingColor) : QColor());
    }

    void apply(QTextBlockFormat &bf) const
    {
        const int width = int(std::lround(ui.spWidth->value() * 20));
        bool any = false;
        for (int i = 0; i < 4; ++i) {
            if (side(i)->isChecked()) {
                bf.setProperty(wpBorderLeft + i, width);
                any = true;
            } else {
                bf.clearProperty(wpBorderLeft + i);
            }
        }
        const int style = chosenStyle(ui.cbLineStyle);
        const QColor color = WPBoxColor(ui.cbColor);
        const int spacing = int(std::lround(ui.spSpacing->value() * 20));
        // Without lines their settings go too: nothing is left to describe.
        const auto set = [&bf, any](int prop, bool keep, const QVariant &value) {
            if (any && keep)
                bf.setProperty(prop, value);
            else
                bf.clearProperty(prop);
        };
        set(wpBorderStyle, style != wpbsSingle, style);
        set(wpBorderColor, color.isValid(), color);
        set(wpBorderSpacing, spacing > 0, spacing);
        const int shading = int(std::lround(ui.spShading->value() * 100));
        const QColor ink = WPBoxColor(ui.cbShadingColor);
        if (shading > 0)
            bf.setProperty(wpShading, shading);
        else
            bf.clearProperty(wpShading);
        if (shading > 0 && ink.isValid())
            bf.setProperty(wpShadingColor, ink);
        else
            bf.clearProperty(wpShadingColor);
    }
};

} // namespace

TWPParagraphBorderDlg::TWPParagraphBorderDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPParagraphBorderDlg::~TWPParagraphBorderDlg() = default;

QStringList TWPParagraphBorderDlg::DefaultLineStyles()
{
    return {u"0=SINGLE"_qs, u"1=DOUBLE"_qs, u"2=DOTTED"_qs, u"3=DASHED"_qs, u"4=THICK"_qs};
}

QComboBox *TWPParagraphBorderDlg::LineStyleList(QDialog &form)
{
    return form.findChild<QComboBox *>(u"cbLineStyle"_qs);
}

QStringList TWPParagraphBorderDlg::LineStyles(QDialog &form)
{
    QStringList entries;
    if (QComboBox *box = LineStyleList(form))
        for (int i = 0; i < box->count(); ++i) {
            const QString entry = box->itemData(i, kEntryRole).toString();
            entries << (entry.isEmpty() ? box->itemText(i) : entry);
        }
    return entries;
}

void TWPParagraphBorderDlg::SetLineStyles(QDialog &form, const QStringList &entries)
{
    QComboBox *box = LineStyleList(form);
    if (!box)
        return;
    const QVariant was = box->currentData();
    box->clear();
    for (const QString &entry : entries) {
        bool ok = false;
        const int code = entry.section(u'=', 0, 0).trimmed().toInt(&ok);
        if (!ok || code < 0 || code > wpbsThick)
            continue; // a style the painter does not know
        box->addItem(styleCaption(entry.section(u'=', 1).trimmed()), code);
        box->setItemData(box->count() - 1, entry, kEntryRole);
    }
    const int keep = box->findData(was);
    box->setCurrentIndex(keep >= 0 ? keep : 0);
}

bool TWPParagraphBorderDlg::Execute()
{
    return RunParagraphForm<BorderForm>();
}

} // namespace zor
