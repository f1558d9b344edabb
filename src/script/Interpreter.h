// The script engine's host API: a script component that holds registered
// items (classes, objects, methods, types, constants, variables) and the
// items of its compiled program, and the item classes themselves.
//
// One engine serves four syntaxes ("PascalScript", the default, "C++Script",
// "BasicScript", "JScript"); identifiers are case-insensitive in all of them.
// Values cross this API as zor::Variant; an object travels as its address in
// an integer (nil as 0).
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Variant.h>
#include <ZorCompCore/script/Value.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

struct QMetaObject;

namespace zor {

namespace script {
struct Routine;
class Program;
class CycleCollector;
} // namespace script

class TfsScript;
class TZORExpressionCache;
class TfsCustomVariable;
class TfsClassVariable;
class TfsMethodHelper;
class TfsProcVariable;
class TfsParamItem;

// Raised by a script's own raise/throw; the class name is the one the script gave.
class ZOR_EXPORT EfsScriptError : public Exception
{
public:
    explicit EfsScriptError(QString message = {}, QByteArray className = "Exception");
    const char *ClassName() const override { return FClassName.constData(); }

private:
    QByteArray FClassName;
};

// Ends a run from outside the script ("Script terminated", "Time limit
// exceeded", "Statement limit exceeded"): script handlers never see it, so a
// script cannot swallow it; the host gets it from Execute or a call.
class ZOR_EXPORT EScriptAborted : public Exception
{
public:
    using Exception::Exception;
    const char *ClassName() const override { return "EScriptAborted"; }
};

// Type codes of registered types and items.
enum TfsVarType {
    fvtInt = 0,
    fvtBool = 1,
    fvtFloat = 2,
    fvtChar = 3,
    fvtString = 4,
    fvtClass = 5,
    fvtArray = 6,
    fvtVariant = 7,
    fvtEnum = 8,
    fvtConstructor = 9,
};

// Handlers of registered methods and properties. Instance is nil for global
// functions; MethodName is upper case.
using TfsCallMethodEvent = std::function<Variant(QObject *Instance, TfsClassVariable *ClassType,
                                                 const QString &MethodName, TfsMethodHelper *Caller)>;
using TfsGetValueEvent = std::function<Variant(QObject *Instance, TfsClassVariable *ClassType,
                                               const QString &PropName)>;
using TfsSetValueEvent = std::function<void(QObject *Instance, TfsClassVariable *ClassType,
                                            const QString &PropName, const Variant &Value)>;

// A list of items; every item is itself a list of its children (parameters of
// a routine, members of a class).
class ZOR_EXPORT TfsItemList
{
public:
    TfsItemList();
    virtual ~TfsItemList();
    TfsItemList(const TfsItemList &) = delete;
    TfsItemList &operator=(const TfsItemList &) = delete;

    int Count() const { return int(FItems.size()); }
    TfsCustomVariable *GetItem(int i) const { return FItems.at(size_t(i)).get(); }
    // Takes ownership (shared with compiled code that refers to the item).
    virtual void Add(std::shared_ptr<TfsCustomVariable> item);
    // Removes and frees the item (compiled code that still refers to it keeps it alive).
    virtual void Remove(TfsCustomVariable *item);
    // Shared handle of an item of this list (null when it is not here).
    std::shared_ptr<TfsCustomVariable> Shared(const TfsCustomVariable *item) const;
    void ClearList();
    // The items with their shared ownership (for walks that keep them alive).
    const std::vector<std::shared_ptr<TfsCustomVariable>> &Items() const { return FItems; }

protected:
    std::vector<std::shared_ptr<TfsCustomVariable>> FItems;
};

// Base of every named item: a value with a type.
class ZOR_EXPORT TfsCustomVariable : public TfsItemList
{
public:
    TfsCustomVariable(const QString &AName, TfsVarType ATyp, const QString &ATypeName);
    ~TfsCustomVariable() override;

