//
//  W A R N I N G
//  -------------
// Not part of the library's API: the decision behind TReducedMotion, apart
// from where its inputs come from, for the library's own tests.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

#include <optional>

namespace zor::detail {

struct ReducedMotionInputs
{
    QByteArray Environment;                // ZOR_REDUCED_MOTION; empty when unset
    std::optional<quint32> PortalReduced;  // org.freedesktop.appearance reduced-motion
    std::optional<bool> GnomeAnimations;   // org.gnome.desktop.interface enable-animations
    std::optional<double> KdeFactor;       // kdeglobals [KDE] AnimationDurationFactor
};

struct ReducedMotionAnswer
{
    bool Reduced = false;
    QString Source; // "environment", "portal", "gnome", "kde", "default"
};

ZOR_EXPORT ReducedMotionAnswer DecideReducedMotion(const ReducedMotionInputs &AInputs);
// AnimationDurationFactor from a kdeglobals file; none when absent or unreadable.
ZOR_EXPORT std::optional<double> ReadKdeAnimationFactor(const QString &AFileName);

} // namespace zor::detail
