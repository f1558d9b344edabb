// The grid control as a user drives it: typing into cells and the formula
// bar, Delete, the name box, sheet tabs, tool tips of errors, files, undo,
// the clipboard, inserting and deleting rows and columns.
#include "TestUtil.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/widgets/SpreadSheet.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QProcess>
#include <QUndoStack>
#include <QHeaderView>
#include <QLineEdit>
#include <QTabBar>
#include <QTableView>
#include <QTest>

using namespace zor;

namespace {

class Grid : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid.resize(800, 500);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        s = grid.ActiveSheet();
    }
    QAbstractItemModel *model() const { return grid.GridView()->model(); }
    // Types into the current cell as a user does: the first key opens the
    // editor, the rest go to it, Enter commits.
    void typeIntoGrid(const QString &text)
    {
        QTableView *view = grid.GridView();
        view->setFocus();
        QTest::keyClicks(view, text.left(1));
        QWidget *editor = QApplication::focusWidget();
        ASSERT_NE(editor, view) << "no editor opened";
        QTest::keyClicks(editor, text.mid(1));
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the delegate commits through the event queue
    }
    QString shown(int r, int c) const { return model()->index(r, c).data().toString(); }
    void press(const QKeySequence &keys)
    {
        grid.GridView()->setFocus();
        QTest::keySequence(grid.GridView(), keys);
    }
    void select(int top, int left, int bottom, int right)
    {
        QTableView *view = grid.GridView();
        view->setCurrentIndex(model()->index(top, left));
        view->selectionModel()->select(QItemSelection(model()->index(top, left), model()->index(bottom, right)),
                                       QItemSelectionModel::ClearAndSelect);
    }

    TSpreadSheet grid;
    TSheet *s = nullptr;
};

TEST_F(Grid, EditsReachTheBookAndResultsTheGrid)
{
    grid.SetCurrentCell(0, 0);
    typeIntoGrid(QStringLiteral("21"));
    EXPECT_EQ(s->Value(0, 0), TCellValue::Number(21));

    // The formula bar edits the current cell; Enter moves down.
    grid.SetCurrentCell(0, 1);
    grid.FormulaBar()->setFocus();
    grid.FormulaBar()->setText(QStringLiteral("=A1*2"));
    QTest::keyClick(grid.FormulaBar(), Qt::Key_Return);
    EXPECT_EQ(s->Formula(0, 1), u"=A1*2"_qs);
    EXPECT_EQ(shown(0, 1), u"42"_qs);
    EXPECT_EQ(grid.CurrentRow(), 1);
    EXPECT_EQ(grid.NameBox()->text(), u"B2"_qs);

    // A change elsewhere shows in the dependent cell; the bar shows formulas.
    ASSERT_TRUE(model()->setData(model()->index(0, 0), QStringLiteral("5")));
    EXPECT_EQ(shown(0, 1), u"10"_qs);
    grid.SetCurrentCell(0, 1);
    EXPECT_EQ(grid.FormulaBar()->text(), u"=A1*2"_qs);
    EXPECT_EQ(model()->index(0, 1).data(Qt::EditRole).toString(), u"=A1*2"_qs);

    // Number formats show; errors explain themselves.
    s->SetNumberFormat(0, 0, QStringLiteral("0.00"));
    EXPECT_EQ(shown(0, 0), u"5.00"_qs);
    model()->setData(model()->index(2, 0), QStringLiteral("=1/0"));
    EXPECT_EQ(shown(2, 0), u"#DIV/0!"_qs);
    EXPECT_TRUE(model()->index(2, 0).data(Qt::ToolTipRole).toString().startsWith(u"#DIV/0!"_qs));
    model()->setData(model()->index(3, 0), QStringLiteral("=NOSUCH(1)"));
    EXPECT_TRUE(model()->index(3, 0).data(Qt::ToolTipRole).toString().startsWith(u"#NAME?"_qs));
    EXPECT_FALSE(model()->index(0, 0).data(Qt::ToolTipRole).isValid());
}

