// Expressions: names resolved to slots, items, routines or library
// functions; operators bound to the functions of the syntax's table; long
// operator chains flattened into one node that runs them in a loop.
#include <ZorCompCore/script/Nodes_p.h>

#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Cycles_p.h>
#include <ZorCompCore/script/Intrinsics_p.h>

#include <QMetaClassInfo>
#include <QMetaObject>
#include <QObject>
#include <typeinfo>

namespace zor::script {

using namespace Qt::StringLiterals;

void notAssignable()
{
    throw EfsScriptError(QStringLiteral("Left side cannot be assigned to"));
}

void rangeError()
{
    throw ERangeError(QStringLiteral("Range check error"));
}

namespace {

// Arrays inside arrays deeper than this are refused: freeing, copying and
// converting them walk the nesting recursively.
constexpr int kMaxArrayDepth = 500;

// Operator chains longer than this become one ChainNode (evaluated in a loop)
// instead of a tree that each pass walks recursively.
constexpr int kChainThreshold = 48;

// --- operators ----------------------------------------------------------------

// Operands of the integer nodes. Variables and constants are read in place,
// so that i * 2 or n < 2 costs one virtual call, not three.
enum class IK { Node, Local, Global, Const };

template <IK K>
struct IntOperand
{
    EP P; // owns the operand's node (a global's node keeps its item alive)
    int Slot = 0;
    Value *G = nullptr;
    qint64 C = 0;
    void bind(EP n)
    {
        if constexpr (K == IK::Local)
            Slot = static_cast<LocalNode *>(n.get())->Slot;
        else if constexpr (K == IK::Global)
            G = static_cast<GlobalNode *>(n.get())->P;
        else if constexpr (K == IK::Const)
            C = static_cast<LitNode *>(n.get())->V.i;
        P = std::move(n);
    }
    qint64 get(Value *fp) const
    {
        if constexpr (K == IK::Local)
            return intOf(fp[Slot]);
        else if constexpr (K == IK::Global)
            return intOf(*G);
        else if constexpr (K == IK::Const)
            return C;
        else
            return P->evalInt(fp);
    }
};

// How an integer operand is read.
IK intKindOf(ENode *n)
{
    if (typeid(*n) == typeid(LocalNode))
        return IK::Local;
    if (typeid(*n) == typeid(GlobalNode))
        return IK::Global;
    if (typeid(*n) == typeid(LitNode))
        return IK::Const;
    return IK::Node;
}

// Integer arithmetic on operands known to be integers; wraps around like
// the runtime's integer arithmetic instead of widening.
template <Op O, IK KA, IK KB>
struct IntBinNode : ENode
{
    IntOperand<KA> A;
    IntOperand<KB> B;
    bool isInt() const override { return true; }
    qint64 evalInt(Value *fp) override
    {
        const quint64 x = quint64(A.get(fp)), y = quint64(B.get(fp));
        if constexpr (O == Op::Add) return qint64(x + y);
        else if constexpr (O == Op::Sub) return qint64(x - y);
        else if constexpr (O == Op::Mul) return qint64(x * y);
        else {
            if (y == 0)
                throw EDivByZero(QStringLiteral("Division by zero"));
            if (qint64(y) == -1)
                return O == Op::Mod ? 0 : qint64(0 - x);
            if constexpr (O == Op::Mod) return qint64(x) % qint64(y);
            else return qint64(x) / qint64(y);
        }
    }
    Value eval(Value *fp) override { return Value(evalInt(fp)); }
};

template <Op O, IK KA, IK KB>
struct IntCmpNode : ENode
{
    IntOperand<KA> A;
    IntOperand<KB> B;
    bool evalBool(Value *fp) override
    {
        const qint64 x = A.get(fp), y = B.get(fp);
        if constexpr (O == Op::Eq) return x == y;
        else if constexpr (O == Op::Ne) return x != y;
        else if constexpr (O == Op::Lt) return x < y;
        else if constexpr (O == Op::Le) return x <= y;
        else if constexpr (O == Op::Gt) return x > y;
        else return x >= y;
    }
    Value eval(Value *fp) override { return Value(evalBool(fp)); }
};

// The node of an integer operator for the way each operand is read.
// Constants on the left are rare: they take the general path.
template <template <Op, IK, IK> class N, Op O, IK KA>
EP intNodeB(EP a, EP b, Pos at)
{
    auto make = [&](auto n) -> EP {
        n->At = at;
        n->A.bind(std::move(a));
        n->B.bind(std::move(b));
        return n;
    };
    switch (intKindOf(b.get())) {
    case IK::Local: return make(std::make_unique<N<O, KA, IK::Local>>());
    case IK::Const: return make(std::make_unique<N<O, KA, IK::Const>>());
    case IK::Global: return make(std::make_unique<N<O, KA, IK::Global>>());
    case IK::Node: break;
    }
    return make(std::make_unique<N<O, KA, IK::Node>>());
}

template <template <Op, IK, IK> class N, Op O>
EP intNode(EP a, EP b, Pos at)
{
    switch (intKindOf(a.get())) {
    case IK::Local: return intNodeB<N, O, IK::Local>(std::move(a), std::move(b), at);
    case IK::Global: return intNodeB<N, O, IK::Global>(std::move(a), std::move(b), at);
    case IK::Const:
    case IK::Node: break;
    }
    return intNodeB<N, O, IK::Node>(std::move(a), std::move(b), at);
}

// Integers take the inline path (the same in every syntax); everything else
// goes to the syntax's function for the operator.
template <Op O>
struct BinNode : ENode
{
    EP A, B;
    BinaryFn Slow;
    Value eval(Value *fp) override
    {
        Value x = A->eval(fp);
        Value y = B->eval(fp);
        if (x.k == VK::Int && y.k == VK::Int) {
            qint64 r;
            if constexpr (O == Op::Add) {
                if (!__builtin_add_overflow(x.i, y.i, &r))
                    return Value(r);
            } else if constexpr (O == Op::Sub) {
                if (!__builtin_sub_overflow(x.i, y.i, &r))
                    return Value(r);
            } else if constexpr (O == Op::Mul) {
                if (!__builtin_mul_overflow(x.i, y.i, &r))
                    return Value(r);
            } else if constexpr (O == Op::Mod) {
                if (y.i > 0)
                    return Value(x.i % y.i);
            } else if constexpr (O == Op::Lt) {
                return Value(x.i < y.i);
            } else if constexpr (O == Op::Le) {
                return Value(x.i <= y.i);
            } else if constexpr (O == Op::Gt) {
                return Value(x.i > y.i);
            } else if constexpr (O == Op::Ge) {
                return Value(x.i >= y.i);
            } else if constexpr (O == Op::Eq) {
                return Value(x.i == y.i);
            } else if constexpr (O == Op::Ne) {
                return Value(x.i != y.i);
            }
        }
        return Slow(x, y);
    }
};

// and/or: Boolean operands short-circuit where the syntax says so.
struct AndOrNode : ENode
{
    EP A, B;
    BinaryFn F;
    bool IsAnd;
    Value eval(Value *fp) override
    {
        Value x = A->eval(fp);
        if (x.k == VK::Bool && (IsAnd ? !x.i : x.i))
            return Value(x.i != 0);
        return F(x, B->eval(fp));
    }
};

// C-like && and ||: truth values.
struct LogicNode : ENode
{
    EP A, B;
    bool IsAnd;
    Value eval(Value *fp) override
    {
        const bool x = A->evalBool(fp);
        if (IsAnd ? !x : x)
            return Value(x);
        return Value(B->evalBool(fp));
    }
};

// && and || where any value has a truth: the operand that decided.
struct TruthLogicNode : ENode
{
    EP A, B;
    bool IsAnd;
    bool (*Truth)(const Value &);
    Value eval(Value *fp) override
    {
        Value x = A->eval(fp);
        if (IsAnd ? !Truth(x) : Truth(x))
            return x;
        return B->eval(fp);
    }
    bool evalBool(Value *fp) override
    {
        const bool x = A->evalBool(fp);
        if (IsAnd ? !x : x)
            return x;
        return B->evalBool(fp);
    }
};

// A condition of a syntax whose values all have a truth (strings, objects).
struct TruthNode : ENode
{
    EP A;
    bool (*Truth)(const Value &);
    Value eval(Value *fp) override { return A->eval(fp); }
    bool evalBool(Value *fp) override { return Truth(A->eval(fp)); }
};

// A left-deep chain of binary operators (a + b - c …), run in a loop.
struct ChainNode : ENode
{
    struct Link
    {
        Op O;
        BinaryFn F;
        EP B;
    };
    EP First;
    std::vector<Link> Links;
    bool ShortCircuit;
    bool (*Truth)(const Value &) = nullptr;
    Value eval(Value *fp) override
    {
        Value acc = First->eval(fp);
        for (Link &l : Links) {
            switch (l.O) {
            case Op::AndThen:
                if (Truth) {
                    if (Truth(acc))
                        acc = l.B->eval(fp);
                    break;
                }
                acc = Value(acc.ToBool() && l.B->evalBool(fp));
                break;
            case Op::OrElse:
                if (Truth) {
                    if (!Truth(acc))
                        acc = l.B->eval(fp);
                    break;
                }
                acc = Value(acc.ToBool() || l.B->evalBool(fp));
                break;
            case Op::And:
            case Op::Or:
                if (ShortCircuit && acc.k == VK::Bool && (l.O == Op::And ? !acc.i : acc.i))
                    break;
                acc = l.F(acc, l.B->eval(fp));
                break;
            default:
                acc = l.F(acc, l.B->eval(fp));
            }
        }
        return acc;
    }
};

struct UnaryNode : ENode
{
    EP A;
    UnaryFn F;
    Value eval(Value *fp) override { return F(A->eval(fp)); }
};

struct CondNode : ENode
{
    EP A, B, C;
    Value eval(Value *fp) override { return A->evalBool(fp) ? B->eval(fp) : C->eval(fp); }
};

struct ArrayLitNode : ENode
{
    std::vector<EP> Items;
    bool ByReference = false;
    Value eval(Value *fp) override
    {
        Value r = Value::NewArray(0, int(Items.size()) - 1);
        ArrayBox *a = r.MutableArray();
        a->ByReference = ByReference;
        for (size_t i = 0; i < Items.size(); ++i)
            StoreElement(a, i, Items[i]->eval(fp));
        return r;
    }
};

// a[i], s[i]: arrays by their bounds, strings from 1 (Pascal, Basic) or 0;
// o[name] on objects. Where arrays are objects, reading past the end gives
// undefined and writing there grows the array.
struct MemberNode;
Value objectElement(QObject *o, TfsScript *script, const Value &index);
void storeObjectElement(QObject *o, TfsScript *script, const Value &index, Value v);
bool indexedCall(MemberNode *m, Value *fp, ENode *index, Value &out);
bool indexedStore(MemberNode *m, Value *fp, ENode *index, Value &v);

struct IndexNode : ENode
{
    EP Base;
    EP Index;
    bool StringsFromOne;
    bool Loose = false;
    TfsScript *Script = nullptr; // set: an object's default indexed property answers obj[i]
    MemberNode *Member = nullptr; // Base when it is obj.Name: obj.Name[i] may be a call

