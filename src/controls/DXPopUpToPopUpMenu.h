// TDXPopUpToPopUpMenu: lets a place that takes a popup menu open a menu of a
// toolbar suite instead (BarPopupMenu, a QMenu the adapter does not own).
#pragma once

#include <ZorCompCore/controls/Menus.h>

#include <QMenu>
#include <QPointer>

namespace zor {

// A popup menu that opens a menu of a toolbar suite instead of its own.
class ZOR_EXPORT TDXPopUpToPopUpMenu : public TPopupMenu
{
    Q_OBJECT
public:
    explicit TDXPopUpToPopUpMenu(QObject *AOwner = nullptr);
    ~TDXPopUpToPopUpMenu() override;
    // Not owned; cleared when that menu goes.
    QMenu *BarPopupMenu() const;
    void SetBarPopupMenu(QMenu *AValue);
    // Runs OnPopup, then opens BarPopupMenu (when set) at the point.
    void Popup(int X, int Y) override;

private:
    QPointer<QMenu> FBarPopupMenu;
};

} // namespace zor
