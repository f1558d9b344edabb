// The package's script class, the debugger hook, reference clearing and
// the event adapters.
#include <ZorCompCore/script/FastScriptUtils.h>

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <latch>

namespace zor {

namespace {

QMutex g_debuggerLock;
IPtr<IZORFastScriptDebugger> &globalDebugger()
{
    static IPtr<IZORFastScriptDebugger> debugger;
    return debugger;
}

// Interface values are the only ones dropped; the address is recorded in
// any case, because the value may hold one on a later run.
void clearValue(script::Value *v, TRuntimeDataVarRefList *list)
{
    if (v->HoldsInterface())
        *v = script::Value();
    if (list)
        list->push_back(v);
}

bool diName(const QString &name)
{
    return name.startsWith(QLatin1String("DI"));
}

bool methodHoldsInterfaces(TfsMethodHelper *m)
{
    if (m->Typ() == fvtClass && diName(m->TypeName()))
        return true;
    if (m->ClassVariable() && diName(m->ClassVariable()->Name()))
        return true;
    for (int i = 0; i < m->GetParamsCount(); ++i) {
        TfsParamItem *p = m->GetParam(i);
        if (p && p->Typ() == fvtClass && diName(p->TypeName()))
            return true;
    }
    return false;
}

void walk(const std::shared_ptr<TfsCustomVariable> &item, bool clearLocal, TRuntimeDataVarRefList *list, int depth)
{
    if (depth > 64)
        return;
    TfsCustomVariable *it = item.get();
    bool childrenLocal = clearLocal;
    if (auto *m = dynamic_cast<TfsMethodHelper *>(it)) {
        if (methodHoldsInterfaces(m)) {
            m->ReleaseRuntimeData();
            if (list) {
                list->MethodHelpers.push_back(m);
                list->Keep.push_back(item);
            }
        }
    } else if (auto *p = dynamic_cast<TfsPropertyHelper *>(it)) {
        if (p->ClassVariable() && diName(p->ClassVariable()->Name())) {
            clearValue(p->GetPValue(), list);
            if (list)
                list->Keep.push_back(item);
        }
    } else if (dynamic_cast<TfsProcVariable *>(it)) {
        childrenLocal = true; // the routine's own items count as locals
    } else if (dynamic_cast<TfsClassVariable *>(it)) {
        // members are the children below
    } else if (!(dynamic_cast<TfsVariable *>(it) && !clearLocal) && diName(it->TypeName())) {
        clearValue(it->GetPValue(), list);
        if (list)
            list->Keep.push_back(item);
    }
    for (const auto &child : it->Items())
        walk(child, childrenLocal, list, depth + 1);
}

} // namespace

void SetGlobalScriptDebugger(const IPtr<IZORFastScriptDebugger> &intf)
{
    QMutexLocker lock(&g_debuggerLock);
    globalDebugger() = intf;
}

IPtr<IZORFastScriptDebugger> GetScriptDebuggerIntf()
{
    QMutexLocker lock(&g_debuggerLock);
    return globalDebugger();
}

void detail::FastScriptUtilsShutdown()
{
    SetGlobalScriptDebugger(nullptr);
}

void TRuntimeDataVarRefList::ClearRefs()
{
    for (script::Value *v : *this)
        if (v->HoldsInterface())
            *v = script::Value();
    const int n = int(MethodHelpers.size());
    if (n < 21) {
        for (TfsMethodHelper *m : MethodHelpers)
            m->ReleaseRuntimeData();
        return;
    }
    // Many entries: release them on the pool, in as many slices as it has threads.
    QThreadPool *pool = QThreadPool::globalInstance();
    const int slices = std::max(1, std::min(n, pool->maxThreadCount()));
    // std::latch rather than a Qt semaphore: its atomics are visible to the
    // thread sanitizer, which cannot see inside the distribution's Qt.
    std::latch done(slices);
    for (int s = 0; s < slices; ++s) {
        const int from = n * s / slices, to = n * (s + 1) / slices;
        pool->start([this, from, to, &done] {
            for (int i = from; i < to; ++i)
                MethodHelpers[size_t(i)]->ReleaseRuntimeData();
            done.count_down();
        });
    }
    done.wait();
}

void ClearAllRefsOnRTTI(TfsScript *Script, bool AClearLocal, TRuntimeDataVarRefList *List)
{
    if (!Script)
        return;
    if (List && List->IsValid) {
        List->ClearRefs();
        return;
    }
    // Copy: a walk must not be disturbed by changes to the list it walks.
    const std::vector<std::shared_ptr<TfsCustomVariable>> items = Script->Items();
    for (const auto &item : items)
        walk(item, AClearLocal, List, 0);
}

// --- TfsZORScript -------------------------------------------------------

TfsZORScript::TfsZORScript(QObject *AOwner) : TfsScript(AOwner) {}

TfsZORScript::~TfsZORScript() = default;

void TfsZORScript::ReleaseRuntimeDataVarRefList()
{
    FRuntimeDataVarRefList[0].reset();
    FRuntimeDataVarRefList[1].reset();
}

void TfsZORScript::notifyError(const QString &message, const QString &position)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        Q_EMIT scriptError(message, position);
        return;
    }
    QMetaObject::invokeMethod(
        app,
        [self = QPointer<TfsZORScript>(this), message, position] {
            if (self)
                Q_EMIT self->scriptError(message, position);
        },
        Qt::QueuedConnection);
}

