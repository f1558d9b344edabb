#include "SpreadSheet.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/NumberFormat.h>
#include <ZorCompCore/sheet/SheetFiles.h>

#include <QAbstractTableModel>
#include <QClipboard>
#include <QFileInfo>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <functional>
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
        edit(i.row(), i.column(), value.toString());
        // A recalculation announces itself; a plain value may not start one.
        Q_EMIT dataChanged(i, i);
        return true;
    }

    // How an edit reaches the sheet (the control makes it an undo step).
    std::function<void(int row, int col, const QString &text)> edit;

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

// What a cell holds, enough to put it back as it was.
struct CellState
{
    bool formula = false;
    QString text; // the formula as seen from the cell
    TCellValue value;
    QString format;
};

CellState capture(const TSheet &s, int r, int c)
{
    CellState st;
    st.formula = s.HasFormula(r, c);
    if (st.formula)
        st.text = s.Formula(r, c);
    st.value = s.Value(r, c);
    st.format = s.NumberFormat(r, c);
    return st;
}

void restore(TSheet &s, int r, int c, const CellState &st)
{
    s.ClearCell(r, c);
    if (st.formula) {
        // A formula the book could not run was kept with its value: so again.
        if (!s.SetFormula(r, c, st.text))
            s.SetUnparsedFormula(r, c, st.text, st.value);
    } else if (!st.value.IsEmpty()) {
        s.SetValue(r, c, st.value);
    }
    s.SetNumberFormat(r, c, st.format);
}

struct CellChange
{
    int row, col;
    CellState before, after;
};

// Cells of one sheet changed: undo puts back what they held before. The
// change has been made when the command is pushed.
class CellsCommand : public QUndoCommand
{
public:
    CellsCommand(const QString &text, TSheetBook &book, int sheet, std::vector<CellChange> cells,
                 std::function<void()> shown)
        : QUndoCommand(text), book(book), sheet(sheet), cells(std::move(cells)), shown(std::move(shown))
    {
    }
    void undo() override { apply(&CellChange::before); }
    void redo() override
    {
        if (std::exchange(first, false))
            return;
        apply(&CellChange::after);
    }

private:
    void apply(CellState CellChange::*which)
    {
        if (sheet >= book.SheetCount())
            return;
        TSheet &s = *book.Sheet(sheet);
        book.BeginUpdate();
        for (const CellChange &c : cells)
            restore(s, c.row, c.col, c.*which);
        book.EndUpdate();
        shown();
    }

    TSheetBook &book;
    int sheet;
    std::vector<CellChange> cells;
    std::function<void()> shown;
    bool first = true;
};

// Rows or columns inserted or deleted. Undoing a deletion inserts them again
// and puts back what they held and every formula the deletion changed (those
// that pointed into them show #REF! until then).
class StructureCommand : public QUndoCommand
{
public:
    enum Op { InsertRows, DeleteRows, InsertColumns, DeleteColumns };

    StructureCommand(const QString &text, TSheetBook &book, int sheet, Op op, int at, int count,
                     std::function<void()> shown)
        : QUndoCommand(text), book(book), sheet(sheet), op(op), at(at), count(count), shown(std::move(shown))
    {
        if (op != DeleteRows && op != DeleteColumns)
            return;
        // Positions as they are now, which the undo's insertion restores.
        for (int i = 0; i < book.SheetCount(); ++i) {
            const TSheet &s = *book.Sheet(i);
            s.ForEachCell([&](int r, int c) {
                const int pos = op == DeleteRows ? r : c;
                const bool inside = i == sheet && pos >= at && pos < at + count;
                if (inside || s.HasFormula(r, c))
                    saved.push_back({i, r, c, capture(s, r, c)});
            });
        }
    }

