#include "AnimatedProgressBar.h"

#include "AnimationClock.h"
#include "ReducedMotion.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>

namespace zor {

namespace {

// A busy progress bar for assistive technology: minimum = maximum = 0.
class AccessibleBusyBar : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleBusyBar(QWidget *w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override { return 0; }
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return 0; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 0; }
};

QAccessibleInterface *accessibleFactory(const QString &AClassName, QObject *AObject)
{
    if (AClassName == QLatin1String("zor::TAnimatedProgressBar") && AObject && AObject->isWidgetType())
        return new AccessibleBusyBar(static_cast<QWidget *>(AObject));
    return nullptr;
}

} // namespace

struct TAnimatedProgressBar::Private
{
    TColor BorderColor = 0;
    int BorderWidth = 1;
    TColor Color = 0xFFFFFF;
    int BarWidth = 30;
    int BarSpeed = 50;
    bool Animate = false;
    int BarStart = 0;
    TAnimationTimer *Timer = nullptr;
    TColor BarColor = 0xA56E3A;
    int BarStep = 1;
    bool ManualAnimate = false;
    bool RespectReducedMotion = true;
};

TAnimatedProgressBar::TAnimatedProgressBar(QWidget *AParent)
    : QWidget(AParent), d(std::make_unique<Private>())
{
    static const bool factory = (QAccessible::installFactory(accessibleFactory), true);
    Q_UNUSED(factory);
    resize(200, 9);
    // Left enabled, as a new platform timer is: ticks run from here on.
    d->Timer = new TAnimationTimer(this);
    d->Timer->OnTimer = [this] { ManualStep(); };
    UpdateInterval();
    connect(TReducedMotion::Instance(), &TReducedMotion::Changed, this, [this] { UpdateInterval(); });
}

TAnimatedProgressBar::~TAnimatedProgressBar() = default;

TColor TAnimatedProgressBar::BorderColor() const { return d->BorderColor; }
void TAnimatedProgressBar::SetBorderColor(TColor AValue) { d->BorderColor = AValue; update(); }
int TAnimatedProgressBar::BorderWidth() const { return d->BorderWidth; }
void TAnimatedProgressBar::SetBorderWidth(int AValue) { d->BorderWidth = AValue; update(); }
TColor TAnimatedProgressBar::Color() const { return d->Color; }
void TAnimatedProgressBar::SetColor(TColor AValue) { d->Color = AValue; update(); }
int TAnimatedProgressBar::BarWidth() const { return d->BarWidth; }
void TAnimatedProgressBar::SetBarWidth(int AValue) { d->BarWidth = AValue; update(); }
int TAnimatedProgressBar::BarSpeed() const { return d->BarSpeed; }
TColor TAnimatedProgressBar::BarColor() const { return d->BarColor; }
void TAnimatedProgressBar::SetBarColor(TColor AValue) { d->BarColor = AValue; update(); }
int TAnimatedProgressBar::BarStep() const { return d->BarStep; }
void TAnimatedProgressBar::SetBarStep(int AValue) { d->BarStep = AValue; update(); }
bool TAnimatedProgressBar::Animate() const { return d->Animate; }
bool TAnimatedProgressBar::ManualAnimate() const { return d->ManualAnimate; }
void TAnimatedProgressBar::SetManualAnimate(bool AValue) { d->ManualAnimate = AValue; update(); }
bool TAnimatedProgressBar::RespectReducedMotion() const { return d->RespectReducedMotion; }
int TAnimatedProgressBar::BarStart() const { return d->BarStart; }
int TAnimatedProgressBar::TimerInterval() const { return d->Timer->Interval(); }

void TAnimatedProgressBar::SetBarSpeed(int AValue)
{
    d->BarSpeed = AValue;
    UpdateInterval();
    update();
}

void TAnimatedProgressBar::SetAnimate(bool AValue)
{
    d->Animate = AValue;
    d->Timer->SetEnabled(AValue);
    if (AValue)
        d->BarStart = -d->BarWidth;
    update();
}

void TAnimatedProgressBar::SetRespectReducedMotion(bool AValue)
{
    d->RespectReducedMotion = AValue;
    UpdateInterval();
}

void TAnimatedProgressBar::ManualStep()
{
    d->BarStart += d->BarStep;
    if (d->BarStart >= width())
        d->BarStart = -d->BarWidth; // re-enters from the left, fully outside
    update();
}

void TAnimatedProgressBar::UpdateInterval()
{
    d->Timer->SetInterval(TReducedMotion::ScaledInterval(d->BarSpeed, d->RespectReducedMotion));
}

void TAnimatedProgressBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    // GDI fill: from the top-left corner up to, not including, the bottom-right one.
    p.fillRect(QRect(0, 0, w, h), ToQColor(d->Color));
    if (d->Animate || d->ManualAnimate)
        p.fillRect(QRect(d->BarStart, 1, d->BarWidth, h - 1), ToQColor(d->BarColor));
    // GDI outline of (0, 0)-(w, h): lines through the outermost pixel rows and
    // columns; a pen n pixels wide covers n pixels beginning n div 2 before
    // each line, so a wide border lies partly outside the control.
    const int n = std::max(1, d->BorderWidth);
    const int lo = -(n / 2);
    const QColor pen = ToQColor(d->BorderColor);
    const int right = w - 1;
    const int bottom = h - 1;
    p.fillRect(QRect(lo, lo, w + n - 1, n), pen);              // top
    p.fillRect(QRect(lo, bottom + lo, w + n - 1, n), pen);     // bottom
    p.fillRect(QRect(lo, lo, n, h + n - 1), pen);              // left
    p.fillRect(QRect(right + lo, lo, n, h + n - 1), pen);      // right
}

} // namespace zor
