// Which editor the shared actions work on: registration, focus, the link
// collection's messages, the owner interface and the missing-callback error.

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/richtext/WPRichText.h>
#include <ZorCompCore/richtext/actions/ActionList.h>
#include <ZorCompCore/richtext/actions/WPDefaultActions.h>
#include <ZorCompCore/richtext/actions/dmQEWPActions.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace zor;

namespace {

// A window with two editors and a line edit to take the focus away.
struct TwoEditors
{
    QWidget form;
    TWPRichText *a = new TWPRichText;
    TWPRichText *b = new TWPRichText;
    QLineEdit *other = new QLineEdit;
    TwoEditors()
    {
        auto *layout = new QVBoxLayout(&form);
        layout->addWidget(a);
        layout->addWidget(b);
        layout->addWidget(other);
        form.show();
        form.activateWindow();
        QApplication::processEvents();
    }
    void focus(QWidget *w)
    {
        w->setFocus();
        QApplication::processEvents();
    }
};

TWPRichText *current(TWPDefaultActions &actions)
{
    TWPRichText *e = nullptr;
    actions.GetToolsEditor(nullptr, e);
    return e;
}

// A frame-like owner that answers IQERichTextOwner.
class Owner : public QWidget, public TComponentInterfaced, public IQERichTextOwner
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IQERichTextOwner>(this, iid, obj))
            return S_OK;
        return TComponentInterfaced::QueryInterface(iid, obj);
    }
    int AddRef() override { return -1; }
    int Release() override { return -1; }
    void SaveToString(QObject *, TWPRichText *RichText) override { savedFrom = RichText; }
    void ExportTo(QObject *, TWPRichText *RichText) override { exportedFrom = RichText; }
    QObject *GetSuperMerge() override { return merge; }
    TWPRichText *savedFrom = nullptr;
    TWPRichText *exportedFrom = nullptr;
    QObject *merge = nullptr;
};

} // namespace

// Catches: the single editor needing the focus to be current; the focused
// editor losing to the last current one; an unregistered editor staying
// current; focus of an unlinked editor counting.
TEST(WPDefaultActions, CurrentEditorRules)
{
    TWPDefaultActions actions;
    actions.Loaded();
    TwoEditors w;
    EXPECT_EQ(current(actions), nullptr);

    actions.RegisterEditBox(w.a);
    w.focus(w.other);
    EXPECT_EQ(current(actions), w.a) << "one editor is current without the focus";

    actions.RegisterEditBox(w.b);
    w.focus(w.b);
    EXPECT_EQ(current(actions), w.b) << "the focused one wins";
    w.focus(w.a);
    EXPECT_EQ(current(actions), w.a);
    w.focus(w.other);
    EXPECT_EQ(current(actions), w.a) << "without focus, the last current one";

    actions.UnRegisterEditBox(w.a);
    EXPECT_EQ(current(actions), w.b) << "the one left is current";
    actions.RegisterEditBox(w.a);
    EXPECT_EQ(current(actions), w.b) << "and stays the last current one";
}

// Catches: focus messages not reaching the handler, or with the wrong
// number; a destroyed editor left in the links, even while it is dying.
TEST(WPDefaultActions, LinkCollectionReportsFocus)
{
    TwoEditors w;
    QList<std::pair<QWidget *, int>> messages;
    TWPEditBoxLinkCollection links(nullptr, [&](QObject *, QWidget *editor, int msg) {
        messages.append({editor, msg});
    });
    EXPECT_TRUE(links.Add(w.a));
    EXPECT_FALSE(links.Add(w.a));
    w.focus(w.b); // not linked: no message of its own
    for (const auto &[editor, msg] : messages)
        EXPECT_NE(editor, w.b);
    w.focus(w.a);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.last().first, w.a);
    EXPECT_EQ(messages.last().second, 6); // wpAfterGetFocus

    TWPEditBoxLinkCollection copy;
    copy.Assign(links);
    EXPECT_EQ(copy.Editors(), QList<TWPRichText *>{w.a});
    delete w.a;
    w.a = nullptr;
    EXPECT_EQ(links.Count(), 0);
    EXPECT_EQ(copy.Count(), 0);

    // Handlers of the editor's destroyed signal run while it is half gone:
    // it must no longer be offered (the actions would update on it).
    auto *dying = new TWPRichText;
    links.Add(dying);
    bool linkedWhileDying = true;
    QObject::connect(dying, &QObject::destroyed, [&](QObject *gone) {
        // Half gone: no editor to cast to any more, only its address.
        linkedWhileDying = links.Contains(reinterpret_cast<TWPRichText *>(gone));
    });
    delete dying;
    EXPECT_FALSE(linkedWhileDying);
}

