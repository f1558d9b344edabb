#include "QEPopupMenu.h"

#include <ZorCompCore/core/InterfaceData.h>
#include <ZorCompCore/platform/ClassRegistry.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>

#include <QMenu>
#include <QPixmap>
#include <QLocale>
#include <QUuid>

#include <utility>

#include <vector>

namespace zor {

// --- TQEPopupMenu ------------------------------------------------------------

struct TQEPopupMenu::Private
{
    const QMetaObject *MenuItemClass = &TQEMenuItem::staticMetaObject;
    std::unique_ptr<std::vector<IPtr<IQEMenu>>> QEMenuList; // made on first registration
    QString Caption;
    QString Hint;
    bool Visible = true;
    bool Enabled = true;
    bool InvalidateChanged = false;
    int LastChangedCounter = 0;
    int MenuImageIndex = -1;
    bool InvalidatedNotifed = false;
    TUniqueComponentHelper *UniqueComponentHelper = nullptr;
    bool LiveTourEnabled = true;
    bool UseGlobalRessourceIcons = false;
    int InPopUpModeCount = 0;
    QPointer<TQEMenuItem> DynamicRootInstance;
    std::vector<TDateTime> LastRefreshTimeStamps;
    QPoint PopupPoint;
};

TQEPopupMenu::TQEPopupMenu(QObject *AOwner)
    : TPopupMenu(AOwner), d(std::make_unique<Private>())
{
    d->UniqueComponentHelper = new TUniqueComponentHelper(this);
}

TQEPopupMenu::~TQEPopupMenu() = default;

const QMetaObject *TQEPopupMenu::MenuItemClass() const { return d->MenuItemClass; }

void TQEPopupMenu::SetMenuItemClass(const QMetaObject *AValue)
{
    if (!AValue || !AValue->inherits(&TQEMenuItem::staticMetaObject))
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    d->MenuItemClass = AValue;
}

QString TQEPopupMenu::Caption() const { return d->Caption; }
void TQEPopupMenu::SetCaption(const QString &AValue)
{
    d->Caption = AValue;
    SendActionControlAction(acaChanged);
}
QString TQEPopupMenu::Hint() const { return d->Hint; }
void TQEPopupMenu::SetHint(const QString &AValue)
{
    d->Hint = AValue;
    SendActionControlAction(acaChanged);
}
bool TQEPopupMenu::Enabled() const { return d->Enabled; }
void TQEPopupMenu::SetEnabled(bool AValue)
{
    d->Enabled = AValue;
    SendActionControlAction(acaChanged);
}
bool TQEPopupMenu::Visible() const { return d->Visible; }
void TQEPopupMenu::SetVisible(bool AValue)
{
    d->Visible = AValue;
    SendActionControlAction(acaChanged);
}
int TQEPopupMenu::MenuImageIndex() const { return d->MenuImageIndex; }
void TQEPopupMenu::SetMenuImageIndex(int AValue) { d->MenuImageIndex = AValue; }
bool TQEPopupMenu::LiveTourEnabled() const { return d->LiveTourEnabled; }
void TQEPopupMenu::SetLiveTourEnabled(bool AValue) { d->LiveTourEnabled = AValue; }
bool TQEPopupMenu::UseGlobalRessourceIcons() const { return d->UseGlobalRessourceIcons; }
void TQEPopupMenu::SetUseGlobalRessourceIcons(bool AValue) { d->UseGlobalRessourceIcons = AValue; }
QString TQEPopupMenu::UniqueIdent() const { return d->UniqueComponentHelper->UniqueIdent(); }
void TQEPopupMenu::SetUniqueIdent(const QString &AValue) { d->UniqueComponentHelper->SetUniqueIdent(AValue); }
int TQEPopupMenu::LastChangedCounter() const { return d->LastChangedCounter; }
void TQEPopupMenu::SetLastChangedCounter(int AValue) { d->LastChangedCounter = AValue; }
TQEMenuItem *TQEPopupMenu::DynamicRootInstance() const { return d->DynamicRootInstance; }
void TQEPopupMenu::SetDynamicRootInstance(TQEMenuItem *AValue) { d->DynamicRootInstance = AValue; }

TDateTime TQEPopupMenu::LastRefreshTimeStamps(int Index)
{
    if (Index < 0)
        throw EArgumentOutOfRangeException(
            QStringLiteral("LastRefreshTimeStamps: index %1 is negative").arg(Index));
    if (d->LastRefreshTimeStamps.size() < size_t(Index) + 1)
        d->LastRefreshTimeStamps.resize(size_t(Index) + 1, MinDateTime);
    return d->LastRefreshTimeStamps[size_t(Index)];
}

void TQEPopupMenu::SetLastRefreshTimeStamps(int Index, TDateTime AValue)
{
    LastRefreshTimeStamps(Index); // grows (and checks) first
    d->LastRefreshTimeStamps[size_t(Index)] = AValue;
}

int TQEPopupMenu::LastRefreshTimeStampCount() const { return int(d->LastRefreshTimeStamps.size()); }

void TQEPopupMenu::Popup(int X, int Y)
{
    ++d->InPopUpModeCount;
    struct Leave
    {
        int &count;
        ~Leave() { --count; }
    } leave{d->InPopUpModeCount};
    d->PopupPoint = QPoint(X, Y);
    InvalidateSubMenus();
    TPopupMenu::Popup(X, Y);
}

void TQEPopupMenu::InvalidateSubMenus()
{
    d->InvalidateChanged = false;
    if (OnInvalidate)
        OnInvalidate(this);
}

TQEMenuItem *TQEPopupMenu::CreateItem(bool AddToRoot)
{
    // The default class directly: the meta-object's constructor lookup
    // normalises a signature string on every call.
    auto *item = d->MenuItemClass == &TQEMenuItem::staticMetaObject
                     ? new TQEMenuItem(this)
                     : qobject_cast<TQEMenuItem *>(CreateObject(d->MenuItemClass, this));
    if (!item)
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    if (AddToRoot)
        Items()->Add(item);
    return item;
}

void TQEPopupMenu::InvalidateMenu(bool AForce)
{
    if (AForce)
        d->InvalidatedNotifed = false;
    InvalidateSubMenus();
    NotifierCheck();
}

bool TQEPopupMenu::IsInPopUpMode() const { return d->InPopUpModeCount != 0; }

bool TQEPopupMenu::HasMenuActionControlAttached() const
{
    return d->QEMenuList && !d->QEMenuList->empty();
}

IPtr<IUniqueComponent> TQEPopupMenu::GetUniqueComponent() const
{
    return IPtr<IUniqueComponent>(d->UniqueComponentHelper);
}

QPoint TQEPopupMenu::LastPopupPoint() const { return d->PopupPoint; }

bool TQEPopupMenu::AcceptInitMenuPopup(QMenu *AHandle)
{
    if (!AHandle || AHandle != Handle())
        return false;
    if (d->LiveTourEnabled)
        RegisterGlobalLiveTourAction(this);
    return true;
}

bool TQEPopupMenu::AcceptUninitMenuPopup(QMenu *AHandle)
{
    if (!AHandle || AHandle != Handle())
        return false;
    if (d->LiveTourEnabled)
        UnRegisterGlobalLiveTourAction(this);
    return true;
}

void TQEPopupMenu::Loaded()
{
    TPopupMenu::Loaded();
    if ((ComponentState() & csDesigning) && UniqueIdent().isEmpty())
        SetUniqueIdent(QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
}

void TQEPopupMenu::BeforeDestruction()
{
    SendActionControlAction(acaBeforeDestroy);
    TPopupMenu::BeforeDestruction();
}

HRESULT TQEPopupMenu::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<ILiveTourAction>(this, iid, obj) || AnswerInterface<IQEMenuActionControlIcon>(this, iid, obj)
        || AnswerInterface<IQEMenuActionControl>(this, iid, obj) || AnswerInterface<IQEMenuCustomControl>(this, iid, obj)
        || AnswerInterface<IQESubMenus>(this, iid, obj))
        return S_OK;
    // Identity is the helper's (delegation).
    if (iid == IUniqueComponent::IID)
        return d->UniqueComponentHelper->QueryInterface(iid, obj);
    return TComponentInterfaced::QueryInterface(iid, obj);
}

