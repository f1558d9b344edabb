// The GDI device-context model both metafile players draw through: objects,
// saved states, window/viewport mapping, world transform, paths and clipping.
// Not public API.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <optional>
#include <vector>

namespace zor::detail {

// Bounded little-endian reads of one record; out-of-range reads give 0.
struct TRecord
{
    const uchar *data = nullptr;
    qsizetype size = 0;

    quint32 U32(qsizetype off) const;
    qint32 I32(qsizetype off) const { return qint32(U32(off)); }
    quint16 U16(qsizetype off) const;
    qint16 I16(qsizetype off) const { return qint16(U16(off)); }
    float F32(qsizetype off) const;
    quint8 U8(qsizetype off) const { return off >= 0 && off < size ? data[off] : 0; }
    bool Has(qsizetype off, qsizetype len) const { return off >= 0 && len >= 0 && off <= size && len <= size - off; }
    QByteArray Bytes(qsizetype off, qsizetype len) const
    {
        return Has(off, len) ? QByteArray(reinterpret_cast<const char *>(data + off), len) : QByteArray();
    }
};

QColor ColorRef(quint32 c);
// A device-independent bitmap (BITMAPINFO + bits, or embedded JPEG/PNG) as an image.
QImage DibToImage(const QByteArray &info, const QByteArray &bits);
// 8-bit text in a font's charset.
QString DecodeCharsetText(const QByteArray &bytes, int charset);

struct TGdiObject
{
    enum Kind { None, Pen, Brush, Font, Other } kind = None;
    QPen pen;
    QBrush brush;
    QFont font;
    double fontHeight = 12;   // logical units; < 0: character height
    double escapement = 0;    // degrees, counter-clockwise
    int charset = 0;
};

struct TDcState
{
    QPen pen{QColor(Qt::black), 0};
    QBrush brush{Qt::white};
    TGdiObject font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = 2;          // OPAQUE
    quint32 textAlign = 0;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    int mapMode = 1;         // MM_TEXT
    QPointF winOrg, vpOrg;
    QSizeF winExt{1, 1}, vpExt{1, 1};
    QTransform world;
    QPointF cur;
    std::optional<QPainterPath> clip;  // device space
};

class TGdiPlayer
{
public:
    // base maps device space onto the painter's coordinates (before the
    // painter's own transform, which is kept); pxPerMm is the
    // reference device's resolution (for the fixed mapping modes).
    TGdiPlayer(QPainter &painter, const QTransform &base, double pxPerMm, int handles);
    ~TGdiPlayer();

    TDcState s;
    std::vector<TGdiObject> objects;

    QTransform PageTransform() const;
    QTransform Full() const { return s.world * PageTransform() * FBase; }

    void SaveDC();
    void RestoreDC(int n);
    void Select(quint32 index);
    void Delete(quint32 index);
    void ApplyClip();
    void IntersectClip(const QRectF &logical);
    void ExcludeClip(const QRectF &logical);
    void SetClipDevice(const std::optional<QPainterPath> &path, int mode);

    // Drawing in logical coordinates (added to the open path while one is recorded).
    void MoveTo(QPointF p);
    void LineTo(QPointF p);
    void Polyline(const QPolygonF &pts);
    void Polygon(const QPolygonF &pts);
    void PolyPolygon(const std::vector<QPolygonF> &polys);
    void PolyBezier(const QPolygonF &pts, bool fromCurrent);
    void PolylineTo(const QPolygonF &pts);
    void Rectangle(const QRectF &r);
    void RoundRect(const QRectF &r, QSizeF corner);
    void Ellipse(const QRectF &r);
    void Arc(const QRectF &box, QPointF start, QPointF end, int kind); // 0 arc, 1 chord, 2 pie, 3 arcto
    void Text(QPointF ref, const QString &text, quint32 options, const QRectF &rect);
    void Image(const QRectF &dest, const QImage &image, const QRect &source, quint32 rop);
    void FillRect(const QRectF &r, quint32 rop);

    void BeginPath();
    void EndPath() { FRecording = false; }
    void CloseFigure() { if (FPath) FPath->closeSubpath(); }
    void AbortPath() { FPath.reset(); FRecording = false; }
    void FillPath(bool fill, bool stroke);
    void SelectClipPath(int mode);

    int drawn = 0;  // drawing operations so far

private:
    void Draw(const QPainterPath &path, bool fill, bool stroke);
    QPainter &FPainter;
    QTransform FBase;
    double FPxPerMm;
    std::vector<TDcState> FStack;
    std::optional<QPainterPath> FPath;
    bool FRecording = false;
};

// Record-level players; both stop at the end record or the first record
// whose size does not fit the data.
void PlayEmfRecords(const QByteArray &data, TGdiPlayer &gdi);
void PlayWmfRecords(const QByteArray &data, qsizetype start, TGdiPlayer &gdi);

} // namespace zor::detail
