#include <ZorCompCore/imaging/CategoryColorIcons.h>
#include <ZorCompCore/platform/ImageList.h>

#include <gtest/gtest.h>

#include <memory>

using namespace zor;

namespace {

// Every pixel on the one-pixel frame around the image is fully transparent.
bool MarginIsClear(const QImage &img)
{
    for (int i = 0; i < img.width(); ++i)
        if (qAlpha(img.pixel(i, 0)) || qAlpha(img.pixel(i, img.height() - 1)))
            return false;
    for (int i = 0; i < img.height(); ++i)
        if (qAlpha(img.pixel(0, i)) || qAlpha(img.pixel(img.width() - 1, i)))
            return false;
    return true;
}

} // namespace

TEST(CategoryColorIcons, SquareCoversPixelsOneToSizeMinusTwo)
{
    TImageList list;
    list.SetSize(16, 12);
    TCategoryColorIcons icons;
    icons.SetImageList(&list);
    const int index = icons.GetIndexByColor(0xA56E3A);
    ASSERT_EQ(index, 0);
    const QImage img = list.Image(index);
    const QRgb color = qRgb(58, 110, 165);
    EXPECT_EQ(img.pixel(1, 1), color);
    EXPECT_EQ(img.pixel(14, 10), color);   // right and bottom edges of the shape
    EXPECT_EQ(img.pixel(7, 6), color);
    EXPECT_TRUE(MarginIsClear(img));
    // Asked again: the same image, nothing new in the list.
    EXPECT_EQ(icons.GetIndexByColor(0xA56E3A), 0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(icons.Count(), 1);
}

TEST(CategoryColorIcons, BlackIsDrawnAsNearBlackAndSharesItsImage)
{
    TImageList list;
    TCategoryColorIcons icons;
    icons.SetImageList(&list);
    const int black = icons.GetIndexByColor(0);
    EXPECT_EQ(icons.GetIndexByColor(0x010101), black);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Image(black).pixel(5, 5), qRgb(1, 1, 1));
    EXPECT_EQ(icons.Item(0).Color, 0x010101u);
}

TEST(CategoryColorIcons, CircleLeavesTheCornersOfItsBoxClear)
{
    TImageList list;
    list.SetSize(16, 16);
    TCategoryColorIcons icons;
    icons.SetImageList(&list);
    icons.SetImageShape(cisCircle);
    const QImage img = list.Image(icons.GetIndexByColor(0x0000FF));
    EXPECT_EQ(img.pixel(8, 8), qRgb(255, 0, 0));
    EXPECT_GT(qAlpha(img.pixel(8, 1)), 128);   // the top of the circle touches row 1
    EXPECT_EQ(qAlpha(img.pixel(1, 1)), 0);
    EXPECT_EQ(qAlpha(img.pixel(14, 14)), 0);
    EXPECT_TRUE(MarginIsClear(img));
}

TEST(CategoryColorIcons, ClearRemovesOnlyTheCachedImagesAtTheEnd)
{
    TImageList list;
    list.SetSize(8, 8);
    QImage own(8, 8, QImage::Format_ARGB32);
    own.fill(Qt::green);
    list.Add(own);
    list.Add(own);
    TCategoryColorIcons icons;
    icons.SetImageList(&list);
    EXPECT_EQ(icons.GetIndexByColor(0x0000FF), 2);
    EXPECT_EQ(icons.GetIndexByColor(0x00FF00), 3);
    EXPECT_EQ(icons.GetIndexByColor(0xFF0000), 4);
    icons.Clear();
    EXPECT_EQ(icons.Count(), 0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Image(1).pixel(4, 4), qRgb(0, 255, 0));
    // Colours are made anew after a clear.
    EXPECT_EQ(icons.GetIndexByColor(0x00FF00), 2);
    EXPECT_EQ(list.Count(), 3);
}

TEST(CategoryColorIcons, WithoutAListNothingIsMade)
{
    TCategoryColorIcons icons;
    EXPECT_EQ(icons.GetIndexByColor(0x123456), -1);
    EXPECT_EQ(icons.Count(), 0);
    icons.Clear();

    // A list destroyed under the cache is forgotten, not used.
    auto list = std::make_unique<TImageList>();
    icons.SetImageList(list.get());
    icons.GetIndexByColor(0x123456);
    list.reset();
    EXPECT_EQ(icons.ImageList(), nullptr);
    EXPECT_EQ(icons.GetIndexByColor(0x654321), -1);
    icons.Clear();
    EXPECT_EQ(icons.Count(), 0);
}
