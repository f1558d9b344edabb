#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPFindDlg.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

using namespace zor;
using namespace wpdialog_test;

namespace {

struct Search
{
    TWPRichText editor;
    TWPReplaceDlg dlg;
    QDialog *form = nullptr;

    Search()
    {
        dlg.SetEditBox(&editor);
        form = dlg.Form();
    }

    void Set(const QString &what, const QString &with = {}, bool matchCase = false, bool wholeWords = false,
             bool regExp = false)
    {
        Child<QLineEdit>(*form, "edFind")->setText(what);
        Child<QLineEdit>(*form, "edReplace")->setText(with);
        Child<QCheckBox>(*form, "chkCase")->setChecked(matchCase);
        Child<QCheckBox>(*form, "chkWholeWords")->setChecked(wholeWords);
        Child<QCheckBox>(*form, "chkRegExp")->setChecked(regExp);
    }

    void Click(const char *button) { Child<QPushButton>(*form, button)->click(); }
    QString Status() { return Child<QLabel>(*form, "lblStatus")->text(); }
    std::pair<int, int> Selected() const
    {
        const QTextCursor c = editor.TextCursor();
        return {c.selectionStart(), c.selectionEnd()};
    }
};

} // namespace

// Every class name the action module asks for must give a dialog.
TEST(WPDialogs, EveryDialogIsCreatedByItsClassName)
{
    for (const char *name : {"TWPFindDlg", "TWPReplaceDlg", "TWPFontDlg", "TWPParagraphPropDlg", "TWPTableDlg",
                             "TWPHyperlinkDlg", "TWPBulletDlg", "TWPTabDlg", "TWPPagePropDlg", "TWPSymbolDlgEx",
                             "TWPDocPropDlg", "TWPStyleDlg", "TWPOneStyleDlg", "TWPParagraphBorderDlg",
                             "TWPManageHeaderFooter"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(TWPCustomDialog::IsRegistered(QLatin1String(name)));
        std::unique_ptr<TWPCustomDialog> dlg(TWPCustomDialog::Create(QLatin1String(name)));
        ASSERT_NE(dlg, nullptr);
        EXPECT_FALSE(dlg->Execute()) << "without an editor there is nothing to do";
    }
}

TEST(WPFindDlg, FindNextGoesFromMatchToMatchAndWrapsAround)
{
    Search s;
    Load(s.editor, u"One two one. ONE\\par two one\\par"_qs);
    s.Set(u"one"_qs);
    Select(s.editor, 0);
    const std::pair<int, int> expected[] = {{0, 3}, {8, 11}, {13, 16}, {21, 24}, {0, 3}};
    for (const auto &e : expected) {
        s.Click("btnFindNext");
        EXPECT_EQ(s.Selected(), e);
    }
    s.Set(u"one"_qs, {}, true);
    s.Click("btnFindNext");
    EXPECT_EQ(s.Selected(), std::make_pair(8, 11)) << "with case, ONE is no match";
    s.Set(u"one"_qs);
    Child<QCheckBox>(*s.form, "chkBackward")->setChecked(true);
    s.Click("btnFindNext");
    EXPECT_EQ(s.Selected(), std::make_pair(0, 3));
    s.Click("btnFindNext");
    EXPECT_EQ(s.Selected(), std::make_pair(21, 24)) << "backwards wraps to the end";
}

TEST(WPFindDlg, WholeWordsAndNotFound)
{
    Search s;
    Load(s.editor, u"concat -cat cat.\\par"_qs);
    s.Set(u"cat"_qs, {}, false, true);
    Select(s.editor, 0);
    s.Click("btnFindNext");
    EXPECT_EQ(s.Selected(), std::make_pair(8, 11)) << "\"-cat\" holds a whole word too";
    s.Set(u"-cat"_qs, {}, false, true);
    Select(s.editor, 0);
    s.Click("btnFindNext");
    EXPECT_EQ(s.Selected(), std::make_pair(7, 11)) << "a word may start with a non-word character";

    s.Set(u"dog"_qs);
    Select(s.editor, 2);
    EXPECT_FALSE(s.dlg.FindNext());
    EXPECT_EQ(s.Selected(), std::make_pair(2, 2)) << "the caret stays";
    EXPECT_EQ(s.Status(), "The search text was not found.");

    s.Set(u"(unclosed"_qs, {}, false, false, true);
    EXPECT_FALSE(s.dlg.FindNext());
    EXPECT_TRUE(s.Status().startsWith("Invalid regular expression")) << s.Status().toStdString();
}

TEST(WPFindDlg, EmptyMatchesAreSteppedOver)
{
    Search s;
    Load(s.editor, u"abxxc\\par"_qs);
    s.Set(u"x*"_qs, u"-"_qs, false, false, true);
    Select(s.editor, 0);
    EXPECT_TRUE(s.dlg.FindNext());
    EXPECT_EQ(s.Selected(), std::make_pair(2, 4));
    EXPECT_EQ(s.dlg.ReplaceAll(), 1);
    EXPECT_EQ(Plain(s.editor), "ab-c");
}

TEST(WPFindDlg, ExecuteShowsTheFormWithoutBlockingAndTakesTheSelection)
{
    TWPRichText editor;
    Load(editor, u"alpha beta\\par"_qs);
    SelectText(editor, u"beta"_qs);
    TWPFindDlg find;
    find.SetEditBox(&editor);
    bool shown = false;
    find.OnShow = [&](QDialog &) { shown = true; };
    EXPECT_TRUE(find.Execute());
    EXPECT_TRUE(shown);
    EXPECT_TRUE(find.Form()->isVisible());
    EXPECT_EQ(Child<QLineEdit>(*find.Form(), "edFind")->text(), "beta");
    EXPECT_FALSE(Child<QLineEdit>(*find.Form(), "edReplace")->isVisibleTo(find.Form()));
    EXPECT_EQ(find.Form()->windowTitle(), "Find");

    TWPReplaceDlg replace;
    replace.SetEditBox(&editor);
    EXPECT_TRUE(replace.Execute());
    EXPECT_TRUE(Child<QLineEdit>(*replace.Form(), "edReplace")->isVisibleTo(replace.Form()));
    EXPECT_EQ(replace.Form()->windowTitle(), "Replace");
}

TEST(WPReplaceDlg, ReplaceFindsFirstThenReplacesTheSelectedMatch)
{
    Search s;
    Load(s.editor, u"aa bb AA\\par"_qs);
    s.Set(u"aa"_qs, u"xyz"_qs);
    Select(s.editor, 3);
    EXPECT_FALSE(s.dlg.Replace()) << "the caret is on no match: it is found first";
    EXPECT_EQ(s.Selected(), std::make_pair(6, 8));
    EXPECT_TRUE(s.dlg.Replace());
    EXPECT_EQ(Plain(s.editor), "aa bb xyz");
    EXPECT_EQ(s.Selected(), std::make_pair(0, 2)) << "the next match is selected";
}

TEST(WPReplaceDlg, ReplaceAllIsOneUndoStepKeepsFormatsAndSkipsProtectedText)
{
    Search s;
    Load(s.editor, u"a cat, {\\protect cat} and {\\b cat}\\par"_qs);
    const QString before = Plain(s.editor);
    QSignalSpy refused(&s.editor, &TWPRichText::EditRefused);
    s.Set(u"cat"_qs, u"tiger"_qs);
    s.Click("btnReplaceAll");
    EXPECT_EQ(Plain(s.editor), "a tiger, cat and tiger");
    EXPECT_EQ(s.Status(), "Replaced 2 occurrence(s).");
    EXPECT_EQ(refused.count(), 1) << "the protected match is reported";
    EXPECT_EQ(CharAt(s.editor, 17).fontWeight(), QFont::Bold) << "a replacement takes its match's format";
    EXPECT_TRUE(CharAt(s.editor, 9).boolProperty(wpProtected));
    EXPECT_TRUE(s.editor.Undo());
    EXPECT_EQ(Plain(s.editor), before);
}

TEST(WPReplaceDlg, RegularExpressionsReplaceWithTheirGroups)
{
    Search s;
    Load(s.editor, u"due 2024-01-31, paid 2024-02-15\\par"_qs);
    s.Set(u"(\\d+)-(\\d+)-(\\d+)"_qs, u"\\3.\\2.\\1 (\\0) \\\\"_qs, false, false, true);
    EXPECT_EQ(s.dlg.ReplaceAll(), 2);
    EXPECT_EQ(Plain(s.editor), "due 31.01.2024 (2024-01-31) \\, paid 15.02.2024 (2024-02-15) \\");
}

TEST(WPReplaceDlg, ReadOnlyEditorIsNotChanged)
{
    Search s;
    Load(s.editor, u"one one\\par"_qs);
    s.editor.SetReadOnly(true);
    QSignalSpy refused(&s.editor, &TWPRichText::EditRefused);
    s.Set(u"one"_qs, u"two"_qs);
    EXPECT_EQ(s.dlg.ReplaceAll(), 0);
    SelectText(s.editor, u"one"_qs);
    EXPECT_FALSE(s.dlg.Replace());
    EXPECT_EQ(Plain(s.editor), "one one");
    EXPECT_EQ(refused.count(), 2);
}
