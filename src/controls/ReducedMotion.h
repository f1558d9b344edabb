// Whether the user asked desktops to keep motion down, and how the controls'
// animations follow that wish: their timers run four times slower (a frozen
// busy indicator would read as a hang) and sliders change images without
// transitions. Qt has no such setting, so it is read from the desktop:
//   1. ZOR_REDUCED_MOTION=0|1 in the environment, which overrides the rest;
//   2. the settings portal: org.freedesktop.appearance reduced-motion = 1;
//   3. else GNOME, through the same portal: org.gnome.desktop.interface
//      enable-animations = false;
//   4. else KDE: [KDE] AnimationDurationFactor=0 in kdeglobals.
// The portal is asked asynchronously over the session bus, and its changes
// are followed live; until it answers, KDE's file decides.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QObject>
#include <QString>

#include <memory>

namespace zor {

// How much slower animation timers run while motion is reduced.
constexpr int ReducedMotionSlowdown = 4;

class ZOR_EXPORT TReducedMotion : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Reduced READ Reduced NOTIFY Changed)
public:
    // The process-wide watcher, made on first use (needs a QCoreApplication).
    static TReducedMotion *Instance();

    bool Reduced() const;
    // What decided: "environment", "portal", "gnome", "kde" or "default".
    QString Source() const;
    // Reads the environment and kdeglobals again (the portal reports its
    // own changes); emits Changed when the answer changed.
    void Refresh();

    // An animation interval as the user wants it: AMilliseconds, or four
    // times that when motion is reduced and ARespect is set.
    static int ScaledInterval(int AMilliseconds, bool ARespect);

Q_SIGNALS:
    void Changed(bool AReduced);

private:
    explicit TReducedMotion(QObject *AParent);
    ~TReducedMotion() override;
    void AskPortal();
    void PortalValue(const QString &ANamespace, const QString &AKey, const QVariant &AValue);
    void Update();
    friend class PortalListener;

    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
