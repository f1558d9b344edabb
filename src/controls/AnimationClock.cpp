#include "AnimationClock.h"

#include <QTimer>

#include <algorithm>
#include <limits>
#include <vector>

namespace zor {

namespace {
// The clock new timers bind to; main thread only, like the timers.
TManualAnimationClock *g_manualClock = nullptr;
} // namespace

struct TAnimationTimer::Private
{
    int Interval = 1000;
    bool Enabled = true;
    QTimer *Timer = nullptr;               // when running on real time
    TManualAnimationClock *Clock = nullptr; // when running on a manual clock
    qint64 Due = 0;                        // next tick on the manual clock
};

TAnimationTimer::TAnimationTimer(QObject *AOwner)
    : QObject(AOwner), d(std::make_unique<Private>())
{
    if (g_manualClock) {
        d->Clock = g_manualClock;
        d->Due = d->Clock->Now() + d->Interval;
        d->Clock->Attach(this);
    } else {
        d->Timer = new QTimer(this);
        d->Timer->setInterval(d->Interval);
        connect(d->Timer, &QTimer::timeout, this, &TAnimationTimer::Fire);
        d->Timer->start();
    }
}

TAnimationTimer::~TAnimationTimer()
{
    if (d->Clock)
        d->Clock->Detach(this);
}

int TAnimationTimer::Interval() const
{
    return d->Interval;
}

void TAnimationTimer::SetInterval(int AMilliseconds)
{
    d->Interval = std::max(1, AMilliseconds);
    if (d->Timer) {
        d->Timer->setInterval(d->Interval); // restarts a running QTimer
    } else if (d->Clock) {
        d->Due = d->Clock->Now() + d->Interval;
    }
}

bool TAnimationTimer::Enabled() const
{
    return d->Enabled;
}

void TAnimationTimer::SetEnabled(bool AValue)
{
    if (d->Enabled == AValue)
        return;
    d->Enabled = AValue;
    if (d->Timer) {
        if (AValue)
            d->Timer->start();
        else
            d->Timer->stop();
    } else if (d->Clock && AValue) {
        d->Due = d->Clock->Now() + d->Interval;
    }
}

void TAnimationTimer::Fire()
{
    if (OnTimer)
        OnTimer();
}

// --- TManualAnimationClock ---------------------------------------------------

struct TManualAnimationClock::Private
{
    qint64 Now = 0;
    std::vector<TAnimationTimer *> Timers;
    TManualAnimationClock *Previous = nullptr;
};

TManualAnimationClock::TManualAnimationClock()
    : d(std::make_unique<Private>())
{
    d->Previous = g_manualClock;
    g_manualClock = this;
}

TManualAnimationClock::~TManualAnimationClock()
{
    for (TAnimationTimer *t : d->Timers)
        t->d->Clock = nullptr; // the timer outlives its clock: it never ticks again
    if (g_manualClock == this)
        g_manualClock = d->Previous;
}

qint64 TManualAnimationClock::Now() const
{
    return d->Now;
}

void TManualAnimationClock::Advance(int AMilliseconds)
{
    const qint64 target = d->Now + std::max(0, AMilliseconds);
    for (;;) {
        // Rescanned after every tick: a tick may add, change or free timers.
        TAnimationTimer *next = nullptr;
        qint64 due = std::numeric_limits<qint64>::max();
        for (TAnimationTimer *t : d->Timers) {
            if (t->d->Enabled && t->d->Due <= target && t->d->Due < due) {
                next = t;
                due = t->d->Due;
            }
        }
        if (!next)
            break;
        d->Now = due;
        next->d->Due = due + next->d->Interval;
        next->Fire();
    }
    d->Now = target;
}

int TManualAnimationClock::ActiveTimerCount() const
{
    return int(std::count_if(d->Timers.begin(), d->Timers.end(),
                             [](TAnimationTimer *t) { return t->d->Enabled; }));
}

void TManualAnimationClock::Attach(TAnimationTimer *ATimer)
{
    d->Timers.push_back(ATimer);
}

void TManualAnimationClock::Detach(TAnimationTimer *ATimer)
{
    d->Timers.erase(std::remove(d->Timers.begin(), d->Timers.end(), ATimer), d->Timers.end());
}

} // namespace zor
