#include "Metafile.h"

#include "GraphicClass.h"
#include "Metafile_p.h"
#include "VectorSource_p.h"

#include <QtEndian>

#include <cmath>

namespace zor {

using namespace detail;

namespace {

constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr quint32 kPlaceableKey = 0x9AC6CDD7;

struct TEmfHeader
{
    QRectF frameDevice;   // the picture frame in reference-device pixels
    double pxPerMm = 96 / 25.4;
    QSize size96;         // the frame at 96 dpi
    int handles = 1;
};

struct TWmfHeader
{
    qsizetype recordsAt = 0;
    QRectF box;           // logical units
    QSize size96;
    int objects = 0;
};

TRecord View(const QByteArray &d) { return {reinterpret_cast<const uchar *>(d.constData()), d.size()}; }

bool ReadEmfHeader(const QByteArray &data, TEmfHeader &h)
{
    const TRecord r = View(data);
    if (r.U32(0) != 1 || r.U32(40) != kEmfSignature)
        return false;
    const quint32 size = r.U32(4);
    if (size < 88 || size > quint64(data.size()))
        return false;
    const QRectF bounds(QPointF(r.I32(8), r.I32(12)), QPointF(r.I32(16) + 1, r.I32(20) + 1));
    const QRectF frame(QPointF(r.I32(24), r.I32(28)), QPointF(r.I32(32), r.I32(36))); // 0.01 mm
    h.handles = qMax(1, int(r.U16(48)));
    const double devW = r.I32(72), devH = r.I32(76), mmW = r.I32(80), mmH = r.I32(84);
    const double pxPerMmX = devW > 0 && mmW > 0 ? devW / mmW : 96 / 25.4;
    const double pxPerMmY = devH > 0 && mmH > 0 ? devH / mmH : 96 / 25.4;
    h.pxPerMm = (pxPerMmX + pxPerMmY) / 2;
    const QRectF f = frame.normalized();
    if (f.width() > 0 && f.height() > 0) {
        h.frameDevice = QRectF(f.left() * pxPerMmX / 100, f.top() * pxPerMmY / 100, f.width() * pxPerMmX / 100,
                               f.height() * pxPerMmY / 100);
        h.size96 = QSize(qMax(1, int(std::lround(f.width() / 2540.0 * 96))),
                         qMax(1, int(std::lround(f.height() / 2540.0 * 96))));
    } else if (bounds.normalized().width() > 1 && bounds.normalized().height() > 1) {
        h.frameDevice = bounds.normalized();
        h.size96 = QSize(int(std::lround(h.frameDevice.width() / pxPerMmX / 25.4 * 96)),
                         int(std::lround(h.frameDevice.height() / pxPerMmY / 25.4 * 96)));
    } else {
        return false;
    }
    // Beyond any page: refuse rather than allocate for it later.
    return h.size96.width() > 0 && h.size96.height() > 0 && h.size96.width() <= 1000000 &&
           h.size96.height() <= 1000000;
}

bool ReadWmfHeader(const QByteArray &data, TWmfHeader &h)
{
    const TRecord r = View(data);
    qsizetype at = 0;
    int inch = 0;
    if (r.U32(0) == kPlaceableKey) {
        h.box = QRectF(QPointF(r.I16(6), r.I16(8)), QPointF(r.I16(10), r.I16(12))).normalized();
        inch = r.U16(14);
        at = 22;
    }
    const quint16 type = r.U16(at), headerWords = r.U16(at + 2), version = r.U16(at + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        return false;
    h.objects = r.U16(at + 10);
    h.recordsAt = at + 18;
    if (h.box.isEmpty()) {
        // No placeable header: the first window origin and extent frame the picture.
        QPointF org;
        QSizeF ext;
        qsizetype pos = h.recordsAt;
        while (data.size() - pos >= 6 && ext.isEmpty()) {
            const quint64 size = quint64(r.U32(pos)) * 2;
            if (size < 6 || size > quint64(data.size() - pos))
                break;
            const quint16 fn = r.U16(pos + 4);
            if (fn == 0x020B)
                org = QPointF(r.I16(pos + 8), r.I16(pos + 6));
            else if (fn == 0x020C)
                ext = QSizeF(r.I16(pos + 8), r.I16(pos + 6));
            else if (fn == 0)
                break;
            pos += qsizetype(size);
        }
        if (ext.width() == 0 || ext.height() == 0)
            return false;
        h.box = QRectF(org, ext);
    }
    if (h.box.width() == 0 || h.box.height() == 0)
        return false;
    const QSizeF s = inch > 0 ? QSizeF(std::abs(h.box.width()) * 96.0 / inch, std::abs(h.box.height()) * 96.0 / inch)
                              : QSizeF(std::abs(h.box.width()), std::abs(h.box.height()));
    h.size96 = QSize(qMax(1, int(std::lround(s.width()))), qMax(1, int(std::lround(s.height()))));
    return true;
}

// Counts EMF drawing records and EMF+ comments, to refuse EMF+-only files.
void ScanEmf(const QByteArray &data, int &drawing, int &emfPlus)
{
    const TRecord r = View(data);
    qsizetype pos = 0;
    drawing = emfPlus = 0;
    while (data.size() - pos >= 8) {
        const quint32 type = r.U32(pos), size = r.U32(pos + 4);
        if (size < 8 || size > quint64(data.size() - pos))
            break;
        if (type == 70 && r.U32(pos + 12) == 0x2B464D45) // "EMF+"
            ++emfPlus;
        else if ((type >= 2 && type <= 8) || (type >= 42 && type <= 47) || type == 54 || type == 55 ||
                 (type >= 62 && type <= 64) || (type >= 76 && type <= 81) || type == 83 || type == 84 ||
                 (type >= 85 && type <= 92))
            ++drawing;
        if (type == 14)
            break;
        pos += size;
    }
}

} // namespace

class TMetafilePrivate
{
public:
    QByteArray data;
    bool enhanced = false;
    TEmfHeader emf;
    TWmfHeader wmf;
    QSize size;
};

TMetafile::TMetafile() : d(std::make_unique<TMetafilePrivate>()) {}
TMetafile::~TMetafile() = default;

bool TMetafile::IsEmf(const QByteArray &Data)
{
    const TRecord r = View(Data);
    return r.U32(0) == 1 && r.U32(40) == kEmfSignature;
}

bool TMetafile::IsWmf(const QByteArray &Data)
{
    const TRecord r = View(Data);
    const qsizetype at = r.U32(0) == kPlaceableKey ? 22 : 0;
    const quint16 type = r.U16(at), words = r.U16(at + 2), version = r.U16(at + 4);
    return Data.size() >= at + 18 && (type == 1 || type == 2) && words == 9 &&
           (version == 0x0100 || version == 0x0300);
}

void TMetafile::LoadFromBytes(const QByteArray &Data)
{
    auto next = std::make_unique<TMetafilePrivate>();
    next->data = Data;
    if (IsEmf(Data)) {
        next->enhanced = true;
        if (!ReadEmfHeader(Data, next->emf))
            throw EEnvisionError(QStringLiteral("The EMF header is damaged"));
        int drawing = 0, emfPlus = 0;
        ScanEmf(Data, drawing, emfPlus);
        if (emfPlus > 0 && drawing == 0)
            throw EEnvisionError(QStringLiteral("The EMF holds only EMF+ drawing records, which are not supported"));
        next->size = next->emf.size96;
    } else if (IsWmf(Data)) {
        if (!ReadWmfHeader(Data, next->wmf))
            throw EEnvisionError(QStringLiteral("The WMF has no picture frame"));
        next->size = next->wmf.size96;
    } else {
        throw EEnvisionError(QStringLiteral("The data is no metafile"));
    }
    d = std::move(next);
}

bool TMetafile::IsEnhanced() const { return d->enhanced; }
QSize TMetafile::Size() const { return d->size; }

void TMetafile::Play(QPainter &Painter, const QRectF &Target) const
{
    if (d->size.isEmpty() || Target.isEmpty())
        return;
    const QRectF frame = d->enhanced ? d->emf.frameDevice : d->wmf.box;
    const QTransform base = QTransform::fromTranslate(-frame.left(), -frame.top()) *
                            QTransform::fromScale(Target.width() / frame.width(), Target.height() / frame.height()) *
                            QTransform::fromTranslate(Target.left(), Target.top());
    if (d->enhanced) {
        TGdiPlayer gdi(Painter, base, d->emf.pxPerMm, d->emf.handles);
        PlayEmfRecords(d->data, gdi);
    } else {
        TGdiPlayer gdi(Painter, base, 96 / 25.4, qMax(1, d->wmf.objects));
        // The window maps onto the frame (the viewport is ours to choose).
        gdi.s.mapMode = 8;
        gdi.s.winOrg = gdi.s.vpOrg = frame.topLeft();
        gdi.s.winExt = gdi.s.vpExt = frame.size();
        PlayWmfRecords(d->data, d->wmf.recordsAt, gdi);
    }
}

namespace detail {

class TMetafileSource final : public TVectorSource
{
public:
    explicit TMetafileSource(const QByteArray &data) { FMetafile.LoadFromBytes(data); }
    QSize DefaultSize() const override { return FMetafile.Size(); }
    void Render(QPainter &painter, const QRectF &target) const override { FMetafile.Play(painter, target); }

private:
    TMetafile FMetafile;
};

std::shared_ptr<TVectorSource> MakeMetafileSource(const QByteArray &data)
{
    return std::make_shared<TMetafileSource>(data);
}

} // namespace detail

} // namespace zor