// Catches: handlers running without a callback instead of raising the
// fixed message; MDIActionsUpdate disabling XA_New/XA_Load or leaving
// Handled unset.
TEST(WPDefaultActions, MissingCallbackAndMdiUpdate)
{
    TdmQEWPActions module;
    try {
        module.GetTheWPRichText();
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Please assign event TWPDefAct.OnGetWPRichText"));
    }
    EXPECT_THROW(module.XA_ViewExecute(module.Action(QStringLiteral("XA_View100"))), Exception);

    TWPRichText editor;
    TWPRichText *answer = nullptr;
    module.OnGetWPRichText = [&](QObject *, TWPRichText *&e) { e = answer; };
    QAction *save = module.Action(QStringLiteral("XA_Save"));
    QAction *load = module.Action(QStringLiteral("XA_Load"));
    load->setEnabled(true);
    bool handled = false;
    module.MDIActionsUpdate(load, handled);
    EXPECT_TRUE(load->isEnabled());
    EXPECT_FALSE(handled);
    module.MDIActionsUpdate(save, handled);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(handled);
    answer = &editor;
    handled = false;
    module.MDIActionsUpdate(save, handled);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_FALSE(handled);
}

// Catches: the owner looked for only in the direct parent; save-to-string
// and export not reaching it; SuperMerge not the owner's.
TEST(WPDefaultActions, OwnerInterface)
{
    Owner owner;
    auto *inner = new QWidget(&owner);
    auto *editor = new TWPRichText(inner);
    QObject merge;
    owner.merge = &merge;
    TdmQEWPActions module;
    module.OnGetWPRichText = [&](QObject *, TWPRichText *&e) { e = editor; };
    module.UpdateActions();
    EXPECT_TRUE(module.Action(QStringLiteral("XA_SaveToString"))->isEnabled());
    module.Action(QStringLiteral("XA_SaveToString"))->trigger();
    EXPECT_EQ(owner.savedFrom, editor);
    module.Action(QStringLiteral("XA_ExportFile"))->trigger();
    EXPECT_EQ(owner.exportedFrom, editor);
    EXPECT_EQ(module.GetSuperMerge(), &merge);

    TWPRichText alone;
    module.OnGetWPRichText = [&](QObject *, TWPRichText *&e) { e = &alone; };
    module.UpdateActions();
    EXPECT_FALSE(module.Action(QStringLiteral("XA_SaveToString"))->isEnabled());
    EXPECT_EQ(module.GetSuperMerge(), nullptr);
}

// Catches: the global instance created twice, not Loaded (no callback), or
// registration not linking and attaching the actions' shortcuts.
TEST(WPDefaultActions, GlobalRegistration)
{
    TWPDefaultActions *global = GlobalWPDefaultActions();
    ASSERT_EQ(GlobalWPDefaultActions(), global);
    ASSERT_TRUE(global->Actions()->OnGetWPRichText);
    TWPRichText editor;
    GlobalRegisterEditBox(&editor);
    EXPECT_TRUE(global->Links()->Contains(&editor));
    EXPECT_EQ(global->Actions()->GetTheWPRichText(), &editor);
    EXPECT_TRUE(editor.actions().contains(global->Actions()->Action(QStringLiteral("WPABold1"))));
    GlobalUnRegisterEditBox(&editor);
    EXPECT_FALSE(global->Links()->Contains(&editor));
    EXPECT_EQ(global->Actions()->GetTheWPRichText(), nullptr);

    GlobalRegisterEditBox(&editor);
    FreeGlobalWPDefaultActions();
    GlobalUnRegisterEditBox(&editor); // nothing left to unregister from
    FreeGlobalWPDefaultActions();
    EXPECT_TRUE(editor.actions().isEmpty()) << "the actions went with the instance";
    EXPECT_TRUE(GlobalWPDefaultActions()->Links()->Editors().isEmpty());
}