    const QString &Name() const { return FName; }
    TfsVarType Typ() const { return FTyp; }
    const QString &TypeName() const { return FTypeName; }
    bool IsReadOnly() const { return FIsReadOnly; }
    void SetIsReadOnly(bool v) { FIsReadOnly = v; }
    // Who registered the item (the script's added-by owner at the time).
    QObject *AddedBy() const { return FAddedBy; }
    void SetAddedBy(QObject *v) { FAddedBy = v; }
    // Registration texts for tools (method categories and descriptions).
    QString Category, Description;

    virtual Variant Value();
    virtual void SetValue(const Variant &v);
    // The stored value itself; reference clearing resets it in place.
    script::Value *GetPValue() { return &FValue; }
    TfsParamItem *GetParam(int i) const;
    int GetParamsCount() const { return Count(); }
    // Created by compiling the program (dropped by the next compile).
    bool IsProgramItem() const { return FProgramItem; }
    void SetIsProgramItem(bool v) { FProgramItem = v; }

protected:
    QString FName;
    TfsVarType FTyp;
    QString FTypeName;
    bool FIsReadOnly = false;
    bool FProgramItem = false;
    bool FRTTIItem = false; // registered by AddRTTI: survives Clear
    friend class TfsScript;
    QObject *FAddedBy = nullptr;
    script::Value FValue;
};

// A variable (or, read-only, a constant) of a script.
class ZOR_EXPORT TfsVariable : public TfsCustomVariable
{
public:
    using TfsCustomVariable::TfsCustomVariable;
    // Engine value, for hosts that work with the engine's values directly.
    const script::Value &RawValue() const { return FValue; }
    void SetRawValue(script::Value v);
};

// A parameter of a routine or method.
class ZOR_EXPORT TfsParamItem : public TfsCustomVariable
{
public:
    TfsParamItem(const QString &AName, TfsVarType ATyp, const QString &ATypeName, bool AIsVarParam);
    bool IsVarParam() const { return FIsVarParam; }
    bool HasDefault() const { return FHasDefault; }
    const Variant &DefValue() const { return FDefValue; }
    void SetDefault(const Variant &v);

private:
    bool FIsVarParam;
    bool FHasDefault = false;
    Variant FDefValue;
};

// A procedure or function of a script. Set its parameters (GetParam(i)), then
// read Value(): that runs it; var parameters hold their new values afterwards.
class ZOR_EXPORT TfsProcVariable : public TfsCustomVariable
{
public:
    TfsProcVariable(const QString &AName, TfsVarType ATyp, const QString &ATypeName, bool AIsFunc);
    ~TfsProcVariable() override;

    bool IsFunc() const { return FIsFunc; }
    Variant Value() override;
    // True while a call runs, so a host that calls again (re-entrantly) must
    // save and restore the parameter values around its call.
    bool NeedRecursion() const { return FRunning > 0; }
    void SaveLocalVariables();
    void RestoreLocalVariables();
    // The routine's own items (its parameters).
    TfsItemList *Prog() { return this; }
    TfsScript *Script() const { return FScript; }

    // Engine side: the compiled routine behind the item.
    const std::shared_ptr<script::Routine> &EngineRoutine() const { return FRoutine; }
    void SetEngineRoutine(std::shared_ptr<script::Routine> r, TfsScript *script);

private:
    bool FIsFunc;
    int FRunning = 0;
    TfsScript *FScript = nullptr;
    std::shared_ptr<script::Routine> FRoutine;
    std::vector<std::vector<script::Value>> FSaved;
};

// A host method (global, or a member of a class), served by a handler or by
// an invokable method of the object's class.
class ZOR_EXPORT TfsMethodHelper : public TfsCustomVariable
{
public:
    TfsMethodHelper(const QString &ADeclaration, TfsCallMethodEvent AHandler, TfsClassVariable *AClass);
    ~TfsMethodHelper() override;

