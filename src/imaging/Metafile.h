// Windows metafiles (EMF and WMF, read only) played onto a QPainter.
//
// What office and drawing programs emit is drawn: pens, brushes, fonts and
// stock objects, saved DC states, mapping modes with window and viewport,
// world transforms, lines, shapes, polygons, Béziers (32- and 16-bit points),
// paths, clipping, text (8-bit text through the font's charset) and DIBs of
// 1 to 32 bits per pixel or embedded JPEG/PNG. Unknown records are skipped by
// their size; EMF+ comments are skipped too, so a dual EMF+ file draws from
// its EMF records, and an EMF+-only file (nothing drawn in EMF) is refused.
//
// Reading is bounded: every record size is checked against the bytes left,
// point counts against the record, object indices against the handle table,
// bitmaps against the image allocation limit. No Debian library plays both
// formats under a licence we can link, hence this player.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QRectF>
#include <QSize>

#include <memory>

class QPainter;

namespace zor {

class TMetafilePrivate;

class ZOR_EXPORT TMetafile
{
public:
    TMetafile();
    ~TMetafile();
    TMetafile(const TMetafile &) = delete;
    TMetafile &operator=(const TMetafile &) = delete;

    // An EMF header record (type 1 with the " EMF" signature).
    static bool IsEmf(const QByteArray &Data);
    // A WMF, with or without the placeable header.
    static bool IsWmf(const QByteArray &Data);

    // Keeps the data after checking the header; raises EEnvisionError when
    // it is no metafile or (EMF) only carries EMF+ drawing.
    void LoadFromBytes(const QByteArray &Data);
    bool IsEnhanced() const;
    // The picture frame in pixels at 96 dpi.
    QSize Size() const;
    // Plays the records, mapping the picture frame onto Target.
    void Play(QPainter &Painter, const QRectF &Target) const;

private:
    std::unique_ptr<TMetafilePrivate> d;
};

} // namespace zor
