// Guided tours. Things on screen that a tour can point at (ILiveTourAction)
// register themselves through three process-wide procedure variables that a
// tour host sets; while none is set, registering does nothing.
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Interface.h>

#include <QRect>
#include <QString>
#include <functional>

namespace zor {

enum TBalloonHoriz { blnLeft, blnMiddle, blnRight };
enum TBalloonVert { blnTop, blnCenter, blnBottom };
enum TFunctionNotification { fnExecutet, fnChanged };

// One thing on screen made of numbered functions a tour can point at.
class ZOR_EXPORT ILiveTourAction : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{5EE5451C-2960-476B-B924-5A7EE00D7A79}");
    virtual QString Get_Identifier() = 0;
    virtual QString Get_Caption() = 0;
    virtual int Get_FunctionCount() = 0;
    // Screen rectangle of function Index.
    virtual void Get_FunctionRect(int Index, QRect &Rect) = 0;
    virtual void Get_FunctionText(int Index, QString &AText, QString &ADescription) = 0;
    virtual QString Get_FunctionIdent(int Index) = 0;
    // -1 when no function has that identifier.
    virtual int Get_FunctionIndexByIdent(const QString &Ident) = 0;
    virtual bool Get_IsFunctionAllreadySettled(int Index) = 0;
    virtual bool Get_IsFunctionAvaliable(int Index) = 0;
    virtual void Set_ChangeNotificationEnabled(int Index, bool Value) = 0;
    // False when the action has no preference; Horiz/Vert are then untouched.
    virtual bool Get_PreferedBallonPos(int Index, TBalloonHoriz &Horiz, TBalloonVert &Vert) = 0;
    // True when function Index is reached through an intermediate step, described by A and B.
    virtual bool Get_IntermediateStep(int Index, QString &A, QString &B) = 0;
};

// A tour as the tour host runs it.
class ZOR_EXPORT ILiveTour : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{36EF7EA7-2991-4830-BC79-7E11C9E07BD3}");
    virtual QString Get_Identifier() = 0;
    virtual QString Get_Caption() = 0;
    // Starts the tour; false when it cannot run now.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
};

using TRegisterGlobalLiveTourActionProc = std::function<void(ILiveTourAction *)>;
using TFunctionNotificationProc =
    std::function<void(ILiveTourAction *, int, TFunctionNotification)>;

// Set by the tour host only; all empty by default.
ZOR_EXPORT extern TRegisterGlobalLiveTourActionProc GlobalProcRegisterGlobalLiveTourAction;
ZOR_EXPORT extern TRegisterGlobalLiveTourActionProc GlobalProcUnRegisterGlobalLiveTourAction;
ZOR_EXPORT extern TFunctionNotificationProc GlobalProcFunctionNotificationProc;

// Each passes its arguments to the matching variable when it is set.
ZOR_EXPORT void RegisterGlobalLiveTourAction(ILiveTourAction *Action);
ZOR_EXPORT void UnRegisterGlobalLiveTourAction(ILiveTourAction *Action);
ZOR_EXPORT void LiveTourFunctionNotification(ILiveTourAction *Action, int Index,
                                             TFunctionNotification Notification);

} // namespace zor
