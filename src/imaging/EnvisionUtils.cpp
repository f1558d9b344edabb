#include "EnvisionUtils.h"

#include <ZorCompCore/platform/Stream.h>

#include "Graphic.h"
#include "GraphicClass.h"
#include "PDFThumbnail.h"
#include "SVGTools.h"

namespace zor {

QString GuessImageDataFormat(const QByteArray &Bytes)
{
    if (const TGraphicClass *cls = GuessDibGraphicClass(Bytes))
        return cls->FormatName();
    TBytesStream stream(Bytes);
    if (GuessIsSVGStream(stream))
        return QStringLiteral("svg");
    if (GuessIsPDFStream(stream))
        return QStringLiteral("pdf");
    return QStringLiteral("bitmap");
}

namespace {

const TGraphicClass *WritableClass(const QString &Format)
{
    const TGraphicClass *cls = FindDibGraphicClass(Format);
    if (!cls || !cls->CanWrite())
        RaiseUnknownFormat(Format);
    return cls;
}

} // namespace

void ConvertImageFormat(TStream &Source, TStream &Dest, const QString &Format)
{
    const TGraphicClass *source = GuessDibGraphicClass(Source);
    if ((!source || source->Kind() == TGraphicKind::Pdf) && GuessIsPDFStream(Source)) {
        if (Format.toLower() == QLatin1String(".pdf")) {
            Dest.CopyFrom(Source, Source.Size() - Source.Position());
        } else {
            const TGraphicClass *target = WritableClass(Format);
            TGraphic page;
            page.SetGraphicClass(target);
            ConvertPDFToGraphic(Source, page, 300, 1, nullptr);
            page.SaveToStream(Dest, target);
        }
    } else if (source) {
        // Copying needs no writer: a GIF stays a GIF although Qt cannot write one.
        const TGraphicClass *target = FindDibGraphicClass(Format);
        if (target != source)
            target = WritableClass(Format);
        if (target == source) {
            Dest.CopyFrom(Source, Source.Size() - Source.Position());
        } else {
            const TGraphic picture = TGraphic::Load(Source.ReadAll(), source);
            picture.SaveToStream(Dest, target);
        }
    } else {
        throw EEnvisionError(QStringLiteral("Unknown Graphic-Format in Source!"));
    }
    Dest.SetPosition(0);
}

void EnConvertToTrueColor(TGraphic &Dib)
{
    if (Dib.IsVector() || Dib.Image().isNull() || Dib.Image().format() == QImage::Format_RGB888)
        return;
    // Transparent pixels become white, as on paper.
    Dib.AssignImage(Dib.ToImage(Dib.Size(), true).convertToFormat(QImage::Format_RGB888));
}

} // namespace zor
