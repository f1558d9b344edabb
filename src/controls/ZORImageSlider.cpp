#include "ZORImageSlider.h"

#include "AnimationClock.h"
#include "ReducedMotion.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Resources.h>
#include <ZorCompCore/platform/Stream.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace zor {

namespace {

// Where the built-in sheets live among the library's resources.
const QString kSheetFolder = QStringLiteral(":/zor/controls/sprites/");
// More frames than any animation needs; a bound for hostile sheets.
constexpr int kMaxFrames = 4096;
constexpr int kTransitionSteps = 12;
constexpr int kTransitionTick = 15; // milliseconds

QByteArray readRest(TStream &AStream)
{
    // Read in chunks until the data ends: a stream's Size need not be trusted.
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const qint64 n = AStream.Read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        data.append(buffer, qsizetype(n));
    }
    return data;
}

QAccessibleInterface *accessibleFactory(const QString &AClassName, QObject *AObject)
{
    if (AClassName == QLatin1String("zor::TZORLoadingImageAnimation") && AObject && AObject->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(AObject), QAccessible::Animation);
    return nullptr;
}

} // namespace

// --- TcxZORImageCollection ---------------------------------------------------

struct TcxZORImageCollection::Private
{
    std::vector<QPixmap> Frames;
};

TcxZORImageCollection::TcxZORImageCollection(QObject *AOwner)
    : TComponent(AOwner), d(std::make_unique<Private>())
{
}

TcxZORImageCollection::~TcxZORImageCollection() = default;

int TcxZORImageCollection::Count() const
{
    return int(d->Frames.size());
}

QPixmap TcxZORImageCollection::Items(int AIndex) const
{
    if (AIndex < 0 || AIndex >= Count())
        return {};
    return d->Frames[size_t(AIndex)];
}

void TcxZORImageCollection::Add(const QPixmap &AFrame)
{
    d->Frames.push_back(AFrame);
    Changed();
}

void TcxZORImageCollection::Clear()
{
    if (d->Frames.empty())
        return;
    d->Frames.clear();
    Changed();
}

void TcxZORImageCollection::LoadSpritesFromStream(TStream &AStream, qreal ARatio)
{
    QByteArray data = readRest(AStream);
    static const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);
    if (!data.startsWith(kPngSignature))
        throw EInvalidGraphic(QStringLiteral("Sprite sheet is not a PNG image"));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setDecideFormatFromContent(false);
    const QImage sheet = reader.read();
    if (sheet.isNull())
        throw EInvalidGraphic(QStringLiteral("Cannot read sprite sheet: %1").arg(reader.errorString()));

    const int side = sheet.height();
    const int count = side > 0 ? sheet.width() / side : 0;
    if (count > kMaxFrames)
        throw EInvalidGraphic(QStringLiteral("Sprite sheet has %1 frames, more than %2")
                                  .arg(count).arg(kMaxFrames));
    // One conversion of the whole sheet; every frame is a 32-bit copy with alpha.
    const QImage argb = sheet.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<QPixmap> frames;
    frames.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QPixmap frame = QPixmap::fromImage(argb.copy(i * side, 0, side, side));
        frame.setDevicePixelRatio(ARatio);
        frames.push_back(std::move(frame));
    }
    // Appended only once every frame exists: a failure leaves the collection alone.
    if (frames.empty())
        return;
    d->Frames.insert(d->Frames.end(), frames.begin(), frames.end());
    Changed();
}

void TcxZORImageCollection::LoadSpritesFromFile(const QString &AFileName, qreal ARatio)
{
    TFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite);
    LoadSpritesFromStream(stream, ARatio);
}

void TcxZORImageCollection::LoadFromResName(const QString &AResName, qreal ARatio)
{
    const QString plain = kSheetFolder + AResName + QStringLiteral(".png");
    const QString doubled = kSheetFolder + AResName + QStringLiteral("@2x.png");
    // A name with a path separator or "@2x" names no sheet of ours.
    const bool valid = !AResName.isEmpty() && !AResName.contains(u'/') && !AResName.contains(u'@');
    if (!valid || !QFile::exists(plain))
        throw EResNotFound(QStringLiteral("Resource %1 not found").arg(AResName));
    const bool useDoubled = ARatio > 1.0 && QFile::exists(doubled);
    QFile file(useDoubled ? doubled : plain);
    if (!file.open(QIODevice::ReadOnly))
        throw EResNotFound(QStringLiteral("Resource %1 not found").arg(AResName));
    TIODeviceStream stream(&file);
    LoadSpritesFromStream(stream, useDoubled ? 2.0 : 1.0);
}

void TcxZORImageCollection::Changed()
{
    if (OnChange)
        OnChange(this);
}

