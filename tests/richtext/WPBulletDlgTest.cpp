#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPBulletDlg.h>

#include <QListWidget>
#include <QSpinBox>
#include <QTextList>

using namespace zor;
using namespace wpdialog_test;

namespace {

QTextList *listAt(TWPRichText &editor, int position)
{
    return Text(editor)->findBlock(position).textList();
}

bool choose(TWPBulletDlg &dlg, int row, int level = 1)
{
    return Answer(dlg, [&](QDialog &form) {
        Child<QListWidget>(form, "lstStyles")->setCurrentRow(row);
        Child<QSpinBox>(form, "spLevel")->setValue(level);
    });
}

} // namespace

TEST(WPBulletDlg, TheSelectedParagraphsBecomeOneListInOneUndoStep)
{
    TWPRichText editor;
    Load(editor, u"One\\par Two\\par Three\\par"_qs);
    const QByteArray before = Rtf(editor);
    Select(editor, 1, 6);
    TWPBulletDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QListWidget>(form, "lstStyles")->currentRow(), 0) << "no list yet: None";
        Child<QListWidget>(form, "lstStyles")->setCurrentRow(4); // 1. 2. 3.
        Child<QSpinBox>(form, "spLevel")->setValue(2);
    }));
    QTextList *list = listAt(editor, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(listAt(editor, 4), list);
    EXPECT_EQ(listAt(editor, 8), nullptr) << "Three is not selected";
    EXPECT_EQ(list->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(list->format().indent(), 2);
    EXPECT_EQ(list->itemText(Text(editor)->findBlock(4)), "2.");
    const QByteArray rtf = Rtf(editor);
    EXPECT_EQ(rtf.count("\\ls1\\ilvl1"), 2) << rtf.constData();
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPBulletDlg, ChangesTheListTheParagraphsShareOrTakesThemOut)
{
    TWPRichText editor;
    Load(editor, u"One\\par Two\\par Three\\par"_qs);
    editor.SelectAll();
    TWPBulletDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(choose(dlg, 1));
    QTextList *list = listAt(editor, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->format().style(), QTextListFormat::ListDisc);

    Select(editor, 5); // in "Two"
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QListWidget>(form, "lstStyles")->currentRow(), 1) << "the list shows";
        Child<QListWidget>(form, "lstStyles")->setCurrentRow(8);
    }));
    EXPECT_EQ(listAt(editor, 0), list) << "the whole list changed";
    EXPECT_EQ(list->format().style(), QTextListFormat::ListUpperRoman);
    EXPECT_EQ(list->itemText(Text(editor)->findBlock(8)), "III.");

    EXPECT_TRUE(choose(dlg, 0));
    EXPECT_EQ(listAt(editor, 4), nullptr) << "None takes the caret's paragraph out";
    EXPECT_NE(listAt(editor, 0), nullptr);
    EXPECT_NE(listAt(editor, 8), nullptr);

    // Paragraphs from two lists (and none) become a new list of their own.
    editor.SelectAll();
    EXPECT_TRUE(choose(dlg, 5));
    ASSERT_NE(listAt(editor, 0), nullptr);
    EXPECT_EQ(listAt(editor, 4), listAt(editor, 0));
    EXPECT_EQ(listAt(editor, 8), listAt(editor, 0));
    EXPECT_EQ(listAt(editor, 0)->format().style(), QTextListFormat::ListLowerAlpha);
}

TEST(WPBulletDlg, ProtectedParagraphsAreRefused)
{
    TWPRichText editor;
    Load(editor, u"{\\protect One}\\par Two\\par"_qs);
    QSignalSpy refused(&editor, &TWPRichText::EditRefused);
    editor.SelectAll();
    TWPBulletDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_FALSE(choose(dlg, 1));
    EXPECT_EQ(listAt(editor, 0), nullptr);
    EXPECT_EQ(refused.count(), 1);
}
