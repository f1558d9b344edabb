#include "SpreadSheet.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/NumberFormat.h>
#include <ZorCompCore/sheet/SheetFiles.h>

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

namespace zor {

namespace {

constexpr int kRows = 1048576;
constexpr int kColumns = 16384;

// The active sheet as a table. Every cell of the grid exists for the view;
// the book stores only the ones that hold something.
class SheetModel : public QAbstractTableModel
{
public:
    explicit SheetModel(TSheetBook &book, QObject *parent) : QAbstractTableModel(parent), book(book) {}

    TSheet *Sheet() const { return index_ < book.SheetCount() ? book.Sheet(index_) : nullptr; }
    void SetSheetIndex(int i)
    {
        beginResetModel();
        index_ = i;
        endResetModel();
    }
    void AllChanged()
    {
        Q_EMIT dataChanged(index(0, 0), index(kRows - 1, kColumns - 1));
    }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : kRows; }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : kColumns; }

    QVariant data(const QModelIndex &i, int role) const override
    {
        TSheet *s = Sheet();
        if (!s || !i.isValid())
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return s->DisplayText(i.row(), i.column());
        case Qt::EditRole:
            return s->CellText(i.row(), i.column());
        case Qt::TextAlignmentRole: {
            // Numbers to the right, text to the left, as spreadsheets do.
            const TCellValue v = s->Value(i.row(), i.column());
            const Qt::Alignment h = v.IsNumber() ? Qt::AlignRight : v.IsText() || v.IsEmpty() ? Qt::AlignLeft
                                                                                              : Qt::AlignHCenter;
            return QVariant::fromValue(h | Qt::AlignVCenter);
        }
        case Qt::ToolTipRole: {
            const TCellValue v = s->Value(i.row(), i.column());
            if (v.IsError())
                return v.text.isEmpty() ? SheetErrorText(v.error) : SheetErrorText(v.error) + QStringLiteral(": ") + v.text;
            return {};
        }
        default:
            return {};
        }
    }

    bool setData(const QModelIndex &i, const QVariant &value, int role) override
    {
        TSheet *s = Sheet();
        if (!s || !i.isValid() || role != Qt::EditRole)
            return false;
        const QString text = value.toString();
        if (text.isEmpty())
            s->ClearCell(i.row(), i.column());
        else
            s->SetCellText(i.row(), i.column(), text);
        // A recalculation announces itself; a plain value may not start one.
        Q_EMIT dataChanged(i, i);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex &i) const override
    {
        return QAbstractTableModel::flags(i) | Qt::ItemIsEditable;
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        if (o == Qt::Vertical)
            return QString::number(section + 1);
        return SheetCellName(0, section).chopped(1);
    }

private:
    TSheetBook &book;
    int index_ = 0;
};

} // namespace

struct TSpreadSheet::Private
{
    std::unique_ptr<TSheetBook> book;
    SheetModel *model = nullptr;
    QTableView *view = nullptr;
    QLineEdit *formulaBar = nullptr;
    QLineEdit *nameBox = nullptr;
    QTabBar *tabs = nullptr;
};

TSpreadSheet::TSpreadSheet(QWidget *AOwner) : QWidget(AOwner), d(new Private)
{
    d->book = std::make_unique<TSheetBook>(this);
    d->book->AddSheet();
    d->model = new SheetModel(*d->book, this);

    d->nameBox = new QLineEdit(this);
    d->nameBox->setObjectName(QStringLiteral("nameBox"));
    d->nameBox->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("XFD1048576")) + 16);
    d->formulaBar = new QLineEdit(this);
    d->formulaBar->setObjectName(QStringLiteral("formulaBar"));
    d->view = new QTableView(this);
    d->view->setObjectName(QStringLiteral("grid"));
    d->view->setModel(d->model);
    // Fixed sections: the header computes positions instead of measuring a
    // million rows.
    for (QHeaderView *h : {d->view->horizontalHeader(), d->view->verticalHeader()})
        h->setSectionResizeMode(QHeaderView::Fixed);
    d->view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    d->view->horizontalHeader()->setDefaultSectionSize(fontMetrics().averageCharWidth() * 10 + 8);
    d->view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    d->view->installEventFilter(this);
    d->tabs = new QTabBar(this);
    d->tabs->setObjectName(QStringLiteral("sheetTabs"));
    d->tabs->setShape(QTabBar::RoundedSouth);

    auto *top = new QHBoxLayout;
    top->addWidget(d->nameBox);
    top->addWidget(d->formulaBar, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(d->view, 1);
    layout->addWidget(d->tabs);

    d->book->SetOnChange([this] {
        d->model->AllChanged();
        showCurrentCell();
        Q_EMIT calculated();
    });
    connect(d->view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        showCurrentCell();
        Q_EMIT currentCellChanged(CurrentRow(), CurrentColumn());
    });
    connect(d->formulaBar, &QLineEdit::returnPressed, this, [this] {
        commitFormulaBar();
        SetCurrentCell(qMin(CurrentRow() + 1, kRows - 1), CurrentColumn());
        d->view->setFocus();
    });
    connect(d->nameBox, &QLineEdit::returnPressed, this, [this] {
        int r, c;
        if (ParseSheetCellName(d->nameBox->text().trimmed(), r, c)) {
            SetCurrentCell(r, c);
            d->view->setFocus();
        } else {
            showCurrentCell();
        }
    });
    connect(d->tabs, &QTabBar::currentChanged, this, [this](int i) {
        if (i >= 0 && i < d->book->SheetCount())
            SetActiveSheetIndex(i);
    });
    RefreshSheets();
    SetCurrentCell(0, 0);
}

