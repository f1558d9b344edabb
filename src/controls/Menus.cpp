#include "Menus.h"

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/ImageList.h>

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPixmap>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

namespace zor {

// --- TShortCut ---------------------------------------------------------------

namespace {

// Virtual-key codes with a Qt key of their own (letters and digits share
// their codes with Qt and are handled apart). ORDER: none.
struct VkKey
{
    quint8 Vk;
    int Key;
    bool Keypad;
};
constexpr VkKey kVkKeys[] = {
    {0x08, Qt::Key_Backspace, false}, {0x09, Qt::Key_Tab, false},    {0x0D, Qt::Key_Return, false},
    {0x13, Qt::Key_Pause, false},     {0x1B, Qt::Key_Escape, false}, {0x20, Qt::Key_Space, false},
    {0x21, Qt::Key_PageUp, false},    {0x22, Qt::Key_PageDown, false}, {0x23, Qt::Key_End, false},
    {0x24, Qt::Key_Home, false},      {0x25, Qt::Key_Left, false},   {0x26, Qt::Key_Up, false},
    {0x27, Qt::Key_Right, false},     {0x28, Qt::Key_Down, false},   {0x2C, Qt::Key_Print, false},
    {0x2D, Qt::Key_Insert, false},    {0x2E, Qt::Key_Delete, false}, {0x6A, Qt::Key_Asterisk, true},
    {0x6B, Qt::Key_Plus, true},       {0x6D, Qt::Key_Minus, true},   {0x6E, Qt::Key_Period, true},
    {0x6F, Qt::Key_Slash, true},      {0xBA, Qt::Key_Semicolon, false}, {0xBB, Qt::Key_Equal, false},
    {0xBC, Qt::Key_Comma, false},     {0xBD, Qt::Key_Minus, false},  {0xBE, Qt::Key_Period, false},
    {0xBF, Qt::Key_Slash, false},     {0xC0, Qt::Key_QuoteLeft, false}, {0xDB, Qt::Key_BracketLeft, false},
    {0xDC, Qt::Key_Backslash, false}, {0xDD, Qt::Key_BracketRight, false}, {0xDE, Qt::Key_Apostrophe, false},
};

} // namespace

TShortCut ShortCut(quint16 AKey, Qt::KeyboardModifiers AShift)
{
    TShortCut sc = AKey & 0xFF;
    if (AShift & Qt::ShiftModifier)
        sc |= scShift;
    if (AShift & Qt::ControlModifier)
        sc |= scCtrl;
    if (AShift & Qt::AltModifier)
        sc |= scAlt;
    return sc;
}

QKeySequence ShortCutToKeySequence(TShortCut AShortCut)
{
    const quint8 vk = AShortCut & 0xFF;
    if (vk == 0) // no key (most items): every update asks
        return {};
    int key = 0;
    Qt::KeyboardModifiers mods;
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        key = vk;
    } else if (vk >= 0x60 && vk <= 0x69) {
        key = Qt::Key_0 + (vk - 0x60);
        mods |= Qt::KeypadModifier;
    } else if (vk >= 0x70 && vk <= 0x87) {
        key = Qt::Key_F1 + (vk - 0x70);
    } else {
        for (const VkKey &k : kVkKeys)
            if (k.Vk == vk) {
                key = k.Key;
                if (k.Keypad)
                    mods |= Qt::KeypadModifier;
                break;
            }
    }
    if (key == 0)
        return {};
    if (AShortCut & scShift)
        mods |= Qt::ShiftModifier;
    if (AShortCut & scCtrl)
        mods |= Qt::ControlModifier;
    if (AShortCut & scAlt)
        mods |= Qt::AltModifier;
    return QKeySequence(QKeyCombination(mods, Qt::Key(key)));
}

TShortCut KeySequenceToShortCut(const QKeySequence &ASequence)
{
    if (ASequence.count() != 1)
        return scNone;
    const QKeyCombination c = ASequence[0];
    const int key = c.key();
    const bool keypad = c.keyboardModifiers() & Qt::KeypadModifier;
    int vk = 0;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        vk = 0x60 + (key - Qt::Key_0);
    } else if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        vk = key;
    } else if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        vk = 0x70 + (key - Qt::Key_F1);
    } else {
        for (const VkKey &k : kVkKeys)
            if (k.Key == key && k.Keypad == keypad) {
                vk = k.Vk;
                break;
            }
        if (vk == 0 && key == Qt::Key_Enter)
            vk = 0x0D; // keypad Enter shares VK_RETURN
    }
    if (vk == 0)
        return scNone;
    return ShortCut(quint16(vk), c.keyboardModifiers());
}

