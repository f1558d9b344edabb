#include <ZorCompCore/controls/QEPopupMenu.h>
#include <ZorCompCore/platform/ClassRegistry.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>

#include "TestUtil.h"

#include <QApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace zor;

namespace {

using Log = std::vector<QString>;

const char *actionName(TQEActionControlAction a)
{
    switch (a) {
    case acaBeforeDestroy: return "BeforeDestroy";
    case acaChanged: return "Changed";
    case acaSubMenusChanged: return "SubMenusChanged";
    }
    return "?";
}

// A registered entry that writes down what its action control tells it.
class Listener : public TInterfacedObject, public IQEActionControlMenu
{
public:
    Listener(QString AName, Log &ALog) : FName(std::move(AName)), FLog(ALog) {}
    ~Listener() override { FLog.push_back(FName + QStringLiteral(".destroyed")); }
    std::function<void(IQEMenuActionControl *, TQEActionControlAction)> OnAction;

    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IQEActionControlMenu>(this, iid, obj) || AnswerInterface<IQEMenu>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    int AddRef() override { return TInterfacedObject::AddRef(); }
    int Release() override { return TInterfacedObject::Release(); }

    void Do_ActionControlAction(IQEMenuActionControl *Control, TQEActionControlAction Action) override
    {
        FLog.push_back(FName + u'.' + QLatin1String(actionName(Action)));
        if (OnAction)
            OnAction(Control, Action);
    }
    IPtr<IQESubMenus> Get_SubMenus() override { return {}; }
    QString Get_Caption() override { return FName; }
    bool Get_DynamicSubMenus() override { return false; }
    bool Get_TranslateCaption() override { return false; }
    bool Get_IsShared() override { return false; }
    QIcon Get_IconHandle(int) override { return {}; }
    bool Get_VisibleOnRibbon() override { return true; }
    TQEMenuViewLevelSet Get_MenuViewLevel() override { return 0; }
    int Get_GlobalRessourceIconIndex() override { return -1; }
    bool Get_BeginGroup() override { return false; }
    bool Get_BeginGroupRibbon() override { return false; }
    TQEMenuType Get_MenuType() override { return qemtButton; }
    void Set_MenuControl(IQEMenuControl *) override {}
    void Do_Click(IQEMenuControl *) override {}
    void Do_InvalidateMenu() override {}

private:
    QString FName;
    Log &FLog;
};

// An entry that is an IQEMenu only: skipped by the notifications.
class PlainEntry : public Listener
{
public:
    using Listener::Listener;
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (iid == IQEActionControlMenu::IID) {
            *obj = nullptr;
            return E_NOINTERFACE;
        }
        return Listener::QueryInterface(iid, obj);
    }
};

// A mirroring control that writes down what it is told.
class Mirror : public TInterfacedObject, public IQEMenuControl
{
public:
    Mirror(QString AName, Log &ALog) : FName(std::move(AName)), FLog(ALog) {}
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IQEMenuControl>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    int AddRef() override { return TInterfacedObject::AddRef(); }
    int Release() override { return TInterfacedObject::Release(); }
    void Set_Caption(const QString &v) override { put(QStringLiteral("Caption=") + v); }
    void Set_Enabled(bool v) override { put(QStringLiteral("Enabled=%1").arg(v ? "true" : "false")); }
    void Set_Visible(bool v) override { put(QStringLiteral("Visible=%1").arg(v ? "true" : "false")); }
    void Set_Checked(bool v) override { put(QStringLiteral("Checked=%1").arg(v ? "true" : "false")); }
    void Set_HelpContext(int v) override { put(QStringLiteral("HelpContext=%1").arg(v)); }
    void Set_Hint(const QString &v) override { put(QStringLiteral("Hint=") + v); }
    void Set_GroupIndex(quint8 v) override { put(QStringLiteral("GroupIndex=%1").arg(v)); }
    void Set_ShortCut(quint16 v) override { put(QStringLiteral("ShortCut=%1").arg(v, 0, 16)); }
    void Set_RadioItem(bool v) override { put(QStringLiteral("RadioItem=%1").arg(v ? "true" : "false")); }
    void Do_Notification(TQEMenuControlNotification n) override
    {
        put(n == mmcDelete ? QStringLiteral("mmcDelete") : QStringLiteral("mmcReloadSubMenus"));
    }
    void Set_Icon(const QIcon &v) override { put(QStringLiteral("Icon=%1").arg(v.isNull() ? "none" : "set")); }

private:
    void put(const QString &s) { FLog.push_back(FName + u':' + s); }
    QString FName;
    Log &FLog;
};

} // namespace

