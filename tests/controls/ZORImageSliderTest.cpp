#include <ZorCompCore/controls/AnimationClock.h>
#include <ZorCompCore/controls/ZORImageSlider.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Resources.h>
#include <ZorCompCore/platform/Stream.h>

#include "ControlsTestUtil.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// A sheet of square frames of the given height, frame i filled with colours[i],
// plus `rest` columns of white at the right.
QByteArray sheetPng(int side, const std::vector<QColor> &colours, int rest = 0, const char *format = "PNG")
{
    QImage img(side * int(colours.size()) + rest, side, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    for (size_t i = 0; i < colours.size(); ++i)
        p.fillRect(int(i) * side, 0, side, side, colours[i]);
    p.end();
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    img.save(&b, format);
    return bytes;
}

const std::vector<QColor> kRgb = {Qt::red, Qt::green, Qt::blue};

QRgb centre(const QPixmap &pm)
{
    const QImage img = pm.toImage();
    return img.pixel(img.width() / 2, img.height() / 2);
}

void loadBytes(TcxZORImageCollection &c, const QByteArray &bytes)
{
    TBytesStream s(bytes);
    c.LoadSpritesFromStream(s);
}

} // namespace

// Faults: frame count not width div height; frames cut at the wrong offset;
// the remainder taken as a frame; a narrow sheet yielding a frame.
TEST(SpriteSheet, CutsSquaresLeftToRightAndIgnoresTheRemainder)
{
    TcxZORImageCollection c;
    loadBytes(c, sheetPng(10, kRgb, 7));
    ASSERT_EQ(c.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.Items(i).size(), QSize(10, 10));
        EXPECT_EQ(c.Items(i).toImage().pixel(0, 0), kRgb[size_t(i)].rgb());
        EXPECT_EQ(c.Items(i).toImage().pixel(9, 9), kRgb[size_t(i)].rgb());
    }
    // Appends: a second sheet adds its frames after the first ones.
    loadBytes(c, sheetPng(10, {Qt::black}));
    EXPECT_EQ(c.Count(), 4);
    EXPECT_EQ(centre(c.Items(3)), QColor(Qt::black).rgb());
    EXPECT_TRUE(c.Items(4).isNull());

    TcxZORImageCollection narrow;
    loadBytes(narrow, sheetPng(10, {}, 9));
    EXPECT_EQ(narrow.Count(), 0);
}

// Faults: appending frames before the whole sheet was read; a non-PNG let
// through to the image reader's guessing; the reader's failure ignored.
TEST(SpriteSheet, BadDataRaisesAndLeavesTheCollectionAlone)
{
    TcxZORImageCollection c;
    loadBytes(c, sheetPng(8, kRgb));
    ASSERT_EQ(c.Count(), 3);

    QByteArray truncated = sheetPng(8, kRgb);
    truncated.truncate(truncated.size() / 2);
    struct Row { const char *name; QByteArray bytes; };
    const Row rows[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("hello, frames")},
        {"jpeg", sheetPng(8, kRgb, 0, "JPG")},
        {"truncated png", truncated},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_THROW(loadBytes(c, row.bytes), EInvalidGraphic);
        EXPECT_EQ(c.Count(), 3);
    }

    // Over the image reader's allocation limit (1 MiB here): refused, clearly.
    const int oldLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    const QByteArray big = sheetPng(512, {Qt::red, Qt::green});
    try {
        loadBytes(c, big);
        ADD_FAILURE() << "a 1024 x 512 sheet passed a 1 MiB limit";
    } catch (const EInvalidGraphic &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot read sprite sheet: "))) << e.what();
    }
    QImageReader::setAllocationLimit(oldLimit);
    EXPECT_EQ(c.Count(), 3);
    loadBytes(c, big);
    EXPECT_EQ(c.Count(), 5);
}

// Faults: the 1x sheet used on a 2x request (or the other way round); frames
// without the sheet's ratio; a missing name not reported as such.
TEST(SpriteSheet, BuiltInSheetsAtBothRatiosAndUnknownNames)
{
    struct Row { const char *name; int frames; };
    for (const Row &row : {Row{"ZORLOADINGANIM_C132", 12}, Row{"ZORLOADINGANIM_BLKS32", 23}}) {
        SCOPED_TRACE(row.name);
        for (qreal ratio : {1.0, 2.0}) {
            TcxZORImageCollection c;
            c.LoadFromResName(QString::fromLatin1(row.name), ratio);
            ASSERT_EQ(c.Count(), row.frames);
            const QPixmap last = c.Items(row.frames - 1);
            EXPECT_EQ(last.width(), int(32 * ratio));
            EXPECT_EQ(last.devicePixelRatio(), ratio);
            EXPECT_EQ(last.deviceIndependentSize(), QSizeF(32, 32));
        }
    }
    TcxZORImageCollection c;
    for (const char *name : {"NOPE", "ZORLOADINGANIM_C132@2x", ""}) {
        SCOPED_TRACE(name);
        try {
            c.LoadFromResName(QString::fromLatin1(name));
            ADD_FAILURE() << "no error";
        } catch (const EResNotFound &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Resource %1 not found").arg(QString::fromLatin1(name)));
        }
    }
}