// --- as a tour action

QString TQEPopupMenu::Get_Identifier() { return d->UniqueComponentHelper->UniqueIdentPath(); }
QString TQEPopupMenu::Get_Caption() { return d->Caption; }
int TQEPopupMenu::Get_FunctionCount() { return 1; }

void TQEPopupMenu::Get_FunctionRect(int, QRect &Rect)
{
    Rect = QRect(d->PopupPoint, QSize(10, 10));
}

void TQEPopupMenu::Get_FunctionText(int, QString &AText, QString &ADescription)
{
    AText = QStringLiteral("PopUpMenu");
    ADescription.clear();
}

QString TQEPopupMenu::Get_FunctionIdent(int Index) { return QString::number(Index); }

int TQEPopupMenu::Get_FunctionIndexByIdent(const QString &Ident)
{
    return int(StringDataToIntDef(Ident, -1));
}

bool TQEPopupMenu::Get_IsFunctionAllreadySettled(int) { return false; }
bool TQEPopupMenu::Get_IsFunctionAvaliable(int) { return PopupList()->IndexOf(this) >= 0; }
void TQEPopupMenu::Set_ChangeNotificationEnabled(int, bool) {}

bool TQEPopupMenu::Get_PreferedBallonPos(int, TBalloonHoriz &Horiz, TBalloonVert &Vert)
{
    Horiz = blnMiddle;
    Vert = blnTop;
    return true;
}

