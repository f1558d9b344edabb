#include "LiveTour.h"

namespace zor {

TRegisterGlobalLiveTourActionProc GlobalProcRegisterGlobalLiveTourAction;
TRegisterGlobalLiveTourActionProc GlobalProcUnRegisterGlobalLiveTourAction;
TFunctionNotificationProc GlobalProcFunctionNotificationProc;

void RegisterGlobalLiveTourAction(ILiveTourAction *Action)
{
    if (GlobalProcRegisterGlobalLiveTourAction)
        GlobalProcRegisterGlobalLiveTourAction(Action);
}

void UnRegisterGlobalLiveTourAction(ILiveTourAction *Action)
{
    if (GlobalProcUnRegisterGlobalLiveTourAction)
        GlobalProcUnRegisterGlobalLiveTourAction(Action);
}

void LiveTourFunctionNotification(ILiveTourAction *Action, int Index,
                                  TFunctionNotification Notification)
{
    if (GlobalProcFunctionNotificationProc)
        GlobalProcFunctionNotificationProc(Action, Index, Notification);
}

} // namespace zor
