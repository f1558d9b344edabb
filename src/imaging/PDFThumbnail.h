// PDF detection and page rendering.
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

// Graphic receives page PageNo (1-based) of the PDF in Stream rendered at DPI
// (form fields and annotations included), as pixels; Graphic keeps its class,
// so a vector class saves the page as an embedded raster. DC is not used.
// Raises EEnvisionError for unreadable documents, missing pages and pages too
// large to render at that resolution.
ZOR_EXPORT void ConvertPDFToGraphic(TStream &Stream, TGraphic &Graphic, int DPI, int PageNo,
                                    QPainter *DC = nullptr);

} // namespace zor
