// The global menu model: every menu entry of an application is an IQEMenu
// (caption, icon, sub-entries, type, view level); every place that shows
// entries (a popup menu, a ribbon or toolbar group) is a menu action control
// that entries register with and that tells them when it changes. An entry
// may also be bound to one outside control (IQEMenuControl) that mirrors its
// caption, state and shortcut. Icons are QIcons (a null icon is none).
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QIcon>
#include <QString>

namespace zor {

enum TQEMenuType { qemtNone, qemtButton, qemtButtonGroup, qemtDropDownButton };
enum TQEMenuViewLevel { mvlLargeIconWithText, mvlSmallIconWithText, mvlSmallIcon };
// A set of view levels: bit n stands for the level with ordinal n.
using TQEMenuViewLevelSet = quint8;
constexpr TQEMenuViewLevelSet MenuViewLevelBit(TQEMenuViewLevel ALevel)
{
    return TQEMenuViewLevelSet(1u << ALevel);
}
enum TQEActionControlAction { acaBeforeDestroy, acaChanged, acaSubMenusChanged };
enum TQEMenuControlNotification { mmcDelete, mmcReloadSubMenus };
enum TMenuVisibleMode { mvmDetailDataMenuAllwaysVisible };
using TMenuVisibleModes = quint8;

class IQESubMenus;
class IQEMenuControl;
class IQEMenuActionControl;

class ZOR_EXPORT IQEMenu : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{54EDB0F1-32F0-427E-A24E-D19A3ADD7ED1}");
    virtual IPtr<IQESubMenus> Get_SubMenus() = 0;
    virtual QString Get_Caption() = 0;
    virtual bool Get_DynamicSubMenus() = 0;
    virtual bool Get_TranslateCaption() = 0;
    virtual bool Get_IsShared() = 0;
    // A new icon, or a null one for none.
    virtual QIcon Get_IconHandle(int Size) = 0;
    virtual bool Get_VisibleOnRibbon() = 0;
    virtual TQEMenuViewLevelSet Get_MenuViewLevel() = 0;
    virtual int Get_GlobalRessourceIconIndex() = 0;
    virtual bool Get_BeginGroup() = 0;
    virtual bool Get_BeginGroupRibbon() = 0;
    virtual TQEMenuType Get_MenuType() = 0;
    virtual void Set_MenuControl(IQEMenuControl *Control) = 0;
    virtual void Do_Click(IQEMenuControl *Control) = 0;
    virtual void Do_InvalidateMenu() = 0;
};

// An entry that wants to hear what its action control does.
class ZOR_EXPORT IQEActionControlMenu : public virtual IQEMenu
{
public:
    ZOR_INTERFACE_IID("{60AD9CCF-AADC-4B6B-A025-B788990E4CFD}");
    virtual void Do_ActionControlAction(IQEMenuActionControl *Control, TQEActionControlAction Action) = 0;
};

class ZOR_EXPORT IQESubMenus : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{6296266F-415B-4559-8BDB-823A73F57EAD}");
    virtual int Get_Count() = 0;
    virtual IPtr<IQEMenu> Get_Item(int Index) = 0;
};

class ZOR_EXPORT IQEMenuCustomControl : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{74D06500-8529-4027-BB82-A9C7A5D552D3}");
    virtual void Do_ParentVisibleChanged(bool Visible) = 0;
};

class ZOR_EXPORT IQEMenuActionControl : public virtual IQEMenuCustomControl
{
public:
    ZOR_INTERFACE_IID("{A48345AA-EA22-42DA-8EEB-22514AC0CD04}");
    virtual void Do_RegisterMenu(IQEMenu *Menu) = 0;
    virtual void Do_UnRegisterMenu(IQEMenu *Menu) = 0;
    virtual void Do_Click(IQEMenu *Menu) = 0;
    virtual void Do_InvalidateMenu(IQEMenu *Menu) = 0;
    virtual bool Get_Enabled() = 0;
    virtual bool Get_Visible() = 0;
    virtual QString Get_Caption() = 0;
    virtual int Get_HelpContext() = 0;
    virtual QString Get_Hint() = 0;
    virtual IPtr<IQESubMenus> Get_SubMenus() = 0;
    virtual TQEMenuType Get_MenuType() = 0;
};

class ZOR_EXPORT IQEMenuActionControlIcon : public virtual IQEMenuActionControl
{
public:
    ZOR_INTERFACE_IID("{6EFC03F8-D4AE-4E2B-AA04-9ECFCA0C1B44}");
    virtual QIcon Get_IconHandle() = 0;
    virtual int Get_GlobalRessourceIconIndex() = 0;
};

// A control outside the menu that mirrors one entry.
class ZOR_EXPORT IQEMenuControl : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{8E98EE68-25A2-4D85-AED4-53D18BD5B6F8}");
    virtual void Set_Caption(const QString &Value) = 0;
    virtual void Set_Enabled(bool Value) = 0;
    virtual void Set_Visible(bool Value) = 0;
    virtual void Set_Checked(bool Value) = 0;
    virtual void Set_HelpContext(int Value) = 0;
    virtual void Set_Hint(const QString &Value) = 0;
    virtual void Set_GroupIndex(quint8 Value) = 0;
    virtual void Set_ShortCut(quint16 Value) = 0;
    virtual void Set_RadioItem(bool Value) = 0;
    virtual void Do_Notification(TQEMenuControlNotification Notification) = 0;
    // The entry's icon (null: none); sent after the other values.
    virtual void Set_Icon(const QIcon &Value) = 0;
};

// The application's registry of action controls.
class ZOR_EXPORT IQEGlobalMenu : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{DB6B39C8-6C36-4906-BBCC-2D04A150DCB8}");
    virtual void Do_RegisterActionControl(IQEMenuActionControl *Control) = 0;
    virtual void Do_UnRegisterActionControl(IQEMenuActionControl *Control) = 0;
    virtual IPtr<IQEMenuActionControl> Get_ActionControl(const QString &Identifier) = 0;
};

// A button that opens a menu.
class ZOR_EXPORT IQEMenuButton : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{840C4A50-39B4-47EF-9921-43B6655A9392}");
    virtual IPtr<IQEMenuActionControl> Get_Menu() = 0;
};

} // namespace zor
