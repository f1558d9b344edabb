#include <ZorCompCore/imaging/EnvisionUtils.h>
#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/Metafile.h>
#include <ZorCompCore/platform/Stream.h>

#include "Pictures.h"
#include "TestUtil.h"

#ifdef ZOR_HAVE_LIBEMF
#include "EmfMaker.h"
#endif

#include <QtEndian>

using namespace zor;

namespace {

// Little-endian record builder for hand-made metafiles.
struct Bytes
{
    QByteArray b;
    Bytes &u16(quint16 v) { char c[2]; qToLittleEndian(v, c); b.append(c, 2); return *this; }
    Bytes &i16(qint16 v) { return u16(quint16(v)); }
    Bytes &u32(quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); return *this; }
};

// A WMF record: size in words, function, parameters.
QByteArray WmfRecord(quint16 fn, std::initializer_list<qint16> params)
{
    Bytes r;
    r.u32(quint32(3 + params.size())).u16(fn);
    for (qint16 p : params)
        r.i16(p);
    return r.b;
}

// Placeable WMF, 200 x 100 logical units at 200 units per inch (96 x 48 px).
QByteArray MakeWmf(const QByteArray &records)
{
    Bytes h;
    h.u32(0x9AC6CDD7).u16(0).i16(0).i16(0).i16(200).i16(100).u16(200).u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= qFromLittleEndian<quint16>(h.b.constData() + i * 2);
    h.u16(sum);
    const QByteArray body = records + WmfRecord(0x0000, {});
    h.u16(1).u16(9).u16(0x0300).u32(quint32((18 + body.size()) / 2)).u16(4).u32(16).u16(0);
    return h.b + body;
}

QByteArray RedLeftBlueEllipseWmf()
{
    Bytes brush;
    brush.u32(7).u16(0x02FC).u16(0).u32(0x0000FF).u16(0);  // solid red
    Bytes blue;
    blue.u32(7).u16(0x02FC).u16(0).u32(0xFF0000).u16(0);   // solid blue
    Bytes nullPen;
    nullPen.u32(8).u16(0x02FA).u16(5).i16(0).i16(0).u32(0);
    return MakeWmf(nullPen.b + WmfRecord(0x012D, {0}) + brush.b + WmfRecord(0x012D, {1}) +
                   WmfRecord(0x041B, {101, 101, 0, 0}) +          // rectangle: bottom, right, top, left
                   blue.b + WmfRecord(0x012D, {2}) +
                   WmfRecord(0x0418, {90, 190, 10, 110}));        // ellipse in the right half
}

