// Recalculation: only what depends on a change, in order, without recursion;
// cycles; volatile functions; update brackets; structural edits.
#include "TestUtil.h"

#include <ZorCompCore/sheet/Book.h>

using namespace zor;

namespace {

// A sheet entered inside an update bracket is calculated once, every formula
// once; edits after it still recalculate only their dependents.
TEST(Recalc, ABulkBuildCalculatesEachFormulaOnceAndLaterEditsStayNarrow)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    constexpr int n = 3000;
    b.BeginUpdate();
    for (int r = 0; r < n; ++r) {
        s->SetValue(r, 0, TCellValue::Number(r + 1));
        s->SetFormula(r, 1, r == 0 ? QStringLiteral("=A1") : QStringLiteral("=A%1+B%2").arg(r + 1).arg(r));
    }
    s->SetFormula(0, 2, QStringLiteral("=SUM(A1:A%1)").arg(n));
    const qint64 before = b.EvaluationCount();
    b.EndUpdate();
    const double total = double(n) * (n + 1) / 2;
    EXPECT_EQ(s->Value(n - 1, 1), TCellValue::Number(total));
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(total));
    EXPECT_EQ(b.EvaluationCount() - before, n + 1) << "every formula exactly once";

    const qint64 edit = b.EvaluationCount();
    s->SetValue(0, 0, TCellValue::Number(2)); // the top A: every B and the SUM
    EXPECT_EQ(s->Value(n - 1, 1), TCellValue::Number(total + 1));
    EXPECT_EQ(b.EvaluationCount() - edit, n + 1);
    const qint64 bottom = b.EvaluationCount();
    s->SetValue(n - 1, 0, TCellValue::Number(n + 1)); // the bottom A: its B and the SUM only
    EXPECT_EQ(s->Value(n - 1, 1), TCellValue::Number(total + 2));
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(total + 2));
    EXPECT_EQ(b.EvaluationCount() - bottom, 2);

    // Replacing most formulas at once takes the same path and still agrees.
    b.BeginUpdate();
    for (int r = 0; r < n; ++r)
        s->SetFormula(r, 1, QStringLiteral("=A%1*2").arg(r + 1));
    b.EndUpdate();
    EXPECT_EQ(s->Value(n - 1, 1), TCellValue::Number(2.0 * (n + 1)));
    EXPECT_EQ(s->Value(0, 1), TCellValue::Number(4));
}

TEST(Recalc, AnEditRecalculatesOnlyItsDependentsInOrder)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetValue(0, 0, TCellValue::Number(1));              // A1
    s->SetFormula(0, 1, QStringLiteral("=A1*2"));          // B1
    s->SetFormula(0, 2, QStringLiteral("=B1+A1"));         // C1 reads B1 and A1
    s->SetFormula(0, 3, QStringLiteral("=SUM(A1:A100000)")); // D1: a range, one entry
    s->SetValue(5, 5, TCellValue::Number(9));              // F6
    s->SetFormula(5, 6, QStringLiteral("=F6+1"));          // G6: unrelated
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(3));

    const qint64 before = b.EvaluationCount();
    s->SetValue(0, 0, TCellValue::Number(10));
    EXPECT_EQ(s->Value(0, 1), TCellValue::Number(20));
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(30));     // saw the new B1, not the old one
    EXPECT_EQ(s->Value(0, 3), TCellValue::Number(10));
    EXPECT_EQ(b.EvaluationCount() - before, 3) << "B1, C1 and D1 once each; G6 untouched";

    // A cell inside the range far down still reaches the SUM.
    s->SetValue(99999, 0, TCellValue::Number(5));
    EXPECT_EQ(s->Value(0, 3), TCellValue::Number(15));
    s->SetValue(100000, 0, TCellValue::Number(5));         // just outside
    EXPECT_EQ(s->Value(0, 3), TCellValue::Number(15));
}

TEST(Recalc, RangesOfEveryHeightSeeTheirCellsChange)
{
    // Ranges are filed by blocks of rows: a short one inside a block, one
    // across a few blocks, a tall one, whole columns; each must hear of a
    // change anywhere inside it and of none outside.
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetFormula(0, 27, QStringLiteral("=SUM(A1000:A1010)"));   // AB1
    s->SetFormula(1, 27, QStringLiteral("=SUM(A1000:A4000)"));   // AB2: several blocks
    s->SetFormula(2, 27, QStringLiteral("=SUM(A2:A900000)"));    // AB3: tall
    s->SetFormula(3, 27, QStringLiteral("=SUM(A:B)"));           // AB4: whole columns
    s->SetFormula(4, 27, QStringLiteral("=SUM(A1:Z3)"));         // AB5: wide
    struct Edit
    {
        int row;
        int sums[5]; // what AB1..AB5 add up to afterwards
    };
    const Edit edits[] = {
        {1004, {1, 1, 1, 1, 0}},
        {3999, {1, 2, 2, 2, 0}},
        {899999, {1, 2, 3, 3, 0}},
        {1048575, {1, 2, 3, 4, 0}},
        {2, {1, 2, 4, 5, 1}},
        {0, {1, 2, 4, 6, 2}},
    };
    for (const Edit &e : edits) {
        SCOPED_TRACE(e.row);
        s->SetValue(e.row, 0, TCellValue::Number(1));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(s->Value(i, 27), TCellValue::Number(e.sums[i])) << "AB" << i + 1;
    }
    // Removing the formulas removes their entries: edits no longer reach them.
    s->ClearCell(1, 27);
    const qint64 before = b.EvaluationCount();
    s->SetValue(3000, 0, TCellValue::Number(5));
    EXPECT_EQ(b.EvaluationCount() - before, 2) << "AB3 and AB4 only";
}