    bool IsFunc() const { return FIsFunc; }
    TfsClassVariable *ClassVariable() const { return FClass; }
    const QString &Declaration() const { return FDeclaration; }
    // Argument i of the call in progress on this thread (or of the last call
    // until released). One helper may serve calls on several threads at once:
    // each call keeps its arguments in a frame of its own.
    Variant GetVParam(int i) const;
    void SetVParam(int i, const Variant &v);
    int ParamCount() const;
    // Drops the values the last call left behind (interfaces among them).
    // Safe to run in parallel for different helpers.
    void ReleaseRuntimeData();

    // Engine side: runs the handler with the given arguments.
    script::Value Call(QObject *instance, std::vector<script::Value> &args);

private:
    friend class TfsClassVariable;
    QString FDeclaration;
    TfsCallMethodEvent FHandler;
    TfsClassVariable *FClass;
    bool FIsFunc = false;
    int FMetaMethod = -1; // invokable method index when there is no handler
    mutable QMutex FLastLock;
    std::vector<script::Value> FParams; // the last call's arguments, under FLastLock
};

// A property of a class: read and written through handlers or the object's
// Qt property. Keeps the last value read.
class ZOR_EXPORT TfsPropertyHelper : public TfsCustomVariable
{
public:
    TfsPropertyHelper(const QString &AName, const QString &ATypeName, TfsClassVariable *AClass);

    TfsClassVariable *ClassVariable() const { return FClass; }
    script::Value Get(QObject *instance);
    void Set(QObject *instance, const script::Value &v);

    TfsGetValueEvent OnGetValue;
    TfsSetValueEvent OnSetValue;

private:
    friend class TfsClassVariable;
    TfsClassVariable *FClass;
    int FMetaProperty = -1;
    QMutex FLastLock; // orders the stores of the last value by concurrent reads
};

// A class known to scripts. Registered from a QObject class, its Q_PROPERTYs
// become properties and its Q_INVOKABLE methods become methods.
class ZOR_EXPORT TfsClassVariable : public TfsCustomVariable
{
public:
    TfsClassVariable(const QString &AName, const QString &AAncestor, const QMetaObject *AMeta);

    const QString &Ancestor() const { return FAncestor; }
    const QMetaObject *MetaObject() const { return FMeta; }
    TfsMethodHelper *AddMethod(const QString &ADeclaration, TfsCallMethodEvent ACallEvent);
    TfsPropertyHelper *AddProperty(const QString &AName, const QString &ATypeName,
                                   TfsGetValueEvent AGetEvent, TfsSetValueEvent ASetEvent = {});
    int GetMembersCount() const { return Count(); }
    TfsCustomVariable *GetMembers(int i) const { return GetItem(i); }
    // Member by name (case-insensitive), looking through the ancestors known to AScript.
    TfsCustomVariable *FindMember(const QString &AName, const TfsScript *AScript) const;

private:
    QString FAncestor;
    const QMetaObject *FMeta;
};

// A class-registration module: every script that asks for the registrations
// (AddRTTI) creates one of each listed module, which registers on it.
class ZOR_EXPORT TfsRTTIModule
{
public:
    explicit TfsRTTIModule(TfsScript *AScript);
    virtual ~TfsRTTIModule();
    TfsScript *Script() const { return FScript; }

private:
    TfsScript *FScript;
};

// A module "class": creates the module on a script.
using TfsRTTIModuleClass = TfsRTTIModule *(*)(TfsScript *AScript);
template <class T>
TfsRTTIModule *fsModuleClass(TfsScript *AScript)
{
    return new T(AScript);
}
// The process-wide list of module classes (add in start-up, remove in shut-down).
ZOR_EXPORT QList<TfsRTTIModuleClass> &fsRTTIModules();

// Where a script's ShowMessage goes; unset: the package's ShowMessage (and
// through it the host's dialog handler).
ZOR_EXPORT extern std::function<void(const QString &)> fsShowMessageHook;

// A script procedure serving as an event handler of Instance.
class ZOR_EXPORT TfsCustomEvent
{
public:
    TfsCustomEvent(QObject *AObject, TfsProcVariable *AHandler);
    virtual ~TfsCustomEvent();
    TfsProcVariable *Handler() const { return FHandler; }
    QObject *Instance() const { return FInstance; }
    // Runs the handler with the given arguments.
    void CallHandler(const QList<Variant> &Params);
    // The callable a component stores as its event; empty in the base.
    virtual std::function<void(QObject *Sender)> GetMethod();

protected:
    QObject *FInstance;
    TfsProcVariable *FHandler;
};

// Beside its functions, the script has the properties and signals Qt code
// binds to: scriptError reports every compile error and every runtime error
// the script keeps in ErrorMsg, delivered in the script's own thread (queued
// when the run happened in another one).
class ZOR_EXPORT TfsScript : public TComponent, public TfsItemList
{
    Q_OBJECT
    Q_PROPERTY(QStringList lines READ Lines WRITE SetLines NOTIFY linesChanged)
    Q_PROPERTY(QString syntaxType READ SyntaxType WRITE SetSyntaxType NOTIFY syntaxTypeChanged)
    Q_PROPERTY(bool mainProg READ IsMainProg WRITE SetMainProg NOTIFY mainProgChanged)
    Q_PROPERTY(bool extendedCharset READ ExtendedCharset WRITE SetExtendedCharset NOTIFY extendedCharsetChanged)
    Q_PROPERTY(QString errorMsg READ ErrorMsg NOTIFY scriptError)
    Q_PROPERTY(QString errorPos READ ErrorPos NOTIFY scriptError)
public:
    explicit TfsScript(QObject *AOwner = nullptr);
    ~TfsScript() override;