QImage Play(const QByteArray &data, QSize size)
{
    TMetafile mf;
    mf.LoadFromBytes(data);
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    mf.Play(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

TEST(Wmf, HandMadePictureLandsWhereDrawn)
{
    const QByteArray wmf = RedLeftBlueEllipseWmf();
    EXPECT_EQ(GuessImageDataFormat(wmf), QStringLiteral("wmf"));
    TMetafile mf;
    mf.LoadFromBytes(wmf);
    EXPECT_FALSE(mf.IsEnhanced());
    EXPECT_EQ(mf.Size(), QSize(96, 48));
    const QImage img = Play(wmf, QSize(200, 100));
    EXPECT_TRUE(IsReddish(img.pixel(20, 50)));
    EXPECT_TRUE(IsReddish(img.pixel(95, 95)));
    EXPECT_TRUE(IsBluish(img.pixel(150, 50)));
    EXPECT_TRUE(IsWhite(img.pixel(195, 5)));   // outside the ellipse
    EXPECT_TRUE(IsWhite(img.pixel(105, 50)));  // between the shapes
}

TEST(Wmf, WindowRecordsMapOntoTheFrame)
{
    // Window 0..20 x 0..10 over the 200 x 100 frame: a rectangle at 10..20 is the right half.
    Bytes green;
    green.u32(7).u16(0x02FC).u16(0).u32(0x00FF00).u16(0);
    const QByteArray wmf = MakeWmf(WmfRecord(0x020B, {0, 0}) + WmfRecord(0x020C, {10, 20}) + green.b +
                                   WmfRecord(0x012D, {0}) + WmfRecord(0x041B, {11, 21, 0, 10}));
    const QImage img = Play(wmf, QSize(200, 100));
    EXPECT_TRUE(IsWhite(img.pixel(50, 50)));
    EXPECT_EQ(img.pixel(150, 50), qRgb(0, 255, 0));
}

TEST(Wmf, DamagedRecordsEndThePictureWithoutHarm)
{
    QByteArray wmf = RedLeftBlueEllipseWmf();
    // Every prefix either loads and plays or is refused; none crashes.
    for (int n = 0; n < wmf.size(); ++n) {
        TMetafile mf;
        try {
            mf.LoadFromBytes(wmf.left(n));
        } catch (const EEnvisionError &) {
            continue;
        }
        QImage img(50, 25, QImage::Format_ARGB32);
        QPainter p(&img);
        mf.Play(p, img.rect());
    }
    // A polygon claiming more points than its record holds draws nothing.
    const QByteArray liar = MakeWmf(WmfRecord(0x0324, {30000, 0, 0, 200, 0, 200, 100}));
    EXPECT_TRUE(IsWhite(Play(liar, QSize(20, 10)).pixel(15, 2)));
    // An object index beyond the table is ignored.
    const QByteArray badIndex = MakeWmf(WmfRecord(0x012D, {-1}) + WmfRecord(0x01F0, {500}) +
                                        WmfRecord(0x041B, {100, 200, 0, 0}));
    EXPECT_NO_THROW(Play(badIndex, QSize(20, 10)));
}

// EMF built by hand: header (frame 0..2000 x 0..1000 in 0.01 mm, a 96-dpi
// device) plus records.
QByteArray MakeEmf(const QByteArray &records)
{
    Bytes h;
    h.u32(1).u32(88);
    h.u32(0).u32(0).u32(75).u32(37);          // bounds
    h.u32(0).u32(0).u32(2000).u32(1000);      // frame, 0.01 mm
    h.u32(0x464D4520).u32(0x10000).u32(0).u32(0);
    h.u16(4).u16(0).u32(0).u32(0).u32(0);
    h.u32(960).u32(960).u32(254).u32(254);    // device: 960 px on 254 mm (96 dpi)
    QByteArray eof = Bytes().u32(14).u32(20).u32(0).u32(16).u32(20).b;
    QByteArray all = h.b + records + eof;
    qToLittleEndian(quint32(all.size()), all.data() + 48);
    return all;
}

QByteArray EmfPlusComment()
{
    return Bytes().u32(70).u32(28).u32(16).u32(0x2B464D45).u32(0x4001).u32(0).u32(0).b;
}

QByteArray EmfRectangle()
{
    QByteArray brush = Bytes().u32(39).u32(24).u32(1).u32(0).u32(0x0000FF).u32(0).b;
    QByteArray select = Bytes().u32(37).u32(12).u32(1).b;
    QByteArray rect = Bytes().u32(43).u32(24).u32(0).u32(0).u32(38).u32(38).b;
    return brush + select + Bytes().u32(37).u32(12).u32(0x80000008).b + rect;
}

TEST(Emf, DualFilesDrawFromEmfAndPlusOnlyFilesAreRefused)
{
    const QByteArray dual = MakeEmf(EmfPlusComment() + EmfRectangle());
    EXPECT_EQ(GuessImageDataFormat(dual), QStringLiteral("emf"));
    TMetafile mf;
    mf.LoadFromBytes(dual);
    EXPECT_EQ(mf.Size(), QSize(76, 38)); // 20 x 10 mm at 96 dpi
    const QImage img = Play(dual, QSize(76, 38));
    EXPECT_TRUE(IsReddish(img.pixel(10, 10)));
    EXPECT_TRUE(IsWhite(img.pixel(60, 10)));

    try {
        mf.LoadFromBytes(MakeEmf(EmfPlusComment()));
        ADD_FAILURE() << "EMF+-only file loaded";
    } catch (const EEnvisionError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("EMF+"))) << e.Message().toStdString();
    }
    // The failed load kept the earlier picture.
    EXPECT_EQ(mf.Size(), QSize(76, 38));
}

