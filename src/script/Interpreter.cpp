// Host API of the script engine: the script component and its items.
#include <ZorCompCore/script/Interpreter.h>

#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Compiler.h>
#include <ZorCompCore/script/Cycles_p.h>
#include <ZorCompCore/script/Parser.h>
#include <ZorCompCore/script/Runtime_p.h>

#include <QHash>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QMutex>
#include <QSet>
#include <QThread>

namespace zor {

using script::Value;
using script::VK;

namespace {

QString shortClassName(const char *name)
{
    QString n = QString::fromLatin1(name);
    const qsizetype p = n.lastIndexOf(u"::");
    return p >= 0 ? n.mid(p + 2) : n;
}

// Type names that are values, not classes: any other result type of a host
// method names a class, and an integer it returns is an object address.
bool isValueType(const QString &typeName)
{
    static const QSet<QString> names = {
        QStringLiteral("INTEGER"), QStringLiteral("INT64"), QStringLiteral("CARDINAL"), QStringLiteral("BYTE"),
        QStringLiteral("WORD"), QStringLiteral("SMALLINT"), QStringLiteral("LONGINT"), QStringLiteral("DOUBLE"),
        QStringLiteral("EXTENDED"), QStringLiteral("SINGLE"), QStringLiteral("REAL"), QStringLiteral("CURRENCY"),
        QStringLiteral("STRING"), QStringLiteral("ANSISTRING"), QStringLiteral("WIDESTRING"),
        QStringLiteral("UTF8STRING"), QStringLiteral("CHAR"), QStringLiteral("BOOLEAN"), QStringLiteral("VARIANT"),
        QStringLiteral("OLEVARIANT"), QStringLiteral("TDATETIME"), QStringLiteral("TDATE"), QStringLiteral("TTIME"),
        QStringLiteral("TBYTES"), QStringLiteral("POINTER"), QStringLiteral(""),
    };
    return names.contains(typeName.toUpper());
}

TfsVarType typeCodeOf(const QString &typeName)
{
    const QString t = typeName.toUpper();
    if (t == u"INTEGER" || t == u"INT64" || t == u"CARDINAL" || t == u"BYTE" || t == u"WORD" || t == u"LONGINT")
        return fvtInt;
    if (t == u"BOOLEAN")
        return fvtBool;
    if (t == u"DOUBLE" || t == u"EXTENDED" || t == u"SINGLE" || t == u"REAL" || t == u"CURRENCY")
        return fvtFloat;
    if (t == u"STRING" || t == u"ANSISTRING" || t == u"WIDESTRING" || t == u"UTF8STRING")
        return fvtString;
    if (t == u"CHAR")
        return fvtChar;
    if (isValueType(typeName))
        return fvtVariant;
    return fvtClass;
}

// A literal default of a declaration ("= ''", "= -1", "= true").
bool literalDefault(const script::Expr &e, Variant &out)
{
    if (e.Kind == script::EK::Literal) {
        out = e.Lit.ToVariant();
        return true;
    }
    if (e.Kind == script::EK::Unary && e.Oper == script::Op::Neg && e.A && e.A->Kind == script::EK::Literal) {
        out = script::Neg(e.A->Lit).ToVariant();
        return true;
    }
    return false;
}

QMutex g_autoLock;
QHash<const QMetaObject *, std::shared_ptr<TfsClassVariable>> &autoClasses()
{
    static QHash<const QMetaObject *, std::shared_ptr<TfsClassVariable>> classes;
    return classes;
}

// A class made from a QObject class that no script registered.
TfsClassVariable *autoClass(const QMetaObject *meta)
{
    if (!meta)
        return nullptr;
    QMutexLocker lock(&g_autoLock);
    auto &map = autoClasses();
    auto it = map.find(meta);
    if (it != map.end())
        return it->get();
    auto cls = std::make_shared<TfsClassVariable>(shortClassName(meta->className()),
                                                  meta->superClass() ? shortClassName(meta->superClass()->className())
                                                                     : QString(),
                                                  meta);
    map.insert(meta, cls);
    return cls.get();
}

} // namespace

// --- errors -----------------------------------------------------------------

EfsScriptError::EfsScriptError(QString message, QByteArray className)
    : Exception(std::move(message)), FClassName(std::move(className))
{
}

// --- item lists -------------------------------------------------------------

TfsItemList::TfsItemList() = default;
TfsItemList::~TfsItemList() = default;

void TfsItemList::Add(std::shared_ptr<TfsCustomVariable> item)
{
    FItems.push_back(std::move(item));
}

void TfsItemList::Remove(TfsCustomVariable *item)
{
    for (auto it = FItems.begin(); it != FItems.end(); ++it) {
        if (it->get() == item) {
            FItems.erase(it);
            return;
        }
    }
}

std::shared_ptr<TfsCustomVariable> TfsItemList::Shared(const TfsCustomVariable *item) const
{
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it)
        if (it->get() == item)
            return *it;
    return nullptr;
}

