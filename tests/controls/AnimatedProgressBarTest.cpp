#include <ZorCompCore/controls/AnimatedProgressBar.h>
#include <ZorCompCore/controls/AnimationClock.h>

#include "ControlsTestUtil.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>

#include <gtest/gtest.h>

using namespace zor;

// Faults: the wrap test as > instead of >=; a wrap to 0 instead of
// -BarWidth; Animate not restarting the block; the timer off at construction
// or not stopped by Animate := false; a tick at anything but BarSpeed.
TEST(AnimatedProgressBar, BlockRunsFromMinusBarWidthToTheLastColumnAndAgain)
{
    TManualAnimationClock clock;
    ScopedReducedMotion motion(false);
    TAnimatedProgressBar bar;
    ASSERT_EQ(bar.size(), QSize(200, 9));
    EXPECT_EQ(bar.TimerInterval(), 50);
    clock.Advance(50 * 3); // ticks run with neither flag set
    EXPECT_EQ(bar.BarStart(), 3);

    bar.SetAnimate(true);
    EXPECT_EQ(bar.BarStart(), -30);
    std::vector<int> edges;
    for (int i = 0; i < 231; ++i) {
        clock.Advance(50);
        edges.push_back(bar.BarStart());
    }
    EXPECT_EQ(edges[0], -29);
    EXPECT_EQ(edges[228], 199);
    EXPECT_EQ(edges[229], -30);
    EXPECT_EQ(edges[230], -29);

    bar.SetAnimate(false);
    clock.Advance(500);
    EXPECT_EQ(bar.BarStart(), -29);
    bar.SetBarWidth(40);
    bar.SetAnimate(true);
    EXPECT_EQ(bar.BarStart(), -40);

    bar.SetManualAnimate(true);
    bar.SetBarStep(7);
    bar.ManualStep();
    EXPECT_EQ(bar.BarStart(), -33);
}

// Faults: the speed change not reaching the timer; reduced motion ignored,
// or applied against RespectReducedMotion; live changes not followed.
TEST(AnimatedProgressBar, ReducedMotionSlowsTheTimerFourfold)
{
    TManualAnimationClock clock;
    ScopedReducedMotion motion(false);
    TAnimatedProgressBar bar;
    bar.SetBarSpeed(70);
    EXPECT_EQ(bar.TimerInterval(), 70);
    {
        ScopedReducedMotion reduced(true); // a live change
        EXPECT_EQ(bar.TimerInterval(), 280);
        clock.Advance(279);
        EXPECT_EQ(bar.BarStart(), 0);
        clock.Advance(1);
        EXPECT_EQ(bar.BarStart(), 1);
        bar.SetRespectReducedMotion(false);
        EXPECT_EQ(bar.TimerInterval(), 70);
        bar.SetRespectReducedMotion(true);
    }
    EXPECT_EQ(bar.TimerInterval(), 70);
}

namespace {
QRgb rgb(zor::TColor c)
{
    return ToQColor(c).rgb();
}
} // namespace

// Faults: the block drawn without either flag; the block covering row 0 or
// running one column too far (GDI fills leave out right and bottom); the
// border drawn inside for wide pens, or missing a side; colours taken as
// 0xRRGGBB rather than TColor's 0xBBGGRR.
TEST(AnimatedProgressBar, PaintsBlockBackgroundAndBorderByGdiRules)
{
    TManualAnimationClock clock;
    TAnimatedProgressBar bar;
    bar.resize(200, 12);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb blue = qRgb(58, 110, 165); // 0xA56E3A
    ASSERT_EQ(rgb(bar.BarColor()), blue);

    clock.Advance(50 * 20); // block at 20 … 49, but not drawn
    QImage img = bar.grab().toImage();
    EXPECT_EQ(img.pixel(30, 5), white);

    bar.SetManualAnimate(true);
    img = bar.grab().toImage();
    EXPECT_EQ(img.pixel(20, 5), blue);  // first column of the block
    EXPECT_EQ(img.pixel(49, 10), blue); // last column, last row above the border
    EXPECT_EQ(img.pixel(50, 5), white); // right edge left out
    EXPECT_EQ(img.pixel(19, 5), white);
    EXPECT_EQ(img.pixel(100, 5), white);
    for (QPoint border : {QPoint(0, 5), QPoint(199, 5), QPoint(30, 0), QPoint(30, 11), QPoint(100, 0)}) {
        SCOPED_TRACE(border.x() * 100 + border.y());
        EXPECT_EQ(img.pixel(border), black);
    }
    EXPECT_EQ(img.pixel(1, 5), white);
    EXPECT_EQ(img.pixel(30, 1), blue);

    // Three pixels wide: one outside, the line, one inside.
    bar.SetBorderWidth(3);
    bar.SetBorderColor(0x0000FF); // red in TColor
    bar.SetColor(0x00FF00);
    img = bar.grab().toImage();
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    EXPECT_EQ(img.pixel(1, 5), red);
    EXPECT_EQ(img.pixel(2, 5), green);
    EXPECT_EQ(img.pixel(198, 5), red);
    EXPECT_EQ(img.pixel(197, 5), green);
    EXPECT_EQ(img.pixel(100, 1), red);
    EXPECT_EQ(img.pixel(100, 10), red);
    EXPECT_EQ(img.pixel(100, 9), green);
    EXPECT_EQ(img.pixel(30, 5), blue);
}

TEST(AnimatedProgressBar, ReadsAsABusyProgressBar)
{
    TAnimatedProgressBar bar;
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface *v = i->valueInterface();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->minimumValue().toInt(), 0);
    EXPECT_EQ(v->maximumValue().toInt(), 0);
}
