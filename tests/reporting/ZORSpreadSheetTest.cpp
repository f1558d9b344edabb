// The scripted spreadsheet: DBVALUE and SCRIPT in formulas, script values
// and data fields by text, compile errors with their position, the module
// actions that register the two functions.
#include "TestUtil.h"

#include <ZorCompCore/package/Package.h>
#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/reporting/widgets/ZORSpreadSheet.h>
#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/Functions.h>

#include <cstring>

using namespace zor;

namespace {

// Exposes the protected helpers.
class Sheet : public TZORSpreadSheet
{
public:
    using TZORSpreadSheet::GetDatasetAndField;
};

struct Request
{
    QString set, field;
    bool real = false;
    int calls = 0;
};

// Orders."Amount" and friends, one per value type a handler can hand back.
void serveOrders(TZORSpreadSheet &s, Request &seen)
{
    s.OnGetDataSetFieldValue = [&seen](QObject *, const QString &set, const QString &field, bool real,
                                       Variant &value, bool &result) {
        EXPECT_TRUE(value.IsNull()); // null on entry
        EXPECT_FALSE(result);
        seen.set = set, seen.field = field, seen.real = real, ++seen.calls;
        if (field == u"Amount")
            value = 12.5;
        else if (field == u"Name")
            value = QStringLiteral("Smith");
        else if (field == u"Paid")
            value = true;
        else if (field == u"Count")
            value = qint64(7);
        else if (field == u"Due")
            value = Variant::FromDateTime(EncodeDate(2024, 2, 29) + 0.5);
        else if (field == u"Nothing")
            value = Variant::Null();
        else if (field == u"List")
            value = VarArrayOf({1, 2});
        else
            return; // not served
        result = true;
    };
}

TCellValue put(TZORSpreadSheet &s, const char *formula, int row = 5, int col = 5)
{
    QString err;
    EXPECT_TRUE(s.ActiveSheet()->SetFormula(row, col, QString::fromUtf8(formula), &err)) << err.toStdString();
    return s.ActiveSheet()->Value(row, col);
}

struct Row
{
    const char *formula;
    TCellValue expected;
};

void checkRows(TZORSpreadSheet &s, std::initializer_list<Row> rows)
{
    for (const Row &r : rows) {
        SCOPED_TRACE(r.formula);
        const TCellValue v = put(s, r.formula);
        EXPECT_EQ(v, r.expected) << v.ToString().toStdString() << " " << v.text.toStdString();
        EXPECT_EQ(v.kind, r.expected.kind);
    }
}

TEST(ZORSpreadSheet, DbValueAsksTheApplicationsHandler)
{
    Sheet s;
    // No handler: nobody can answer.
    EXPECT_EQ(put(s, "=DBVALUE(\"Orders\",\"Amount\")").error, TSheetError::NA);

    Request seen;
    serveOrders(s, seen);
    const TCellValue na = TCellValue::Error(TSheetError::NA), value = TCellValue::Error(TSheetError::Value);
    checkRows(s, {
        {"=DBVALUE(\"Orders\",\"Amount\")", TCellValue::Number(12.5)},
        {"=DBVALUE(\"Orders\",\"Amount\")*2", TCellValue::Number(25)},
        {"=DBVALUE(\"Orders\",\"Name\")", TCellValue::Text(QStringLiteral("Smith"))},
        {"=DBVALUE(\"Orders\",\"Paid\")", TCellValue::Boolean(true)},
        {"=DBVALUE(\"Orders\",\"Count\")", TCellValue::Number(7)},
        {"=DBVALUE(\"Orders\",\"Due\")", TCellValue::Number(EncodeDate(2024, 2, 29) + 0.5)},
        {"=DBVALUE(\"Orders\",\"Nothing\")", TCellValue()},       // null: the cell stays empty
        {"=DBVALUE(\"Orders\",\"Nothing\")+1", TCellValue::Number(1)},
        {"=DBVALUE(\"Orders\",\"List\")", value},                // no cell value
        {"=DBVALUE(\"Orders\",\"Unknown\")", na},                // handler left AResult false
        {"=DBVALUE(\"Orders\")", value},                         // too few arguments
        {"=DBVALUE(\"Orders\",\"Amount\",1,2)", value},          // too many
        {"=DBVALUE()", value},
        {"=DBVALUE(1/0,\"Amount\")", TCellValue::Error(TSheetError::DivZero)}, // an error argument is the answer
    });

    // The third argument: 1 asks for the real value, anything else not.
    struct RealRow
    {
        const char *formula;
        bool real;
    };
    for (const RealRow &r : {RealRow{"=DBVALUE(\"Orders\",\"Amount\",1)", true},
                             RealRow{"=DBVALUE(\"Orders\",\"Amount\",\"1\")", true},
                             RealRow{"=DBVALUE(\"Orders\",\"Amount\",TRUE)", true},
                             RealRow{"=DBVALUE(\"Orders\",\"Amount\",0)", false},
                             RealRow{"=DBVALUE(\"Orders\",\"Amount\",2)", false},
                             RealRow{"=DBVALUE(\"Orders\",\"Amount\")", false}}) {
        SCOPED_TRACE(r.formula);
        seen = {};
        EXPECT_EQ(put(s, r.formula), TCellValue::Number(12.5));
        EXPECT_EQ(seen.real, r.real);
        EXPECT_EQ(seen.set, u"Orders"_qs);
        EXPECT_EQ(seen.field, u"Amount"_qs);
    }
    // Arguments are read as text.
    put(s, "=DBVALUE(A1&\"x\",2)");
    EXPECT_EQ(seen.set, u"x"_qs);
    EXPECT_EQ(seen.field, u"2"_qs);
}

TEST(ZORSpreadSheet, FunctionsOutsideAScriptedSheetGiveNotAvailable)
{
    // A headless book and a plain grid have no script and no data: error 7
    // comes before the argument count is looked at.
    TSheetBook headless;
    TSheet *h = headless.AddSheet();
    TSpreadSheet plain;
    for (TSheet *s : {h, plain.ActiveSheet()}) {
        for (const char *f : {"=SCRIPT(\"1+2\")", "=SCRIPT()", "=DBVALUE(\"a\",\"b\")", "=DBVALUE(\"a\")"}) {
            SCOPED_TRACE(f);
            ASSERT_TRUE(s->SetFormula(0, 0, QString::fromUtf8(f)));
            EXPECT_EQ(s->Value(0, 0).error, TSheetError::NA);
        }
    }
}

TEST(ZORSpreadSheet, ScriptFormulasKeepTheValuesTypes)
{
    Sheet s;
    const TCellValue value = TCellValue::Error(TSheetError::Value);
    checkRows(s, {
        {"=SCRIPT(\"1+2\")", TCellValue::Number(3)},
        {"=SCRIPT(\"'ab' + 'c'\")", TCellValue::Text(QStringLiteral("abc"))},
        {"=SCRIPT(\"1 < 2\")", TCellValue::Boolean(true)},
        {"=SCRIPT(\"EncodeDate(2024, 2, 29)\")", TCellValue::Number(EncodeDate(2024, 2, 29))},
        {"=SCRIPT(\"Null\")", TCellValue()},
        {"=SCRIPT(\"VarArrayOf([1, 2])\")", value},
        {"=SCRIPT(\"1+2\")*10", TCellValue::Number(30)},
        {"=SCRIPT()", value},
        {"=SCRIPT(\"1\",\"2\")", value},
    });
    // A failing expression is #VALUE! with the script's message, and the
    // recalculation goes on.
    const TCellValue bad = put(s, "=SCRIPT(\"1 +\")");
    EXPECT_EQ(bad.error, TSheetError::Value);
    EXPECT_TRUE(bad.text.contains(u"Expression-Error"_qs)) << bad.text.toStdString();
    const TCellValue div = put(s, "=SCRIPT(\"1/0\")");
    EXPECT_EQ(div.error, TSheetError::Value);
    EXPECT_TRUE(div.text.contains(u"division by zero"_qs)) << div.text.toStdString();
    EXPECT_EQ(put(s, "=1+1", 6, 6), TCellValue::Number(2));
    // Ignored division by zero: the expression has no value, the cell none.
    s.SetIgnoreDivByZero(true);
    EXPECT_EQ(put(s, "=SCRIPT(\"1/0\")"), TCellValue());
    EXPECT_EQ(put(s, "=SCRIPT(\"1 +\")").error, TSheetError::Value); // other errors stay
}

TEST(ZORSpreadSheet, ScriptFormulasSeeTheScriptAndTheSheet)
{
    Sheet s;
    TStringList lines;
    lines.SetText(QStringLiteral("var Rate: Double;\n"
                                 "function Twice(X: Double): Double;\n"
                                 "begin\n"
                                 "  Result := X * 2;\n"
                                 "end;\n"
                                 "begin\n"
                                 "end.\n"));
    s.SetScriptText(lines);
    s.SetScriptValue(QStringLiteral("Rate"), 0.25);
    EXPECT_EQ(VarToDouble(s.GetScriptValue(QStringLiteral("Rate"))), 0.25);
    s.ActiveSheet()->SetValue(0, 0, TCellValue::Number(21));
    EXPECT_EQ(put(s, "=SCRIPT(\"Twice(SpreadSheet.CellValue('A1'))\")", 0, 1), TCellValue::Number(42));
    EXPECT_EQ(put(s, "=SCRIPT(\"Get('Rate') * 4\")", 0, 2), TCellValue::Number(1));
    // Volatile: any change asks the script again.
    s.ActiveSheet()->SetValue(0, 0, TCellValue::Number(5));
    EXPECT_EQ(s.ActiveSheet()->Value(0, 1), TCellValue::Number(10));

    // Scripts write cells, of other sheets too, and read errors as text.
    TSheet *data = s.Book().AddSheet(QStringLiteral("My Data"));
    s.GetScriptValue(QStringLiteral("SpreadSheet.SetCellValue('''My Data''!C3', 'hi')"));
    EXPECT_EQ(data->Value(2, 2), TCellValue::Text(u"hi"_qs));
    s.GetScriptValue(QStringLiteral("SpreadSheet.SetCellValue('C4', '=LEN(''My Data''!C3)*3')"));
    EXPECT_EQ(s.ActiveSheet()->Formula(3, 2), u"=LEN('My Data'!C3)*3"_qs);
    EXPECT_EQ(s.ActiveSheet()->Value(3, 2), TCellValue::Number(6));
    s.ActiveSheet()->SetFormula(4, 2, QStringLiteral("=1/0"));
    EXPECT_EQ(VarToStr(s.GetScriptValue(QStringLiteral("SpreadSheet.CellValue('C5')"))), u"#DIV/0!"_qs);
    EXPECT_TRUE(s.GetScriptValue(QStringLiteral("SpreadSheet.CellValue('Z99')")).IsNull()
                || s.GetScriptValue(QStringLiteral("SpreadSheet.CellValue('Z99')")).IsEmpty());
    s.GetScriptValue(QStringLiteral("SpreadSheet.SetCellValue('C4', Null)"));
    EXPECT_TRUE(s.ActiveSheet()->Value(3, 2).IsEmpty());
    EXPECT_THROW(s.GetScriptValue(QStringLiteral("SpreadSheet.CellValue('Nowhere!A1')")),
                 EZORSpreadSheetScriptException);
}

// A script run by a formula may clear a cell that the same recalculation
// has still to calculate: the cell stays empty (its formula is gone), and
// the cells after it are calculated as usual.
TEST(ZORSpreadSheet, AScriptClearingACellDuringTheRecalculation)
{
    Sheet s;
    TStringList lines;
    lines.SetText(QStringLiteral("function ClearB: Integer;\n"
                                 "begin\n"
                                 "  SpreadSheet.SetCellValue('B1', Null);\n"
                                 "  Result := 1;\n"
                                 "end;\n"
                                 "begin\n"
                                 "end.\n"));
    s.SetScriptText(lines);
    TSheet &sheet = *s.ActiveSheet();
    sheet.SetValue(0, 2, TCellValue::Number(5));
    put(s, "=C1*2", 0, 1);
    put(s, "=SCRIPT(\"ClearB\")", 0, 0); // clears B1 as it is entered
    put(s, "=C1*2", 0, 1);
    for (int i = 0; i < 20; ++i) // many cells to calculate after the script's
        put(s, "=C1+1", 1 + i, 1);
    sheet.SetValue(0, 2, TCellValue::Number(7)); // A1 (volatile) first, then B1 and B2:B21
    EXPECT_EQ(sheet.Value(0, 0), TCellValue::Number(1));
    EXPECT_TRUE(sheet.Value(0, 1).IsEmpty());
    EXPECT_EQ(sheet.Value(20, 1), TCellValue::Number(8));
}

TEST(ZORSpreadSheet, ScriptValuesByText)
{
    Sheet s;
    Request seen;
    serveOrders(s, seen);
    // Data fields as Set."Field", never with the real-value flag.
    EXPECT_EQ(VarToDouble(s.GetScriptValue(QStringLiteral("Orders.\"Amount\""))), 12.5);
    EXPECT_EQ(seen.set, u"Orders"_qs);
    EXPECT_EQ(seen.field, u"Amount"_qs);
    EXPECT_FALSE(seen.real);
    Variant written;
    s.OnSetDataSetFieldValue = [&](QObject *, const QString &set, const QString &field, bool, const Variant &v,
                                   bool &result) {
        if (set == u"Orders" && field == u"Amount")
            written = v, result = true;
    };
    s.SetScriptValue(QStringLiteral("Orders.\"Amount\""), 99);
    EXPECT_EQ(VarToInt(written), 99);
    // A field nobody serves falls through to the script, which has no such thing.
    EXPECT_THROW(s.GetScriptValue(QStringLiteral("Orders.\"Unknown\"")), EZORSpreadSheetScriptException);

    // Expression errors carry no position; only the floating-point division
    // by zero may be ignored.
    try {
        s.GetScriptValue(QStringLiteral("1/0"));
        FAIL() << "no exception";
    } catch (const EZORSpreadSheetScriptException &e) {
        EXPECT_EQ(e.Message(), u"Floating point division by zero"_qs);
        EXPECT_EQ(e.Position(), QPoint(0, 0));
    }
    s.SetIgnoreDivByZero(true);
    EXPECT_NO_THROW(s.GetScriptValue(QStringLiteral("1/0")));
    EXPECT_NO_THROW(s.SetScriptValue(QStringLiteral("1/0"), 1));
    EXPECT_THROW(s.GetScriptValue(QStringLiteral("1 div 0")), EZORSpreadSheetScriptException);
    EXPECT_THROW(s.SetScriptValue(QStringLiteral("nonsense +"), 1), EZORSpreadSheetScriptException);

    struct Split
    {
        const char *expr, *set, *field;
    };
    for (const Split &x : {Split{"Orders.\"Amount\"", "Orders", "Amount"}, Split{"A.\"\"", "A", ""},
                           Split{".\"Amount\"", "", ""}, Split{"Orders.Amount", "", ""},
                           Split{"Orders.\"Amount", "Orders", "Amoun"}}) {
        SCOPED_TRACE(x.expr);
        QString set = u"old"_qs, field = u"old"_qs;
        Sheet::GetDatasetAndField(QString::fromUtf8(x.expr), set, field);
        EXPECT_EQ(set, QString::fromUtf8(x.set));
        EXPECT_EQ(field, QString::fromUtf8(x.field));
    }
}

TEST(ZORSpreadSheet, ScriptTextCompilesOnEveryChange)
{
    Sheet s;
    EXPECT_EQ(s.ScriptLanguage(), u"PascalScript"_qs);
    EXPECT_EQ(s.ScriptText().Text(), u"begin\n\nend.\n"_qs);
    TStringList lines;
    lines.SetText(QStringLiteral("begin\n  x := ;\nend."));
    try {
        s.SetScriptText(lines);
        FAIL() << "no exception";
    } catch (const EZORSpreadSheetScriptException &e) {
        EXPECT_EQ(e.Position().y(), 2);
        EXPECT_GT(e.Position().x(), 0);
        const QString pos = QStringLiteral("%1:%2").arg(e.Position().y()).arg(e.Position().x());
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Script error at %1 (rel to script block %1): ").arg(pos)))
            << e.Message().toStdString();
    }
    // One compile per update, at its end: the broken line is fixed before it.
    s.ScriptText().BeginUpdate();
    s.ScriptText().Put(1, QStringLiteral("  Twice := 2;"));
    s.ScriptText().Insert(0, QStringLiteral("var Twice: Integer;"));
    s.ScriptText().EndUpdate();
    EXPECT_EQ(put(s, "=SCRIPT(\"Twice\")"), TCellValue::Number(0)); // the main block has not run
    // A single edit compiles at once.
    EXPECT_THROW(s.ScriptText().Add(QStringLiteral("garbage here")), EZORSpreadSheetScriptException);
    s.ClearScript();
    EXPECT_EQ(s.ScriptText().Count(), 3);
    // The cleared script forgot Twice.
    EXPECT_EQ(put(s, "=SCRIPT(\"Twice\")").error, TSheetError::Value);

    // Other languages.
    s.SetScriptLanguage(QStringLiteral("JScript"));
    lines.SetText(QStringLiteral("function Half(x) { return x / 2; }"));
    s.SetScriptText(lines);
    EXPECT_EQ(put(s, "=SCRIPT(\"Half(9)\")"), TCellValue::Number(4.5));
}

TEST(ZORSpreadSheet, TheModuleRegistersAndRemovesTheFunctions)
{
    int index = -1;
    for (int i = 0; i < ModuleCount(); ++i)
        if (std::strcmp(ModuleAt(i).Name, "_ZORSpreadSheet") == 0)
            index = i;
    ASSERT_GE(index, 0);
    const ZorPackageUnitEntry &unit = GetPackageInfoTable()->UnitInfo[index];
    EXPECT_TRUE(SpreadSheetFunctionsRepository().Find(u"SCRIPT"_qs));
    EXPECT_TRUE(SpreadSheetFunctionsRepository().Find(u"DBVALUE"_qs));
    EXPECT_TRUE(SpreadSheetFunctionsRepository().Find(u"SCRIPT"_qs)->isVolatile);
    unit.FInit();
    EXPECT_FALSE(SpreadSheetFunctionsRepository().Find(u"SCRIPT"_qs));
    EXPECT_FALSE(SpreadSheetFunctionsRepository().Find(u"DBVALUE"_qs));
    {
        Sheet s;
        EXPECT_EQ(put(s, "=SCRIPT(\"1+2\")").error, TSheetError::Name);
    }
    unit.Init();
    Sheet s;
    EXPECT_EQ(put(s, "=SCRIPT(\"1+2\")"), TCellValue::Number(3));
}

} // namespace