void TfsItemList::ClearList()
{
    FItems.clear();
}

// --- items ------------------------------------------------------------------

TfsCustomVariable::TfsCustomVariable(const QString &AName, TfsVarType ATyp, const QString &ATypeName)
    : FName(AName), FTyp(ATyp), FTypeName(ATypeName)
{
}

TfsCustomVariable::~TfsCustomVariable() = default;

Variant TfsCustomVariable::Value()
{
    return FValue.ToVariant();
}

void TfsCustomVariable::SetValue(const Variant &v)
{
    FValue = script::Value::FromVariant(v);
}

TfsParamItem *TfsCustomVariable::GetParam(int i) const
{
    return dynamic_cast<TfsParamItem *>(GetItem(i));
}

void TfsVariable::SetRawValue(script::Value v)
{
    FValue = std::move(v);
}

TfsParamItem::TfsParamItem(const QString &AName, TfsVarType ATyp, const QString &ATypeName, bool AIsVarParam)
    : TfsCustomVariable(AName, ATyp, ATypeName), FIsVarParam(AIsVarParam)
{
}

void TfsParamItem::SetDefault(const Variant &v)
{
    FHasDefault = true;
    FDefValue = v;
    FValue = script::Value::FromVariant(v);
}

TfsProcVariable::TfsProcVariable(const QString &AName, TfsVarType ATyp, const QString &ATypeName, bool AIsFunc)
    : TfsCustomVariable(AName, ATyp, ATypeName), FIsFunc(AIsFunc)
{
}

TfsProcVariable::~TfsProcVariable() = default;

void TfsProcVariable::SetEngineRoutine(std::shared_ptr<script::Routine> r, TfsScript *script)
{
    FRoutine = std::move(r);
    FScript = script;
}

Variant TfsProcVariable::Value()
{
    if (!FRoutine)
        return Variant();
    std::vector<script::Value> args;
    args.reserve(size_t(Count()));
    for (int i = 0; i < Count(); ++i) {
        TfsParamItem *p = GetParam(i);
        args.push_back(p->IsVarParam() ? script::Value::Reference(p->GetPValue()) : *p->GetPValue());
    }
    struct Running
    {
        int &n;
        explicit Running(int &c) : n(c) { ++n; }
        ~Running() { --n; }
    } running(FRunning);
    if (!FScript) {
        FValue = script::Invoke(*FRoutine, args);
        return FValue.ToVariant();
    }
    try {
        FValue = FScript->underLimits([&] { return script::Invoke(*FRoutine, args); });
    } catch (const Exception &e) {
        FScript->recordRuntimeError(e);
        throw;
    }
    return FValue.ToVariant();
}

void TfsProcVariable::SaveLocalVariables()
{
    std::vector<script::Value> saved;
    for (int i = 0; i < Count(); ++i)
        saved.push_back(*GetItem(i)->GetPValue());
    saved.push_back(FValue);
    FSaved.push_back(std::move(saved));
}

void TfsProcVariable::RestoreLocalVariables()
{
    if (FSaved.empty())
        return;
    std::vector<script::Value> saved = std::move(FSaved.back());
    FSaved.pop_back();
    for (int i = 0; i < Count() && size_t(i) < saved.size(); ++i)
        *GetItem(i)->GetPValue() = saved[size_t(i)];
    if (!saved.empty())
        FValue = saved.back();
}

TfsMethodHelper::TfsMethodHelper(const QString &ADeclaration, TfsCallMethodEvent AHandler, TfsClassVariable *AClass)
    : TfsCustomVariable(QString(), fvtVariant, QString()), FDeclaration(ADeclaration), FHandler(std::move(AHandler)),
      FClass(AClass)
{
    script::RoutineDef r;
    try {
        r = script::ParseRoutineHeader(ADeclaration);
    } catch (const script::SyntaxError &e) {
        throw EfsScriptError(QStringLiteral("Invalid declaration '%1': %2").arg(ADeclaration, e.Message));
    }
    FName = r.Name;
    FIsFunc = r.IsFunction;
    FTypeName = r.ResultType;
    FTyp = typeCodeOf(r.ResultType);
    for (script::ParamDef &p : r.Params) {
        auto param = std::make_shared<TfsParamItem>(p.Name, typeCodeOf(p.TypeName), p.TypeName, p.ByRef);
        Variant def;
        if (p.Default && literalDefault(*p.Default, def))
            param->SetDefault(def);
        Add(param);
    }
}

