#include "HiDPI.h"

#include <ZorCompCore/platform/ImageList.h>
#include <ZorCompCore/platform/MulDiv.h>

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace zor {

int ScreenPPI(const QScreen *Screen)
{
    if (!Screen)
        return 96;
    return int(std::lround(Screen->logicalDotsPerInch() * Screen->devicePixelRatio()));
}

int ScreenPPI()
{
    // QGuiApplication::primaryScreen() needs a GUI application; a command-line
    // program has none and works at the design resolution.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 96;
    return ScreenPPI(QGuiApplication::primaryScreen());
}

int THiDPIImageListHelper::GetImageListDPI(const TImageList *List)
{
    return List ? List->SourceDPI() : 96;
}

int THiDPIImageListHelper::ScaledWidth(const TImageList *List, int DPI)
{
    return List ? MulDiv(List->Width(), DPI, GetImageListDPI(List)) : 0;
}

int THiDPIImageListHelper::ScaledHeight(const TImageList *List, int DPI)
{
    return List ? MulDiv(List->Height(), DPI, GetImageListDPI(List)) : 0;
}

} // namespace zor
