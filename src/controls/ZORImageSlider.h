// Sprite sheets and the controls that play them.
//
// A sprite sheet is a PNG image holding square frames side by side: its
// height is the frame size, width div height the frame count (a remainder
// narrower than a frame is ignored; a sheet narrower than it is high has no
// frame). TcxZORImageCollection cuts sheets into frames; the sprite slider
// shows one frame at a time; TZORLoadingImageAnimation steps through one of
// the two built-in sheets on a timer:
//   dasCircle1  "ZORLOADINGANIM_C132"    384 × 32, 12 frames
//   dasBlocks   "ZORLOADINGANIM_BLKS32"  736 × 32, 23 frames
// Each built-in sheet also exists drawn at twice the size ("…@2x", 64 px
// frames), used on screens with a device-pixel ratio above 1.
#pragma once

#include <ZorCompCore/platform/Color.h>
#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

namespace zor {

class TStream;

enum TZORAnimationSet { dasCircle1, dasBlocks };
// How a frame is placed in the slider: unscaled and centred, stretched to the
// whole area, scaled to fit inside keeping its proportions (never enlarged
// beyond what fits), or scaled to cover the area keeping its proportions.
enum TdxImageFitMode { ifmNormal, ifmStretch, ifmFit, ifmFill };
enum TdxImageSliderTransitionEffect { iteNone, iteFade, iteSlide };
enum TBorderStyle { bsNone, bsSingle };

using TNotifyEvent = std::function<void(QObject *Sender)>;

// The frames of a slider. Frames are pixmaps carrying the device-pixel ratio
// of the sheet they were cut from.
class ZOR_EXPORT TcxZORImageCollection : public TComponent
{
    Q_OBJECT
public:
    explicit TcxZORImageCollection(QObject *AOwner = nullptr);
    ~TcxZORImageCollection() override;

    int Count() const;
    QPixmap Items(int AIndex) const; // null when out of range
    void Add(const QPixmap &AFrame);
    void Clear();

    // Cuts the PNG sheet read from the stream's position and appends its
    // frames, each with device-pixel ratio ARatio. Data that is not a PNG, or
    // that the image reader refuses (damaged, over its allocation limit), or
    // a sheet of more than 4096 frames raises EInvalidGraphic and leaves the
    // collection as it was.
    void LoadSpritesFromStream(TStream &AStream, qreal ARatio = 1.0);
    // Opens the file read-only, denying others write access while reading.
    void LoadSpritesFromFile(const QString &AFileName, qreal ARatio = 1.0);
    // Loads a sheet built into the library. With ARatio above 1 the sheet
    // drawn at twice the size is used where there is one (frames with ratio
    // 2). EResNotFound "Resource %s not found" for an unknown name.
    void LoadFromResName(const QString &AResName, qreal ARatio = 1.0);

    // After every change of the frames.
    TNotifyEvent OnChange;

private:
    void Changed();
    struct Private;
    std::unique_ptr<Private> const d;
};

// Shows one frame of its own collection at a time. Left/Right/Home/End move
// between frames while it has the focus. Like components, it can be marked
// as being loaded (BeginLoad/EndLoad); EndLoad then calls Loaded().
class ZOR_EXPORT TZORCustomSpriteImageSlider : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex NOTIFY ItemIndexChanged)
public:
    explicit TZORCustomSpriteImageSlider(QWidget *AParent = nullptr);
    ~TZORCustomSpriteImageSlider() override;

    // Owned by the slider.
    TcxZORImageCollection *Images() const;
    void LoadSpritesFromFile(const QString &AFileName);
    void LoadSpritesFromStream(TStream &AStream);

    // The frame shown; kept within the frames (0 while there are none).
    int ItemIndex() const;
    void SetItemIndex(int AValue);
    // Whether a frame follows the one shown.
    bool CanMoveForward() const;

    TdxImageFitMode ImageFitMode() const;
    void SetImageFitMode(TdxImageFitMode AValue);
    TdxImageSliderTransitionEffect TransitionEffect() const;
    void SetTransitionEffect(TdxImageSliderTransitionEffect AValue);
    TBorderStyle BorderStyle() const;
    void SetBorderStyle(TBorderStyle AValue);
    // Transparent: the parent shows through around the frame; else Color fills it.
    bool Transparent() const;
    void SetTransparent(bool AValue);
    TColor Color() const;
    void SetColor(TColor AValue);
    // Default on: follow the desktop's reduced-motion setting (see ReducedMotion.h).
    bool RespectReducedMotion() const;
    void SetRespectReducedMotion(bool AValue);
    // A transition is under way.
    bool InTransition() const;

    void BeginLoad();
    void EndLoad();
    bool IsLoading() const;

    // After ItemIndex changed.
    TNotifyEvent OnChange;

Q_SIGNALS:
    void ItemIndexChanged(int AIndex);

protected:
    virtual void Loaded();
    // Motion is reduced for this control now.
    bool MotionReduced() const;
    // The ratio of the sheets this control should use: 2 above 1, else 1.
    qreal SheetRatio() const;
    virtual void ReducedMotionChanged();

    QSize sizeHint() const override;
    void paintEvent(QPaintEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;

private:
    void FramesChanged();
    void TransitionTick();
    struct Private;
    std::unique_ptr<Private> const d;
};

// The published face of the slider.
class ZOR_EXPORT TZORSpriteImageSlider : public TZORCustomSpriteImageSlider
{
    Q_OBJECT
public:
    using TZORCustomSpriteImageSlider::TZORCustomSpriteImageSlider;
};

// A 32 × 32 busy indicator playing one of the built-in sheets, one frame per
// 80 ms (320 ms while motion is reduced), looping. It advances only while it
// is not hidden (so Step also works in a form not shown yet); its timer
// pauses while it is off screen, AutoAnimate still reading as set.
class ZOR_EXPORT TZORLoadingImageAnimation : public TZORCustomSpriteImageSlider
{
    Q_OBJECT
    Q_PROPERTY(bool AutoAnimate READ AutoAnimate WRITE SetAutoAnimate)
public:
    static constexpr int AnimationInterval = 80; // milliseconds per frame

    explicit TZORLoadingImageAnimation(QWidget *AParent = nullptr);
    ~TZORLoadingImageAnimation() override;

    TZORAnimationSet AnimationSet() const;
    void SetAnimationSet(TZORAnimationSet AValue);
    // Timer made and running (or paused off screen).
    bool AutoAnimate() const;
    void SetAutoAnimate(bool AValue);

    // Shows the next frame, or frame 0 after the last; loads the set first
    // when no frame is loaded. Does nothing while the control is hidden.
    void Step();
    // Reloads the frames of AnimationSet and steps; waits while loading.
    void InvalidateAnimationSet();
    // Milliseconds between frames now (0 before the timer exists).
    int TimerInterval() const;

    // Resource names of the built-in sheets.
    static QString AnimationSetResName(TZORAnimationSet ASet);

protected:
    void Loaded() override;
    void ReducedMotionChanged() override;
    bool event(QEvent *AEvent) override;
    void showEvent(QShowEvent *AEvent) override;
    void hideEvent(QHideEvent *AEvent) override;

private:
    void UpdateTimer();
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