TSpreadSheet::~TSpreadSheet()
{
    // The book's change notice calls into this control: silence it first.
    d->book->SetOnChange({});
}

TSheetBook &TSpreadSheet::Book() const { return *d->book; }
TSheet *TSpreadSheet::ActiveSheet() const { return d->model->Sheet(); }

int TSpreadSheet::ActiveSheetIndex() const
{
    const TSheet *s = ActiveSheet();
    return s ? d->book->IndexOf(s) : -1;
}

void TSpreadSheet::SetActiveSheetIndex(int index)
{
    if (index < 0 || index >= d->book->SheetCount() || index == ActiveSheetIndex())
        return;
    const int r = CurrentRow(), c = CurrentColumn();
    d->model->SetSheetIndex(index);
    d->tabs->setCurrentIndex(index);
    SetCurrentCell(r, c);
}

void TSpreadSheet::RefreshSheets()
{
    const QSignalBlocker block(d->tabs);
    while (d->tabs->count() > 0)
        d->tabs->removeTab(0);
    for (int i = 0; i < d->book->SheetCount(); ++i)
        d->tabs->addTab(d->book->Sheet(i)->Name());
    int active = qBound(0, ActiveSheetIndex(), d->book->SheetCount() - 1);
    d->model->SetSheetIndex(active);
    d->tabs->setCurrentIndex(active);
    showCurrentCell();
}

bool TSpreadSheet::LoadFromFile(const QString &fileName, QString *error)
{
    const bool ok = LoadSheetFile(*d->book, fileName, error);
    if (d->book->SheetCount() == 0)
        d->book->AddSheet();
    d->model->SetSheetIndex(0);
    RefreshSheets();
    SetCurrentCell(0, 0);
    return ok;
}

bool TSpreadSheet::SaveToFile(const QString &fileName, QString *error) const
{
    return SaveSheetFile(*d->book, fileName, error);
}

int TSpreadSheet::CurrentRow() const { return qMax(0, d->view->currentIndex().row()); }
int TSpreadSheet::CurrentColumn() const { return qMax(0, d->view->currentIndex().column()); }

void TSpreadSheet::SetCurrentCell(int row, int col)
{
    const QModelIndex i = d->model->index(qBound(0, row, kRows - 1), qBound(0, col, kColumns - 1));
    d->view->setCurrentIndex(i);
    d->view->scrollTo(i);
    showCurrentCell();
}

QTableView *TSpreadSheet::GridView() const { return d->view; }
QLineEdit *TSpreadSheet::FormulaBar() const { return d->formulaBar; }
QLineEdit *TSpreadSheet::NameBox() const { return d->nameBox; }
QTabBar *TSpreadSheet::SheetTabs() const { return d->tabs; }

void TSpreadSheet::showCurrentCell()
{
    TSheet *s = ActiveSheet();
    const int r = CurrentRow(), c = CurrentColumn();
    d->nameBox->setText(SheetCellName(r, c));
    // Not while the user types there.
    if (!d->formulaBar->hasFocus())
        d->formulaBar->setText(s ? s->CellText(r, c) : QString());
}

void TSpreadSheet::commitFormulaBar()
{
    d->model->setData(d->model->index(CurrentRow(), CurrentColumn()), d->formulaBar->text(), Qt::EditRole);
}

bool TSpreadSheet::eventFilter(QObject *watched, QEvent *event)
{
    // Keys of the grid itself, not those an open editor passes on.
    if (watched == d->view && event->type() == QEvent::KeyPress && d->view->hasFocus()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            TSheet *s = ActiveSheet();
            if (!s)
                return true;
            // The cells that exist, not every index of the selection (a
            // selected column is a million of them); one recalculation.
            const QItemSelection sel = d->view->selectionModel()->selection();
            std::vector<std::pair<int, int>> hit;
            s->ForEachCell([&](int r, int c) {
                for (const QItemSelectionRange &range : sel)
                    if (range.contains(r, c, QModelIndex())) {
                        hit.emplace_back(r, c);
                        break;
                    }
            });
            if (sel.isEmpty())
                hit.emplace_back(CurrentRow(), CurrentColumn());
            d->book->BeginUpdate();
            for (auto [r, c] : hit)
                s->ClearCell(r, c);
            d->book->EndUpdate();
            d->model->AllChanged();
            showCurrentCell();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            SetCurrentCell(qMin(CurrentRow() + 1, kRows - 1), CurrentColumn());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zor
