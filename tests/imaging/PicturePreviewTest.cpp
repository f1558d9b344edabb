// The preview pane's pictures: animations play while the pane is visible,
// photos stand upright by their EXIF orientation, and large pictures decode
// on the thread pool without ever showing a stale picture or touching a pane
// that is gone.
#include <ZorCompCore/imaging/widgets/WindowsPreviewHandlerControl.h>

#include "Pictures.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMovie>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace zor;

namespace {

bool Near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

QColor At(QWidget &w, int x, int y) { return w.grab().toImage().pixelColor(x, y); }

// Runs the event loop until the pane's centre shows colour; the guard only
// ends a broken run.
bool WaitForCentre(QWidget &w, const QColor &colour)
{
    const QDeadlineTimer guard(30000);
    while (!guard.hasExpired()) {
        QApplication::processEvents();
        if (Near(At(w, w.width() / 2, w.height() / 2), colour))
            return true;
    }
    return false;
}

// Holds the pool's only thread until released, so that decodes queue behind it.
class PoolGate
{
public:
    PoolGate() : FThreads(QThreadPool::globalInstance()->maxThreadCount())
    {
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        QThreadPool::globalInstance()->start([this] { FGate.acquire(); });
    }
    ~PoolGate()
    {
        Release();
        QThreadPool::globalInstance()->waitForDone();
        QThreadPool::globalInstance()->setMaxThreadCount(FThreads);
    }
    void Release()
    {
        if (!std::exchange(FReleased, true))
            FGate.release();
    }

private:
    int FThreads;
    QSemaphore FGate;
    bool FReleased = false;
};

class PicturePreview : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        control = std::make_unique<TWindowsPreviewHandlerControl>();
        control->resize(400, 400);
        control->show();
        QObject::connect(control.get(), &TWindowsPreviewHandlerControl::PreviewRendered, [this] { ++rendered; });
    }

    QString Write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    // A photo above the size decoded at once, in one colour.
    QString Photo(const QString &name, const QColor &colour)
    {
        QImage image(1600, 800, QImage::Format_RGB32);
        image.fill(colour);
        return Write(name, Encode(image, "jpg"));
    }

    bool WaitRendered(int count)
    {
        const QDeadlineTimer guard(30000);
        while (rendered < count && !guard.hasExpired())
            QApplication::processEvents();
        return rendered == count;
    }

    QTemporaryDir dir;
    std::unique_ptr<TWindowsPreviewHandlerControl> control;
    int rendered = 0;
};

} // namespace

// Faults: an animation shown as its first frame only; it running on while
// the pane is hidden, or not again when it shows.
TEST_F(PicturePreview, AnimatedGifPlaysWhileShown)
{
    control->SetFileName(Write(QStringLiteral("blink.gif"), AnimatedGif(40, 40, {Qt::red, Qt::blue}, 30)));
    ASSERT_TRUE(control->PreviewLoaded()) << control->DisplayText().toStdString();
    EXPECT_EQ(rendered, 1);
    EXPECT_TRUE(WaitForCentre(*control, Qt::blue));
    EXPECT_TRUE(WaitForCentre(*control, Qt::red)) << "the animation does not loop";
    auto *movie = control->findChild<QMovie *>();
    ASSERT_NE(movie, nullptr);
    control->hide();
    EXPECT_EQ(movie->state(), QMovie::Paused);
    control->show();
    EXPECT_EQ(movie->state(), QMovie::Running);
    // A GIF of one frame is a still picture.
    control->SetFileName(Write(QStringLiteral("still.gif"), AnimatedGif(40, 40, {Qt::blue}, 0)));
    ASSERT_TRUE(control->PreviewLoaded());
    EXPECT_EQ(control->findChild<QMovie *>(), nullptr);
    EXPECT_TRUE(Near(At(*control, 200, 200), Qt::blue));
}

// Faults: the EXIF turn ignored, or the size decoded on the pool not turned
// with it (a squeezed picture); the fitted picture not centred.
TEST_F(PicturePreview, LargePhotoUprightByExif)
{
    // Left half red, right half blue; turned a quarter clockwise: red on top.
    const QString file =
        Write(QStringLiteral("turned.jpg"), WithExifOrientation(Encode(HalfRed(1600, 800, true), "jpg"), 6));
    control->SetFileName(file);
    ASSERT_TRUE(control->PreviewLoaded()) << control->DisplayText().toStdString();
    ASSERT_TRUE(WaitRendered(1));
    ASSERT_TRUE(control->PreviewLoaded()) << control->DisplayText().toStdString();
    // 800 x 1600 upright, fitted into 400 x 400: 200 x 400 in the middle.
    EXPECT_TRUE(Near(At(*control, 200, 100), Qt::red));
    EXPECT_TRUE(Near(At(*control, 200, 300), Qt::blue));
    EXPECT_TRUE(Near(At(*control, 110, 300), Qt::blue));
    const QColor margin = At(*control, 50, 200);
    EXPECT_FALSE(Near(margin, Qt::red) || Near(margin, Qt::blue)) << margin.name().toStdString();
}

