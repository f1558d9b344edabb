// CSV: quoting, encodings, delimiters, numbers and what stays text.
#include "TestUtil.h"

#include <ZorCompCore/sheet/Book.h>
#include <ZorCompCore/sheet/SheetFiles.h>

using namespace zor;

namespace {

TEST(Csv, ReadsQuotedFieldsAndKinds)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    const QByteArray data = "\xEF\xBB\xBFname,qty,note\r\n"
                            "\"Smith, J.\",12.5,\"said \"\"hi\"\"\nthen left\"\r\n"
                            "x,=1+1,\"007\"\n"
                            ",TRUE,-3e2";
    ASSERT_TRUE(LoadCsv(*s, data));
    EXPECT_EQ(s->Value(0, 0), TCellValue::Text(QStringLiteral("name"))) << "BOM dropped";
    EXPECT_EQ(s->Value(1, 0), TCellValue::Text(QStringLiteral("Smith, J.")));
    EXPECT_EQ(s->Value(1, 1), TCellValue::Number(12.5));
    EXPECT_EQ(s->Value(1, 2), TCellValue::Text(QStringLiteral("said \"hi\"\nthen left")));
    EXPECT_EQ(s->Value(2, 1), TCellValue::Text(QStringLiteral("=1+1"))) << "no formulas unless asked";
    EXPECT_EQ(s->Value(2, 2), TCellValue::Text(QStringLiteral("007"))) << "quoted stays text";
    EXPECT_TRUE(s->Value(3, 0).IsEmpty());
    EXPECT_EQ(s->Value(3, 1), TCellValue::Boolean(true));
    EXPECT_EQ(s->Value(3, 2), TCellValue::Number(-300));
    EXPECT_EQ(s->CellCount(), 11);
}

TEST(Csv, DelimitersDecimalCommaFormulasAndEncodings)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    TCsvOptions o;
    o.decimalComma = true;
    o.formulas = true;
    ASSERT_TRUE(LoadCsv(*s, "a;b;c\n1,5;2;=A2+B2\n", o)); // ";" detected
    EXPECT_EQ(s->Value(1, 0), TCellValue::Number(1.5));
    EXPECT_EQ(s->Value(1, 2), TCellValue::Number(3.5));
    TSheetBook t;
    TSheet *u = t.AddSheet();
    ASSERT_TRUE(LoadCsv(*u, "a\tb,c\td\n1\t2,5\t3\n")); // tab separates more fields
    EXPECT_EQ(u->Value(1, 1), TCellValue::Text(QStringLiteral("2,5")));
    // Not UTF-8: read as Windows-1252.
    TSheetBook w;
    TSheet *x = w.AddSheet();
    ASSERT_TRUE(LoadCsv(*x, "caf\xE9,\x80\n"));
    EXPECT_EQ(x->Value(0, 0), TCellValue::Text(QStringLiteral("café")));
    EXPECT_EQ(x->Value(0, 1), TCellValue::Text(QStringLiteral("€")));
    TSheetBook y;
    TSheet *z = y.AddSheet();
    ASSERT_TRUE(LoadCsv(*z, "caf\xC3\xA9\n"));
    EXPECT_EQ(z->Value(0, 0), TCellValue::Text(QStringLiteral("café")));
}

TEST(Csv, WritesValuesAsShownAndReadsThemBack)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    s->SetValue(0, 0, TCellValue::Text(QStringLiteral("a,b")));
    s->SetValue(0, 2, TCellValue::Text(QStringLiteral("say \"x\"")));
    s->SetValue(2, 0, TCellValue::Number(1234.5));
    s->SetNumberFormat(2, 0, QStringLiteral("0.00"));
    s->SetFormula(2, 1, QStringLiteral("=A3*2"));
    EXPECT_EQ(SaveCsv(*s), QByteArray("\"a,b\",,\"say \"\"x\"\"\"\r\n\r\n1234.50,2469\r\n"));
    TCsvOptions semi;
    semi.delimiter = u';';
    semi.decimalComma = true;
    EXPECT_EQ(SaveCsv(*s, semi), QByteArray("a,b;;\"say \"\"x\"\"\"\r\n\r\n1234,50;2469\r\n"));
    TSheetBook c;
    TSheet *t = c.AddSheet();
    ASSERT_TRUE(LoadCsv(*t, SaveCsv(*s)));
    EXPECT_EQ(t->Value(0, 0), s->Value(0, 0));
    EXPECT_EQ(t->Value(0, 2), s->Value(0, 2));
    EXPECT_EQ(t->Value(2, 1), TCellValue::Number(2469));
}

TEST(Csv, TooManyColumnsIsAnError)
{
    TSheetBook b;
    TSheet *s = b.AddSheet();
    QString err;
    EXPECT_FALSE(LoadCsv(*s, QByteArray(20000, ','), {}, &err));
    EXPECT_FALSE(err.isEmpty());
}

} // namespace