TEST_F(Grid, DeleteClearsTheSelectedCellsOnly)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            s->SetValue(r, c, TCellValue::Number(r * 3 + c));
    s->SetFormula(5, 0, QStringLiteral("=SUM(A1:C3)"));
    int recalcs = 0;
    QObject::connect(&grid, &TSpreadSheet::calculated, [&] { ++recalcs; });
    QTableView *view = grid.GridView();
    view->setFocus();
    view->selectionModel()->select(QItemSelection(model()->index(0, 0), model()->index(1, 1)),
                                   QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(recalcs, 1);
    EXPECT_TRUE(s->Value(0, 0).IsEmpty());
    EXPECT_TRUE(s->Value(1, 1).IsEmpty());
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(2));
    EXPECT_EQ(s->Value(2, 0), TCellValue::Number(6));
    EXPECT_EQ(s->Value(5, 0), TCellValue::Number(2 + 5 + 6 + 7 + 8));
    // A whole column selected costs what its cells cost, not a million indexes.
    view->selectColumn(2);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_TRUE(s->Value(0, 2).IsEmpty());
    EXPECT_EQ(s->Value(2, 0), TCellValue::Number(6));
}

TEST_F(Grid, TheWholeSheetScrollsAndTheNameBoxJumps)
{
    EXPECT_EQ(model()->rowCount(), 1048576);
    EXPECT_EQ(model()->columnCount(), 16384);
    EXPECT_EQ(grid.GridView()->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(model()->headerData(16383, Qt::Horizontal).toString(), u"XFD"_qs);
    grid.NameBox()->setText(QStringLiteral("xfd1048576"));
    QTest::keyClick(grid.NameBox(), Qt::Key_Return);
    EXPECT_EQ(grid.CurrentRow(), 1048575);
    EXPECT_EQ(grid.CurrentColumn(), 16383);
    EXPECT_EQ(grid.NameBox()->text(), u"XFD1048576"_qs);
    typeIntoGrid(QStringLiteral("x"));
    EXPECT_EQ(s->Value(1048575, 16383), TCellValue::Text(u"x"_qs));
    // Not a cell: the box shows the current one again.
    grid.NameBox()->setText(QStringLiteral("nowhere"));
    QTest::keyClick(grid.NameBox(), Qt::Key_Return);
    EXPECT_EQ(grid.NameBox()->text(), u"XFD1048576"_qs);
}

TEST_F(Grid, SheetTabsAndFiles)
{
    TSheet *second = grid.Book().AddSheet(QStringLiteral("Prices"));
    second->SetValue(0, 0, TCellValue::Text(u"on prices"_qs));
    s->SetValue(0, 0, TCellValue::Number(1));
    grid.RefreshSheets();
    ASSERT_EQ(grid.SheetTabs()->count(), 2);
    EXPECT_EQ(grid.SheetTabs()->tabText(1), u"Prices"_qs);
    grid.SheetTabs()->setCurrentIndex(1);
    EXPECT_EQ(grid.ActiveSheet(), second);
    EXPECT_EQ(shown(0, 0), u"on prices"_qs);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("book.xlsx"));
    QString err;
    ASSERT_TRUE(grid.SaveToFile(file, &err)) << err.toStdString();
    TSpreadSheet other;
    ASSERT_TRUE(other.LoadFromFile(file, &err)) << err.toStdString();
    EXPECT_EQ(other.SheetTabs()->count(), 2);
    EXPECT_EQ(other.ActiveSheetIndex(), 0);
    EXPECT_EQ(other.GridView()->model()->index(0, 0).data().toString(), u"1"_qs);
    EXPECT_FALSE(other.LoadFromFile(dir.filePath(QStringLiteral("missing.xlsx")), &err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(other.Book().SheetCount() > 0, true); // a failed load leaves a usable grid
}

// Every change is one step back and forth, and a step puts back exactly what
// the cells held: formulas as formulas, number formats, empty cells empty.
TEST_F(Grid, UndoAndRedoPutCellsBackExactly)
{
    s->SetValue(0, 0, TCellValue::Number(2));
    s->SetNumberFormat(0, 0, QStringLiteral("0.00"));
    s->SetFormula(1, 0, QStringLiteral("=A1*10"));
    s->SetValue(2, 0, TCellValue::Text(u"0123"_qs)); // text that typing would make a number
    grid.SetCurrentCell(0, 0);
    typeIntoGrid(QStringLiteral("5"));
    ASSERT_TRUE(model()->setData(model()->index(1, 0), QStringLiteral("=A1+1")));
    select(0, 0, 2, 0);
    QTest::keyClick(grid.GridView(), Qt::Key_Delete);
    ASSERT_TRUE(s->Value(2, 0).IsEmpty());
    EXPECT_EQ(grid.UndoStack()->count(), 3);

    press(QKeySequence::Undo); // the clearing
    EXPECT_EQ(s->Value(2, 0), TCellValue::Text(u"0123"_qs));
    EXPECT_EQ(s->Formula(1, 0), u"=A1+1"_qs);
    EXPECT_EQ(shown(0, 0), u"5.00"_qs);
    press(QKeySequence::Undo); // the formula
    EXPECT_EQ(s->Formula(1, 0), u"=A1*10"_qs);
    EXPECT_EQ(s->Value(1, 0), TCellValue::Number(50));
    press(QKeySequence::Undo); // the typing
    EXPECT_EQ(s->Value(1, 0), TCellValue::Number(20)) << "the dependent cell recalculates";
    EXPECT_EQ(shown(0, 0), u"2.00"_qs);

    press(QKeySequence::Redo);
    press(QKeySequence::Redo);
    EXPECT_EQ(s->Value(1, 0), TCellValue::Number(6));
    press(QKeySequence::Redo);
    EXPECT_TRUE(s->Value(0, 0).IsEmpty());
    EXPECT_FALSE(s->HasFormula(1, 0));
    // Setting what a cell already holds is no step.
    ASSERT_TRUE(model()->setData(model()->index(5, 5), QString()));
    EXPECT_EQ(grid.UndoStack()->count(), 3);
}

// The clipboard holds tab-separated text as shown; pasted back into the sheet
// the cells are copies (references move), pasted from elsewhere the text is
// typed in, and empty fields clear what they cover.
TEST_F(Grid, ClipboardCopiesCutsAndPastes)
{
    s->SetValue(0, 0, TCellValue::Number(1));
    s->SetFormula(0, 1, QStringLiteral("=A1*2"));
    s->SetValue(1, 0, TCellValue::Text(u"tab\there"_qs));
    s->SetValue(1, 1, TCellValue::Text(u"say \"hi\""_qs));
    select(0, 0, 1, 1);
    press(QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"1\t2\n\"tab\there\"\t\"say \"\"hi\"\"\"\n"_qs);

    grid.SetCurrentCell(4, 3);
    press(QKeySequence::Paste);
    EXPECT_EQ(s->Formula(4, 4), u"=D5*2"_qs);
    EXPECT_EQ(s->Value(5, 3), TCellValue::Text(u"tab\there"_qs));
    press(QKeySequence::Undo);
    EXPECT_TRUE(s->Value(4, 4).IsEmpty());
    EXPECT_EQ(s->CellCount(), 4);

    // A whole column copies only its used part.
    grid.GridView()->selectColumn(0);
    press(QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(u'\n'), 2);

    // From another program: quoted fields, formulas typed in, blanks clear.
    s->SetValue(10, 1, TCellValue::Text(u"covered"_qs));
    QGuiApplication::clipboard()->setText(u"x\t\"a\tb\"\n=1+2\t\n7\t8\n"_qs);
    grid.SetCurrentCell(9, 0);
    ASSERT_TRUE(grid.Paste());
    EXPECT_EQ(s->Value(9, 1), TCellValue::Text(u"a\tb"_qs));
    EXPECT_EQ(s->Value(10, 0), TCellValue::Number(3));
    EXPECT_TRUE(s->Value(10, 1).IsEmpty());
    EXPECT_EQ(s->Value(11, 1), TCellValue::Number(8));
    grid.UndoStack()->undo();
    EXPECT_EQ(s->Value(10, 1), TCellValue::Text(u"covered"_qs));

    // A cut moves once; moving down over itself reads each cell before it is overwritten.
    for (int r = 20; r < 23; ++r)
        s->SetValue(r, 0, TCellValue::Number(r));
    select(20, 0, 22, 0);
    press(QKeySequence::Cut);
    EXPECT_EQ(s->Value(20, 0), TCellValue::Number(20)) << "a cut clears when pasted";
    grid.SetCurrentCell(21, 0);
    press(QKeySequence::Paste);
    EXPECT_TRUE(s->Value(20, 0).IsEmpty());
    EXPECT_EQ(s->Value(21, 0), TCellValue::Number(20));
    EXPECT_EQ(s->Value(22, 0), TCellValue::Number(21));
    EXPECT_EQ(s->Value(23, 0), TCellValue::Number(22));
    grid.UndoStack()->undo();
    EXPECT_EQ(s->Value(20, 0), TCellValue::Number(20));
    EXPECT_TRUE(s->Value(23, 0).IsEmpty());

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(grid.Paste());
}

// Deleting rows turns references into them into #REF!; undoing it brings
// back the rows and every formula as it was. Inserting is undone likewise.
TEST_F(Grid, InsertingAndDeletingRowsAndColumnsUndo)
{
    for (int r = 0; r < 5; ++r)
        s->SetValue(r, 0, TCellValue::Number(r + 1));
    s->SetFormula(0, 2, QStringLiteral("=SUM(A1:A5)"));
    s->SetFormula(0, 3, QStringLiteral("=A2"));
    s->SetFormula(1, 1, QStringLiteral("=A5*2")); // inside the deleted rows
    TSheet *other = grid.Book().AddSheet(QStringLiteral("Other"));
    other->SetFormula(0, 0, QStringLiteral("=Sheet1!A3"));

    grid.DeleteRows(1, 2);
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(1 + 4 + 5));
    EXPECT_TRUE(s->Value(0, 3).IsError());
    EXPECT_TRUE(other->Value(0, 0).IsError());
    EXPECT_EQ(s->Value(1, 0), TCellValue::Number(4));
    grid.UndoStack()->undo();
    EXPECT_EQ(s->Formula(0, 3), u"=A2"_qs);
    EXPECT_EQ(s->Value(0, 3), TCellValue::Number(2));
    EXPECT_EQ(other->Formula(0, 0), u"=Sheet1!A3"_qs);
    EXPECT_EQ(s->Formula(1, 1), u"=A5*2"_qs);
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(15));
    grid.UndoStack()->redo();
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(10));
    grid.UndoStack()->undo();

    grid.InsertColumns(0, 2);
    EXPECT_EQ(s->Formula(0, 4), u"=SUM(C1:C5)"_qs);
    grid.UndoStack()->undo();
    EXPECT_EQ(s->Formula(0, 2), u"=SUM(A1:A5)"_qs);
    EXPECT_EQ(s->Value(0, 0), TCellValue::Number(1));
    grid.DeleteColumns(0, 1);
    EXPECT_EQ(s->Formula(0, 1), u"=SUM(#REF!)"_qs);
    grid.UndoStack()->undo();
    EXPECT_EQ(s->Formula(0, 2), u"=SUM(A1:A5)"_qs);
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(15));
}