bool TQEPopupMenu::Get_IntermediateStep(int, QString &A, QString &B)
{
    A.clear();
    B.clear();
    return false;
}

// --- as a menu action control

void TQEPopupMenu::Do_ParentVisibleChanged(bool) {}

void TQEPopupMenu::Do_RegisterMenu(IQEMenu *Menu)
{
    if (!d->QEMenuList)
        d->QEMenuList = std::make_unique<std::vector<IPtr<IQEMenu>>>();
    d->QEMenuList->push_back(IPtr<IQEMenu>(Menu)); // duplicates are kept, as given
}

void TQEPopupMenu::Do_UnRegisterMenu(IQEMenu *Menu)
{
    if (!d->QEMenuList)
        return;
    auto &list = *d->QEMenuList;
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->get() == Menu) {
            list.erase(it);
            return;
        }
}

void TQEPopupMenu::Do_Click(IQEMenu *)
{
    InvalidateSubMenus();
    NotifierCheck();
}

void TQEPopupMenu::Do_InvalidateMenu(IQEMenu *)
{
    InvalidateSubMenus();
    NotifierCheck();
}

bool TQEPopupMenu::Get_Enabled() { return d->Enabled; }
bool TQEPopupMenu::Get_Visible() { return d->Visible; }
int TQEPopupMenu::Get_HelpContext() { return HelpContext(); }
QString TQEPopupMenu::Get_Hint() { return d->Hint; }
IPtr<IQESubMenus> TQEPopupMenu::Get_SubMenus() { return IPtr<IQESubMenus>(this); }
TQEMenuType TQEPopupMenu::Get_MenuType() { return qemtButtonGroup; }

QIcon TQEPopupMenu::Get_IconHandle()
{
    TImageList *images = Images();
    if (!images || d->MenuImageIndex < 0 || d->MenuImageIndex >= images->Count())
        return {};
    return QIcon(QPixmap::fromImage(images->Image(d->MenuImageIndex)));
}

int TQEPopupMenu::Get_GlobalRessourceIconIndex()
{
    return d->UseGlobalRessourceIcons ? d->MenuImageIndex : -1;
}

int TQEPopupMenu::Get_Count() { return Items() ? Items()->Count() : 0; }

IPtr<IQEMenu> TQEPopupMenu::Get_Item(int Index)
{
    TMenuItem *item = Items() ? Items()->Items(Index) : nullptr;
    if (!item)
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    auto *qe = qobject_cast<TQEMenuItem *>(item);
    if (!qe)
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    return IPtr<IQEMenu>(qe);
}

QString TQEPopupMenu::Get_UniqueIdent() { return d->UniqueComponentHelper->Get_UniqueIdent(); }
QString TQEPopupMenu::Get_UniqueIdentPath() { return d->UniqueComponentHelper->Get_UniqueIdentPath(); }
bool TQEPopupMenu::Get_IsRoot() { return d->UniqueComponentHelper->Get_IsRoot(); }

void TQEPopupMenu::ItemTreeChanged()
{
    d->InvalidateChanged = true;
    ++d->LastChangedCounter;
}

void TQEPopupMenu::MenuChanged(QObject *Sender, TMenuItem *Source, bool ARebuild)
{
    TPopupMenu::MenuChanged(Sender, Source, ARebuild);
    ItemTreeChanged();
}

void TQEPopupMenu::SendActionControlAction(TQEActionControlAction Action)
{
    if (!d->QEMenuList)
        return;
    // Over a copy holding references: a listener may unregister (or go) meanwhile.
    const std::vector<IPtr<IQEMenu>> listeners = *d->QEMenuList;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        if (auto listener = QueryIntf<IQEActionControlMenu>(*it))
            listener->Do_ActionControlAction(this, Action);
    }
}

