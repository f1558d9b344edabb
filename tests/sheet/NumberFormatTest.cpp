// The number formatter behind TEXT() and the grid.
#include "TestUtil.h"

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/sheet/NumberFormat.h>

using namespace zor;

namespace {

TEST(NumberFormat, NumbersThroughFormatCodes)
{
    const struct
    {
        double value;
        const char *format, *expected;
    } rows[] = {
        {1234.5, "General", "1234.5"},
        {0.1 + 0.2, "General", "0.3"},
        {1e20, "General", "1E+20"},
        {3.14159, "0.00", "3.14"},
        {-3.145, "0.00", "-3.15"},
        {2.5, "0", "3"},
        {1234567.891, "#,##0", "1,234,568"},
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {-1234.5, "#,##0.00", "-1,234.50"},
        {999, "#,##0", "999"},
        {0.256, "0%", "26%"},
        {0.256, "0.0%", "25.6%"},
        {12345.678, "0.00E+00", "1.23E+04"},
        {0.00012, "0.0E+00", "1.2E-04"},
        {0.5, "#.##", ".5"},
        {1.5, "0.0#", "1.5"},
        {1.555, "0.0#", "1.56"},
        {5, "000", "005"},
        {1500000, "#,##0,", "1,500"},          // trailing comma: thousands
        {5, "0 \"items\"", "5 items"},
        {5, "\\$0.00", "$5.00"},
        {-5, "0.00;(0.00)", "(5.00)"},
        {0, "0.00;(0.00);\"zero\"", "zero"},
        {-0.001, "0.00", "0.00"},               // no minus before a shown zero
        {42, "[Red]0;[Blue]-0", "42"},
        {12, "0_);(0)", "12 "},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.format) + " " + std::to_string(r.value));
        EXPECT_EQ(FormatSheetNumber(r.value, QString::fromLatin1(r.format)), QString::fromLatin1(r.expected));
    }
}

TEST(NumberFormat, DatesAndTimes)
{
    const double dt = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 0);
    const struct
    {
        const char *format, *expected;
    } rows[] = {
        {"yyyy-mm-dd", "2024-03-05"},
        {"d/m/yy", "5/3/24"},
        {"dd mmm yyyy", "05 Mar 2024"},
        {"dddd, mmmm d", "Tuesday, March 5"},
        {"hh:mm:ss", "14:07:09"},
        {"h:mm AM/PM", "2:07 PM"},
        {"mm:ss", "07:09"},                     // "mm" before seconds means minutes
        {"yyyy-mm-dd hh:mm", "2024-03-05 14:07"},
        {"mmmmm", "M"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.format);
        EXPECT_EQ(FormatSheetNumber(dt, QString::fromLatin1(r.format)), QString::fromLatin1(r.expected));
    }
    EXPECT_EQ(FormatSheetNumber(1.5 + 1.0 / 24, QStringLiteral("[h]:mm")), QStringLiteral("37:00"));
    EXPECT_EQ(FormatSheetNumber(EncodeTime(10, 0, 59, 600), QStringLiteral("hh:mm:ss")), QStringLiteral("10:01:00"))
        << "rounded to the shown second";
    EXPECT_EQ(FormatSheetNumber(EncodeTime(10, 0, 59, 600), QStringLiteral("hh:mm:ss.0")), QStringLiteral("10:00:59.6"));
    EXPECT_EQ(FormatSheetNumber(-1, QStringLiteral("yyyy")), QString(11, u'#'));
    EXPECT_TRUE(IsDateFormat(QStringLiteral("d-mmm-yy")));
    EXPECT_TRUE(IsDateFormat(QStringLiteral("[h]:mm:ss")));
    EXPECT_FALSE(IsDateFormat(QStringLiteral("#,##0.00")));
    EXPECT_FALSE(IsDateFormat(QStringLiteral("0 \"days\"")));
}

TEST(NumberFormat, TextAndOtherValues)
{
    EXPECT_EQ(FormatCellValue(TCellValue::Text(QStringLiteral("abc")), QStringLiteral("@")), QStringLiteral("abc"));
    EXPECT_EQ(FormatCellValue(TCellValue::Text(QStringLiteral("abc")), QStringLiteral("0;0;0;\"<\"@\">\"")),
              QStringLiteral("<abc>"));
    EXPECT_EQ(FormatCellValue(TCellValue::Text(QStringLiteral("abc")), QStringLiteral("0.00")), QStringLiteral("abc"));
    EXPECT_EQ(FormatCellValue(TCellValue::Boolean(true), QStringLiteral("0.00")), QStringLiteral("TRUE"));
    EXPECT_EQ(FormatCellValue(TCellValue::Error(TSheetError::DivZero), QStringLiteral("0")), QStringLiteral("#DIV/0!"));
    EXPECT_EQ(FormatCellValue(TCellValue(), QStringLiteral("0.00")), QString());
    EXPECT_EQ(FormatSheetNumber(12.5, QStringLiteral("@")), QStringLiteral("12.5"));
}

} // namespace
