// Internals of the book shared by the evaluator, the function library and
// the file readers. Not part of the public API.
#pragma once

#include "Book.h"
#include "Formula_p.h"
#include "Functions.h"

#include <QHash>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zor {
namespace sheet_detail {

enum class CellState : unsigned char { Clean, Dirty, InProgress };

struct Cell
{
    TCellValue value;
    std::shared_ptr<const FormulaCode> code;
    QString raw;        // a formula kept as text (no code)
    int format = 0;     // index into the book's format list; 0 General
    CellState state = CellState::Clean;
};

using Column = std::map<int, Cell>;

// sheet id (30 bits) | row (20 bits) | column (14 bits)
inline quint64 CellKey(int sheet, int row, int col)
{
    return (quint64(quint32(sheet)) << 34) | (quint64(quint32(row)) << 14) | quint64(quint32(col));
}
inline int KeySheet(quint64 k) { return int(k >> 34); }
inline int KeyRow(quint64 k) { return int((k >> 14) & 0xFFFFF); }
inline int KeyCol(quint64 k) { return int(k & 0x3FFF); }

struct AreaDep
{
    int r1, c1, r2, c2;
    quint64 dependent;
};

struct Area
{
    TSheet *sheet = nullptr;
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    int Rows() const { return r2 - r1 + 1; }
    int Cols() const { return c2 - c1 + 1; }
};

// An intermediate result: a value, a reference or an array (row-major).
struct Operand
{
    enum Kind { Val, Ref, Arr } k = Val;
    TCellValue v;
    Area area;
    std::shared_ptr<std::vector<TCellValue>> arr;
    int rows = 1, cols = 1;

    static Operand Value(TCellValue v)
    {
        Operand o;
        o.v = std::move(v);
        return o;
    }
    bool IsSingle() const { return k == Val || (k == Ref ? area.Rows() == 1 && area.Cols() == 1 : rows * cols == 1); }
};

// Array results are held in memory: bounded so a formula over whole sheets
// cannot ask for gigabytes.
constexpr qint64 MaxArrayCells = 1 << 20; // a whole column
// Element visits one evaluation may spend on arrays, criteria and lookups, so
// that a formula chaining whole-column operations cannot stall a recalculation.
constexpr qint64 MaxWork = 1 << 22;

class Evaluator
{
public:
    Evaluator(TSheetBook *book, TSheet *sheet, int row, int col, std::vector<quint64> *need)
        : book(book), sheet(sheet), row(row), col(col), need(need)
    {
    }

    TCellValue Run(const FormulaCode &code);

    // A cell's value; a cell still to be calculated is noted in need (the
    // caller evaluates again once it is done).
    TCellValue Cell(TSheet *s, int r, int c);
    TCellValue Scalar(const Operand &o);
    // Element (i, j) of a reference or an array; a value repeats.
    TCellValue At(const Operand &o, int i, int j);
    // Each non-empty element of o; stop by returning false.
    void ForEach(const Operand &o, const std::function<bool(const TCellValue &)> &fn);
    // Each element including empty ones of a reference (for SUMIF's pairs).
    int Rows(const Operand &o) const { return o.k == Operand::Ref ? o.area.Rows() : o.rows; }
    int Cols(const Operand &o) const { return o.k == Operand::Ref ? o.area.Cols() : o.cols; }

    Operand Eval(int node);
    // Counts n element visits against MaxWork; false (and the formula gives
    // #NUM!) once the budget is spent.
    bool Spend(qint64 n)
    {
        work += n;
        return work <= MaxWork;
    }

    TSheetBook *book;
    TSheet *sheet;
    int row, col;
    std::vector<quint64> *need;
    const FormulaCode *code = nullptr;
    qint64 work = 0;

private:
    Operand resolveRef(const FNode &n);
    Operand call(const FNode &n);
    Operand binary(char op, const Operand &a, const Operand &b);
};

// Arithmetic coercion: number, TRUE=1, numeric text, empty=0; else an error value.
bool ToNumber(const TCellValue &v, double &out, TCellValue &err);
QString ToText(const TCellValue &v);
// -1, 0, 1 the way comparison operators order values (numbers < text < booleans).
int CompareValues(const TCellValue &a, const TCellValue &b);

void RegisterBuiltins(TSpreadSheetFunctionsRepository &repo);

} // namespace sheet_detail

struct TSheet::Private
{
    TSheetBook *book;
    int id;
    QString name;
    std::map<int, sheet_detail::Column> columns;
    qsizetype count = 0;
    QList<QRect> merges;
    std::map<int, double> widths;
    // Ranges other formulas read, filed by column and block of rows (wide
    // ranges on their own).
    std::unordered_map<int, std::vector<sheet_detail::AreaDep>> areaDeps;
    std::vector<sheet_detail::AreaDep> wideDeps;

    sheet_detail::Cell *Find(int row, int col);
    const sheet_detail::Cell *Find(int row, int col) const;
    sheet_detail::Cell &Get(int row, int col);
    void Erase(int row, int col);
};

struct TSheetBook::Private
{
    QObject *owner = nullptr;
    std::vector<std::unique_ptr<TSheet>> sheets;
    int nextId = 1;
    std::unordered_map<int, TSheet *> byId;
    sheet_detail::FormulaCache cache;
    QStringList formats{QStringLiteral("General")};
    QHash<QString, int> formatIndex;
    std::unordered_map<quint64, std::vector<quint64>> pointDeps;
    std::unordered_set<quint64> volatileCells;
    std::vector<quint64> changed;   // cells whose value changed (dependents to recalculate)
    std::vector<quint64> dirtyFormulas;
    qsizetype formulaCount = 0;     // formulas filed in the dependency index
    int updating = 0;
    bool inRecalc = false;
    bool fullPending = false;
    qint64 evaluations = 0;
    // Counts what may free cells (erasing, moving rows or columns, deleting
    // sheets): a cell pointer kept from before is good while it is unchanged.
    quint64 storageGeneration = 0;
    std::function<void()> onChange;
    QStringList warnings;
};

// Lets the engine's other units reach the private parts.
struct SheetAccess
{
    static TSheet::Private &D(const TSheet *s) { return *s->d; }
    static TSheetBook::Private &D(const TSheetBook *b) { return *b->d; }
    static int Id(const TSheet *s) { return s->d->id; }
};

} // namespace zor