template <typename Fn>
auto TfsZORScript::reportingErrors(Fn fn) -> decltype(fn())
{
    try {
        return fn();
    } catch (const Exception &e) {
        notifyError(e.Message(), ErrorPos());
        throw;
    }
}

bool TfsZORScript::Compile()
{
    ReleaseRuntimeDataVarRefList();
    TfsScript::Lines() = FLines;
    PreProcessScript(TfsScript::Lines());
    const bool ok = TfsScript::Compile();
    if (!ok)
        notifyError(ErrorMsg(), ErrorPos());
    return ok;
}

void TfsZORScript::Execute(bool AClearRefs)
{
    reportingErrors([this] { TfsScript::Execute(); });
    if (MainStatementCount() > 0 && AClearRefs)
        ClearScriptRefs(FClearLocalRefsAfterExecute, true);
}

TfsProcVariable *TfsZORScript::FindLocalProcVar(const QString &AName) const
{
    return dynamic_cast<TfsProcVariable *>(FindLocal(AName));
}

Variant TfsZORScript::CallFunction(const QString &Name, const Variant &Params, bool AClearRTTIRefs)
{
    TfsProcVariable *func = FindLocalProcVar(Name);
    const Variant r = reportingErrors([&] { return CallFunctionProcVar(func, Params); });
    if (func && AClearRTTIRefs)
        ClearScriptRefs(FClearLocalRefsAfterExecute, true);
    return r;
}

Variant TfsZORScript::CallFunction1(const QString &Name, Variant &Params, bool AClearRTTIRefs)
{
    TfsProcVariable *func = FindLocalProcVar(Name);
    const Variant r = reportingErrors([&] { return CallFunctionProcVarBackParams(func, Params); });
    if (func && AClearRTTIRefs)
        ClearScriptRefs(FClearLocalRefsAfterExecute, true);
    return r;
}

Variant TfsZORScript::CallFunction2(TfsProcVariable *Func, const Variant &Params, bool AClearRTTIRefs)
{
    const Variant r = reportingErrors([&] { return CallFunctionProcVar(Func, Params); });
    if (Func && AClearRTTIRefs)
        ClearScriptRefs(FClearLocalRefsAfterExecute, true);
    return r;
}

namespace {

// Sets parameter i to element i of an array of arguments.
void setParams(TfsProcVariable *func, const Variant &params)
{
    const Variant &p = params.Deref();
    if (!p.IsArray())
        return;
    const int low = p.ArrayLowBound(), count = p.ArrayCount();
    for (int i = 0; i < count && i < func->GetParamsCount(); ++i)
        func->GetParam(i)->SetValue(p.ArrayGet(low + i));
}

struct SavedLocals
{
    TfsProcVariable *func;
    bool saved;
    explicit SavedLocals(TfsProcVariable *f) : func(f), saved(f->NeedRecursion())
    {
        if (saved)
            func->SaveLocalVariables();
    }
    ~SavedLocals()
    {
        if (saved)
            func->RestoreLocalVariables();
    }
};

} // namespace

