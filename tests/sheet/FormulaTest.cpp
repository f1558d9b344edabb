// Formula semantics: precedence, coercion, errors and the function library,
// as tables evaluated against one small sheet.
#include "TestUtil.h"

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/Functions.h>

#include <cmath>

using namespace zor;

namespace {

class Formulas : public ::testing::Test
{
protected:
    void SetUp() override
    {
        s = book.AddSheet(QStringLiteral("Main"));
        q = book.AddSheet(QStringLiteral("Q 2"));
        // A1:A5 = 1..5, B1:B5 = text/blank/bool mix, C1:D4 a lookup table
        for (int i = 0; i < 5; ++i)
            s->SetValue(i, 0, TCellValue::Number(i + 1));
        s->SetCellText(0, 1, QStringLiteral("apple"));
        s->SetCellText(1, 1, QStringLiteral("3"));      // a number as typed
        s->SetValue(2, 1, TCellValue::Text(QStringLiteral("7"))); // numeric text
        s->SetValue(3, 1, TCellValue::Boolean(true));
        const char *names[] = {"ant", "bee", "cat", "dog"};
        for (int i = 0; i < 4; ++i) {
            s->SetValue(i, 2, TCellValue::Text(QString::fromLatin1(names[i])));
            s->SetValue(i, 3, TCellValue::Number((i + 1) * 10));
        }
        q->SetValue(0, 2, TCellValue::Number(100)); // 'Q 2'!C1
    }

    TCellValue eval(const char *f) { return book.Evaluate(QString::fromUtf8(f), s, 9, 9); }