// STRETCHDIBITS over the whole 76 x 38 frame, from a BITMAPINFOHEADER with
// the given compression and bits.
QByteArray EmfStretchDib(int w, int h, quint16 bpp, quint32 compression, const QByteArray &bits)
{
    Bytes info;
    info.u32(40).u32(quint32(w)).u32(quint32(h)).u16(1).u16(bpp).u32(compression).u32(quint32(bits.size()))
        .u32(0).u32(0).u32(0).u32(0);
    Bytes r;
    r.u32(81).u32(80 + 40 + quint32(bits.size()));
    r.u32(0).u32(0).u32(75).u32(37);                 // bounds
    r.u32(0).u32(0).u32(0).u32(0).u32(quint32(w)).u32(quint32(h)); // dest x, y; src x, y, w, h
    r.u32(80).u32(40).u32(120).u32(quint32(bits.size())).u32(0).u32(0x00CC0020);
    r.u32(76).u32(38);                               // dest size
    return r.b + info.b + bits;
}

TEST(Emf, BitmapsOfEveryKindLandWhereDrawn)
{
    // 2 x 2, 24 bits, bottom-up: rows padded to 4 bytes, pixels as B, G, R.
    const QByteArray rgb = QByteArray::fromHex("ff0000ffffff0000" "0000ff00ff000000");
    // The same picture as an embedded PNG (top row red, green; bottom blue, white).
    QImage quad(2, 2, QImage::Format_RGB32);
    quad.setPixel(0, 0, qRgb(255, 0, 0));
    quad.setPixel(1, 0, qRgb(0, 255, 0));
    quad.setPixel(0, 1, qRgb(0, 0, 255));
    quad.setPixel(1, 1, qRgb(255, 255, 255));
    struct Row { const char *name; QByteArray record; };
    const Row rows[] = {
        {"24-bit DIB", EmfStretchDib(2, 2, 24, 0, rgb)},
        {"embedded PNG", EmfStretchDib(2, 2, 0, 5, Encode(quad, "png"))},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage img = Play(MakeEmf(row.record), QSize(76, 38));
        EXPECT_TRUE(IsReddish(img.pixel(10, 5)));
        EXPECT_EQ(img.pixel(65, 5), qRgb(0, 255, 0));
        EXPECT_TRUE(IsBluish(img.pixel(10, 32)));
        EXPECT_TRUE(IsWhite(img.pixel(65, 32)));
    }
    // Bits shorter than the header promises: no picture, no crash.
    EXPECT_NO_THROW(Play(MakeEmf(EmfStretchDib(4000, 4000, 32, 0, rgb)), QSize(76, 38)));
}

TEST(Emf, CountsLargerThanTheirRecordDrawNothing)
{
    // Found by fuzzing: a poly-polygon record too short for its own counts.
    const QByteArray shortPolyPolygon = Bytes().u32(8).u32(28).u32(0).u32(0).u32(0).u32(0).u32(0xFFFFFFFF).b;
    const QByteArray manyPoints = Bytes().u32(3).u32(36).u32(0).u32(0).u32(0).u32(0).u32(0x40000000).u32(0).b;
    for (const QByteArray &record : {shortPolyPolygon, manyPoints}) {
        const QImage img = Play(MakeEmf(EmfRectangle().left(48) + record), QSize(76, 38));
        EXPECT_TRUE(IsWhite(img.pixel(10, 10)));
    }
}

