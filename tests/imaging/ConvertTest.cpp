#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/PDFThumbnail.h>
#include <ZorCompCore/platform/Stream.h>

#include "Pictures.h"
#include "TestUtil.h"

#include <QImageReader>

using namespace zor;

namespace {

QImage Decode(const QByteArray &bytes)
{
    QImage img;
    img.loadFromData(bytes);
    return img;
}

QString ConvertError(const QByteArray &source, const QString &format)
{
    TBytesStream src(source), dst;
    try {
        ConvertImageFormat(src, dst, format);
    } catch (const EEnvisionError &e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}

TEST(ConvertImageFormat, SameClassCopiesTheBytesUnchanged)
{
    // A text chunk would not survive a decode and re-encode.
    const QByteArray png = Encode(HalfRed(10, 10), "png", "Comment");
    for (const char *format : {"png", ".PNG"}) {
        TBytesStream src(png), dst(QByteArray("old content longer than nothing"));
        dst.SetSize(0);
        ConvertImageFormat(src, dst, QString::fromLatin1(format));
        EXPECT_EQ(dst.Position(), 0);
        EXPECT_EQ(dst.Bytes(), png) << format;
    }
}

TEST(ConvertImageFormat, AlphaGoingToOpaqueFormatsLandsOnWhite)
{
    const QByteArray png = Encode(HalfRed(16, 8), "png");
    for (const char *format : {"jpg", "bmp"}) {
        SCOPED_TRACE(format);
        TBytesStream src(png), dst;
        ConvertImageFormat(src, dst, QString::fromLatin1(format));
        EXPECT_EQ(GuessImageDataFormat(dst.Bytes()), QString::fromLatin1(format));
        const QImage out = Decode(dst.Bytes());
        ASSERT_EQ(out.size(), QSize(16, 8));
        EXPECT_TRUE(IsReddish(out.pixel(1, 4)));
        EXPECT_TRUE(IsWhite(out.pixel(14, 4))) << Qt::hex << out.pixel(14, 4);
    }
}

TEST(ConvertImageFormat, JpegIsWrittenAtQuality85)
{
    // Noise makes the encoded size depend on the quality.
    QImage noise(64, 64, QImage::Format_RGB32);
    quint32 x = 12345;
    for (int y = 0; y < 64; ++y)
        for (int i = 0; i < 64; ++i)
            noise.setPixel(i, y, (x = x * 1103515245u + 12345u) >> 8);
    TBytesStream src(Encode(noise, "png")), dst;
    ConvertImageFormat(src, dst, QStringLiteral("jpg"));
    QByteArray expected;
    QBuffer buf(&expected);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, "jpeg");
    w.setQuality(85);
    w.write(noise);
    EXPECT_EQ(dst.Bytes().size(), expected.size());
}

TEST(ConvertImageFormat, UnknownTargetsAndSourcesRaiseTheirMessages)
{
    const QByteArray png = Encode(HalfRed(4, 4), "png");
    EXPECT_EQ(ConvertError(png, QStringLiteral("xyz")), QStringLiteral("Unknown Graphic-Format xyz requested!"));
    EXPECT_EQ(ConvertError(A4Pdf(), QStringLiteral(".abc")),
              QStringLiteral("Unknown Graphic-Format .abc requested!"));
    EXPECT_EQ(ConvertError("no picture at all", QStringLiteral("png")),
              QStringLiteral("Unknown Graphic-Format in Source!"));
}

TEST(ConvertImageFormat, ReadsFromTheSourcePosition)
{
    TBytesStream src("skip" + kGif), dst;
    src.SetPosition(4);
    ConvertImageFormat(src, dst, QStringLiteral("gif"));
    EXPECT_EQ(dst.Bytes(), kGif);
    // Qt reads GIF but has no writer for it.
    TBytesStream none, toGif(Encode(HalfRed(4, 4), "png"));
    try {
        ConvertImageFormat(toGif, none, QStringLiteral(".GIF"));
        ADD_FAILURE() << "wrote a GIF";
    } catch (const EEnvisionError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unknown Graphic-Format .GIF requested!"));
    }
}

TEST(ConvertImageFormat, SvgRendersAtItsSizeAndRasterBecomesSvg)
{
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20">
<rect x="0" y="0" width="20" height="20" fill="#ff0000"/></svg>)";
    TBytesStream src(svg), png;
    ConvertImageFormat(src, png, QStringLiteral("png"));
    const QImage img = Decode(png.Bytes());
    ASSERT_EQ(img.size(), QSize(40, 20));
    EXPECT_TRUE(IsReddish(img.pixel(5, 10)));
    EXPECT_EQ(qAlpha(img.pixel(35, 10)), 0);