// Fault: the file opened without denying writers (or for writing itself).
TEST(SpriteSheet, FilesAreReadDenyingWriters)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sheet.png"));
    {
        TFileStream out(file, fmCreate);
        const QByteArray bytes = sheetPng(16, kRgb);
        out.WriteBuffer(bytes.constData(), bytes.size());
    }
    TcxZORImageCollection c;
    {
        TFileStream writer(file, fmOpenReadWrite | fmShareDenyNone);
        EXPECT_THROW(c.LoadSpritesFromFile(file), EFOpenError);
        EXPECT_EQ(c.Count(), 0);
    }
    TFileStream reader(file, fmOpenRead | fmShareDenyNone); // readers may share
    c.LoadSpritesFromFile(file);
    EXPECT_EQ(c.Count(), 3);
}

namespace {
void key(QWidget &w, int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &press);
}
} // namespace

// Faults: ItemIndex leaving the frames; keys moving the wrong way or past
// the ends; OnChange for a set that changed nothing.
TEST(SpriteSlider, IndexStaysOnFramesAndKeysMoveIt)
{
    TZORSpriteImageSlider s;
    std::vector<int> changes;
    s.OnChange = [&](QObject *sender) {
        EXPECT_EQ(sender, &s);
        changes.push_back(s.ItemIndex());
    };
    s.SetItemIndex(3);
    EXPECT_EQ(s.ItemIndex(), 0); // no frames yet
    loadBytes(*s.Images(), sheetPng(8, {Qt::red, Qt::green, Qt::blue, Qt::black}));
    s.SetItemIndex(9);
    EXPECT_EQ(s.ItemIndex(), 3);
    EXPECT_FALSE(s.CanMoveForward());
    key(s, Qt::Key_Right);
    key(s, Qt::Key_Home);
    key(s, Qt::Key_Left);
    key(s, Qt::Key_Right);
    key(s, Qt::Key_End);
    EXPECT_EQ(changes, (std::vector<int>{3, 0, 1, 3}));
    s.Images()->Clear();
    EXPECT_EQ(s.ItemIndex(), 0);
}

// Faults: transitions ignoring reduced motion; a transition that never ends;
// the frame drawn with the wrong colour once it has ended.
TEST(SpriteSlider, TransitionsRunOnTheClockUnlessMotionIsReduced)
{
    TManualAnimationClock clock;
    ScopedReducedMotion motion(false);
    TZORSpriteImageSlider s;
    s.SetBorderStyle(bsNone);
    s.SetImageFitMode(ifmStretch);
    s.resize(20, 20);
    loadBytes(*s.Images(), sheetPng(8, kRgb));
    s.SetTransitionEffect(iteFade);
    s.show();
    s.SetItemIndex(2);
    EXPECT_TRUE(s.InTransition());
    clock.Advance(1000);
    EXPECT_FALSE(s.InTransition());
    EXPECT_EQ(s.grab().toImage().pixel(10, 10), QColor(Qt::blue).rgb());

    s.SetTransitionEffect(iteSlide);
    {
        ScopedReducedMotion reduced(true);
        s.SetItemIndex(0);
        EXPECT_FALSE(s.InTransition());
        s.SetRespectReducedMotion(false);
        s.SetItemIndex(1);
        EXPECT_TRUE(s.InTransition());
        s.SetRespectReducedMotion(true); // cuts the running transition short
        EXPECT_FALSE(s.InTransition());
    }
    EXPECT_EQ(s.grab().toImage().pixel(10, 10), QColor(Qt::green).rgb());
}

// --- the loading animation ---------------------------------------------------