// What a file held that the book cannot keep is said below the grid; the
// next file without such parts hides the line again.
TEST_F(Grid, LoadWarningsShowBelowTheGrid)
{
    s->SetValue(0, 0, TCellValue::Number(1));
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.ods"));
    const QString pictured = dir.filePath(QStringLiteral("pictured.ods"));
    QString err;
    ASSERT_TRUE(grid.SaveToFile(plain, &err)) << err.toStdString();
    ASSERT_TRUE(QFile::copy(plain, pictured));
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"), QStringLiteral("import sys, zipfile\n"
                                                   "with zipfile.ZipFile(sys.argv[1], 'a') as z: z.writestr('Pictures/a.png', b'x')"),
              pictured});
    ASSERT_TRUE(py.waitForFinished());
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();

    grid.UndoStack()->push(new QUndoCommand(QStringLiteral("before")));
    ASSERT_TRUE(grid.LoadFromFile(pictured, &err)) << err.toStdString();
    EXPECT_TRUE(grid.WarningsLine()->isVisible());
    EXPECT_TRUE(grid.WarningsLine()->text().contains(u"Charts and images are not kept"_qs));
    EXPECT_EQ(grid.UndoStack()->count(), 0) << "steps of the last book cannot apply to this one";
    ASSERT_TRUE(grid.LoadFromFile(plain, &err));
    EXPECT_FALSE(grid.WarningsLine()->isVisible());
}

} // namespace