TfsMethodHelper::~TfsMethodHelper() = default;

namespace {

// The host calls in progress on this thread, innermost last: a handler reads
// its arguments from its own call's frame, whatever other thread calls the
// same helper meanwhile.
struct HostCall
{
    const TfsMethodHelper *helper;
    std::vector<script::Value> *args;
};
thread_local std::vector<HostCall> t_hostCalls;

std::vector<script::Value> *callFrame(const TfsMethodHelper *m)
{
    for (auto it = t_hostCalls.rbegin(); it != t_hostCalls.rend(); ++it)
        if (it->helper == m)
            return it->args;
    return nullptr;
}

} // namespace

Variant TfsMethodHelper::GetVParam(int i) const
{
    if (const auto *args = callFrame(this))
        return i >= 0 && size_t(i) < args->size() ? (*args)[size_t(i)].ToVariant() : Variant();
    QMutexLocker lock(&FLastLock);
    return i >= 0 && size_t(i) < FParams.size() ? FParams[size_t(i)].ToVariant() : Variant();
}

void TfsMethodHelper::SetVParam(int i, const Variant &v)
{
    if (auto *args = callFrame(this)) {
        if (i >= 0 && size_t(i) < args->size())
            (*args)[size_t(i)] = script::Value::FromVariant(v);
        return;
    }
    QMutexLocker lock(&FLastLock);
    if (i >= 0 && size_t(i) < FParams.size())
        FParams[size_t(i)] = script::Value::FromVariant(v);
}

int TfsMethodHelper::ParamCount() const
{
    if (const auto *args = callFrame(this))
        return int(args->size());
    QMutexLocker lock(&FLastLock);
    return int(FParams.size());
}

void TfsMethodHelper::ReleaseRuntimeData()
{
    std::vector<script::Value> last;
    {
        QMutexLocker lock(&FLastLock);
        last.swap(FParams);
    }
    FValue = script::Value();
    // the values (interfaces among them) go here, outside the lock
}

namespace {

script::Value fromQVariant(const QVariant &v)
{
    if (v.metaType().flags() & QMetaType::PointerToQObject) {
        QObject *o = *reinterpret_cast<QObject *const *>(v.constData());
        script::RegisterObject(o);
        return script::Value::Object(o);
    }
    return script::Value::FromVariant(Variant::FromQVariant(v));
}

QVariant toQVariant(const script::Value &v, QMetaType target)
{
    if (target.flags() & QMetaType::PointerToQObject) {
        QObject *o = v.ToObject();
        return QVariant(target, &o);
    }
    QVariant q = v.ToVariant().ToQVariant();
    if (target.id() == QMetaType::QVariant)
        return q;
    if (!q.convert(target))
        throw EInvalidCast(QStringLiteral("Invalid argument type: %1 expected")
                               .arg(QString::fromLatin1(target.name())));
    return q;
}

script::Value invokeMeta(QObject *instance, int index, std::vector<script::Value> &args)
{
    if (!instance)
        throw EfsScriptError(QStringLiteral("Access violation: method needs an object"), "EAccessViolation");
    const QMetaMethod mm = instance->metaObject()->method(index);
    const int n = mm.parameterCount();
    if (n > 10 || int(args.size()) < n)
        throw EfsScriptError(QStringLiteral("Not enough actual parameters"));
    QVariant storage[10];
    QGenericArgument gargs[10];
    for (int i = 0; i < n; ++i) {
        storage[i] = toQVariant(args[size_t(i)], mm.parameterMetaType(i));
        // A QVariant parameter takes the variant itself: wrap it once more,
        // so that the argument's data is a QVariant, not what it holds.
        if (mm.parameterMetaType(i).id() == QMetaType::QVariant)
            storage[i] = QVariant::fromValue(storage[i]);
        gargs[i] = QGenericArgument(mm.parameterMetaType(i).name(), storage[i].constData());
    }
    QVariant ret;
    if (mm.returnMetaType().id() != QMetaType::Void && mm.returnMetaType().isValid())
        ret = QVariant(mm.returnMetaType());
    QGenericReturnArgument gret(mm.typeName(), ret.isValid() ? ret.data() : nullptr);
    if (!mm.invoke(instance, Qt::DirectConnection, gret, gargs[0], gargs[1], gargs[2], gargs[3], gargs[4],
                   gargs[5], gargs[6], gargs[7], gargs[8], gargs[9]))
        throw EfsScriptError(QStringLiteral("Could not call method '%1'").arg(QString::fromLatin1(mm.name())));
    // A QVariant result holds the method's variant: unwrap it (an invalid one is nothing).
    if (mm.returnMetaType().id() == QMetaType::QVariant) {
        const QVariant inner = *static_cast<const QVariant *>(ret.constData());
        return inner.isValid() ? fromQVariant(inner) : script::Value();
    }
    return ret.isValid() ? fromQVariant(ret) : script::Value();
}

} // namespace

