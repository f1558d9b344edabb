#include <ZorCompCore/core/LiveTour.h>

#include "TestUtil.h"

#include <QStringList>

using namespace zor;

TEST(LiveTour, CallsReachTheHostOnlyWhileItsHooksAreSet)
{
    // The hooks pass the action through untouched; an address is enough.
    int storage = 0;
    auto *action = reinterpret_cast<ILiveTourAction *>(&storage);
    QStringList log;
    auto who = [&](ILiveTourAction *a) { return a == action ? QStringLiteral("action") : QStringLiteral("other"); };

    // Nothing installed: nothing happens, nothing breaks.
    RegisterGlobalLiveTourAction(action);
    UnRegisterGlobalLiveTourAction(action);
    LiveTourFunctionNotification(action, 1, fnChanged);

    GlobalProcRegisterGlobalLiveTourAction = [&](ILiveTourAction *a) { log << "register " + who(a); };
    GlobalProcUnRegisterGlobalLiveTourAction = [&](ILiveTourAction *a) { log << "unregister " + who(a); };
    GlobalProcFunctionNotificationProc = [&](ILiveTourAction *a, int index, TFunctionNotification n) {
        log << QStringLiteral("notify %1 %2 %3").arg(who(a)).arg(index).arg(int(n));
    };
    RegisterGlobalLiveTourAction(action);
    LiveTourFunctionNotification(action, 0, fnExecutet);
    LiveTourFunctionNotification(action, 7, fnChanged);
    UnRegisterGlobalLiveTourAction(action);
    EXPECT_EQ(log, (QStringList{"register action", "notify action 0 0", "notify action 7 1",
                                "unregister action"}));

    // Each hook stands alone: clearing one leaves the others working.
    GlobalProcRegisterGlobalLiveTourAction = nullptr;
    log.clear();
    RegisterGlobalLiveTourAction(action);
    UnRegisterGlobalLiveTourAction(action);
    EXPECT_EQ(log, QStringList{"unregister action"});

    GlobalProcUnRegisterGlobalLiveTourAction = nullptr;
    GlobalProcFunctionNotificationProc = nullptr;
}