// --- TZORCustomSpriteImageSlider ---------------------------------------------

struct TZORCustomSpriteImageSlider::Private
{
    TcxZORImageCollection *Images = nullptr;
    int ItemIndex = 0;
    TdxImageFitMode FitMode = ifmFit;
    TdxImageSliderTransitionEffect Transition = iteNone;
    TBorderStyle Border = bsSingle;
    bool Transparent = true;
    TColor Color = 0xFFFFFF;
    bool RespectReducedMotion = true;
    int LoadCount = 0;
    // The frame being left and how far the change has come (0 … kTransitionSteps).
    QPixmap From;
    int TransitionStep = kTransitionSteps;
    bool Forward = true;
    TAnimationTimer *TransitionTimer = nullptr;
};

TZORCustomSpriteImageSlider::TZORCustomSpriteImageSlider(QWidget *AParent)
    : QWidget(AParent), d(std::make_unique<Private>())
{
    d->Images = new TcxZORImageCollection(this);
    d->Images->OnChange = [this](QObject *) { FramesChanged(); };
    setFocusPolicy(Qt::StrongFocus);
    connect(TReducedMotion::Instance(), &TReducedMotion::Changed, this,
            [this] { ReducedMotionChanged(); });
}

TZORCustomSpriteImageSlider::~TZORCustomSpriteImageSlider()
{
    // The collection goes before the slider's members: stop it calling back.
    d->Images->OnChange = nullptr;
}

TcxZORImageCollection *TZORCustomSpriteImageSlider::Images() const
{
    return d->Images;
}

void TZORCustomSpriteImageSlider::LoadSpritesFromFile(const QString &AFileName)
{
    d->Images->LoadSpritesFromFile(AFileName, SheetRatio());
}

void TZORCustomSpriteImageSlider::LoadSpritesFromStream(TStream &AStream)
{
    d->Images->LoadSpritesFromStream(AStream, SheetRatio());
}

int TZORCustomSpriteImageSlider::ItemIndex() const
{
    return d->ItemIndex;
}

void TZORCustomSpriteImageSlider::SetItemIndex(int AValue)
{
    const int count = d->Images->Count();
    const int index = count == 0 ? 0 : std::clamp(AValue, 0, count - 1);
    if (index == d->ItemIndex)
        return;
    const bool animate = d->Transition != iteNone && !MotionReduced() && isVisible() && !IsLoading();
    if (animate) {
        d->From = d->Images->Items(d->ItemIndex);
        d->Forward = index > d->ItemIndex;
        d->TransitionStep = 0;
        if (!d->TransitionTimer) {
            d->TransitionTimer = new TAnimationTimer(this);
            d->TransitionTimer->SetInterval(kTransitionTick);
            d->TransitionTimer->OnTimer = [this] { TransitionTick(); };
        }
        d->TransitionTimer->SetEnabled(true);
    } else {
        d->TransitionStep = kTransitionSteps;
        if (d->TransitionTimer)
            d->TransitionTimer->SetEnabled(false);
    }
    d->ItemIndex = index;
    update();
    Q_EMIT ItemIndexChanged(index);
    if (OnChange)
        OnChange(this);
}

bool TZORCustomSpriteImageSlider::CanMoveForward() const
{
    return d->ItemIndex + 1 < d->Images->Count();
}

TdxImageFitMode TZORCustomSpriteImageSlider::ImageFitMode() const
{
    return d->FitMode;
}

void TZORCustomSpriteImageSlider::SetImageFitMode(TdxImageFitMode AValue)
{
    d->FitMode = AValue;
    update();
}

TdxImageSliderTransitionEffect TZORCustomSpriteImageSlider::TransitionEffect() const
{
    return d->Transition;
}

void TZORCustomSpriteImageSlider::SetTransitionEffect(TdxImageSliderTransitionEffect AValue)
{
    d->Transition = AValue;
}

TBorderStyle TZORCustomSpriteImageSlider::BorderStyle() const
{
    return d->Border;
}

void TZORCustomSpriteImageSlider::SetBorderStyle(TBorderStyle AValue)
{
    d->Border = AValue;
    update();
}

bool TZORCustomSpriteImageSlider::Transparent() const
{
    return d->Transparent;
}

void TZORCustomSpriteImageSlider::SetTransparent(bool AValue)
{
    d->Transparent = AValue;
    update();
}

TColor TZORCustomSpriteImageSlider::Color() const
{
    return d->Color;
}

void TZORCustomSpriteImageSlider::SetColor(TColor AValue)
{
    d->Color = AValue;
    update();
}

bool TZORCustomSpriteImageSlider::RespectReducedMotion() const
{
    return d->RespectReducedMotion;
}