    TSheetBook book;
    TSheet *s = nullptr, *q = nullptr;
};

struct NumRow
{
    const char *formula;
    double expected;
};

TEST_F(Formulas, ArithmeticPrecedenceAndCoercion)
{
    const NumRow rows[] = {
        {"=-2^2", 4},            // negation binds tighter than ^
        {"=2^3^2", 64},          // ^ is left-associative
        {"=1+2*3", 7},
        {"=(1+2)*3", 9},
        {"=10-4-3", 3},
        {"=50%", 0.5},
        {"=200%*3", 6},
        {"=-50%", -0.5},
        {"=\"3\"+1", 4},         // numeric text
        {"=TRUE+1", 2},
        {"=Z99+1", 1},           // empty is 0
        {"=A1:A5*0+A3", 3},      // implicit intersection cannot apply (row 10): array's first
        {"=SUM(A1:B3,'Q 2'!$C$1)*2", 2 * (1 + 2 + 3 + 3 + 100)}, // text "7" in a range is skipped
        {"=1E3+1", 1001},
        {"=.5*4", 2},
        {"=--\"2\"", 2},
        {"=2^-1", 0.5},
        {"=7/2", 3.5},
    };
    for (const NumRow &r : rows) {
        SCOPED_TRACE(r.formula);
        const TCellValue v = eval(r.formula);
        ASSERT_TRUE(v.IsNumber()) << v.ToString().toStdString() << " " << v.text.toStdString();
        EXPECT_DOUBLE_EQ(v.number, r.expected);
    }
}

TEST_F(Formulas, TextAndComparison)
{
    const struct
    {
        const char *formula, *expected;
    } rows[] = {
        {"=\"a\"&1&TRUE", "a1TRUE"},
        {"=\"x\"&Z99&\"y\"", "xy"},       // empty is ""
        {"=\"abc\"=\"ABC\"", "TRUE"},     // case-insensitive
        {"=\"a\"<\"B\"", "TRUE"},
        {"=1<\"a\"", "TRUE"},             // numbers sort before text
        {"=\"z\"<TRUE", "TRUE"},          // text before booleans
        {"=Z99=0", "TRUE"},
        {"=Z99=\"\"", "TRUE"},
        {"=2<>2", "FALSE"},
        {"=0.1+0.2&\"\"", "0.3"},
        {"=1E+20&\"\"", "1E+20"},
        {"=CONCATENATE(\"a\",\"b\",3)", "ab3"},
        {"=LEFT(\"hello\",2)&RIGHT(\"hello\")&MID(\"hello\",2,3)", "heoell"},
        {"=UPPER(\"aB\")&LOWER(\"aB\")&PROPER(\"hello wORLD\")", "ABabHello World"},
        {"=TRIM(\"  a   b  \")", "a b"},
        {"=SUBSTITUTE(\"a-b-c\",\"-\",\"+\")", "a+b+c"},
        {"=SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)", "a-b+c"},
        {"=REPLACE(\"abcdef\",2,3,\"X\")", "aXef"},
        {"=REPT(\"ab\",3)", "ababab"},
        {"=TEXT(1234.5,\"#,##0.00\")", "1,234.50"},
        {"=TEXT(\"12\",\"000\")", "012"},
        {"=IF(EXACT(\"a\",\"A\"),\"same\",\"differ\")", "differ"},
        {"=VLOOKUP(\"cat\",C1:D4,2,FALSE)&\"\"", "30"},
        {"=VLOOKUP(\"c*\",C1:D4,2,FALSE)&\"\"", "30"},
        {"=HLOOKUP(2,A1:B3,3)", "3"},   // first row holds 1 and "apple": 2 finds 1 approximately
        {"=CHOOSE(2,\"x\",\"y\",\"z\")", "y"},
        {"=IF(A1>0,\"pos\")", "pos"},
        {"=IF(A1<0,\"neg\")", "FALSE"},
        {"=AND(TRUE,1,A1:A5)&OR(FALSE,0)&NOT(0)", "TRUEFALSETRUE"},
        {"=IFERROR(1/0,\"caught\")", "caught"},
        {"=IFNA(NA(),\"na\")&IFNA(5,\"na\")", "na5"},
        {"=ISBLANK(Z9)&ISERROR(1/0)&ISNA(NA())&ISNUMBER(B2)&ISTEXT(B3)", "TRUETRUETRUETRUETRUE"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.formula);
        EXPECT_EQ(eval(r.formula).ToString(), QString::fromUtf8(r.expected)) << eval(r.formula).text.toStdString();
    }
}

TEST_F(Formulas, ErrorsAndTheirNumbers)
{
    const struct
    {
        const char *formula;
        TSheetError expected;
    } rows[] = {
        {"=\"a\"+1", TSheetError::Value},
        {"=1/0", TSheetError::DivZero},
        {"=MOD(5,0)", TSheetError::DivZero},
        {"=NOSUCHFUNCTION(1)", TSheetError::Name},
        {"=undefined_name+1", TSheetError::Name},
        {"=SQRT(-1)", TSheetError::Num},
        {"=(-8)^0.5", TSheetError::Num},
        {"=LN(0)", TSheetError::Num},
        {"=NA()", TSheetError::NA},
        {"=VLOOKUP(\"eel\",C1:D4,2,FALSE)", TSheetError::NA},
        {"=VLOOKUP(\"ant\",C1:D4,3,FALSE)", TSheetError::Ref},
        {"=MATCH(99,D1:D4,0)", TSheetError::NA},
        {"=INDEX(A1:A5,9)", TSheetError::Ref},
        {"=SUM(A1,1/0)", TSheetError::DivZero},  // errors propagate through aggregates
        {"=AVERAGE(Z1:Z9)", TSheetError::DivZero},
        {"=MID(\"abc\",0,1)", TSheetError::Value},
        {"=FIND(\"z\",\"abc\")", TSheetError::Value},
        {"=CHOOSE(4,1,2,3)", TSheetError::Value},
        {"=LEFT()", TSheetError::Value},          // wrong argument count
        {"=DATE(10000,1,1)", TSheetError::Num},
        {"=#REF!+1", TSheetError::Ref},
        {"='No such'!A1", TSheetError::Ref},
        {"=REPT(\"x\",40000)", TSheetError::Value},
        {"=(A1:Z1048576)*2", TSheetError::Num},  // too large an array
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.formula);
        const TCellValue v = eval(r.formula);
        ASSERT_TRUE(v.IsError()) << v.ToString().toStdString();
        EXPECT_EQ(v.error, r.expected) << v.ToString().toStdString();
        // ERROR.TYPE numbers them 1..7
        const QString et = QStringLiteral("=ERROR.TYPE(%1)").arg(QString::fromUtf8(r.formula + 1));
        EXPECT_EQ(book.Evaluate(et, s, 9, 9), TCellValue::Number(int(r.expected)));
    }
    // Whole-column arithmetic chained many times runs out of its budget
    // instead of stalling the recalculation.
    QString chain = QStringLiteral("=SUM(A:A");
    for (int i = 0; i < 40; ++i)
        chain += QStringLiteral("-A:A");
    EXPECT_EQ(book.Evaluate(chain + u')', s, 9, 9).error, TSheetError::Num);
    EXPECT_EQ(book.Evaluate(QStringLiteral("=SUM(A:A*2)"), s, 9, 9), TCellValue::Number(30)) << "one column is fine";
    EXPECT_EQ(SheetErrorText(TSheetError::Value), QStringLiteral("#VALUE!"));
    EXPECT_EQ(SheetErrorText(TSheetError::NA), QStringLiteral("#N/A"));
    EXPECT_EQ(int(TSheetError::Value), 3);
    EXPECT_EQ(int(TSheetError::NA), 7);
}

