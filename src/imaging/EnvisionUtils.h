// Format guessing, conversion and thumbnails over the graphic class registry.
// Sizes are passed height first, then width; 0 derives one from the other.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QSize>
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

// Thumbnails: no enlargement (a picture smaller than the target in both
// directions keeps its size), both sizes given stretch, 0 x 0 keeps the size.
// Empty Format: a raster keeps its format, vector pictures and PDF give PNG.
// False for empty or unrecognised sources; Dest emptied first, rewound after.
ZOR_EXPORT bool CreateEnTumbnail(const IPtr<IDataStream> &Source, const IPtr<IDataStream> &Dest,
                                 int TargetHeight, int TargetWidth, const QString &Format);
ZOR_EXPORT bool CreateImageTumbnail(TStream &Source, TStream &Dest, int TargetHeight, int TargetWidth,
                                    const QString &Format);
// Bytes replaced by the thumbnail when one could be made.
ZOR_EXPORT bool ConvertImage(QByteArray &Bytes, int TargetHeight, int TargetWidth, const QString &Format);

// Converts a raster picture to 24-bit colour unless it already is.
ZOR_EXPORT void EnConvertToTrueColor(TGraphic &Dib);

// The thumbnail size of a picture of size source for the requested target
// (height first): derived side rounded half to even, no enlargement.
ZOR_EXPORT QSize ThumbnailSize(QSize source, int TargetHeight, int TargetWidth);

} // namespace zor
