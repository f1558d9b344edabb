#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPFontDlg.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>

using namespace zor;
using namespace wpdialog_test;

TEST(WPFontDlg, AppliesWhatIsChosenToTheSelectionInOneUndoStep)
{
    TWPRichText editor;
    Load(editor, u"Hello world\\par"_qs);
    const QByteArray before = Rtf(editor);
    SelectText(editor, u"world"_qs);
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    QFont previewed;
    EXPECT_TRUE(Answer(dlg, [&](QDialog &form) {
        Child<QFontComboBox>(form, "cbFont")->setEditText(u"Serif Test"_qs);
        Child<QComboBox>(form, "cbSize")->setEditText(u"20"_qs);
        Choose(Child<QComboBox>(form, "cbColor"), "Red");
        Child<QCheckBox>(form, "chkBold")->setChecked(true);
        Child<QCheckBox>(form, "chkUnderline")->setChecked(true);
        Choose(Child<QComboBox>(form, "cbPosition"), "Superscript");
        Choose(Child<QComboBox>(form, "cbCaps"), "Small capitals");
        previewed = Child<QLabel>(form, "lblPreview")->font();
    }));
    EXPECT_TRUE(previewed.bold() && previewed.underline()) << "the preview follows the form";
    EXPECT_EQ(previewed.capitalization(), QFont::SmallCaps);
    const QTextCharFormat f = CharAt(editor, 8);
    EXPECT_EQ(f.fontFamilies().toStringList().value(0), "Serif Test");
    EXPECT_EQ(f.fontPointSize(), 20);
    EXPECT_EQ(f.foreground().color(), QColor(Qt::red));
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
    EXPECT_TRUE(f.fontUnderline());
    EXPECT_FALSE(f.fontItalic());
    EXPECT_EQ(f.verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(f.fontCapitalization(), QFont::SmallCaps);
    const QTextCharFormat outside = CharAt(editor, 2);
    EXPECT_NE(outside.fontWeight(), QFont::Bold) << "only the selection changes";
    EXPECT_FALSE(outside.hasProperty(QTextFormat::FontPointSize));
    const QByteArray after = Rtf(editor);
    EXPECT_TRUE(after.contains("\\fs40\\b\\ul\\super\\scaps")) << after.constData();
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPFontDlg, AMixedSelectionShowsNoValueAndKeepsItsMixture)
{
    TWPRichText editor;
    Load(editor, u"{\\fs28{\\b bold} {\\i italic}}\\par"_qs);
    editor.SelectAll();
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [&](QDialog &form) {
        EXPECT_EQ(Child<QCheckBox>(form, "chkBold")->checkState(), Qt::PartiallyChecked);
        EXPECT_EQ(Child<QCheckBox>(form, "chkItalic")->checkState(), Qt::PartiallyChecked);
        EXPECT_EQ(Child<QCheckBox>(form, "chkStrikeOut")->checkState(), Qt::Unchecked);
        EXPECT_EQ(Child<QComboBox>(form, "cbSize")->currentText(), "14") << "the size all share";
        EXPECT_EQ(Child<QComboBox>(form, "cbColor")->currentIndex(), 0) << "Automatic";
        Child<QCheckBox>(form, "chkStrikeOut")->setChecked(true);
    }));
    EXPECT_EQ(CharAt(editor, 0).fontWeight(), QFont::Bold);
    EXPECT_FALSE(CharAt(editor, 0).fontItalic());
    EXPECT_TRUE(CharAt(editor, 6).fontItalic());
    EXPECT_NE(CharAt(editor, 6).fontWeight(), QFont::Bold);
    for (int at : {0, 6}) {
        EXPECT_TRUE(CharAt(editor, at).fontStrikeOut());
        EXPECT_EQ(CharAt(editor, at).fontPointSize(), 14);
    }
}

