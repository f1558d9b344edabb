// Format guessing, conversion and thumbnails over the graphic class registry.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TStream;
class TGraphic;
class IDataStream;

// The format name of the bytes: a class's name ("png", "jpg" …), else "svg",
// "pdf" or "bitmap".
ZOR_EXPORT QString GuessImageDataFormat(const QByteArray &Bytes);

// Dest receives the picture of Source (from its position) in Format and is
// rewound. Same class: bytes copied unchanged; a PDF source gives page 1 at
// 300 dpi (copied as is for ".pdf"). Raises EEnvisionError "Unknown
// Graphic-Format <Format> requested!" for targets no class writes, and
// "Unknown Graphic-Format in Source!" for unrecognised sources.
ZOR_EXPORT void ConvertImageFormat(TStream &Source, TStream &Dest, const QString &Format);

// Converts a raster picture to 24-bit colour unless it already is.
ZOR_EXPORT void EnConvertToTrueColor(TGraphic &Dib);

} // namespace zor
