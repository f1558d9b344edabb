#include "PDFThumbnail.h"

#include <ZorCompCore/platform/Stream.h>

#include "Graphic.h"
#include "PdfPages_p.h"

namespace zor {

bool GuessIsPDFStream(TStream &Stream)
{
    const qint64 pos = Stream.Position();
    char head[5];
    const qint64 got = Stream.Read(head, sizeof head);
    Stream.SetPosition(pos);
    return got == qint64(sizeof head) && QByteArray(head, 5) == QByteArrayLiteral("%PDF-");
}

int PDFPageCount(TStream &Stream)
{
    const qint64 pos = Stream.Position();
    const QByteArray data = Stream.ReadAll();
    Stream.SetPosition(pos);
    return detail::TPdfPages::Open(data)->PageCount();
}

void ConvertPDFToGraphic(TStream &Stream, TGraphic &Graphic, int DPI, int PageNo, QPainter *DC)
{
    Q_UNUSED(DC)
    const qint64 pos = Stream.Position();
    const QByteArray data = Stream.ReadAll();
    Stream.SetPosition(pos);
    const auto pages = detail::TPdfPages::Open(data);
    if (PageNo < 1 || PageNo > pages->PageCount())
        throw EEnvisionError(QStringLiteral("The PDF document has no page %1").arg(PageNo));
    if (DPI <= 0)
        throw EEnvisionError(QStringLiteral("Invalid resolution %1 dpi").arg(DPI));
    const QSize size = detail::PageSizeAtDpi(pages->PageSize(PageNo - 1), DPI);
    Graphic.AssignImage(pages->Render(PageNo - 1, size));
}

} // namespace zor