TEST(Emf, ThumbnailsOfMetafilesArePng)
{
    QByteArray emf = MakeEmf(EmfRectangle());
    ASSERT_TRUE(ConvertImage(emf, 19, 0, QString()));
    EXPECT_EQ(GuessImageDataFormat(emf), QStringLiteral("png"));
    QImage img;
    img.loadFromData(emf);
    EXPECT_EQ(img.size(), QSize(38, 19));
    // Metafiles are read only: as a target they are unknown.
    TBytesStream src(Encode(HalfRed(4, 4), "png")), dst;
    EXPECT_THROW(ConvertImageFormat(src, dst, QStringLiteral("emf")), EEnvisionError);
}

#ifdef ZOR_HAVE_LIBEMF

QByteArray Q(const std::string &s) { return QByteArray(s.data(), qsizetype(s.size())); }

// The 100 x 50 mm frame is 320 x 160 reference pixels; played at that size
// one picture pixel is one device pixel.
TEST(Emf, LibEmfDrawingsLandWhereDrawn)
{
    const QSize frame(320, 160);
    {
        SCOPED_TRACE("shapes");
        const QByteArray emf = Q(emfmaker::Shapes());
        TMetafile mf;
        mf.LoadFromBytes(emf);
        EXPECT_EQ(mf.Size(), QSize(378, 189)); // 100 x 50 mm at 96 dpi
        const QImage img = Play(emf, frame);
        EXPECT_TRUE(IsReddish(img.pixel(5, 5)));
        EXPECT_TRUE(IsReddish(img.pixel(155, 155)));
        EXPECT_TRUE(IsBluish(img.pixel(250, 80)));
        EXPECT_TRUE(IsWhite(img.pixel(180, 80)));
        EXPECT_TRUE(IsWhite(img.pixel(315, 5)));
    }
    {
        SCOPED_TRACE("mapped");
        const QImage img = Play(Q(emfmaker::Mapped()), frame);
        EXPECT_TRUE(IsWhite(img.pixel(100, 80)));
        EXPECT_EQ(img.pixel(250, 80), qRgb(0, 255, 0));
    }
    {
        SCOPED_TRACE("world transform");
        const QImage img = Play(Q(emfmaker::WorldScaled()), frame);
        EXPECT_TRUE(IsReddish(img.pixel(150, 150)));
        EXPECT_TRUE(IsWhite(img.pixel(170, 80)));
    }
    {
        SCOPED_TRACE("triangle and bezier");
        const QImage img = Play(Q(emfmaker::Triangle()), frame);
        EXPECT_TRUE(IsReddish(img.pixel(20, 20)));
        EXPECT_TRUE(IsWhite(img.pixel(300, 150)) || IsBluish(img.pixel(300, 150)));
        EXPECT_TRUE(IsWhite(img.pixel(250, 140)));
        // The curve passes near its middle at y = 112.5 (three quarters of the way up from 150 to 100).
        bool blue = false;
        for (int y = 105; y <= 120; ++y)
            blue = blue || IsBluish(img.pixel(255, y));
        EXPECT_TRUE(blue);
    }
    {
        SCOPED_TRACE("text");
        const QImage img = Play(Q(emfmaker::Text()), frame);
        int dark = 0, darkOutside = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 320; ++x) {
                const bool d = qGray(img.pixel(x, y)) < 100;
                (x < 120 && y < 90 ? dark : darkOutside) += d;
            }
        EXPECT_GT(dark, 200);
        EXPECT_EQ(darkOutside, 0);
    }
}

TEST(Emf, TruncatedLibEmfFilesNeverCrash)
{
    const QByteArray emf = Q(emfmaker::Triangle());
    for (int n = 0; n < emf.size(); n += 3) {
        QByteArray part = emf.left(n);
        TMetafile mf;
        try {
            mf.LoadFromBytes(part);
        } catch (const EEnvisionError &) {
            continue;
        }
        QImage img(64, 32, QImage::Format_ARGB32);
        QPainter p(&img);
        mf.Play(p, img.rect());
    }
}

#endif

} // namespace
