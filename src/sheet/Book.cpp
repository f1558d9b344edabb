#include "Book_p.h"
#include "NumberFormat.h"

#include <QObject>
#include <algorithm>

namespace zor {

using namespace sheet_detail;

QString SheetCellName(int row, int col)
{
    return CellName(row, col);
}

bool ParseSheetCellName(const QString &name, int &row, int &col)
{
    return ParseCellName(name, row, col);
}

// ---------------------------------------------------------------- cells

Cell *TSheet::Private::Find(int row, int col)
{
    auto c = columns.find(col);
    if (c == columns.end())
        return nullptr;
    auto r = c->second.find(row);
    return r == c->second.end() ? nullptr : &r->second;
}

const Cell *TSheet::Private::Find(int row, int col) const
{
    return const_cast<Private *>(this)->Find(row, col);
}

Cell &TSheet::Private::Get(int row, int col)
{
    auto &column = columns[col];
    auto [it, added] = column.try_emplace(row);
    if (added)
        ++count;
    return it->second;
}

void TSheet::Private::Erase(int row, int col)
{
    auto c = columns.find(col);
    if (c == columns.end())
        return;
    ++SheetAccess::D(book).storageGeneration;
    if (c->second.erase(row))
        --count;
    if (c->second.empty())
        columns.erase(c);
}

namespace {

bool validCell(int row, int col)
{
    return row >= 0 && row < MaxRows && col >= 0 && col < MaxCols;
}

// Calls fn(sheet, r1, c1, r2, c2, isPoint) for each reference of a formula at (row, col).
template<class F>
void forEachRef(TSheetBook *book, TSheet *home, const FormulaCode &code, int row, int col, F fn)
{
    for (const FNode &n : code.nodes) {
        if (n.kind != FNode::Ref && n.kind != FNode::Area)
            continue;
        TSheet *s = n.hasSheet ? book->SheetByName(n.str) : home;
        if (!s)
            continue;
        auto abs = [&](const RefPart &p, int &r, int &c) {
            r = p.rowAbs ? p.row : p.row + row;
            c = p.colAbs ? p.col : p.col + col;
        };
        int r1, c1, r2, c2;
        abs(n.a, r1, c1);
        if (n.kind == FNode::Ref) {
            if (validCell(r1, c1))
                fn(s, r1, c1, r1, c1, true);
            continue;
        }
        abs(n.b, r2, c2);
        if (n.area == AreaKind::Columns)
            r1 = 0, r2 = MaxRows - 1;
        if (n.area == AreaKind::Rows)
            c1 = 0, c2 = MaxCols - 1;
        if (r1 > r2)
            std::swap(r1, r2);
        if (c1 > c2)
            std::swap(c1, c2);
        r1 = std::max(r1, 0), c1 = std::max(c1, 0);
        r2 = std::min(r2, MaxRows - 1), c2 = std::min(c2, MaxCols - 1);
        if (r1 <= r2 && c1 <= c2)
            fn(s, r1, c1, r2, c2, false);
    }
}

// Ranges up to this many columns are filed under each column, and within a
// column under each block of rows they touch (up to TallArea blocks; taller
// ones are filed once per column), so that a changed cell looks only at the
// ranges near it: ten thousand SUM(A(i-9):Ai) do not make every change of
// column A visit all of them.
constexpr int NarrowArea = 16;
constexpr int RowBlockBits = 10;
constexpr int RowBlocks = MaxRows >> RowBlockBits;
constexpr int TallArea = 8;

int areaKey(int col, int block)
{
    return col * (RowBlocks + 1) + block; // block RowBlocks: the column's tall ranges
}

} // namespace

// Keeps the dependency index in step with formulas.
struct Deps
{
    static void Link(TSheetBook *book, TSheet *home, int row, int col, const FormulaCode &code, bool add)
    {
        auto &bd = SheetAccess::D(book);
        const quint64 self = CellKey(SheetAccess::Id(home), row, col);
        bd.formulaCount += add ? 1 : -1;
        if (code.isVolatile) {
            if (add)
                bd.volatileCells.insert(self);
            else
                bd.volatileCells.erase(self);
        }
        forEachRef(book, home, code, row, col, [&](TSheet *s, int r1, int c1, int r2, int c2, bool point) {
            if (point) {
                const quint64 k = CellKey(SheetAccess::Id(s), r1, c1);
                auto &v = bd.pointDeps[k];
                if (add) {
                    v.push_back(self);
                } else {
                    auto it = std::find(v.begin(), v.end(), self);
                    if (it != v.end()) {
                        *it = v.back();
                        v.pop_back();
                    }
                    if (v.empty())
                        bd.pointDeps.erase(k);
                }
                return;
            }
            auto &sd = SheetAccess::D(s);
            const AreaDep dep{r1, c1, r2, c2, self};
            auto file = [&](std::vector<AreaDep> &v) {
                if (add) {
                    v.push_back(dep);
                    return;
                }
                for (size_t i = 0; i < v.size(); ++i)
                    if (v[i].dependent == self && v[i].r1 == r1 && v[i].c1 == c1 && v[i].r2 == r2 && v[i].c2 == c2) {
                        v[i] = v.back();
                        v.pop_back();
                        return;
                    }
            };
            if (c2 - c1 < NarrowArea) {
                const int b1 = r1 >> RowBlockBits, b2 = r2 >> RowBlockBits;
                for (int c = c1; c <= c2; ++c) {
                    if (b2 - b1 < TallArea) {
                        for (int b = b1; b <= b2; ++b)
                            file(sd.areaDeps[areaKey(c, b)]);
                    } else {
                        file(sd.areaDeps[areaKey(c, RowBlocks)]);
                    }
                }
            } else {
                file(sd.wideDeps);
            }
        });
    }

