// Pixels per inch of the screen, and image-list sizes at a DPI.
//
// Design-time sizes count at 96 dpi; an image list's images count at its
// SourceDPI. Results are device pixels, converted with MulDiv (halves away
// from zero), so they match the pixel what Windows designs give.
#pragma once

#include <ZorCompCore/zor_export.h>

class QScreen;

namespace zor {

class TImageList;

// round(logical DPI × device pixel ratio) of the screen; 96 without one
// (no QGuiApplication, or a headless program without screens).
ZOR_EXPORT int ScreenPPI(const QScreen *Screen);
// The same for the primary screen.
ZOR_EXPORT int ScreenPPI();

class ZOR_EXPORT THiDPIImageListHelper
{
public:
    // The DPI the list's images were designed for (its SourceDPI; 96 for none).
    static int GetImageListDPI(const TImageList *List);
    // MulDiv(Width or Height, DPI, GetImageListDPI(List)).
    static int ScaledWidth(const TImageList *List, int DPI);
    static int ScaledHeight(const TImageList *List, int DPI);
};

} // namespace zor
