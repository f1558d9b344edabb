// Compiled formulas, shared by the book, the evaluator and the file readers.
// Not part of the public API.
//
// A formula compiles to a small tree whose references are kept the R1C1 way:
// a relative row or column is an offset from the formula's own cell. Filled
// columns and shared formulas of a file therefore compile to one tree, used
// by every cell whose formula has the same relative text.
#pragma once

#include "CellValue.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace zor {

struct TSheetFunctionInfo;

namespace sheet_detail {

constexpr int MaxRows = 1048576;
constexpr int MaxCols = 16384;
// Bracket and call nesting a formula may use; the evaluator recurses this deep.
constexpr int MaxDepth = 128;

struct RefPart
{
    int row = 0, col = 0;        // absolute index (0-based) or offset from the cell
    bool rowAbs = false, colAbs = false;
};

enum class AreaKind : unsigned char { Cells, Columns, Rows };

struct FNode
{
    enum Kind : unsigned char { Num, Str, Bool, Err, Ref, Area, Unary, Binary, Percent, Call, Missing, Name };
    Kind kind = Num;
    char op = 0;                 // Unary/Binary: + - * / ^ & = < > l(<=) g(>=) n(<>)
    AreaKind area = AreaKind::Cells;
    bool hasSheet = false;
    TSheetError err = TSheetError::None;
    double num = 0;
    QString str;                 // Str text, Call/Name name, Ref/Area sheet name
    RefPart a, b;
    std::shared_ptr<const TSheetFunctionInfo> fn; // Call: null when unknown (#NAME?)
    std::vector<int> kids;
};

struct FormulaCode
{
    std::vector<FNode> nodes;
    int root = -1;
    bool isVolatile = false;
    bool unknownFunction = false; // calls a name the repository lacks
    QString key;                 // the relative text this tree was compiled from
};

// Trees by relative text; an entry lives as long as a cell uses its tree.
using FormulaCache = QHash<QString, std::weak_ptr<const FormulaCode>>;

// Compiles formula text ("=..." or without the sign) for the cell (row, col).
// Returns null and sets *error on a syntax error. A cache, when given, is
// consulted and filled by relative text.
std::shared_ptr<const FormulaCode> CompileFormula(const QString &text, int row, int col, QString *error,
                                                  FormulaCache *cache = nullptr);

// Rewrites references while a formula is turned back into text: gets the
// sheet name ("" = the formula's own sheet), an absolute index and which end
// it is (0 a single cell, 1 a range's start, 2 its end); returns false when
// the cell is gone (the reference becomes #REF!).
struct RefMapper
{
    virtual ~RefMapper() = default;
    virtual bool MapRow(const QString &sheet, int &row, int end) const = 0;
    virtual bool MapCol(const QString &sheet, int &col, int end) const = 0;
};

// The formula as A1 text without "=", seen from (row, col).
QString FormulaText(const FormulaCode &code, int row, int col, const RefMapper *mapper = nullptr);

QString ColumnName(int col);               // 0 -> "A"
QString CellName(int row, int col);        // (0,0) -> "A1"
// "B3", "$B$3" -> (2,1); false when it is no cell name in the grid.
bool ParseCellName(const QString &s, int &row, int &col);

} // namespace sheet_detail
} // namespace zor
