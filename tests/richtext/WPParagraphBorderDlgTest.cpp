#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPParagraphBorderDlg.h>
#include <ZorCompCore/richtext/engine/PagePainter.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>

using namespace zor;
using namespace wpdialog_test;

TEST(WPParagraphBorderDlg, GivesTheSelectedParagraphsLinesAndShadingInOneUndoStep)
{
    TWPRichText editor;
    Load(editor, u"One\\par Two\\par Three\\par"_qs);
    const QByteArray before = Rtf(editor);
    Select(editor, 1, 5);
    TWPParagraphBorderDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(TWPParagraphBorderDlg::LineStyles(form), TWPParagraphBorderDlg::DefaultLineStyles());
        Child<QPushButton>(form, "btnBox")->click();
        Child<QCheckBox>(form, "chkRight")->setChecked(false);
        Choose(Child<QComboBox>(form, "cbLineStyle"), "Double");
        Child<QDoubleSpinBox>(form, "spWidth")->setValue(1.5);
        Choose(Child<QComboBox>(form, "cbColor"), "Blue");
        Child<QDoubleSpinBox>(form, "spSpacing")->setValue(4);
        Child<QDoubleSpinBox>(form, "spShading")->setValue(12.5);
        Choose(Child<QComboBox>(form, "cbShadingColor"), "Red");
    }));
    for (int at : {0, 4}) {
        const QTextBlockFormat bf = BlockAt(editor, at);
        EXPECT_EQ(bf.intProperty(wpBorderLeft), 30);
        EXPECT_EQ(bf.intProperty(wpBorderTop), 30);
        EXPECT_FALSE(bf.hasProperty(wpBorderRight));
        EXPECT_EQ(bf.intProperty(wpBorderBottom), 30);
        EXPECT_EQ(bf.intProperty(wpBorderStyle), wpbsDouble);
        EXPECT_EQ(bf.colorProperty(wpBorderColor), QColor(Qt::blue));
        EXPECT_EQ(bf.intProperty(wpBorderSpacing), 80);
        EXPECT_EQ(bf.intProperty(wpShading), 1250);
        EXPECT_EQ(bf.colorProperty(wpShadingColor), QColor(Qt::red));
    }
    EXPECT_FALSE(BlockAt(editor, 8).hasProperty(wpBorderLeft));
    const QByteArray rtf = Rtf(editor);
    EXPECT_EQ(rtf.count("\\brdrl\\brdrdb\\brdrw30"), 2) << rtf.constData();

    // What is written reads back, style included.
    TWPRichText again;
    Load(again, QString::fromLatin1(rtf));
    EXPECT_EQ(BlockAt(again, 0).intProperty(wpBorderStyle), wpbsDouble);
    EXPECT_EQ(BlockAt(again, 0).intProperty(wpBorderLeft), 30);

    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPParagraphBorderDlg, ShowsTheFirstParagraphAndNoneTakesEverythingOff)
{
    TWPRichText editor;
    Load(editor, u"{\\colortbl;\\red0\\green128\\blue0;}\\brdrt\\brdrdot\\brdrw15\\brdrcf1 Lined\\par"_qs);
    TWPParagraphBorderDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_TRUE(Child<QCheckBox>(form, "chkTop")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(form, "chkLeft")->isChecked());
        EXPECT_EQ(Child<QComboBox>(form, "cbLineStyle")->currentText(), "Dotted");
        EXPECT_EQ(Child<QDoubleSpinBox>(form, "spWidth")->value(), 0.75);
        EXPECT_EQ(Child<QComboBox>(form, "cbColor")->currentText(), "Green");
        Child<QPushButton>(form, "btnNone")->click();
    }));
    const QTextBlockFormat bf = BlockAt(editor, 0);
    for (int p : {int(wpBorderLeft), int(wpBorderTop), int(wpBorderRight), int(wpBorderBottom), int(wpBorderStyle),
                  int(wpBorderColor), int(wpShading)})
        EXPECT_FALSE(bf.hasProperty(p)) << p;
}

TEST(WPParagraphBorderDlg, ACallerMayNarrowTheLineStyles)
{
    TWPRichText editor;
    Load(editor, u"\\brdrb\\brdrdb\\brdrw10 Web\\par"_qs);
    TWPParagraphBorderDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        TWPParagraphBorderDlg::SetLineStyles(form, {u"0=SINGLE"_qs});
        QComboBox *list = TWPParagraphBorderDlg::LineStyleList(form);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 1);
        EXPECT_EQ(list->currentText(), "Single");
        EXPECT_EQ(TWPParagraphBorderDlg::LineStyles(form), QStringList{"0=SINGLE"});
    }));
    EXPECT_FALSE(BlockAt(editor, 0).hasProperty(wpBorderStyle)) << "single is the default";
    EXPECT_EQ(BlockAt(editor, 0).intProperty(wpBorderBottom), 10);

    // An entry typed straight into the widget counts by its number.
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        QComboBox *list = TWPParagraphBorderDlg::LineStyleList(form);
        list->clear();
        list->addItem(u"2=DOTTED"_qs);
    }));
    EXPECT_EQ(BlockAt(editor, 0).intProperty(wpBorderStyle), wpbsDotted);
}

TEST(WPParagraphBorderDlg, ThePainterDrawsTheLineStyles)
{
    // A thick line covers more of the page than a dotted one of the same width.
    const auto ink = [](const char16_t *rtf) {
        TWPRichText editor;
        Load(editor, QString::fromUtf16(rtf));
        const QImage page = TWPPagePainter(editor.Document()).RenderPage(0, 96);
        qint64 dark = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                dark += qGray(page.pixel(x, y)) < 200;
        return dark;
    };
    const qint64 single = ink(u"\\brdrb\\brdrs\\brdrw40 x\\par");
    const qint64 dotted = ink(u"\\brdrb\\brdrdot\\brdrw40 x\\par");
    const qint64 thick = ink(u"\\brdrb\\brdrth\\brdrw40 x\\par");
    const qint64 twice = ink(u"\\brdrb\\brdrdb\\brdrw40 x\\par");
    EXPECT_GT(single, 0);
    EXPECT_LT(dotted, single);
    EXPECT_GT(thick, single);
    EXPECT_GT(twice, single);
}
