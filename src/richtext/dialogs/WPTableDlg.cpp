#include "WPTableDlg.h"

#include "ui_WPTableDlg.h"

#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/engine/Document.h>

#include <QButtonGroup>
#include <QDialog>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

namespace zor {

namespace {

const TWPDialogRegistrar<TWPTableDlg> registerTable("TWPTableDlg");

// The cells a cursor spans in its table: the selected rectangle, or the
// caret's cell.
struct CellSpan
{
    int Row = 0, Rows = 1, Column = 0, Columns = 1;
};

CellSpan spanOf(const QTextCursor &c, QTextTable *t)
{
    CellSpan s;
    if (c.hasComplexSelection()) {
        c.selectedTableCells(&s.Row, &s.Rows, &s.Column, &s.Columns);
        return s;
    }
    const QTextTableCell first = t->cellAt(c.selectionStart());
    const QTextTableCell last = t->cellAt(c.selectionEnd());
    if (first.isValid()) {
        s.Row = first.row();
        s.Column = first.column();
    }
    if (last.isValid()) {
        s.Rows = std::max(1, last.row() - s.Row + 1);
        s.Columns = std::max(1, last.column() - s.Column + 1);
    }
    return s;
}

// The text of a cell as a selection.
QTextCursor cellText(const QTextTableCell &cell)
{
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c;
}

// Removes the table with its frame. The frame's marks separate the
// paragraphs around it: without them the paragraphs before and after would
// run together, so a paragraph break takes their place.
void removeTable(QTextTable *table)
{
    QTextDocument *doc = table->document();
    const int start = table->firstPosition() - 1;
    const QTextBlock after = doc->findBlock(table->lastPosition() + 1);
    const QTextBlockFormat afterFormat = after.blockFormat();
    const QTextCharFormat afterChars = after.charFormat();
    const bool textBefore = start > 0 && !doc->findBlock(start - 1).text().isEmpty();
    QTextCursor c(doc);
    c.setPosition(start);
    c.setPosition(table->lastPosition() + 1, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    if (textBefore)
        c.insertBlock(afterFormat, afterChars);
}

class TableForm : public QDialog
{
public:
    Ui::WPTableDlg ui;

    TableForm(QWidget *parent, bool inTable)
        : QDialog(parent)
    {
        ui.setupUi(this);
        connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
        ui.grpChange->setEnabled(inTable);
        (inTable ? ui.rbInsertRowsBelow : ui.rbNewTable)->setChecked(true);
        // The radio buttons sit in two boxes: one group for all of them.
        auto *group = new QButtonGroup(this);
        for (QRadioButton *b : {ui.rbNewTable, ui.rbInsertRowsAbove, ui.rbInsertRowsBelow, ui.rbInsertColumnsLeft,
                                ui.rbInsertColumnsRight, ui.rbDeleteRows, ui.rbDeleteColumns})
            group->addButton(b);
        connect(group, &QButtonGroup::buttonToggled, this, [this] { enable(); });
        enable();
    }

    void enable()
    {
        ui.grpNewTable->setEnabled(ui.rbNewTable->isChecked());
        ui.spCount->setEnabled(!ui.rbNewTable->isChecked() && !ui.rbDeleteRows->isChecked()
                               && !ui.rbDeleteColumns->isChecked());
    }
};

} // namespace

TWPTableDlg::TWPTableDlg(QObject *owner)
    : TWPFormDialog(owner)
{
}

TWPTableDlg::~TWPTableDlg() = default;

bool TWPTableDlg::Execute()
{
    TWPRichText *editor = EditBox();
    if (!MayChange())
        return false;
    QTextCursor c = editor->TextCursor();
    QTextTable *table = c.currentTable();
    TableForm form(ParentWindow(), table != nullptr);
    if (!Run(form))
        return false;
    const Ui::WPTableDlg &ui = form.ui;

    if (ui.rbNewTable->isChecked() || !table) {
        c.clearSelection();
        if (!MayEdit(c))
            return false;
        const int columns = ui.spColumns->value();
        QTextTableFormat tf;
        tf.setCellPadding(2);
        tf.setCellSpacing(0);
        tf.setBorderCollapse(true);
        tf.setBorder(ui.spBorder->value() / 0.75); // points to document units
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, ui.spWidth->value()));
        QList<QTextLength> widths;
        for (int i = 0; i < columns; ++i)
            widths << QTextLength(QTextLength::PercentageLength, ui.spWidth->value() / double(columns));
        tf.setColumnWidthConstraints(widths);
        c.beginEditBlock();
        QTextTable *t = c.insertTable(ui.spRows->value(), columns, tf);
        c.endEditBlock();
        editor->SetTextCursor(t->cellAt(0, 0).firstCursorPosition());
        return true;
    }

    const CellSpan s = spanOf(c, table);
    const int count = ui.spCount->value();
    const bool deleting = ui.rbDeleteRows->isChecked() || ui.rbDeleteColumns->isChecked();
    if (deleting) {
        // Deleting takes the cells' text with it: none may be protected.
        for (int r = 0; r < table->rows(); ++r)
            for (int col = 0; col < table->columns(); ++col) {
                const bool inRows = r >= s.Row && r < s.Row + s.Rows;
                const bool inColumns = col >= s.Column && col < s.Column + s.Columns;
                if ((ui.rbDeleteRows->isChecked() ? inRows : inColumns) && !MayEdit(cellText(table->cellAt(r, col))))
                    return false;
            }
    }
    const bool wholeTable = (ui.rbDeleteRows->isChecked() && s.Rows >= table->rows())
                            || (ui.rbDeleteColumns->isChecked() && s.Columns >= table->columns());
    // After deleting, the caret goes to the cell that took the place of the
    // first deleted one (or the table's neighbour when it is gone).
    const int tableStart = table->firstPosition();
    c.beginEditBlock();
    if (ui.rbInsertRowsAbove->isChecked())
        table->insertRows(s.Row, count);
    else if (ui.rbInsertRowsBelow->isChecked())
        table->insertRows(s.Row + s.Rows, count);
    else if (ui.rbInsertColumnsLeft->isChecked())
        table->insertColumns(s.Column, count);
    else if (ui.rbInsertColumnsRight->isChecked())
        table->insertColumns(s.Column + s.Columns, count);
    else if (wholeTable)
        removeTable(table);
    else if (ui.rbDeleteRows->isChecked())
        table->removeRows(s.Row, s.Rows);
    else if (ui.rbDeleteColumns->isChecked())
        table->removeColumns(s.Column, s.Columns);
    c.endEditBlock();
    QTextCursor caret(editor->Document().Text());
    QTextTable *still = nullptr;
    caret.setPosition(std::min(tableStart, editor->Document().Text()->characterCount() - 1));
    still = caret.currentTable();
    if (deleting && still && still->rows() > 0 && still->columns() > 0) {
        caret = still->cellAt(std::min(s.Row, still->rows() - 1), std::min(s.Column, still->columns() - 1))
                    .firstCursorPosition();
    } else if (!deleting) {
        caret = editor->TextCursor();
        caret.clearSelection();
    }
    editor->SetTextCursor(caret);
    return true;
}

} // namespace zor