    void Add(std::shared_ptr<TfsCustomVariable> item) override;
    void Remove(TfsCustomVariable *item) override;

    // Source of the program.
    QStringList &Lines() { return FLines; }
    const QStringList &Lines() const { return FLines; }
    void SetLines(const QStringList &lines);

    // Drops the compiled program and every item except the registrations
    // made through AddRTTI (by the modules, however they registered).
    void Clear();
    // Creates one instance of every module in fsRTTIModules() on this script;
    // a module already created on it is not created again.
    void AddRTTI();

    TfsClassVariable *AddScriptClass(const QMetaObject *AMeta, const QString &AAncestorName);
    TfsClassVariable *AddScriptClass(const QString &AClassName, const QString &AAncestorName,
                                     const QMetaObject *AMeta = nullptr);
    void AddScriptObject(const QString &AName, QObject *AObj);
    TfsMethodHelper *AddScriptMethod(const QString &ADeclaration, TfsCallMethodEvent AHandler,
                                     const QString &ACategory = {}, const QString &ADescription = {});
    void AddScriptType(const QString &AName, int ATypeCode);
    void AddScriptConst(const QString &AName, const QString &ATypeName, const Variant &AValue);
    TfsVariable *AddScriptVariable(const QString &AName, const QString &ATypeName, const Variant &AValue);
    // Defines the variable, or sets it when it exists.
    void SetVariables(const QString &AName, const Variant &AValue);
    Variant Variables(const QString &AName) const;

    // Compiles Lines in the current language; false with ErrorMsg/ErrorPos on failure.
    virtual bool Compile();
    // Runs the main block; a runtime error is raised (and kept in ErrorMsg/ErrorPos).
    void Execute();
    // Compile and Execute; false when either fails (the error is in ErrorMsg).
    bool Run();
    // Statements of the compiled main block.
    int MainStatementCount() const;

    QString ErrorMsg() const { return FErrorMsg; }
    // "line:column" of the last error, empty when there is none.
    QString ErrorPos() const { return FErrorPos; }

    // By name, case-insensitive: this script, then its parents, then the
    // engine's library functions (as method items a host may call).
    TfsCustomVariable *Find(const QString &AName) const;
    // By name in this script only.
    TfsCustomVariable *FindLocal(const QString &AName) const;
    // Class known to this script or its parents for a QObject's class chain.
    TfsClassVariable *FindClass(const QMetaObject *AMeta) const;
    // Removes everything registered while AOwner was the added-by owner.
    void ClearItems(QObject *AOwner);

