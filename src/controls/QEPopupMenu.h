// The popup menu of the global menu model (QEGlobalMenuDef.h) and of guided
// tours (LiveTour.h).
//
// TQEPopupMenu is a menu action control: entries (IQEMenu) register with it
// and hear, last registered first, when it is about to go (acaBeforeDestroy),
// when its caption, hint, Enabled or Visible were set (acaChanged, also for
// an unchanged value), and when its items were invalidated (acaSubMenusChanged:
// the first invalidation and every later one during which the items changed;
// InvalidateMenu(true) sends again). OnInvalidate is where an application
// rebuilds the items; it runs each time the menu opens.
//
// While the menu is open it is a tour action (its one function, index 0, is
// the menu at the point it opened); the popup list registers it with the
// tour host when its root QMenu is about to show and unregisters it when it
// hides. A click on an enabled TQEMenuItem is reported to the tour first.
//
// TQEMenuItem is an entry of the model that mirrors its state to one bound
// IQEMenuControl, in the order caption, enabled, visible, help context,
// hint, shortcut, group index, radio item, checked, then the icon.
#pragma once

#include <ZorCompCore/controls/Menus.h>
#include <ZorCompCore/controls/QEGlobalMenuDef.h>
#include <ZorCompCore/core/LiveTour.h>
#include <ZorCompCore/core/UniqueComponent.h>
#include <ZorCompCore/platform/DateTime.h>

#include <memory>

namespace zor {

class TQEMenuItem;

class ZOR_EXPORT TQEPopupMenu : public TPopupMenu,
                                public TComponentInterfaced,
                                public ILiveTourAction,
                                public IQEMenuActionControlIcon,
                                public IQESubMenus,
                                public IUniqueComponent
{
    Q_OBJECT
public:
    explicit TQEPopupMenu(QObject *AOwner = nullptr);
    ~TQEPopupMenu() override;

    // The class CreateItem makes: TQEMenuItem or a subclass with an
    // invokable owner constructor.
    const QMetaObject *MenuItemClass() const;
    void SetMenuItemClass(const QMetaObject *AValue);

    QString Caption() const;
    void SetCaption(const QString &AValue);
    QString Hint() const;
    void SetHint(const QString &AValue);
    bool Enabled() const;
    void SetEnabled(bool AValue);
    bool Visible() const;
    void SetVisible(bool AValue);
    int MenuImageIndex() const;
    void SetMenuImageIndex(int AValue);
    bool LiveTourEnabled() const;
    void SetLiveTourEnabled(bool AValue);
    bool UseGlobalRessourceIcons() const;
    void SetUseGlobalRessourceIcons(bool AValue);
    QString UniqueIdent() const;
    void SetUniqueIdent(const QString &AValue);
    // Changes of the item tree so far.
    int LastChangedCounter() const;
    void SetLastChangedCounter(int AValue);
    TQEMenuItem *DynamicRootInstance() const;
    void SetDynamicRootInstance(TQEMenuItem *AValue);

    // Grows the list to Index + 1 entries (new ones 0001-01-01) first;
    // a negative index raises EArgumentOutOfRangeException.
    TDateTime LastRefreshTimeStamps(int Index);
    void SetLastRefreshTimeStamps(int Index, TDateTime AValue);
    TDateTime LastRefreshTimeStamp() { return LastRefreshTimeStamps(0); }
    int LastRefreshTimeStampCount() const;

    TMenuNotify OnInvalidate;

    void Popup(int X, int Y) override;
    // Clears the changed mark and runs OnInvalidate.
    virtual void InvalidateSubMenus();
    // An item of MenuItemClass owned by the menu, added to the root items if asked.
    virtual TQEMenuItem *CreateItem(bool AddToRoot);
    void InvalidateMenu(bool AForce);
    bool IsInPopUpMode() const;
    bool HasMenuActionControlAttached() const;
    IPtr<IUniqueComponent> GetUniqueComponent() const;
    // The point the menu last opened at, as the tour sees it.
    QPoint LastPopupPoint() const;

    // The popup list's offers: true when AHandle is this menu's root QMenu.
    bool AcceptInitMenuPopup(QMenu *AHandle);
    bool AcceptUninitMenuPopup(QMenu *AHandle);

    void Loaded() override;
    void BeforeDestruction() override;

    // --- IInterface
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override { return -1; }
    int Release() override { return -1; }

    // --- ILiveTourAction
    QString Get_Identifier() override;
    QString Get_Caption() override;
    int Get_FunctionCount() override;
    void Get_FunctionRect(int Index, QRect &Rect) override;
    void Get_FunctionText(int Index, QString &AText, QString &ADescription) override;
    QString Get_FunctionIdent(int Index) override;
    int Get_FunctionIndexByIdent(const QString &Ident) override;
    bool Get_IsFunctionAllreadySettled(int Index) override;
    bool Get_IsFunctionAvaliable(int Index) override;
    void Set_ChangeNotificationEnabled(int Index, bool Value) override;
    bool Get_PreferedBallonPos(int Index, TBalloonHoriz &Horiz, TBalloonVert &Vert) override;
    bool Get_IntermediateStep(int Index, QString &A, QString &B) override;

    // --- IQEMenuCustomControl, IQEMenuActionControl, IQEMenuActionControlIcon
    void Do_ParentVisibleChanged(bool Visible) override;
    void Do_RegisterMenu(IQEMenu *Menu) override;
    void Do_UnRegisterMenu(IQEMenu *Menu) override;
    void Do_Click(IQEMenu *Menu) override;
    void Do_InvalidateMenu(IQEMenu *Menu) override;
    bool Get_Enabled() override;
    bool Get_Visible() override;
    int Get_HelpContext() override;
    QString Get_Hint() override;
    IPtr<IQESubMenus> Get_SubMenus() override;
    TQEMenuType Get_MenuType() override;
    QIcon Get_IconHandle() override;
    int Get_GlobalRessourceIconIndex() override;

    // --- IQESubMenus: the root items
    int Get_Count() override;
    IPtr<IQEMenu> Get_Item(int Index) override;

    // --- IUniqueComponent, through the helper
    QString Get_UniqueIdent() override;
    QString Get_UniqueIdentPath() override;
    bool Get_IsRoot() override;

    // Marks the item tree changed (what the menu-changed hook does).
    void ItemTreeChanged();

protected:
    void MenuChanged(QObject *Sender, TMenuItem *Source, bool ARebuild) override;

private:
    void SendActionControlAction(TQEActionControlAction Action);
    void NotifierCheck();
    struct Private;
    std::unique_ptr<Private> const d;
};

class ZOR_EXPORT TQEMenuItem : public TMenuItem,
                               public TComponentInterfaced,
                               public IQEMenu,
                               public IQESubMenus
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TQEMenuItem(QObject *AOwner = nullptr);
    ~TQEMenuItem() override;

