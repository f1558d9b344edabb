#include <ZorCompCore/imaging/GraphicClass.h>
#include <ZorCompCore/imaging/widgets/frmZORImagePreview.h>
#include <ZorCompCore/localisation/ZORLang.h>
#include <ZorCompCore/platform/Stream.h>

#include "Pictures.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace zor;

namespace {

void DeleteLater()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

TEST(ImagePreview, PopUpIsAWindowOverTheControlNamedAfterTheFile)
{
    QMainWindow main;
    main.setGeometry(100, 100, 700, 500);
    auto *button = new QPushButton(QStringLiteral("x"), &main);
    button->setGeometry(40, 30, 480, 320);   // larger than the form's smallest size
    main.show();
    TBytesStream stream(Encode(HalfRed(400, 100), "png"));
    stream.SetPosition(7);   // rewound before reading
    QPointer<TfrmZORImagePreview> form =
        TfrmZORImagePreview::ShowAsPopUp(stream, QStringLiteral("/data/pics/half.png"), button);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isWindow());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->parentWidget(), &main);   // stays above the main window
    EXPECT_EQ(form->windowTitle(), QStringLiteral("half.png"));
    EXPECT_EQ(form->StatusText(), QStringLiteral("/data/pics/half.png"));
    EXPECT_EQ(form->PictureSize(), QSize(400, 100));
    EXPECT_EQ(form->geometry(), QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));

    // Escape closes, and closing deletes.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(form, &esc);
    DeleteLater();
    EXPECT_TRUE(form.isNull());
}

TEST(ImagePreview, WithoutAControlItCoversTheMainWindow)
{
    QMainWindow main;
    main.setGeometry(50, 60, 500, 300);
    main.show();
    QApplication::setActiveWindow(&main);
    TBytesStream stream(Encode(HalfRed(40, 40), "png"));
    QPointer<TfrmZORImagePreview> form = TfrmZORImagePreview::ShowAsPopUp(stream, QStringLiteral("a.png"), nullptr);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->geometry(), main.geometry());
    form->close();
    DeleteLater();
    EXPECT_TRUE(form.isNull());
}

TEST(ImagePreview, UnreadableDataRaisesAndLeavesNoWindow)
{
    const int before = QApplication::topLevelWidgets().size();
    TBytesStream stream(QByteArray("definitely not a picture"));
    EXPECT_THROW(TfrmZORImagePreview::ShowAsPopUp(stream, QStringLiteral("x.png"), nullptr), EEnvisionError);
    DeleteLater();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

TEST(ImagePreview, ZoomAndFitScaleWhatIsShown)
{
    TfrmZORImagePreview form;
    TBytesStream stream(Encode(HalfRed(1600, 800), "png"));
    form.LoadFromStream(stream);
    form.resize(500, 400);
    form.show();
    QApplication::processEvents();
    ASSERT_TRUE(form.FitToWindow());
    // Fitted into the visible area: shrunk, proportions kept.
    const double dpr = form.devicePixelRatioF();
    const QSize fitted = form.ShownImage().size();
    const QWidget *viewport = form.findChild<QScrollArea *>()->viewport();
    EXPECT_LE(fitted.width(), qRound(viewport->width() * dpr));
    EXPECT_GT(fitted.width(), qRound(viewport->width() * dpr) - 3);   // and no smaller than needed
    EXPECT_NEAR(double(fitted.width()) / fitted.height(), 2.0, 0.05);
    EXPECT_LT(form.Zoom(), 1.0);
    // A larger window fits a larger view.
    form.resize(700, 500);
    QApplication::processEvents();
    EXPECT_GT(form.ShownImage().width(), fitted.width());

    form.SetZoom(1);
    EXPECT_FALSE(form.FitToWindow());
    EXPECT_EQ(form.ShownImage().size(), QSize(qRound(1600 * dpr), qRound(800 * dpr)));
    form.ZoomIn();
    EXPECT_DOUBLE_EQ(form.Zoom(), 1.25);
    EXPECT_EQ(form.ShownImage().width(), qRound(2000 * dpr));
    // The left half of the picture is red at any zoom.
    EXPECT_TRUE(IsReddish(form.ShownImage().pixel(10, 10)));
    form.SetZoom(1000);
    EXPECT_DOUBLE_EQ(form.Zoom(), 16);
    form.SetZoom(0);
    EXPECT_DOUBLE_EQ(form.Zoom(), 1.0 / 16);
    form.resize(500, 400);
    form.SetFitToWindow(true);
    QApplication::processEvents();
    EXPECT_EQ(form.ShownImage().size(), fitted);
}

TEST(ImagePreview, DesignTextsAreGermanAndTheLanguageComponentSwitchesThem)
{
    TfrmZORImagePreview form;
    auto *fit = form.findChild<QToolButton *>(QStringLiteral("btnFit"));
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(fit->text(), QStringLiteral("Einpassen"));
    form.SetFileName(QStringLiteral("/x/bild.png"));
    form.Lang()->SetLanguage(QStringLiteral("English"));
    EXPECT_EQ(fit->text(), QStringLiteral("Fit"));
    form.Lang()->SetLanguage(QStringLiteral("Italian"));
    EXPECT_EQ(fit->text(), QStringLiteral("Adatta"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("bild.png"));   // the file's name in every language
}
