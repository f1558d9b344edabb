#include "Metafile_p.h"

#include <QtEndian>

namespace zor::detail {

namespace {

// Record types (EMR_*) this player draws; the rest are skipped by size.
enum : quint32 {
    EMR_HEADER = 1, EMR_POLYBEZIER = 2, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6, EMR_POLYPOLYLINE = 7, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11, EMR_SETVIEWPORTORGEX = 12, EMR_EOF = 14,
    EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18, EMR_SETPOLYFILLMODE = 19, EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25, EMR_MOVETOEX = 27, EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30, EMR_SCALEVIEWPORTEXTEX = 31, EMR_SCALEWINDOWEXTEX = 32, EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34, EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43, EMR_ROUNDRECT = 44, EMR_ARC = 45, EMR_CHORD = 46, EMR_PIE = 47, EMR_LINETO = 54,
    EMR_ARCTO = 55, EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_CLOSEFIGURE = 61, EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63, EMR_STROKEPATH = 64, EMR_SELECTCLIPPATH = 67, EMR_ABORTPATH = 68,
    EMR_GDICOMMENT = 70, EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76, EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80, EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83, EMR_EXTTEXTOUTW = 84, EMR_POLYBEZIER16 = 85, EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87, EMR_POLYBEZIERTO16 = 88, EMR_POLYLINETO16 = 89, EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91, EMR_CREATEDIBPATTERNBRUSHPT = 94, EMR_EXTCREATEPEN = 95,
};

QRectF Box(const TRecord &r, qsizetype off)
{
    // Inclusive-exclusive as GDI draws it.
    return QRectF(QPointF(r.I32(off), r.I32(off + 4)), QPointF(r.I32(off + 8), r.I32(off + 12)));
}

QPointF Pt(const TRecord &r, qsizetype off) { return QPointF(r.I32(off), r.I32(off + 4)); }

// count points of 32- or 16-bit pairs at off, bounded by the record.
QPolygonF Points(const TRecord &r, qsizetype off, quint32 count, bool small)
{
    const qsizetype each = small ? 4 : 8;
    if (!r.Has(off, 0) || count > quint32((r.size - off) / each))
        return {};
    QPolygonF pts;
    pts.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype o = off + qsizetype(i) * each;
        pts << (small ? QPointF(r.I16(o), r.I16(o + 2)) : QPointF(r.I32(o), r.I32(o + 4)));
    }
    return pts;
}

std::vector<QPolygonF> PolyPoints(const TRecord &r, bool small)
{
    const quint32 polys = r.U32(24), total = r.U32(28);
    // The counts must fit the record (found by fuzzing: a short record once
    // made the bound wrap and the loop run for billions of empty polygons).
    if (r.size < 32 || polys > quint32((r.size - 32) / 4))
        return {};
    const qsizetype ptsOff = 32 + qsizetype(polys) * 4;
    const QPolygonF all = Points(r, ptsOff, total, small);
    std::vector<QPolygonF> out;
    qsizetype at = 0;
    for (quint32 i = 0; i < polys; ++i) {
        const quint32 n = r.U32(32 + qsizetype(i) * 4);
        if (n > quint32(all.size() - at))
            break;
        out.push_back(all.mid(at, n));
        at += n;
    }
    return out;
}

QTransform XForm(const TRecord &r, qsizetype off)
{
    return QTransform(r.F32(off), r.F32(off + 4), r.F32(off + 8), r.F32(off + 12), r.F32(off + 16),
                      r.F32(off + 20));
}

QPen MakePen(quint32 style, double width, QColor color)
{
    if ((style & 0xF) == 5) // PS_NULL
        return QPen(Qt::NoPen);
    QPen pen(color, width);
    pen.setCosmetic(width <= 0 || !(style & 0x10000));
    if (pen.isCosmetic() && width <= 1)
        pen.setWidthF(0);
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                          Qt::DashDotDotLine, Qt::NoPen, Qt::SolidLine, Qt::SolidLine};
    pen.setStyle(styles[qMin(style & 0xF, 7u)]);
    switch (style & 0xF00) {
    case 0x100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (style & 0xF000) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    return pen;
}

QBrush MakeBrush(quint32 style, QColor color, quint32 hatch)
{
    switch (style) {
    case 1: return QBrush(Qt::NoBrush);
    case 2: {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    default: return QBrush(color);
    }
}

QImage RecordDib(const TRecord &r, qsizetype offInfoField)
{
    const quint32 offBmi = r.U32(offInfoField), cbBmi = r.U32(offInfoField + 4);
    const quint32 offBits = r.U32(offInfoField + 8), cbBits = r.U32(offInfoField + 12);
    if (!cbBmi || !r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits))
        return {};
    return DibToImage(r.Bytes(offBmi, cbBmi), r.Bytes(offBits, cbBits));
}

void ExtText(TGdiPlayer &gdi, const TRecord &r, bool wide)
{
    const qsizetype t = 36; // EMRTEXT after bounds, graphics mode, x and y scale
    const QPointF ref = Pt(r, t);
    const quint32 n = r.U32(t + 8), off = r.U32(t + 12), options = r.U32(t + 16);
    const QRectF rect = Box(r, t + 20);
    const qsizetype bytes = qsizetype(n) * (wide ? 2 : 1);
    if (n > quint32(r.size) || !r.Has(off, bytes))
        return;
    QString text;
    if (wide) {
        text.resize(n);
        for (quint32 i = 0; i < n; ++i)
            text[i] = QChar(r.U16(off + qsizetype(i) * 2));
    } else {
        text = DecodeCharsetText(r.Bytes(off, bytes), gdi.s.font.charset);
    }
    gdi.Text(ref, text, options, rect);
}

} // namespace

