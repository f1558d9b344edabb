#include "Graphic.h"

#include <ZorCompCore/platform/Stream.h>

#include "Limits_p.h"
#include "PdfPages_p.h"
#include "VectorSource_p.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QSvgRenderer>

namespace zor {

void RaiseUnknownFormat(const QString &format)
{
    throw EEnvisionError(QStringLiteral("Unknown Graphic-Format ") + format + QStringLiteral(" requested!"));
}

class TGraphicPrivate
{
public:
    const TGraphicClass *cls = nullptr;
    QImage image;                                   // raster content
    std::shared_ptr<detail::TVectorSource> vector;  // or vector content
    QSize size;
};

namespace {

// QSvgGenerator states the size in millimetres at its resolution; readers
// convert millimetres at their own, so the root gets plain pixels instead.
QByteArray WithPixelSize(QByteArray svg, QSize size)
{
    const qsizetype root = svg.indexOf("<svg");
    const qsizetype end = root < 0 ? -1 : svg.indexOf('>', root);
    if (end < 0)
        return svg;
    QString head = QString::fromUtf8(svg.mid(root, end - root));
    head.replace(QRegularExpression(QStringLiteral("\\bwidth=\"[^\"]*\"")),
                 QStringLiteral("width=\"%1\"").arg(size.width()));
    head.replace(QRegularExpression(QStringLiteral("\\bheight=\"[^\"]*\"")),
                 QStringLiteral("height=\"%1\"").arg(size.height()));
    return svg.left(root) + head.toUtf8() + svg.mid(end);
}

class TSvgSource final : public detail::TVectorSource
{
public:
    explicit TSvgSource(const QByteArray &data) : FRenderer(data)
    {
        if (!FRenderer.isValid())
            throw EEnvisionError(QStringLiteral("The SVG document cannot be read"));
        QSize s = FRenderer.defaultSize();
        if (s.isEmpty())
            s = FRenderer.viewBox().size();
        // A drawing without any size gets an icon-like default.
        FSize = s.isEmpty() ? QSize(256, 256) : s;
    }
    QSize DefaultSize() const override { return FSize; }
    void Render(QPainter &painter, const QRectF &target) const override
    {
        const_cast<QSvgRenderer &>(FRenderer).render(&painter, target);
    }

private:
    QSvgRenderer FRenderer;
    QSize FSize;
};

QSize ReaderSize(QImageReader &reader)
{
    QSize s = reader.size();
    if (s.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        s.transpose();
    return s;
}

const TGraphicClass *ClassOrGuess(const QByteArray &data, const TGraphicClass *cls)
{
    if (!cls)
        cls = GuessDibGraphicClass(data);
    if (!cls || !cls->CanRead())
        throw EEnvisionError(QStringLiteral("Unknown Graphic-Format in Source!"));
    return cls;
}

} // namespace

namespace detail {
std::shared_ptr<TVectorSource> MakeMetafileSource(const QByteArray &data);
}

TGraphic::TGraphic() : d(std::make_shared<TGraphicPrivate>()) {}
TGraphic::TGraphic(const TGraphic &) = default;
TGraphic &TGraphic::operator=(const TGraphic &) = default;
TGraphic::~TGraphic() = default;

TGraphic TGraphic::Load(const QByteArray &data, const TGraphicClass *cls, QSize decodeSize)
{
    cls = ClassOrGuess(data, cls);
    TGraphic g;
    g.d->cls = cls;
    switch (cls->Kind()) {
    case TGraphicKind::Raster: {
        QByteArray copy = data;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, cls->QtFormat());
        reader.setAutoTransform(true);
        if (decodeSize.isValid() && !decodeSize.isEmpty()) {
            // The scaled size applies before the EXIF turn.
            QSize raw = decodeSize;
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                raw.transpose();
            reader.setScaledSize(raw);
        }
        QImage image = reader.read();
        if (image.isNull())
            throw EEnvisionError(QStringLiteral("Cannot read the %1 picture: %2")
                                     .arg(cls->FormatName(), reader.errorString()));
        g.d->image = image;
        g.d->size = image.size();
        break;
    }
    case TGraphicKind::Svg:
        g.d->vector = std::make_shared<TSvgSource>(data);
        g.d->size = g.d->vector->DefaultSize();
        break;
    case TGraphicKind::Pdf: {
        auto pages = detail::TPdfPages::Open(data);
        if (pages->PageCount() < 1)
            throw EEnvisionError(QStringLiteral("The PDF document has no pages"));
        const QSize size = decodeSize.isValid() && !decodeSize.isEmpty()
                               ? decodeSize : detail::PageSizeAtDpi(pages->PageSize(0), 72);
        g.d->image = pages->Render(0, size);
        g.d->size = size;
        break;
    }
    case TGraphicKind::Emf:
    case TGraphicKind::Wmf:
        g.d->vector = detail::MakeMetafileSource(data);
        g.d->size = g.d->vector->DefaultSize();
        break;
    }
    return g;
}

QSize TGraphic::ProbeSize(const QByteArray &data, const TGraphicClass *cls)
{
    try {
        cls = ClassOrGuess(data, cls);
        if (cls->Kind() == TGraphicKind::Raster) {
            QByteArray copy = data;
            QBuffer buffer(&copy);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer, cls->QtFormat());
            reader.setAutoTransform(true);
            return ReaderSize(reader);
        }
        if (cls->Kind() == TGraphicKind::Pdf) {
            auto pages = detail::TPdfPages::Open(data);
            return pages->PageCount() > 0 ? detail::PageSizeAtDpi(pages->PageSize(0), 72) : QSize();
        }
        return Load(data, cls).Size();
    } catch (const EEnvisionError &) {
        return {};
    }
}

