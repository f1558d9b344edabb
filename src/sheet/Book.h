// A workbook of sheets with sparse cells, formulas and recalculation.
//
// Cells cost memory only where they hold something. A change recalculates
// only the cells that depend on it (and the volatile ones), in dependency
// order and without recursion, so a chain of a million formulas is fine.
// Ranges are one dependency each, whatever their size.
#pragma once

#include <ZorCompCore/sheet/CellValue.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;

namespace zor {

class TSheetBook;

// "B3" for row 2, column 1 (both from 0).
ZOR_EXPORT QString SheetCellName(int row, int col);
// "B3" or "$B$3" into row and column; false for anything else or a cell off the grid.
ZOR_EXPORT bool ParseSheetCellName(const QString &name, int &row, int &col);

class ZOR_EXPORT TSheet
{
public:
    QString Name() const;
    void SetName(const QString &name);
    TSheetBook *Book() const;

    // Rows and columns count from 0; (0,0) is A1.
    TCellValue Value(int row, int col) const;
    TCellValue Value(const QString &cellName) const; // "B3"
    bool HasFormula(int row, int col) const;
    // "=A1*2" as seen from the cell; empty without a formula.
    QString Formula(int row, int col) const;
    // What an editor shows: the formula, else the value as text.
    QString CellText(int row, int col) const;

    void SetValue(int row, int col, const TCellValue &value);
    // "=…": false (and the cell unchanged) when it does not parse; *error tells why.
    bool SetFormula(int row, int col, const QString &formula, QString *error = nullptr);
    // A formula kept as text with the value it had (a file's formula we cannot run).
    void SetUnparsedFormula(int row, int col, const QString &formula, const TCellValue &cached);
    // As typed: "=…" a formula, numbers, TRUE/FALSE, error names, else text.
    void SetCellText(int row, int col, const QString &text);
    void ClearCell(int row, int col);
    // Copies a cell as pasting does: relative references move with it.
    void CopyCell(int fromRow, int fromCol, int toRow, int toCol);

    // Number format code of a cell ("General" when none).
    QString NumberFormat(int row, int col) const;
    void SetNumberFormat(int row, int col, const QString &format);
    // The value as shown through the cell's number format.
    QString DisplayText(int row, int col) const;

    qsizetype CellCount() const;
    // Rows and columns up to the last used one (0 when empty).
    int RowCount() const;
    int ColumnCount() const;
    // Calls fn for each non-empty cell, column by column.
    void ForEachCell(const std::function<void(int row, int col)> &fn) const;

    // References to moved cells follow them; references to deleted ones become #REF!.
    void InsertRows(int row, int count);
    void DeleteRows(int row, int count);
    void InsertColumns(int col, int count);
    void DeleteColumns(int col, int count);

    QList<QRect> Merges() const; // x = column, y = row
    void AddMerge(const QRect &r);
    double ColumnWidth(int col) const; // in characters; 0 = default
    void SetColumnWidth(int col, double width);
    QList<int> ColumnsWithWidth() const;

    ~TSheet();

private:
    friend class TSheetBook;
    TSheet(TSheetBook *book, int id, const QString &name);
    struct Private;
    std::unique_ptr<Private> const d;
    friend struct SheetAccess;
};

class ZOR_EXPORT TSheetBook
{
public:
    explicit TSheetBook(QObject *owner = nullptr);
    ~TSheetBook();
    TSheetBook(const TSheetBook &) = delete;
    TSheetBook &operator=(const TSheetBook &) = delete;

    // The control showing the book; formula functions can ask for it.
    QObject *Owner() const;

    int SheetCount() const;
    TSheet *Sheet(int index) const;
    TSheet *SheetByName(const QString &name) const; // case-insensitive
    int IndexOf(const TSheet *sheet) const;
    TSheet *AddSheet(const QString &name = QString());
    void DeleteSheet(int index);
    void Clear();

    // Edits between these recalculate once, at the last EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const;
    // Recalculates what changed (and the volatile cells); Full recalculates every formula.
    void Recalculate(bool full = false);
    // Called once per recalculation that ran.
    void SetOnChange(std::function<void()> handler);
    // How many formula evaluations ran so far (for tests and tuning).
    qint64 EvaluationCount() const;
    // Distinct compiled formulas shared by the cells.
    qsizetype CompiledFormulaCount() const;

    // Evaluates a formula as if it stood in cell (row, col) of sheet, changing nothing.
    TCellValue Evaluate(const QString &formula, TSheet *sheet = nullptr, int row = 0, int col = 0);

    // What a file reader could not keep (charts, images, macros …).
    QStringList LoadWarnings() const;
    void SetLoadWarnings(const QStringList &warnings);

private:
    friend class TSheet;
    friend struct SheetAccess;
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