    static Value element(const Value &base, const Value &index, bool fromOne, bool loose = false)
    {
        if (MapBox *m = base.Map()) {
            const Value *p = m->Find(JsKey(index));
            return p ? *p : Value();
        }
        const qint64 i = index.ToInt();
        if (const ArrayBox *a = base.Array()) {
            const qint64 n = i - a->Low;
            if (n < 0 || n >= qint64(a->Items.size())) {
                if (loose)
                    return Value();
                rangeError();
            }
            return a->Items[size_t(n)];
        }
        if (base.k == VK::Str) {
            const qint64 n = fromOne ? i - 1 : i;
            if (n < 0 || n >= base.s.size()) {
                if (loose)
                    return Value();
                rangeError();
            }
            return Value(QString(base.s[qsizetype(n)]));
        }
        if (base.k == VK::Var) {
            const Variant &v = static_cast<VariantBox *>(base.box.get())->V;
            if (v.IsArray())
                return Value::FromVariant(v.ArrayGet(int(i)));
        }
        if (base.k == VK::Ref)
            return element(*base.ref, index, fromOne, loose);
        throw EfsScriptError(QStringLiteral("Array type required"));
    }

    // The text an index names a property by.
    static QString JsKey(const Value &index)
    {
        return index.k == VK::Str ? index.s : JsString(index);
    }

    Value eval(Value *fp) override
    {
        Value b;
        if (!Member)
            b = Base->eval(fp);
        else if (indexedCall(Member, fp, Index.get(), b))
            return b;
        if (b.k == VK::Obj && Script && b.o)
            return objectElement(b.o, Script, Index->eval(fp));
        return element(b, Index->eval(fp), StringsFromOne, Loose);
    }

    Value *addr(Value *fp) override
    {
        Value *b = Base->addr(fp);
        if (!b || b->k != VK::Array)
            return nullptr;
        const qint64 i = Index->eval(fp).ToInt();
        ArrayBox *a = b->MutableArray();
        const qint64 n = i - a->Low;
        if (n < 0 || n >= qint64(a->Items.size()))
            rangeError();
        return &a->Items[size_t(n)];
    }