// Faults: listeners told first to last; a non-listener entry not skipped;
// acaChanged only for real changes; a listener unregistering itself while
// being told causing a skip or a crash.
TEST(QEPopupMenu, ListenersHearLastFirstAndMayLeaveWhileTold)
{
    Log log;
    TComponentPtr<TQEPopupMenu> menu(new TQEPopupMenu);
    IPtr<Listener> a(new Listener(QStringLiteral("a"), log));
    IPtr<Listener> b(new Listener(QStringLiteral("b"), log));
    IPtr<Listener> c(new Listener(QStringLiteral("c"), log));
    IPtr<PlainEntry> plain(new PlainEntry(QStringLiteral("plain"), log));
    EXPECT_FALSE(menu->HasMenuActionControlAttached());
    menu->Do_RegisterMenu(a.get());
    menu->Do_RegisterMenu(plain.get());
    menu->Do_RegisterMenu(b.get());
    menu->Do_RegisterMenu(c.get());
    EXPECT_TRUE(menu->HasMenuActionControlAttached());

    menu->SetCaption(QString());   // unchanged: still told
    EXPECT_EQ(log, (Log{QStringLiteral("c.Changed"), QStringLiteral("b.Changed"), QStringLiteral("a.Changed")}));

    // c unregisters while told of the menu's end: b and a still hear it, and
    // c itself lives until the telling is over.
    log.clear();
    IQEMenu *cRaw = c.get();
    c->OnAction = [cRaw](IQEMenuActionControl *control, TQEActionControlAction) {
        control->Do_UnRegisterMenu(cRaw);
    };
    c.reset(); // the menu's list holds the last reference
    menu.reset();
    EXPECT_EQ(log, (Log{QStringLiteral("c.BeforeDestroy"), QStringLiteral("b.BeforeDestroy"),
                        QStringLiteral("a.BeforeDestroy"), QStringLiteral("c.destroyed")}));
}

// Faults: every invalidation reported; changes of the items not tracked;
// InvalidateMenu(true) not sending again; OnInvalidate not run.
TEST(QEPopupMenu, InvalidationsAreReportedOnceUnlessTheItemsChanged)
{
    Log log;
    TQEPopupMenu menu;
    IPtr<Listener> a(new Listener(QStringLiteral("a"), log));
    menu.Do_RegisterMenu(a.get());
    int rebuilt = 0;
    menu.OnInvalidate = [&](QObject *sender) {
        EXPECT_EQ(sender, &menu);
        ++rebuilt;
    };
    menu.InvalidateMenu(false);
    menu.Do_InvalidateMenu(nullptr);
    EXPECT_EQ(log, Log{QStringLiteral("a.SubMenusChanged")});
    EXPECT_EQ(rebuilt, 2);

    // A rebuild in OnInvalidate that changes the items is reported each time.
    bool rebuild = true;
    menu.OnInvalidate = [&](QObject *) {
        ++rebuilt;
        if (rebuild)
            menu.CreateItem(true)->SetCaption(QStringLiteral("New"));
    };
    menu.Do_Click(nullptr);
    menu.Do_Click(nullptr);
    EXPECT_EQ(log.size(), 3u);
    rebuild = false;
    menu.InvalidateMenu(false);
    EXPECT_EQ(log.size(), 3u);

    // Changes between invalidations are counted, but an invalidation starts
    // afresh: only what its rebuild changes is news.
    const int before = menu.LastChangedCounter();
    menu.CreateItem(true)->SetCaption(QStringLiteral("Outside"));
    EXPECT_GT(menu.LastChangedCounter(), before);
    menu.InvalidateMenu(false);
    EXPECT_EQ(log.size(), 3u);
    menu.InvalidateMenu(true);
    EXPECT_EQ(log.size(), 4u);
    EXPECT_EQ(rebuilt, 7);

    menu.Do_UnRegisterMenu(a.get());
    menu.InvalidateMenu(true);
    EXPECT_EQ(log.size(), 4u);
    EXPECT_FALSE(menu.HasMenuActionControlAttached());
}