    TfsScript *Parent() const { return FParent; }
    void SetParent(TfsScript *AParent);
    QString SyntaxType() const { return FSyntaxType; }
    void SetSyntaxType(const QString &ALanguage);
    QObject *AddedBy() const { return FAddedBy; }
    void SetAddedBy(QObject *AOwner) { FAddedBy = AOwner; }
    // The main-program flag: set (the default), the script is a program of
    // its own, and a runtime error in one of its routines called by the host
    // is kept in its ErrorMsg/ErrorPos as Execute keeps errors of the main
    // block. Cleared, the script serves others (expressions evaluated against
    // it, for instance) and their errors leave its error state alone.
    bool IsMainProg() const { return FMainProg; }
    void SetMainProg(bool v);
    bool ExtendedCharset() const { return FExtendedCharset; }
    void SetExtendedCharset(bool v);

    // Runs a procedure variable with the given arguments (engine side of calls).
    static Variant CallProc(TfsProcVariable *AProc, const QList<Variant> &AParams);

    // Limits of each run (Execute, or a call of one of the script's routines
    // from the host); 0 = none. A run over its time or statement budget ends
    // with EScriptAborted ("Time limit exceeded", "Statement limit exceeded");
    // statements count per loop pass and per call. A string or array larger
    // than the memory limit ends it with EOutOfMemory ("Out of memory"), an
    // error the script's own handlers can catch.
    qint64 TimeLimit() const { return FLimits.TimeMs; }
    void SetTimeLimit(qint64 milliseconds) { FLimits.TimeMs = milliseconds; }
    qint64 StatementLimit() const { return FLimits.Statements; }
    void SetStatementLimit(qint64 statements) { FLimits.Statements = statements; }
    qint64 MemoryLimit() const { return FLimits.MaxBytes; }
    void SetMemoryLimit(qint64 bytes) { FLimits.MaxBytes = bytes; }
    // Ends the current run of this script with EScriptAborted ("Script
    // terminated"). Callable from any thread; the next run starts afresh.
    void Terminate();

    // Changes whenever compiled code bound to this script's items may be
    // stale: a compile, Clear, a removed item.
    quint64 Generation() const { return FGeneration; }

    // Engine side: where the function values this script's programs make
    // are tracked, so that rings among them are freed (see Cycles_p.h).
    script::CycleCollector &Cycles() const;

signals:
    void linesChanged();
    void syntaxTypeChanged();
    void mainProgChanged();
    void extendedCharsetChanged();
    // A compile error, or a runtime error kept in ErrorMsg/ErrorPos
    // (position "line:column", empty when unknown).
    void scriptError(const QString &message, const QString &position);

private:
    void noteError();
    friend class TfsProcVariable;
    friend class TZORExpressionCache; // clears the main-program flag around one evaluation
    struct Limits
    {
        qint64 TimeMs = 0, Statements = 0, MaxBytes = 0;
    };
    // Runs fn under this script's limits.
    template <typename Fn>
    auto underLimits(Fn fn) -> decltype(fn());
    void recordRuntimeError(const Exception &e);

    void removeProgramItems();

    QStringList FLines;
    QString FErrorMsg, FErrorPos;
    TfsScript *FParent = nullptr;
    QString FSyntaxType = QStringLiteral("PascalScript");
    QObject *FAddedBy = nullptr;
    bool FMainProg = true;
    bool FExtendedCharset = false;
    int FAddingRTTI = 0;
    Limits FLimits;
    std::atomic<bool> FTerminate{false};
    quint64 FGeneration = 0;
    QList<TfsRTTIModuleClass> FModuleClasses;
    std::unique_ptr<script::Program> FProgram;
    std::vector<std::unique_ptr<TfsRTTIModule>> FModules;
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
