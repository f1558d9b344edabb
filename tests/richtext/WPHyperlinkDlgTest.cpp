#include "WPDialogTestUtil.h"

#include <ZorCompCore/richtext/dialogs/WPHyperlinkDlg.h>

#include <QLineEdit>

using namespace zor;
using namespace wpdialog_test;

namespace {

QString hrefAt(TWPRichText &editor, int position)
{
    const QTextCharFormat f = CharAt(editor, position);
    return f.isAnchor() ? f.anchorHref() : QString();
}

void fill(QDialog &form, const QString &text, const QString &url)
{
    Child<QLineEdit>(form, "edText")->setText(text);
    Child<QLineEdit>(form, "edURL")->setText(url);
}

} // namespace

TEST(WPHyperlinkDlg, TheSelectionBecomesALink)
{
    TWPRichText editor;
    Load(editor, u"Visit our site today\\par"_qs);
    const QByteArray before = Rtf(editor);
    SelectText(editor, u"our site"_qs);
    TWPHyperlinkDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QLineEdit>(form, "edText")->text(), "our site");
        EXPECT_FALSE(Child<QPushButton>(form, "btnRemove")->isEnabled()) << "no link yet";
        Child<QLineEdit>(form, "edURL")->setText(u"https://example.com/a b"_qs);
    }));
    EXPECT_EQ(Plain(editor), "Visit our site today");
    EXPECT_EQ(hrefAt(editor, 6), "https://example.com/a b");
    EXPECT_EQ(hrefAt(editor, 13), "https://example.com/a b");
    EXPECT_EQ(hrefAt(editor, 14), "");
    EXPECT_EQ(hrefAt(editor, 5), "");
    EXPECT_TRUE(CharAt(editor, 6).fontUnderline());
    EXPECT_TRUE(Rtf(editor).contains("HYPERLINK \"https://example.com/a b\"")) << Rtf(editor).constData();
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), before);
}

TEST(WPHyperlinkDlg, WithoutASelectionTheTextIsInserted)
{
    TWPRichText editor;
    Load(editor, u"See \\par"_qs);
    Select(editor, 4);
    TWPHyperlinkDlg dlg;
    dlg.SetEditBox(&editor);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { fill(form, u"the manual"_qs, u"http://x.org/manual"_qs); }));
    EXPECT_EQ(Plain(editor), "See the manual");
    EXPECT_EQ(hrefAt(editor, 4), "http://x.org/manual");
    EXPECT_EQ(hrefAt(editor, 13), "http://x.org/manual");
    EXPECT_EQ(editor.TextCursor().position(), 14) << "the caret goes after the link";

    Select(editor, 0);
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { fill(form, {}, u"mailto:a@b.c"_qs); }));
    EXPECT_TRUE(Plain(editor).startsWith("mailto:a@b.cSee")) << "no text: the address is shown";
}

TEST(WPHyperlinkDlg, EditsAndRemovesTheLinkAtTheCaret)
{
    TWPRichText editor;
    Load(editor, u"Go {\\field{\\*\\fldinst HYPERLINK \"http://old.example\"}{\\fldrslt {\\b old} link}} now\\par"_qs);
    ASSERT_EQ(Plain(editor), "Go old link now");
    TWPHyperlinkDlg dlg;
    dlg.SetEditBox(&editor);
    Select(editor, 8); // inside "link"
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_EQ(Child<QLineEdit>(form, "edText")->text(), "old link") << "the whole link, over its runs";
        EXPECT_EQ(Child<QLineEdit>(form, "edURL")->text(), "http://old.example");
        Child<QLineEdit>(form, "edURL")->setText(u"http://new.example"_qs);
    }));
    EXPECT_EQ(Plain(editor), "Go old link now") << "unchanged text keeps its runs";
    EXPECT_EQ(hrefAt(editor, 3), "http://new.example");
    EXPECT_EQ(CharAt(editor, 3).fontWeight(), QFont::Bold);

    Select(editor, 3); // at the link's start
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) { Child<QLineEdit>(form, "edText")->setText(u"new"_qs); }));
    EXPECT_EQ(Plain(editor), "Go new now");
    EXPECT_EQ(hrefAt(editor, 5), "http://new.example");

    const QByteArray linked = Rtf(editor);
    Select(editor, 6); // just after the link
    EXPECT_TRUE(Answer(dlg, [](QDialog &form) {
        EXPECT_TRUE(Child<QPushButton>(form, "btnRemove")->isEnabled());
        Child<QPushButton>(form, "btnRemove")->click();
    }));
    EXPECT_EQ(Plain(editor), "Go new now");
    for (int at = 0; at < 10; ++at)
        EXPECT_FALSE(CharAt(editor, at).isAnchor()) << at;
    EXPECT_FALSE(CharAt(editor, 4).fontUnderline()) << "the link's look goes with it";
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(Rtf(editor), linked);
}

TEST(WPHyperlinkDlg, NoAddressNoLink)
{
    TWPRichText editor;
    Load(editor, u"text\\par"_qs);
    editor.SelectAll();
    TWPHyperlinkDlg dlg;
    dlg.SetEditBox(&editor);
    dlg.OnShow = [](QDialog &form) {
        Child<QLineEdit>(form, "edURL")->setText(u"  "_qs);
        EXPECT_FALSE(Child<QDialogButtonBox>(form, "buttonBox")->button(QDialogButtonBox::Ok)->isEnabled());
        form.accept(); // as a press of Enter would
        EXPECT_EQ(form.result(), 0);
        ClickCancel(form);
    };
    EXPECT_FALSE(dlg.Execute());
    EXPECT_FALSE(CharAt(editor, 0).isAnchor());
}
