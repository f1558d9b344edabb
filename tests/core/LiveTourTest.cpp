#include "core/LiveTour.h"

#include "TestUtil.h"

#include <QStringList>

using namespace zor;

namespace {

// A two-function action, enough to travel through the hooks.
class Action : public TInterfacedObject, public ILiveTourAction
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<ILiveTourAction>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    QString Get_Identifier() override { return "popup"; }
    QString Get_Caption() override { return "Popup"; }
    int Get_FunctionCount() override { return 2; }
    void Get_FunctionRect(int, QRect &Rect) override { Rect = QRect(0, 0, 10, 10); }
    void Get_FunctionText(int, QString &AText, QString &ADescription) override
    {
        AText = "Open";
        ADescription = "Opens it";
    }
    QString Get_FunctionIdent(int Index) override { return Index == 0 ? "open" : "close"; }
    int Get_FunctionIndexByIdent(const QString &Ident) override
    {
        return Ident == "open" ? 0 : Ident == "close" ? 1 : -1;
    }
    bool Get_IsFunctionAllreadySettled(int) override { return false; }
    bool Get_IsFunctionAvaliable(int) override { return true; }
    void Set_ChangeNotificationEnabled(int, bool) override {}
    bool Get_PreferedBallonPos(int, TBalloonHoriz &, TBalloonVert &) override { return false; }
    bool Get_IntermediateStep(int, QString &, QString &) override { return false; }
};

} // namespace

TEST(LiveTour, CallsReachTheHostOnlyWhileItsHooksAreSet)
{
    IPtr<ILiveTourAction> action = QueryIntf<ILiveTourAction>(new Action);
    QStringList log;

    // Nothing installed: nothing happens, nothing breaks.
    RegisterGlobalLiveTourAction(action.get());
    UnRegisterGlobalLiveTourAction(action.get());
    LiveTourFunctionNotification(action.get(), 1, fnChanged);

    GlobalProcRegisterGlobalLiveTourAction = [&](ILiveTourAction *a) {
        log << "register " + a->Get_Identifier();
    };
    GlobalProcUnRegisterGlobalLiveTourAction = [&](ILiveTourAction *a) {
        log << "unregister " + a->Get_Identifier();
    };
    GlobalProcFunctionNotificationProc = [&](ILiveTourAction *a, int index, TFunctionNotification n) {
        log << QStringLiteral("notify %1 %2 %3").arg(a->Get_FunctionIdent(index)).arg(index).arg(int(n));
    };
    RegisterGlobalLiveTourAction(action.get());
    LiveTourFunctionNotification(action.get(), 0, fnExecutet);
    LiveTourFunctionNotification(action.get(), 1, fnChanged);
    UnRegisterGlobalLiveTourAction(action.get());
    EXPECT_EQ(log, (QStringList{"register popup", "notify open 0 0", "notify close 1 1",
                                "unregister popup"}));

    // Each hook stands alone: clearing one leaves the others working.
    GlobalProcRegisterGlobalLiveTourAction = nullptr;
    log.clear();
    RegisterGlobalLiveTourAction(action.get());
    UnRegisterGlobalLiveTourAction(action.get());
    EXPECT_EQ(log, QStringList{"unregister popup"});

    GlobalProcUnRegisterGlobalLiveTourAction = nullptr;
    GlobalProcFunctionNotificationProc = nullptr;
}