    TBytesStream back, again;
    ConvertImageFormat(png, back, QStringLiteral("svg"));
    EXPECT_EQ(GuessImageDataFormat(back.Bytes()), QStringLiteral("svg"));
    ConvertImageFormat(back, again, QStringLiteral("png"));
    const QImage round = Decode(again.Bytes());
    ASSERT_EQ(round.size(), QSize(40, 20));
    EXPECT_TRUE(IsReddish(round.pixel(5, 10)));
}

TEST(ConvertImageFormat, PdfPageOneAt300Dpi)
{
    const QByteArray pdf = A4Pdf(2);
    TBytesStream src(pdf), dst;
    ConvertImageFormat(src, dst, QStringLiteral("png"));
    const QImage page = Decode(dst.Bytes());
    // Qt writes A4 as 595 x 842 points.
    EXPECT_EQ(page.size(), QSize(2479, 3508));
    EXPECT_TRUE(IsReddish(page.pixel(100, 100)));
    EXPECT_TRUE(IsWhite(page.pixel(2400, 3400)));

    // ".pdf" copies; "pdf" without the dot writes a new document of the page.
    TBytesStream src2(pdf), copy;
    ConvertImageFormat(src2, copy, QStringLiteral(".PDF"));
    EXPECT_EQ(copy.Bytes(), pdf);
    TBytesStream src3(pdf), rewritten;
    ConvertImageFormat(src3, rewritten, QStringLiteral("pdf"));
    EXPECT_TRUE(rewritten.Bytes().startsWith("%PDF-"));
    EXPECT_NE(rewritten.Bytes(), pdf);
}

TEST(ConvertPDFToGraphic, PagesAreOneBasedAndBounded)
{
    const QByteArray pdf = A4Pdf(2);
    TBytesStream src(pdf);
    TGraphic g;
    ConvertPDFToGraphic(src, g, 72, 2, nullptr);
    EXPECT_EQ(g.Size(), QSize(595, 842));
    EXPECT_EQ(src.Position(), 0);
    for (int page : {0, 3}) {
        try {
            ConvertPDFToGraphic(src, g, 72, page, nullptr);
            ADD_FAILURE() << "page " << page;
        } catch (const EEnvisionError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("The PDF document has no page %1").arg(page));
        }
    }
    // A poster page at 300 dpi is far beyond the image allocation limit.
    TBytesStream poster(MakePdf(QSizeF(14400, 14400)));
    try {
        ConvertPDFToGraphic(poster, g, 300, 1, nullptr);
        ADD_FAILURE() << "rendered a 60000 pixel page";
    } catch (const EEnvisionError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("allocation limit"))) << e.Message().toStdString();
    }
    TBytesStream broken(QByteArray("%PDF-1.4 nothing else"));
    EXPECT_THROW(ConvertPDFToGraphic(broken, g, 72, 1, nullptr), EEnvisionError);
}

TEST(Graphic, PhotosReadUprightFromExif)
{
    // 40 x 20: left half red, right half blue; orientation 6 turns it clockwise.
    const QByteArray jpeg = WithExifOrientation(Encode(HalfRed(40, 20, true), "jpeg"), 6);
    EXPECT_EQ(TGraphic::ProbeSize(jpeg, nullptr), QSize(20, 40));
    const TGraphic g = TGraphic::Load(jpeg);
    ASSERT_EQ(g.Size(), QSize(20, 40));
    EXPECT_TRUE(IsReddish(g.Image().pixel(10, 5)));
    EXPECT_TRUE(IsBluish(g.Image().pixel(10, 35)));
    // Decoding scaled keeps the turn.
    const TGraphic small = TGraphic::Load(jpeg, nullptr, QSize(10, 20));
    ASSERT_EQ(small.Size(), QSize(10, 20));
    EXPECT_TRUE(IsReddish(small.Image().pixel(5, 2)));
    EXPECT_TRUE(IsBluish(small.Image().pixel(5, 17)));
}

TEST(Graphic, TrueColourConversionFlattensOntoWhite)
{
    TGraphic g = TGraphic::FromImage(HalfRed(8, 8));
    EnConvertToTrueColor(g);
    EXPECT_EQ(g.Image().format(), QImage::Format_RGB888);
    EXPECT_TRUE(IsWhite(g.Image().pixel(7, 0)));
    EXPECT_TRUE(IsReddish(g.Image().pixel(0, 0)));
}

} // namespace