// Faults: the nine values in another order; the old control not told
// mmcDelete first; radio siblings switched off without telling their
// controls; a destroyed item keeping its control.
TEST(QEMenuItem, BoundControlsMirrorTheItemInOrder)
{
    Log log;
    TQEPopupMenu menu;
    TQEMenuItem *item = menu.CreateItem(true);
    item->SetCaption(QStringLiteral("&Save"));
    item->SetShortCut(0x4053);
    item->SetHint(QStringLiteral("hint"));
    item->SetHelpContext(12);
    item->SetRadioItem(true);
    item->SetGroupIndex(1);
    IPtr<Mirror> a(new Mirror(QStringLiteral("A"), log));
    IPtr<Mirror> b(new Mirror(QStringLiteral("B"), log));
    item->Set_MenuControl(a.get());
    log.clear();
    item->Set_MenuControl(b.get());
    EXPECT_EQ(log, (Log{
                       QStringLiteral("A:mmcDelete"),
                       QStringLiteral("B:Caption=&Save"),
                       QStringLiteral("B:Enabled=true"),
                       QStringLiteral("B:Visible=true"),
                       QStringLiteral("B:HelpContext=12"),
                       QStringLiteral("B:Hint=hint"),
                       QStringLiteral("B:ShortCut=4053"),
                       QStringLiteral("B:GroupIndex=1"),
                       QStringLiteral("B:RadioItem=true"),
                       QStringLiteral("B:Checked=false"),
                       QStringLiteral("B:Icon=none"),
                   }));

    TQEMenuItem *sibling = menu.CreateItem(true);
    sibling->SetRadioItem(true);
    sibling->SetGroupIndex(1);
    item->SetChecked(true);
    log.clear();
    sibling->SetChecked(true); // switches item off, through its change hook
    EXPECT_FALSE(item->Checked());
    EXPECT_NE(std::find(log.begin(), log.end(), QStringLiteral("B:Checked=false")), log.end());

    log.clear();
    Free(item);
    EXPECT_EQ(log, Log{QStringLiteral("B:mmcDelete")});
}

// Faults: the tour told of a disabled item's click, or after the click, or
// with tours switched off; the wrong menu or function index reported.
TEST(QEMenuItem, ClicksReachTheTourFirst)
{
    Log log;
    GlobalProcFunctionNotificationProc = [&](ILiveTourAction *action, int index, TFunctionNotification n) {
        log.push_back(QStringLiteral("tour %1 %2 %3").arg(action->Get_Caption()).arg(index).arg(n == fnExecutet));
    };
    TQEPopupMenu menu;
    menu.SetCaption(QStringLiteral("Edit"));
    TQEMenuItem *item = menu.CreateItem(true);
    item->OnClick = [&](QObject *) { log.push_back(QStringLiteral("click")); };
    item->Click();
    item->SetEnabled(false);
    item->Click();
    item->SetEnabled(true);
    menu.SetLiveTourEnabled(false);
    item->Do_Click(nullptr);
    GlobalProcFunctionNotificationProc = nullptr;
    EXPECT_EQ(log, (Log{QStringLiteral("tour Edit 0 1"), QStringLiteral("click"), QStringLiteral("click")}));
}

namespace {
void whenOpen(std::function<void(QWidget *)> fn)
{
    QTimer::singleShot(0, [fn] {
        QWidget *popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        fn(popup);
    });
}
} // namespace

