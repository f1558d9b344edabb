// A picture of any registered class: raster pixels, or a vector drawing (SVG,
// metafile) that is rendered at the size asked for. Reading is bounded:
// raster decodes keep Qt's allocation limit, renders are checked against it.
#pragma once

#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/zor_export.h>

#include <QImage>
#include <QSize>

#include <memory>

class QPainter;
class QRectF;

namespace zor {

class TStream;
class TGraphicPrivate;

class ZOR_EXPORT TGraphic
{
public:
    TGraphic();
    TGraphic(const TGraphic &);
    TGraphic &operator=(const TGraphic &);
    ~TGraphic();

    // Reads a picture of class cls (nullptr: guess from the content).
    // PDF data gives page 1 rendered at 72 dpi. decodeSize, when valid, asks
    // raster readers for that size (JPEG then decodes scaled, which is much
    // faster). Raises EEnvisionError for data no class reads.
    static TGraphic Load(const QByteArray &data, const TGraphicClass *cls = nullptr,
                         QSize decodeSize = {});
    // The upright size (EXIF orientation applied) without decoding pixels;
    // invalid when unknown. PDF: page 1 at 72 dpi.
    static QSize ProbeSize(const QByteArray &data, const TGraphicClass *cls);
    // A raster picture of class cls (nullptr: "bmp").
    static TGraphic FromImage(const QImage &image, const TGraphicClass *cls = nullptr);

    bool IsEmpty() const;
    const TGraphicClass *GraphicClass() const;
    void SetGraphicClass(const TGraphicClass *cls);   // what Save writes by default
    QSize Size() const;                                // pixels
    bool IsVector() const;
    // Raster pixels (null for a vector picture).
    QImage Image() const;

    // Draws the picture scaled into target (vector stays vector on SVG and PDF painters).
    void Draw(QPainter &painter, const QRectF &target) const;
    // The picture as pixels at size; opaque: on white, without alpha.
    QImage ToImage(QSize size, bool opaque) const;
    // Resamples to size (smooth); a vector picture only changes its size.
    void Resize(QSize size);
    // Replaces the content by raster pixels, keeping the class.
    void AssignImage(const QImage &image);

    // Writes the picture in the format of cls (nullptr: its own class), at its size.
    // Raises EEnvisionError "Unknown Graphic-Format X requested!" when cls cannot write.
    void SaveToStream(TStream &dest, const TGraphicClass *cls = nullptr) const;
    QByteArray SaveToBytes(const TGraphicClass *cls = nullptr) const;

private:
    std::shared_ptr<TGraphicPrivate> d;
};

// "Unknown Graphic-Format <format> requested!"
[[noreturn]] ZOR_EXPORT void RaiseUnknownFormat(const QString &format);

} // namespace zor