void TZORCustomSpriteImageSlider::SetRespectReducedMotion(bool AValue)
{
    if (d->RespectReducedMotion == AValue)
        return;
    d->RespectReducedMotion = AValue;
    ReducedMotionChanged();
}

bool TZORCustomSpriteImageSlider::InTransition() const
{
    return d->TransitionStep < kTransitionSteps;
}

void TZORCustomSpriteImageSlider::BeginLoad()
{
    ++d->LoadCount;
}

void TZORCustomSpriteImageSlider::EndLoad()
{
    if (d->LoadCount > 0 && --d->LoadCount == 0)
        Loaded();
}

bool TZORCustomSpriteImageSlider::IsLoading() const
{
    return d->LoadCount > 0;
}

void TZORCustomSpriteImageSlider::Loaded()
{
}

bool TZORCustomSpriteImageSlider::MotionReduced() const
{
    return d->RespectReducedMotion && TReducedMotion::Instance()->Reduced();
}

qreal TZORCustomSpriteImageSlider::SheetRatio() const
{
    return devicePixelRatioF() > 1.0 ? 2.0 : 1.0;
}

void TZORCustomSpriteImageSlider::ReducedMotionChanged()
{
    if (MotionReduced() && InTransition()) {
        d->TransitionStep = kTransitionSteps;
        d->TransitionTimer->SetEnabled(false);
        update();
    }
}

QSize TZORCustomSpriteImageSlider::sizeHint() const
{
    const QPixmap frame = d->Images->Items(d->ItemIndex);
    const int border = d->Border == bsSingle ? 2 : 0;
    if (frame.isNull())
        return QSize(32 + border, 32 + border);
    return frame.deviceIndependentSize().toSize() + QSize(border, border);
}

namespace {

QRectF placeFrame(const QSizeF &AFrame, const QRectF &AArea, TdxImageFitMode AMode)
{
    if (AFrame.isEmpty())
        return {};
    QSizeF size = AFrame;
    switch (AMode) {
    case ifmNormal:
        break;
    case ifmStretch:
        return AArea;
    case ifmFit:
        if (size.width() > AArea.width() || size.height() > AArea.height())
            size = AFrame.scaled(AArea.size(), Qt::KeepAspectRatio);
        break;
    case ifmFill:
        size = AFrame.scaled(AArea.size(), Qt::KeepAspectRatioByExpanding);
        break;
    }
    QRectF r(QPointF(), size);
    r.moveCenter(AArea.center());
    return r;
}

} // namespace

void TZORCustomSpriteImageSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QRect area = rect();
    if (!d->Transparent)
        p.fillRect(area, ToQColor(d->Color));
    if (d->Border == bsSingle) {
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(area.adjusted(0, 0, -1, -1));
        area.adjust(1, 1, -1, -1);
    }
    p.setClipRect(area);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap frame = d->Images->Items(d->ItemIndex);
    const auto draw = [&](const QPixmap &pm, qreal dx, qreal opacity) {
        if (pm.isNull())
            return;
        p.setOpacity(opacity);
        p.drawPixmap(placeFrame(pm.deviceIndependentSize(), area, d->FitMode).translated(dx, 0), pm,
                     QRectF(pm.rect()));
    };
    if (!InTransition()) {
        draw(frame, 0, 1.0);
        return;
    }
    const qreal t = qreal(d->TransitionStep) / kTransitionSteps;
    if (d->Transition == iteFade) {
        draw(d->From, 0, 1.0 - t);
        draw(frame, 0, t);
    } else {
        const qreal w = area.width() * (d->Forward ? 1 : -1);
        draw(d->From, -t * w, 1.0);
        draw(frame, (1.0 - t) * w, 1.0);
    }
}

void TZORCustomSpriteImageSlider::keyPressEvent(QKeyEvent *AEvent)
{
    switch (AEvent->key()) {
    case Qt::Key_Left:
        SetItemIndex(d->ItemIndex - 1);
        break;
    case Qt::Key_Right:
        SetItemIndex(d->ItemIndex + 1);
        break;
    case Qt::Key_Home:
        SetItemIndex(0);
        break;
    case Qt::Key_End:
        SetItemIndex(d->Images->Count() - 1);
        break;
    default:
        QWidget::keyPressEvent(AEvent);
        return;
    }
    AEvent->accept();
}

void TZORCustomSpriteImageSlider::FramesChanged()
{
    const int count = d->Images->Count();
    if (d->ItemIndex >= count)
        d->ItemIndex = std::max(0, count - 1);
    d->TransitionStep = kTransitionSteps;
    updateGeometry();
    update();
}

void TZORCustomSpriteImageSlider::TransitionTick()
{
    if (++d->TransitionStep >= kTransitionSteps) {
        d->TransitionStep = kTransitionSteps;
        d->TransitionTimer->SetEnabled(false);
        d->From = QPixmap();
    }
    update();
}

