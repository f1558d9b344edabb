// Pictures made in the tests themselves: raster files through Qt's writers,
// PDF pages through QPdfWriter, JPEGs with an EXIF orientation.
#pragma once

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QList>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QtEndian>

// A 1 x 1 transparent GIF (Qt reads GIF but does not write it).
inline const QByteArray kGif = QByteArray::fromHex(
    "47494638396101000100800000000000ffffff21"
    "f90401000000002c000000000100010000020144003b");

// w x h: left half opaque red, right half transparent (or blue when opaque).
inline QImage HalfRed(int w, int h, bool opaque = false)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(opaque ? Qt::blue : Qt::transparent);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h, Qt::red);
    return img;
}

inline QByteArray Encode(const QImage &img, const char *format, const QByteArray &textKey = {})
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, format);
    if (!textKey.isEmpty())
        w.setText(QString::fromLatin1(textKey), QStringLiteral("kept"));
    w.write(img);
    return bytes;
}

// A one- or more-page PDF of the given page size (points); the top-left
// quarter of each page red.
inline QByteArray MakePdf(QSizeF points, int pages = 1)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buf);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(points, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i)
            writer.newPage();
        p.fillRect(QRectF(0, 0, writer.width() / 2.0, writer.height() / 2.0), Qt::red);
    }
    p.end();
    return bytes;
}

inline QByteArray A4Pdf(int pages = 1) { return MakePdf(QSizeF(595.276, 841.89), pages); }

// jpeg with an APP1 Exif segment carrying only the orientation tag.
inline QByteArray WithExifOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    auto u16 = [&](quint16 v) { char b[2]; qToLittleEndian(v, b); tiff.append(b, 2); };
    auto u32 = [&](quint32 v) { char b[4]; qToLittleEndian(v, b); tiff.append(b, 4); };
    u16(1);                 // one entry
    u16(0x0112); u16(3); u32(1); u16(orientation); u16(0);
    u32(0);                 // no next IFD
    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray seg("\xFF\xE1", 2);
    char len[2];
    qToBigEndian(quint16(app1.size() + 2), len);
    seg.append(len, 2).append(app1);
    return jpeg.left(2) + seg + jpeg.mid(2);
}

// A w x h GIF whose frames are filled with colours in turn (at most four),
// delayMs apart, looping forever. Pixels are coded one LZW code each, with a
// clear code after every second one so that codes stay three bits wide.
inline QByteArray AnimatedGif(int w, int h, const QList<QColor> &colours, int delayMs)
{
    QByteArray out("GIF89a");
    auto u16 = [&](int v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    u16(w);
    u16(h);
    out.append(char(0x91)).append(char(0)).append(char(0)); // a table of four colours
    for (int i = 0; i < 4; ++i) {
        const QColor c = colours.value(i, Qt::black);
        out.append(char(c.red())).append(char(c.green())).append(char(c.blue()));
    }
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int f = 0; f < colours.size(); ++f) {
        out.append("\x21\xF9\x04\x04", 4); // graphic control: keep the frame
        u16(delayMs / 10);
        out.append(char(0)).append(char(0));
        out.append(char(0x2C));
        u16(0);
        u16(0);
        u16(w);
        u16(h);
        out.append(char(0)).append(char(2)); // no local table; codes start at two bits
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        auto code = [&](quint32 c) {
            bits |= c << count;
            count += 3;
            while (count >= 8) {
                data.append(char(bits & 0xFF));
                bits >>= 8;
                count -= 8;
            }
        };
        code(4);
        for (int i = 0; i < w * h; ++i) {
            code(quint32(f));
            if (i % 2 == 1)
                code(4);
        }
        code(5);
        if (count > 0)
            data.append(char(bits & 0xFF));
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const QByteArray block = data.mid(at, 255);
            out.append(char(block.size())).append(block);
        }
        out.append(char(0));
    }
    out.append(char(0x3B));
    return out;
}

inline bool IsReddish(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60 && qAlpha(c) > 200; }
inline bool IsBluish(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }
inline bool IsWhite(QRgb c) { return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240 && qAlpha(c) == 255; }
