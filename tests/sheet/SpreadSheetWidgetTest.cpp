// The grid control as a user drives it: typing into cells and the formula
// bar, Delete, the name box, sheet tabs, tool tips of errors, files.
#include "TestUtil.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/widgets/SpreadSheet.h>

#include <QAbstractItemModel>
#include <QApplication>
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

} // namespace