// Faults: the older file's decode shown, or signalled, for the newer one;
// the signal before the picture is there; a decode failing after the header
// was fine leaving an empty pane instead of its error.
TEST_F(PicturePreview, NewerFileDropsTheOlderDecode)
{
    const QString red = Photo(QStringLiteral("red.jpg"), Qt::red);
    const QString blue = Photo(QStringLiteral("blue.jpg"), Qt::blue);
    {
        PoolGate gate;
        control->SetFileName(red);
        control->SetFileName(blue);
        EXPECT_EQ(rendered, 0);
        gate.Release();
        bool sawRed = false;
        const QDeadlineTimer guard(30000);
        while (rendered == 0 && !guard.hasExpired()) {
            QApplication::processEvents();
            sawRed = sawRed || Near(At(*control, 200, 200), Qt::red);
        }
        EXPECT_FALSE(sawRed);
    }
    QApplication::processEvents();
    EXPECT_EQ(rendered, 1);
    EXPECT_TRUE(Near(At(*control, 200, 200), Qt::blue));

    // The header is fine, the pixels are cut off.
    QImage large(1600, 800, QImage::Format_RGB32);
    large.fill(Qt::green);
    control->SetFileName(Write(QStringLiteral("cut.png"), Encode(large, "png").left(200)));
    ASSERT_TRUE(WaitRendered(2));
    EXPECT_TRUE(control->DisplayText().startsWith(u"(Item was corrupt. ")) << control->DisplayText().toStdString();
    EXPECT_FALSE(control->PreviewLoaded());
}

// Faults: a decode queued or running for a pane that is destroyed meanwhile
// delivering into the freed view (a crash, or an address sanitizer report).
TEST_F(PicturePreview, DestroyingThePaneDuringADecodeIsSafe)
{
    const QString red = Photo(QStringLiteral("red.jpg"), Qt::red);
    {
        PoolGate gate; // queued behind the gate
        control->SetFileName(red);
        control.reset();
        gate.Release();
    }
    QApplication::processEvents();
    // Running while the pane goes.
    control = std::make_unique<TWindowsPreviewHandlerControl>();
    control->resize(400, 400);
    control->show();
    control->SetFileName(red);
    control.reset();
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    SUCCEED();
}

namespace {

void Wheel(QWidget *w, QPointF at, int notches, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

void Key(QWidget *w, int key)
{
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Drag(QWidget *w, QPointF from, QPointF to)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, w->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, w->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &move);
    QApplication::sendEvent(w, &release);
}

} // namespace

// Faults: zoom keys or Ctrl+wheel ignored; a plain wheel zooming; zooming
// about the corner instead of the mouse; 0 not returning to the fitted
// picture; a zoomed picture that cannot be dragged, or dragged past its edge;
// the pane taking the focus from the file list when it shows.
TEST_F(PicturePreview, ZoomAndDragAPicture)
{
    // 100 × 100, left half red, right half blue, in a 400 × 400 pane.
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 50; x < 100; ++x)
            image.setPixelColor(x, y, Qt::blue);
    control->SetFileName(Write(QStringLiteral("halves.png"), Encode(image, "png")));
    ASSERT_TRUE(control->PreviewLoaded()) << control->DisplayText().toStdString();
    QWidget *view = control->childAt(200, 200);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->hasFocus());
    EXPECT_EQ(view->focusPolicy(), Qt::ClickFocus);
    const QColor base = view->palette().color(QPalette::Base);
    const auto at = [&](int x, int y) { return At(*control, x, y); };

    // Fitted: never enlarged, centred (150…250).
    EXPECT_TRUE(Near(at(120, 200), base));
    Wheel(view, {200, 200}, 4, Qt::NoModifier);
    EXPECT_TRUE(Near(at(120, 200), base)) << "a plain wheel zoomed";
    // Four notches about the centre: 1.25^4 ≈ 2.44, about 78…322.
    Wheel(view, {200, 200}, 4, Qt::ControlModifier);
    EXPECT_TRUE(Near(at(90, 200), Qt::red));
    EXPECT_TRUE(Near(at(310, 200), Qt::blue));
    EXPECT_TRUE(Near(at(60, 200), base));
    Key(view, Qt::Key_0);
    EXPECT_TRUE(Near(at(120, 200), base));

    // About the mouse: the red quarter's middle (175) stays under it, so the
    // red|blue edge moves out to about 408; about the centre it would sit at 200.
    Wheel(view, {175, 200}, 10, Qt::ControlModifier);
    EXPECT_TRUE(Near(at(390, 200), Qt::red));
    Key(view, Qt::Key_0);
    EXPECT_TRUE(Near(at(120, 200), base));

    // Larger than the pane: the centre stays red|blue; dragging shows the
    // right half, and the picture stops at its edge.
    for (int i = 0; i < 10; ++i)
        Key(view, Qt::Key_Plus); // 1.25^10 ≈ 9.3: 931 px
    EXPECT_TRUE(Near(at(190, 200), Qt::red));
    EXPECT_TRUE(Near(at(210, 200), Qt::blue));
    Drag(view, {300, 200}, {100, 200});
    EXPECT_TRUE(Near(at(10, 200), Qt::blue));
    Drag(view, {300, 200}, {0, 200});
    Drag(view, {300, 200}, {0, 200});
    EXPECT_TRUE(Near(at(399, 200), Qt::blue)) << "dragged past the picture's edge";
    Key(view, Qt::Key_1); // natural size: fits again, centred
    EXPECT_TRUE(Near(at(160, 200), Qt::red));
    EXPECT_TRUE(Near(at(240, 200), Qt::blue));
    EXPECT_TRUE(Near(at(140, 200), base));
}
