#include <ZorCompCore/imaging/HiDPI.h>
#include <ZorCompCore/imaging/ImageListUtils.h>
#include <ZorCompCore/platform/ImageList.h>

#include <QIcon>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// Alternating black and white pixels: a nearest-pixel enlargement keeps
// only those two values, a smooth one mixes them.
QImage Checker(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            img.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return img;
}

bool OnlyBlackAndWhite(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (p != qRgb(0, 0, 0) && p != qRgb(255, 255, 255))
                return false;
        }
    return true;
}

QImage Filled(int size, QRgb color)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(color);
    return img;
}

} // namespace

TEST(ImageListUtils, ScalingToTheCurrentSizeChangesNothing)
{
    TImageList list;
    list.SetSize(16, 16);
    list.Add(Checker(16));
    list.SetSourceDPI(144);
    int changes = 0;
    list.OnChange = [&](TImageList *) { ++changes; };
    TImageListUtils::ScaleImageListImages(&list, 16, 16, true);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(list.SourceDPI(), 144);
    EXPECT_EQ(list.Image(0), Checker(16));
}

TEST(ImageListUtils, ScalingResamplesEveryImageAndTakesTheScreenDpi)
{
    TImageList list;
    list.SetSize(16, 16);
    list.Add(Checker(16));
    list.Add(Filled(16, qRgb(200, 10, 10)));
    list.SetSourceDPI(144);
    int changes = 0;
    list.OnChange = [&](TImageList *) { ++changes; };

    TImageListUtils::ScaleImageListImages(&list, 32, 32, false, &list);  // the list itself: copied first
    EXPECT_EQ(changes, 1);   // one change for the whole update
    EXPECT_EQ(list.SourceDPI(), ScreenPPI());
    ASSERT_EQ(list.Count(), 2);
    const QImage stretched = list.Image(0);
    EXPECT_EQ(stretched.size(), QSize(32, 32));
    EXPECT_TRUE(OnlyBlackAndWhite(stretched));
    EXPECT_EQ(stretched.pixel(2, 0), stretched.pixel(3, 1));   // each pixel doubled
    EXPECT_NE(stretched.pixel(2, 0), stretched.pixel(4, 0));
    EXPECT_EQ(list.Image(1).pixel(31, 31), qRgb(200, 10, 10));

    TImageList smooth;
    smooth.SetSize(16, 16);
    smooth.Add(Checker(16));
    TImageListUtils::ScaleImageListImages(&smooth, 24, 24, true);
    EXPECT_EQ(smooth.Image(0).size(), QSize(24, 24));
    EXPECT_FALSE(OnlyBlackAndWhite(smooth.Image(0)));
}

TEST(ImageListUtils, ScalingFromAnotherListTakesItsImages)
{
    TImageList source;
    source.SetSize(48, 48);
    source.Add(Filled(48, qRgb(0, 0, 255)));
    source.Add(Filled(48, qRgb(0, 255, 0)));
    source.Add(Filled(48, qRgb(255, 0, 0)));
    TImageList list;
    list.SetSize(16, 16);
    list.Add(Filled(16, qRgb(1, 2, 3)));
    TImageListUtils::ScaleImageListImages(&list, 24, 24, true, &source);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Image(2).pixel(12, 12), qRgb(255, 0, 0));
    EXPECT_EQ(source.Count(), 3);
}

TEST(ImageListUtils, IconsComeFromTheSizeNearestTheListsWidth)
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(Filled(16, qRgb(255, 0, 0))));
    icon.addPixmap(QPixmap::fromImage(Filled(32, qRgb(0, 255, 0))));
    icon.addPixmap(QPixmap::fromImage(Filled(48, qRgb(0, 0, 255))));
    struct Row { int listWidth; QRgb expected; } rows[] = {
        {32, qRgb(0, 255, 0)}, {20, qRgb(255, 0, 0)}, {44, qRgb(0, 0, 255)}, {64, qRgb(0, 0, 255)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.listWidth);
        TImageList list;
        list.SetSize(r.listWidth, r.listWidth);
        list.Add(Filled(r.listWidth, qRgb(9, 9, 9)));
        EXPECT_EQ(TImageListUtils::AddIconScaled(icon, &list, true), 1);
        const QImage img = list.Image(1);
        EXPECT_EQ(img.size(), QSize(r.listWidth, r.listWidth));
        EXPECT_EQ(img.pixel(r.listWidth / 2, r.listWidth / 2), r.expected);
    }
}

TEST(ImageListUtils, IconsAreStretchedOrResampledAsAsked)
{
    const QIcon icon(QPixmap::fromImage(Checker(16)));
    TImageList list;
    list.SetSize(32, 32);
    TImageListUtils::AddIconScaled(icon, &list, false);
    TImageListUtils::AddIconScaled(icon, &list, true);
    EXPECT_TRUE(OnlyBlackAndWhite(list.Image(0)));
    EXPECT_FALSE(OnlyBlackAndWhite(list.Image(1)));
    EXPECT_EQ(TImageListUtils::AddIconScaled(QIcon(), &list, true), -1);
    EXPECT_EQ(list.Count(), 2);
}
