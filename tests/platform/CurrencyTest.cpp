#include <ZorCompCore/platform/Currency.h>
#include <ZorCompCore/platform/Exception.h>

#include "TestUtil.h"

#include <limits>
#include <random>

using namespace zor;

TEST(Currency, FromDoubleRoundsHalfAwayFromZeroOnTheDecimalValue)
{
    const struct { double in; qint64 scaled; } rows[] = {
        {1.00005, 10001},   // stored slightly below the half, meant as the half
        {-1.00005, -10001},
        {0.12344, 1234},
        {0.00005, 1},
        {0.00004999, 0},
        {2.675, 26750},
        {123456789012.3456, 1234567890123456},
        {-0.0, 0},
        {922337203685477.5, 9223372036854775000},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(Currency::FromDouble(r.in).Scaled, r.scaled);
    }
    EXPECT_THROW(Currency::FromDouble(1e15), EOverflow);
    EXPECT_THROW(Currency::FromDouble(-1e300), EOverflow);
    EXPECT_THROW(Currency::FromDouble(std::numeric_limits<double>::quiet_NaN()), EOverflow);
}

TEST(Currency, TextForms)
{
    const struct { qint64 scaled; const char *text, *fixed; } rows[] = {
        {125000, "12.5", "12.5000"},
        {0, "0", "0.0000"},
        {-1, "-0.0001", "-0.0001"},
        {10000, "1", "1.0000"},
        {std::numeric_limits<qint64>::min(), "-922337203685477.5808", "-922337203685477.5808"},
        {std::numeric_limits<qint64>::max(), "922337203685477.5807", "922337203685477.5807"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        const Currency c = Currency::FromScaled(r.scaled);
        EXPECT_EQ(c.ToString(), QLatin1String(r.text));
        EXPECT_EQ(c.ToFixedString(), QLatin1String(r.fixed));
        Currency back;
        ASSERT_TRUE(Currency::TryParse(c.ToString(), back));
        EXPECT_EQ(back, c);
    }
}

TEST(Currency, TryParseAcceptsDecimalTextOnly)
{
    const struct { const char *text; bool ok; qint64 scaled; } rows[] = {
        {"12.5", true, 125000},
        {" -3.14159 ", true, -31416},
        {"1.23455", true, 12346},
        {"1.23454999", true, 12345},
        {"+7", true, 70000},
        {".5", true, 5000},
        {"5.", true, 50000},
        {"-922337203685477.5808", true, std::numeric_limits<qint64>::min()},
        {"922337203685477.5808", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"1e5", false, 0},
        {"1,5", false, 0},
        {"12abc", false, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        Currency c = Currency::FromScaled(42);
        EXPECT_EQ(Currency::TryParse(QString::fromLatin1(r.text), c), r.ok);
        if (r.ok) {
            EXPECT_EQ(c.Scaled, r.scaled);
        } else {
            EXPECT_EQ(c.Scaled, 42) << "target changed on failure";
        }
    }
}

TEST(Currency, ArithmeticRoundsToFourDecimals)
{
    auto cur = [](double v) { return Currency::FromDouble(v); };
    EXPECT_EQ(cur(1.5) * cur(2.5), cur(3.75));
    EXPECT_EQ(cur(0.0001) * cur(0.5), cur(0.0001)); // 0.00005 rounds away from zero
    EXPECT_EQ(cur(-0.0001) * cur(0.5), cur(-0.0001));
    EXPECT_EQ(cur(1) / cur(3), cur(0.3333));
    EXPECT_EQ(cur(2) / cur(3), cur(0.6667));
    EXPECT_EQ(cur(-2) / cur(3), cur(-0.6667));
    EXPECT_EQ(cur(1.25) + cur(2.5), cur(3.75));
    EXPECT_LT(cur(-1), cur(0.0001));

    try {
        (void)(cur(1) / Currency());
        ADD_FAILURE() << "no exception";
    } catch (const EZeroDivide &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Floating point division by zero"));
    }
    EXPECT_THROW((void)(Currency() / Currency()), EInvalidOp);
    EXPECT_THROW((void)(cur(900000000000) * cur(900000000000)), EOverflow);
}

TEST(Currency, RandomValuesSurviveTextRoundTrips)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const Currency c = Currency::FromScaled(qint64(rng()));
        Currency back;
        ASSERT_TRUE(Currency::TryParse(c.ToFixedString(), back)) << c.ToFixedString().toStdString();
        ASSERT_EQ(back, c);
        ASSERT_TRUE(Currency::TryParse(c.ToString(), back));
        ASSERT_EQ(back, c);
    }
}
