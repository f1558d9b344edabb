#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>

#include "TestUtil.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

using namespace zor;

namespace {

QImage Solid(QColor c, int w = 16, int h = 16)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

TEST(ImageList, ImagesTakeTheListSizeAndANewSizeClears)
{
    TImageList list;
    EXPECT_EQ(list.SourceDPI(), 96);
    list.SetSize(24, 24);
    EXPECT_EQ(list.Add(Solid(Qt::red, 48, 48)), 0);
    EXPECT_EQ(list.Add(Solid(QColor(0, 0, 255, 128), 24, 24)), 1);
    EXPECT_EQ(list.Image(0).size(), QSize(24, 24));
    EXPECT_EQ(list.Image(0).format(), QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(list.Image(1).pixel(3, 3)), 128);
    EXPECT_TRUE(list.Image(2).isNull());
    EXPECT_THROW(list.Delete(2), EListError);
    list.SetWidth(32);
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, ChangesInsideAnUpdateNotifyOnce)
{
    TImageList list;
    int changes = 0;
    list.OnChange = [&](TImageList *) { ++changes; };
    list.Add(Solid(Qt::red));
    EXPECT_EQ(changes, 1);
    list.BeginUpdate();
    list.Add(Solid(Qt::green));
    list.BeginUpdate();
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(changes, 1);
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    list.BeginUpdate();
    list.EndUpdate();
    EXPECT_EQ(changes, 2); // nothing changed, nothing told
    list.Clear();
    list.Clear();
    EXPECT_EQ(changes, 3);
}

TEST(ImageList, BitmapDataRoundTripsPixelsAndBytes)
{
    TImageList list;
    list.SetSize(16, 8);
    const QColor colours[] = {Qt::red, Qt::green, QColor(0, 0, 255, 77), Qt::transparent, Qt::yellow};
    for (const QColor &c : colours)
        list.Add(Solid(c, 16, 8));
    const QByteArray data = list.BitmapData();
    EXPECT_TRUE(data.startsWith("ZIL1"));
    TImageList copy;
    copy.ReadBitmapData(data);
    ASSERT_EQ(copy.Count(), 5);
    EXPECT_EQ(copy.Width(), 16);
    EXPECT_EQ(copy.Height(), 8);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(copy.Image(i), list.Image(i)) << i;
    EXPECT_EQ(copy.BitmapData(), data);
}

TEST(ImageList, DamagedBitmapDataLeavesTheListAlone)
{
    TImageList source;
    source.SetSize(16, 16);
    source.Add(Solid(Qt::red));
    source.Add(Solid(Qt::blue));
    const QByteArray good = source.BitmapData();
    auto withField = [&](int offset, quint32 v) {
        QByteArray b = good;
        qToLittleEndian(v, b.data() + offset);
        return b;
    };
    struct Row { const char *name; QByteArray data; };
    const Row rows[] = {
        {"empty", QByteArray()},
        {"wrong magic", "XXXX" + good.mid(4)},
        {"unknown version", withField(4, 2)},
        {"more images than the sheet holds", withField(16, 5)},
        {"width beyond the sheet", withField(8, 32)},
        {"huge count", withField(16, 0xFFFFFFFF)},
        {"zero columns", withField(20, 0)},
        {"truncated sheet", good.left(good.size() - 20)},
    };
    TImageList list;
    list.SetSize(8, 8);
    list.Add(Solid(Qt::green, 8, 8));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_THROW(list.ReadBitmapData(row.data), EReadError);
        EXPECT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Width(), 8);
    }
}

} // namespace