QString ShortCutToText(TShortCut AShortCut)
{
    return ShortCutToKeySequence(AShortCut).toString(QKeySequence::PortableText);
}

QString StripHotkey(const QString &ACaption)
{
    QString out;
    out.reserve(ACaption.size());
    for (qsizetype i = 0; i < ACaption.size(); ++i) {
        if (ACaption[i] == u'&') {
            if (i + 1 < ACaption.size() && ACaption[i + 1] == u'&')
                out += u'&';
            else
                continue;
            ++i;
            continue;
        }
        out += ACaption[i];
    }
    return out;
}

// --- TMenuItem ---------------------------------------------------------------

namespace {
QIcon IconOf(const QImage &AImage)
{
    return AImage.isNull() ? QIcon() : QIcon(QPixmap::fromImage(AImage));
}
} // namespace

struct TMenuItem::Private
{
    QString Caption;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    bool Default = false;
    TMenuBreak Break = mbNone;
    quint8 GroupIndex = 0;
    bool RadioItem = false;
    int HelpContext = 0;
    QString Hint;
    qint64 Tag = 0;
    int ImageIndex = -1;
    QImage Bitmap;
    TImageList *SubMenuImages = nullptr;
    QPointer<QAction> Action;
    QMetaObject::Connection ActionChanged;
    TMenuItemAutoFlag AutoHotkeys = maParent;
    TMenuItemAutoFlag AutoLineReduction = maParent;
    TShortCut ShortCut = 0;

    TMenuItem *Parent = nullptr;
    QList<TMenuItem *> Items;
    TPopupMenu *Menu = nullptr; // set on a popup menu's root item
    std::unique_ptr<QAction> Act;
    std::unique_ptr<QMenu> SubMenu;
    std::map<quint8, QActionGroup *> Groups; // radio groups of the children
    qint64 IconKey = 0; // cache key of the image the action's icon shows (0: none)
};

TMenuItem::TMenuItem(QObject *AOwner)
    : TComponent(AOwner), d(std::make_unique<Private>())
{
    d->Act = std::make_unique<QAction>();
    connect(d->Act.get(), &QAction::triggered, this, [this] { Triggered(); });
    UpdateAction();
}

TMenuItem::~TMenuItem()
{
    // Children go with their parent, as the tree says, whoever owns them.
    while (!d->Items.isEmpty()) {
        TMenuItem *child = d->Items.takeLast();
        child->d->Parent = nullptr;
        Free(child);
    }
    if (d->Parent) {
        d->Parent->d->Items.removeOne(this);
        if (d->Parent->d->SubMenu)
            d->Parent->d->SubMenu->removeAction(d->Act.get());
    }
    disconnect(d->ActionChanged);
}

int TMenuItem::Count() const { return int(d->Items.size()); }

TMenuItem *TMenuItem::Items(int AIndex) const
{
    return AIndex >= 0 && AIndex < d->Items.size() ? d->Items[AIndex] : nullptr;
}

TMenuItem *TMenuItem::Parent() const { return d->Parent; }

int TMenuItem::MenuIndex() const { return d->Parent ? d->Parent->IndexOf(this) : -1; }

int TMenuItem::IndexOf(const TMenuItem *AItem) const
{
    return int(d->Items.indexOf(const_cast<TMenuItem *>(AItem)));
}

void TMenuItem::Add(TMenuItem *AItem)
{
    Insert(Count(), AItem);
}

void TMenuItem::Insert(int AIndex, TMenuItem *AItem)
{
    if (!AItem || AItem == this)
        return;
    for (const TMenuItem *p = this; p; p = p->d->Parent)
        if (p == AItem)
            throw EInvalidOperation(QStringLiteral("Cannot insert a menu item into its own sub-menu"));
    if (AItem->d->Parent)
        AItem->d->Parent->Remove(AItem);
    d->Items.insert(std::clamp<qsizetype>(AIndex, 0, d->Items.size()), AItem);
    AItem->d->Parent = this;
    AItem->UpdateAction(); // its image list may come from its new parents
    MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem *AItem)
{
    if (!AItem || !d->Items.removeOne(AItem))
        return;
    AItem->d->Parent = nullptr;
    MenuChanged(true);
}

