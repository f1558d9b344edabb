#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPParagraphPropDlg.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLocale>

using namespace zor;
using namespace wpdialog_test;

namespace {

// Lengths shown in the locale's units: each test picks its locale.
struct LocaleScope
{
    explicit LocaleScope(const char *name) { QLocale::setDefault(QLocale(QLatin1String(name))); }
    ~LocaleScope() { QLocale::setDefault(QLocale::c()); }
};

int twips(qreal units) { return UnitsToTwips(units); }

} // namespace

TEST(WPParagraphPropDlg, AppliesToEveryParagraphTheSelectionTouchesInOneUndoStep)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    Load(editor, u"First\\par Second\\par Third\\par"_qs);
    const QByteArray before = Rtf(editor);
    Select(editor, 2, 9); // "rst" … "Sec"
    TWPParagraphPropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QDoubleSpinBox>(form, "spIndentLeft")->suffix(), " cm");
        Child<QComboBox>(form, "cbAlignment")->setCurrentIndex(1);
        Child<QDoubleSpinBox>(form, "spIndentLeft")->setValue(2.54);
        Child<QDoubleSpinBox>(form, "spIndentFirst")->setValue(-1.27);
        Child<QDoubleSpinBox>(form, "spSpaceBefore")->setValue(6);
        Child<QComboBox>(form, "cbLineSpacing")->setCurrentIndex(4); // exactly
        Child<QDoubleSpinBox>(form, "spLineValue")->setValue(14);
    }));
    for (int at : {0, 6}) {
        const QTextBlockFormat bf = BlockAt(editor, at);
        EXPECT_EQ(bf.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        EXPECT_EQ(twips(bf.leftMargin()), 1440);
        EXPECT_EQ(twips(bf.textIndent()), -720);
        EXPECT_EQ(twips(bf.topMargin()), 120);
        EXPECT_EQ(bf.lineHeightType(), QTextBlockFormat::FixedHeight);
        EXPECT_EQ(twips(bf.lineHeight()), 280);
    }
    const QTextBlockFormat third = BlockAt(editor, 14);
    EXPECT_FALSE(third.hasProperty(QTextFormat::BlockLeftMargin)) << "the third paragraph is not selected";
    const QByteArray rtf = Rtf(editor);
    for (const char *word : {"\\qc", "\\li1440", "\\fi-720", "\\sb120", "\\sl-280\\slmult0"})
        EXPECT_EQ(rtf.count(word), 2) << word << "\n" << rtf.constData();
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPParagraphPropDlg, ShowsTheFirstParagraphAndKeepsWhatIsNotChanged)
{
    LocaleScope metric("de_DE");
    TWPRichText editor;
    // 1000 twips show as 1.76 cm, which would read back as 998.
    Load(editor, u"\\li1000\\sa240\\sl360\\slmult1 One\\par\\pard\\li500 Two\\par"_qs);
    editor.SelectAll();
    TWPParagraphPropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_NEAR(Child<QDoubleSpinBox>(form, "spIndentLeft")->value(), 1.76, 0.001);
        EXPECT_EQ(Child<QDoubleSpinBox>(form, "spSpaceAfter")->value(), 12);
        EXPECT_EQ(Child<QComboBox>(form, "cbLineSpacing")->currentIndex(), 1) << "1.5 lines";
        Child<QComboBox>(form, "cbAlignment")->setCurrentIndex(2);
    }));
    EXPECT_EQ(twips(BlockAt(editor, 0).leftMargin()), 1000);
    EXPECT_EQ(twips(BlockAt(editor, 4).leftMargin()), 500) << "an unchanged indent is not spread";
    EXPECT_EQ(BlockAt(editor, 0).lineHeight(), 150);
    EXPECT_FALSE(BlockAt(editor, 4).hasProperty(QTextFormat::LineHeightType));
    EXPECT_EQ(BlockAt(editor, 4).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { Child<QComboBox>(form, "cbLineSpacing")->setCurrentIndex(0); }));
    EXPECT_FALSE(BlockAt(editor, 0).hasProperty(QTextFormat::LineHeightType)) << "single spacing has no setting";
}

TEST(WPParagraphPropDlg, InchesWhereTheLocaleMeasuresInInches)
{
    LocaleScope imperial("en_US");
    TWPRichText editor;
    Load(editor, u"One\\par"_qs);
    TWPParagraphPropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QDoubleSpinBox>(form, "spIndentRight")->suffix(), " in");
        Child<QDoubleSpinBox>(form, "spIndentRight")->setValue(1.5);
        Child<QComboBox>(form, "cbLineSpacing")->setCurrentIndex(5);
        Child<QDoubleSpinBox>(form, "spLineValue")->setValue(2.5);
    }));
    EXPECT_EQ(twips(BlockAt(editor, 0).rightMargin()), 2160);
    EXPECT_EQ(BlockAt(editor, 0).lineHeightType(), QTextBlockFormat::ProportionalHeight);
    EXPECT_EQ(BlockAt(editor, 0).lineHeight(), 250);
}

TEST(WPParagraphPropDlg, AParagraphWithProtectedTextIsRefused)
{
    TWPRichText editor;
    Load(editor, u"{\\protect fixed} loose\\par Other\\par"_qs);
    QSignalSpy refused(&editor, &TWPRichText::EditRefused);
    SelectText(editor, u"loose"_qs);
    TWPParagraphPropDlg dlg;
    dlg.SetEditBox(&editor);
    bool shown = true;
    EXPECT_FALSE(Answer(dlg, [](QDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);
    EXPECT_EQ(refused.count(), 1);
    SelectText(editor, u"Other"_qs);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { Child<QComboBox>(form, "cbAlignment")->setCurrentIndex(3); }));
    EXPECT_EQ(BlockAt(editor, 13).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
}