Variant TfsZORScript::CallFunctionProcVar(TfsProcVariable *Func, const Variant &Params)
{
    if (!Func)
        return Variant::Null();
    SavedLocals locals(Func);
    setParams(Func, Params);
    NotifyScriptDebugger(Func, Params);
    return Func->Value();
}

Variant TfsZORScript::CallFunctionProcVarBackParams(TfsProcVariable *Func, Variant &Params)
{
    if (!Func)
        return Variant::Null();
    SavedLocals locals(Func);
    setParams(Func, Params);
    NotifyScriptDebugger(Func, Params);
    const Variant r = Func->Value();
    Variant &p = Params.Deref();
    if (p.IsArray()) {
        const int low = p.ArrayLowBound(), high = p.ArrayHighBound();
        for (int i = 0; i < Func->GetParamsCount() && low + i <= high; ++i)
            if (Func->GetParam(i)->IsVarParam())
                p.ArrayPut(low + i, Func->GetParam(i)->Value());
    }
    return r;
}

void TfsZORScript::NotifyScriptDebugger(TfsProcVariable *Func, const Variant &Params)
{
    const IPtr<IZORFastScriptDebugger> debugger = GetScriptDebuggerIntf();
    if (debugger && debugger->IsDebuggerActive())
        debugger->BeforeCallFunction(this, Func, Params);
}

void TfsZORScript::ClearScriptRefs(bool AClearLocalRefs, bool ABuildCache)
{
    auto &slot = FRuntimeDataVarRefList[AClearLocalRefs ? 1 : 0];
    if (ABuildCache && !slot)
        slot = std::make_unique<TRuntimeDataVarRefList>();
    ClearAllRefsOnRTTI(this, AClearLocalRefs, slot.get());
    if (slot)
        slot->IsValid = true;
    if (FAutoClearParentRTTIRefs && Parent()) {
        if (auto *zp = qobject_cast<TfsZORScript *>(Parent()))
            zp->ClearScriptRefs(AClearLocalRefs, ABuildCache);
        else
            ClearAllRefsOnRTTI(Parent(), AClearLocalRefs, nullptr);
    }
}

QString TfsZORScript::GetCommentChar(TScriptCommentType ACommentType) const
{
    const QString lang = SyntaxType();
    if (lang.compare(u"BasicScript", Qt::CaseInsensitive) == 0)
        return QStringLiteral(" ' ");
    const bool pascal = lang.compare(u"PascalScript", Qt::CaseInsensitive) == 0;
    switch (ACommentType) {
    case ctWholeLine: return QStringLiteral(" // ");
    case ctStart: return pascal ? QStringLiteral(" (* ") : QStringLiteral(" /* ");
    case ctEnd: return pascal ? QStringLiteral(" *) ") : QStringLiteral(" */ ");
    }
    return QString();
}