void TMenuItem::Delete(int AIndex)
{
    if (TMenuItem *item = Items(AIndex)) {
        Remove(item);
        Free(item);
    } else {
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIndex));
    }
}

void TMenuItem::Clear()
{
    while (!d->Items.isEmpty())
        Delete(int(d->Items.size()) - 1);
}

TPopupMenu *TMenuItem::GetParentMenu() const
{
    const TMenuItem *root = this;
    while (root->d->Parent)
        root = root->d->Parent;
    return root->d->Menu;
}

QString TMenuItem::Caption() const { return d->Caption; }

void TMenuItem::SetCaption(const QString &AValue)
{
    if (d->Caption == AValue)
        return;
    d->Caption = AValue;
    MenuChanged(false);
}

bool TMenuItem::IsLine() const { return d->Caption == cLineCaption; }

bool TMenuItem::Checked() const { return d->Checked; }

void TMenuItem::SetChecked(bool AValue)
{
    if (d->Checked == AValue)
        return;
    d->Checked = AValue;
    UpdateAction();
    if (AValue && d->RadioItem && d->Parent) {
        // Siblings of the group go off through their change hook, as a menu
        // would tell them: not through Checked, which subclasses may watch.
        for (TMenuItem *sib : std::as_const(d->Parent->d->Items)) {
            if (sib != this && sib->d->RadioItem && sib->d->GroupIndex == d->GroupIndex && sib->d->Checked) {
                sib->d->Checked = false;
                sib->MenuChanged(false);
            }
        }
    }
}

bool TMenuItem::Enabled() const { return d->Enabled; }
void TMenuItem::SetEnabled(bool AValue)
{
    if (d->Enabled == AValue)
        return;
    d->Enabled = AValue;
    MenuChanged(false);
}

bool TMenuItem::Visible() const { return d->Visible; }
void TMenuItem::SetVisible(bool AValue)
{
    if (d->Visible == AValue)
        return;
    d->Visible = AValue;
    MenuChanged(false);
}

bool TMenuItem::Default() const { return d->Default; }
void TMenuItem::SetDefault(bool AValue)
{
    if (d->Default == AValue)
        return;
    d->Default = AValue;
    MenuChanged(false);
}

TMenuBreak TMenuItem::Break() const { return d->Break; }
void TMenuItem::SetBreak(TMenuBreak AValue)
{
    if (d->Break == AValue)
        return;
    d->Break = AValue; // Qt menus have one column: kept, not shown
    MenuChanged(false);
}

quint8 TMenuItem::GroupIndex() const { return d->GroupIndex; }
void TMenuItem::SetGroupIndex(quint8 AValue)
{
    if (d->GroupIndex == AValue)
        return;
    d->GroupIndex = AValue;
    if (d->Parent)
        d->Parent->RebuildSubMenu();
    MenuChanged(false);
}

bool TMenuItem::RadioItem() const { return d->RadioItem; }
void TMenuItem::SetRadioItem(bool AValue)
{
    if (d->RadioItem == AValue)
        return;
    d->RadioItem = AValue;
    if (d->Parent)
        d->Parent->RebuildSubMenu();
    MenuChanged(false);
}

int TMenuItem::HelpContext() const { return d->HelpContext; }
void TMenuItem::SetHelpContext(int AValue) { d->HelpContext = AValue; }
QString TMenuItem::Hint() const { return d->Hint; }
void TMenuItem::SetHint(const QString &AValue)
{
    d->Hint = AValue;
    UpdateAction();
}
qint64 TMenuItem::Tag() const { return d->Tag; }
void TMenuItem::SetTag(qint64 AValue) { d->Tag = AValue; }

int TMenuItem::ImageIndex() const { return d->ImageIndex; }
void TMenuItem::SetImageIndex(int AValue)
{
    if (d->ImageIndex == AValue)
        return;
    d->ImageIndex = AValue;
    MenuChanged(false);
}

QImage TMenuItem::Bitmap() const { return d->Bitmap; }
void TMenuItem::SetBitmap(const QImage &AValue)
{
    d->Bitmap = AValue;
    MenuChanged(false);
}

TImageList *TMenuItem::SubMenuImages() const { return d->SubMenuImages; }
void TMenuItem::SetSubMenuImages(TImageList *AValue)
{
    if (d->SubMenuImages == AValue)
        return;
    if (d->SubMenuImages)
        d->SubMenuImages->RemoveFreeNotification(this);
    d->SubMenuImages = AValue;
    if (AValue)
        AValue->FreeNotification(this);
    // Every item below may show other images now.
    std::function<void(TMenuItem *)> refresh = [&](TMenuItem *item) {
        for (TMenuItem *c : std::as_const(item->d->Items)) {
            c->UpdateAction();
            refresh(c);
        }
    };
    refresh(this);
    MenuChanged(false);
}