// Faults: a frame per tick other than one; no wrap after the last frame; the
// timer at anything but 80 ms (320 ms reduced); a changed interval not taken
// by a running animation.
TEST(LoadingAnimation, LoopsOneFramePerTick)
{
    TManualAnimationClock clock;
    ScopedReducedMotion motion(false);
    TZORLoadingImageAnimation a;
    a.show();
    a.SetAutoAnimate(true);
    EXPECT_TRUE(a.AutoAnimate());
    EXPECT_EQ(a.TimerInterval(), 80);
    clock.Advance(80); // first tick: loads the sheet, then steps
    ASSERT_EQ(a.Images()->Count(), 12);
    std::vector<int> seen{a.ItemIndex()};
    for (int i = 0; i < 24; ++i) {
        clock.Advance(79);
        EXPECT_EQ(a.ItemIndex(), seen.back()) << "moved before 80 ms";
        clock.Advance(1);
        EXPECT_EQ(a.ItemIndex(), (seen.back() + 1) % 12);
        seen.push_back(a.ItemIndex());
    }
    EXPECT_NE(std::find(seen.begin(), seen.end(), 11), seen.end());

    ScopedReducedMotion reduced(true);
    EXPECT_EQ(a.TimerInterval(), 320);
    const int before = a.ItemIndex();
    clock.Advance(319);
    EXPECT_EQ(a.ItemIndex(), before);
    clock.Advance(1);
    EXPECT_EQ(a.ItemIndex(), (before + 1) % 12);
    a.SetRespectReducedMotion(false);
    EXPECT_EQ(a.TimerInterval(), 80);

    a.SetAutoAnimate(false);
    EXPECT_FALSE(a.AutoAnimate());
    clock.Advance(1000);
    EXPECT_EQ(a.ItemIndex(), (before + 1) % 12);
}

// Faults: Step ignoring visibility; visibility read as "shown on screen"
// rather than "not hidden"; the timer ticking off screen; AutoAnimate read
// from the paused timer.
TEST(LoadingAnimation, HiddenDoesNotAdvanceAndUnshownFormsStillStep)
{
    TManualAnimationClock clock;
    ScopedReducedMotion motion(false);
    QWidget form; // never shown
    auto *a = new TZORLoadingImageAnimation(&form);
    a->Step();
    ASSERT_EQ(a->Images()->Count(), 12);
    const int first = a->ItemIndex();
    a->Step();
    EXPECT_EQ(a->ItemIndex(), first + 1);

    a->SetAutoAnimate(true);
    EXPECT_TRUE(a->AutoAnimate());
    EXPECT_EQ(clock.ActiveTimerCount(), 0); // off screen: resting
    clock.Advance(800);
    EXPECT_EQ(a->ItemIndex(), first + 1);

    form.show();
    EXPECT_EQ(clock.ActiveTimerCount(), 1);
    clock.Advance(80);
    EXPECT_EQ(a->ItemIndex(), first + 2);

    a->hide();
    EXPECT_TRUE(a->AutoAnimate());
    clock.Advance(800);
    a->Step();
    EXPECT_EQ(a->ItemIndex(), first + 2);
}

// Faults: AnimationSet loading while the control is being loaded; Loaded not
// reloading; a set change keeping the old frames.
TEST(LoadingAnimation, AnimationSetDuringALoadLoadsAtEndLoad)
{
    QWidget form; // not shown: the animation in it is not hidden
    auto &a = *new TZORLoadingImageAnimation(&form);
    a.BeginLoad();
    a.SetAnimationSet(dasBlocks);
    EXPECT_EQ(a.Images()->Count(), 0);
    a.BeginLoad(); // nested: only the outer end counts
    a.EndLoad();
    EXPECT_EQ(a.Images()->Count(), 0);
    a.EndLoad();
    EXPECT_EQ(a.Images()->Count(), 23);
    EXPECT_EQ(a.ItemIndex(), 1); // loaded, then one step
    a.SetAnimationSet(dasCircle1);
    EXPECT_EQ(a.Images()->Count(), 12);
    EXPECT_EQ(a.size(), QSize(32, 32));
}

TEST(LoadingAnimation, ReadsAsAnAnimationToAssistiveTechnology)
{
    TZORLoadingImageAnimation a;
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(&a);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->role(), QAccessible::Animation);
}

// Also run under QT_SCALE_FACTOR=2. Faults: the sheet chosen by anything but
// the control's device-pixel ratio; the 2x sheet cut into a different count.
TEST(LoadingAnimationOnScreen, FramesMatchTheScreensRatio)
{
    QWidget form;
    auto *a = new TZORLoadingImageAnimation(&form);
    form.show();
    const qreal ratio = a->devicePixelRatioF();
    if (qgetenv("QT_SCALE_FACTOR") == "2") {
        ASSERT_EQ(ratio, 2.0);
    }
    const int px = ratio > 1 ? 64 : 32;
    for (auto set : {dasCircle1, dasBlocks}) {
        a->SetAnimationSet(set);
        ASSERT_EQ(a->Images()->Count(), set == dasCircle1 ? 12 : 23);
        const QPixmap frame = a->Images()->Items(0);
        EXPECT_EQ(frame.width(), px);
        EXPECT_EQ(frame.height(), px);
        EXPECT_EQ(frame.devicePixelRatio(), px / 32);
    }
}