TEST(WPFontDlg, AutomaticColourRemovesTheColourAndCancelChangesNothing)
{
    TWPRichText editor;
    Load(editor, u"{\\colortbl;\\red0\\green128\\blue0;}{\\cf1 green}\\par"_qs);
    editor.SelectAll();
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    const QByteArray before = Rtf(editor);
    EXPECT_FALSE(Answer(dlg, [&](QDialog &form) {
        EXPECT_EQ(Child<QComboBox>(form, "cbColor")->currentText(), "Green");
        Child<QCheckBox>(form, "chkBold")->setChecked(true);
    }, false));
    EXPECT_EQ(Rtf(editor), before);
    EXPECT_TRUE(Answer(dlg, [&](QDialog &form) { Child<QComboBox>(form, "cbColor")->setCurrentIndex(0); }));
    EXPECT_FALSE(CharAt(editor, 1).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(WPFontDlg, WithoutASelectionItSetsWhatIsTypedNext)
{
    TWPRichText editor;
    Load(editor, u"abc\\par"_qs);
    Select(editor, 3);
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [&](QDialog &form) { Child<QCheckBox>(form, "chkItalic")->setChecked(true); }));
    editor.InputString(u"d"_qs);
    EXPECT_EQ(Plain(editor), "abcd");
    EXPECT_TRUE(CharAt(editor, 3).fontItalic());
    EXPECT_FALSE(CharAt(editor, 2).fontItalic());
}

TEST(WPFontDlg, TextWithoutAFontOfItsOwnShowsTheDefaultAndKeepsNone)
{
    TWPRichText editor;
    Load(editor, u"plain\\par"_qs);
    QFont base(u"Serif Default"_qs);
    base.setPointSizeF(13);
    Text(editor)->setDefaultFont(base);
    editor.SelectAll();
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QFontComboBox>(form, "cbFont")->currentText(), "Serif Default");
        EXPECT_EQ(Child<QComboBox>(form, "cbSize")->currentText(), "13");
        Child<QCheckBox>(form, "chkBold")->setChecked(true);
    }));
    EXPECT_EQ(CharAt(editor, 1).fontWeight(), QFont::Bold);
    EXPECT_FALSE(CharAt(editor, 1).hasProperty(QTextFormat::FontFamilies)) << "the default is not written in";
    EXPECT_FALSE(CharAt(editor, 1).hasProperty(QTextFormat::FontPointSize));
}

TEST(WPFontDlg, ProtectedOrReadOnlyTextIsRefusedBeforeTheFormShows)
{
    TWPRichText editor;
    Load(editor, u"{\\protect locked} free\\par"_qs);
    QSignalSpy refused(&editor, &TWPRichText::EditRefused);
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    bool shown = true;
    SelectText(editor, u"ked fr"_qs);
    EXPECT_FALSE(Answer(dlg, [](QDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);
    EXPECT_EQ(refused.count(), 1);

    SelectText(editor, u"free"_qs);
    editor.SetReadOnly(true);
    EXPECT_FALSE(Answer(dlg, [](QDialog &) {}, true, &shown));
    EXPECT_FALSE(shown);
    EXPECT_EQ(refused.count(), 2);
    editor.SetReadOnly(false);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { Child<QCheckBox>(form, "chkBold")->setChecked(true); }, true, &shown));
    EXPECT_TRUE(shown);
}

TEST(WPFontDlg, AnInvalidSizeKeepsTheFormOpen)
{
    TWPRichText editor;
    Load(editor, u"abc\\par"_qs);
    editor.SelectAll();
    TWPFontDlg dlg;
    dlg.SetEditBox(&editor);
    dlg.OnShow = [](QDialog &form) {
        Child<QComboBox>(form, "cbSize")->setEditText(u"5000"_qs);
        ClickOk(form);
        EXPECT_EQ(form.result(), 0) << "not accepted";
        ClickCancel(form);
    };
    EXPECT_FALSE(dlg.Execute());
}
