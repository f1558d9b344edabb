#include "Metafile_p.h"

#include <ZorCompCore/platform/CodePage.h>

#include <QFontMetricsF>
#include <QImageReader>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace zor::detail {

quint32 TRecord::U32(qsizetype off) const
{
    return Has(off, 4) ? qFromLittleEndian<quint32>(data + off) : 0;
}

quint16 TRecord::U16(qsizetype off) const
{
    return Has(off, 2) ? qFromLittleEndian<quint16>(data + off) : 0;
}

float TRecord::F32(qsizetype off) const
{
    const quint32 bits = U32(off);
    float f;
    std::memcpy(&f, &bits, 4);
    return std::isfinite(f) ? f : 0.0f;
}

QColor ColorRef(quint32 c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QImage DibToImage(const QByteArray &info, const QByteArray &bits)
{
    if (info.size() < 16)
        return {};
    const TRecord hdr{reinterpret_cast<const uchar *>(info.constData()), info.size()};
    const quint32 headerSize = hdr.U32(0);
    if (headerSize >= 40) {
        const quint32 compression = hdr.U32(16);
        if (compression == 4 || compression == 5) // BI_JPEG, BI_PNG: the bits are the file
            return QImage::fromData(bits);
    }
    // Give Qt's BMP reader a file: a 14-byte file header in front of the
    // bitmap info and bits. It checks sizes against its allocation limit.
    QByteArray file("BM", 2);
    const quint32 total = quint32(14 + info.size() + bits.size());
    char b[4];
    qToLittleEndian(total, b);
    file.append(b, 4).append(QByteArray(4, '\0'));
    qToLittleEndian(quint32(14 + info.size()), b);
    file.append(b, 4).append(info).append(bits);
    QImage image = QImage::fromData(file, "BMP");
    return image;
}

QString DecodeCharsetText(const QByteArray &bytes, int charset)
{
    int cp = 1252;
    switch (charset) {
    case 2: return QString::fromLatin1(bytes); // SYMBOL: the font maps the bytes itself
    case 128: cp = 932; break;
    case 129: cp = 949; break;
    case 134: cp = 936; break;
    case 136: cp = 950; break;
    case 161: cp = 1253; break;
    case 162: cp = 1254; break;
    case 163: cp = 1258; break;
    case 177: cp = 1255; break;
    case 178: cp = 1256; break;
    case 186: cp = 1257; break;
    case 204: cp = 1251; break;
    case 222: cp = 874; break;
    case 238: cp = 1250; break;
    case 255: cp = 437; break;
    default: break;
    }
    if (!IsCodePageSupported(cp))
        cp = 1252;
    return FromCodePage(bytes, cp);
}

TGdiPlayer::TGdiPlayer(QPainter &painter, const QTransform &base, double pxPerMm, int handles)
    : FPainter(painter), FBase(base * painter.worldTransform()), FPxPerMm(pxPerMm > 0 ? pxPerMm : 96 / 25.4)
{
    objects.resize(size_t(qBound(1, handles, 65536)));
    s.pen.setCosmetic(true);
    s.font.font.setPixelSize(12);
    FPainter.save();
}

TGdiPlayer::~TGdiPlayer()
{
    FPainter.restore();
}

QTransform TGdiPlayer::PageTransform() const
{
    double sx = 1, sy = 1;
    switch (s.mapMode) {
    case 2: sx = 0.1 * FPxPerMm; sy = -sx; break;      // MM_LOMETRIC
    case 3: sx = 0.01 * FPxPerMm; sy = -sx; break;     // MM_HIMETRIC
    case 4: sx = 0.254 * FPxPerMm; sy = -sx; break;    // MM_LOENGLISH
    case 5: sx = 0.0254 * FPxPerMm; sy = -sx; break;   // MM_HIENGLISH
    case 6: sx = 25.4 / 1440 * FPxPerMm; sy = -sx; break; // MM_TWIPS
    case 7:                                            // MM_ISOTROPIC
    case 8:                                            // MM_ANISOTROPIC
        if (s.winExt.width() != 0 && s.winExt.height() != 0) {
            sx = s.vpExt.width() / s.winExt.width();
            sy = s.vpExt.height() / s.winExt.height();
            if (s.mapMode == 7) {
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
        }
        break;
    default: break;                                    // MM_TEXT
    }
    return QTransform(sx, 0, 0, sy, s.vpOrg.x() - s.winOrg.x() * sx, s.vpOrg.y() - s.winOrg.y() * sy);
}

void TGdiPlayer::SaveDC()
{
    if (FStack.size() < 10000) // bounded: a file of SaveDC records must not grow memory freely
        FStack.push_back(s);
}

void TGdiPlayer::RestoreDC(int n)
{
    // Negative: relative to the current level; positive: an absolute level (1-based).
    size_t keep = n < 0 ? (size_t(-qint64(n)) > FStack.size() ? FStack.size() : FStack.size() - size_t(-qint64(n)))
                        : size_t(n) - 1;
    if (n == 0 || keep >= FStack.size())
        return;
    s = FStack[keep];
    FStack.resize(keep);
    ApplyClip();
}

void TGdiPlayer::Select(quint32 index)
{
    if (index & 0x80000000u) {
        switch (index & 0x7FFFFFFF) {
        case 0: s.brush = QBrush(Qt::white); break;
        case 1: s.brush = QBrush(QColor(0xC0, 0xC0, 0xC0)); break;
        case 2: s.brush = QBrush(QColor(0x80, 0x80, 0x80)); break;
        case 3: s.brush = QBrush(QColor(0x40, 0x40, 0x40)); break;
        case 4: s.brush = QBrush(Qt::black); break;
        case 5: s.brush = QBrush(Qt::NoBrush); break;
        case 6: s.pen = QPen(QColor(Qt::white), 0); break;
        case 7: s.pen = QPen(QColor(Qt::black), 0); break;
        case 8: s.pen = QPen(Qt::NoPen); break;
        case 10: case 11: case 12: case 13: case 14: case 16: case 17:
            s.font = TGdiObject();
            s.font.kind = TGdiObject::Font;
            s.font.font.setPixelSize(12);
            if (index != 0x8000000C && index != 0x8000000D && index != 0x80000011)
                s.font.font.setFamily(QStringLiteral("monospace"));
            break;
        default: break;
        }
        s.pen.setCosmetic(s.pen.widthF() == 0);
        return;
    }
    if (index >= objects.size())
        return;
    const TGdiObject &o = objects[index];
    switch (o.kind) {
    case TGdiObject::Pen: s.pen = o.pen; break;
    case TGdiObject::Brush: s.brush = o.brush; break;
    case TGdiObject::Font: s.font = o; break;
    default: break;
    }
}

void TGdiPlayer::Delete(quint32 index)
{
    if (index < objects.size())
        objects[index] = TGdiObject();
}

void TGdiPlayer::ApplyClip()
{
    FPainter.restore();
    FPainter.save();
    if (s.clip) {
        FPainter.setWorldTransform(FBase);
        FPainter.setClipPath(*s.clip, Qt::IntersectClip);
    }
}

void TGdiPlayer::SetClipDevice(const std::optional<QPainterPath> &path, int mode)
{
    // RGN_AND 1, RGN_OR 2, RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5
    if (mode == 5 || !s.clip) {
        if (mode == 5 || mode == 1 || mode == 2)
            s.clip = path;
    } else if (path) {
        switch (mode) {
        case 1: s.clip = s.clip->intersected(*path); break;
        case 2: s.clip = s.clip->united(*path); break;
        case 3: s.clip = s.clip->subtracted(*path).united(path->subtracted(*s.clip)); break;
        case 4: s.clip = s.clip->subtracted(*path); break;
        default: break;
        }
    }
    ApplyClip();
}

void TGdiPlayer::IntersectClip(const QRectF &logical)
{
    QPainterPath p;
    p.addRect(logical.normalized());
    SetClipDevice((s.world * PageTransform()).map(p), 1);
}

void TGdiPlayer::ExcludeClip(const QRectF &logical)
{
    QPainterPath p;
    p.addRect(logical.normalized());
    const QPainterPath device = (s.world * PageTransform()).map(p);
    if (!s.clip) {
        // Without a clip everything is inside: start from a very large region.
        QPainterPath all;
        all.addRect(QRectF(-1e7, -1e7, 2e7, 2e7));
        s.clip = all;
    }
    SetClipDevice(device, 4);
}

void TGdiPlayer::Draw(const QPainterPath &path, bool fill, bool stroke)
{
    if (FRecording) {
        if (!FPath)
            FPath = QPainterPath();
        FPath->addPath(path);
        return;
    }
    ++drawn;
    FPainter.setWorldTransform(Full());
    QPainterPath p = path;
    p.setFillRule(s.fillRule);
    if (fill && s.brush.style() != Qt::NoBrush)
        FPainter.fillPath(p, s.brush);
    if (stroke && s.pen.style() != Qt::NoPen)
        FPainter.strokePath(p, s.pen);
}

void TGdiPlayer::MoveTo(QPointF p)
{
    s.cur = p;
    if (FRecording) {
        if (!FPath)
            FPath = QPainterPath();
        FPath->moveTo(p);
    }
}

void TGdiPlayer::LineTo(QPointF p)
{
    if (FRecording) {
        if (!FPath)
            FPath = QPainterPath(s.cur);
        if (FPath->elementCount() == 0)
            FPath->moveTo(s.cur);
        FPath->lineTo(p);
    } else {
        QPainterPath path(s.cur);
        path.lineTo(p);
        Draw(path, false, true);
    }
    s.cur = p;
}

void TGdiPlayer::Polyline(const QPolygonF &pts)
{
    if (pts.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(pts);
    Draw(path, false, true);
}

void TGdiPlayer::PolylineTo(const QPolygonF &pts)
{
    for (const QPointF &p : pts)
        LineTo(p);
}

void TGdiPlayer::Polygon(const QPolygonF &pts)
{
    if (pts.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(pts);
    path.closeSubpath();
    Draw(path, true, true);
}

void TGdiPlayer::PolyPolygon(const std::vector<QPolygonF> &polys)
{
    QPainterPath path;
    for (const QPolygonF &poly : polys) {
        path.addPolygon(poly);
        path.closeSubpath();
    }
    Draw(path, true, true);
}

void TGdiPlayer::PolyBezier(const QPolygonF &pts, bool fromCurrent)
{
    QPainterPath path;
    int i = 0;
    if (fromCurrent) {
        path.moveTo(s.cur);
    } else {
        if (pts.isEmpty())
            return;
        path.moveTo(pts[0]);
        i = 1;
    }
    for (; i + 2 < pts.size(); i += 3)
        path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
    s.cur = path.currentPosition();
    if (FRecording && FPath && FPath->elementCount() > 0 && fromCurrent) {
        for (int k = 1; k < path.elementCount(); k += 3)
            FPath->cubicTo(path.elementAt(k), path.elementAt(k + 1), path.elementAt(k + 2));
        return;
    }
    Draw(path, false, true);
}

void TGdiPlayer::Rectangle(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    Draw(path, true, true);
}

void TGdiPlayer::RoundRect(const QRectF &r, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(r.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    Draw(path, true, true);
}

void TGdiPlayer::Ellipse(const QRectF &r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    Draw(path, true, true);
}

void TGdiPlayer::Arc(const QRectF &boxIn, QPointF start, QPointF end, int kind)
{
    const QRectF box = boxIn.normalized();
    if (box.isEmpty())
        return;
    const QPointF c = box.center();
    auto angle = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / box.height(), (p.x() - c.x()) / box.width()) * 180 / M_PI;
    };
    const double a0 = angle(start);
    double sweep = angle(end) - a0;
    while (sweep <= 0)
        sweep += 360; // counter-clockwise, a full turn when both radials meet
    QPainterPath path;
    if (kind == 2) {
        path.moveTo(c);
        path.arcTo(box, a0, sweep); // the line from the centre to the arc comes with it
    } else {
        path.arcMoveTo(box, a0);
        path.arcTo(box, a0, sweep);
    }
    if (kind == 3) {
        QPointF first;
        QPainterPath arc;
        arc.arcMoveTo(box, a0);
        first = arc.currentPosition();
        arc.arcTo(box, a0, sweep);
        QPainterPath line(s.cur);
        line.lineTo(first);
        line.connectPath(arc);
        Draw(line, false, true);
        s.cur = arc.currentPosition();
        return;
    }
    if (kind != 0)
        path.closeSubpath();
    Draw(path, kind != 0, true);
}

void TGdiPlayer::Text(QPointF ref, const QString &text, quint32 options, const QRectF &rect)
{
    if (FRecording)
        return;
    ++drawn;
    const QTransform toDevice = s.world * PageTransform();
    // Text is drawn upright in device space at the font's mapped height, so
    // mapping modes with y pointing up do not mirror the glyphs.
    const QPointF at = toDevice.map(ref);
    const double scale = std::hypot(toDevice.m21(), toDevice.m22());
    QFont font = s.font.font;
    // A positive height is the cell height; the em is about 4/5 of it.
    const double h = std::abs(s.font.fontHeight) * scale * (s.font.fontHeight > 0 ? 0.8 : 1.0);
    font.setPixelSize(qBound(1, int(std::lround(h)), 10000));
    FPainter.save();
    FPainter.setWorldTransform(FBase);
    if ((options & 0x2) && rect.isValid()) // ETO_OPAQUE
        FPainter.fillRect(toDevice.mapRect(rect.normalized()), s.bkColor);
    FPainter.setFont(font);
    const QFontMetricsF fm(font);
    const double width = fm.horizontalAdvance(text);
    double dx = 0, dy = 0;
    switch (s.textAlign & 6) {
    case 6: dx = -width / 2; break; // TA_CENTER
    case 2: dx = -width; break;     // TA_RIGHT
    default: break;
    }
    if ((s.textAlign & 24) == 24)
        dy = 0;                     // TA_BASELINE
    else if (s.textAlign & 8)
        dy = -fm.descent();         // TA_BOTTOM
    else
        dy = fm.ascent();           // TA_TOP
    QTransform t = QTransform::fromTranslate(at.x(), at.y());
    t.rotate(-s.font.escapement);
    FPainter.setWorldTransform(t * FBase);
    if (s.bkMode == 2 && !(options & 0x2))
        FPainter.fillRect(QRectF(dx, dy - fm.ascent(), width, fm.height()), s.bkColor);
    FPainter.setPen(s.textColor);
    FPainter.drawText(QPointF(dx, dy), text);
    FPainter.restore();
    if (s.textAlign & 1) // TA_UPDATECP
        s.cur = toDevice.inverted().map(at + QPointF(width, 0));
}

void TGdiPlayer::Image(const QRectF &dest, const QImage &image, const QRect &source, quint32 rop)
{
    if (FRecording || image.isNull())
        return;
    if (rop == 0x00AA0029) // NOP
        return;
    ++drawn;
    FPainter.setWorldTransform(Full());
    const QRect src = source.isValid() ? source.intersected(image.rect()) : image.rect();
    FPainter.drawImage(dest.normalized(), image, src.isEmpty() ? image.rect() : src);
}

void TGdiPlayer::FillRect(const QRectF &r, quint32 rop)
{
    if (FRecording)
        return;
    ++drawn;
    FPainter.setWorldTransform(Full());
    if (rop == 0x00000042)
        FPainter.fillRect(r.normalized(), Qt::black);
    else if (rop == 0x00FF0062)
        FPainter.fillRect(r.normalized(), Qt::white);
    else if (s.brush.style() != Qt::NoBrush)
        FPainter.fillRect(r.normalized(), s.brush);
}

void TGdiPlayer::BeginPath()
{
    FPath = QPainterPath();
    FPath->moveTo(s.cur);
    FRecording = true;
}

void TGdiPlayer::FillPath(bool fill, bool stroke)
{
    FRecording = false;
    if (FPath)
        Draw(*FPath, fill, stroke);
    FPath.reset();
}

void TGdiPlayer::SelectClipPath(int mode)
{
    FRecording = false;
    if (FPath) {
        QPainterPath p = *FPath;
        p.setFillRule(s.fillRule);
        SetClipDevice((s.world * PageTransform()).map(p), mode);
    }
    FPath.reset();
}

} // namespace zor::detail