void TfsZORScript::PreProcessScript(QStringList &Lines)
{
    std::vector<TDirectiveData> stack;
    auto anyInactive = [&] {
        return std::any_of(stack.begin(), stack.end(), [](const TDirectiveData &d) { return !d.IsActive; });
    };
    for (QString &line : Lines) {
        qsizetype p = line.indexOf(u"{$");
        if (p < 0) {
            if (anyInactive())
                line.prepend(GetCommentChar(ctWholeLine));
            continue;
        }
        while (p >= 0) {
            const qsizetype e = line.indexOf(u'}', p + 2);
            if (e < 0)
                break; // an unclosed directive: the rest of the line is left alone
            // "{$WORD argument}": the word up to the first blank, the argument
            // after it; a directive without a blank ("{$ENDIF}") is just its word.
            const QString body = line.mid(p + 2, e - p - 2);
            const qsizetype blank = body.indexOf(u' ');
            const QString word = (blank < 0 ? body : body.left(blank)).trimmed().toUpper();
            const QString arg = (blank < 0 ? QString() : body.mid(blank + 1)).trimmed().toUpper();
            QString insert;
            if (word == u"ELSE") {
                if (!stack.empty()) {
                    stack.back().IsActive = !stack.back().IsActive;
                    insert = GetCommentChar(stack.back().IsActive ? ctEnd : ctStart);
                }
            } else if (word == u"ENDIF") {
                if (!stack.empty()) {
                    if (!stack.back().IsActive)
                        insert = GetCommentChar(ctEnd);
                    stack.pop_back();
                }
            } else {
                TDirectiveData entry;
                entry.DirectiveName = arg;
                entry.IsActive = false;
                if (word == u"IFDEF" || word == u"IFDEFVAR")
                    entry.IsActive = Find(arg) != nullptr;
                else if (word == u"IFNDEF" || word == u"IFNDEFVAR")
                    entry.IsActive = Find(arg) == nullptr;
                if (!entry.IsActive)
                    insert = GetCommentChar(ctStart);
                stack.push_back(entry);
            }
            line.insert(e + 1, insert);
            p = line.indexOf(u"{$", e + 1 + insert.size());
        }
    }
}

QString TfsZORScript::CreateScriptConstName(const QString &ATypeName)
{
    QString r = ATypeName;
    for (QChar &c : r) {
        const char16_t u = c.unicode();
        const bool ok = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
        if (!ok)
            c = u'_';
    }
    // An identifier cannot start with a digit.
    if (!r.isEmpty() && r[0].isDigit())
        r.prepend(u'_');
    return r;
}

// --- events ---------------------------------------------------------------

void TZORCustomEvent::clearParentRefs()
{
    if (!FHandler)
        return;
    if (auto *z = qobject_cast<TfsZORScript *>(FHandler->Script()))
        z->ClearScriptRefs(false, true);
}

void TZORCustomEvent::CallHandler(const QList<Variant> &Params)
{
    TfsCustomEvent::CallHandler(Params);
    clearParentRefs();
}

void TZORCustomEvent::CallVarHandler(QList<Variant> &Params)
{
    if (!FHandler)
        return;
    {
        SavedLocals locals(FHandler);
        for (int i = 0; i < FHandler->GetParamsCount() && i < Params.size(); ++i)
            FHandler->GetParam(i)->SetValue(Params[i]);
        FHandler->Value();
        for (int i = 0; i < FHandler->GetParamsCount() && i < Params.size(); ++i)
            if (FHandler->GetParam(i)->IsVarParam())
                Params[i] = FHandler->GetParam(i)->Value();
    }
    clearParentRefs();
}

namespace {

// Receives a signal through the string-based connection and forwards it.
class SignalReceiver : public QObject
{
    Q_OBJECT
public:
    explicit SignalReceiver(TZORCustomNotifyEvent *event) : m_event(event) {}

public Q_SLOTS:
    void fire() { m_event->DoEvent(sender()); }

private:
    TZORCustomNotifyEvent *m_event;
};

} // namespace

TZORCustomNotifyEvent::TZORCustomNotifyEvent(QObject *AObject, TfsProcVariable *AHandler)
    : TZORCustomEvent(AObject, AHandler)
{
}

TZORCustomNotifyEvent::~TZORCustomNotifyEvent() = default;

void TZORCustomNotifyEvent::DoEvent(QObject *Sender)
{
    script::RegisterObject(Sender);
    CallHandler({Variant(qint64(quintptr(Sender)))});
}

std::function<void(QObject *)> TZORCustomNotifyEvent::GetMethod()
{
    return [this](QObject *sender) { DoEvent(sender); };
}

bool TZORCustomNotifyEvent::ConnectSignal(QObject *sender, const char *signal)
{
    if (!FReceiver)
        FReceiver = std::make_unique<SignalReceiver>(this);
    return bool(QObject::connect(sender, signal, FReceiver.get(), SLOT(fire())));
}

} // namespace zor

#include "FastScriptUtils.moc"