script::Value TfsMethodHelper::Call(QObject *instance, std::vector<script::Value> &args)
{
    t_hostCalls.push_back({this, &args});
    struct Pop
    {
        ~Pop() { t_hostCalls.pop_back(); }
    } pop;
    script::Value r;
    if (FHandler) {
        const Variant v = FHandler(instance, FClass, FName.toUpper(), this);
        r = script::Value::FromVariant(v);
        // An integer from a method typed with a class is an object address.
        if (r.k == VK::Int && !isValueType(FTypeName) && FIsFunc) {
            QObject *o = reinterpret_cast<QObject *>(quintptr(r.i));
            script::RegisterObject(o);
            r = script::Value::Object(o);
        }
    } else if (FMetaMethod >= 0) {
        r = invokeMeta(instance, FMetaMethod, args);
    }
    // Kept until released, as a script host expects; the old ones are let go
    // outside the lock.
    std::vector<script::Value> last = args;
    {
        QMutexLocker lock(&FLastLock);
        FParams.swap(last);
    }
    return r;
}

TfsPropertyHelper::TfsPropertyHelper(const QString &AName, const QString &ATypeName, TfsClassVariable *AClass)
    : TfsCustomVariable(AName, typeCodeOf(ATypeName), ATypeName), FClass(AClass)
{
}

script::Value TfsPropertyHelper::Get(QObject *instance)
{
    script::Value v;
    if (OnGetValue) {
        v = script::Value::FromVariant(OnGetValue(instance, FClass, FName.toUpper()));
    } else if (FMetaProperty >= 0 && instance) {
        v = fromQVariant(instance->metaObject()->property(FMetaProperty).read(instance));
    } else {
        throw EfsScriptError(QStringLiteral("Property '%1' cannot be read").arg(FName));
    }
    // The helper may be shared by scripts on other threads: the last value
    // is stored in turn, and the one it replaces is let go outside the lock.
    script::Value last = v;
    {
        QMutexLocker lock(&FLastLock);
        std::swap(FValue, last);
    }
    return v;
}

void TfsPropertyHelper::Set(QObject *instance, const script::Value &v)
{
    if (OnSetValue) {
        OnSetValue(instance, FClass, FName.toUpper(), v.ToVariant());
        return;
    }
    if (FMetaProperty >= 0 && instance) {
        const QMetaProperty p = instance->metaObject()->property(FMetaProperty);
        if (p.isWritable() && p.write(instance, toQVariant(v, p.metaType())))
            return;
    }
    throw EfsScriptError(QStringLiteral("Cannot assign to a read-only property '%1'").arg(FName));
}

