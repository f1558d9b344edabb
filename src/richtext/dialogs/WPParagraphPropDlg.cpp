#include "WPParagraphPropDlg.h"

#include "ui_WPParagraphPropDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPParagraphPropDlg> registerParagraph("TWPParagraphPropDlg");

// Keep in step with the line spacing box's entries.
enum LineSpacing { lsSingle, lsOneAndHalf, lsDouble, lsAtLeast, lsExactly, lsMultiple };

constexpr Qt::Alignment kAligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};

constexpr int kMaxIndent = 31680; // 22 inches, as far as styles go

double unitsToPoints(qreal units) { return units * 0.75; }
qreal pointsToUnits(double pt) { return pt / 0.75; }

class ParagraphForm : public QDialog
{
public:
    Ui::WPParagraphPropDlg ui;
    TWPLengthUnit unit = WPLengthUnit(true);
    int align0 = -1, spacing0 = 0;
    double left0 = 0, right0 = 0, first0 = 0, before0 = 0, after0 = 0, value0 = 0;

    explicit ParagraphForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        WPSetUnit(ui.spIndentLeft, unit, -kMaxIndent, kMaxIndent);
        WPSetUnit(ui.spIndentRight, unit, -kMaxIndent, kMaxIndent);
        WPSetUnit(ui.spIndentFirst, unit, -kMaxIndent, kMaxIndent);
        connect(ui.cbLineSpacing, &QComboBox::currentIndexChanged, this, [this](int index) { spacingKind(index); });
    }

    // The value box says what the kind needs: points or lines.
    void spacingKind(int index)
    {
        const bool points = index == lsAtLeast || index == lsExactly;
        ui.spLineValue->setEnabled(points || index == lsMultiple);
        ui.spLineValue->setSuffix(points ? QStringLiteral(" pt") : QString());
        ui.spLineValue->setSingleStep(points ? 1 : 0.5);
        if (index == lsMultiple && ui.spLineValue->value() <= 0)
            ui.spLineValue->setValue(1);
        if (points && ui.spLineValue->value() < 1)
            ui.spLineValue->setValue(12);
    }

    void load(const QTextBlockFormat &bf)
    {
        int align = 0;
        const Qt::Alignment h = bf.alignment() & Qt::AlignHorizontal_Mask;
        for (int i = 0; i < 4; ++i)
            if (h == kAligns[i])
                align = i;
        ui.cbAlignment->setCurrentIndex(align);
        WPSetSpinTwips(ui.spIndentLeft, unit, UnitsToTwips(bf.leftMargin()));
        WPSetSpinTwips(ui.spIndentRight, unit, UnitsToTwips(bf.rightMargin()));
        WPSetSpinTwips(ui.spIndentFirst, unit, UnitsToTwips(bf.textIndent()));
        ui.spSpaceBefore->setValue(unitsToPoints(bf.topMargin()));
        ui.spSpaceAfter->setValue(unitsToPoints(bf.bottomMargin()));
        int kind = lsSingle;
        double value = 1;
        const qreal lh = bf.lineHeight();
        switch (bf.hasProperty(QTextFormat::LineHeightType) ? bf.lineHeightType() : QTextBlockFormat::SingleHeight) {
        case QTextBlockFormat::ProportionalHeight:
            kind = qFuzzyCompare(lh, 100) ? lsSingle : qFuzzyCompare(lh, 150) ? lsOneAndHalf
                 : qFuzzyCompare(lh, 200) ? lsDouble : lsMultiple;
            value = lh / 100;
            break;
        case QTextBlockFormat::MinimumHeight:
            kind = lsAtLeast;
            value = unitsToPoints(lh);
            break;
        case QTextBlockFormat::FixedHeight:
            kind = lsExactly;
            value = unitsToPoints(lh);
            break;
        default:
            break;
        }
        ui.cbLineSpacing->setCurrentIndex(kind);
        spacingKind(kind);
        ui.spLineValue->setValue(value);
        align0 = ui.cbAlignment->currentIndex();
        left0 = ui.spIndentLeft->value();
        right0 = ui.spIndentRight->value();
        first0 = ui.spIndentFirst->value();
        before0 = ui.spSpaceBefore->value();
        after0 = ui.spSpaceAfter->value();
        spacing0 = kind;
        value0 = ui.spLineValue->value();
    }

    void apply(QTextBlockFormat &bf) const
    {
        if (ui.cbAlignment->currentIndex() != align0)
            bf.setAlignment(kAligns[std::clamp(ui.cbAlignment->currentIndex(), 0, 3)]);
        const auto length = [&](const QDoubleSpinBox *box, double was, auto set) {
            if (box->value() != was)
                (bf.*set)(TwipsToUnits(WPSpinTwips(box, unit)));
        };
        length(ui.spIndentLeft, left0, &QTextBlockFormat::setLeftMargin);
        length(ui.spIndentRight, right0, &QTextBlockFormat::setRightMargin);
        length(ui.spIndentFirst, first0, &QTextBlockFormat::setTextIndent);
        if (ui.spSpaceBefore->value() != before0)
            bf.setTopMargin(pointsToUnits(ui.spSpaceBefore->value()));
        if (ui.spSpaceAfter->value() != after0)
            bf.setBottomMargin(pointsToUnits(ui.spSpaceAfter->value()));
        const int kind = ui.cbLineSpacing->currentIndex();
        const double value = ui.spLineValue->value();
        if (kind == spacing0 && (value == value0 || kind < lsAtLeast))
            return;
        switch (kind) {
        case lsSingle:
            bf.clearProperty(QTextFormat::LineHeight);
            bf.clearProperty(QTextFormat::LineHeightType);
            break;
        case lsOneAndHalf: bf.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
        case lsDouble: bf.setLineHeight(200, QTextBlockFormat::ProportionalHeight); break;
        case lsAtLeast: bf.setLineHeight(pointsToUnits(value), QTextBlockFormat::MinimumHeight); break;
        case lsExactly: bf.setLineHeight(pointsToUnits(value), QTextBlockFormat::FixedHeight); break;
        case lsMultiple: bf.setLineHeight(std::round(value * 100), QTextBlockFormat::ProportionalHeight); break;
        default: break;
        }
    }
};

} // namespace

TWPParagraphPropDlg::TWPParagraphPropDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPParagraphPropDlg::~TWPParagraphPropDlg() = default;

bool TWPParagraphPropDlg::Execute()
{
    return RunParagraphForm<ParagraphForm>();
}

} // namespace zor