QAction *TMenuItem::Action() const { return d->Action; }

void TMenuItem::SetAction(QAction *AValue)
{
    if (d->Action == AValue)
        return;
    disconnect(d->ActionChanged);
    d->Action = AValue;
    if (!AValue)
        return;
    // The item follows its action, as an action link does.
    const auto follow = [this] {
        QAction *a = d->Action;
        if (!a)
            return;
        SetCaption(a->text());
        SetEnabled(a->isEnabled());
        SetVisible(a->isVisible());
        SetChecked(a->isChecked());
        SetHint(a->statusTip());
        SetShortCut(KeySequenceToShortCut(a->shortcut()));
    };
    d->ActionChanged = connect(AValue, &QAction::changed, this, follow);
    follow();
}

TMenuItemAutoFlag TMenuItem::AutoHotkeys() const { return d->AutoHotkeys; }
void TMenuItem::SetAutoHotkeys(TMenuItemAutoFlag AValue) { d->AutoHotkeys = AValue; }
TMenuItemAutoFlag TMenuItem::AutoLineReduction() const { return d->AutoLineReduction; }
void TMenuItem::SetAutoLineReduction(TMenuItemAutoFlag AValue) { d->AutoLineReduction = AValue; }

TShortCut TMenuItem::ShortCut() const { return d->ShortCut; }
void TMenuItem::SetShortCut(TShortCut AValue)
{
    if (d->ShortCut == AValue)
        return;
    d->ShortCut = AValue;
    MenuChanged(false);
}

TImageList *TMenuItem::GetImageList() const
{
    for (const TMenuItem *p = d->Parent; p; p = p->d->Parent)
        if (p->d->SubMenuImages)
            return p->d->SubMenuImages;
    TPopupMenu *menu = GetParentMenu();
    return menu ? menu->Images() : nullptr;
}

QImage TMenuItem::IconImage() const
{
    TImageList *list = GetImageList();
    if (list && d->ImageIndex >= 0 && d->ImageIndex < list->Count())
        return list->Image(d->ImageIndex);
    return d->Bitmap;
}

QIcon TMenuItem::Icon() const
{
    const QImage image = IconImage();
    return IconOf(image);
}

void TMenuItem::Click()
{
    if (!d->Enabled)
        return;
    if (OnClick)
        OnClick(this);
    else if (d->Action)
        d->Action->trigger();
}

void TMenuItem::Assign(QObject *ASource)
{
    auto *src = qobject_cast<TMenuItem *>(ASource);
    if (!src) {
        throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2.")
                                .arg(ASource ? ClassNameOf(ASource) : QStringLiteral("nil"), ClassNameOf(this)));
    }
    SetAction(src->Action());
    SetAutoHotkeys(src->AutoHotkeys());
    SetAutoLineReduction(src->AutoLineReduction());
    SetBitmap(src->Bitmap());
    SetBreak(src->Break());
    SetCaption(src->Caption());
    SetChecked(src->Checked());
    SetSubMenuImages(src->SubMenuImages());
    SetDefault(src->Default());
    SetEnabled(src->Enabled());
    SetGroupIndex(src->GroupIndex());
    SetHelpContext(src->HelpContext());
    SetHint(src->Hint());
    SetTag(src->Tag());
    SetImageIndex(src->ImageIndex());
    SetRadioItem(src->RadioItem());
    SetShortCut(src->ShortCut());
    SetVisible(src->Visible());
    OnClick = src->OnClick;
    OnDrawItem = src->OnDrawItem;
    OnAdvancedDrawItem = src->OnAdvancedDrawItem;
    OnMeasureItem = src->OnMeasureItem;
}

QAction *TMenuItem::Handle() const { return d->Act.get(); }

QMenu *TMenuItem::SubMenu() const
{
    if (!d->SubMenu) {
        d->SubMenu = std::make_unique<QMenu>();
        QMenu *menu = d->SubMenu.get();
        // The popup list hears every menu open and close, submenus included.
        QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { PopupList()->WndProc(WM_INITMENUPOPUP, menu); });
        QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] { PopupList()->WndProc(WM_UNINITMENUPOPUP, menu); });
        const_cast<TMenuItem *>(this)->RebuildSubMenu();
    }
    return d->SubMenu.get();
}

