#include "EnvisionUtils.h"

#include <ZorCompCore/core/InterfacedStream.h>
#include <ZorCompCore/platform/Stream.h>

#include "Graphic.h"
#include "GraphicClass.h"
#include "PDFThumbnail.h"
#include "PdfPages_p.h"

#include <QBuffer>
#include <QImageReader>

#include <cfenv>
#include <cmath>

namespace zor {

namespace {

// Halves go to the even neighbour (500 x 200 at height 45 gives 112 x 45).
int RoundHalfEven(double v)
{
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(old);
    return r > 1e9 ? 1000000000 : int(r);
}

// What a thumbnail of class source is written as: the requested class when
// it writes, else the source's own class when that writes, else PNG.
const TGraphicClass *OutputClass(const TGraphicClass *source, const QString &Format)
{
    if (!Format.isEmpty()) {
        const TGraphicClass *wanted = FindDibGraphicClass(Format);
        if (wanted && wanted->CanWrite())
            return wanted;
    }
    if (source && source->Kind() == TGraphicKind::Raster && source->CanWrite())
        return source;
    return FindDibGraphicClass(QStringLiteral("png"));
}

// Raster pictures through one reader: the header read for the size serves
// the decode, which happens straight at the thumbnail size (JPEG scales in
// its decoder). EXIF turns apply after the scaled decode.
TGraphic RasterThumbnail(const QByteArray &data, const TGraphicClass *cls, int TargetHeight, int TargetWidth)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, cls->QtFormat());
    reader.setAutoTransform(true);
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    QSize natural = reader.size();
    if (natural.isValid() && turned)
        natural.transpose();
    const QSize size = ThumbnailSize(natural, TargetHeight, TargetWidth);
    if (natural.isValid() && size != natural)
        reader.setScaledSize(turned ? size.transposed() : size);
    const QImage image = reader.read();
    if (image.isNull())
        throw EEnvisionError(QStringLiteral("Cannot read the %1 picture: %2")
                                 .arg(cls->FormatName(), reader.errorString()));
    TGraphic picture = TGraphic::FromImage(image, cls);
    // Readers that ignore the scaled size (or had no size up front).
    picture.Resize(natural.isValid() ? size : ThumbnailSize(image.size(), TargetHeight, TargetWidth));
    return picture;
}

// PDF page 1 rendered at the thumbnail size, the document opened once.
TGraphic PdfThumbnail(const QByteArray &data, const TGraphicClass *cls, int TargetHeight, int TargetWidth)
{
    const auto pages = detail::TPdfPages::Open(data);
    if (pages->PageCount() < 1)
        throw EEnvisionError(QStringLiteral("The PDF document has no pages"));
    const QSize natural = detail::PageSizeAtDpi(pages->PageSize(0), 72);
    return TGraphic::FromImage(pages->Render(0, ThumbnailSize(natural, TargetHeight, TargetWidth)), cls);
}

// The thumbnail of data (class cls) into dest, which is emptied first and rewound after.
bool MakeThumbnail(const QByteArray &data, const TGraphicClass *cls, TStream &dest, int TargetHeight,
                   int TargetWidth, const QString &Format)
{
    dest.SetSize(0);
    dest.SetPosition(0);
    TGraphic picture;
    switch (cls->Kind()) {
    case TGraphicKind::Raster:
        picture = RasterThumbnail(data, cls, TargetHeight, TargetWidth);
        break;
    case TGraphicKind::Pdf:
        picture = PdfThumbnail(data, cls, TargetHeight, TargetWidth);
        break;
    default:
        // Vector pictures keep drawing at whatever size they are given.
        picture = TGraphic::Load(data, cls);
        picture.Resize(ThumbnailSize(picture.Size(), TargetHeight, TargetWidth));
        break;
    }
    picture.SaveToStream(dest, OutputClass(cls, Format));
    dest.SetPosition(0);
    return true;
}

// A thumbnail of any picture the registry reads; false when it reads none.
bool ThumbnailOfBytes(const QByteArray &data, TStream &dest, int TargetHeight, int TargetWidth,
                      const QString &Format)
{
    if (data.isEmpty())
        return false; // the destination stays as it was
    dest.SetSize(0);
    const TGraphicClass *cls = GuessDibGraphicClass(data);
    if (!cls)
        return false;
    return MakeThumbnail(data, cls, dest, TargetHeight, TargetWidth, Format);
}

} // namespace

QSize ThumbnailSize(QSize source, int TargetHeight, int TargetWidth)
{
    if (source.isEmpty() || (TargetHeight <= 0 && TargetWidth <= 0))
        return source;
    const double ratio = double(source.width()) / source.height();
    if (TargetWidth <= 0)
        TargetWidth = RoundHalfEven(TargetHeight * ratio);
    else if (TargetHeight <= 0)
        TargetHeight = RoundHalfEven(TargetWidth / ratio);
    if (source.width() < TargetWidth && source.height() < TargetHeight)
        return source;
    return QSize(qMax(1, TargetWidth), qMax(1, TargetHeight));
}

bool CreateEnTumbnail(const IPtr<IDataStream> &Source, const IPtr<IDataStream> &Dest, int TargetHeight,
                      int TargetWidth, const QString &Format)
{
    if (!Source || !Dest || Source->GetSize() == 0)
        return false;
    TDataStreamWrapper source(Source), dest(Dest);
    source.SetPosition(0);
    dest.SetSize(0);
    return ThumbnailOfBytes(source.ReadAll(), dest, TargetHeight, TargetWidth, Format);
}

bool CreateImageTumbnail(TStream &Source, TStream &Dest, int TargetHeight, int TargetWidth,
                         const QString &Format)
{
    // Memory streams are read in place: a photo is megabytes, and copying it
    // (page faults included) costs a few per cent of its scaled decode.
    const auto *memory = dynamic_cast<const TMemoryStream *>(&Source);
    if (memory && &Source != &Dest) {
        const QByteArray data = QByteArray::fromRawData(static_cast<const char *>(memory->Memory()),
                                                        qsizetype(Source.Size()));
        Source.SetPosition(Source.Size()); // read to the end, as through the stream
        return ThumbnailOfBytes(data, Dest, TargetHeight, TargetWidth, Format);
    }
    IPtr<IDataStream> source(new TInterfacedStream(&Source, false));
    IPtr<IDataStream> dest(new TInterfacedStream(&Dest, false));
    return CreateEnTumbnail(source, dest, TargetHeight, TargetWidth, Format);
}

bool ConvertImage(QByteArray &Bytes, int TargetHeight, int TargetWidth, const QString &Format)
{
    TBytesStream dest;
    if (!ThumbnailOfBytes(Bytes, dest, TargetHeight, TargetWidth, Format))
        return false;
    Bytes = dest.Bytes();
    return true;
}

bool CreatePDFTumbnail(const IPtr<IDataStream> &Source, const IPtr<IDataStream> &Dest, int TargetHeight,
                       int TargetWidth, const QString &Format)
{
    if (!Source || !Dest)
        return false;
    TDataStreamWrapper source(Source), dest(Dest);
    source.SetPosition(0);
    if (!GuessIsPDFStream(source))
        return false;
    const QByteArray data = source.ReadAll();
    return MakeThumbnail(data, FindDibGraphicClass(QStringLiteral("pdf")), dest, TargetHeight, TargetWidth,
                         Format);
}

} // namespace zor
