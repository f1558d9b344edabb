// The spelling dialogs driven as a user answers them: words changed,
// changed everywhere and ignored, the end of the run announced, protected
// words left alone; the options reaching the checker.
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/dialogs/WPSpellDialogs.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>
#include <ZorCompCore/richtext/spell/SpellController.h>
#include <ZorCompCore/utilities/QEDialogs.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// Plays answers to the running form, one per shown word, once its loop runs.
struct Script
{
    std::deque<std::function<void(QDialog &)>> steps;
    QStringList words;
    void attach(TWPFormDialog &dlg)
    {
        dlg.OnShow = [this](QDialog &form) { QTimer::singleShot(0, &form, [this, &form] { next(form); }); };
    }
    void next(QDialog &form)
    {
        words << form.findChild<QLabel *>(QStringLiteral("lblWord"))->text();
        if (steps.empty()) {
            form.reject();
            return;
        }
        auto step = steps.front();
        steps.pop_front();
        step(form);
        if (form.isVisible())
            QTimer::singleShot(0, &form, [this, &form] { next(form); });
    }
};

void click(QDialog &form, const char *button)
{
    form.findChild<QPushButton *>(QString::fromLatin1(button))->click();
}

} // namespace

// Catches: Change taking the typed text's place wrongly, Change All missing
// a later occurrence, Ignore changing the word, the run not going on after
// an answer, the end not announced, protected words changeable.
TEST(WPSpellDialogs, CheckingAsAUserAnswers)
{
    TWPSpellController controller;
    controller.SetCurrentLanguage(wpLangEnglishUS);
    if (!controller.LanguageAvailable(wpLangEnglishUS))
        GTEST_SKIP() << "no US English dictionary";
    TWPRichText editor;
    editor.Edit().LoadFromBytes("{\\rtf1\\ansi Thiss tesst of speling, a tesst. {\\protect Lockd} end\\par}",
                                QStringLiteral("RTF"));
    QStringList messages;
    GlobalMessageDialogHandler = [&messages](const QString &m, TMsgDlgType, TMsgDlgButtons, int) {
        messages << m;
        return mrOk;
    };
    TWPSpellCheckDlg dlg;
    EXPECT_FALSE(dlg.Execute()) << "no editor, no checker";
    dlg.SetEditBox(&editor);
    dlg.SetController(&controller);
    Script script;
    script.attach(dlg);
    bool lockedChangeable = true;
    script.steps = {
        [](QDialog &f) {
            f.findChild<QLineEdit *>(QStringLiteral("edChangeTo"))->setText(QStringLiteral("This"));
            click(f, "btnChange");
        },
        [](QDialog &f) {
            f.findChild<QLineEdit *>(QStringLiteral("edChangeTo"))->setText(QStringLiteral("test"));
            click(f, "btnChangeAll");
        },
        [](QDialog &f) { click(f, "btnIgnore"); },
        [&lockedChangeable](QDialog &f) {
            lockedChangeable = f.findChild<QPushButton *>(QStringLiteral("btnChange"))->isEnabled();
            click(f, "btnIgnore");
        },
    };
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(script.words, (QStringList{QStringLiteral("Thiss"), QStringLiteral("tesst"), QStringLiteral("speling"),
                                         QStringLiteral("Lockd")}));
    EXPECT_EQ(editor.PlainText().trimmed(), QStringLiteral("This test of speling, a test. Lockd end"));
    EXPECT_FALSE(lockedChangeable) << "a protected word cannot be changed";
    EXPECT_EQ(messages, QStringList{TWPSpellCheckDlg::CompleteText()});
    EXPECT_TRUE(editor.Undo());
    EXPECT_EQ(editor.PlainText().trimmed(), QStringLiteral("This tesst of speling, a tesst. Lockd end"))
        << "Change All is one undo step";

    // Closing ends the run quietly; a text without errors says so at once.
    messages.clear();
    editor.Clear();
    editor.InputString(QStringLiteral("All words are right."));
    QTextCursor start = editor.TextCursor();
    start.setPosition(0);
    editor.SetTextCursor(start);
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(messages, QStringList{TWPSpellCheckDlg::CompleteText()});
    GlobalMessageDialogHandler = nullptr;
}

// Catches: the options not reaching the checker, Cancel applying them,
// languages offered that have no dictionary.
TEST(WPSpellDialogs, OptionsReachTheChecker)
{
    TWPSpellController controller;
    controller.SetCurrentLanguage(wpLangEnglishUS);
    TWPSpellOptionsDlg dlg;
    dlg.SetController(&controller);
    int offered = 0;
    dlg.OnShow = [&](QDialog &f) {
        auto *languages = f.findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
        offered = languages->count();
        languages->setCurrentIndex(languages->findData(wpLangEnglishUK));
        f.findChild<QCheckBox *>(QStringLiteral("chkUpperCase"))->setChecked(false);
        f.reject();
    };
    EXPECT_FALSE(dlg.Execute());
    EXPECT_TRUE(controller.Options().IgnoreUpperCase) << "cancelled";
    int available = 0;
    for (int lcid : {wpLangGerman, wpLangEnglishUS, wpLangEnglishUK, wpLangFrench, wpLangItalian})
        available += controller.LanguageAvailable(lcid);
    EXPECT_EQ(offered, available);

    dlg.OnShow = [&](QDialog &f) {
        auto *languages = f.findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
        languages->setCurrentIndex(languages->findData(wpLangEnglishUK));
        f.findChild<QCheckBox *>(QStringLiteral("chkUpperCase"))->setChecked(false);
        f.accept();
    };
    EXPECT_TRUE(dlg.Execute());
    EXPECT_FALSE(controller.Options().IgnoreUpperCase);
    if (controller.LanguageAvailable(wpLangEnglishUK)) {
        EXPECT_EQ(controller.CurrentLanguage(), wpLangEnglishUK);
    }
}