    bool VisibleOnRibbon() const;
    void SetVisibleOnRibbon(bool AValue);
    // Default: small icon with text and small icon (byte 6).
    TQEMenuViewLevelSet MenuViewLevel() const;
    void SetMenuViewLevel(TQEMenuViewLevelSet AValue);
    bool BeginGroupRibbon() const;
    void SetBeginGroupRibbon(bool AValue);
    TQEMenuType MenuType() const;
    void SetMenuType(TQEMenuType AValue);
    TMenuNotify OnDestroy;

    // Stores through the menu, then marks the menu changed and updates the control.
    void SetChecked(bool AValue) override;
    // The popup menu of the item when it is a TQEPopupMenu.
    TQEPopupMenu *QEPopUp() const;
    bool HasVisibleSubItems() const;
    // The first child of ARoot of that class (null: any) whose caption
    // equals ACaption, hot-key markers left out, letter case ignored.
    static TMenuItem *Find(TMenuItem *ARoot, const QString &ACaption, const QMetaObject *AMenuItemClass);

    void Click() override;
    void Assign(QObject *ASource) override;
    void BeforeDestruction() override;

    // --- IInterface
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override { return -1; }
    int Release() override { return -1; }

    // --- IQEMenu
    IPtr<IQESubMenus> Get_SubMenus() override;
    QString Get_Caption() override;
    bool Get_DynamicSubMenus() override;
    bool Get_TranslateCaption() override;
    bool Get_IsShared() override;
    QIcon Get_IconHandle(int Size) override;
    bool Get_VisibleOnRibbon() override;
    TQEMenuViewLevelSet Get_MenuViewLevel() override;
    int Get_GlobalRessourceIconIndex() override;
    bool Get_BeginGroup() override;
    bool Get_BeginGroupRibbon() override;
    TQEMenuType Get_MenuType() override;
    void Set_MenuControl(IQEMenuControl *Control) override;
    void Do_Click(IQEMenuControl *Control) override;
    void Do_InvalidateMenu() override;

    // --- IQESubMenus: the children
    int Get_Count() override;
    IPtr<IQEMenu> Get_Item(int Index) override;

protected:
    void MenuChanged(bool ARebuild) override;

private:
    void UpdateMenuControl();
    struct Private;
    std::unique_ptr<Private> const d;
};

// An item with an identifier of its own, copied by Assign.
class ZOR_EXPORT TCustomQEIdentifierMenuItem : public TQEMenuItem
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TCustomQEIdentifierMenuItem(QObject *AOwner = nullptr);
    QString Identifier() const { return FIdentifier; }
    void SetIdentifier(const QString &AValue) { FIdentifier = AValue; }
    void Assign(QObject *ASource) override;

private:
    QString FIdentifier;
};

// An item standing for a group; subclasses name the group.
class ZOR_EXPORT TQECustomGroupMenuItem : public TQEMenuItem
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TQECustomGroupMenuItem(QObject *AOwner = nullptr);
    virtual QString GroupIdentifier() { return QString(); }
};

// The popup list of this library: it offers each open menu's open and close
// to the TQEPopupMenus on the list, in list order, until one accepts.
class ZOR_EXPORT TQEPopupList : public TPopupList
{
public:
    void WndProc(int AMsg, QMenu *AHandle) override;
};

namespace detail {
// The module's load and unload work: installs TQEPopupList and registers
// TQEMenuItem by name; undoes both.
ZOR_EXPORT void QEPopupMenuStartup();
ZOR_EXPORT void QEPopupMenuShutdown();
} // namespace detail

} // namespace zor
