// The menu model that popup menus stand on: items in a tree (TMenuItem), a
// popup menu that owns its QMenu (TPopupMenu), shortcuts in their 16-bit
// form (TShortCut) and the list of popup menus now open (PopupList).
//
// Each item is one QAction, kept up to date in place on every change; an item
// with children also owns the QMenu that shows them. Radio items of one
// parent and GroupIndex share a QActionGroup, for the radio look. Qt toggles
// checkable actions by itself when they are triggered; the model undoes that,
// so Checked changes only through the model (an item's OnClick may set it).
//
// TShortCut: a virtual-key code in the low byte, plus 0x2000 for Shift, 0x4000
// for Ctrl and 0x8000 for Alt (Ctrl+S = 0x4053); 0 is no shortcut.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPainter;

namespace zor {

class TImageList;
class TPopupMenu;

using TShortCut = quint16;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

// Between the 16-bit form and Qt's key sequences; keys without a virtual-key
// code (and sequences of more than one chord) give 0 / an empty sequence.
ZOR_EXPORT QKeySequence ShortCutToKeySequence(TShortCut AShortCut);
ZOR_EXPORT TShortCut KeySequenceToShortCut(const QKeySequence &ASequence);
ZOR_EXPORT TShortCut ShortCut(quint16 AKey, Qt::KeyboardModifiers AShift);
// "Ctrl+S", in Qt's portable text form; empty for 0.
ZOR_EXPORT QString ShortCutToText(TShortCut AShortCut);

// Removes the "&" hot-key markers ("&&" stays as one "&").
ZOR_EXPORT QString StripHotkey(const QString &ACaption);

// The separator caption.
inline const QString cLineCaption = QStringLiteral("-");

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum TMenuItemAutoFlag { maAutomatic, maManual, maParent };
using TMenuAutoFlag = TMenuItemAutoFlag;

class TMenuItem;
using TMenuNotify = std::function<void(QObject *Sender)>;
using TMenuDrawItemEvent = std::function<void(QObject *Sender, QPainter *ACanvas, const QRect &ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent = std::function<void(QObject *Sender, QPainter *ACanvas, const QRect &ARect, int State)>;
using TMenuMeasureItemEvent = std::function<void(QObject *Sender, QPainter *ACanvas, int &Width, int &Height)>;

class ZOR_EXPORT TMenuItem : public TComponent
{
    Q_OBJECT
public:
    Q_INVOKABLE explicit TMenuItem(QObject *AOwner = nullptr);
    ~TMenuItem() override;

    // --- the tree
    int Count() const;
    TMenuItem *Items(int AIndex) const; // null when out of range
    TMenuItem *Parent() const;
    int MenuIndex() const;              // position under the parent, -1 without one
    int IndexOf(const TMenuItem *AItem) const;
    void Add(TMenuItem *AItem);         // taken out of its old parent first
    void Insert(int AIndex, TMenuItem *AItem);
    void Remove(TMenuItem *AItem);      // the item stays alive, without parent
    void Delete(int AIndex);            // frees the item
    void Clear();                       // frees every child
    // The popup menu whose item tree holds this item, if any.
    TPopupMenu *GetParentMenu() const;

    // --- what the item shows
    QString Caption() const;            // "&" marks the hot key, "-" is a separator
    void SetCaption(const QString &AValue);
    bool IsLine() const;
    bool Checked() const;
    virtual void SetChecked(bool AValue);
    bool Enabled() const;
    void SetEnabled(bool AValue);
    bool Visible() const;
    void SetVisible(bool AValue);
    bool Default() const;               // shown bold
    void SetDefault(bool AValue);
    TMenuBreak Break() const;
    void SetBreak(TMenuBreak AValue);
    quint8 GroupIndex() const;
    void SetGroupIndex(quint8 AValue);
    bool RadioItem() const;
    void SetRadioItem(bool AValue);
    int HelpContext() const;
    void SetHelpContext(int AValue);
    QString Hint() const;               // the action's status tip
    void SetHint(const QString &AValue);
    qint64 Tag() const;
    void SetTag(qint64 AValue);
    int ImageIndex() const;             // -1: none
    void SetImageIndex(int AValue);
    QImage Bitmap() const;              // used when there is no image index
    void SetBitmap(const QImage &AValue);
    // Images for the children (and their children, unless they set their own).
    TImageList *SubMenuImages() const;
    void SetSubMenuImages(TImageList *AValue);
    // An outside action the item follows and triggers; not owned.
    QAction *Action() const;
    void SetAction(QAction *AValue);
    TMenuItemAutoFlag AutoHotkeys() const;
    void SetAutoHotkeys(TMenuItemAutoFlag AValue);
    TMenuItemAutoFlag AutoLineReduction() const;
    void SetAutoLineReduction(TMenuItemAutoFlag AValue);
    TShortCut ShortCut() const;
    void SetShortCut(TShortCut AValue);

    TMenuNotify OnClick;
    TMenuDrawItemEvent OnDrawItem;
    TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;
    TMenuMeasureItemEvent OnMeasureItem;

    // The image list of this item: the nearest SubMenuImages above it, else
    // the popup menu's Images.
    TImageList *GetImageList() const;
    // The icon the item shows: its image-list image, else its bitmap; null if none.
    QIcon Icon() const;

    // Runs OnClick, else triggers the linked action. Disabled items do nothing.
    virtual void Click();
    // Copies what an item shows and does (not its children) from another item.
    virtual void Assign(QObject *ASource);

    // The item's QAction, and the QMenu of its children (made on demand).
    QAction *Handle() const;
    QMenu *SubMenu() const;

protected:
    // Tells the item's menu that the item (Rebuild: the item's children)
    // changed; the base climbs to the popup menu's hook.
    virtual void MenuChanged(bool ARebuild);
    void Notification(TComponent *AComponent, TOperation Operation) override;

private:
    void UpdateAction();
    QImage IconImage() const;
    void RebuildSubMenu();
    void DropSubMenus(); // this item's and all below
    void SyncCheckedFromModel();
    void Triggered();
    struct Private;
    std::unique_ptr<Private> const d;
    friend class TPopupMenu;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class ZOR_EXPORT TPopupMenu : public TComponent
{
    Q_OBJECT
public:
    explicit TPopupMenu(QObject *AOwner = nullptr);
    ~TPopupMenu() override;

    // The root item; its children are the menu's entries. Owned by the menu.
    TMenuItem *Items() const;
    TImageList *Images() const;
    void SetImages(TImageList *AValue);
    int HelpContext() const;
    void SetHelpContext(int AValue);
    // The QMenu shown; null until there is one. The popup list knows the menu by it.
    QMenu *Handle() const;
    // The point the menu was last opened at.
    QPoint PopupPoint() const;

    // Before the menu opens.
    TMenuNotify OnPopup;

    // Opens the menu at a screen point and returns once it has closed.
    virtual void Popup(int X, int Y);

protected:
    // An item of this menu changed (Source; null for the menu itself).
    virtual void MenuChanged(QObject *Sender, TMenuItem *Source, bool ARebuild);
    // Runs OnPopup.
    virtual void DoPopup(QObject *Sender);
    void Notification(TComponent *AComponent, TOperation Operation) override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
    friend class TMenuItem;
};

// Windows-style messages the popup list hears for the menus it holds.
constexpr int WM_INITMENUPOPUP = 0x0117;
constexpr int WM_UNINITMENUPOPUP = 0x0125;

// The popup menus now open, and the place their open and close messages go:
// a root menu about to show sends WM_INITMENUPOPUP with its QMenu, about to
// hide WM_UNINITMENUPOPUP; submenus send theirs with their own QMenu.
class ZOR_EXPORT TPopupList
{
public:
    virtual ~TPopupList();
    int Count() const;
    TPopupMenu *Items(int AIndex) const;
    int IndexOf(const TPopupMenu *AMenu) const;
    void Add(TPopupMenu *AMenu);
    void Remove(TPopupMenu *AMenu);
    // Handles one message; the base does nothing with it.
    virtual void WndProc(int AMsg, QMenu *AHandle);

private:
    QList<QPointer<TPopupMenu>> FList;
};

// The process-wide list (a plain TPopupList until a module installs its own).
ZOR_EXPORT TPopupList *PopupList();
// Installs a list (taking ownership; the open menus move over); null
// restores a plain one.
ZOR_EXPORT void SetPopupList(std::unique_ptr<TPopupList> AList);

} // namespace zor