TEST(Recalc, ChainsOfAMillionCellsNeedNoRecursion)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    constexpr int n = 1000000;
    b.BeginUpdate();
    s->SetValue(0, 0, TCellValue::Number(1));
    // Entered bottom-up, so the first cell calculated waits on the whole chain.
    for (int r = n - 1; r >= 1; --r)
        s->SetFormula(r, 0, QStringLiteral("=A%1+1").arg(r));
    b.EndUpdate();
    EXPECT_EQ(s->Value(n - 1, 0), TCellValue::Number(n));
    s->SetValue(0, 0, TCellValue::Number(0));
    EXPECT_EQ(s->Value(n - 1, 0), TCellValue::Number(n - 1));
    EXPECT_EQ(b.CompiledFormulaCount(), 1);
}

TEST(Recalc, CyclesGiveRefErrorsAndRecover)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetFormula(0, 0, QStringLiteral("=B1+1"));  // A1
    s->SetFormula(0, 1, QStringLiteral("=C1+1"));  // B1
    s->SetFormula(0, 3, QStringLiteral("=A1*2"));  // D1 reads the cycle
    s->SetFormula(0, 2, QStringLiteral("=A1+1"));  // C1 closes A1 -> B1 -> C1 -> A1
    for (int c : {0, 1, 2}) {
        EXPECT_EQ(s->Value(0, c).error, TSheetError::Ref) << c;
        EXPECT_EQ(s->Value(0, c).text, QStringLiteral("Circular reference"));
    }
    EXPECT_EQ(s->Value(0, 3).error, TSheetError::Ref);
    s->SetFormula(1, 0, QStringLiteral("=SUM(A1:A3)+A2")); // A2 reads itself through a range
    EXPECT_EQ(s->Value(1, 0).error, TSheetError::Ref);
    s->SetValue(0, 2, TCellValue::Number(5));      // break the cycle
    EXPECT_EQ(s->Value(0, 1), TCellValue::Number(6));
    EXPECT_EQ(s->Value(0, 0), TCellValue::Number(7));
    EXPECT_EQ(s->Value(0, 3), TCellValue::Number(14));
    // IFERROR cannot hide a cycle it is part of from the cells in it.
    s->SetFormula(5, 0, QStringLiteral("=IFERROR(A6,1)"));
    EXPECT_EQ(s->Value(5, 0).error, TSheetError::Ref);
}

TEST(Recalc, VolatileFunctionsRunOnEveryRecalculation)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetFormula(0, 0, QStringLiteral("=RAND()"));
    s->SetFormula(0, 1, QStringLiteral("=A1*0+1"));  // depends on a volatile cell
    s->SetFormula(0, 2, QStringLiteral("=5"));
    const qint64 before = b.EvaluationCount();
    s->SetValue(9, 9, TCellValue::Number(1));        // unrelated edit
    EXPECT_EQ(b.EvaluationCount() - before, 2) << "RAND and its dependent, not the constant";
}

TEST(Recalc, UpdatesBracketOneRecalculationAndOneNotice)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    int notices = 0;
    b.SetOnChange([&] { ++notices; });
    s->SetFormula(0, 1, QStringLiteral("=A1+A2"));
    EXPECT_EQ(notices, 1);
    notices = 0;
    const qint64 before = b.EvaluationCount();
    b.BeginUpdate();
    b.BeginUpdate();
    s->SetValue(0, 0, TCellValue::Number(1));
    s->SetValue(1, 0, TCellValue::Number(2));
    b.EndUpdate();
    EXPECT_EQ(notices, 0) << "inner EndUpdate";
    EXPECT_EQ(s->Value(0, 1), TCellValue::Number(0)) << "not yet";
    b.EndUpdate();
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(s->Value(0, 1), TCellValue::Number(3));
    EXPECT_EQ(b.EvaluationCount() - before, 1);
}