void TMenuItem::MenuChanged(bool ARebuild)
{
    if (ARebuild)
        RebuildSubMenu();
    UpdateAction();
    if (TPopupMenu *menu = GetParentMenu())
        menu->MenuChanged(menu, d->Parent || !d->Menu ? this : nullptr, ARebuild);
}

void TMenuItem::Notification(TComponent *AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == d->SubMenuImages)
        d->SubMenuImages = nullptr;
}

void TMenuItem::UpdateAction()
{
    QAction *a = d->Act.get();
    const QSignalBlocker block(a);
    a->setSeparator(IsLine());
    a->setText(IsLine() ? QString() : d->Caption); // a separator with text draws as a section title
    a->setEnabled(d->Enabled);
    a->setVisible(d->Visible);
    a->setCheckable(d->Checked || d->RadioItem);
    a->setChecked(d->Checked);
    if (a->font().bold() != d->Default) {
        QFont f = a->font();
        f.setBold(d->Default);
        a->setFont(f);
    }
    a->setStatusTip(d->Hint);
    // Items are updated on every change of theirs and their children's, so
    // the costly setters are called only with a new value: a shortcut asks
    // the platform theme for key bindings, QAction takes every icon as a
    // change (its menus lay out again), setMenu reconnects the menu.
    if (const QKeySequence keys = ShortCutToKeySequence(d->ShortCut); a->shortcut() != keys)
        a->setShortcut(keys);
    const QImage image = IconImage();
    if (image.cacheKey() != d->IconKey) {
        d->IconKey = image.cacheKey();
        a->setIcon(IconOf(image));
    }
    QMenu *menu = d->Parent && !d->Items.isEmpty() ? SubMenu() : nullptr;
    if (a->menu() != menu)
        a->setMenu(menu);
}

void TMenuItem::RebuildSubMenu()
{
    if (!d->SubMenu) {
        if (!d->Items.isEmpty() && (d->Parent || d->Menu))
            SubMenu(); // makes the menu and comes back here
        return;
    }
    QList<QAction *> wanted;
    wanted.reserve(d->Items.size());
    for (TMenuItem *child : std::as_const(d->Items)) {
        QAction *a = child->d->Act.get();
        QActionGroup *group = nullptr;
        if (child->d->RadioItem) {
            QActionGroup *&g = d->Groups[child->d->GroupIndex];
            if (!g) {
                g = new QActionGroup(this);
                g->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
            }
            group = g;
        }
        if (a->actionGroup() != group)
            a->setActionGroup(group);
        wanted.append(a);
    }
    // Edits, not a refill: every action added or removed makes the QMenu lay
    // out again, and a child added is one insertAction.
    QMenu *menu = d->SubMenu.get();
    QList<QAction *> shown = menu->actions();
    for (QAction *a : std::as_const(shown))
        if (!wanted.contains(a))
            menu->removeAction(a);
    shown.removeIf([&wanted](QAction *a) { return !wanted.contains(a); });
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        if (i < shown.size() && shown[i] == wanted[i])
            continue;
        // Moves the action when the menu has it already (later than i).
        QAction *before = i < shown.size() ? shown[i] : nullptr;
        menu->insertAction(before, wanted[i]);
        shown.removeOne(wanted[i]);
        shown.insert(i, wanted[i]);
    }
}

void TMenuItem::DropSubMenus()
{
    for (TMenuItem *child : std::as_const(d->Items))
        child->DropSubMenus();
    d->SubMenu.reset();
}

void TMenuItem::SyncCheckedFromModel()
{
    const QSignalBlocker block(d->Act.get());
    d->Act->setChecked(d->Checked);
}

void TMenuItem::Triggered()
{
    // Qt has toggled the action (and its radio group) already; the model decides.
    if (d->Parent)
        for (TMenuItem *sib : std::as_const(d->Parent->d->Items))
            sib->SyncCheckedFromModel();
    else
        SyncCheckedFromModel();
    Click();
}

// --- TPopupMenu --------------------------------------------------------------

struct TPopupMenu::Private
{
    TMenuItem *Items = nullptr;
    TImageList *Images = nullptr;
    int HelpContext = 0;
    QPoint PopupPoint;
};

TPopupMenu::TPopupMenu(QObject *AOwner)
    : TComponent(AOwner), d(std::make_unique<Private>())
{
    d->Items = new TMenuItem(this);
    d->Items->d->Menu = this;
    d->Items->SubMenu();
}

