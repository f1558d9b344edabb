// The busy indicators and the sprite slider in Designer's widget box.
#include "WidgetCollection.h"

#include <ZorCompCore/controls/AnimatedProgressBar.h>
#include <ZorCompCore/controls/ZORImageSlider.h>

namespace {

using namespace zor;
using zor::designer::RegisterWidget;

// A frame of a built-in sheet, as the widget box's icon.
QIcon sheetIcon(TZORAnimationSet ASet, int AFrame)
{
    TcxZORImageCollection frames;
    frames.LoadFromResName(TZORLoadingImageAnimation::AnimationSetResName(ASet));
    return QIcon(frames.Items(AFrame));
}

const bool registered =
    RegisterWidget({QStringLiteral("zor::TZORLoadingImageAnimation"),
                    QStringLiteral("ZorCompCore/controls/ZORImageSlider.h"),
                    QStringLiteral("Loading animation"),
                    QStringLiteral("A 32 by 32 busy indicator playing one of the built-in sprite sheets "
                                   "while AutoAnimate is set."),
                    QSize(32, 32),
                    [](QWidget *parent) -> QWidget * { return new TZORLoadingImageAnimation(parent); },
                    [] { return sheetIcon(dasCircle1, 0); }})
    && RegisterWidget({QStringLiteral("zor::TZORSpriteImageSlider"),
                       QStringLiteral("ZorCompCore/controls/ZORImageSlider.h"),
                       QStringLiteral("Sprite image slider"),
                       QStringLiteral("Shows one frame of a sprite sheet at a time; the arrow keys, Home "
                                      "and End move between frames."),
                       QSize(64, 64),
                       [](QWidget *parent) -> QWidget * { return new TZORSpriteImageSlider(parent); },
                       [] { return sheetIcon(dasBlocks, 5); }})
    && RegisterWidget({QStringLiteral("zor::TAnimatedProgressBar"),
                       QStringLiteral("ZorCompCore/controls/AnimatedProgressBar.h"),
                       QStringLiteral("Running progress bar"),
                       QStringLiteral("A thin bar in which a block runs from left to right, for work of "
                                      "unknown length."),
                       QSize(200, 9),
                       [](QWidget *parent) -> QWidget * { return new TAnimatedProgressBar(parent); },
                       {}});

} // namespace
