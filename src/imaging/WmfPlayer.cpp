#include "Metafile_p.h"

#include <QtEndian>

namespace zor::detail {

namespace {

// Parameters of WMF records are 16-bit words after the 6-byte record head,
// mostly in reverse order (y before x, bottom-right before top-left).
struct TWords
{
    const TRecord &r;
    qint16 operator[](int i) const { return r.I16(6 + i * 2); }
    int count() const { return int((r.size - 6) / 2); }
};

QRectF Ltrb(const TWords &w, int at) // params at: bottom, right, top, left
{
    return QRectF(QPointF(w[at + 3], w[at + 2]), QPointF(w[at + 1], w[at]));
}

int FreeSlot(const std::vector<TGdiObject> &objects)
{
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i].kind == TGdiObject::None)
            return int(i);
    return -1;
}

void Create(TGdiPlayer &gdi, const TGdiObject &o)
{
    // Objects take the lowest free slot; with none free the object is dropped.
    const int slot = FreeSlot(gdi.objects);
    if (slot >= 0)
        gdi.objects[size_t(slot)] = o;
}

QImage RecordDib(const TRecord &r, qsizetype off)
{
    if (!r.Has(off, 40))
        return {};
    const quint32 headerSize = r.U32(off);
    if (headerSize < 12 || headerSize > quint32(r.size - off))
        return {};
    quint32 infoSize = headerSize;
    if (headerSize >= 40) {
        const quint16 bits = r.U16(off + 14);
        quint32 colors = r.U32(off + 32);
        if (!colors && bits <= 8)
            colors = 1u << bits;
        if (r.U32(off + 16) == 3 && headerSize == 40) // BI_BITFIELDS: three masks follow
            infoSize += 12;
        if (colors > 256)
            colors = 256;
        infoSize += colors * 4;
    }
    if (infoSize > quint32(r.size - off))
        return {};
    return DibToImage(r.Bytes(off, infoSize), r.Bytes(off + infoSize, r.size - off - infoSize));
}

void TextOut(TGdiPlayer &gdi, QPointF at, const QByteArray &bytes, quint32 options, const QRectF &rect)
{
    gdi.Text(at, DecodeCharsetText(bytes, gdi.s.font.charset), options, rect);
}

} // namespace

