// TAnimatedProgressBar: a thin bar in which a coloured block runs from left
// to right, over and over, for work of unknown length. Created 200 × 9.
//
// Its timer runs from construction (one BarStep per BarSpeed milliseconds,
// four times slower while motion is reduced, see ReducedMotion.h), so the
// block moves even while it is not drawn; it is drawn while Animate or
// ManualAnimate is set. With ManualAnimate the application moves it by
// ManualStep. Painting follows GDI's rules: fills leave out the right and
// bottom edge, and a border wider than one pixel straddles the control's edge.
#pragma once

#include <ZorCompCore/platform/Color.h>
#include <ZorCompCore/zor_export.h>

#include <QWidget>

#include <memory>

namespace zor {

class ZOR_EXPORT TAnimatedProgressBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Animate READ Animate WRITE SetAnimate)
public:
    explicit TAnimatedProgressBar(QWidget *AParent = nullptr);
    ~TAnimatedProgressBar() override;

    TColor BorderColor() const;        // default black
    void SetBorderColor(TColor AValue);
    int BorderWidth() const;           // default 1
    void SetBorderWidth(int AValue);
    TColor Color() const;              // default white
    void SetColor(TColor AValue);
    int BarWidth() const;              // pixels, default 30
    void SetBarWidth(int AValue);
    int BarSpeed() const;              // milliseconds per step, default 50
    void SetBarSpeed(int AValue);
    TColor BarColor() const;           // default 0xA56E3A (red 58, green 110, blue 165)
    void SetBarColor(TColor AValue);
    int BarStep() const;               // pixels per step, default 1
    void SetBarStep(int AValue);
    bool Animate() const;
    // Starts or stops the timer; switching on restarts the block at -BarWidth.
    void SetAnimate(bool AValue);
    bool ManualAnimate() const;
    void SetManualAnimate(bool AValue);
    // Default on: follow the desktop's reduced-motion setting.
    bool RespectReducedMotion() const;
    void SetRespectReducedMotion(bool AValue);

    // One step of the block, as a timer tick makes it.
    void ManualStep();
    // Left edge of the block.
    int BarStart() const;
    // Milliseconds between ticks now.
    int TimerInterval() const;

protected:
    void paintEvent(QPaintEvent *AEvent) override;

private:
    void UpdateInterval();
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
