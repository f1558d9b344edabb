#include "DXPopUpToPopUpMenu.h"

namespace zor {

TDXPopUpToPopUpMenu::TDXPopUpToPopUpMenu(QObject *AOwner) : TPopupMenu(AOwner) {}
TDXPopUpToPopUpMenu::~TDXPopUpToPopUpMenu() = default;
QMenu *TDXPopUpToPopUpMenu::BarPopupMenu() const { return FBarPopupMenu; }
void TDXPopUpToPopUpMenu::SetBarPopupMenu(QMenu *AValue) { FBarPopupMenu = AValue; }

void TDXPopUpToPopUpMenu::Popup(int X, int Y)
{
    DoPopup(this);
    if (FBarPopupMenu)
        FBarPopupMenu->exec(QPoint(X, Y));
}

} // namespace zor