TfsClassVariable::TfsClassVariable(const QString &AName, const QString &AAncestor, const QMetaObject *AMeta)
    : TfsCustomVariable(AName, fvtClass, AName), FAncestor(AAncestor), FMeta(AMeta)
{
    if (!AMeta)
        return;
    // Properties and invokable methods declared by this class itself; the
    // inherited ones are found through the ancestor.
    for (int i = AMeta->propertyOffset(); i < AMeta->propertyCount(); ++i) {
        const QMetaProperty p = AMeta->property(i);
        auto ph = std::make_shared<TfsPropertyHelper>(QString::fromLatin1(p.name()),
                                                      QString::fromLatin1(p.typeName()), this);
        ph->FMetaProperty = i;
        Add(ph);
    }
    QSet<QString> seen;
    for (int i = AMeta->methodOffset(); i < AMeta->methodCount(); ++i) {
        const QMetaMethod m = AMeta->method(i);
        if (m.access() != QMetaMethod::Public
            || (m.methodType() != QMetaMethod::Method && m.methodType() != QMetaMethod::Slot))
            continue;
        const QString name = QString::fromLatin1(m.name());
        if (seen.contains(name.toUpper()))
            continue; // overloads made for default arguments: the first is the full one
        seen.insert(name.toUpper());
        QStringList params;
        const QList<QByteArray> names = m.parameterNames();
        for (int p = 0; p < m.parameterCount(); ++p) {
            const QString pn = p < names.size() && !names[p].isEmpty() ? QString::fromLatin1(names[p])
                                                                       : QStringLiteral("A%1").arg(p + 1);
            params << pn + QStringLiteral(": Variant");
        }
        const bool isFunc = m.returnMetaType().id() != QMetaType::Void;
        QString decl = (isFunc ? QStringLiteral("function ") : QStringLiteral("procedure ")) + name;
        if (!params.isEmpty())
            decl += u'(' + params.join(QStringLiteral("; ")) + u')';
        if (isFunc)
            decl += QStringLiteral(": Variant");
        auto mh = std::make_shared<TfsMethodHelper>(decl, TfsCallMethodEvent(), this);
        mh->FMetaMethod = i;
        Add(mh);
    }
}

TfsMethodHelper *TfsClassVariable::AddMethod(const QString &ADeclaration, TfsCallMethodEvent ACallEvent)
{
    auto m = std::make_shared<TfsMethodHelper>(ADeclaration, std::move(ACallEvent), this);
    TfsMethodHelper *raw = m.get();
    Add(m);
    return raw;
}

TfsPropertyHelper *TfsClassVariable::AddProperty(const QString &AName, const QString &ATypeName,
                                                 TfsGetValueEvent AGetEvent, TfsSetValueEvent ASetEvent)
{
    auto p = std::make_shared<TfsPropertyHelper>(AName, ATypeName, this);
    p->OnGetValue = std::move(AGetEvent);
    p->OnSetValue = std::move(ASetEvent);
    TfsPropertyHelper *raw = p.get();
    Add(p);
    return raw;
}

TfsCustomVariable *TfsClassVariable::FindMember(const QString &AName, const TfsScript *AScript) const
{
    const TfsClassVariable *c = this;
    for (int depth = 0; c && depth < 64; ++depth) {
        // the latest registration wins
        for (int i = c->Count() - 1; i >= 0; --i)
            if (c->GetItem(i)->Name().compare(AName, Qt::CaseInsensitive) == 0)
                return c->GetItem(i);
        const TfsClassVariable *next = nullptr;
        if (!c->FAncestor.isEmpty() && AScript)
            next = dynamic_cast<TfsClassVariable *>(AScript->Find(c->FAncestor));
        if ((!next || next == c) && c->FMeta && c->FMeta->superClass())
            next = AScript ? AScript->FindClass(c->FMeta->superClass()) : autoClass(c->FMeta->superClass());
        if (next == c)
            break;
        c = next;
    }
    return nullptr;
}

// --- modules, events ----------------------------------------------------

TfsRTTIModule::TfsRTTIModule(TfsScript *AScript) : FScript(AScript) {}
TfsRTTIModule::~TfsRTTIModule() = default;

QList<TfsRTTIModuleClass> &fsRTTIModules()
{
    static QList<TfsRTTIModuleClass> modules;
    return modules;
}

TfsCustomEvent::TfsCustomEvent(QObject *AObject, TfsProcVariable *AHandler)
    : FInstance(AObject), FHandler(AHandler)
{
}

TfsCustomEvent::~TfsCustomEvent() = default;

void TfsCustomEvent::CallHandler(const QList<Variant> &Params)
{
    TfsScript::CallProc(FHandler, Params);
}

std::function<void(QObject *)> TfsCustomEvent::GetMethod()
{
    return {};
}

// --- the script ---------------------------------------------------------

struct TfsScript::Private
{
    // Upper-case name -> the latest item of that name.
    QHash<QString, TfsCustomVariable *> Index;
    script::CycleCollector Cycles;
};

TfsScript::TfsScript(QObject *AOwner) : TComponent(AOwner), d(std::make_unique<Private>()) {}

TfsScript::~TfsScript()
{
    FProgram.reset();
    FModules.clear();
    // the items go before the collection: a ring one of them held is free then
    ClearList();
    d->Index.clear();
    d->Cycles.Collect();
}

script::CycleCollector &TfsScript::Cycles() const
{
    return d->Cycles;
}

