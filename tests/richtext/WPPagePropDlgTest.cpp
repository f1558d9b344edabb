#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPPagePropDlg.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>

using namespace zor;
using namespace wpdialog_test;

namespace {

struct LocaleScope
{
    explicit LocaleScope(const char *name) { QLocale::setDefault(QLocale(QLatin1String(name))); }
    ~LocaleScope() { QLocale::setDefault(QLocale::c()); }
};

QDoubleSpinBox *spin(QDialog &form, const char *name) { return Child<QDoubleSpinBox>(form, name); }

} // namespace

TEST(WPPagePropDlg, ShowsTheSectionsPageAndStoresItInTwips)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    Load(editor, u"Text\\par"_qs);
    TWPPagePropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QComboBox>(form, "cbPaper")->currentText(), "A4");
        EXPECT_EQ(spin(form, "spWidth")->suffix(), " mm");
        EXPECT_DOUBLE_EQ(spin(form, "spWidth")->value(), 210.0);
        EXPECT_DOUBLE_EQ(spin(form, "spTop")->value(), 25.4);
        auto *paper = Child<QComboBox>(form, "cbPaper");
        paper->setCurrentIndex(paper->findText("Letter"));
        paper->activated(paper->currentIndex());
        EXPECT_DOUBLE_EQ(spin(form, "spWidth")->value(), 215.9);
        Child<QRadioButton>(form, "rbLandscape")->setChecked(true);
        EXPECT_DOUBLE_EQ(spin(form, "spWidth")->value(), 279.4) << "turned";
        spin(form, "spLeft")->setValue(30);
        spin(form, "spHeader")->setValue(10);
    }));
    const TWPPageSetup &p = editor.Document().PageSetup(0);
    EXPECT_EQ(p.PageWidth, 15840);
    EXPECT_EQ(p.PageHeight, 12240);
    EXPECT_TRUE(p.Landscape);
    EXPECT_EQ(p.MarginLeft, 1701);
    EXPECT_EQ(p.MarginRight, 1440);
    EXPECT_EQ(p.HeaderY, 567);
    EXPECT_TRUE(editor.Modified());
    const QByteArray rtf = Rtf(editor);
    EXPECT_TRUE(rtf.contains("\\paperw15840") || rtf.contains("\\pgwsxn15840")) << rtf.constData();
}

TEST(WPPagePropDlg, OkWithoutChangesKeepsTheExactTwipsAndASizeTypedInFindsItsPaper)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    Load(editor, u"\\paperw11906\\paperh16838\\margl1000\\margr1001 Text\\par"_qs);
    const TWPPageSetup before = editor.Document().PageSetup(0);
    TWPPagePropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &) {}));
    EXPECT_EQ(editor.Document().PageSetup(0), before) << "no rounding to the millimetre";

    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        spin(form, "spWidth")->setValue(148);
        spin(form, "spHeight")->setValue(210);
        EXPECT_EQ(Child<QComboBox>(form, "cbPaper")->currentText(), "A5");
        spin(form, "spHeight")->setValue(211);
        EXPECT_EQ(Child<QComboBox>(form, "cbPaper")->currentText(), "User defined");
    }));
    EXPECT_EQ(editor.Document().PageSetup(0).PageHeight, 11962);
}

TEST(WPPagePropDlg, MarginsThatLeaveNoRoomAreNotTaken)
{
    LocaleScope imperial("en_US");
    TWPRichText editor;
    Load(editor, u"Text\\par"_qs);
    const TWPPageSetup before = editor.Document().PageSetup(0);
    TWPPagePropDlg dlg;
    dlg.SetEditBox(&editor);
    dlg.OnShow = [](QDialog &form) {
        EXPECT_EQ(spin(form, "spLeft")->suffix(), " in");
        spin(form, "spLeft")->setValue(4);
        spin(form, "spRight")->setValue(4);
        ClickOk(form);
        EXPECT_EQ(form.result(), 0);
        EXPECT_EQ(Child<QLabel>(form, "lblError")->text(), "The left and right margins leave no room for the text.");
        ClickCancel(form);
    };
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(editor.Document().PageSetup(0), before);
}

TEST(WPPagePropDlg, OnlyTheCaretsSectionChanges)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    Load(editor, u"One\\par\\sect\\sectd Two\\par"_qs);
    ASSERT_EQ(editor.Document().SectionCount(), 2);
    Select(editor, 5);
    TWPPagePropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { spin(form, "spBottom")->setValue(50); }));
    EXPECT_EQ(editor.Document().PageSetup(1).MarginBottom, 2835);
    EXPECT_EQ(editor.Document().PageSetup(0).MarginBottom, 1440);

    editor.SetReadOnly(true);
    bool shown = true;
    EXPECT_FALSE(Answer(dlg, [](QDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);
}
