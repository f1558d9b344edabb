// DPI arithmetic for widgets, forms and image lists. The suite runs twice:
// at the screen's own scale and under QT_SCALE_FACTOR=1.5 (144 dpi).
#include <ZorCompCore/imaging/HiDPI.h>
#include <ZorCompCore/imaging/widgets/ControlsHelper.h>
#include <ZorCompCore/platform/ImageList.h>

#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace zor;

namespace {

// What the offscreen screen must report: 96 dpi times the scale factor.
int ExpectedScreenPPI()
{
    const double factor = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                              ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                              : 1.0;
    return int(std::lround(96 * factor));
}

} // namespace

TEST(HiDPI, ScreenPPIIsLogicalDpiTimesDevicePixelRatio)
{
    EXPECT_EQ(ScreenPPI(), ExpectedScreenPPI());
    QWidget w;
    EXPECT_EQ(CurrentPPI(&w), ExpectedScreenPPI());
    EXPECT_EQ(ScreenPPI(nullptr), 96);
}

TEST(HiDPI, ParentFormIsTheNearestFormNotTheTopLevelWindow)
{
    QMainWindow top;
    auto *embedded = new QWidget(&top);
    embedded->setProperty("PixelsPerInch", 120);
    top.setCentralWidget(embedded);
    auto *button = new QPushButton(embedded);

    EXPECT_EQ(TZORControlHelper::GetParentForm(button), embedded);
    EXPECT_EQ(TZORControlHelper::GetParentForm(embedded), embedded);
    EXPECT_EQ(TZORControlHelper::GetParentForm(&top), &top);
    EXPECT_EQ(TZORControlHelper::GetParentForm(nullptr), nullptr);

    // A plain widget window is no form; a dialog is one, at 96 unless it says otherwise.
    QWidget plain;
    auto *child = new QPushButton(&plain);
    EXPECT_EQ(TZORControlHelper::GetParentForm(child), nullptr);
    QDialog dialog;
    EXPECT_TRUE(IsForm(&dialog));
    EXPECT_EQ(FormPixelsPerInch(&dialog), 96);
    EXPECT_EQ(FormPixelsPerInch(embedded), 120);
    dialog.setProperty("PixelsPerInch", QStringLiteral("kaputt"));
    EXPECT_EQ(FormPixelsPerInch(&dialog), 96);
}

// Design values at 96, 144 and 192 dpi forms, on a screen of 96 or 144 dpi.
TEST(HiDPI, ControlsScaleBetweenTheirFormsDesignAndTheScreen)
{
    const int screen = ExpectedScreenPPI();
    struct Row { int screen, formPpi, value, toScreen, toDesign; } rows[] = {
        {96, 96, 100, 100, 100},
        {96, 144, 100, 67, 150},   // 66.67 up; 150 exact
        {96, 192, 13, 7, 26},      // 6.5 goes away from zero
        {144, 96, 13, 20, 9},      // 19.5 → 20; 8.67 → 9
        {144, 144, 100, 100, 100},
        {144, 192, 100, 75, 133},
    };
    int checked = 0;
    for (const Row &r : rows) {
        if (r.screen != screen)
            continue;
        SCOPED_TRACE(r.formPpi);
        QDialog form;
        form.setProperty("PixelsPerInch", r.formPpi);
        auto *button = new QPushButton(&form);
        for (bool useCurrent : {true, false}) {
            EXPECT_EQ(TZORControlHelper::ScaleDesignDimToDPI(button, r.value, useCurrent), r.toScreen);
            EXPECT_EQ(TZORControlHelper::ScaleDimToDesignDPI(button, r.value, useCurrent), r.toDesign);
            EXPECT_EQ(THiDPIWinControlHelper::ScaleDesignDimToDPI(button, r.value, useCurrent), r.toScreen);
            EXPECT_EQ(THiDPIWinControlHelper::ScaleDimToDesignDPI(button, r.value, useCurrent), r.toDesign);
            EXPECT_EQ(THiDPIFormHelper::ScaleDesignDimToDPI(&form, r.value, useCurrent), r.toScreen);
            EXPECT_EQ(THiDPIFormHelper::ScaleDimToDesignDPI(&form, r.value, useCurrent), r.toDesign);
        }
        ++checked;
    }
    ASSERT_GT(checked, 0) << "no rows for a screen of " << screen << " dpi";

    // Without a form the design resolution is 96.
    QWidget plain;
    auto *child = new QPushButton(&plain);
    EXPECT_EQ(TZORControlHelper::ScaleDesignDimToDPI(child, 13, true), screen == 96 ? 13 : 20);
    EXPECT_EQ(TZORControlHelper::ScaleDimToDesignDPI(child, 20, true), screen == 96 ? 20 : 13);
}

TEST(HiDPI, ValuesAtAnotherDpiUseTheCurrentPPI)
{
    const int screen = ExpectedScreenPPI();
    QDialog form;
    form.setProperty("PixelsPerInch", 192); // design DPI plays no part here
    auto *button = new QPushButton(&form);
    // 10 at 120 dpi: 8 px at 96 dpi, 12 at 144; the inverse 12.5 → 13 and 8.33 → 8.
    EXPECT_EQ(TZORControlHelper::ScaleDimToDPI(button, 10, 120), screen == 96 ? 8 : 12);
    EXPECT_EQ(TZORControlHelper::ScaleDimToDPI(nullptr, 10, 120), screen == 96 ? 8 : 12);
    EXPECT_EQ(THiDPIWinControlHelper::ScaleDimToDPI(button, 10, 120), screen == 96 ? 8 : 12);
    EXPECT_EQ(THiDPIFormHelper::ScaleDimToDPI(&form, 10, 120), screen == 96 ? 8 : 12);
    EXPECT_EQ(THiDPIFormHelper::ScaleDPIToDim(&form, 10, 120), screen == 96 ? 13 : 8);
}

TEST(HiDPI, ImageListsScaleFromTheirSourceDpi)
{
    TImageList list;
    list.SetSize(16, 24);
    EXPECT_EQ(THiDPIImageListHelper::GetImageListDPI(&list), 96);
    EXPECT_EQ(THiDPIImageListHelper::ScaledWidth(&list, 144), 24);
    EXPECT_EQ(THiDPIImageListHelper::ScaledHeight(&list, 144), 36);
    EXPECT_EQ(THiDPIImageListHelper::ScaledWidth(&list, 120), 20);
    list.SetSourceDPI(144);
    EXPECT_EQ(THiDPIImageListHelper::ScaledWidth(&list, 96), 11);   // 10.67
    EXPECT_EQ(THiDPIImageListHelper::ScaledHeight(&list, 96), 16);
    EXPECT_EQ(THiDPIImageListHelper::ScaledWidth(&list, 192), 21);  // 21.33
    EXPECT_EQ(THiDPIImageListHelper::GetImageListDPI(nullptr), 96);
}
