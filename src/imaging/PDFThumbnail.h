// PDF detection, page rendering and thumbnails, and drawing any picture turned by a
// multiple of 90 degrees onto a painter.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QString>

class QPainter;

namespace zor {

class TStream;
class TGraphic;
class IDataStream;

// True when the next 5 bytes are "%PDF-"; the position is kept.
ZOR_EXPORT bool GuessIsPDFStream(TStream &Stream);

// The number of pages of the PDF in Stream (from its position, which is
// kept). Raises EEnvisionError for unreadable documents.
ZOR_EXPORT int PDFPageCount(TStream &Stream);

// Graphic receives page PageNo (1-based) of the PDF in Stream rendered at DPI
// (form fields and annotations included), as pixels; Graphic keeps its class,
// so a vector class saves the page as an embedded raster. DC is not used.
// Raises EEnvisionError for unreadable documents, missing pages and pages too
// large to render at that resolution.
ZOR_EXPORT void ConvertPDFToGraphic(TStream &Stream, TGraphic &Graphic, int DPI, int PageNo,
                                    QPainter *DC = nullptr);

// Thumbnail of page 1 of a PDF, sized and formatted as CreateEnTumbnail
// does (empty Format: PNG). False when Source is no PDF.
ZOR_EXPORT bool CreatePDFTumbnail(const IPtr<IDataStream> &Source, const IPtr<IDataStream> &Dest,
                                  int TargetHeight, int TargetWidth, const QString &Format);

// Draws the picture in Stream (any readable class) onto DC inside
// (0, 0, Width, Height), on white. Rotation 0 shifts by (-OffsetX, -OffsetY);
// ±90, ±180, ±270 turn the picture clockwise and fit the turned picture into
// the rectangle (offsets unused); any other rotation paints only the white
// rectangle. Value1, Value2, Flag1, Flag2 are accepted and have no effect.
ZOR_EXPORT void EMFRenderImageToDC(TStream &Stream, QPainter *DC, int OffsetX, int OffsetY, int Width,
                                   int Height, double Value1, double Value2, int Rotation, bool Flag1,
                                   bool Flag2);

} // namespace zor
