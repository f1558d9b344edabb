#include <ZorCompCore/core/InterfacedStream.h>
#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/PDFThumbnail.h>
#include <ZorCompCore/platform/Stream.h>

#include "Pictures.h"
#include "TestUtil.h"

using namespace zor;

namespace {

QImage Decode(const QByteArray &bytes)
{
    QImage img;
    img.loadFromData(bytes);
    return img;
}

const QByteArray kOldDest = QByteArray(100000, 'x');

TEST(Thumbnail, SizeDerivesRoundsHalfToEvenAndNeverEnlarges)
{
    struct Row { const char *name; QSize source; int h, w; QSize expected; };
    const Row rows[] = {
        {"height given", {400, 100}, 50, 0, {200, 50}},
        {"derived larger in both directions", {400, 100}, 200, 0, {400, 100}},
        {"half goes to even", {500, 200}, 45, 0, {112, 45}},
        {"width given, half to even", {400, 100}, 0, 50, {50, 12}},
        {"both given stretch", {400, 100}, 30, 30, {30, 30}},
        {"larger only in width still resizes", {400, 100}, 50, 800, {800, 50}},
        {"zero by zero keeps", {400, 100}, 0, 0, {400, 100}},
        {"A4 at 72 dpi, width 200", {595, 842}, 0, 200, {200, 283}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ThumbnailSize(row.source, row.h, row.w), row.expected);
    }
}

TEST(Thumbnail, RasterKeepsItsFormatAndDestinationIsReplaced)
{
    TBytesStream src(Encode(HalfRed(400, 100), "png")), dest(kOldDest);
    ASSERT_TRUE(CreateImageTumbnail(src, dest, 50, 0, QString()));
    EXPECT_EQ(dest.Position(), 0);
    const QByteArray out = dest.Bytes();
    EXPECT_EQ(GuessImageDataFormat(out), QStringLiteral("png"));
    EXPECT_FALSE(out.contains("xxxxxxxx")); // nothing left of the old content
    const QImage img = Decode(out);
    ASSERT_EQ(img.size(), QSize(200, 50));
    EXPECT_TRUE(IsReddish(img.pixel(20, 25)));
    EXPECT_EQ(qAlpha(img.pixel(180, 25)), 0);

    // A JPEG stays a JPEG; a PNG asked for as JPEG lands on white.
    QByteArray jpeg = Encode(HalfRed(400, 100, true), "jpeg");
    ASSERT_TRUE(ConvertImage(jpeg, 50, 0, QString()));
    EXPECT_EQ(GuessImageDataFormat(jpeg), QStringLiteral("jpg"));
    EXPECT_EQ(Decode(jpeg).size(), QSize(200, 50));
    QByteArray png = Encode(HalfRed(400, 100), "png");
    ASSERT_TRUE(ConvertImage(png, 0, 100, QStringLiteral(".JPG")));
    EXPECT_EQ(GuessImageDataFormat(png), QStringLiteral("jpg"));
    EXPECT_TRUE(IsWhite(Decode(png).pixel(90, 12)));
    // A GIF cannot be written: its thumbnail comes as PNG.
    QByteArray gif = kGif;
    ASSERT_TRUE(ConvertImage(gif, 0, 0, QString()));
    EXPECT_EQ(GuessImageDataFormat(gif), QStringLiteral("png"));
}

TEST(Thumbnail, SmallerPicturesKeepTheirSizeBytesAreNotTouchedOnFailure)
{
    QByteArray png = Encode(HalfRed(40, 10), "png");
    ASSERT_TRUE(ConvertImage(png, 200, 0, QString()));
    EXPECT_EQ(Decode(png).size(), QSize(40, 10));

    QByteArray junk("not a picture");
    EXPECT_FALSE(ConvertImage(junk, 10, 10, QString()));
    EXPECT_EQ(junk, QByteArray("not a picture"));
    QByteArray empty;
    EXPECT_FALSE(ConvertImage(empty, 10, 10, QString()));

    // An empty source leaves the destination alone.
    TBytesStream none, dest(QByteArray("keep"));
    EXPECT_FALSE(CreateImageTumbnail(none, dest, 10, 10, QString()));
    EXPECT_EQ(dest.Bytes(), QByteArray("keep"));
}

TEST(Thumbnail, VectorPicturesBecomePngRenderedAtTheThumbnailSize)
{
    QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="200" viewBox="0 0 2 1">
<rect x="0" y="0" width="1" height="1" fill="#ff0000"/></svg>)";
    ASSERT_TRUE(ConvertImage(svg, 10, 0, QString()));
    EXPECT_EQ(GuessImageDataFormat(svg), QStringLiteral("png"));
    const QImage img = Decode(svg);
    ASSERT_EQ(img.size(), QSize(20, 10));
    EXPECT_TRUE(IsReddish(img.pixel(3, 5)));
    EXPECT_EQ(qAlpha(img.pixel(17, 5)), 0);
}

