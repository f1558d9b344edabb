// Wrappers of the environment's dialog callback: they chain and restore,
// and the border dialog of a web page offers single lines only, also when
// the Border action opens it.
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/actions/WPDialogWrappers.h>
#include <ZorCompCore/richtext/actions/WPEngineActions.h>
#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/richtext/actions/dmQEWPActions.h>
#include <ZorCompCore/richtext/dialogs/WPParagraphBorderDlg.h>
#include <ZorCompCore/richtext/engine/RtfEdit.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QAbstractButton>
#include <QLabel>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// A wrapper that counts its calls.
class Counting : public TWPToolsEnviromentDialogEventWrapper
{
public:
    Counting(TWPToolsEnviroment &env, int &calls) : TWPToolsEnviromentDialogEventWrapper(env), m_calls(calls) {}

protected:
    void DoWPToolsEnviromentDialog(QObject *dialog, QObject *form) override
    {
        TWPToolsEnviromentDialogEventWrapper::DoWPToolsEnviromentDialog(dialog, form);
        ++m_calls;
    }

private:
    int &m_calls;
};

} // namespace

// Catches: a wrapper not calling the callback it replaced, or not putting
// it back (so a later dialog runs a dead wrapper's code).
TEST(WPDialogWrappers, ChainAndRestore)
{
    TWPToolsEnviroment env;
    int first = 0, outer = 0, inner = 0;
    env.OnDialog = [&first](QObject *, QObject *) { ++first; };
    {
        Counting a(env, outer);
        {
            Counting b(env, inner);
            env.OnDialog(nullptr, nullptr);
            EXPECT_EQ(first, 1);
            EXPECT_EQ(outer, 1);
            EXPECT_EQ(inner, 1);
        }
        env.OnDialog(nullptr, nullptr);
        EXPECT_EQ(inner, 1) << "the inner wrapper is gone";
        EXPECT_EQ(outer, 2);
    }
    env.OnDialog(nullptr, nullptr);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(outer, 2);
}

// Catches: the line styles narrowed for an editor that wants tabs, kept
// for one that does not, or the Border action not wrapping its dialog.
TEST(WPDialogWrappers, WebPagesGetSingleLines)
{
    TWPRichText editor;
    TWPParagraphBorderDlg dlg;
    dlg.SetEditBox(&editor);
    QStringList offered;
    dlg.OnShow = [&offered](QDialog &form) {
        offered = TWPParagraphBorderDlg::LineStyles(form);
        form.reject();
    };
    {
        TWPToolsBeforExeuteWPParagraphBord2Dialog wrapper(TWPToolsEnviroment::Global());
        editor.SetWantTabs(true);
        dlg.Execute();
        EXPECT_EQ(offered, TWPParagraphBorderDlg::DefaultLineStyles());
        editor.SetWantTabs(false);
        dlg.Execute();
        EXPECT_EQ(offered, QStringList{QStringLiteral("0=SINGLE")});
    }
    dlg.Execute();
    EXPECT_EQ(offered, TWPParagraphBorderDlg::DefaultLineStyles()) << "without the wrapper";

    GlobalRegisterEditBox(&editor);
    TdmQEWPActions *module = GlobalWPDefaultActions()->Actions();
    auto *border = qobject_cast<TWPFormDialog *>(module->Dialog(QStringLiteral("TWPParagraphBorderDlg")));
    ASSERT_NE(border, nullptr);
    border->OnShow = dlg.OnShow;
    offered.clear();
    module->UpdateActions();
    module->Action(QStringLiteral("XA_FrmBorder"))->trigger();
    EXPECT_EQ(offered, QStringList{QStringLiteral("0=SINGLE")});
    border->OnShow = nullptr;
    GlobalUnRegisterEditBox(&editor);
}

// Catches: the module's dialogs showing their design texts whatever the
// language, a form's title or its children left out, a language switch not
// reaching a form shown before.
TEST(WPDialogWrappers, DialogsSpeakTheLoadedLanguage)
{
    TdmQEWPActions module;
    TWPRichText editor;
    const auto findForm = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"WPFindDlg" && w->isVisible())
                return w;
        return static_cast<QWidget *>(nullptr);
    };
    const auto text = [](QWidget *form, const char *name) {
        return form->findChild<QLabel *>(QString::fromLatin1(name))->text();
    };
    TWPCustomDialog *find = module.Dialog(QStringLiteral("TWPFindDlg"));
    ASSERT_NE(find, nullptr);
    find->SetEditBox(&editor);

    module.LoadLanguage(QStringLiteral("German"));
    find->Execute();
    QWidget *form = findForm();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Suchen"));
    EXPECT_EQ(text(form, "lblFind"), QStringLiteral("&Suchen nach:"));

    module.LoadLanguage(QStringLiteral("Italian"));
    find->Execute();
    form = findForm();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(text(form, "lblFind"), QStringLiteral("&Trova:"));
    EXPECT_EQ(form->findChild<QAbstractButton *>(QStringLiteral("chkCase"))->text(), QStringLiteral("&Maiuscole/minuscole"));
    form->close();
}

// Catches: twips and points mixed up, landscape pages stored turned the
// wrong way, margins swapped between sides.
TEST(WPDialogWrappers, PrinterSetupPageLayoutBothWays)
{
    TWPPageSetup a4;
    a4.PageWidth = 11906;
    a4.PageHeight = 16838;
    a4.MarginLeft = 1882;
    a4.MarginRight = 1440;
    a4.MarginTop = 720;
    a4.MarginBottom = 1000;
    const QPageLayout layout = WPPageLayout(a4);
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(layout.orientation(), QPageLayout::Portrait);
    EXPECT_NEAR(layout.margins(QPageLayout::Millimeter).left(), 1882 / 1440.0 * 25.4, 0.1);
    TWPPageSetup back = a4;
    WPApplyPageLayout(layout, back);
    EXPECT_EQ(back, a4) << "an unchanged page keeps its exact twips";
    WPApplyPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(36, 36, 36, 36)), back);
    EXPECT_EQ(back.PageWidth, 12240);
    EXPECT_EQ(back.PageHeight, 15840);
    EXPECT_EQ(back.MarginLeft, 720);
    back = a4;

    TWPPageSetup wide = a4;
    wide.Landscape = true;
    std::swap(wide.PageWidth, wide.PageHeight);
    const QPageLayout turned = WPPageLayout(wide);
    EXPECT_EQ(turned.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(turned.pageSize().id(), QPageSize::A4);
    WPApplyPageLayout(turned, back);
    EXPECT_EQ(back.PageWidth, 16838) << "turned, and still exact";
    EXPECT_EQ(back.PageHeight, 11906);
    EXPECT_TRUE(back.Landscape);
}