// --- TZORLoadingImageAnimation -----------------------------------------------

struct TZORLoadingImageAnimation::Private
{
    TAnimationTimer *Timer = nullptr; // made on first use
    bool Auto = false;
    TZORAnimationSet Set = dasCircle1;
    qreal LoadedRatio = 0;   // ratio of the frames loaded, 0 before any
    bool InInvalidate = false;
};

TZORLoadingImageAnimation::TZORLoadingImageAnimation(QWidget *AParent)
    : TZORCustomSpriteImageSlider(AParent), d(std::make_unique<Private>())
{
    static const bool factory = (QAccessible::installFactory(accessibleFactory), true);
    Q_UNUSED(factory);
    SetBorderStyle(bsNone);
    SetTransitionEffect(iteNone);
    setFocusPolicy(Qt::NoFocus);
    resize(32, 32);
}

TZORLoadingImageAnimation::~TZORLoadingImageAnimation() = default;

QString TZORLoadingImageAnimation::AnimationSetResName(TZORAnimationSet ASet)
{
    switch (ASet) {
    case dasCircle1:
        return QStringLiteral("ZORLOADINGANIM_C132");
    case dasBlocks:
        return QStringLiteral("ZORLOADINGANIM_BLKS32");
    }
    return {};
}

TZORAnimationSet TZORLoadingImageAnimation::AnimationSet() const
{
    return d->Set;
}

void TZORLoadingImageAnimation::SetAnimationSet(TZORAnimationSet AValue)
{
    d->Set = AValue;
    InvalidateAnimationSet();
}

bool TZORLoadingImageAnimation::AutoAnimate() const
{
    return d->Timer && d->Auto;
}

void TZORLoadingImageAnimation::SetAutoAnimate(bool AValue)
{
    if (AValue && !d->Timer) {
        d->Timer = new TAnimationTimer(this);
        d->Timer->SetEnabled(false);
        d->Timer->SetInterval(TReducedMotion::ScaledInterval(AnimationInterval, RespectReducedMotion()));
        d->Timer->OnTimer = [this] { Step(); };
    }
    d->Auto = AValue;
    UpdateTimer();
}

int TZORLoadingImageAnimation::TimerInterval() const
{
    return d->Timer ? d->Timer->Interval() : 0;
}

void TZORLoadingImageAnimation::Step()
{
    if (isHidden())
        return;
    if (Images()->Count() == 0)
        InvalidateAnimationSet();
    if (CanMoveForward())
        SetItemIndex(ItemIndex() + 1);
    else
        SetItemIndex(0);
}

void TZORLoadingImageAnimation::InvalidateAnimationSet()
{
    // A sheet without frames would send Step and this into each other.
    if (IsLoading() || d->InInvalidate)
        return;
    d->InInvalidate = true;
    try {
        Images()->Clear();
        const qreal ratio = SheetRatio();
        Images()->LoadFromResName(AnimationSetResName(d->Set), ratio);
        d->LoadedRatio = ratio;
    } catch (...) {
        d->InInvalidate = false;
        throw;
    }
    d->InInvalidate = false;
    Step();
}

void TZORLoadingImageAnimation::Loaded()
{
    TZORCustomSpriteImageSlider::Loaded();
    InvalidateAnimationSet();
}

void TZORLoadingImageAnimation::ReducedMotionChanged()
{
    TZORCustomSpriteImageSlider::ReducedMotionChanged();
    if (d->Timer)
        d->Timer->SetInterval(TReducedMotion::ScaledInterval(AnimationInterval, RespectReducedMotion()));
}

bool TZORLoadingImageAnimation::event(QEvent *AEvent)
{
    // A move to a screen of another pixel density: cut the matching sheet.
    if (AEvent->type() == QEvent::ScreenChangeInternal && d->LoadedRatio != 0
        && d->LoadedRatio != SheetRatio() && !IsLoading()) {
        const int index = ItemIndex();
        InvalidateAnimationSet();
        SetItemIndex(index);
    }
    return TZORCustomSpriteImageSlider::event(AEvent);
}

void TZORLoadingImageAnimation::showEvent(QShowEvent *AEvent)
{
    TZORCustomSpriteImageSlider::showEvent(AEvent);
    UpdateTimer();
}

void TZORLoadingImageAnimation::hideEvent(QHideEvent *AEvent)
{
    TZORCustomSpriteImageSlider::hideEvent(AEvent);
    UpdateTimer();
}

void TZORLoadingImageAnimation::UpdateTimer()
{
    // Off screen the timer rests; AutoAnimate keeps reading as set.
    if (d->Timer)
        d->Timer->SetEnabled(d->Auto && isVisible());
}

} // namespace zor
