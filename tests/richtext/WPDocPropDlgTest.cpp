#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPDocPropDlg.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace zor;
using namespace wpdialog_test;

TEST(WPDocPropDlg, EditsTheDocumentInformation)
{
    TWPRichText editor;
    Load(editor, u"{\\rtf1{\\info{\\title Report}{\\author Ann}{\\doccomm first}}Hello big world\\par"
                 u" -- second line\\par\\par}"_qs);
    editor.SetModified(false);
    TWPDocPropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QLineEdit>(form, "edTitle")->text(), "Report");
        EXPECT_EQ(Child<QLineEdit>(form, "edAuthor")->text(), "Ann");
        EXPECT_EQ(Child<QPlainTextEdit>(form, "edComments")->toPlainText(), "first");
        EXPECT_EQ(Child<QLabel>(form, "lblWords")->text(), "5") << "\"--\" is no word";
        EXPECT_EQ(Child<QLabel>(form, "lblParas")->text(), "2") << "the empty one does not count";
        EXPECT_EQ(Child<QLabel>(form, "lblPages")->text(), "1");
        Child<QLineEdit>(form, "edSubject")->setText(u"Numbers"_qs);
        Child<QPlainTextEdit>(form, "edComments")->setPlainText(u"second"_qs);
    }));
    EXPECT_EQ(editor.Document().Info(u"subject"_qs), "Numbers");
    EXPECT_EQ(editor.Document().Info(u"doccomm"_qs), "second");
    EXPECT_EQ(editor.Document().Info(u"title"_qs), "Report");
    EXPECT_TRUE(editor.Modified());
    const QByteArray rtf = Rtf(editor);
    EXPECT_TRUE(rtf.contains("{\\subject Numbers}")) << rtf.constData();

    editor.SetModified(false);
    EXPECT_TRUE(Answer(dlg, [](QDialog &) {}));
    EXPECT_FALSE(editor.Modified()) << "nothing changed";
    EXPECT_FALSE(Answer(dlg, [](QDialog &form) { Child<QLineEdit>(form, "edTitle")->setText(u"X"_qs); }, false));
    EXPECT_EQ(editor.Document().Info(u"title"_qs), "Report");
}

TEST(WPDocPropDlg, StatisticsCountWordsCharactersAndPages)
{
    TWPRichText editor;
    Load(editor, u"one two\\line three\\par\\page four\\par"_qs);
    const TWPDocStatistics s = TWPDocPropDlg::Statistics(editor);
    EXPECT_EQ(s.Words, 4);
    EXPECT_EQ(s.Characters, 3 + 1 + 3 + 5 + 4) << "the line break does not count";
    EXPECT_EQ(s.Paragraphs, 2);
    EXPECT_EQ(s.Pages, 2);

    editor.SetReadOnly(true);
    TWPDocPropDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_FALSE(Answer(dlg, [](QDialog &form) {
        EXPECT_TRUE(Child<QLineEdit>(form, "edTitle")->isReadOnly());
    }));
}
