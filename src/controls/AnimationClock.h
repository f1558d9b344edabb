// The clock behind every animation of the controls: a timer that runs on a
// QTimer, or on a manual clock that a test (or a screenshot run) advances by
// hand, so that frame sequences can be checked without waiting and without
// timing thresholds.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QObject>

#include <functional>
#include <memory>

namespace zor {

class TManualAnimationClock;

// A repeating timer with the platform timer's defaults: enabled, 1000 ms.
// It binds to the manual clock installed when it is created, else to a
// QTimer on the creating (main) thread.
class ZOR_EXPORT TAnimationTimer : public QObject
{
    Q_OBJECT
public:
    explicit TAnimationTimer(QObject *AOwner = nullptr);
    ~TAnimationTimer() override;

    int Interval() const;
    // Milliseconds between ticks; a running timer starts counting anew.
    void SetInterval(int AMilliseconds);
    bool Enabled() const;
    void SetEnabled(bool AValue);

    // Called on every tick.
    std::function<void()> OnTimer;

private:
    void Fire();
    struct Private;
    std::unique_ptr<Private> const d;
    friend class TManualAnimationClock;
};

// A clock that moves only when told. While one exists, new timers run on it
// (the newest clock wins); its timers stop for good when it is destroyed.
class ZOR_EXPORT TManualAnimationClock
{
public:
    TManualAnimationClock();
    ~TManualAnimationClock();
    TManualAnimationClock(const TManualAnimationClock &) = delete;
    TManualAnimationClock &operator=(const TManualAnimationClock &) = delete;

    // Milliseconds since the clock was made.
    qint64 Now() const;
    // Moves the clock forward, firing every due tick in time order (a timer
    // due three times fires three times). Timers may be created, changed or
    // destroyed from a tick.
    void Advance(int AMilliseconds);
    // Enabled timers on this clock.
    int ActiveTimerCount() const;

private:
    void Attach(TAnimationTimer *ATimer);
    void Detach(TAnimationTimer *ATimer);
    struct Private;
    std::unique_ptr<Private> const d;
    friend class TAnimationTimer;
};

} // namespace zor