void PlayEmfRecords(const QByteArray &data, TGdiPlayer &gdi)
{
    const auto *base = reinterpret_cast<const uchar *>(data.constData());
    qsizetype pos = 0;
    while (data.size() - pos >= 8) {
        const quint32 type = qFromLittleEndian<quint32>(base + pos);
        const quint32 size = qFromLittleEndian<quint32>(base + pos + 4);
        if (size < 8 || size % 4 || size > quint64(data.size() - pos))
            break; // a record that does not fit ends the picture
        const TRecord r{base + pos, qsizetype(size)};
        pos += size;
        switch (type) {
        case EMR_EOF: return;
        case EMR_POLYBEZIER: gdi.PolyBezier(Points(r, 28, r.U32(24), false), false); break;
        case EMR_POLYBEZIER16: gdi.PolyBezier(Points(r, 28, r.U32(24), true), false); break;
        case EMR_POLYBEZIERTO: gdi.PolyBezier(Points(r, 28, r.U32(24), false), true); break;
        case EMR_POLYBEZIERTO16: gdi.PolyBezier(Points(r, 28, r.U32(24), true), true); break;
        case EMR_POLYGON: gdi.Polygon(Points(r, 28, r.U32(24), false)); break;
        case EMR_POLYGON16: gdi.Polygon(Points(r, 28, r.U32(24), true)); break;
        case EMR_POLYLINE: gdi.Polyline(Points(r, 28, r.U32(24), false)); break;
        case EMR_POLYLINE16: gdi.Polyline(Points(r, 28, r.U32(24), true)); break;
        case EMR_POLYLINETO: gdi.PolylineTo(Points(r, 28, r.U32(24), false)); break;
        case EMR_POLYLINETO16: gdi.PolylineTo(Points(r, 28, r.U32(24), true)); break;
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYLINE16:
            for (const QPolygonF &p : PolyPoints(r, type == EMR_POLYPOLYLINE16))
                gdi.Polyline(p);
            break;
        case EMR_POLYPOLYGON: gdi.PolyPolygon(PolyPoints(r, false)); break;
        case EMR_POLYPOLYGON16: gdi.PolyPolygon(PolyPoints(r, true)); break;
        case EMR_SETWINDOWEXTEX: gdi.s.winExt = QSizeF(r.I32(8), r.I32(12)); break;
        case EMR_SETWINDOWORGEX: gdi.s.winOrg = Pt(r, 8); break;
        case EMR_SETVIEWPORTEXTEX: gdi.s.vpExt = QSizeF(r.I32(8), r.I32(12)); break;
        case EMR_SETVIEWPORTORGEX: gdi.s.vpOrg = Pt(r, 8); break;
        case EMR_SCALEVIEWPORTEXTEX:
        case EMR_SCALEWINDOWEXTEX: {
            const qint32 xn = r.I32(8), xd = r.I32(12), yn = r.I32(16), yd = r.I32(20);
            if (xd && yd) {
                QSizeF &ext = type == EMR_SCALEWINDOWEXTEX ? gdi.s.winExt : gdi.s.vpExt;
                ext = QSizeF(ext.width() * xn / xd, ext.height() * yn / yd);
            }
            break;
        }
        case EMR_SETMAPMODE: gdi.s.mapMode = int(r.U32(8)); break;
        case EMR_SETBKMODE: gdi.s.bkMode = int(r.U32(8)); break;
        case EMR_SETPOLYFILLMODE: gdi.s.fillRule = r.U32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
        case EMR_SETTEXTALIGN: gdi.s.textAlign = r.U32(8); break;
        case EMR_SETTEXTCOLOR: gdi.s.textColor = ColorRef(r.U32(8)); break;
        case EMR_SETBKCOLOR: gdi.s.bkColor = ColorRef(r.U32(8)); break;
        case EMR_MOVETOEX: gdi.MoveTo(Pt(r, 8)); break;
        case EMR_LINETO: gdi.LineTo(Pt(r, 8)); break;
        case EMR_EXCLUDECLIPRECT: gdi.ExcludeClip(Box(r, 8)); break;
        case EMR_INTERSECTCLIPRECT: gdi.IntersectClip(Box(r, 8)); break;
        case EMR_SAVEDC: gdi.SaveDC(); break;
        case EMR_RESTOREDC: gdi.RestoreDC(r.I32(8)); break;
        case EMR_SETWORLDTRANSFORM: gdi.s.world = XForm(r, 8); break;
        case EMR_MODIFYWORLDTRANSFORM:
            switch (r.U32(32)) {
            case 1: gdi.s.world = QTransform(); break;
            case 2: gdi.s.world = XForm(r, 8) * gdi.s.world; break;
            case 3: gdi.s.world = gdi.s.world * XForm(r, 8); break;
            case 4: gdi.s.world = XForm(r, 8); break;
            default: break;
            }
            break;
        case EMR_SELECTOBJECT: gdi.Select(r.U32(8)); break;
        case EMR_DELETEOBJECT: gdi.Delete(r.U32(8)); break;
        case EMR_CREATEPEN: {
            const quint32 ih = r.U32(8);
            if (ih < gdi.objects.size()) {
                TGdiObject &o = gdi.objects[ih];
                o = TGdiObject();
                o.kind = TGdiObject::Pen;
                // LOGPEN widths are always geometric unless 0.
                o.pen = MakePen(r.U32(12) | (r.I32(16) > 1 ? 0x10000 : 0), r.I32(16), ColorRef(r.U32(24)));
            }
            break;
        }
        case EMR_EXTCREATEPEN: {
            const quint32 ih = r.U32(8);
            if (ih < gdi.objects.size()) {
                TGdiObject &o = gdi.objects[ih];
                o = TGdiObject();
                o.kind = TGdiObject::Pen;
                o.pen = MakePen(r.U32(28), r.U32(32), ColorRef(r.U32(40)));
                if (r.U32(36) == 1) // BS_NULL brush: no line at all
                    o.pen = QPen(Qt::NoPen);
            }
            break;
        }
        case EMR_CREATEBRUSHINDIRECT: {
            const quint32 ih = r.U32(8);
            if (ih < gdi.objects.size()) {
                TGdiObject &o = gdi.objects[ih];
                o = TGdiObject();
                o.kind = TGdiObject::Brush;
                o.brush = MakeBrush(r.U32(12), ColorRef(r.U32(16)), r.U32(20));
            }
            break;
        }
        case EMR_CREATEDIBPATTERNBRUSHPT: {
            const quint32 ih = r.U32(8);
            if (ih < gdi.objects.size()) {
                TGdiObject &o = gdi.objects[ih];
                o = TGdiObject();
                o.kind = TGdiObject::Brush;
                const QImage pattern = RecordDib(r, 16);
                o.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
            }
            break;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
            const quint32 ih = r.U32(8);
            if (ih < gdi.objects.size() && r.Has(12, 28)) {
                TGdiObject &o = gdi.objects[ih];
                o = TGdiObject();
                o.kind = TGdiObject::Font;
                o.fontHeight = r.I32(12) ? r.I32(12) : -12;
                o.escapement = r.I32(20) / 10.0;
                const qint32 weight = r.I32(28);
                o.font.setWeight(QFont::Weight(qBound(1, weight ? weight : 400, 1000)));
                o.font.setItalic(r.U8(32));
                o.font.setUnderline(r.U8(33));
                o.font.setStrikeOut(r.U8(34));
                o.charset = r.U8(35);
                QString face;
                for (int i = 0; i < 32; ++i) {
                    const quint16 c = r.U16(40 + i * 2);
                    if (!c)
                        break;
                    face += QChar(c);
                }
                if (!face.isEmpty())
                    o.font.setFamily(face);
            }
            break;
        }
        case EMR_ELLIPSE: gdi.Ellipse(Box(r, 8)); break;
        case EMR_RECTANGLE: gdi.Rectangle(Box(r, 8)); break;
        case EMR_ROUNDRECT: gdi.RoundRect(Box(r, 8), QSizeF(r.I32(24), r.I32(28))); break;
        case EMR_ARC: gdi.Arc(Box(r, 8), Pt(r, 24), Pt(r, 32), 0); break;
        case EMR_CHORD: gdi.Arc(Box(r, 8), Pt(r, 24), Pt(r, 32), 1); break;
        case EMR_PIE: gdi.Arc(Box(r, 8), Pt(r, 24), Pt(r, 32), 2); break;
        case EMR_ARCTO: gdi.Arc(Box(r, 8), Pt(r, 24), Pt(r, 32), 3); break;
        case EMR_BEGINPATH: gdi.BeginPath(); break;
        case EMR_ENDPATH: gdi.EndPath(); break;
        case EMR_CLOSEFIGURE: gdi.CloseFigure(); break;
        case EMR_ABORTPATH: gdi.AbortPath(); break;
        case EMR_FILLPATH: gdi.FillPath(true, false); break;
        case EMR_STROKEANDFILLPATH: gdi.FillPath(true, true); break;
        case EMR_STROKEPATH: gdi.FillPath(false, true); break;
        case EMR_SELECTCLIPPATH: gdi.SelectClipPath(int(r.U32(8))); break;
        case EMR_EXTSELECTCLIPRGN: {
            const quint32 cb = r.U32(8);
            const int mode = int(r.U32(12));
            if (cb == 0 || !r.Has(16, 32)) {
                if (mode == 5)
                    gdi.SetClipDevice(std::nullopt, 5);
                break;
            }
            const quint32 count = r.U32(16 + 8);
            if (count > quint32((r.size - 48) / 16))
                break;
            QPainterPath region;
            for (quint32 i = 0; i < count; ++i)
                region.addRect(Box(r, 48 + qsizetype(i) * 16).normalized());
            gdi.SetClipDevice(region.simplified(), mode);
            break;
        }
        case EMR_BITBLT:
        case EMR_STRETCHBLT: {
            const QRectF dest(r.I32(24), r.I32(28), r.I32(32), r.I32(36));
            const quint32 rop = r.U32(40);
            const QImage img = RecordDib(r, 84);
            if (img.isNull()) {
                gdi.FillRect(dest, rop);
            } else {
                const QSize src = type == EMR_STRETCHBLT ? QSize(r.I32(100), r.I32(104)) : dest.size().toSize();
                gdi.Image(dest, img, QRect(QPoint(r.I32(44), r.I32(48)), src), rop);
            }
            break;
        }
        case EMR_STRETCHDIBITS: {
            const QImage img = RecordDib(r, 48);
            gdi.Image(QRectF(r.I32(24), r.I32(28), r.I32(72), r.I32(76)), img,
                      QRect(r.I32(32), r.I32(36), r.I32(40), r.I32(44)), r.U32(68));
            break;
        }
        case EMR_SETDIBITSTODEVICE: {
            const QImage img = RecordDib(r, 48);
            const QRect src(r.I32(32), r.I32(36), r.I32(40), r.I32(44));
            gdi.Image(QRectF(r.I32(24), r.I32(28), src.width(), src.height()), img, src, 0x00CC0020);
            break;
        }
        case EMR_EXTTEXTOUTW: ExtText(gdi, r, true); break;
        case EMR_EXTTEXTOUTA: ExtText(gdi, r, false); break;
        default: break; // EMF+ comments and everything else: skipped by size
        }
    }
}

} // namespace zor::detail