void PlayWmfRecords(const QByteArray &data, qsizetype start, TGdiPlayer &gdi)
{
    const auto *base = reinterpret_cast<const uchar *>(data.constData());
    qsizetype pos = start;
    while (data.size() - pos >= 6) {
        const quint64 size = quint64(qFromLittleEndian<quint32>(base + pos)) * 2;
        const quint16 fn = qFromLittleEndian<quint16>(base + pos + 4);
        if (size < 6 || size > quint64(data.size() - pos))
            break; // a record that does not fit ends the picture
        const TRecord r{base + pos, qsizetype(size)};
        const TWords w{r};
        pos += qsizetype(size);
        switch (fn) {
        case 0x0000: return; // EOF
        case 0x0103: break; // the window always maps onto the picture frame
        case 0x0102: gdi.s.bkMode = w[0]; break;
        case 0x0106: gdi.s.fillRule = w[0] == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
        case 0x012E: gdi.s.textAlign = quint16(w[0]); break;
        case 0x0201: gdi.s.bkColor = ColorRef(r.U32(6)); break;
        case 0x0209: gdi.s.textColor = ColorRef(r.U32(6)); break;
        case 0x020B: gdi.s.winOrg = QPointF(w[1], w[0]); break;
        case 0x020C: gdi.s.winExt = QSizeF(w[1], w[0]); break;
        case 0x020F: gdi.s.winOrg += QPointF(w[1], w[0]); break;
        case 0x0410: // SCALEWINDOWEXT: yDenom, yNum, xDenom, xNum
            if (w[0] && w[2])
                gdi.s.winExt = QSizeF(gdi.s.winExt.width() * w[3] / w[2], gdi.s.winExt.height() * w[1] / w[0]);
            break;
        case 0x001E: gdi.SaveDC(); break;
        case 0x0127: gdi.RestoreDC(w[0]); break;
        case 0x012D: gdi.Select(quint16(w[0])); break;
        case 0x01F0: gdi.Delete(quint16(w[0])); break;
        case 0x02FA: { // CREATEPENINDIRECT
            TGdiObject o;
            o.kind = TGdiObject::Pen;
            const quint16 style = quint16(w[0]);
            const int width = w[1];
            if ((style & 0xF) == 5) {
                o.pen = QPen(Qt::NoPen);
            } else {
                static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                                      Qt::DashDotLine, Qt::DashDotDotLine};
                o.pen = QPen(ColorRef(r.U32(12)), width);
                o.pen.setStyle((style & 0xF) < 5 ? styles[style & 0xF] : Qt::SolidLine);
                o.pen.setCosmetic(width <= 1);
                if (width <= 1)
                    o.pen.setWidthF(0);
            }
            Create(gdi, o);
            break;
        }
        case 0x02FC: { // CREATEBRUSHINDIRECT
            TGdiObject o;
            o.kind = TGdiObject::Brush;
            const quint16 style = quint16(w[0]);
            const QColor color = ColorRef(r.U32(8));
            if (style == 1) {
                o.brush = QBrush(Qt::NoBrush);
            } else if (style == 2) {
                static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                         Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
                const quint16 h = r.U16(12);
                o.brush = QBrush(color, h < 6 ? hatches[h] : Qt::SolidPattern);
            } else {
                o.brush = QBrush(color);
            }
            Create(gdi, o);
            break;
        }
        case 0x0142: { // DIBCREATEPATTERNBRUSH
            TGdiObject o;
            o.kind = TGdiObject::Brush;
            const QImage pattern = RecordDib(r, 10);
            o.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
            Create(gdi, o);
            break;
        }
        case 0x02FB: { // CREATEFONTINDIRECT
            TGdiObject o;
            o.kind = TGdiObject::Font;
            o.fontHeight = w[0] ? w[0] : -12;
            o.escapement = w[2] / 10.0;
            o.font.setWeight(QFont::Weight(qBound(1, w[4] ? int(w[4]) : 400, 1000)));
            o.font.setItalic(r.U8(16));
            o.font.setUnderline(r.U8(17));
            o.font.setStrikeOut(r.U8(18));
            o.charset = r.U8(19);
            const QByteArray face = r.Bytes(24, qMin<qsizetype>(32, qMax<qsizetype>(0, r.size - 24)));
            const QString name = DecodeCharsetText(face.left(face.indexOf('\0') < 0 ? face.size() : face.indexOf('\0')), 0);
            if (!name.isEmpty())
                o.font.setFamily(name);
            Create(gdi, o);
            break;
        }
        case 0x00F7: // CREATEPALETTE
        case 0x01F9: // CREATEPATTERNBRUSH
        case 0x06FF: { // CREATEREGION: take their slots so later indices stay right
            TGdiObject o;
            o.kind = TGdiObject::Other;
            Create(gdi, o);
            break;
        }
        case 0x0214: gdi.MoveTo(QPointF(w[1], w[0])); break;
        case 0x0213: gdi.LineTo(QPointF(w[1], w[0])); break;
        case 0x041B: gdi.Rectangle(Ltrb(w, 0)); break;
        case 0x0418: gdi.Ellipse(Ltrb(w, 0)); break;
        case 0x061C: gdi.RoundRect(Ltrb(w, 2), QSizeF(w[1], w[0])); break;
        case 0x0817: case 0x0830: case 0x081A: // ARC, CHORD, PIE
            gdi.Arc(Ltrb(w, 4), QPointF(w[3], w[2]), QPointF(w[1], w[0]),
                    fn == 0x0817 ? 0 : fn == 0x0830 ? 1 : 2);
            break;
        case 0x0324: case 0x0325: { // POLYGON, POLYLINE
            const int n = quint16(w[0]);
            if (n > (w.count() - 1) / 2)
                break;
            QPolygonF pts;
            pts.reserve(n);
            for (int i = 0; i < n; ++i)
                pts << QPointF(w[1 + i * 2], w[2 + i * 2]);
            fn == 0x0324 ? gdi.Polygon(pts) : gdi.Polyline(pts);
            break;
        }
        case 0x0538: { // POLYPOLYGON
            const int polys = quint16(w[0]);
            if (polys > w.count() - 1)
                break;
            int at = 1 + polys;
            std::vector<QPolygonF> out;
            for (int p = 0; p < polys; ++p) {
                const int n = quint16(w[1 + p]);
                if (n > (w.count() - at) / 2)
                    break;
                QPolygonF pts;
                for (int i = 0; i < n; ++i)
                    pts << QPointF(w[at + i * 2], w[at + i * 2 + 1]);
                at += n * 2;
                out.push_back(pts);
            }
            gdi.PolyPolygon(out);
            break;
        }
        case 0x0521: { // TEXTOUT: length, string (padded to words), y, x
            const int len = quint16(w[0]);
            const int words = (len + 1) / 2;
            if (words + 3 > w.count())
                break;
            TextOut(gdi, QPointF(w[2 + words], w[1 + words]), r.Bytes(8, len), 0, QRectF());
            break;
        }
        case 0x0A32: { // EXTTEXTOUT: y, x, length, options, [rect], string
            const int len = quint16(w[2]);
            const quint16 options = quint16(w[3]);
            qsizetype off = 14;
            QRectF rect;
            if (options & 0x6) { // ETO_OPAQUE | ETO_CLIPPED carry a rectangle
                rect = QRectF(QPointF(w[4], w[5]), QPointF(w[6], w[7]));
                off += 8;
            }
            if (!r.Has(off, len))
                break;
            TextOut(gdi, QPointF(w[1], w[0]), r.Bytes(off, len), options, rect);
            break;
        }
        case 0x0416: gdi.IntersectClip(Ltrb(w, 0)); break;
        case 0x0415: gdi.ExcludeClip(Ltrb(w, 0)); break;
        case 0x0F43: { // STRETCHDIB
            const QImage img = RecordDib(r, 28);
            gdi.Image(QRectF(w[10], w[9], w[8], w[7]), img, QRect(w[6], w[5], w[4], w[3]), r.U32(6));
            break;
        }
        case 0x0B41: { // DIBSTRETCHBLT (without a bitmap: a pattern fill)
            if (size == 28) {
                gdi.FillRect(QRectF(w[9], w[8], w[7], w[6]), r.U32(6));
                break;
            }
            const QImage img = RecordDib(r, 26);
            gdi.Image(QRectF(w[9], w[8], w[7], w[6]), img, QRect(w[5], w[4], w[3], w[2]), r.U32(6));
            break;
        }
        case 0x0940: { // DIBBITBLT
            if (size == 24) {
                gdi.FillRect(QRectF(w[7], w[6], w[5], w[4]), r.U32(6));
                break;
            }
            const QImage img = RecordDib(r, 22);
            gdi.Image(QRectF(w[7], w[6], w[5], w[4]), img, QRect(w[3], w[2], w[5], w[4]), r.U32(6));
            break;
        }
        default: break; // everything else: skipped by size
        }
    }
}

} // namespace zor::detail