TGraphic TGraphic::FromImage(const QImage &image, const TGraphicClass *cls)
{
    TGraphic g;
    g.d->cls = cls ? cls : FindDibGraphicClass(QStringLiteral("bmp"));
    g.d->image = image;
    g.d->size = image.size();
    return g;
}

bool TGraphic::IsEmpty() const { return d->size.isEmpty(); }
const TGraphicClass *TGraphic::GraphicClass() const { return d->cls; }
void TGraphic::SetGraphicClass(const TGraphicClass *cls) { d->cls = cls; }
QSize TGraphic::Size() const { return d->size; }
bool TGraphic::IsVector() const { return d->vector != nullptr; }
QImage TGraphic::Image() const { return d->image; }

void TGraphic::Draw(QPainter &painter, const QRectF &target) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (d->vector)
        d->vector->Render(painter, target);
    else if (!d->image.isNull())
        painter.drawImage(target, d->image);
    painter.restore();
}

QImage TGraphic::ToImage(QSize size, bool opaque) const
{
    if (!d->vector && d->image.size() == size && !(opaque && d->image.hasAlphaChannel()))
        return d->image;
    detail::CheckRenderSize(size, "the picture");
    QImage out(size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    out.fill(opaque ? Qt::white : Qt::transparent);
    QPainter p(&out);
    Draw(p, QRectF(QPointF(0, 0), QSizeF(size)));
    p.end();
    return out;
}

void TGraphic::Resize(QSize size)
{
    if (size == d->size)
        return;
    if (!d->vector && !d->image.isNull()) {
        detail::CheckRenderSize(size, "the picture");
        auto copy = std::make_shared<TGraphicPrivate>(*d);
        copy->image = d->image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        d = copy;
    } else {
        d = std::make_shared<TGraphicPrivate>(*d);
    }
    d->size = size;
}

void TGraphic::AssignImage(const QImage &image)
{
    auto copy = std::make_shared<TGraphicPrivate>();
    copy->cls = d->cls;
    copy->image = image;
    copy->size = image.size();
    d = copy;
}

QByteArray TGraphic::SaveToBytes(const TGraphicClass *cls) const
{
    if (!cls)
        cls = d->cls;
    if (!cls || !cls->CanWrite())
        RaiseUnknownFormat(cls ? cls->FormatName() : QString());
    if (d->size.isEmpty())
        throw EEnvisionError(QStringLiteral("Cannot write an empty picture"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF whole(QPointF(0, 0), QSizeF(d->size));
    switch (cls->Kind()) {
    case TGraphicKind::Raster: {
        const QImage image = ToImage(d->size, !cls->HasAlpha());
        QImageWriter writer(&buffer, cls->QtFormat());
        if (cls->FormatName() == QLatin1String("jpg"))
            writer.setQuality(85);
        if (!writer.write(image))
            throw EEnvisionError(QStringLiteral("Cannot write the picture as %1: %2")
                                     .arg(cls->FormatName(), writer.errorString()));
        break;
    }
    case TGraphicKind::Svg: {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(d->size);
        generator.setViewBox(whole);
        QPainter p(&generator);
        Draw(p, whole);
        p.end();
        buffer.close();
        return WithPixelSize(bytes, d->size);
    }
    case TGraphicKind::Pdf: {
        // One page the size of the picture at 96 dpi.
        QPdfWriter writer(&buffer);
        writer.setResolution(96);
        writer.setPageSize(QPageSize(QSizeF(d->size) * 72.0 / 96.0, QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        p.fillRect(QRect(0, 0, writer.width(), writer.height()), Qt::white);
        Draw(p, QRectF(0, 0, writer.width(), writer.height()));
        break;
    }
    default:
        RaiseUnknownFormat(cls->FormatName());
    }
    buffer.close();
    return bytes;
}

void TGraphic::SaveToStream(TStream &dest, const TGraphicClass *cls) const
{
    const QByteArray bytes = SaveToBytes(cls);
    dest.WriteBuffer(bytes.constData(), bytes.size());
}

} // namespace zor
