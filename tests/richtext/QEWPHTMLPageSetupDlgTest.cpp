#include <ZorCompCore/richtext/QEWPHTMLPageSetupDlg.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace zor;

namespace {

QComboBox *colorBox(QDialog &form)
{
    return form.findChild<QComboBox *>("cbBackgroundColor");
}

// Runs Execute with a form answered by act (which may change the choice)
// and then by a click on OK or Cancel; returns Execute's result.
bool answer(TQEWPHTMLPageSetupDlg &dlg, const std::function<void(TQEWPHTMLPageSetupDialog &)> &act,
            bool ok, bool *shown = nullptr)
{
    dlg.OnShow = [&](TQEWPHTMLPageSetupDialog &form) {
        if (shown)
            *shown = true;
        QTimer::singleShot(0, &form, [&form, act, ok] {
            act(form);
            form.findChild<QPushButton *>(ok ? "btnOk" : "btnCancel")->click();
        });
    };
    return dlg.Execute();
}

} // namespace

TEST(QEWPHTMLPageSetupDlg, FormTextsAndTheHtml4Colours)
{
    TQEWPHTMLPageSetupDialog form;
    EXPECT_EQ(form.windowTitle(), "HTML Page Properties");
    EXPECT_EQ(form.findChild<QLabel *>("lblBackgroundColor")->text(), "Background-Color:");
    EXPECT_EQ(form.findChild<QPushButton *>("btnOk")->text(), "&Ok");
    EXPECT_EQ(form.findChild<QPushButton *>("btnCancel")->text(), "Cancel");
    QComboBox *box = colorBox(form);
    EXPECT_EQ(box->itemText(0), "Default");
    EXPECT_EQ(form.Color(), 0xFFFFFFu) << "white by default";
    for (const char *name : {"Black", "Silver", "Gray", "White", "Maroon", "Red", "Purple", "Fuchsia",
                             "Green", "Lime", "Olive", "Yellow", "Navy", "Blue", "Teal", "Aqua"})
        EXPECT_GE(box->findText(name), 0) << name;
    box->setCurrentIndex(box->findText("Red"));
    EXPECT_EQ(form.Color(), 0x0000FFu) << "colours are TColor values";
    box->setCurrentIndex(box->findText("Navy"));
    EXPECT_EQ(form.Color(), 0x800000u);
}

TEST(QEWPHTMLPageSetupDlg, OwnColoursAreKept)
{
    TQEWPHTMLPageSetupDialog form;
    const int before = colorBox(form)->count();
    form.SetColor(0x123456);
    EXPECT_EQ(form.Color(), 0x123456u);
    EXPECT_EQ(colorBox(form)->currentText(), "#563412");
    form.SetColor(0x123456);
    EXPECT_EQ(colorBox(form)->count(), before + 1) << "an own colour is listed once";
    form.SetColor(0x00FF00);
    EXPECT_EQ(colorBox(form)->currentText(), "Lime") << "a listed colour is chosen by its name";
}

TEST(QEWPHTMLPageSetupDlg, WithoutAnEditorNothingIsShown)
{
    TQEWPHTMLPageSetupDlg dlg;
    bool shown = false;
    EXPECT_FALSE(answer(dlg, [](TQEWPHTMLPageSetupDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);

    TWPCustomRtfEdit readOnly;
    readOnly.SetReadOnly(true);
    dlg.SetEditBox(&readOnly);
    EXPECT_FALSE(answer(dlg, [](TQEWPHTMLPageSetupDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(readOnly.Document().HasDataItem("page-background-color"));
}

// The form opens on the stored colour; OK stores the choice (the paper's
// colour from then on), Cancel stores nothing.
TEST(QEWPHTMLPageSetupDlg, OkStoresTheChosenColourCancelDoesNot)
{
    TWPCustomRtfEdit edit;
    edit.LoadFromString("text", "TXT");
    TQEWPHTMLPageSetupDlg dlg;
    dlg.SetEditBox(&edit);

    QString opened;
    EXPECT_FALSE(answer(dlg, [&](TQEWPHTMLPageSetupDialog &f) { opened = colorBox(f)->currentText(); }, false));
    EXPECT_EQ(opened, "Default") << "nothing stored: the default colour";
    EXPECT_FALSE(edit.Document().HasDataItem("page-background-color"));
    EXPECT_FALSE(edit.Modified());

    SetRTFDataColorValue(edit.Document(), "page-background-color", 0x00FF00);
    EXPECT_TRUE(answer(dlg, [&](TQEWPHTMLPageSetupDialog &f) {
        opened = colorBox(f)->currentText();
        colorBox(f)->setCurrentIndex(colorBox(f)->findText("Teal"));
    }, true));
    EXPECT_EQ(opened, "Lime");
    EXPECT_EQ(GetRTFDataColorValue(edit.Document(), "page-background-color", 0), 0x808000u);
    EXPECT_TRUE(edit.Modified());

    EXPECT_FALSE(answer(dlg, [&](TQEWPHTMLPageSetupDialog &f) {
        colorBox(f)->setCurrentIndex(colorBox(f)->findText("Red"));
    }, false));
    EXPECT_EQ(GetRTFDataColorValue(edit.Document(), "page-background-color", 0), 0x808000u)
        << "Cancel keeps the stored colour";
}