void TfsScript::Add(std::shared_ptr<TfsCustomVariable> item)
{
    if (!item->FAddedBy)
        item->FAddedBy = FAddedBy;
    item->FRTTIItem = FAddingRTTI > 0;
    d->Index.insert(item->Name().toUpper(), item.get());
    TfsItemList::Add(std::move(item));
}

void TfsScript::Remove(TfsCustomVariable *item)
{
    ++FGeneration;
    const QString key = item->Name().toUpper();
    TfsItemList::Remove(item);
    auto it = d->Index.find(key);
    if (it != d->Index.end() && *it == item) {
        d->Index.erase(it);
        // another item of the same name becomes visible again
        for (auto rit = FItems.rbegin(); rit != FItems.rend(); ++rit) {
            if ((*rit)->Name().toUpper() == key) {
                d->Index.insert(key, rit->get());
                break;
            }
        }
    }
}

void TfsScript::removeProgramItems()
{
    std::vector<TfsCustomVariable *> doomed;
    for (auto &i : FItems)
        if (i->IsProgramItem())
            doomed.push_back(i.get());
    for (TfsCustomVariable *i : doomed)
        Remove(i);
}

void TfsScript::Clear()
{
    ++FGeneration;
    FProgram.reset();
    std::vector<TfsCustomVariable *> doomed;
    for (auto &i : FItems)
        if (!i->FRTTIItem)
            doomed.push_back(i.get());
    for (TfsCustomVariable *i : doomed)
        Remove(i);
    d->Cycles.Collect();
    FErrorMsg.clear();
    FErrorPos.clear();
}

void TfsScript::AddRTTI()
{
    // A counter, not a flag: a module may call AddRTTI again while it registers.
    ++FAddingRTTI;
    struct Reset
    {
        int &depth;
        ~Reset() { --depth; }
    } reset{FAddingRTTI};
    AddScriptClass(QStringLiteral("TObject"), QString());
    const QList<TfsRTTIModuleClass> modules = fsRTTIModules();
    for (TfsRTTIModuleClass cls : modules) {
        if (FModuleClasses.contains(cls))
            continue;
        FModuleClasses.append(cls);
        FModules.emplace_back(cls(this));
    }
}

TfsClassVariable *TfsScript::AddScriptClass(const QMetaObject *AMeta, const QString &AAncestorName)
{
    return AddScriptClass(shortClassName(AMeta->className()), AAncestorName, AMeta);
}

TfsClassVariable *TfsScript::AddScriptClass(const QString &AClassName, const QString &AAncestorName,
                                            const QMetaObject *AMeta)
{
    if (auto *existing = dynamic_cast<TfsClassVariable *>(FindLocal(AClassName))) {
        // a module that builds on a class registered before keeps it over Clear
        if (FAddingRTTI > 0)
            existing->FRTTIItem = true;
        return existing;
    }
    auto cls = std::make_shared<TfsClassVariable>(AClassName, AAncestorName, AMeta);
    TfsClassVariable *raw = cls.get();
    Add(cls);
    return raw;
}

void TfsScript::AddScriptObject(const QString &AName, QObject *AObj)
{
    script::RegisterObject(AObj);
    auto v = std::make_shared<TfsVariable>(AName, fvtClass,
                                           AObj ? shortClassName(AObj->metaObject()->className()) : QString());
    v->SetRawValue(script::Value::Object(AObj));
    v->SetIsReadOnly(true);
    Add(v);
}

TfsMethodHelper *TfsScript::AddScriptMethod(const QString &ADeclaration, TfsCallMethodEvent AHandler,
                                            const QString &ACategory, const QString &ADescription)
{
    auto m = std::make_shared<TfsMethodHelper>(ADeclaration, std::move(AHandler), nullptr);
    m->Category = ACategory;
    m->Description = ADescription;
    TfsMethodHelper *raw = m.get();
    Add(m);
    return raw;
}

void TfsScript::AddScriptType(const QString &AName, int ATypeCode)
{
    // The type name "@type" marks a type item (no script name can hold "@").
    Add(std::make_shared<TfsCustomVariable>(AName, TfsVarType(ATypeCode), QStringLiteral("@type")));
}

void TfsScript::AddScriptConst(const QString &AName, const QString &ATypeName, const Variant &AValue)
{
    auto v = std::make_shared<TfsVariable>(AName, typeCodeOf(ATypeName), ATypeName);
    v->SetValue(AValue);
    v->SetIsReadOnly(true);
    Add(v);
}