// Faults: the library's popup list not installed at load; a submenu taken for
// the root; the tour told without LiveTourEnabled; IsInPopUpMode or
// Get_IsFunctionAvaliable wrong inside or outside the open menu.
TEST(QEPopupMenu, TheTourSeesTheMenuOnlyWhileItsRootIsOpen)
{
    ASSERT_NE(dynamic_cast<TQEPopupList *>(PopupList()), nullptr);
    Log log;
    GlobalProcRegisterGlobalLiveTourAction = [&](ILiveTourAction *a) { log.push_back(QStringLiteral("+") + a->Get_Caption()); };
    GlobalProcUnRegisterGlobalLiveTourAction = [&](ILiveTourAction *a) { log.push_back(QStringLiteral("-") + a->Get_Caption()); };

    TQEPopupMenu menu, other;
    menu.SetCaption(QStringLiteral("M"));
    other.SetCaption(QStringLiteral("O"));
    TQEMenuItem *sub = menu.CreateItem(true);
    sub->SetCaption(QStringLiteral("Sub"));
    TQEMenuItem *leaf = menu.CreateItem(false);
    leaf->SetCaption(QStringLiteral("Leaf"));
    sub->Add(leaf);
    bool clicked = false;
    leaf->OnClick = [&](QObject *) { clicked = true; };

    bool checkedInside = false;
    whenOpen([&](QWidget *w) {
        EXPECT_EQ(log, Log{QStringLiteral("+M")});
        EXPECT_TRUE(menu.IsInPopUpMode());
        EXPECT_TRUE(menu.Get_IsFunctionAvaliable(0));
        EXPECT_FALSE(other.Get_IsFunctionAvaliable(0));
        QRect r;
        menu.Get_FunctionRect(0, r);
        EXPECT_EQ(r, QRect(30, 40, 10, 10));
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Right); // opens the submenu: not the root
        QTimer::singleShot(0, [&] {
            QWidget *subMenu = QApplication::activePopupWidget();
            EXPECT_NE(subMenu, w);
            EXPECT_EQ(log, Log{QStringLiteral("+M")});
            checkedInside = true;
            QTest::keyClick(subMenu, Qt::Key_Return);
        });
    });
    menu.Popup(30, 40);
    EXPECT_TRUE(checkedInside);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(log, (Log{QStringLiteral("+M"), QStringLiteral("-M")}));
    EXPECT_FALSE(menu.IsInPopUpMode());
    EXPECT_FALSE(menu.Get_IsFunctionAvaliable(0));

    log.clear();
    menu.SetLiveTourEnabled(false);
    whenOpen([](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    menu.Popup(1, 1);
    EXPECT_TRUE(log.empty());
    GlobalProcRegisterGlobalLiveTourAction = nullptr;
    GlobalProcUnRegisterGlobalLiveTourAction = nullptr;
}

// Faults: the tour action's fixed answers; identifiers parsed leniently;
// icons made without an image or index; a foreign root item handed out as
// an entry; negative time-stamp indexes; growth filling with 0.
TEST(QEPopupMenu, TourAnswersIconsSubMenusAndTimeStamps)
{
    TQEPopupMenu menu;
    EXPECT_EQ(menu.Get_FunctionIndexByIdent(QStringLiteral("abc")), -1);
    EXPECT_EQ(menu.Get_FunctionIndexByIdent(QStringLiteral("0")), 0);
    EXPECT_EQ(menu.Get_FunctionIdent(0), QStringLiteral("0"));
    QString text = QStringLiteral("x"), description = QStringLiteral("y");
    menu.Get_FunctionText(0, text, description);
    EXPECT_EQ(text, QStringLiteral("PopUpMenu"));
    EXPECT_TRUE(description.isEmpty());
    TBalloonHoriz h = blnLeft;
    TBalloonVert v = blnBottom;
    EXPECT_TRUE(menu.Get_PreferedBallonPos(0, h, v));
    EXPECT_EQ(h, blnMiddle);
    EXPECT_EQ(v, blnTop);
    EXPECT_EQ(menu.Get_MenuType(), qemtButtonGroup);

    EXPECT_TRUE(menu.Get_IconHandle().isNull());
    TImageList images;
    images.SetSize(8, 8);
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    images.Add(red);
    menu.SetImages(&images);
    EXPECT_TRUE(menu.Get_IconHandle().isNull()); // MenuImageIndex -1
    menu.SetMenuImageIndex(0);
    EXPECT_FALSE(menu.Get_IconHandle().isNull());
    EXPECT_EQ(menu.Get_GlobalRessourceIconIndex(), -1);
    menu.SetUseGlobalRessourceIcons(true);
    EXPECT_EQ(menu.Get_GlobalRessourceIconIndex(), 0);

    TQEMenuItem *entry = menu.CreateItem(true);
    entry->SetImageIndex(0);
    EXPECT_FALSE(entry->Get_IconHandle(16).isNull());
    EXPECT_EQ(entry->Get_GlobalRessourceIconIndex(), 0);
    EXPECT_EQ(entry->Get_MenuViewLevel(), 6);
    menu.Items()->Add(new TMenuItem(&menu));
    EXPECT_EQ(menu.Get_Count(), 2);
    EXPECT_EQ(menu.Get_Item(0).get(), static_cast<IQEMenu *>(entry));
    EXPECT_THROW(menu.Get_Item(1), EInvalidCast);

    EXPECT_EQ(menu.LastRefreshTimeStamps(3), MinDateTime);
    EXPECT_EQ(menu.LastRefreshTimeStampCount(), 4);
    menu.SetLastRefreshTimeStamps(0, 45000.5);
    EXPECT_EQ(menu.LastRefreshTimeStamp(), 45000.5);
    EXPECT_THROW(menu.LastRefreshTimeStamps(-1), EArgumentOutOfRangeException);
    EXPECT_EQ(menu.LastRefreshTimeStampCount(), 4);
}

// Faults: no identifier made at design time, or one made at run time, or
// one without braces; the item class not registered by name at load.
TEST(QEPopupMenu, DesignTimeLoadsGiveAnIdentifierAndTheItemClassIsRegistered)
{
    QObject form;
    auto *runtime = new TQEPopupMenu(&form);
    runtime->BeginLoad();
    runtime->EndLoad();
    EXPECT_TRUE(runtime->UniqueIdent().isEmpty());

    auto *designed = new TQEPopupMenu(&form);
    designed->SetDesigning(true);
    designed->BeginLoad();
    designed->EndLoad();
    static const QRegularExpression guid(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"));
    EXPECT_TRUE(guid.match(designed->UniqueIdent()).hasMatch()) << designed->UniqueIdent().toStdString();
    IPtr<IUniqueComponent> id = QueryObjectIntf<IUniqueComponent>(designed);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->Get_UniqueIdent(), designed->UniqueIdent());

    EXPECT_EQ(GetClass(QStringLiteral("TQEMenuItem")), &TQEMenuItem::staticMetaObject);
    designed->SetMenuItemClass(&TCustomQEIdentifierMenuItem::staticMetaObject);
    EXPECT_NE(qobject_cast<TCustomQEIdentifierMenuItem *>(designed->CreateItem(false)), nullptr);
    EXPECT_THROW(designed->SetMenuItemClass(&TMenuItem::staticMetaObject), EInvalidCast);
}

// Faults: Find comparing with hot keys, letter case or class ignored.
TEST(QEMenuItem, FindComparesCaptionsWithoutHotKeysOrCase)
{
    TQEPopupMenu menu;
    auto *plain = new TMenuItem(&menu);
    plain->SetCaption(QStringLiteral("&Datei"));
    menu.Items()->Add(plain);
    TQEMenuItem *qe = menu.CreateItem(true);
    qe->SetCaption(QStringLiteral("Dat&ei"));
    EXPECT_EQ(TQEMenuItem::Find(menu.Items(), QStringLiteral("DATEI"), nullptr), plain);
    EXPECT_EQ(TQEMenuItem::Find(menu.Items(), QStringLiteral("datei"), &TQEMenuItem::staticMetaObject), qe);
    EXPECT_EQ(TQEMenuItem::Find(menu.Items(), QStringLiteral("Bearbeiten"), nullptr), nullptr);

    TQEMenuItem copy;
    qe->SetVisibleOnRibbon(false);
    qe->SetMenuViewLevel(1);
    copy.Assign(qe);
    EXPECT_FALSE(copy.VisibleOnRibbon());
    EXPECT_EQ(copy.MenuViewLevel(), 1);
    EXPECT_EQ(copy.Caption(), QStringLiteral("Dat&ei"));
}

// Faults: the menu's QMenus dropped before its items go, and an item's
// OnDestroy that still changes the tree (a caption, a new child) reaching a
// QMenu already freed; an item going with the menu missing its OnDestroy.
TEST(QEPopupMenu, ItemsMayChangeTheTreeWhileTheMenuGoes)
{
    int destroyed = 0;
    {
        TQEPopupMenu menu;
        TQEMenuItem *file = menu.CreateItem(true);
        file->SetCaption(QStringLiteral("&File"));
        for (int i = 0; i < 3; ++i) {
            TQEMenuItem *leaf = menu.CreateItem(false);
            leaf->SetCaption(QStringLiteral("Leaf %1").arg(i));
            file->Add(leaf);
            leaf->OnDestroy = [&destroyed, file, leaf](QObject *) {
                ++destroyed;
                leaf->SetCaption(QStringLiteral("going"));
                if (file->Count() > 1)
                    file->SetCaption(QStringLiteral("File (%1)").arg(file->Count()));
            };
        }
        ASSERT_NE(file->Handle()->menu(), nullptr);
        EXPECT_EQ(file->Handle()->menu()->actions().size(), 3);
    }
    EXPECT_EQ(destroyed, 3);
}