TPopupMenu::~TPopupMenu()
{
    PopupList()->Remove(this);
    if (d->Items) {
        d->Items->d->Menu = nullptr;
        // The whole tree goes with the menu (children go with their parent).
        // Its QMenus go first, so that no QMenu is told of each of its
        // actions leaving, one at a time, and laid out again.
        d->Items->DropSubMenus();
    }
}

TMenuItem *TPopupMenu::Items() const { return d->Items; }
TImageList *TPopupMenu::Images() const { return d->Images; }

void TPopupMenu::SetImages(TImageList *AValue)
{
    if (d->Images == AValue)
        return;
    if (d->Images)
        d->Images->RemoveFreeNotification(this);
    d->Images = AValue;
    if (AValue)
        AValue->FreeNotification(this);
    std::function<void(TMenuItem *)> refresh = [&](TMenuItem *item) {
        for (int i = 0; i < item->Count(); ++i) {
            item->Items(i)->UpdateAction();
            refresh(item->Items(i));
        }
    };
    refresh(d->Items);
    MenuChanged(this, nullptr, false);
}

int TPopupMenu::HelpContext() const { return d->HelpContext; }
void TPopupMenu::SetHelpContext(int AValue) { d->HelpContext = AValue; }
QMenu *TPopupMenu::Handle() const { return d->Items ? d->Items->SubMenu() : nullptr; }
QPoint TPopupMenu::PopupPoint() const { return d->PopupPoint; }

void TPopupMenu::Popup(int X, int Y)
{
    d->PopupPoint = QPoint(X, Y);
    DoPopup(this);
    PopupList()->Add(this);
    // Taken off the list however the menu ends (or if this menu goes with it).
    const QPointer<TPopupMenu> self(this);
    struct Leave
    {
        QPointer<TPopupMenu> menu;
        ~Leave()
        {
            if (menu)
                PopupList()->Remove(menu);
        }
    } leave{self};
    Handle()->exec(QPoint(X, Y));
}

void TPopupMenu::MenuChanged(QObject *, TMenuItem *, bool)
{
}

void TPopupMenu::DoPopup(QObject *Sender)
{
    if (OnPopup)
        OnPopup(Sender);
}

void TPopupMenu::Notification(TComponent *AComponent, TOperation Operation)
{
    // What the menu owns (its items, all but always) is news for the menu
    // alone: items watch only their image lists going away, and telling
    // every item of every new one made filling a menu quadratic. (A new
    // component is announced from its base constructor, so its class
    // cannot be told yet.)
    if (Operation == opInsert)
        return;
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) {
        if (AComponent == d->Images)
            d->Images = nullptr;
        if (AComponent == d->Items)
            d->Items = nullptr;
    }
}

// --- the popup list ----------------------------------------------------------

namespace {
TPopupList *g_popupList = nullptr; // constant-initialised: module actions may run first
} // namespace

TPopupList::~TPopupList() = default;

int TPopupList::Count() const { return int(FList.size()); }

TPopupMenu *TPopupList::Items(int AIndex) const
{
    return AIndex >= 0 && AIndex < FList.size() ? FList[AIndex].data() : nullptr;
}

int TPopupList::IndexOf(const TPopupMenu *AMenu) const
{
    for (int i = 0; i < FList.size(); ++i)
        if (FList[i] == AMenu)
            return i;
    return -1;
}

void TPopupList::Add(TPopupMenu *AMenu)
{
    FList.removeIf([](const QPointer<TPopupMenu> &p) { return p.isNull(); });
    FList.append(AMenu);
}

void TPopupList::Remove(TPopupMenu *AMenu)
{
    const int i = IndexOf(AMenu);
    if (i >= 0)
        FList.removeAt(i);
    FList.removeIf([](const QPointer<TPopupMenu> &p) { return p.isNull(); });
}

void TPopupList::WndProc(int, QMenu *)
{
}

TPopupList *PopupList()
{
    if (!g_popupList)
        g_popupList = new TPopupList;
    return g_popupList;
}

void SetPopupList(std::unique_ptr<TPopupList> AList)
{
    TPopupList *old = g_popupList;
    g_popupList = AList.release();
    if (old && g_popupList)
        for (int i = 0; i < old->Count(); ++i)
            if (TPopupMenu *m = old->Items(i))
                g_popupList->Add(m);
    delete old;
}

} // namespace zor