TEST(Recalc, CrossSheetReferencesFollowEdits)
{
    TSheetBook b;
    TSheet *a = b.AddSheet(QStringLiteral("Data"));
    TSheet *r = b.AddSheet(QStringLiteral("Report"));
    r->SetFormula(0, 0, QStringLiteral("=SUM(Data!A:A)+'Later one'!A1"));
    EXPECT_EQ(r->Value(0, 0).error, TSheetError::Ref);
    TSheet *later = b.AddSheet(QStringLiteral("Later one"));
    later->SetValue(0, 0, TCellValue::Number(100));
    EXPECT_EQ(r->Value(0, 0), TCellValue::Number(100));
    a->SetValue(500000, 0, TCellValue::Number(1));
    EXPECT_EQ(r->Value(0, 0), TCellValue::Number(101));
    b.DeleteSheet(b.IndexOf(later));
    EXPECT_EQ(r->Value(0, 0).error, TSheetError::Ref);
}

TEST(Recalc, InsertAndDeleteAdjustReferences)
{
    TSheetBook b;
    TSheet *s = b.AddSheet(QStringLiteral("S"));
    TSheet *o = b.AddSheet(QStringLiteral("Other"));
    for (int r = 0; r < 5; ++r)
        s->SetValue(r, 0, TCellValue::Number(r + 1));          // A1:A5 = 1..5
    s->SetFormula(0, 2, QStringLiteral("=SUM(A1:A5)"));         // C1
    s->SetFormula(1, 2, QStringLiteral("=A4*10"));              // C2
    s->SetFormula(2, 2, QStringLiteral("=$A$5+B1"));            // C3
    o->SetFormula(0, 0, QStringLiteral("=S!A4+SUM(S!A:A)"));    // another sheet's view

    s->InsertRows(1, 2); // two rows before row 2
    EXPECT_EQ(s->Formula(0, 2), QStringLiteral("=SUM(A1:A7)"));
    EXPECT_EQ(s->Formula(3, 2), QStringLiteral("=A6*10"));      // moved from C2 to C4
    EXPECT_EQ(s->Formula(4, 2), QStringLiteral("=$A$7+B1"));
    EXPECT_EQ(o->Formula(0, 0), QStringLiteral("=S!A6+SUM(S!A:A)"));
    EXPECT_EQ(s->Value(3, 2), TCellValue::Number(40));
    EXPECT_EQ(o->Value(0, 0), TCellValue::Number(4 + 15));

    s->DeleteRows(5, 1); // the row holding 4 (A6)
    EXPECT_EQ(s->Formula(0, 2), QStringLiteral("=SUM(A1:A6)"));
    EXPECT_EQ(s->Formula(3, 2), QStringLiteral("=#REF!*10"));
    EXPECT_EQ(s->Value(3, 2).error, TSheetError::Ref);
    EXPECT_EQ(s->Value(0, 2), TCellValue::Number(11));
    EXPECT_EQ(o->Formula(0, 0), QStringLiteral("=#REF!+SUM(S!A:A)"));

    s->InsertColumns(0, 1);
    EXPECT_EQ(s->Formula(0, 3), QStringLiteral("=SUM(B1:B6)"));
    EXPECT_EQ(s->Value(0, 3), TCellValue::Number(11));
    s->DeleteColumns(1, 1); // the data column itself
    EXPECT_EQ(s->Formula(0, 2), QStringLiteral("=SUM(#REF!)"));
    EXPECT_EQ(s->Value(0, 2).error, TSheetError::Ref);
}

TEST(Recalc, SparseCellsCostWhatTheyHold)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetCellText(0, 0, QStringLiteral("x"));
    s->SetCellText(1048575, 16383, QStringLiteral("=A1&\"!\""));
    EXPECT_EQ(s->CellCount(), 2);
    EXPECT_EQ(s->Value(QStringLiteral("XFD1048576")), TCellValue::Text(QStringLiteral("x!")));
    EXPECT_EQ(s->RowCount(), 1048576);
    EXPECT_EQ(s->ColumnCount(), 16384);
    s->SetValue(1048576, 0, TCellValue::Number(1)); // outside the grid: ignored
    EXPECT_EQ(s->CellCount(), 2);
    s->ClearCell(0, 0);
    EXPECT_EQ(s->CellCount(), 1);
    EXPECT_EQ(s->Value(1048575, 16383), TCellValue::Text(QStringLiteral("!")));
}

TEST(Recalc, TypedTextBecomesTheRightKind)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetCellText(0, 0, QStringLiteral("12.5"));
    s->SetCellText(1, 0, QStringLiteral("true"));
    s->SetCellText(2, 0, QStringLiteral("#N/A"));
    s->SetCellText(3, 0, QStringLiteral("12 apples"));
    s->SetCellText(4, 0, QStringLiteral("=1+"));
    EXPECT_EQ(s->Value(0, 0), TCellValue::Number(12.5));
    EXPECT_EQ(s->Value(1, 0), TCellValue::Boolean(true));
    EXPECT_EQ(s->Value(2, 0).error, TSheetError::NA);
    EXPECT_TRUE(s->Value(3, 0).IsText());
    EXPECT_EQ(s->Value(4, 0).error, TSheetError::Name) << "a formula that does not parse shows why";
    EXPECT_FALSE(s->Value(4, 0).text.isEmpty());
}

} // namespace
