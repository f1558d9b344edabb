#include <ZorCompCore/platform/Color.h>
#include <ZorCompCore/platform/MulDiv.h>

#include <gtest/gtest.h>

#include <climits>

using namespace zor;

TEST(MulDiv, RoundsHalvesAwayFromZeroInEverySign)
{
    struct Row { const char *name; int a, b, c, expected; } rows[] = {
        {"exact", 10, 3, 2, 15},
        {"half up", 5, 1, 2, 3},
        {"below half", 7, 1, 4, 2},            // 1.75 → 2, 1.25 → 1 below
        {"quarter", 5, 1, 4, 1},
        {"negative a half", -5, 1, 2, -3},
        {"negative c half", 5, 1, -2, -3},
        {"both negative", -5, -1, 2, 3},
        {"dpi 125 % half", 10, 120, 96, 13},   // 12.5: banker's rounding would give 12
        {"dpi 150 %", 13, 144, 96, 20},        // 19.5
        {"dpi 200 %", 13, 192, 96, 26},
        {"down to design", 20, 96, 144, 13},   // 13.33
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(MulDiv(r.a, r.b, r.c), r.expected);
    }
}

TEST(MulDiv, WorksBeyond32BitProductsAndReportsOverflowAsMinusOne)
{
    EXPECT_EQ(MulDiv(2000000000, 2000000000, 2000000000), 2000000000);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);   // 2^31 does not fit
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(0, 5, 0), -1);
}

TEST(Color, WindowsLayoutIsBlueGreenRed)
{
    const QColor c = ToQColor(0xA56E3A);
    EXPECT_EQ(c.red(), 58);
    EXPECT_EQ(c.green(), 110);
    EXPECT_EQ(c.blue(), 165);
    EXPECT_EQ(FromQColor(QColor(58, 110, 165)), 0xA56E3Au);
}
