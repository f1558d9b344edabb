#include "WPPagePropDlg.h"

#include "ui_WPPagePropDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QHash>
#include <QPageSize>

#include <cmath>
#include <cstdlib>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPPagePropDlg> registerPage("TWPPagePropDlg");

constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A3,     QPageSize::A4,    QPageSize::A5,
                                             QPageSize::A6,     QPageSize::B5,    QPageSize::Letter,
                                             QPageSize::Legal,  QPageSize::Executive, QPageSize::Tabloid};

constexpr int kMinTwips = 720;     // half an inch of paper, of text
constexpr int kMaxTwips = 31680;   // 22 inches
constexpr int kTolerance = 20;     // a paper matches within a point

QSize paperTwips(QPageSize::PageSizeId id)
{
    const QSizeF mm = QPageSize(id).size(QPageSize::Millimeter);
    return {int(std::lround(mm.width() * 1440 / 25.4)), int(std::lround(mm.height() * 1440 / 25.4))};
}

class PageForm : public QDialog
{
public:
    Ui::WPPagePropDlg ui;
    TWPLengthUnit unit = WPLengthUnit(false);
    bool updating = false;

    explicit PageForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        for (QPageSize::PageSizeId id : kPapers)
            ui.cbPaper->addItem(QPageSize::name(id), int(id));
        ui.cbPaper->addItem(TWPPagePropDlg::tr("User defined"), -1);
        for (QDoubleSpinBox *box : {ui.spWidth, ui.spHeight})
            WPSetUnit(box, unit, kMinTwips, kMaxTwips);
        for (QDoubleSpinBox *box : {ui.spTop, ui.spBottom, ui.spLeft, ui.spRight, ui.spHeader, ui.spFooter})
            WPSetUnit(box, unit, 0, kMaxTwips);
        connect(ui.cbPaper, &QComboBox::activated, this, [this] { paperChosen(); });
        connect(ui.spWidth, &QDoubleSpinBox::valueChanged, this, [this] { sizeChanged(); });
        connect(ui.spHeight, &QDoubleSpinBox::valueChanged, this, [this] { sizeChanged(); });
        connect(ui.rbLandscape, &QRadioButton::toggled, this, [this](bool landscape) { turn(landscape); });
        for (QDoubleSpinBox *box : {ui.spTop, ui.spBottom, ui.spLeft, ui.spRight, ui.spWidth, ui.spHeight})
            connect(box, &QDoubleSpinBox::valueChanged, this, [this] { ui.lblError->clear(); });
    }

    // What each box was last set to, exactly: a value shown rounded to the
    // unit's decimals reads back as it was set until the user changes it.
    QHash<const QDoubleSpinBox *, std::pair<double, int>> exact;

    int twips(const QDoubleSpinBox *box) const
    {
        const auto it = exact.constFind(box);
        if (it != exact.constEnd() && it->first == box->value())
            return it->second;
        return WPSpinTwips(box, unit);
    }

    void setTwips(QDoubleSpinBox *box, int v)
    {
        WPSetSpinTwips(box, unit, v);
        exact.insert(box, {box->value(), v});
    }

    // The paper's size in the orientation chosen.
    void paperChosen()
    {
        const int id = ui.cbPaper->currentData().toInt();
        if (id < 0)
            return;
        QSize s = paperTwips(QPageSize::PageSizeId(id));
        if (ui.rbLandscape->isChecked())
            s.transpose();
        updating = true;
        setTwips(ui.spWidth, s.width());
        setTwips(ui.spHeight, s.height());
        updating = false;
    }

    // A size typed in picks its paper, else "User defined".
    void sizeChanged()
    {
        if (updating)
            return;
        const int w = twips(ui.spWidth), h = twips(ui.spHeight);
        const int shortSide = std::min(w, h), longSide = std::max(w, h);
        int index = ui.cbPaper->count() - 1;
        for (int i = 0; i < int(std::size(kPapers)); ++i) {
            const QSize s = paperTwips(kPapers[i]);
            if (std::abs(s.width() - shortSide) <= kTolerance && std::abs(s.height() - longSide) <= kTolerance)
                index = i;
        }
        ui.cbPaper->setCurrentIndex(index);
    }

    void turn(bool landscape)
    {
        const int w = twips(ui.spWidth), h = twips(ui.spHeight);
        if ((w > h) == landscape)
            return;
        updating = true;
        setTwips(ui.spWidth, h);
        setTwips(ui.spHeight, w);
        updating = false;
    }

    void load(const TWPPageSetup &p)
    {
        int w = p.PageWidth, h = p.PageHeight;
        if (p.Landscape && w < h)
            std::swap(w, h);
        updating = true;
        ui.rbLandscape->setChecked(p.Landscape);
        ui.rbPortrait->setChecked(!p.Landscape);
        setTwips(ui.spWidth, w);
        setTwips(ui.spHeight, h);
        updating = false;
        sizeChanged();
        setTwips(ui.spTop, p.MarginTop);
        setTwips(ui.spBottom, p.MarginBottom);
        setTwips(ui.spLeft, p.MarginLeft);
        setTwips(ui.spRight, p.MarginRight);
        setTwips(ui.spHeader, p.HeaderY);
        setTwips(ui.spFooter, p.FooterY);
        ui.lblError->clear();
    }

    void save(TWPPageSetup &p) const
    {
        p.PageWidth = twips(ui.spWidth);
        p.PageHeight = twips(ui.spHeight);
        p.Landscape = ui.rbLandscape->isChecked();
        p.MarginTop = twips(ui.spTop);
        p.MarginBottom = twips(ui.spBottom);
        p.MarginLeft = twips(ui.spLeft);
        p.MarginRight = twips(ui.spRight);
        p.HeaderY = twips(ui.spHeader);
        p.FooterY = twips(ui.spFooter);
    }

    void accept() override
    {
        const bool wide = twips(ui.spWidth) - twips(ui.spLeft) - twips(ui.spRight) >= kMinTwips;
        const bool high = twips(ui.spHeight) - twips(ui.spTop) - twips(ui.spBottom) >= kMinTwips;
        if (!wide || !high) {
            ui.lblError->setText(wide ? TWPPagePropDlg::tr("The top and bottom margins leave no room for the text.")
                                      : TWPPagePropDlg::tr("The left and right margins leave no room for the text."));
            return;
        }
        QDialog::accept();
    }
};

} // namespace

TWPPagePropDlg::TWPPagePropDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPPagePropDlg::~TWPPagePropDlg() = default;

bool TWPPagePropDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    TWPDocument &doc = editor->Document();
    const int section = doc.SectionAt(editor->TextCursor().position());
    PageForm form(ParentWindow());
    form.load(doc.PageSetup(section));
    if (!Run(form))
        return false;
    TWPPageSetup p = doc.PageSetup(section);
    form.save(p);
    if (p == doc.PageSetup(section))
        return true;
    doc.PageSetup(section) = p;
    editor->SetModified(true);
    editor->ReformatAll();
    return true;
}

} // namespace zor
