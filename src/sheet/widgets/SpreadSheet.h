// The spreadsheet control: a grid over a workbook with a name box, a formula
// bar and sheet tabs. The grid shows the whole sheet (1,048,576 rows by
// 16,384 columns) with fixed-size sections, so scrolling costs nothing
// whatever the size; cells are edited in place (F2, typing) or in the formula
// bar, Delete clears the selection. Values show through their number formats;
// an error cell tells what went wrong in its tool tip.
//
// Every change made through the control is one step on its undo stack
// (Ctrl+Z, Ctrl+Y): edits, clearing, pasting, inserting and deleting rows and
// columns (the header's context menus). The clipboard holds the cells as
// tab-separated text, as other spreadsheets exchange them; pasted back into
// the same sheet, formulas move their relative references as copies do.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QTableView;
class QTabBar;
class QUndoStack;

namespace zor {

class TSheet;
class TSheetBook;

class ZOR_EXPORT TSpreadSheet : public QWidget
{
    Q_OBJECT
public:
    explicit TSpreadSheet(QWidget *AOwner = nullptr);
    ~TSpreadSheet() override;

    // The workbook shown; its owner is this control (formula functions find
    // the control through it). Starts with one sheet.
    TSheetBook &Book() const;
    TSheet *ActiveSheet() const;
    int ActiveSheetIndex() const;
    void SetActiveSheetIndex(int index);

    // Reads or writes by extension (.xlsx, .ods, .csv); false with *error on
    // failure. What a file held that the book cannot keep is in
    // Book().LoadWarnings() and shows in a line below the grid. Loading
    // clears the undo stack.
    bool LoadFromFile(const QString &fileName, QString *error = nullptr);
    bool SaveToFile(const QString &fileName, QString *error = nullptr) const;

    // Inserted before row (column); deleted from row (column) on. References
    // follow the cells; those to deleted cells become #REF! until undone.
    void InsertRows(int row, int count);
    void DeleteRows(int row, int count);
    void InsertColumns(int col, int count);
    void DeleteColumns(int col, int count);

    // The selection (its bounding rectangle, at most the used part of the
    // sheet) to the clipboard; Cut clears it when pasted. Paste puts the
    // clipboard's cells at the current cell; false when it holds no text or
    // more than the sheet takes.
    void Copy();
    void Cut();
    bool Paste();

    QUndoStack *UndoStack() const;

    // The current cell (row, column from 0).
    int CurrentRow() const;
    int CurrentColumn() const;
    void SetCurrentCell(int row, int col);

    // Sheets added, removed or renamed behind the control's back show after this.
    void RefreshSheets();

    QTableView *GridView() const;
    QLineEdit *FormulaBar() const;
    QLineEdit *NameBox() const;
    QTabBar *SheetTabs() const;
    QLabel *WarningsLine() const; // hidden while there is nothing to say

Q_SIGNALS:
    // After each recalculation of the book.
    void calculated();
    void currentCellChanged(int row, int col);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void commitFormulaBar();
    void showCurrentCell();
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