    void store(Value *fp, Value v) override
    {
        if (Member && Script && indexedStore(Member, fp, Index.get(), v))
            return;
        Value *b = Base->addr(fp);
        Value held;
        if (b && b->k == VK::Obj && Script && b->o)
            return storeObjectElement(b->o, Script, Index->eval(fp), std::move(v));
        if (!b || b->k == VK::Ref) {
            // arrays and objects shared by reference take the write wherever they come from
            held = b ? *b->ref : Base->eval(fp);
            if (held.k == VK::Obj && Script && held.o)
                return storeObjectElement(held.o, Script, Index->eval(fp), std::move(v));
            const ArrayBox *a = held.Array();
            if (!held.Map() && !(a && a->ByReference))
                notAssignable();
            b = &held;
        }
        if (MapBox *m = b->Map()) {
            const QString key = JsKey(Index->eval(fp));
            if ((v.k == VK::Array || v.k == VK::Map) && Reaches(v, m))
                throw EfsScriptError(QStringLiteral("An array or object cannot contain itself"));
            m->Put(key, std::move(v));
            return;
        }
        const qint64 i = Index->eval(fp).ToInt();
        if (b->k == VK::Str) {
            const qint64 n = StringsFromOne ? i - 1 : i;
            if (n < 0 || n >= b->s.size())
                rangeError();
            const QString c = v.ToString();
            b->s[qsizetype(n)] = c.isEmpty() ? QChar() : c[0];
            return;
        }
        ArrayBox *a = b->MutableArray();
        if (!a)
            throw EfsScriptError(QStringLiteral("Array type required"));
        const qint64 n = i - a->Low;
        if (Loose && n >= qint64(a->Items.size()) && n < 100'000'000) {
            CheckSize((n + 1) * qsizetype(sizeof(Value)));
            a->Items.resize(size_t(n + 1));
        }
        if (n < 0 || n >= qint64(a->Items.size()))
            rangeError();
        StoreElement(a, size_t(n), std::move(v));
    }
};

QObject *objectOf(const Value &v, const QString &member)
{
    if (v.k == VK::Obj || v.k == VK::Null || v.k == VK::Empty || (v.k == VK::Int && v.i == 0)) {
        QObject *o = v.k == VK::Obj ? v.o : nullptr;
        if (!o)
            throw EfsScriptError(QStringLiteral("Access violation: nil object used for '%1'").arg(member),
                                 "EAccessViolation");
        return o;
    }
    if (v.k == VK::Ref)
        return objectOf(*v.ref, member);
    return v.ToObject(); // an address known to the engine, or "Invalid class typecast"
}

// Completes the arguments of a host method with its defaults and checks the count.
void completeArgs(TfsMethodHelper *m, std::vector<Value> &args)
{
    const int want = m->GetParamsCount();
    if (int(args.size()) > want)
        throw EfsScriptError(QStringLiteral("Too many actual parameters"));
    for (int i = int(args.size()); i < want; ++i) {
        TfsParamItem *p = m->GetParam(i);
        if (!p->HasDefault())
            throw EfsScriptError(QStringLiteral("Not enough actual parameters"));
        args.push_back(Value::FromVariant(p->DefValue()));
    }
}

} // namespace

// Calls a host method; var parameters are written back to the arguments' variables.
Value CallHost(TfsMethodHelper *m, QObject *instance, std::vector<EP> &argNodes, Value *fp)
{
    std::vector<Value> args;
    args.reserve(argNodes.size());
    for (auto &a : argNodes)
        args.push_back(a->eval(fp));
    completeArgs(m, args);
    Value r = m->Call(instance, args);
    for (size_t i = 0; i < argNodes.size(); ++i) {
        if (m->GetParam(int(i))->IsVarParam()) {
            if (Value *p = argNodes[i]->addr(fp))
                *p = args[i];
        }
    }
    return r;
}

namespace {

// obj.Name and obj.Name(args): resolved on the object's class at run time,
// remembered per class. Values that are not objects answer their own
// members (an exception's Message and ClassName, what the syntax adds).
struct MemberNode : ENode
{
    EP Obj;
    QString Name, Upper;
    std::vector<EP> Args;
    bool HasArgs = false;
    TfsScript *Script;
    const SyntaxRules *Rules;
    const QMetaObject *CachedMeta = nullptr;
    TfsCustomVariable *CachedMember = nullptr;

    TfsCustomVariable *member(QObject *o)
    {
        const QMetaObject *meta = o->metaObject();
        if (meta == CachedMeta)
            return CachedMember;
        TfsClassVariable *cls = Script->FindClass(meta);
        TfsCustomVariable *m = cls ? cls->FindMember(Name, Script) : nullptr;
        if (!m)
            throw EfsScriptError(QStringLiteral("Unknown member '%1' of %2")
                                     .arg(Name, cls ? cls->Name() : QString::fromLatin1(meta->className())));
        CachedMeta = meta;
        CachedMember = m;
        return m;
    }

    Value valueMember(const Value &v)
    {
        if (const ExceptionBox *e = v.ExceptionData()) {
            if (Upper == u"MESSAGE")
                return Value(e->Message);
            if (Upper == u"CLASSNAME")
                return Value(QString::fromLatin1(e->ClassName));
        }
        Value out;
        if (Rules->ValueMember && Rules->ValueMember(v, Name, Upper, out))
            return out;
        throw EfsScriptError(QStringLiteral("Unknown member '%1' of %2").arg(Name, TypeNameOf(v)));
    }

    Value valueMethod(const Value &v, Value *fp)
    {
        Value out;
        if (Rules->ValueMethod) {
            std::vector<Value> args;
            args.reserve(Args.size());
            for (auto &a : Args)
                args.push_back(a->eval(fp));
            if (Rules->ValueMethod(v, Name, Upper, args, out))
                return out;
        }
        throw EfsScriptError(QStringLiteral("Unknown member '%1' of %2").arg(Name, TypeNameOf(v)));
    }

    static bool isObjectish(const Value &v)
    {
        return v.k == VK::Obj || v.k == VK::Null || v.k == VK::Empty || v.k == VK::Int || v.k == VK::Ref;
    }

    Value eval(Value *fp) override { return evalOn(Obj->eval(fp), fp); }

    // obj.Name[i]: Object Pascal's indexed property, here a host method of
    // parameters called with the index; false (and the member's value in
    // out) for every other member.
    bool indexed(Value *fp, ENode *index, Value &out)
    {
        const Value v = Obj->eval(fp);
        if (!HasArgs && (v.k == VK::Obj || (v.k == VK::Ref && v.ref->k == VK::Obj))) {
            QObject *o = objectOf(v, Name);
            auto *method = dynamic_cast<TfsMethodHelper *>(member(o));
            if (method && method->GetParamsCount() > 0) {
                std::vector<Value> args{index->eval(fp)};
                completeArgs(method, args);
                out = method->Call(o, args);
                return true;
            }
        }
        out = evalOn(v, fp);
        return false;
    }

