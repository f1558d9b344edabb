// A process-wide "please wait" window with an optional progress bar, shown by
// the translation tools during long runs. Any of the functions creates the
// window on first use; every call repaints it and processes pending GUI
// events, so that progress shows while the caller keeps the main thread busy.
// Main thread only.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

class QWidget;

namespace zor {

// Shows the window (if hidden) with AText and image AImageIndex of its image
// list, and the busy cursor.
ZOR_EXPORT void Splash(const QString &AText, quint8 AImageIndex = 0);
// Restores the cursor and destroys the window.
ZOR_EXPORT void NoSplash();
// Shows the progress bar at position 0 of AMax.
ZOR_EXPORT void SplashInitProgress(int AMax);
ZOR_EXPORT void SplashProgress(int APosition);
ZOR_EXPORT void SplashHideProgress();

// The window, or null when it does not exist (for tests and screenshots).
ZOR_EXPORT QWidget *SplashWindow();
// Number of images the window has; Splash shows no picture for other indexes.
ZOR_EXPORT int SplashImageCount();

} // namespace zor