void TQEPopupMenu::NotifierCheck()
{
    if (d->InvalidateChanged || !d->InvalidatedNotifed)
        SendActionControlAction(acaSubMenusChanged);
    d->InvalidatedNotifed = true;
}

// --- TQEMenuItem -------------------------------------------------------------

struct TQEMenuItem::Private
{
    IPtr<IQEMenuControl> MenuControl;
    bool VisibleOnRibbon = true;
    TQEMenuViewLevelSet MenuViewLevel = MenuViewLevelBit(mvlSmallIconWithText) | MenuViewLevelBit(mvlSmallIcon);
    bool BeginGroupRibbon = false;
    TQEMenuType MenuType = qemtDropDownButton;
};

TQEMenuItem::TQEMenuItem(QObject *AOwner)
    : TMenuItem(AOwner), d(std::make_unique<Private>())
{
}

TQEMenuItem::~TQEMenuItem() = default;

bool TQEMenuItem::VisibleOnRibbon() const { return d->VisibleOnRibbon; }
void TQEMenuItem::SetVisibleOnRibbon(bool AValue) { d->VisibleOnRibbon = AValue; }
TQEMenuViewLevelSet TQEMenuItem::MenuViewLevel() const { return d->MenuViewLevel; }
void TQEMenuItem::SetMenuViewLevel(TQEMenuViewLevelSet AValue) { d->MenuViewLevel = AValue; }
bool TQEMenuItem::BeginGroupRibbon() const { return d->BeginGroupRibbon; }
void TQEMenuItem::SetBeginGroupRibbon(bool AValue) { d->BeginGroupRibbon = AValue; }
TQEMenuType TQEMenuItem::MenuType() const { return d->MenuType; }
void TQEMenuItem::SetMenuType(TQEMenuType AValue) { d->MenuType = AValue; }

void TQEMenuItem::SetChecked(bool AValue)
{
    TMenuItem::SetChecked(AValue);
    if (TQEPopupMenu *menu = QEPopUp())
        menu->ItemTreeChanged();
    UpdateMenuControl();
}

TQEPopupMenu *TQEMenuItem::QEPopUp() const
{
    return qobject_cast<TQEPopupMenu *>(GetParentMenu());
}

bool TQEMenuItem::HasVisibleSubItems() const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Visible())
            return true;
    return false;
}

TMenuItem *TQEMenuItem::Find(TMenuItem *ARoot, const QString &ACaption, const QMetaObject *AMenuItemClass)
{
    if (!ARoot)
        return nullptr;
    const QString wanted = StripHotkey(ACaption);
    for (int i = 0; i < ARoot->Count(); ++i) {
        TMenuItem *item = ARoot->Items(i);
        if (AMenuItemClass && !item->metaObject()->inherits(AMenuItemClass))
            continue;
        // The user's locale decides letter case.
        if (QLocale().toLower(StripHotkey(item->Caption())) == QLocale().toLower(wanted))
            return item;
    }
    return nullptr;
}

void TQEMenuItem::Click()
{
    TQEPopupMenu *menu = QEPopUp();
    if (Enabled() && menu && menu->LiveTourEnabled())
        LiveTourFunctionNotification(menu, 0, fnExecutet);
    TMenuItem::Click();
}

void TQEMenuItem::Assign(QObject *ASource)
{
    TMenuItem::Assign(ASource);
    if (auto *src = qobject_cast<TQEMenuItem *>(ASource)) {
        d->VisibleOnRibbon = src->d->VisibleOnRibbon;
        d->MenuViewLevel = src->d->MenuViewLevel;
    }
}

void TQEMenuItem::BeforeDestruction()
{
    TMenuItem::BeforeDestruction();
    Set_MenuControl(nullptr);
    if (OnDestroy)
        OnDestroy(this);
}

HRESULT TQEMenuItem::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IQEMenu>(this, iid, obj) || AnswerInterface<IQESubMenus>(this, iid, obj))
        return S_OK;
    return TComponentInterfaced::QueryInterface(iid, obj);
}

IPtr<IQESubMenus> TQEMenuItem::Get_SubMenus() { return IPtr<IQESubMenus>(this); }
QString TQEMenuItem::Get_Caption() { return Caption(); }
bool TQEMenuItem::Get_DynamicSubMenus() { return false; }
bool TQEMenuItem::Get_TranslateCaption() { return false; }
bool TQEMenuItem::Get_IsShared() { return false; }