TEST_F(Formulas, NumericFunctions)
{
    const NumRow rows[] = {
        {"=SUM(A1:A5)", 15},
        {"=SUM(A:A)", 15},
        {"=SUM(1:1)", 11},                      // row 1: A1 and D1; the texts are skipped
        {"=SUM(\"3\",TRUE)", 4},                // written values are converted
        {"=SUMIF(A1:A5,\">2\")", 12},
        {"=SUMIF(C1:C4,\"?at\",D1:D4)", 30},
        {"=SUMIF(C1:C4,\"<>cat\",D1:D4)", 70},
        {"=SUMPRODUCT(A1:A3,A2:A4)", 1 * 2 + 2 * 3 + 3 * 4},
        {"=SUMPRODUCT((A1:A5>2)*A1:A5)", 12},
        {"=PRODUCT(A1:A4)", 24},
        {"=AVERAGE(A1:A5)", 3},
        {"=AVERAGEIF(A1:A5,\"<=2\")", 1.5},
        {"=MIN(A1:A5,-1)", -1},
        {"=MAX(A1:A5)", 5},
        {"=MEDIAN(A1:A4)", 2.5},
        {"=COUNT(A1:B5)", 6},                   // five numbers and the typed "3"
        {"=COUNTA(B1:B5)", 4},
        {"=COUNTBLANK(B1:B6)", 2},
        {"=COUNTIF(A1:A5,\">=3\")", 3},
        {"=COUNTIF(C1:C4,\"B*\")", 1},
        {"=ROUND(2.675,2)", 2.68},
        {"=ROUND(-2.5,0)", -3},
        {"=ROUND(1234,-2)", 1200},
        {"=ROUNDUP(1.001,2)", 1.01},
        {"=ROUNDDOWN(-1.999,1)", -1.9},
        {"=INT(-1.5)", -2},
        {"=TRUNC(-1.57,1)", -1.5},
        {"=ABS(-3)+SIGN(-2)", 2},
        {"=MOD(-7,3)", 2},
        {"=POWER(2,10)", 1024},
        {"=SQRT(16)", 4},
        {"=LN(EXP(2))", 2},
        {"=LOG(8,2)+LOG(100)+LOG10(1000)", 3 + 2 + 3},
        {"=CEILING(2.1,1)+FLOOR(2.9,1)", 5},
        {"=CEILING(-2.5,-2)", -4},
        {"=FLOOR(-2.5,-2)", -2},
        {"=INDEX(C1:D4,3,2)", 30},
        {"=SUM(INDEX(A1:A5,0,1))", 15},
        {"=MATCH(25,D1:D4)", 2},
        {"=MATCH(\"dog\",C1:C4,0)", 4},
        {"=ROW(C7)+COLUMN(C7)+ROWS(A1:B3)+COLUMNS(A1:B3)", 7 + 3 + 3 + 2},
        {"=ROW()", 10},
        {"=LEN(\"hello\")+FIND(\"l\",\"hello\")+SEARCH(\"L?O\",\"hello\")", 5 + 3 + 3},
        {"=VALUE(\"1.5e2\")", 150},
        {"=VLOOKUP(25,D1:D4,1)", 20},           // approximate: largest <= 25
    };
    for (const NumRow &r : rows) {
        SCOPED_TRACE(r.formula);
        const TCellValue v = eval(r.formula);
        ASSERT_TRUE(v.IsNumber()) << v.ToString().toStdString() << " " << v.text.toStdString();
        EXPECT_NEAR(v.number, r.expected, 1e-9);
    }
    EXPECT_NEAR(eval("=PI()").number, M_PI, 1e-12);
    const double rnd = eval("=RAND()").number;
    EXPECT_TRUE(rnd >= 0 && rnd < 1);
}