    void redo() override { run(op); }
    void undo() override
    {
        if (sheet >= book.SheetCount())
            return;
        book.BeginUpdate();
        switch (op) {
        case InsertRows: run(DeleteRows, false); break;
        case InsertColumns: run(DeleteColumns, false); break;
        case DeleteRows: run(InsertRows, false); break;
        case DeleteColumns: run(InsertColumns, false); break;
        }
        for (const Saved &v : saved) {
            TSheet &s = *book.Sheet(v.sheet);
            // Formulas that moved along are right already; only changed ones go back.
            const bool same = v.state.formula && s.HasFormula(v.row, v.col) && s.Formula(v.row, v.col) == v.state.text
                              && s.NumberFormat(v.row, v.col) == v.state.format;
            if (!same)
                restore(s, v.row, v.col, v.state);
        }
        book.EndUpdate();
        shown();
    }

private:
    void run(Op what, bool announce = true)
    {
        if (sheet >= book.SheetCount())
            return;
        TSheet &s = *book.Sheet(sheet);
        switch (what) {
        case InsertRows: s.InsertRows(at, count); break;
        case DeleteRows: s.DeleteRows(at, count); break;
        case InsertColumns: s.InsertColumns(at, count); break;
        case DeleteColumns: s.DeleteColumns(at, count); break;
        }
        if (announce)
            shown();
    }

    struct Saved
    {
        int sheet, row, col;
        CellState state;
    };
    TSheetBook &book;
    int sheet;
    Op op;
    int at, count;
    std::function<void()> shown;
    std::vector<Saved> saved;
};

// Tab-separated text as spreadsheets put on the clipboard: a field holding a
// tab, a line break or a quote is quoted, quotes doubled.
QString tsvField(const QString &text)
{
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r') && !text.contains(u'"'))
        return text;
    QString q = text;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

} // namespace

struct TSpreadSheet::Private
{
    std::unique_ptr<TSheetBook> book;
    SheetModel *model = nullptr;
    QTableView *view = nullptr;
    QLineEdit *formulaBar = nullptr;
    QLineEdit *nameBox = nullptr;
    QTabBar *tabs = nullptr;
    QLabel *warnings = nullptr;
    QUndoStack *undo = nullptr;

    TSpreadSheet *q = nullptr;

    void refreshGrid();
    // Changes cells of the active sheet as one undo step: edit does it, cells
    // are all those it may touch.
    void changeCells(const QString &text, const std::vector<std::pair<int, int>> &cells,
                     const std::function<void(TSheet &)> &edit);
    void changeStructure(int op, int at, int count);
    void copyCells(bool cut);
    void headerMenu(QHeaderView *header, int section, const QPoint &globalPos);

    // What this control put on the clipboard last, to paste it back as cells.
    struct Copied
    {
        QString text;
        int sheet = -1;
        QRect area; // x = column, y = row
        bool cut = false;
    } copied;
};

