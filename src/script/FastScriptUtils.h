// The package's script class and its helpers: own source lines with
// conditional compilation, calling script functions by name with parameters
// in and out, a process-wide debugger hook, release of the interface
// references that script items still hold after a run, and adapters that let
// script procedures serve as event handlers.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/zor_export.h>

#include <array>

namespace zor {

enum TScriptCommentType { ctWholeLine, ctStart, ctEnd };

// One entry of the conditional-compilation stack.
struct TDirectiveData
{
    bool IsActive = true;
    QString DirectiveName; // the directive's argument
};

// A debugger that wants to hear about every script function call.
class IZORFastScriptDebugger : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{B9B59B25-4246-44ED-81FB-1601BDF1FDC7}");
    virtual bool IsDebuggerActive() = 0;
    virtual void BeforeCallFunction(TfsScript *Script, TfsProcVariable *Func, const Variant &Params) = 0;
};

// The process-wide debugger (none at load; released at unload).
ZOR_EXPORT void SetGlobalScriptDebugger(const IPtr<IZORFastScriptDebugger> &intf);
ZOR_EXPORT IPtr<IZORFastScriptDebugger> GetScriptDebuggerIntf();

// Addresses of item values that may hold interfaces, and the method entries
// whose runtime data may, recorded by one walk over a script's items so that
// later clearings need no walk.
class ZOR_EXPORT TRuntimeDataVarRefList : public std::vector<script::Value *>
{
public:
    std::vector<TfsMethodHelper *> MethodHelpers;
    bool IsValid = false;
    // The items behind the recorded addresses, kept alive while recorded.
    std::vector<std::shared_ptr<TfsCustomVariable>> Keep;
    // Drops the interfaces held by the recorded values and the runtime data
    // of the recorded method entries (in parallel from 21 entries on).
    void ClearRefs();
};

// Drops interface values of the script's "DI…" typed items. With a valid List
// only its recorded entries are cleared; otherwise the items are walked and
// what was found is recorded in List (when given).
ZOR_EXPORT void ClearAllRefsOnRTTI(TfsScript *Script, bool AClearLocal, TRuntimeDataVarRefList *List);

class ZOR_EXPORT TfsZORScript : public TfsScript
{
    Q_OBJECT
public:
    explicit TfsZORScript(QObject *AOwner = nullptr);
    ~TfsZORScript() override;

    // The source as the caller wrote it (copied into the engine's lines on Compile).
    QStringList &Lines() { return FLines; }
    void SetLines(const QStringList &lines) { FLines = lines; }
    // The text that is really compiled: the engine's lines after preprocessing.
    QStringList &PreProcessedLines() { return TfsScript::Lines(); }

    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v) { FCaption = v; }
    bool ClearLocalRefsAfterExecute() const { return FClearLocalRefsAfterExecute; }
    void SetClearLocalRefsAfterExecute(bool v) { FClearLocalRefsAfterExecute = v; }
    bool AutoClearParentRTTIRefs() const { return FAutoClearParentRTTIRefs; }
    void SetAutoClearParentRTTIRefs(bool v) { FAutoClearParentRTTIRefs = v; }

    bool Compile() override;
    using TfsScript::Execute;
    // Runs the main block; with AClearRefs (and a main block that has
    // statements) clears the runtime references afterwards.
    virtual void Execute(bool AClearRefs);

    TfsProcVariable *FindLocalProcVar(const QString &AName) const;
    bool FunctionExists(const QString &AName) const { return FindLocalProcVar(AName) != nullptr; }
    // Calls a script function; Params is an array of arguments (or anything
    // else for none). A missing function gives null.
    Variant CallFunction(const QString &Name, const Variant &Params, bool AClearRTTIRefs = true);
    // The same; var parameters come back in the elements of Params.
    Variant CallFunction1(const QString &Name, Variant &Params, bool AClearRTTIRefs = true);
    Variant CallFunction2(TfsProcVariable *Func, const Variant &Params, bool AClearRTTIRefs = true);

    void ClearScriptRefs(bool AClearLocalRefs, bool ABuildCache);
    void NotifyScriptDebugger(TfsProcVariable *Func, const Variant &Params);
    QString GetCommentChar(TScriptCommentType ACommentType) const;
    // Conditional compilation ({$IFDEF name}, {$IFNDEF name}, {$ELSE},
    // {$ENDIF}): inactive parts are commented out in the script's language.
    void PreProcessScript(QStringList &Lines);
    // A valid identifier made from a type name.
    static QString CreateScriptConstName(const QString &ATypeName);
    void ReleaseRuntimeDataVarRefList();
    // The cached reference list of a slot (0: without locals, 1: with), or null.
    TRuntimeDataVarRefList *RuntimeDataVarRefList(int slot) const { return FRuntimeDataVarRefList[size_t(slot)].get(); }

Q_SIGNALS:
    // A compile failed, or Execute or a function call raised: the message
    // and "line:column" (as ErrorMsg/ErrorPos). Always delivered on the
    // application's main thread, whichever thread ran the script.
    void scriptError(const QString &message, const QString &position);

private:
    void notifyError(const QString &message, const QString &position);
    template <typename Fn>
    auto reportingErrors(Fn fn) -> decltype(fn());

    Variant CallFunctionProcVar(TfsProcVariable *Func, const Variant &Params);
    Variant CallFunctionProcVarBackParams(TfsProcVariable *Func, Variant &Params);

    bool FClearLocalRefsAfterExecute = false;
    QStringList FLines;
    QString FCaption;
    bool FAutoClearParentRTTIRefs = true;
    std::array<std::unique_ptr<TRuntimeDataVarRefList>, 2> FRuntimeDataVarRefList;
};

// A script procedure as the handler of an event; clears the references of
// its script after each call.
class ZOR_EXPORT TZORCustomEvent : public TfsCustomEvent
{
public:
    using TfsCustomEvent::TfsCustomEvent;
    void CallHandler(const QList<Variant> &Params);
    // Runs the handler; var parameters come back in Params.
    void CallVarHandler(QList<Variant> &Params);

protected:
    void clearParentRefs();
};

// A script procedure (Sender) serving as a notify event: a component's
// callback or a Qt signal.
class ZOR_EXPORT TZORCustomNotifyEvent : public TZORCustomEvent
{
public:
    TZORCustomNotifyEvent(QObject *AObject, TfsProcVariable *AHandler);
    ~TZORCustomNotifyEvent() override;
    void DoEvent(QObject *Sender);
    std::function<void(QObject *Sender)> GetMethod() override;
    // Calls the handler whenever sender emits signal (SIGNAL(...) syntax);
    // the sender is passed as Sender.
    bool ConnectSignal(QObject *sender, const char *signal);

private:
    std::unique_ptr<QObject> FReceiver;
};

namespace detail {
// Shut-down action of the module: releases the global debugger.
ZOR_EXPORT void FastScriptUtilsShutdown();
} // namespace detail

} // namespace zor