TfsVariable *TfsScript::AddScriptVariable(const QString &AName, const QString &ATypeName, const Variant &AValue)
{
    auto v = std::make_shared<TfsVariable>(AName, typeCodeOf(ATypeName), ATypeName);
    v->SetValue(AValue);
    TfsVariable *raw = v.get();
    Add(v);
    return raw;
}

void TfsScript::SetVariables(const QString &AName, const Variant &AValue)
{
    if (auto *v = dynamic_cast<TfsVariable *>(FindLocal(AName)); v && !v->IsReadOnly()) {
        v->SetValue(AValue);
        return;
    }
    AddScriptVariable(AName, QStringLiteral("Variant"), AValue);
}

Variant TfsScript::Variables(const QString &AName) const
{
    TfsCustomVariable *v = Find(AName);
    return v ? v->Value() : Variant();
}

void TfsScript::SetLines(const QStringList &lines)
{
    if (FLines == lines)
        return;
    FLines = lines;
    emit linesChanged();
}

void TfsScript::SetSyntaxType(const QString &ALanguage)
{
    if (FSyntaxType == ALanguage)
        return;
    FSyntaxType = ALanguage;
    emit syntaxTypeChanged();
}

void TfsScript::SetMainProg(bool v)
{
    if (FMainProg == v)
        return;
    FMainProg = v;
    emit mainProgChanged();
}

void TfsScript::SetExtendedCharset(bool v)
{
    if (FExtendedCharset == v)
        return;
    FExtendedCharset = v;
    emit extendedCharsetChanged();
}

// Scripts also run in worker threads (reports in the background): the signal
// reaches the script's own thread, as Qt code connected to it expects.
void TfsScript::noteError()
{
    const QString message = FErrorMsg, position = FErrorPos;
    if (QThread::currentThread() == thread())
        emit scriptError(message, position);
    else
        QMetaObject::invokeMethod(
            this, [this, message, position] { emit scriptError(message, position); }, Qt::QueuedConnection);
}

bool TfsScript::Compile()
{
    ++FGeneration;
    FErrorMsg.clear();
    FErrorPos.clear();
    FProgram.reset();
    removeProgramItems();
    d->Cycles.Collect();
    script::Syntax syntax;
    if (!script::SyntaxFromLanguage(FSyntaxType, syntax)) {
        FErrorMsg = QStringLiteral("Unknown script language: '%1'").arg(FSyntaxType);
        FErrorPos = QStringLiteral("0:0");
        noteError();
        return false;
    }
    try {
        script::ProgramDef def = script::Parse(FLines.join(u'\n'), syntax, FExtendedCharset);
        FProgram = script::Program::Compile(this, def, syntax);
        return true;
    } catch (const script::SyntaxError &e) {
        FErrorMsg = e.Message;
        FErrorPos = QStringLiteral("%1:%2").arg(e.Line).arg(e.Col);
    } catch (const Exception &e) {
        FErrorMsg = e.Message();
        FErrorPos = QStringLiteral("0:0");
    }
    FProgram.reset();
    removeProgramItems();
    noteError();
    return false;
}

template <typename Fn>
auto TfsScript::underLimits(Fn fn) -> decltype(fn())
{
    script::RunLimits limits;
    limits.TimeMs = FLimits.TimeMs;
    limits.Statements = FLimits.Statements;
    limits.MaxBytes = FLimits.MaxBytes;
    limits.Terminate = &FTerminate;
    script::RunScope scope(limits);
    try {
        return fn();
    } catch (const std::bad_alloc &) {
        throw EOutOfMemory(QStringLiteral("Out of memory"));
    }
}

void TfsScript::recordRuntimeError(const Exception &e)
{
    if (!FMainProg)
        return;
    FErrorMsg = e.Message();
    int line = 0, col = 0;
    FErrorPos = script::LastRuntimeErrorPos(line, col) ? QStringLiteral("%1:%2").arg(line).arg(col) : QString();
    noteError();
}

void TfsScript::Terminate()
{
    FTerminate.store(true, std::memory_order_relaxed);
}

void TfsScript::Execute()
{
    if (!FProgram)
        return;
    FTerminate.store(false, std::memory_order_relaxed);
    script::ResetRuntimeErrorPos();
    // the main block's variables are gone after a run: rings they held are free
    struct Collect
    {
        script::CycleCollector &c;
        ~Collect() { c.CollectAfterRun(); }
    } collect{d->Cycles};
    try {
        underLimits([this] { FProgram->RunMain(); });
    } catch (const Exception &e) {
        FErrorMsg = e.Message();
        int line = 0, col = 0;
        FErrorPos = script::LastRuntimeErrorPos(line, col) ? QStringLiteral("%1:%2").arg(line).arg(col) : QString();
        noteError();
        throw;
    }
}