TSpreadSheet::TSpreadSheet(QWidget *AOwner) : QWidget(AOwner), d(new Private)
{
    d->q = this;
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
    d->warnings = new QLabel(this);
    d->warnings->setObjectName(QStringLiteral("loadWarnings"));
    d->warnings->setWordWrap(true);
    d->warnings->hide();
    d->undo = new QUndoStack(this);
    d->model->edit = [this](int r, int c, const QString &text) {
        d->changeCells(tr("Edit %1").arg(SheetCellName(r, c)), {{r, c}}, [&](TSheet &s) {
            if (text.isEmpty())
                s.ClearCell(r, c);
            else
                s.SetCellText(r, c, text);
        });
    };
    for (QHeaderView *h : {d->view->horizontalHeader(), d->view->verticalHeader()}) {
        h->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(h, &QHeaderView::customContextMenuRequested, this,
                [this, h](const QPoint &at) { d->headerMenu(h, h->logicalIndexAt(at), h->mapToGlobal(at)); });
    }

    auto *top = new QHBoxLayout;
    top->addWidget(d->nameBox);
    top->addWidget(d->formulaBar, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(d->view, 1);
    layout->addWidget(d->tabs);
    layout->addWidget(d->warnings);

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
    d->undo->clear(); // the steps were of another book
    d->copied = {};
    d->model->SetSheetIndex(0);
    RefreshSheets();
    SetCurrentCell(0, 0);
    const QStringList warnings = ok ? d->book->LoadWarnings() : QStringList();
    const QString said = warnings.join(QStringLiteral("; "));
    d->warnings->setText(warnings.isEmpty() ? QString()
                                            : tr("Not kept from %1: %2").arg(QFileInfo(fileName).fileName(), said));
    d->warnings->setVisible(!warnings.isEmpty());
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
QLabel *TSpreadSheet::WarningsLine() const { return d->warnings; }
QUndoStack *TSpreadSheet::UndoStack() const { return d->undo; }




void TSpreadSheet::Private::changeCells(const QString &text, const std::vector<std::pair<int, int>> &cells,
                               const std::function<void(TSheet &)> &edit)
{
    TSheet *s = q->ActiveSheet();
    if (!s)
        return;
    std::vector<CellChange> changes;
    changes.reserve(cells.size());
    for (auto [r, c] : cells)
        changes.push_back({r, c, capture(*s, r, c), {}});
    book->BeginUpdate();
    edit(*s);
    book->EndUpdate();
    bool any = false;
    for (CellChange &c : changes) {
        c.after = capture(*s, c.row, c.col);
        any = any || c.after.formula != c.before.formula || c.after.text != c.before.text
              || !(c.after.value == c.before.value) || c.after.format != c.before.format;
    }
    refreshGrid();
    if (any)
        undo->push(new CellsCommand(text, *book, q->ActiveSheetIndex(), std::move(changes), [this] { refreshGrid(); }));
}

void TSpreadSheet::Private::refreshGrid()
{
    model->AllChanged();
    q->showCurrentCell();
}

void TSpreadSheet::Private::changeStructure(int op, int at, int count)
{
    const bool rows = op == StructureCommand::InsertRows || op == StructureCommand::DeleteRows;
    const int limit = rows ? kRows : kColumns;
    if (!q->ActiveSheet() || at < 0 || at >= limit || count <= 0)
        return;
    count = qMin(count, limit - at);
    static const char *const texts[] = {QT_TR_NOOP("Insert rows"), QT_TR_NOOP("Delete rows"),
                                        QT_TR_NOOP("Insert columns"), QT_TR_NOOP("Delete columns")};
    undo->push(new StructureCommand(TSpreadSheet::tr(texts[op]), *book, q->ActiveSheetIndex(),
                                    StructureCommand::Op(op), at, count, [this] { refreshGrid(); }));
}

void TSpreadSheet::Private::headerMenu(QHeaderView *header, int section, const QPoint &globalPos)
{
    if (section < 0)
        return;
    const bool rows = header->orientation() == Qt::Vertical;
    // Whole rows (columns) selected around the section count; else just it.
    int at = section, count = 1;
    for (const QItemSelectionRange &r : view->selectionModel()->selection()) {
        const bool whole = rows ? r.left() == 0 && r.right() == kColumns - 1 : r.top() == 0 && r.bottom() == kRows - 1;
        const int first = rows ? r.top() : r.left(), last = rows ? r.bottom() : r.right();
        if (whole && section >= first && section <= last) {
            at = first;
            count = last - first + 1;
            break;
        }
    }
    QMenu menu(q);
    if (rows) {
        menu.addAction(TSpreadSheet::tr("Insert rows above"), q, [q = q, at, count] { q->InsertRows(at, count); });
        menu.addAction(TSpreadSheet::tr("Delete rows"), q, [q = q, at, count] { q->DeleteRows(at, count); });
    } else {
        menu.addAction(TSpreadSheet::tr("Insert columns left"), q, [q = q, at, count] { q->InsertColumns(at, count); });
        menu.addAction(TSpreadSheet::tr("Delete columns"), q, [q = q, at, count] { q->DeleteColumns(at, count); });
    }
    menu.exec(globalPos);
}

void TSpreadSheet::Private::copyCells(bool cut)
{
    TSheet *s = q->ActiveSheet();
    if (!s)
        return;
    // The bounding rectangle of the selection, cut down to the used part.
    QRect area;
    for (const QItemSelectionRange &r : view->selectionModel()->selection())
        area |= QRect(QPoint(r.left(), r.top()), QPoint(r.right(), r.bottom()));
    if (area.isEmpty())
        area = QRect(q->CurrentColumn(), q->CurrentRow(), 1, 1);
    area.setRight(qMax(area.left(), qMin(area.right(), s->ColumnCount() - 1)));
    area.setBottom(qMax(area.top(), qMin(area.bottom(), s->RowCount() - 1)));
    QString text;
    for (int r = area.top(); r <= area.bottom(); ++r) {
        for (int c = area.left(); c <= area.right(); ++c) {
            if (c > area.left())
                text += u'\t';
            text += tsvField(s->DisplayText(r, c));
        }
        text += u'\n';
    }
    QGuiApplication::clipboard()->setText(text);
    copied = {text, q->ActiveSheetIndex(), area, cut};
}

void TSpreadSheet::InsertRows(int row, int count) { d->changeStructure(StructureCommand::InsertRows, row, count); }
void TSpreadSheet::DeleteRows(int row, int count) { d->changeStructure(StructureCommand::DeleteRows, row, count); }
void TSpreadSheet::InsertColumns(int col, int count)
{
    d->changeStructure(StructureCommand::InsertColumns, col, count);
}

void TSpreadSheet::DeleteColumns(int col, int count)
{
    d->changeStructure(StructureCommand::DeleteColumns, col, count);
}


void TSpreadSheet::Copy() { d->copyCells(false); }
void TSpreadSheet::Cut() { d->copyCells(true); }


bool TSpreadSheet::Paste()
{
    TSheet *s = ActiveSheet();
    const QString text = QGuiApplication::clipboard()->text();
    if (!s || text.isEmpty())
        return false;
    const int r0 = CurrentRow(), c0 = CurrentColumn();
    std::vector<std::pair<int, int>> cells;
    auto touch = [&](const QRect &a) {
        for (int r = a.top(); r <= a.bottom(); ++r)
            for (int c = a.left(); c <= a.right(); ++c)
                cells.emplace_back(r, c);
    };
    const Private::Copied copied = d->copied;
    if (copied.text == text && copied.sheet == ActiveSheetIndex()) {
        // Our own cells: copied as a copy does, relative references moved.
        const QRect &from = copied.area;
        const QRect to = QRect(c0, r0, from.width(), from.height()) & QRect(0, 0, kColumns, kRows);
        touch(to);
        if (copied.cut)
            touch(from);
        d->changeCells(copied.cut ? tr("Move") : tr("Paste"), cells, [&](TSheet &sheet) {
            // Overlapping areas: each source is read before it is overwritten.
            const bool up = r0 > from.top(), left = c0 > from.left();
            for (int i = 0; i < to.height(); ++i) {
                const int dr = up ? to.height() - 1 - i : i;
                for (int j = 0; j < to.width(); ++j) {
                    const int dc = left ? to.width() - 1 - j : j;
                    sheet.CopyCell(from.top() + dr, from.left() + dc, r0 + dr, c0 + dc);
                }
            }
            if (copied.cut)
                for (int r = from.top(); r <= from.bottom(); ++r)
                    for (int c = from.left(); c <= from.right(); ++c)
                        if (!to.contains(c, r))
                            sheet.ClearCell(r, c);
        });
        if (copied.cut)
            d->copied = {}; // a cut pastes once
        return true;
    }
    // Text from elsewhere: typed in cell by cell, empty fields clearing.
    TSheetBook scratch;
    TSheet &in = *scratch.AddSheet();
    TCsvOptions options;
    options.delimiter = u'\t';
    if (!LoadCsv(in, text.toUtf8(), options))
        return false;
    const QRect to = QRect(c0, r0, in.ColumnCount(), in.RowCount()) & QRect(0, 0, kColumns, kRows);
    if (to.isEmpty())
        return false;
    touch(to);
    d->changeCells(tr("Paste"), cells, [&](TSheet &sheet) {
        for (int r = to.top(); r <= to.bottom(); ++r)
            for (int c = to.left(); c <= to.right(); ++c) {
                const TCellValue v = in.Value(r - r0, c - c0);
                if (v.IsEmpty())
                    sheet.ClearCell(r, c);
                else if (v.IsText())
                    sheet.SetCellText(r, c, v.text);
                else
                    sheet.SetValue(r, c, v);
            }
    });
    return true;
}

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
            d->changeCells(tr("Clear"), hit, [&](TSheet &sheet) {
                for (auto [r, c] : hit)
                    sheet.ClearCell(r, c);
            });
            return true;
        }
        const struct
        {
            QKeySequence::StandardKey key;
            std::function<void()> run;
        } commands[] = {
            {QKeySequence::Copy, [this] { Copy(); }},   {QKeySequence::Cut, [this] { Cut(); }},
            {QKeySequence::Paste, [this] { Paste(); }}, {QKeySequence::Undo, [this] { d->undo->undo(); }},
            {QKeySequence::Redo, [this] { d->undo->redo(); }},
        };
        for (const auto &command : commands)
            if (key->matches(command.key)) {
                command.run();
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