TEST_F(Formulas, DatesAreTheSerialsOfTDateTime)
{
    EXPECT_EQ(eval("=DATE(2024,2,29)"), TCellValue::Number(EncodeDate(2024, 2, 29)));
    EXPECT_EQ(eval("=DATE(2024,14,1)"), TCellValue::Number(EncodeDate(2025, 2, 1)));   // months carry
    EXPECT_EQ(eval("=DATE(2024,1,0)"), TCellValue::Number(EncodeDate(2023, 12, 31)));  // and days
    EXPECT_EQ(eval("=DATE(99,1,1)"), TCellValue::Number(EncodeDate(1999, 1, 1)));
    // From 1900-03-01 on the serials agree with other spreadsheets (61 = 1900-03-01).
    EXPECT_EQ(eval("=DATE(1900,3,1)"), TCellValue::Number(61));
    const struct
    {
        const char *formula;
        double expected;
    } rows[] = {
        {"=YEAR(DATE(2023,7,15))", 2023},
        {"=MONTH(DATE(2023,7,15))", 7},
        {"=DAY(DATE(2023,7,15))", 15},
        {"=HOUR(TIME(13,45,30))", 13},
        {"=MINUTE(TIME(13,45,30))", 45},
        {"=SECOND(TIME(13,45,30))", 30},
        {"=SECOND(TIME(0,0,59)-1/86400000)", 59},
        {"=WEEKDAY(DATE(2024,1,7))", 1},      // a Sunday
        {"=WEEKDAY(DATE(2024,1,7),2)", 7},
        {"=WEEKDAY(DATE(2024,1,8),3)", 0},
        {"=EDATE(DATE(2024,1,31),1)-DATE(2024,2,29)", 0},   // clamped to the month's end
        {"=EOMONTH(DATE(2023,1,15),1)-DATE(2023,2,28)", 0},
        {"=EOMONTH(DATE(2023,1,15),-13)-DATE(2021,12,31)", 0},
        {"=TIME(25,0,0)", 1.0 / 24},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.formula);
        const TCellValue v = eval(r.formula);
        ASSERT_TRUE(v.IsNumber()) << v.ToString().toStdString();
        EXPECT_NEAR(v.number, r.expected, 1e-9);
    }
    const double today = eval("=TODAY()").number;
    EXPECT_EQ(today, std::floor(Date()));
    EXPECT_GE(eval("=NOW()").number, today);
    EXPECT_EQ(eval("=TEXT(DATE(2024,3,5)+TIME(14,7,9),\"yyyy-mm-dd hh:mm:ss\")"),
              TCellValue::Text(QStringLiteral("2024-03-05 14:07:09")));
}

TEST_F(Formulas, SyntaxErrorsAreRejected)
{
    for (const char *bad : {"=1+", "=(1", "=SUM(1", "=1)", "=\"open", "=A1:", "=1 2", "=#BAD!", "=@", "=SUM(,"}) {
        SCOPED_TRACE(bad);
        QString err;
        EXPECT_FALSE(s->SetFormula(20, 0, QString::fromLatin1(bad), &err));
        EXPECT_FALSE(err.isEmpty());
        EXPECT_FALSE(s->HasFormula(20, 0));
    }
    // Nesting is bounded, not a stack overflow.
    QString deep = QStringLiteral("=") + QString(5000, u'(') + u'1' + QString(5000, u')');
    EXPECT_FALSE(s->SetFormula(20, 0, deep));
    QString minus = QStringLiteral("=") + QString(100000, u'-') + u'1';
    EXPECT_FALSE(s->SetFormula(20, 0, minus));
}