bool TfsScript::Run()
{
    if (!Compile())
        return false;
    try {
        Execute();
    } catch (const Exception &) {
        return false;
    }
    return true;
}

int TfsScript::MainStatementCount() const
{
    return FProgram ? FProgram->MainStatementCount() : 0;
}

namespace {

// Library functions as items: one method item per function, made on first
// request and shared by every script. The handler passes what the caller gave.
TfsCustomVariable *builtinItem(const QString &AName, const QString &ALanguage)
{
    const QString upper = AName.toUpper();
    script::Syntax syntax = script::Syntax::Pascal;
    script::SyntaxFromLanguage(ALanguage, syntax);
    const script::Builtin *b = script::FindBuiltin(upper, syntax);
    if (!b)
        return nullptr;
    static QMutex lock;
    static QHash<const script::Builtin *, std::shared_ptr<TfsMethodHelper>> items;
    QMutexLocker locker(&lock);
    auto it = items.find(b);
    if (it != items.end())
        return it->get();
    QStringList params;
    for (int i = 0; i < b->MinArgs; ++i)
        params << QStringLiteral("%1A%2: Variant").arg(b->RefMask & (1u << i) ? QStringLiteral("var ") : QString())
                      .arg(i + 1);
    QString decl = (b->IsFunction ? QStringLiteral("function ") : QStringLiteral("procedure "))
        + QString::fromLatin1(b->Name);
    if (!params.isEmpty())
        decl += u'(' + params.join(QStringLiteral("; ")) + u')';
    if (b->IsFunction)
        decl += QStringLiteral(": Variant");
    auto handler = [b](QObject *, TfsClassVariable *, const QString &, TfsMethodHelper *m) {
        const int n = std::min(m->ParamCount(), 8);
        if (n < b->MinArgs || (b->MaxArgs >= 0 && n > b->MaxArgs))
            throw EfsScriptError(QStringLiteral("Wrong number of arguments for '%1'").arg(QLatin1String(b->Name)));
        script::Value values[8];
        script::Value *ptrs[8];
        for (int i = 0; i < n; ++i) {
            values[i] = script::Value::FromVariant(m->GetVParam(i));
            ptrs[i] = &values[i];
        }
        const Variant r = b->Fn(ptrs, n).ToVariant();
        for (int i = 0; i < n; ++i)
            if (b->RefMask & (1u << i))
                m->SetVParam(i, values[i].ToVariant());
        return r;
    };
    auto item = std::make_shared<TfsMethodHelper>(decl, handler, nullptr);
    item->Category = QStringLiteral("library");
    items.insert(b, item);
    return item.get();
}

} // namespace

TfsCustomVariable *TfsScript::Find(const QString &AName) const
{
    for (const TfsScript *s = this; s; s = s->FParent)
        if (TfsCustomVariable *v = s->FindLocal(AName))
            return v;
    return builtinItem(AName, FSyntaxType);
}

TfsCustomVariable *TfsScript::FindLocal(const QString &AName) const
{
    return d->Index.value(AName.toUpper());
}

TfsClassVariable *TfsScript::FindClass(const QMetaObject *AMeta) const
{
    for (const QMetaObject *m = AMeta; m; m = m->superClass())
        if (auto *c = dynamic_cast<TfsClassVariable *>(Find(shortClassName(m->className()))))
            return c;
    return autoClass(AMeta);
}

void TfsScript::ClearItems(QObject *AOwner)
{
    std::vector<TfsCustomVariable *> doomed;
    for (auto &i : FItems)
        if (i->FAddedBy == AOwner)
            doomed.push_back(i.get());
    for (TfsCustomVariable *i : doomed)
        Remove(i);
}

void TfsScript::SetParent(TfsScript *AParent)
{
    // A chain back to this script would make every lookup loop forever.
    for (TfsScript *p = AParent; p; p = p->FParent)
        if (p == this)
            throw EfsScriptError(QStringLiteral("A script cannot be its own parent"));
    FParent = AParent;
}

Variant TfsScript::CallProc(TfsProcVariable *AProc, const QList<Variant> &AParams)
{
    if (!AProc)
        return Variant::Null();
    for (int i = 0; i < AParams.size() && i < AProc->GetParamsCount(); ++i)
        AProc->GetParam(i)->SetValue(AParams[i]);
    return AProc->Value();
}

} // namespace zor