    // obj.Name[i] := v: the indexed property's writer, a host method
    // SetName(index, value); false when the member has none.
    bool indexedStore(Value *fp, ENode *index, Value &v)
    {
        if (HasArgs)
            return false;
        const Value target = Obj->eval(fp);
        if (!(target.k == VK::Obj || (target.k == VK::Ref && target.ref->k == VK::Obj)))
            return false;
        QObject *o = objectOf(target, Name);
        TfsClassVariable *cls = Script->FindClass(o->metaObject());
        auto *setter = cls ? dynamic_cast<TfsMethodHelper *>(cls->FindMember(QStringLiteral("Set") + Name, Script))
                           : nullptr;
        if (!setter || setter->GetParamsCount() < 2)
            return false;
        std::vector<Value> args{index->eval(fp), std::move(v)};
        completeArgs(setter, args);
        setter->Call(o, args);
        return true;
    }

    Value evalOn(const Value &v, Value *fp)
    {
        if (!isObjectish(v) || (v.k == VK::Ref && !isObjectish(*v.ref))) {
            const Value &self = v.k == VK::Ref ? *v.ref : v;
            return HasArgs ? valueMethod(self, fp) : valueMember(self);
        }
        QObject *o = objectOf(v, Name);
        TfsCustomVariable *m = member(o);
        if (auto *method = dynamic_cast<TfsMethodHelper *>(m))
            return CallHost(method, o, Args, fp);
        if (HasArgs)
            throw EfsScriptError(QStringLiteral("'%1' is not a method").arg(Name));
        if (auto *prop = dynamic_cast<TfsPropertyHelper *>(m))
            return prop->Get(o);
        return *m->GetPValue();
    }

    void store(Value *fp, Value v) override
    {
        const Value target = Obj->eval(fp);
        if (!isObjectish(target)) {
            if (!HasArgs && Rules->SetMember && Rules->SetMember(target, Name, std::move(v)))
                return;
            throw EfsScriptError(QStringLiteral("Unknown member '%1' of %2").arg(Name, TypeNameOf(target)));
        }
        QObject *o = objectOf(target, Name);
        auto *prop = dynamic_cast<TfsPropertyHelper *>(member(o));
        if (!prop || HasArgs)
            notAssignable();
        prop->Set(o, v);
    }
};

bool indexedCall(MemberNode *m, Value *fp, ENode *index, Value &out)
{
    return m->indexed(fp, index, out);
}

// obj[i]: the object's default indexed property, a method of parameters: the
// one its class names in its class information "DefaultProperty", else
// Items, else the one named as the class without its leading T (a TFields
// object's Fields, a TStrings object's Strings), as Object Pascal's list
// classes name theirs.
static QStringList defaultPropertyNames(const QMetaObject *meta)
{
    QStringList names;
    if (const int info = meta->indexOfClassInfo("DefaultProperty"); info >= 0)
        names << QString::fromUtf8(meta->classInfo(info).value());
    names << QStringLiteral("Items");
    for (const QMetaObject *m = meta; m; m = m->superClass()) {
        QString n = QString::fromLatin1(m->className());
        n = n.mid(n.lastIndexOf(u':') + 1);
        if (n.size() > 1 && n[0] == u'T')
            names << n.mid(1);
    }
    return names;
}

Value objectElement(QObject *o, TfsScript *script, const Value &index)
{
    const QMetaObject *meta = o->metaObject();
    TfsClassVariable *cls = script->FindClass(meta);
    for (const QString &n : defaultPropertyNames(meta)) {
        auto *method = cls ? dynamic_cast<TfsMethodHelper *>(cls->FindMember(n, script)) : nullptr;
        if (method && method->GetParamsCount() > 0) {
            std::vector<Value> args{index};
            completeArgs(method, args);
            return method->Call(o, args);
        }
    }
    throw EfsScriptError(QStringLiteral("Class %1 has no default property")
                             .arg(cls ? cls->Name() : QString::fromLatin1(meta->className())));
}

bool indexedStore(MemberNode *m, Value *fp, ENode *index, Value &v)
{
    return m->indexedStore(fp, index, v);
}

// obj[i] := v: the writer of the same default property, named with Set in
// front and taking the index and the value.
void storeObjectElement(QObject *o, TfsScript *script, const Value &index, Value v)
{
    const QMetaObject *meta = o->metaObject();
    TfsClassVariable *cls = script->FindClass(meta);
    for (const QString &n : defaultPropertyNames(meta)) {
        auto *setter = cls ? dynamic_cast<TfsMethodHelper *>(cls->FindMember(QStringLiteral("Set") + n, script)) : nullptr;
        if (setter && setter->GetParamsCount() > 1) {
            std::vector<Value> args{index, std::move(v)};
            completeArgs(setter, args);
            setter->Call(o, args);
            return;
        }
    }
    throw EfsScriptError(QStringLiteral("Class %1 has no writable default property")
                             .arg(cls ? cls->Name() : QString::fromLatin1(meta->className())));
}

// ClassName.Method(args): a class-level method, called without an instance.
struct ClassCallNode : ENode
{
    TfsMethodHelper *M;
    std::shared_ptr<TfsCustomVariable> Keep;
    std::vector<EP> Args;
    Value eval(Value *fp) override { return CallHost(M, nullptr, Args, fp); }
};

// A call of a function value (a variable holding a routine).
struct CallValueNode : ENode
{
    EP Callee;
    std::vector<EP> Args;
    Value eval(Value *fp) override
    {
        const Value f = Callee->eval(fp);
        std::vector<Value> args;
        args.reserve(Args.size());
        for (auto &a : Args)
            args.push_back(a->eval(fp));
        return CallFunctionValue(f, args);
    }
};

// new T(args) of a class the syntax builds itself.
struct ConstructNode : ENode
{
    ConstructFn F;
    std::vector<EP> Args;
    Value eval(Value *fp) override
    {
        std::vector<Value> args;
        args.reserve(Args.size());
        for (auto &a : Args)
            args.push_back(a->eval(fp));
        return F(args);
    }
};

// function (…) {…} written inside a function: a function value holding the
// cells of the outer variables it uses, made each time it runs.
struct ClosureNode : ENode
{
    std::weak_ptr<Routine> Fn;
    std::vector<EP> Cells;
    CycleCollector *Cycles;
    Value eval(Value *fp) override
    {
        Value v;
        v.k = VK::Map;
        auto m = std::make_shared<MapBox>();
        m->Kind = MapBox::MK::Function;
        m->Fn = Fn;
        m->Bound.reserve(Cells.size());
        for (auto &c : Cells)
            m->Bound.push_back(c->eval(fp));
        Cycles->Made(m);
        v.box = std::move(m);
        return v;
    }
};

// {a: 1, b: x}: a new object each time it runs.
struct ObjectLitNode : ENode
{
    std::vector<QString> Keys;
    std::vector<EP> Items;
    Value eval(Value *fp) override
    {
        Value r;
        r.k = VK::Map;
        auto m = std::make_shared<MapBox>();
        for (size_t i = 0; i < Items.size(); ++i)
            m->Put(Keys[i], Items[i]->eval(fp));
        r.box = std::move(m);
        return r;
    }
};

// ++x, x++, --x, x-- inside an expression.
struct UpdateNode : ENode
{
    EP Target;
    BinaryFn F;
    bool Postfix;
    Value eval(Value *fp) override
    {
        Value old = Target->eval(fp);
        Value now = F(old, Value(qint64(1)));
        Target->store(fp, now);
        return Postfix ? old : Target->eval(fp);
    }
};

// with Obj do …: the object is read once, into a slot of the frame.
struct WithNode : SNode
{
    EP Target;
    int Slot;
    SP Body;
    Flow exec(Value *fp) override
    {
        fp[Slot] = Target->eval(fp);
        return Body->exec(fp);
    }
};

// A name inside with on an object whose class was not known when compiling:
// the object's member when its class has one, else what the name means
// outside (Fallback; null when nothing outside has that name).
struct WithNameNode : ENode
{
    int Slot;
    QString Name;
    TfsScript *Script;
    EP Member;
    EP Fallback;
    const QMetaObject *CachedMeta = nullptr;
    bool CachedHas = false;