TEST(Thumbnail, PhotosComeOutUpright)
{
    QByteArray jpeg = WithExifOrientation(Encode(HalfRed(400, 200, true), "jpeg"), 6);
    ASSERT_TRUE(ConvertImage(jpeg, 40, 0, QStringLiteral("png")));
    const QImage img = Decode(jpeg);
    ASSERT_EQ(img.size(), QSize(20, 40));
    EXPECT_TRUE(IsReddish(img.pixel(10, 5)));
    EXPECT_TRUE(IsBluish(img.pixel(10, 35)));
}

TEST(Thumbnail, PdfPageOneAtTheSizesOf72Dpi)
{
    IPtr<IDataStream> src(new TInterfacedStream(new TBytesStream(A4Pdf(2)), true));
    IPtr<IDataStream> dest(new TInterfacedStream(new TBytesStream(kOldDest), true));
    ASSERT_TRUE(CreatePDFTumbnail(src, dest, 0, 200, QString()));
    TDataStreamWrapper out(dest);
    EXPECT_EQ(out.Position(), 0);
    const QByteArray bytes = out.ReadAll();
    EXPECT_EQ(GuessImageDataFormat(bytes), QStringLiteral("png"));
    EXPECT_FALSE(bytes.contains("xxxxxxxx")); // the destination was emptied first
    const QImage page = Decode(bytes);
    ASSERT_EQ(page.size(), QSize(200, 283));
    EXPECT_TRUE(IsReddish(page.pixel(20, 20)));
    EXPECT_TRUE(IsWhite(page.pixel(180, 260)));

    // The general worker takes the same route for PDF data.
    IPtr<IDataStream> dest2(new TInterfacedStream(new TBytesStream, true));
    ASSERT_TRUE(CreateEnTumbnail(src, dest2, 0, 200, QStringLiteral("jpg")));
    TDataStreamWrapper out2(dest2);
    EXPECT_EQ(Decode(out2.ReadAll()).size(), QSize(200, 283));

    IPtr<IDataStream> notPdf(new TInterfacedStream(new TBytesStream(Encode(HalfRed(4, 4), "png")), true));
    EXPECT_FALSE(CreatePDFTumbnail(notPdf, dest2, 0, 200, QString()));
}

// Renders the 40 x 20 picture (left red, right blue) into a w x h image.
QImage Rendered(int rotation, int w, int h, int offsetX = 0)
{
    TBytesStream src(Encode(HalfRed(40, 20, true), "png"));
    QImage out(w, h, QImage::Format_RGB32);
    out.fill(Qt::green);
    QPainter p(&out);
    EMFRenderImageToDC(src, &p, offsetX, 0, w, h, 0, 0, rotation, false, false);
    return out;
}

TEST(RenderImageToDC, TurnsClockwiseAndFitsTheTurnedPicture)
{
    QImage img = Rendered(0, 40, 20);
    EXPECT_TRUE(IsReddish(img.pixel(5, 10)));
    EXPECT_TRUE(IsBluish(img.pixel(35, 10)));

    img = Rendered(0, 40, 20, 20); // shifted left by half the picture
    EXPECT_TRUE(IsBluish(img.pixel(5, 10)));
    EXPECT_TRUE(IsWhite(img.pixel(35, 10)));

    img = Rendered(90, 20, 40); // left edge goes to the top
    EXPECT_TRUE(IsReddish(img.pixel(10, 5)));
    EXPECT_TRUE(IsBluish(img.pixel(10, 35)));

    img = Rendered(-90, 20, 40); // the same as 270: left edge to the bottom
    EXPECT_TRUE(IsBluish(img.pixel(10, 5)));
    EXPECT_TRUE(IsReddish(img.pixel(10, 35)));
    EXPECT_EQ(Rendered(270, 20, 40), img);

    img = Rendered(180, 40, 20);
    EXPECT_TRUE(IsBluish(img.pixel(5, 10)));
    EXPECT_TRUE(IsReddish(img.pixel(35, 10)));

    // Turned and stretched into another shape: still the whole picture.
    img = Rendered(90, 60, 60);
    EXPECT_TRUE(IsReddish(img.pixel(30, 2)));
    EXPECT_TRUE(IsBluish(img.pixel(30, 57)));
}

TEST(RenderImageToDC, OtherAnglesPaintOnlyWhite)
{
    for (int rotation : {45, 360, 450, -1}) {
        const QImage img = Rendered(rotation, 40, 20);
        EXPECT_TRUE(IsWhite(img.pixel(5, 10))) << rotation;
        EXPECT_TRUE(IsWhite(img.pixel(35, 10))) << rotation;
    }
}

} // namespace