QIcon TQEMenuItem::Get_IconHandle(int)
{
    TImageList *list = GetImageList();
    if (ImageIndex() < 0 || !list || ImageIndex() >= list->Count())
        return {};
    return QIcon(QPixmap::fromImage(list->Image(ImageIndex())));
}

bool TQEMenuItem::Get_VisibleOnRibbon() { return d->VisibleOnRibbon; }
TQEMenuViewLevelSet TQEMenuItem::Get_MenuViewLevel() { return d->MenuViewLevel; }

int TQEMenuItem::Get_GlobalRessourceIconIndex()
{
    TQEPopupMenu *menu = QEPopUp();
    return menu && menu->UseGlobalRessourceIcons() ? ImageIndex() : -1;
}

bool TQEMenuItem::Get_BeginGroup() { return false; }
bool TQEMenuItem::Get_BeginGroupRibbon() { return d->BeginGroupRibbon; }
TQEMenuType TQEMenuItem::Get_MenuType() { return d->MenuType; }

void TQEMenuItem::Set_MenuControl(IQEMenuControl *Control)
{
    IPtr<IQEMenuControl> old = std::exchange(d->MenuControl, IPtr<IQEMenuControl>());
    if (old)
        old->Do_Notification(mmcDelete);
    d->MenuControl = IPtr<IQEMenuControl>(Control);
    UpdateMenuControl();
}

void TQEMenuItem::Do_Click(IQEMenuControl *)
{
    Click();
}

void TQEMenuItem::Do_InvalidateMenu() {}

int TQEMenuItem::Get_Count() { return Count(); }

IPtr<IQEMenu> TQEMenuItem::Get_Item(int Index)
{
    TMenuItem *item = Items(Index);
    if (!item)
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    auto *qe = qobject_cast<TQEMenuItem *>(item);
    if (!qe)
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    return IPtr<IQEMenu>(qe);
}

void TQEMenuItem::MenuChanged(bool ARebuild)
{
    TMenuItem::MenuChanged(ARebuild);
    if (ComponentState() & (csLoading | csReading | csDestroying))
        return;
    if (TQEPopupMenu *menu = QEPopUp())
        menu->ItemTreeChanged();
    UpdateMenuControl();
}

void TQEMenuItem::UpdateMenuControl()
{
    IPtr<IQEMenuControl> c = d->MenuControl; // held: a control may unbind itself
    if (!c)
        return;
    c->Set_Caption(Caption());
    c->Set_Enabled(Enabled());
    c->Set_Visible(Visible());
    c->Set_HelpContext(HelpContext());
    c->Set_Hint(Hint());
    c->Set_ShortCut(ShortCut());
    c->Set_GroupIndex(GroupIndex());
    c->Set_RadioItem(RadioItem());
    c->Set_Checked(Checked());
    c->Set_Icon(Icon());
}

// --- companions --------------------------------------------------------------

TCustomQEIdentifierMenuItem::TCustomQEIdentifierMenuItem(QObject *AOwner) : TQEMenuItem(AOwner) {}

void TCustomQEIdentifierMenuItem::Assign(QObject *ASource)
{
    TQEMenuItem::Assign(ASource);
    if (auto *src = qobject_cast<TCustomQEIdentifierMenuItem *>(ASource))
        FIdentifier = src->FIdentifier;
}

TQECustomGroupMenuItem::TQECustomGroupMenuItem(QObject *AOwner) : TQEMenuItem(AOwner) {}

void TQEPopupList::WndProc(int AMsg, QMenu *AHandle)
{
    if (AMsg == WM_INITMENUPOPUP || AMsg == WM_UNINITMENUPOPUP) {
        for (int i = 0; i < Count(); ++i) {
            auto *menu = qobject_cast<TQEPopupMenu *>(Items(i));
            if (!menu)
                continue;
            const bool accepted = AMsg == WM_INITMENUPOPUP ? menu->AcceptInitMenuPopup(AHandle)
                                                           : menu->AcceptUninitMenuPopup(AHandle);
            if (accepted)
                break;
        }
    }
    TPopupList::WndProc(AMsg, AHandle);
}

namespace detail {

void QEPopupMenuStartup()
{
    SetPopupList(std::make_unique<TQEPopupList>());
    RegisterClass(&TQEMenuItem::staticMetaObject);
}

void QEPopupMenuShutdown()
{
    UnRegisterClass(&TQEMenuItem::staticMetaObject);
    SetPopupList(nullptr);
}

} // namespace detail

} // namespace zor
