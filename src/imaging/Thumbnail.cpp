#include "EnvisionUtils.h"

#include <ZorCompCore/core/InterfacedStream.h>
#include <ZorCompCore/platform/Stream.h>

#include "Graphic.h"
#include "GraphicClass.h"
#include "PDFThumbnail.h"

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

// The thumbnail of data (class cls) into dest, which is emptied first and rewound after.
bool MakeThumbnail(const QByteArray &data, const TGraphicClass *cls, TStream &dest, int TargetHeight,
                   int TargetWidth, const QString &Format)
{
    dest.SetSize(0);
    dest.SetPosition(0);
    QSize natural = TGraphic::ProbeSize(data, cls);
    TGraphic picture;
    if (natural.isEmpty()) {
        picture = TGraphic::Load(data, cls);
        natural = picture.Size();
    }
    const QSize size = ThumbnailSize(natural, TargetHeight, TargetWidth);
    if (picture.IsEmpty()) {
        // Raster readers decode straight at the thumbnail size (JPEG scales
        // in the decoder); PDF pages render at it.
        const bool scaled = cls->Kind() == TGraphicKind::Raster || cls->Kind() == TGraphicKind::Pdf;
        picture = TGraphic::Load(data, cls, scaled && size != natural ? size : QSize());
    }
    picture.Resize(size);
    picture.SaveToStream(dest, OutputClass(cls, Format));
    dest.SetPosition(0);
    return true;
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
    const QByteArray data = source.ReadAll();
    const TGraphicClass *cls = GuessDibGraphicClass(data);
    if (!cls)
        return false;
    return MakeThumbnail(data, cls, dest, TargetHeight, TargetWidth, Format);
}

bool CreateImageTumbnail(TStream &Source, TStream &Dest, int TargetHeight, int TargetWidth,
                         const QString &Format)
{
    IPtr<IDataStream> source(new TInterfacedStream(&Source, false));
    IPtr<IDataStream> dest(new TInterfacedStream(&Dest, false));
    return CreateEnTumbnail(source, dest, TargetHeight, TargetWidth, Format);
}

bool ConvertImage(QByteArray &Bytes, int TargetHeight, int TargetWidth, const QString &Format)
{
    TBytesStream source(Bytes), dest;
    if (!CreateImageTumbnail(source, dest, TargetHeight, TargetWidth, Format))
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
