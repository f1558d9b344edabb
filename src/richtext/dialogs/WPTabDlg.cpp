#include "WPTabDlg.h"

#include "ui_WPTabDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QDialog>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cstdlib>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPTabDlg> registerTab("TWPTabDlg");

// Keep in step with the entries of the alignment box.
constexpr QTextOption::TabType kKinds[] = {QTextOption::LeftTab, QTextOption::RightTab, QTextOption::CenterTab,
                                           QTextOption::DelimiterTab};

constexpr int kMaxTab = 31680; // 22 inches

struct Stop
{
    int Twips;
    int Kind; // index into kKinds
    bool operator==(const Stop &) const = default;
};

class TabForm : public QDialog
{
public:
    Ui::WPTabDlg ui;
    TWPLengthUnit unit = WPLengthUnit(true);
    std::vector<Stop> stops;

    explicit TabForm(QWidget *parent)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        WPSetUnit(ui.spPosition, unit, 0, kMaxTab);
        connect(ui.btnSet, &QPushButton::clicked, this, [this] { set(); });
        connect(ui.btnClear, &QPushButton::clicked, this, [this] {
            const int row = ui.lstTabs->currentRow();
            if (row >= 0 && row < int(stops.size()))
                stops.erase(stops.begin() + row);
            refill(-1);
        });
        connect(ui.btnClearAll, &QPushButton::clicked, this, [this] {
            stops.clear();
            refill(-1);
        });
        connect(ui.lstTabs, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row < 0 || row >= int(stops.size()))
                return;
            WPSetSpinTwips(ui.spPosition, unit, stops[size_t(row)].Twips);
            ui.cbKind->setCurrentIndex(stops[size_t(row)].Kind);
        });
    }

    // A stop at the position shown replaces one within a twip of it.
    void set()
    {
        const Stop s{WPSpinTwips(ui.spPosition, unit), ui.cbKind->currentIndex()};
        std::erase_if(stops, [&](const Stop &o) { return std::abs(o.Twips - s.Twips) <= 1; });
        stops.push_back(s);
        std::sort(stops.begin(), stops.end(), [](const Stop &a, const Stop &b) { return a.Twips < b.Twips; });
        refill(int(std::find(stops.begin(), stops.end(), s) - stops.begin()));
    }

    void refill(int current)
    {
        ui.lstTabs->blockSignals(true);
        ui.lstTabs->clear();
        for (const Stop &s : stops)
            ui.lstTabs->addItem(QStringLiteral("%1%2  %3")
                                    .arg(QLocale().toString(s.Twips / unit.TwipsPerUnit, 'f', unit.Decimals),
                                         unit.Suffix, ui.cbKind->itemText(s.Kind)));
        ui.lstTabs->setCurrentRow(current);
        ui.lstTabs->blockSignals(false);
        ui.btnClear->setEnabled(!stops.empty());
        ui.btnClearAll->setEnabled(!stops.empty());
    }
};

} // namespace

TWPTabDlg::TWPTabDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPTabDlg::~TWPTabDlg() = default;

bool TWPTabDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    const QTextCursor c = editor->TextCursor();
    if (!MayEdit(WPBlockSpan(c)))
        return false;
    TabForm form(ParentWindow());
    for (const QTextOption::Tab &t : c.document()->findBlock(c.selectionStart()).blockFormat().tabPositions()) {
        const int kind = int(std::find(std::begin(kKinds), std::end(kKinds), t.type) - std::begin(kKinds));
        form.stops.push_back({UnitsToTwips(t.position), std::min(kind, 3)});
    }
    const std::vector<Stop> before = form.stops;
    form.refill(form.stops.empty() ? -1 : 0);
    if (!Run(form))
        return false;
    if (form.stops == before)
        return true;
    QList<QTextOption::Tab> tabs;
    const QChar decimal = QLocale().decimalPoint().isEmpty() ? QChar(u'.') : QLocale().decimalPoint().at(0);
    for (const Stop &s : form.stops) {
        const QTextOption::TabType type = kKinds[std::clamp(s.Kind, 0, 3)];
        tabs << QTextOption::Tab(TwipsToUnits(s.Twips), type, type == QTextOption::DelimiterTab ? decimal : QChar());
    }
    WPChangeBlockFormats(c, [&tabs](QTextBlockFormat &bf) { bf.setTabPositions(tabs); });
    editor->SetTextCursor(editor->TextCursor());
    return true;
}

} // namespace zor