    bool has(Value *fp)
    {
        const Value &v = fp[Slot];
        if (v.k != VK::Obj || !v.o)
            return false;
        const QMetaObject *meta = v.o->metaObject();
        if (meta != CachedMeta) {
            TfsClassVariable *cls = Script->FindClass(meta);
            CachedHas = cls && cls->FindMember(Name, Script);
            CachedMeta = meta;
        }
        return CachedHas;
    }
    ENode &chosen(Value *fp)
    {
        if (has(fp))
            return *Member;
        if (!Fallback)
            throw EfsScriptError(QStringLiteral("Undeclared identifier: '%1'").arg(Name));
        return *Fallback;
    }
    Value eval(Value *fp) override { return chosen(fp).eval(fp); }
    Value *addr(Value *fp) override { return chosen(fp).addr(fp); }
    void store(Value *fp, Value v) override { chosen(fp).store(fp, std::move(v)); }
};

} // namespace

SP Compiler::withStatement(const Stmt &s)
{
    auto n = node<WithNode>(s.At);
    n->Target = expr(*s.A);
    n->Slot = m_scope->hidden(Value());
    m_with.push_back({n->Slot, classOf(s)});
    struct Pop
    {
        std::vector<WithTarget> &W;
        ~Pop() { W.pop_back(); }
    } pop{m_with};
    n->Body = block(*s.Body[0]);
    return n;
}

// The class of a with target, when the program says it: a declared type,
// an object the host registered, or Class.Create.
TfsClassVariable *Compiler::classOf(const Stmt &s)
{
    auto classNamed = [this](const QString &name) -> TfsClassVariable * {
        return name.isEmpty() ? nullptr : dynamic_cast<TfsClassVariable *>(m_script->Find(name));
    };
    if (TfsClassVariable *c = classNamed(s.TypeName))
        return c;
    const Expr *e = s.A.get();
    if (e->Kind == EK::Call)
        e = e->A.get();
    if (e->Kind == EK::Member && e->A->Kind == EK::Name && e->Name.compare(u"Create", Qt::CaseInsensitive) == 0)
        return classNamed(e->A->Name);
    if (e->Kind == EK::Name) {
        const Resolved r = resolve(e->Name);
        if (r.K == Resolved::RItem && isVariableItem(r.Item.get())) {
            if (const Value *v = r.Item->GetPValue(); v && v->k == VK::Obj && v->o)
                return m_script->FindClass(v->o->metaObject());
            return classNamed(r.Item->TypeName());
        }
    }
    return nullptr;
}

// A name inside with: a member of the innermost object that has it, else
// normal(), what the name means outside.
template <class Normal>
EP Compiler::throughWith(const Expr &e, const std::vector<ExprP> *callArgs, Normal normal, size_t top)
{
    for (size_t level = top; level-- > 0;) {
        const WithTarget w = m_with[level];
        if (w.Class && !w.Class->FindMember(e.Name, m_script))
            continue;
        auto m = node<MemberNode>(e.At);
        m->Obj = localNode({w.Slot, false, TK::Any}, e.At);
        m->Name = e.Name;
        m->Upper = e.Name.toUpper();
        m->Script = m_script;
        m->Rules = &m_rules;
        if (callArgs) {
            m->Args = args(*callArgs);
            m->HasArgs = true;
        }
        if (w.Class)
            return m;
        // decided as it runs; the outer meaning is what the enclosing levels make of it
        auto n = node<WithNameNode>(e.At);
        n->Slot = w.Slot;
        n->Name = e.Name;
        n->Script = m_script;
        n->Member = std::move(m);
        try {
            n->Fallback = throughWith(e, callArgs, normal, level);
        } catch (const SyntaxError &) {
            m_bypassWith = false; // nothing outside has the name: only the object can
        }
        return n;
    }
    // the name itself skips the with levels; names inside its arguments do not
    m_bypassWith = true;
    return normal();
}

Value CallFunctionValue(const Value &f, std::vector<Value> &args)
{
    const MapBox *m = f.k == VK::Ref ? f.ref->Map() : f.Map();
    if (!m || m->Kind != MapBox::MK::Function)
        throw EfsScriptError(QStringLiteral("%1 is not a function").arg(TypeNameOf(f)), "TypeError");
    const std::shared_ptr<Routine> r = m->Fn.lock();
    if (!r)
        throw EfsScriptError(QStringLiteral("Function '%1' no longer exists").arg(m->FnName));
    if (!m->Bound.empty())
        args.insert(args.begin(), m->Bound.begin(), m->Bound.end());
    return Invoke(*r, args);
}

Value FunctionValue(const std::shared_ptr<Routine> &r, const QString &name)
{
    Value v;
    v.k = VK::Map;
    auto m = std::make_shared<MapBox>();
    m->Kind = MapBox::MK::Function;
    m->Fn = r;
    m->FnName = name;
    v.box = std::move(m);
    return v;
}

void StoreElement(ArrayBox *a, size_t n, Value v)
{
    if (const ArrayBox *inner = v.Array()) {
        if (inner->Depth >= kMaxArrayDepth)
            throw EfsScriptError(QStringLiteral("Arrays nested too deeply"));
        a->Depth = std::max(a->Depth, inner->Depth + 1);
    }
    // shared arrays could be made to hold themselves: a cycle nothing frees
    if (a->ByReference && (v.k == VK::Array || v.k == VK::Map) && Reaches(v, a))
        throw EfsScriptError(QStringLiteral("An array or object cannot contain itself"));
    a->Items[n] = std::move(v);
}

// --- names ----------------------------------------------------------------------

Compiler::Resolved Compiler::resolve(const QString &name)
{
    Resolved r;
    const QString up = name.toUpper();
    if (m_scope) {
        auto it = m_scope->Names.find(up);
        if (it != m_scope->Names.end()) {
            r.K = Resolved::RLocal;
            r.L = *it;
            return r;
        }
    }
    for (TfsScript *s = m_script; s; s = s->Parent()) {
        if (TfsCustomVariable *item = s->FindLocal(name)) {
            r.K = Resolved::RItem;
            r.Item = s->Shared(item);
            return r;
        }
    }
    if (m_rules.Constant && m_rules.Constant(up, r.C)) {
        r.K = Resolved::RConstant;
        return r;
    }
    const Builtin *b = up.startsWith(u'#') ? FindIntrinsic(up) : nullptr;
    if (!b && m_rules.Library)
        b = m_rules.Library(up);
    if (!b)
        b = FindBuiltin(up, m_rules.S);
    if (b) {
        r.K = Resolved::RBuiltin;
        r.B = b;
    }
    return r;
}

bool Compiler::resolvesToValue(const QString &name)
{
    const Resolved r = resolve(name);
    return r.K == Resolved::RLocal || r.K == Resolved::RConstant
        || (r.K == Resolved::RItem && !dynamic_cast<TfsClassVariable *>(r.Item.get()));
}

void Compiler::undeclared(const Expr &e)
{
    compileError(QStringLiteral("Undeclared identifier: '%1'").arg(e.Name), e.At);
}

EP Compiler::localNode(const LocalInfo &l, Pos at)
{
    if (l.ByRef) {
        auto n = node<RefNode>(at);
        n->Slot = l.Slot;
        n->Type = l.Type;
        return n;
    }
    auto n = node<LocalNode>(at);
    n->Slot = l.Slot;
    n->Type = l.Type;
    return n;
}

EP Compiler::globalNode(const std::shared_ptr<TfsCustomVariable> &item, Pos at)
{
    auto n = node<GlobalNode>(at);
    n->P = item->GetPValue();
    n->Keep = item;
    n->Type = m_globalTypes.value(item.get(), TK::Any);
    n->ReadOnly = item->IsReadOnly();
    return n;
}

// An assignment target.
EP Compiler::lvalue(const Expr &e)
{
    if (e.Kind == EK::Name && withApplies())
        return throughWith(e, nullptr, [&] { return lvalue(e); }, m_with.size());
    if (e.Kind == EK::Name) {
        const QString up = e.Name.toUpper();
        // FunctionName := value inside that function sets its result
        if (m_scope && m_scope->R && m_scope->R->ResultSlot >= 0 && up == m_scope->RoutineUpper
            && !m_scope->Names.contains(up)) {
            auto n = node<LocalNode>(e.At);
            n->Slot = m_scope->R->ResultSlot;
            n->Type = m_scope->R->ResultType;
            return n;
        }
        Resolved r = resolve(e.Name);
        if (r.K == Resolved::RLocal)
            return localNode(r.L, e.At);
        if (r.K == Resolved::RItem && isVariableItem(r.Item.get())) {
            if (r.Item->IsReadOnly())
                compileError(QStringLiteral("Left side cannot be assigned to"), e.At);
            return globalNode(r.Item, e.At);
        }
        if ((r.K == Resolved::RNone || r.K == Resolved::RConstant) && m_rules.DeclareOnAssign && m_scope) {
            // assigning to a new name declares it
            LocalInfo l{m_scope->declare(up, TK::Any, false, Value()), false, TK::Any};
            return localNode(l, e.At);
        }
        if (r.K == Resolved::RNone)
            undeclared(e);
        compileError(QStringLiteral("Left side cannot be assigned to"), e.At);
    }
    if (e.Kind == EK::Index || (e.Kind == EK::Call && m_rules.IndexWithParens)) {
        if (e.Args.empty())
            compileError(QStringLiteral("Index expected"), e.At);
        return indexChain(e);
    }
    if (e.Kind == EK::Member)
        return expr(e);
    compileError(QStringLiteral("Left side cannot be assigned to"), e.At);
}

// a[i, j] = a[i][j]
EP Compiler::indexChain(const Expr &e)
{
    EP base = e.A->Kind == EK::Name ? lvalueOrValue(*e.A) : expr(*e.A);
    for (const ExprP &ix : e.Args) {
        auto n = node<IndexNode>(e.At);
        n->Member = dynamic_cast<MemberNode *>(base.get());
        n->Base = std::move(base);
        n->Index = expr(*ix);
        n->StringsFromOne = m_rules.StringsFromOne;
        n->Loose = m_rules.ArraysAreObjects;
        n->Script = m_script;
        base = std::move(n);
    }
    return base;
}

EP Compiler::lvalueOrValue(const Expr &e)
{
    if (withApplies())
        return throughWith(e, nullptr, [&] { return lvalueOrValue(e); }, m_with.size());
    Resolved r = resolve(e.Name);
    if (r.K == Resolved::RLocal)
        return localNode(r.L, e.At);
    if (r.K == Resolved::RItem && isVariableItem(r.Item.get()))
        return globalNode(r.Item, e.At);
    return expr(e);
}

bool Compiler::isVariableItem(TfsCustomVariable *item)
{
    return !dynamic_cast<TfsProcVariable *>(item) && !dynamic_cast<TfsMethodHelper *>(item)
        && !dynamic_cast<TfsClassVariable *>(item) && item->TypeName() != u"@type";
}

std::vector<EP> Compiler::args(const std::vector<ExprP> &in)
{
    std::vector<EP> out;
    out.reserve(in.size());
    for (const ExprP &a : in)
        out.push_back(expr(*a));
    return out;
}

// Names of routines are calls even without parentheses.
EP Compiler::nameNode(const Expr &e, const std::vector<ExprP> *callArgs)
{
    if (withApplies())
        return throughWith(e, callArgs, [&] { return nameNode(e, callArgs); }, m_with.size());
    static const std::vector<ExprP> none;
    const std::vector<ExprP> &a = callArgs ? *callArgs : none;
    Resolved r = resolve(e.Name);
    switch (r.K) {
    case Resolved::RLocal:
        if (callArgs) {
            if (m_rules.FunctionValues)
                return callValue(localNode(r.L, e.At), *callArgs, e.At);
            break;
        }
        return localNode(r.L, e.At);
    case Resolved::RItem:
        if (auto *proc = dynamic_cast<TfsProcVariable *>(r.Item.get())) {
            if (!callArgs && m_rules.FunctionValues && proc->EngineRoutine()) {
                auto lit = node<LitNode>(e.At);
                lit->V = FunctionValue(proc->EngineRoutine(), proc->Name());
                return lit;
            }
            return callRoutine(r.Item, a, e.At);
        }
        if (dynamic_cast<TfsMethodHelper *>(r.Item.get()))
            return callHostNode(r.Item, a, e.At);
        if (callArgs) {
            if (m_rules.FunctionValues && isVariableItem(r.Item.get()))
                return callValue(globalNode(r.Item, e.At), *callArgs, e.At);
            break;
        }
        if (auto *cls = dynamic_cast<TfsClassVariable *>(r.Item.get())) {
            auto lit = node<LitNode>(e.At);
            lit->V = Value(QString(cls->Name()));
            return lit;
        }
        return globalNode(r.Item, e.At);
    case Resolved::RConstant: {
        if (callArgs)
            break;
        auto lit = node<LitNode>(e.At);
        lit->V = r.C;
        return lit;
    }
    case Resolved::RBuiltin:
        return callBuiltin(r.B, a, e.At);
    case Resolved::RNone:
        undeclared(e);
    }
    // a(i) on a variable: Basic indexes arrays with parentheses
    if (m_rules.IndexWithParens && callArgs && !callArgs->empty())
        return indexFromCall(e, *callArgs);
    compileError(QStringLiteral("'%1' is not a routine").arg(e.Name), e.At);
}

EP Compiler::callValue(EP callee, const std::vector<ExprP> &callArgs, Pos at)
{
    auto n = node<CallValueNode>(at);
    n->Callee = std::move(callee);
    n->Args = args(callArgs);
    return n;
}

EP Compiler::indexFromCall(const Expr &name, const std::vector<ExprP> &idx)
{
    EP base = lvalueOrValue(name);
    for (const ExprP &ix : idx) {
        auto n = node<IndexNode>(name.At);
        n->Base = std::move(base);
        n->Index = expr(*ix);
        n->StringsFromOne = m_rules.StringsFromOne;
        n->Script = m_script;
        base = std::move(n);
    }
    return base;
}

EP Compiler::memberNode(const Expr &m, const std::vector<ExprP> *callArgs)
{
    static const std::vector<ExprP> none;
    if (m.A->Kind == EK::Name) {
        Resolved r = resolve(m.A->Name);
        // new Date(…): classes the syntax builds itself
        if (m.Name.compare(u"Create", Qt::CaseInsensitive) == 0 && m_rules.Constructor && r.K != Resolved::RLocal
            && !(r.K == Resolved::RItem && isVariableItem(r.Item.get()))) {
            if (const ConstructFn f = m_rules.Constructor(m.A->Name.toUpper())) {
                auto n = node<ConstructNode>(m.At);
                n->F = f;
                n->Args = args(callArgs ? *callArgs : none);
                return n;
            }
        }
        // EClass.Create(message): an exception object
        if (m.Name.compare(u"Create", Qt::CaseInsensitive) == 0 && r.K != Resolved::RLocal
            && !(r.K == Resolved::RItem && isVariableItem(r.Item.get())) && isExceptionClass(m.A->Name))
            return newException(*m.A, callArgs ? *callArgs : none, m.At);
        // ClassName.Member: a class-level method
        if (r.K == Resolved::RItem) {
            if (auto *cls = dynamic_cast<TfsClassVariable *>(r.Item.get())) {
                TfsCustomVariable *mem = cls->FindMember(m.Name, m_script);
                auto *helper = dynamic_cast<TfsMethodHelper *>(mem);
                if (!helper)
                    compileError(QStringLiteral("Unknown member '%1' of %2").arg(m.Name, cls->Name()), m.At);
                auto n = node<ClassCallNode>(m.At);
                n->M = helper;
                n->Keep = r.Item;
                n->Args = args(callArgs ? *callArgs : none);
                return n;
            }
        }
    }
    auto n = node<MemberNode>(m.At);
    n->Obj = expr(*m.A);
    n->Name = m.Name;
    n->Upper = m.Name.toUpper();
    n->Script = m_script;
    n->Rules = &m_rules;
    if (callArgs) {
        n->Args = args(*callArgs);
        n->HasArgs = true;
    }
    return n;
}

// --- expressions ------------------------------------------------------------------

EP Compiler::expr(const Expr &e)
{
    // Nesting is bounded by the parsers; this keeps a small thread safe too.
    if (!StackRoomLeft())
        compileError(QStringLiteral("Nesting too deep"), e.At);
    switch (e.Kind) {
    case EK::Literal: {
        auto n = node<LitNode>(e.At);
        n->V = e.Lit;
        return n;
    }
    case EK::Name: return nameNode(e, nullptr);
    case EK::Member: return memberNode(e, nullptr);
    case EK::Call:
        if (e.A->Kind == EK::Name)
            return nameNode(*e.A, &e.Args);
        if (e.A->Kind == EK::Member)
            return memberNode(*e.A, &e.Args);
        if (m_rules.FunctionValues) // f[0](x), g()(): whatever gives a function value
            return callValue(expr(*e.A), e.Args, e.At);
        compileError(QStringLiteral("Routine name expected"), e.At);
    case EK::Index: return indexChain(e);
    case EK::Unary: return unaryNode(e);
    case EK::Binary: return binaryNode(e);
    case EK::Cond: {
        auto n = node<CondNode>(e.At);
        n->A = condition(*e.A);
        n->B = expr(*e.B);
        n->C = expr(*e.C);
        return n;
    }
    case EK::ArrayLit: {
        auto n = node<ArrayLitNode>(e.At);
        n->Items = args(e.Args);
        n->ByReference = m_rules.ArraysAreObjects;
        return n;
    }
    case EK::ObjectLit: {
        auto n = node<ObjectLitNode>(e.At);
        n->Keys = e.Keys;
        n->Items = args(e.Args);
        return n;
    }
    case EK::FuncLit: {
        const Resolved r = resolve(e.Name);
        auto *proc = r.K == Resolved::RItem ? dynamic_cast<TfsProcVariable *>(r.Item.get()) : nullptr;
        if (!proc || !proc->EngineRoutine())
            undeclared(e);
        if (!e.Args.empty()) {
            auto n = node<ClosureNode>(e.At);
            n->Fn = proc->EngineRoutine();
            n->Cells = args(e.Args);
            n->Cycles = &m_script->Cycles();
            return n;
        }
        auto lit = node<LitNode>(e.At);
        lit->V = FunctionValue(proc->EngineRoutine(), QString());
        return lit;
    }
    case EK::Update: {
        auto n = node<UpdateNode>(e.At);
        n->Target = lvalue(*e.A);
        n->F = m_rules.Binary[int(e.Oper)];
        n->Postfix = e.Postfix;
        return n;
    }
    }
    compileError(QStringLiteral("Expression expected"), e.At);
}

EP Compiler::condition(const Expr &e)
{
    EP n = expr(e);
    if (!m_rules.Truth)
        return n;
    // comparisons give Booleans already
    if (e.Kind == EK::Binary && e.Oper >= Op::Eq && e.Oper <= Op::StrictNe)
        return n;
    if (e.Kind == EK::Unary && e.Oper == Op::LogicalNot)
        return n;
    auto t = node<TruthNode>(e.At);
    t->A = std::move(n);
    t->Truth = m_rules.Truth;
    return t;
}

EP Compiler::unaryNode(const Expr &e)
{
    if (e.Oper == Op::TypeOf && e.A->Kind == EK::Name) {
        // typeof of a routine, or of a name nobody declared, is known now
        const Resolved r = resolve(e.A->Name);
        const bool routine = r.K == Resolved::RBuiltin
            || (r.K == Resolved::RItem
                && (dynamic_cast<TfsProcVariable *>(r.Item.get()) || dynamic_cast<TfsMethodHelper *>(r.Item.get())));
        if (routine || r.K == Resolved::RNone) {
            auto lit = node<LitNode>(e.At);
            lit->V = Value(routine ? u"function"_s : u"undefined"_s);
            return lit;
        }
    }
    const UnaryFn f = m_rules.Unary[int(e.Oper)];
    if (!f)
        compileError(QStringLiteral("Operator not applicable"), e.At);
    // fold negative literals so that constants stay constants
    if (e.Oper == Op::Neg && e.A->Kind == EK::Literal) {
        auto lit = node<LitNode>(e.At);
        lit->V = f(e.A->Lit);
        return lit;
    }
    auto n = node<UnaryNode>(e.At);
    n->A = expr(*e.A);
    n->F = f;
    return n;
}

template <Op O>
EP Compiler::bin(const Expr &e)
{
    EP a = expr(*e.A);
    EP b = expr(*e.B);
    if (a->isInt() && b->isInt()) {
        constexpr bool division = O == Op::Mod || O == Op::IntDiv || O == Op::Divide;
        if constexpr (O == Op::Add || O == Op::Sub || O == Op::Mul || division) {
            if (!division || (m_rules.IntDivisionNodes && (O != Op::Divide || m_rules.IntDivideTruncates)))
                return intNode<IntBinNode, O == Op::Divide ? Op::IntDiv : O>(std::move(a), std::move(b), e.At);
        } else if constexpr (O == Op::Eq || O == Op::Ne || O == Op::Lt || O == Op::Le || O == Op::Gt
                             || O == Op::Ge) {
            return intNode<IntCmpNode, O>(std::move(a), std::move(b), e.At);
        }
    }
    auto n = node<BinNode<O>>(e.At);
    n->A = std::move(a);
    n->B = std::move(b);
    n->Slow = m_rules.Binary[int(O)];
    return n;
}

EP Compiler::binaryNode(const Expr &e)
{
    int spine = 0;
    for (const Expr *p = &e; p->Kind == EK::Binary && spine <= kChainThreshold; p = p->A.get())
        ++spine;
    if (spine > kChainThreshold)
        return chainNode(e);
    const BinaryFn f = m_rules.Binary[int(e.Oper)];
    switch (e.Oper) {
    case Op::AndThen:
    case Op::OrElse: {
        if (m_rules.Truth) {
            auto n = node<TruthLogicNode>(e.At);
            n->A = condition(*e.A);
            n->B = condition(*e.B);
            n->IsAnd = e.Oper == Op::AndThen;
            n->Truth = m_rules.Truth;
            return n;
        }
        auto n = node<LogicNode>(e.At);
        n->A = expr(*e.A);
        n->B = expr(*e.B);
        n->IsAnd = e.Oper == Op::AndThen;
        return n;
    }
    default: break;
    }
    if (!f)
        compileError(QStringLiteral("Operator not applicable"), e.At);
    switch (e.Oper) {
    case Op::Add: return bin<Op::Add>(e);
    case Op::Sub: return bin<Op::Sub>(e);
    case Op::Mul: return bin<Op::Mul>(e);
    case Op::Divide: return bin<Op::Divide>(e);
    case Op::IntDiv: return bin<Op::IntDiv>(e);
    case Op::Mod: return bin<Op::Mod>(e);
    case Op::Eq: return bin<Op::Eq>(e);
    case Op::Ne: return bin<Op::Ne>(e);
    case Op::Lt: return bin<Op::Lt>(e);
    case Op::Le: return bin<Op::Le>(e);
    case Op::Gt: return bin<Op::Gt>(e);
    case Op::Ge: return bin<Op::Ge>(e);
    case Op::And:
    case Op::Or:
        if (m_rules.ShortCircuitAndOr) {
            auto n = node<AndOrNode>(e.At);
            n->A = expr(*e.A);
            n->B = expr(*e.B);
            n->F = f;
            n->IsAnd = e.Oper == Op::And;
            return n;
        }
        [[fallthrough]];
    default: {
        auto n = node<BinNode<Op::Xor>>(e.At); // no inline integer path: the table decides
        n->A = expr(*e.A);
        n->B = expr(*e.B);
        n->Slow = f;
        return n;
    }
    }
}

// Generated code writes chains of thousands of terms; they compile to a list
// walked in a loop, so neither compiling nor running them recurses per term.
EP Compiler::chainNode(const Expr &e)
{
    std::vector<const Expr *> spine;
    const Expr *p = &e;
    for (; p->Kind == EK::Binary; p = p->A.get())
        spine.push_back(p);
    auto n = node<ChainNode>(e.At);
    n->First = expr(*p);
    n->ShortCircuit = m_rules.ShortCircuitAndOr;
    n->Truth = m_rules.Truth;
    n->Links.reserve(spine.size());
    for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
        const Expr &link = **it;
        const BinaryFn f = m_rules.Binary[int(link.Oper)];
        if (!f && link.Oper != Op::AndThen && link.Oper != Op::OrElse)
            compileError(QStringLiteral("Operator not applicable"), link.At);
        n->Links.push_back({link.Oper, f, expr(*link.B)});
    }
    return n;
}

} // namespace zor::script