TEST_F(Formulas, TextFormRoundTripsAndMovesWithTheCell)
{
    const char *texts[] = {
        "=SUM(A1:B3,'Q 2'!$C$1)*2", "=A:A", "=SUM(1:1)", "=-2^2", "=IF(A1>=2,\"x\"\"y\",FALSE)",
        "=$A1+A$1+$A$1", "=50%", "=1.50E+3", "=VLOOKUP(\"c\",C1:D4,2,)", "=NOSUCH(1)",
    };
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(s->SetFormula(20, 5, QString::fromLatin1(t)));
        EXPECT_EQ(s->Formula(20, 5), QString::fromLatin1(t));
    }
    s->SetFormula(10, 1, QStringLiteral("=A1+$A$1+A$1+$A1"));
    s->CopyCell(10, 1, 12, 3); // two rows down, two columns right
    EXPECT_EQ(s->Formula(12, 3), QStringLiteral("=C3+$A$1+C$1+$A3"));
    // Moving a reference off the grid turns it into #REF!
    s->SetFormula(10, 1, QStringLiteral("=A1"));
    s->CopyCell(10, 1, 0, 0);
    EXPECT_TRUE(s->Formula(0, 0).contains(QLatin1String("#REF!"))) << s->Formula(0, 0).toStdString();
    EXPECT_EQ(s->Value(0, 0).error, TSheetError::Ref);
}

TEST_F(Formulas, FilledColumnsShareOneCompiledFormula)
{
    TSheetBook b;
    TSheet *t = b.AddSheet();
    b.BeginUpdate();
    for (int r = 0; r < 200; ++r) {
        t->SetValue(r, 0, TCellValue::Number(r));
        t->SetFormula(r, 1, QStringLiteral("=A%1*2+$A$1").arg(r + 1));
    }
    b.EndUpdate();
    EXPECT_EQ(b.CompiledFormulaCount(), 1);
    EXPECT_EQ(t->Value(199, 1), TCellValue::Number(398));
    t->SetFormula(0, 2, QStringLiteral("=A2*2+$A$1")); // another relative text
    EXPECT_EQ(b.CompiledFormulaCount(), 2);
}

TEST_F(Formulas, RegisteredFunctionsSeeTheirContext)
{
    QObject owner;
    TSheetBook b(&owner);
    TSheet *t = b.AddSheet();
    QObject *seenOwner = nullptr;
    SpreadSheetFunctionsRepository().Add(
        QStringLiteral("JOINARGS"), {TSheetParamKind::Value},
        [&](TSheetFunctionContext &c) {
            seenOwner = c.Owner();
            if (c.GetParamsCount() < 1)
                return c.SetError(3);
            QString s;
            for (int i = 0; i < c.GetParamsCount(); ++i)
                s += c.ExtractStringParameter(i) + QString::number(c.ExtractNumericParameterDef(i, -1));
            c.AddValue(s);
        });
    SpreadSheetFunctionsRepository().Add(QStringLiteral("THROWS"), {}, [](TSheetFunctionContext &) {
        throw Exception(QStringLiteral("script failed at 1:2"));
    });
    t->SetValue(0, 0, TCellValue::Number(4));
    t->SetFormula(1, 0, QStringLiteral("=JOINARGS(A1,\"x\",A9)"));
    EXPECT_EQ(t->Value(1, 0), TCellValue::Text(QStringLiteral("44x0-1")));
    EXPECT_EQ(seenOwner, &owner);
    t->SetFormula(2, 0, QStringLiteral("=JOINARGS()"));
    EXPECT_EQ(t->Value(2, 0).error, TSheetError::Value);
    t->SetFormula(3, 0, QStringLiteral("=JOINARGS(1/0)")); // an error argument is the answer
    EXPECT_EQ(t->Value(3, 0).error, TSheetError::DivZero);
    // An exception never leaves recalculation: #VALUE! with its message.
    t->SetFormula(4, 0, QStringLiteral("=THROWS()+1"));
    EXPECT_EQ(t->Value(4, 0).error, TSheetError::Value);
    EXPECT_EQ(t->Value(4, 0).text, QStringLiteral("script failed at 1:2"));
    EXPECT_TRUE(SpreadSheetFunctionsRepository().Remove(QStringLiteral("THROWS")));
    EXPECT_FALSE(SpreadSheetFunctionsRepository().Remove(QStringLiteral("THROWS")));
    t->SetFormula(5, 0, QStringLiteral("=THROWS()"));
    EXPECT_EQ(t->Value(5, 0).error, TSheetError::Name);
    SpreadSheetFunctionsRepository().Remove(QStringLiteral("JOINARGS"));
    TSheetBook headless;
    headless.AddSheet();
    EXPECT_EQ(headless.Owner(), nullptr);
}

} // namespace