    template<class F>
    static void Dependents(TSheetBook *book, quint64 key, F fn)
    {
        auto &bd = SheetAccess::D(book);
        auto p = bd.pointDeps.find(key);
        if (p != bd.pointDeps.end())
            for (quint64 d : p->second)
                fn(d);
        auto s = bd.byId.find(KeySheet(key));
        if (s == bd.byId.end())
            return;
        auto &sd = SheetAccess::D(s->second);
        const int r = KeyRow(key), c = KeyCol(key);
        auto scan = [&](const std::vector<AreaDep> &v) {
            for (const AreaDep &a : v)
                if (r >= a.r1 && r <= a.r2 && c >= a.c1 && c <= a.c2)
                    fn(a.dependent);
        };
        for (int key : {areaKey(c, r >> RowBlockBits), areaKey(c, RowBlocks)}) {
            auto a = sd.areaDeps.find(key);
            if (a != sd.areaDeps.end())
                scan(a->second);
        }
        scan(sd.wideDeps);
    }
};

namespace {

// Files every formula's dependencies anew: after sheets come, go or change
// their names, or rows and columns move.
void relinkAll(TSheetBook *book)
{
    auto &bd = SheetAccess::D(book);
    bd.pointDeps.clear();
    bd.volatileCells.clear();
    bd.formulaCount = 0;
    for (auto &s : bd.sheets) {
        SheetAccess::D(s.get()).areaDeps.clear();
        SheetAccess::D(s.get()).wideDeps.clear();
    }
    for (auto &s : bd.sheets)
        for (auto &[c, column] : SheetAccess::D(s.get()).columns)
            for (auto &[r, cell] : column)
                if (cell.code)
                    Deps::Link(book, s.get(), r, c, *cell.code, true);
}

} // namespace

// ---------------------------------------------------------------- TSheet

TSheet::TSheet(TSheetBook *book, int id, const QString &name) : d(new Private)
{
    d->book = book;
    d->id = id;
    d->name = name;
}

TSheet::~TSheet() = default;

QString TSheet::Name() const { return d->name; }
void TSheet::SetName(const QString &name)
{
    d->name = name;
    // References by name may now find this sheet (or lose it).
    relinkAll(d->book);
    d->book->Recalculate(true);
}
TSheetBook *TSheet::Book() const { return d->book; }

TCellValue TSheet::Value(int row, int col) const
{
    const Cell *c = d->Find(row, col);
    return c ? c->value : TCellValue();
}

TCellValue TSheet::Value(const QString &cellName) const
{
    int r, c;
    return ParseCellName(cellName, r, c) ? Value(r, c) : TCellValue::Error(TSheetError::Ref);
}

bool TSheet::HasFormula(int row, int col) const
{
    const Cell *c = d->Find(row, col);
    return c && (c->code || !c->raw.isEmpty());
}

QString TSheet::Formula(int row, int col) const
{
    const Cell *c = d->Find(row, col);
    if (!c)
        return QString();
    if (c->code)
        return u'=' + FormulaText(*c->code, row, col);
    return c->raw.isEmpty() ? QString() : u'=' + c->raw;
}

QString TSheet::CellText(int row, int col) const
{
    if (HasFormula(row, col))
        return Formula(row, col);
    return Value(row, col).ToString();
}

namespace {

void touch(TSheetBook *book, TSheet *s, int row, int col, bool formula)
{
    auto &bd = SheetAccess::D(book);
    const quint64 k = CellKey(SheetAccess::Id(s), row, col);
    bd.changed.push_back(k);
    if (formula)
        bd.dirtyFormulas.push_back(k);
    if (!bd.updating)
        book->Recalculate();
}

void dropFormula(TSheetBook *book, TSheet *s, int row, int col, Cell &c)
{
    if (c.code)
        Deps::Link(book, s, row, col, *c.code, false);
    c.code.reset();
    c.raw.clear();
    c.state = CellState::Clean;
}

} // namespace

void TSheet::SetValue(int row, int col, const TCellValue &value)
{
    if (!validCell(row, col))
        return;
    if (value.IsEmpty()) {
        Cell *c = d->Find(row, col);
        if (!c)
            return;
        dropFormula(d->book, this, row, col, *c);
        if (c->format == 0)
            d->Erase(row, col);
        else
            c->value = TCellValue();
    } else {
        Cell &c = d->Get(row, col);
        dropFormula(d->book, this, row, col, c);
        c.value = value;
    }
    touch(d->book, this, row, col, false);
}

bool TSheet::SetFormula(int row, int col, const QString &formula, QString *error)
{
    if (!validCell(row, col))
        return false;
    auto code = CompileFormula(formula, row, col, error, &SheetAccess::D(d->book).cache);
    if (!code)
        return false;
    Cell &c = d->Get(row, col);
    dropFormula(d->book, this, row, col, c);
    c.code = std::move(code);
    Deps::Link(d->book, this, row, col, *c.code, true);
    c.state = CellState::Dirty;
    touch(d->book, this, row, col, true);
    return true;
}

void TSheet::SetUnparsedFormula(int row, int col, const QString &formula, const TCellValue &cached)
{
    if (!validCell(row, col))
        return;
    Cell &c = d->Get(row, col);
    dropFormula(d->book, this, row, col, c);
    c.raw = formula.startsWith(u'=') ? formula.mid(1) : formula;
    c.value = cached;
    touch(d->book, this, row, col, false);
}

void TSheet::SetCellText(int row, int col, const QString &text)
{
    if (text.startsWith(u'=') && text.size() > 1) {
        QString err;
        if (!SetFormula(row, col, text, &err))
            SetValue(row, col, TCellValue::Error(TSheetError::Name, err));
        return;
    }
    if (text.isEmpty())
        return SetValue(row, col, TCellValue());
    if (auto n = SheetTextToNumber(text))
        return SetValue(row, col, TCellValue::Number(*n));
    if (text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
        return SetValue(row, col, TCellValue::Boolean(true));
    if (text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
        return SetValue(row, col, TCellValue::Boolean(false));
    if (auto e = SheetErrorFromText(text); e != TSheetError::None)
        return SetValue(row, col, TCellValue::Error(e));
    SetValue(row, col, TCellValue::Text(text));
}

void TSheet::ClearCell(int row, int col)
{
    SetValue(row, col, TCellValue());
    d->Erase(row, col);
}

void TSheet::CopyCell(int fromRow, int fromCol, int toRow, int toCol)
{
    const Cell *src = d->Find(fromRow, fromCol);
    if (!validCell(toRow, toCol) || !src) {
        if (validCell(toRow, toCol))
            ClearCell(toRow, toCol);
        return;
    }
    const Cell copy = *src;
    if (!copy.code) {
        if (!copy.raw.isEmpty())
            SetUnparsedFormula(toRow, toCol, copy.raw, copy.value);
        else
            SetValue(toRow, toCol, copy.value);
    } else {
        // The tree is relative: the copy shares it unless a reference leaves the grid.
        const QString text = FormulaText(*copy.code, toRow, toCol);
        if (text.contains(QLatin1String("#REF!")) && !FormulaText(*copy.code, fromRow, fromCol).contains(QLatin1String("#REF!"))) {
            SetFormula(toRow, toCol, text);
        } else {
            Cell &c = d->Get(toRow, toCol);
            dropFormula(d->book, this, toRow, toCol, c);
            c.code = copy.code;
            Deps::Link(d->book, this, toRow, toCol, *c.code, true);
            c.state = CellState::Dirty;
            touch(d->book, this, toRow, toCol, true);
        }
    }
    d->Get(toRow, toCol).format = copy.format;
}

QString TSheet::NumberFormat(int row, int col) const
{
    const Cell *c = d->Find(row, col);
    return SheetAccess::D(d->book).formats.value(c ? c->format : 0);
}

void TSheet::SetNumberFormat(int row, int col, const QString &format)
{
    if (!validCell(row, col))
        return;
    auto &bd = SheetAccess::D(d->book);
    int idx = 0;
    if (!format.isEmpty() && format.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0) {
        idx = bd.formatIndex.value(format, -1);
        if (idx < 0) {
            idx = int(bd.formats.size());
            bd.formats << format;
            bd.formatIndex.insert(format, idx);
        }
    }
    if (idx == 0 && !d->Find(row, col))
        return;
    d->Get(row, col).format = idx;
}

QString TSheet::DisplayText(int row, int col) const
{
    return FormatCellValue(Value(row, col), NumberFormat(row, col));
}

qsizetype TSheet::CellCount() const { return d->count; }

int TSheet::RowCount() const
{
    int last = -1;
    for (const auto &[c, column] : d->columns)
        if (!column.empty())
            last = std::max(last, column.rbegin()->first);
    return last + 1;
}

int TSheet::ColumnCount() const
{
    return d->columns.empty() ? 0 : d->columns.rbegin()->first + 1;
}

void TSheet::ForEachCell(const std::function<void(int, int)> &fn) const
{
    for (const auto &[c, column] : d->columns)
        for (const auto &[r, cell] : column)
            fn(r, c);
}

QList<QRect> TSheet::Merges() const { return d->merges; }
void TSheet::AddMerge(const QRect &r)
{
    if (r.isValid() && r.left() >= 0 && r.top() >= 0 && r.right() < MaxCols && r.bottom() < MaxRows)
        d->merges << r;
}
double TSheet::ColumnWidth(int col) const
{
    auto it = d->widths.find(col);
    return it == d->widths.end() ? 0 : it->second;
}
void TSheet::SetColumnWidth(int col, double width)
{
    if (col < 0 || col >= MaxCols)
        return;
    if (width > 0 && width < 256)
        d->widths[col] = width;
    else
        d->widths.erase(col);
}
QList<int> TSheet::ColumnsWithWidth() const
{
    QList<int> r;
    for (const auto &w : d->widths)
        r << w.first;
    return r;
}

// ---------------------------------------------------------------- structure

namespace {

struct ShiftMapper : RefMapper
{
    TSheetBook *book;
    TSheet *home, *target;
    bool rows, insert;
    int at, count;

    bool applies(const QString &sheet) const
    {
        return sheet.isEmpty() ? home == target : book->SheetByName(sheet) == target;
    }
    bool map(int &v, int end) const
    {
        if (insert) {
            if (v >= at)
                v += count;
            return v < (rows ? MaxRows : MaxCols);
        }
        if (v >= at + count) {
            v -= count;
        } else if (v >= at) {
            // A range loses the deleted part; a single cell is gone.
            if (end == 0)
                return false;
            v = end == 1 ? at : at - 1;
        }
        return true;
    }
    bool MapRow(const QString &sheet, int &row, int end) const override
    {
        return !rows || !applies(sheet) || map(row, end);
    }
    bool MapCol(const QString &sheet, int &col, int end) const override
    {
        return rows || !applies(sheet) || map(col, end);
    }
};

} // namespace

namespace {
void restructure(TSheetBook *book, TSheet *target, bool rows, bool insert, int at, int count)
{
    if (count <= 0 || at < 0)
        return;
    auto &bd = SheetAccess::D(book);
    struct Pending
    {
        TSheet *sheet;
        int row, col;
        QString text;
    };
    std::vector<Pending> formulas;
    for (auto &s : bd.sheets) {
        ShiftMapper m;
        m.book = book, m.home = s.get(), m.target = target, m.rows = rows, m.insert = insert, m.at = at,
        m.count = count;
        auto &sd = SheetAccess::D(s.get());
        for (auto &[c, column] : sd.columns)
            for (auto &[r, cell] : column)
                if (cell.code) {
                    formulas.push_back({s.get(), r, c, FormulaText(*cell.code, r, c, &m)});
                    cell.code.reset();
                }
    }
    // Move the target's cells.
    auto &td = SheetAccess::D(target);
    auto moveIndex = [&](int v, int limit) -> int {
        if (insert)
            return v >= at ? (v + count < limit ? v + count : -1) : v;
        if (v >= at + count)
            return v - count;
        return v >= at ? -1 : v;
    };
    std::map<int, Column> moved;
    qsizetype n = 0;
    for (auto &[c, column] : td.columns) {
        for (auto &[r, cell] : column) {
            const int nr = rows ? moveIndex(r, MaxRows) : r;
            const int nc = rows ? c : moveIndex(c, MaxCols);
            if (nr < 0 || nc < 0)
                continue;
            moved[nc].emplace(nr, std::move(cell));
            ++n;
        }
    }
    td.columns.swap(moved);
    ++SheetAccess::D(book).storageGeneration;
    td.count = n;
    if (!rows) {
        std::map<int, double> w;
        for (auto [c, width] : td.widths)
            if (int nc = moveIndex(c, MaxCols); nc >= 0)
                w[nc] = width;
        td.widths.swap(w);
    }
    QList<QRect> merges;
    for (QRect m : td.merges) {
        const int a = rows ? m.top() : m.left(), b = rows ? m.bottom() : m.right();
        const int na = moveIndex(a, rows ? MaxRows : MaxCols), nb = moveIndex(b, rows ? MaxRows : MaxCols);
        if (na < 0 || nb < 0 || nb - na != b - a)
            continue; // cut by the deletion or pushed off the grid
        if (rows)
            m.moveTop(na);
        else
            m.moveLeft(na);
        merges << m;
    }
    td.merges = merges;
    for (Pending &p : formulas) {
        int r = p.row, c = p.col;
        if (p.sheet == target) {
            r = rows ? moveIndex(r, MaxRows) : r;
            c = rows ? c : moveIndex(c, MaxCols);
            if (r < 0 || c < 0)
                continue;
        }
        Cell *cell = SheetAccess::D(p.sheet).Find(r, c);
        if (!cell)
            continue;
        cell->code = CompileFormula(p.text, r, c, nullptr, &bd.cache);
        if (!cell->code)
            cell->raw = p.text;
    }
    relinkAll(book);
    book->Recalculate(true);
}
} // namespace

void TSheet::InsertRows(int row, int count) { restructure(d->book, this, true, true, row, count); }
void TSheet::DeleteRows(int row, int count) { restructure(d->book, this, true, false, row, count); }
void TSheet::InsertColumns(int col, int count) { restructure(d->book, this, false, true, col, count); }
void TSheet::DeleteColumns(int col, int count) { restructure(d->book, this, false, false, col, count); }

// ---------------------------------------------------------------- TSheetBook

TSheetBook::TSheetBook(QObject *owner) : d(new Private)
{
    d->owner = owner;
}

TSheetBook::~TSheetBook() = default;

QObject *TSheetBook::Owner() const { return d->owner; }
int TSheetBook::SheetCount() const { return int(d->sheets.size()); }
TSheet *TSheetBook::Sheet(int index) const
{
    return index >= 0 && index < SheetCount() ? d->sheets[size_t(index)].get() : nullptr;
}

TSheet *TSheetBook::SheetByName(const QString &name) const
{
    for (auto &s : d->sheets)
        if (s->Name().compare(name, Qt::CaseInsensitive) == 0)
            return s.get();
    return nullptr;
}

int TSheetBook::IndexOf(const TSheet *sheet) const
{
    for (size_t i = 0; i < d->sheets.size(); ++i)
        if (d->sheets[i].get() == sheet)
            return int(i);
    return -1;
}

TSheet *TSheetBook::AddSheet(const QString &name)
{
    QString n = name;
    for (int i = SheetCount() + 1; n.isEmpty() || SheetByName(n); ++i)
        n = QStringLiteral("Sheet%1").arg(i);
    const int id = d->nextId++;
    d->sheets.emplace_back(new TSheet(this, id, n));
    TSheet *s = d->sheets.back().get();
    d->byId[id] = s;
    if (SheetCount() > 1) {
        // Formulas naming it find it now.
        relinkAll(this);
        Recalculate(true);
    }
    return s;
}

void TSheetBook::DeleteSheet(int index)
{
    TSheet *s = Sheet(index);
    if (!s)
        return;
    d->byId.erase(SheetAccess::Id(s));
    d->sheets.erase(d->sheets.begin() + index);
    ++d->storageGeneration;
    relinkAll(this);
    Recalculate(true);
}

void TSheetBook::Clear()
{
    d->sheets.clear();
    ++d->storageGeneration;
    d->byId.clear();
    d->pointDeps.clear();
    d->volatileCells.clear();
    d->formulaCount = 0;
    d->changed.clear();
    d->dirtyFormulas.clear();
    d->cache.clear();
    d->warnings.clear();
}

void TSheetBook::BeginUpdate() { ++d->updating; }
void TSheetBook::EndUpdate()
{
    if (d->updating > 0 && --d->updating == 0)
        Recalculate();
}
bool TSheetBook::Updating() const { return d->updating > 0; }
void TSheetBook::SetOnChange(std::function<void()> handler) { d->onChange = std::move(handler); }
qint64 TSheetBook::EvaluationCount() const { return d->evaluations; }
qsizetype TSheetBook::CompiledFormulaCount() const
{
    qsizetype n = 0;
    for (const auto &w : d->cache)
        n += !w.expired();
    return n;
}
QStringList TSheetBook::LoadWarnings() const { return d->warnings; }
void TSheetBook::SetLoadWarnings(const QStringList &warnings) { d->warnings = warnings; }

namespace {

// Calculates one cell and whatever dirty cells it needs first, with an
// explicit stack: a cell that reads a dirty cell is evaluated again after it.
// Calculates the cell start (found as startCell while the storage was at
// generation) and the dirty cells it needs first. Cells live in map nodes,
// which inserting leaves in place; only what frees cells (a script's edit
// during the calculation) makes the pointer stale.
void compute(TSheetBook *book, quint64 start, TSheet *startSheet, Cell *startCell, quint64 generation,
             std::vector<quint64> &stack, std::vector<quint64> &need)
{
    auto &bd = SheetAccess::D(book);
    auto find = [&](quint64 k) -> std::pair<TSheet *, Cell *> {
        if (k == start && bd.storageGeneration == generation)
            return {startSheet, startCell};
        auto s = bd.byId.find(KeySheet(k));
        if (s == bd.byId.end())
            return {nullptr, nullptr};
        return {s->second, SheetAccess::D(s->second).Find(KeyRow(k), KeyCol(k))};
    };
    stack.clear();
    stack.push_back(start);
    while (!stack.empty()) {
        const quint64 k = stack.back();
        auto [sheet, cell] = find(k);
        if (!cell || !cell->code || cell->state == CellState::Clean) {
            stack.pop_back();
            continue;
        }
        cell->state = CellState::InProgress;
        need.clear();
        Evaluator ev(book, sheet, KeyRow(k), KeyCol(k), &need);
        const quint64 before = bd.storageGeneration;
        TCellValue v = ev.Run(*cell->code);
        ++bd.evaluations;
        if (bd.storageGeneration != before && !(cell = find(k).second)) {
            stack.pop_back(); // the calculation's own script removed the cell
            continue;
        }
        if (need.empty()) {
            cell->value = std::move(v);
            cell->state = CellState::Clean;
            stack.pop_back();
            continue;
        }
        for (quint64 n : need) {
            Cell *c = find(n).second;
            if (!c || c->state == CellState::Clean)
                continue;
            if (c->state == CellState::Dirty) {
                stack.push_back(n);
                continue;
            }
            // n is being calculated further down: every cell from it up waits
            // on a cell above it, a cycle.
            size_t p = stack.size();
            while (p > 0 && stack[p - 1] != n)
                --p;
            if (p == 0)
                continue;
            for (size_t i = p - 1; i < stack.size(); ++i) {
                Cell *m = find(stack[i]).second;
                if (m && m->state == CellState::InProgress) {
                    m->value = TCellValue::Error(TSheetError::Ref, QStringLiteral("Circular reference"));
                    m->state = CellState::Clean;
                }
            }
            stack.resize(p - 1);
            break;
        }
    }
}

} // namespace

void TSheetBook::Recalculate(bool full)
{
    if (d->updating > 0) {
        d->fullPending |= full; // done at the last EndUpdate
        return;
    }
    if (d->inRecalc)
        return;
    full |= d->fullPending;
    // When most formulas are new (a sheet built or loaded between BeginUpdate
    // and EndUpdate), calculating all of them costs less than walking the
    // dependents of every changed cell to find the few that are not.
    full |= d->dirtyFormulas.size() >= 1024 && qsizetype(d->dirtyFormulas.size()) * 2 >= d->formulaCount;
    d->fullPending = false;
    d->inRecalc = true;
    // The cells to calculate, found once.
    struct Dirty
    {
        quint64 key;
        TSheet *sheet;
        Cell *cell;
    };
    std::vector<Dirty> order;
    if (full) {
        for (auto &s : d->sheets)
            for (auto &[c, column] : SheetAccess::D(s.get()).columns)
                for (auto &[r, cell] : column)
                    if (cell.code) {
                        cell.state = CellState::Dirty;
                        order.push_back({CellKey(SheetAccess::Id(s.get()), r, c), s.get(), &cell});
                    }
    } else {
        std::vector<quint64> queue;
        queue.swap(d->changed);
        auto mark = [&](quint64 k) {
            auto s = d->byId.find(KeySheet(k));
            if (s == d->byId.end())
                return false;
            Cell *c = SheetAccess::D(s->second).Find(KeyRow(k), KeyCol(k));
            if (!c || !c->code || c->state == CellState::Dirty)
                return false;
            c->state = CellState::Dirty;
            order.push_back({k, s->second, c});
            return true;
        };
        for (quint64 k : d->dirtyFormulas) {
            auto s = d->byId.find(KeySheet(k));
            if (s == d->byId.end())
                continue;
            if (Cell *c = SheetAccess::D(s->second).Find(KeyRow(k), KeyCol(k)); c && c->code) {
                c->state = CellState::Dirty;
                order.push_back({k, s->second, c});
            }
        }
        for (quint64 k : d->volatileCells)
            if (mark(k))
                queue.push_back(k);
        // Breadth first over the dependents: a queue, no recursion.
        for (size_t i = 0; i < queue.size(); ++i)
            Deps::Dependents(this, queue[i], [&](quint64 dep) {
                if (mark(dep))
                    queue.push_back(dep);
            });
    }
    d->changed.clear();
    d->dirtyFormulas.clear();
    std::vector<quint64> stack, need;
    const quint64 generation = d->storageGeneration;
    for (const Dirty &o : order)
        compute(this, o.key, o.sheet, o.cell, generation, stack, need);
    d->inRecalc = false;
    if (d->onChange)
        d->onChange();
}

TCellValue TSheetBook::Evaluate(const QString &formula, TSheet *sheet, int row, int col)
{
    QString err;
    auto code = CompileFormula(formula, row, col, &err, nullptr);
    if (!code)
        return TCellValue::Error(TSheetError::Name, err);
    Evaluator ev(this, sheet ? sheet : Sheet(0), row, col, nullptr);
    return ev.Run(*code);
}

} // namespace zor
