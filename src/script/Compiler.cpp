// AST -> closure tree, and the nodes that run it.
#include <ZorCompCore/script/Compiler.h>

#include <ZorCompCore/script/Builtins_p.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/Parser.h>

#include <ZorCompCore/platform/Exception.h>

#include <QHash>
#include <QSet>
#include <QMetaObject>
#include <QObject>
#include <cmath>

namespace zor::script {

using namespace Qt::StringLiterals;

namespace {

enum class Flow { Normal, Break, Continue, Exit };

// Declared kind of a variable; stores into typed variables convert.
enum class TK : quint8 { Any, Int, Float, Str, Bool, Date, Obj };

Value coerce(Value v, TK t)
{
    switch (t) {
    case TK::Any: case TK::Obj: return v;
    case TK::Int: return v.k == VK::Int ? v : Value(v.ToInt());
    case TK::Float: return v.k == VK::Double ? v : Value(v.ToDouble());
    case TK::Str: return v.k == VK::Str ? v : Value(v.ToString());
    case TK::Bool: return v.k == VK::Bool ? v : Value(v.ToBool());
    case TK::Date: return v.k == VK::Date ? v : Value::Date(v.ToDouble());
    }
    return v;
}

Value defaultOf(TK t)
{
    switch (t) {
    case TK::Int: return Value(qint64(0));
    case TK::Float: return Value(0.0);
    case TK::Str: return Value(QString(u""_s));
    case TK::Bool: return Value(false);
    case TK::Date: return Value::Date(0);
    case TK::Obj: return Value::Object(nullptr);
    case TK::Any: break;
    }
    return Value();
}

// --- runtime state of a thread ------------------------------------------

constexpr int kMaxDepth = 3000;
constexpr int kChunk = 1 << 14;

struct RuntimeError
{
    bool Set = false;
    Pos At;
};
// initial-exec: the per-call stack bookkeeping must not go through __tls_get_addr.
thread_local RuntimeError t_error __attribute__((tls_model("initial-exec")));

// Frames live in chunks that never move, so that pointers into a frame (by
// reference arguments) stay valid while it exists.
struct Stack
{
    std::vector<std::unique_ptr<Value[]>> Chunks;
    std::vector<int> Caps;
    int Chunk = -1;
    int Top = 0;
    int Depth = 0;
};
thread_local Stack t_stack __attribute__((tls_model("initial-exec")));

class Frame
{
public:
    explicit Frame(int n)
    {
        Stack &s = t_stack;
        if (s.Depth >= kMaxDepth)
            throw EfsScriptError(QStringLiteral("Stack overflow"), "EStackOverflow");
        ++s.Depth;
        m_chunk = s.Chunk;
        m_top = s.Top;
        m_n = n;
        if (s.Chunk < 0 || s.Top + n > s.Caps[size_t(s.Chunk)]) {
            const size_t next = size_t(s.Chunk + 1);
            const int cap = std::max(n, kChunk);
            if (next == s.Chunks.size()) {
                s.Chunks.emplace_back(new Value[size_t(cap)]);
                s.Caps.push_back(cap);
            } else if (s.Caps[next] < n) {
                s.Chunks[next].reset(new Value[size_t(cap)]);
                s.Caps[next] = cap;
            }
            s.Chunk = int(next);
            s.Top = 0;
        }
        Base = s.Chunks[size_t(s.Chunk)].get() + s.Top;
        s.Top += n;
    }
    ~Frame()
    {
        // Only strings, arrays and boxed variants own heap parts; the other
        // kinds are reset by their tag (the slot's string and box are null).
        for (int i = 0; i < m_n; ++i) {
            Value &v = Base[i];
            if (v.k == VK::Str || v.k == VK::Array || v.k == VK::Var)
                v = Value();
            else
                v.k = VK::Empty;
        }
        Stack &s = t_stack;
        s.Chunk = m_chunk;
        s.Top = m_top;
        --s.Depth;
    }
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    Value *Base;

private:
    int m_chunk, m_top, m_n;
};

[[noreturn]] void compileError(const QString &msg, Pos at)
{
    throw SyntaxError{msg, at.Line, at.Col};
}

[[noreturn]] void notAssignable()
{
    throw EfsScriptError(QStringLiteral("Left side cannot be assigned to"));
}

// --- nodes ------------------------------------------------------------------

struct ENode
{
    Pos At;
    virtual ~ENode() = default;
    virtual Value eval(Value *fp) = 0;
    // Address of the value, for by-reference arguments and in-place updates.
    virtual Value *addr(Value *) { return nullptr; }
    virtual void store(Value *, Value) { notAssignable(); }
    // Integer fast path: nodes whose value is known at compile time to be an
    // integer answer evalInt without building a Value.
    virtual bool isInt() const { return false; }
    virtual qint64 evalInt(Value *fp) { return eval(fp).ToInt(); }
    virtual bool evalBool(Value *fp) { return eval(fp).ToBool(); }
};
using EP = std::unique_ptr<ENode>;

inline qint64 intOf(const Value &v)
{
    return v.k == VK::Int ? v.i : v.ToInt();
}

struct SNode
{
    Pos At;
    virtual ~SNode() = default;
    virtual Flow exec(Value *fp) = 0;
};
using SP = std::unique_ptr<SNode>;

} // namespace

struct Routine
{
    QString Name;
    int NParams = 0;
    int FrameSize = 0; // parameters, Result and locals
    int ResultSlot = -1;
    TK ResultType = TK::Any;
    std::vector<bool> ByRef;
    std::vector<TK> ParamTypes;
    std::vector<Value> Defaults;
    std::vector<bool> HasDefault;
    std::vector<Value> Init; // initial values of slots NParams .. FrameSize-1
    SP Body;
    int MainCount = 0;
};

namespace {

// Fills the frame after its parameters, runs the body, returns the result.
inline bool ownsHeap(const Value &v)
{
    return v.k == VK::Str || v.k == VK::Array || v.k == VK::Var;
}

// Fills the locals of a fresh frame (its slots are empty and own nothing).
inline void initLocals(const Routine &r, Value *base)
{
    Value *d = base + r.NParams;
    for (const Value &v : r.Init) {
        if (ownsHeap(v)) {
            *d = v;
        } else {
            d->k = v.k;
            d->i = v.i;
        }
        ++d;
    }
}

inline Value runBody(Routine &r, Frame &f)
{
    initLocals(r, f.Base);
    r.Body->exec(f.Base);
    return r.ResultSlot >= 0 ? std::move(f.Base[r.ResultSlot]) : Value();
}

struct LitNode : ENode
{
    Value V;
    Value eval(Value *) override { return V; }
    bool isInt() const override { return V.k == VK::Int; }
    qint64 evalInt(Value *) override { return V.i; }
};

struct LocalNode : ENode
{
    int Slot;
    TK Type;
    Value eval(Value *fp) override { return fp[Slot]; }
    Value *addr(Value *fp) override { return &fp[Slot]; }
    void store(Value *fp, Value v) override { fp[Slot] = coerce(std::move(v), Type); }
    bool isInt() const override { return Type == TK::Int; }
    qint64 evalInt(Value *fp) override { return intOf(fp[Slot]); }
};

// A by-reference parameter: the slot holds the address of the caller's variable.
struct RefNode : ENode
{
    int Slot;
    TK Type;
    Value eval(Value *fp) override { return *fp[Slot].ref; }
    Value *addr(Value *fp) override { return fp[Slot].ref; }
    void store(Value *fp, Value v) override { *fp[Slot].ref = coerce(std::move(v), Type); }
    bool isInt() const override { return Type == TK::Int; }
    qint64 evalInt(Value *fp) override { return intOf(*fp[Slot].ref); }
};

struct GlobalNode : ENode
{
    Value *P;
    std::shared_ptr<TfsCustomVariable> Keep;
    TK Type;
    bool ReadOnly;
    Value eval(Value *) override { return *P; }
    Value *addr(Value *) override { return ReadOnly ? nullptr : P; }
    void store(Value *, Value v) override
    {
        if (ReadOnly)
            notAssignable();
        *P = coerce(std::move(v), Type);
    }
    bool isInt() const override { return Type == TK::Int; }
    qint64 evalInt(Value *) override { return intOf(*P); }
};

// Integer arithmetic on operands known to be integers; wraps around like
// the runtime's integer arithmetic instead of widening.
template <Op O>
struct IntBinNode : ENode
{
    EP A, B;
    bool isInt() const override { return true; }
    qint64 evalInt(Value *fp) override
    {
        const quint64 x = quint64(A->evalInt(fp)), y = quint64(B->evalInt(fp));
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

template <Op O>
struct IntCmpNode : ENode
{
    EP A, B;
    bool evalBool(Value *fp) override
    {
        const qint64 x = A->evalInt(fp), y = B->evalInt(fp);
        if constexpr (O == Op::Eq) return x == y;
        else if constexpr (O == Op::Ne) return x != y;
        else if constexpr (O == Op::Lt) return x < y;
        else if constexpr (O == Op::Le) return x <= y;
        else if constexpr (O == Op::Gt) return x > y;
        else return x >= y;
    }
    Value eval(Value *fp) override { return Value(evalBool(fp)); }
};

template <Op O>
struct BinNode : ENode
{
    EP A, B;
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
        return slow(x, y);
    }
    static Value slow(const Value &x, const Value &y)
    {
        if constexpr (O == Op::Add) return Add(x, y);
        else if constexpr (O == Op::Sub) return Sub(x, y);
        else if constexpr (O == Op::Mul) return Mul(x, y);
        else if constexpr (O == Op::Divide) return Divide(x, y);
        else if constexpr (O == Op::IntDiv) return IntDiv(x, y);
        else if constexpr (O == Op::Mod) return Mod(x, y);
        else if constexpr (O == Op::Xor) return Xor(x, y);
        else if constexpr (O == Op::Shl) return Shl(x, y);
        else if constexpr (O == Op::Shr) return Shr(x, y);
        else if constexpr (O == Op::Concat) return Value(x.ToString() + y.ToString());
        else if constexpr (O == Op::Eq) return Value(Compare(x, y) == 0);
        else if constexpr (O == Op::Ne) return Value(Compare(x, y) != 0);
        else if constexpr (O == Op::Lt) return Value(Compare(x, y) == -1);
        else if constexpr (O == Op::Le) { const int c = Compare(x, y); return Value(c == -1 || c == 0); }
        else if constexpr (O == Op::Gt) return Value(Compare(x, y) == 1);
        else if constexpr (O == Op::Ge) { const int c = Compare(x, y); return Value(c == 1 || c == 0); }
        else return Value();
    }
};

// Pascal and/or: Boolean operands short-circuit, integers combine bitwise.
struct AndNode : ENode
{
    EP A, B;
    Value eval(Value *fp) override
    {
        Value x = A->eval(fp);
        if (x.k == VK::Bool && !x.i)
            return Value(false);
        return And(x, B->eval(fp));
    }
};

struct OrNode : ENode
{
    EP A, B;
    Value eval(Value *fp) override
    {
        Value x = A->eval(fp);
        if (x.k == VK::Bool && x.i)
            return Value(true);
        return Or(x, B->eval(fp));
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

struct UnaryNode : ENode
{
    EP A;
    Op Oper;
    Value eval(Value *fp) override
    {
        Value x = A->eval(fp);
        switch (Oper) {
        case Op::Neg: return Neg(x);
        case Op::Not: return Not(x);
        default: return x;
        }
    }
};

struct CondNode : ENode
{
    EP A, B, C;
    Value eval(Value *fp) override { return A->evalBool(fp) ? B->eval(fp) : C->eval(fp); }
};

struct ArrayLitNode : ENode
{
    std::vector<EP> Items;
    Value eval(Value *fp) override
    {
        Value r = Value::NewArray(0, int(Items.size()) - 1);
        ArrayBox *a = r.MutableArray();
        for (size_t i = 0; i < Items.size(); ++i)
            a->Items[i] = Items[i]->eval(fp);
        return r;
    }
};

[[noreturn]] void rangeError()
{
    throw ERangeError(QStringLiteral("Range check error"));
}

// a[i], s[i]: arrays by their bounds, strings from 1 (Pascal, Basic) or 0.
struct IndexNode : ENode
{
    EP Base;
    EP Index;
    bool StringsFromOne;

    static Value element(const Value &base, const Value &index, bool fromOne)
    {
        const qint64 i = index.ToInt();
        if (const ArrayBox *a = base.Array()) {
            const qint64 n = i - a->Low;
            if (n < 0 || n >= qint64(a->Items.size()))
                rangeError();
            return a->Items[size_t(n)];
        }
        if (base.k == VK::Str) {
            const qint64 n = fromOne ? i - 1 : i;
            if (n < 0 || n >= base.s.size())
                rangeError();
            return Value(QString(base.s[qsizetype(n)]));
        }
        if (base.k == VK::Var) {
            const Variant &v = static_cast<VariantBox *>(base.box.get())->V;
            if (v.IsArray())
                return Value::FromVariant(v.ArrayGet(int(i)));
        }
        throw EfsScriptError(QStringLiteral("Array type required"));
    }

    Value eval(Value *fp) override
    {
        Value b = Base->eval(fp);
        return element(b, Index->eval(fp), StringsFromOne);
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
        Value *b = Base->addr(fp);
        if (!b)
            notAssignable();
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
        if (n < 0 || n >= qint64(a->Items.size()))
            rangeError();
        a->Items[size_t(n)] = std::move(v);
    }
};

// Evaluates the arguments of a call into Value slots: by-reference ones as
// references to the variable (or to a temporary when the argument is not one).
struct CallRoutineNode : ENode
{
    Routine *R;
    std::shared_ptr<Routine> Keep;
    std::vector<EP> Args;

    std::vector<char> IntArg; // argument i is an integer for an Integer value parameter

    // Result is coerced on every store, so an Integer function returns an integer.
    bool isInt() const override { return R->ResultType == TK::Int && R->ResultSlot >= 0; }

    qint64 evalInt(Value *fp) override
    {
        Frame f(R->FrameSize + R->NParams);
        enter(f, fp);
        R->Body->exec(f.Base);
        return intOf(f.Base[R->ResultSlot]);
    }

    Value eval(Value *fp) override
    {
        Frame f(R->FrameSize + R->NParams);
        enter(f, fp);
        R->Body->exec(f.Base);
        return R->ResultSlot >= 0 ? std::move(f.Base[R->ResultSlot]) : Value();
    }

    void enter(Frame &f, Value *fp)
    {
        Routine &r = *R;
        const int n = int(Args.size());
        for (int i = 0; i < n; ++i) {
            if (IntArg[size_t(i)]) {
                f.Base[i].i = Args[size_t(i)]->evalInt(fp); // the slot is fresh
                f.Base[i].k = VK::Int;
            } else if (r.ByRef[size_t(i)]) {
                Value *p = Args[size_t(i)]->addr(fp);
                if (!p) {
                    p = &f.Base[r.FrameSize + i];
                    *p = Args[size_t(i)]->eval(fp);
                }
                f.Base[i] = Value::Reference(p);
            } else {
                f.Base[i] = coerce(Args[size_t(i)]->eval(fp), r.ParamTypes[size_t(i)]);
            }
        }
        for (int i = n; i < r.NParams; ++i) {
            if (r.ByRef[size_t(i)]) {
                Value *p = &f.Base[r.FrameSize + i];
                *p = r.Defaults[size_t(i)];
                f.Base[i] = Value::Reference(p);
            } else {
                f.Base[i] = r.Defaults[size_t(i)];
            }
        }
        initLocals(r, f.Base);
    }
};

struct BuiltinNode : ENode
{
    const Builtin *B;
    std::vector<EP> Args;

    Value eval(Value *fp) override
    {
        const int n = int(Args.size());
        Value temps[8];
        Value *ptrs[8];
        for (int i = 0; i < n; ++i) {
            Value *p = nullptr;
            if (B->RefMask & (1u << i))
                p = Args[size_t(i)]->addr(fp);
            if (!p) {
                temps[i] = Args[size_t(i)]->eval(fp);
                p = &temps[i];
            }
            ptrs[i] = p;
        }
        return B->Fn(ptrs, n);
    }
};

QObject *objectOf(const Value &v, const QString &member)
{
    QObject *o = v.ToObject();
    if (!o)
        throw EfsScriptError(QStringLiteral("Access violation: nil object used for '%1'").arg(member),
                             "EAccessViolation");
    return o;
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

// Calls a host method; var parameters are written back to the arguments' variables.
Value callHost(TfsMethodHelper *m, QObject *instance, std::vector<EP> &argNodes, Value *fp)
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

struct HostCallNode : ENode
{
    TfsMethodHelper *M;
    std::shared_ptr<TfsCustomVariable> Keep;
    std::vector<EP> Args;
    Value eval(Value *fp) override { return callHost(M, nullptr, Args, fp); }
};

// obj.Name and obj.Name(args): resolved on the object's class at run time,
// remembered per class.
struct MemberNode : ENode
{
    EP Obj;
    QString Name;
    std::vector<EP> Args;
    bool HasArgs = false;
    TfsScript *Script;
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
            throw EfsScriptError(QStringLiteral("Undeclared identifier: '%1'").arg(Name));
        CachedMeta = meta;
        CachedMember = m;
        return m;
    }

    Value eval(Value *fp) override
    {
        QObject *o = objectOf(Obj->eval(fp), Name);
        TfsCustomVariable *m = member(o);
        if (auto *method = dynamic_cast<TfsMethodHelper *>(m))
            return callHost(method, o, Args, fp);
        if (HasArgs)
            throw EfsScriptError(QStringLiteral("'%1' is not a method").arg(Name));
        if (auto *prop = dynamic_cast<TfsPropertyHelper *>(m))
            return prop->Get(o);
        return *m->GetPValue();
    }

    void store(Value *fp, Value v) override
    {
        QObject *o = objectOf(Obj->eval(fp), Name);
        auto *prop = dynamic_cast<TfsPropertyHelper *>(member(o));
        if (!prop || HasArgs)
            notAssignable();
        prop->Set(o, v);
    }
};

// ClassName.Method(args): a class-level method, called without an instance.
struct ClassCallNode : ENode
{
    TfsMethodHelper *M;
    std::shared_ptr<TfsCustomVariable> Keep;
    std::vector<EP> Args;
    Value eval(Value *fp) override { return callHost(M, nullptr, Args, fp); }
};

// --- statements ---------------------------------------------------------

struct BlockNode : SNode
{
    std::vector<SP> Body;
    Flow exec(Value *fp) override
    {
        SNode *s = nullptr;
        try {
            for (auto &st : Body) {
                s = st.get();
                const Flow f = s->exec(fp);
                if (f != Flow::Normal)
                    return f;
            }
        } catch (const Exception &) {
            // The innermost statement names the position of a runtime error.
            if (!t_error.Set && s) {
                t_error.Set = true;
                t_error.At = s->At;
            }
            throw;
        }
        return Flow::Normal;
    }
};

struct EmptyNode : SNode
{
    Flow exec(Value *) override { return Flow::Normal; }
};

struct ExprStmtNode : SNode
{
    EP E;
    Flow exec(Value *fp) override
    {
        E->eval(fp);
        return Flow::Normal;
    }
};

struct AssignNode : SNode
{
    EP Target, Rhs;
    Flow exec(Value *fp) override
    {
        Target->store(fp, Rhs->eval(fp));
        return Flow::Normal;
    }
};

struct AssignLocalNode : SNode
{
    int Slot;
    TK Type;
    EP Rhs;
    Flow exec(Value *fp) override
    {
        fp[Slot] = coerce(Rhs->eval(fp), Type);
        return Flow::Normal;
    }
};

// An integer into an Integer variable: the slot is updated in place.
struct IntAssignNode : SNode
{
    EP Target; // LocalNode, RefNode or GlobalNode of an Integer variable
    EP Rhs;
    Flow exec(Value *fp) override
    {
        const qint64 v = Rhs->evalInt(fp);
        Value *p = Target->addr(fp);
        if (p && p->k == VK::Int)
            p->i = v;
        else
            Target->store(fp, Value(v));
        return Flow::Normal;
    }
};

// x := x + e, updated in place: strings grow without being copied.
struct AppendNode : SNode
{
    EP Target, Rhs;
    TK Type;
    bool RhsInt = false;
    Flow exec(Value *fp) override
    {
        if (RhsInt) {
            const qint64 v = Rhs->evalInt(fp);
            Value *p = Target->addr(fp);
            if (p && p->k == VK::Int) {
                p->i = qint64(quint64(p->i) + quint64(v)); // Integer variables wrap around
                return Flow::Normal;
            }
            Target->store(fp, Add(Target->eval(fp), Value(v)));
            return Flow::Normal;
        }
        Value r = Rhs->eval(fp);
        Value *p = Target->addr(fp);
        if (!p) {
            Target->store(fp, Add(Target->eval(fp), r));
            return Flow::Normal;
        }
        qint64 sum;
        if (Type == TK::Int && p->k == VK::Int && r.k == VK::Int)
            p->i = qint64(quint64(p->i) + quint64(r.i)); // Integer variables wrap around
        else if (p->k == VK::Int && r.k == VK::Int && !__builtin_add_overflow(p->i, r.i, &sum))
            p->i = sum;
        else if (p->k == VK::Str && r.k == VK::Str)
            p->s.append(r.s);
        else
            *p = coerce(Add(*p, r), Type);
        return Flow::Normal;
    }
};

struct IfNode : SNode
{
    EP Cond;
    SP Then, Else;
    Flow exec(Value *fp) override
    {
        if (Cond->evalBool(fp))
            return Then->exec(fp);
        return Else ? Else->exec(fp) : Flow::Normal;
    }
};

struct WhileNode : SNode
{
    EP Cond;
    SP Body;
    Flow exec(Value *fp) override
    {
        while (Cond->evalBool(fp)) {
            const Flow f = Body->exec(fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
        }
        return Flow::Normal;
    }
};

// repeat … until Cond, or do … while Cond (Negate).
struct RepeatNode : SNode
{
    EP Cond;
    SP Body;
    bool Negate;
    Flow exec(Value *fp) override
    {
        for (;;) {
            const Flow f = Body->exec(fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
            if (Cond->evalBool(fp) != Negate)
                break;
        }
        return Flow::Normal;
    }
};

struct ForNode : SNode
{
    EP Var, From, To, Step;
    SP Body;
    bool Down;
    TK Type;
    Flow exec(Value *fp) override
    {
        qint64 i = From->eval(fp).ToInt();
        const qint64 limit = To->eval(fp).ToInt();
        const qint64 step = Step ? Step->eval(fp).ToInt() : (Down ? -1 : 1);
        if (step == 0)
            throw EfsScriptError(QStringLiteral("Step of a for loop must not be zero"));
        while (step > 0 ? i <= limit : i >= limit) {
            Value *p = Var->addr(fp);
            if (p && p->k == VK::Int)
                p->i = i;
            else if (p)
                *p = Value(i);
            else
                Var->store(fp, Value(i));
            const Flow f = Body->exec(fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
            if (__builtin_add_overflow(i, step, &i))
                break;
        }
        return Flow::Normal;
    }
};

struct CForNode : SNode
{
    SP Init, Step, Body;
    EP Cond;
    Flow exec(Value *fp) override
    {
        Init->exec(fp);
        for (;;) {
            if (Cond && !Cond->evalBool(fp))
                break;
            const Flow f = Body->exec(fp);
            if (f == Flow::Break)
                break;
            if (f == Flow::Exit)
                return f;
            Step->exec(fp);
        }
        return Flow::Normal;
    }
};

struct CaseLabel
{
    EP Lo, Hi; // Hi set: a range
};

struct CaseNode : SNode
{
    EP Selector;
    std::vector<std::vector<CaseLabel>> Labels;
    std::vector<SP> Bodies; // one per label list; the last is the else part
    bool FallThrough;       // C switch

    bool matches(const std::vector<CaseLabel> &labels, const Value &v, Value *fp)
    {
        for (const CaseLabel &l : labels) {
            if (l.Hi) {
                const int lo = Compare(l.Lo->eval(fp), v), hi = Compare(v, l.Hi->eval(fp));
                if ((lo == -1 || lo == 0) && (hi == -1 || hi == 0))
                    return true;
            } else if (Compare(v, l.Lo->eval(fp)) == 0) {
                return true;
            }
        }
        return false;
    }

    Flow exec(Value *fp) override
    {
        const Value v = Selector->eval(fp);
        size_t start = Bodies.size();
        for (size_t i = 0; i < Labels.size(); ++i) {
            if (matches(Labels[i], v, fp)) {
                start = i;
                break;
            }
        }
        if (start == Bodies.size()) {
            // no label matched: the else part (Pascal) or the default label (C)
            if (!FallThrough) {
                return Bodies.back() ? Bodies.back()->exec(fp) : Flow::Normal;
            }
            for (size_t i = 0; i < Labels.size(); ++i) {
                if (Labels[i].empty()) {
                    start = i;
                    break;
                }
            }
            if (start == Bodies.size())
                return Flow::Normal;
        }
        if (!FallThrough)
            return Bodies[start]->exec(fp);
        for (size_t i = start; i < Labels.size(); ++i) {
            const Flow f = Bodies[i]->exec(fp);
            if (f == Flow::Break)
                return Flow::Normal;
            if (f != Flow::Normal)
                return f;
        }
        return Flow::Normal;
    }
};

struct TryExceptNode : SNode
{
    SP Body, Handler;
    int VarSlot = -1;
    Flow exec(Value *fp) override
    {
        try {
            return Body->exec(fp);
        } catch (const Exception &e) {
            t_error.Set = false; // handled: the next error gets its own position
            PushHandledException(e.Message(), QString::fromLatin1(e.ClassName()));
            struct Pop
            {
                ~Pop() { PopHandledException(); }
            } pop;
            if (VarSlot >= 0)
                fp[VarSlot] = Value(e.Message());
            return Handler->exec(fp);
        }
    }
};

struct TryFinallyNode : SNode
{
    SP Body, Finally;
    Flow exec(Value *fp) override
    {
        Flow f;
        try {
            f = Body->exec(fp);
        } catch (...) {
            Finally->exec(fp);
            throw;
        }
        const Flow g = Finally->exec(fp);
        return g != Flow::Normal ? g : f;
    }
};

struct ExitNode : SNode
{
    EP V;
    int Slot = -1;
    TK Type = TK::Any;
    Flow exec(Value *fp) override
    {
        if (V) {
            Value v = V->eval(fp);
            if (Slot >= 0)
                fp[Slot] = coerce(std::move(v), Type);
        }
        return Flow::Exit;
    }
};

struct JumpNode : SNode
{
    Flow F;
    Flow exec(Value *) override { return F; }
};

struct RaiseNode : SNode
{
    EP Message;
    QByteArray ClassName;
    Flow exec(Value *fp) override
    {
        if (!Message) {
            if (!std::current_exception())
                throw EfsScriptError(QStringLiteral("Re-raising an exception only allowed in exception handler"));
            throw;
        }
        throw EfsScriptError(Message->eval(fp).ToString(), ClassName);
    }
};

// --- the compiler -------------------------------------------------------

struct LocalInfo
{
    int Slot;
    bool ByRef;
    TK Type;
};

struct Scope
{
    QHash<QString, LocalInfo> Names;
    int Count = 0;
    int NParams = 0;
    Routine *R = nullptr;
    QString RoutineUpper;
    std::vector<Value> Init; // of slots NParams..
    int declare(const QString &upper, TK type, bool byRef, Value init)
    {
        const int slot = Count++;
        Names.insert(upper, {slot, byRef, type});
        if (slot >= NParams)
            Init.push_back(std::move(init));
        return slot;
    }
};

TK typeKindOf(const QString &typeName, TfsScript *script)
{
    const QString t = typeName.toUpper();
    static const QHash<QString, TK> known = {
        {u"INTEGER"_s, TK::Int}, {u"INT64"_s, TK::Int}, {u"LONGINT"_s, TK::Int}, {u"CARDINAL"_s, TK::Int},
        {u"BYTE"_s, TK::Int}, {u"WORD"_s, TK::Int}, {u"SMALLINT"_s, TK::Int}, {u"SHORTINT"_s, TK::Int},
        {u"LONGWORD"_s, TK::Int}, {u"INT"_s, TK::Int}, {u"LONG"_s, TK::Int}, {u"SHORT"_s, TK::Int},
        {u"DOUBLE"_s, TK::Float}, {u"EXTENDED"_s, TK::Float}, {u"SINGLE"_s, TK::Float},
        {u"REAL"_s, TK::Float}, {u"FLOAT"_s, TK::Float}, {u"CURRENCY"_s, TK::Float},
        {u"STRING"_s, TK::Str}, {u"ANSISTRING"_s, TK::Str}, {u"WIDESTRING"_s, TK::Str},
        {u"UNICODESTRING"_s, TK::Str}, {u"CHAR"_s, TK::Str}, {u"WIDECHAR"_s, TK::Str},
        {u"BOOLEAN"_s, TK::Bool}, {u"BOOL"_s, TK::Bool},
        {u"TDATETIME"_s, TK::Date}, {u"TDATE"_s, TK::Date}, {u"TTIME"_s, TK::Date},
    };
    if (t.isEmpty())
        return TK::Any;
    auto it = known.find(t);
    if (it != known.end())
        return *it;
    if (TfsCustomVariable *item = script->Find(typeName)) {
        if (dynamic_cast<TfsClassVariable *>(item))
            return TK::Obj;
        if (item->TypeName() == u"@type") {
            switch (item->Typ()) {
            case fvtInt: return TK::Int;
            case fvtBool: return TK::Bool;
            case fvtFloat: return TK::Float;
            case fvtChar: case fvtString: return TK::Str;
            case fvtClass: return TK::Obj;
            default: return TK::Any;
            }
        }
    }
    return TK::Any;
}

class Compiler
{
public:
    Compiler(TfsScript *script, Syntax syntax) : m_script(script), m_syntax(syntax) {}

    // Routines of one program call each other by plain pointer; what keeps
    // them alive is the program's routine set, shared by the program and by
    // its procedure items (through aliasing pointers), so recursion makes no
    // reference cycle.
    std::unique_ptr<Program> run(ProgramDef &def, const std::shared_ptr<std::vector<std::shared_ptr<Routine>>> &set,
                                 std::shared_ptr<Routine> &main)
    {
        std::vector<std::shared_ptr<Routine>> &routines = *set;
        // Globals and constants first, so that every body sees all of them.
        for (VarDef &v : def.Globals) {
            checkNew(v.Name, v.At);
            auto item = std::make_shared<TfsVariable>(v.Name, fvtVariant, v.TypeName);
            item->SetIsProgramItem(true);
            if (v.IsConst) {
                item->SetIsReadOnly(true);
                item->SetRawValue(constant(*v.Init));
            } else {
                const TK t = typeKindOf(v.TypeName, m_script);
                Value init = initialValue(v, t);
                if (v.Init)
                    init = coerce(constant(*v.Init), t);
                item->SetRawValue(std::move(init));
            }
            m_globalTypes.insert(item.get(), v.IsArray ? TK::Any : typeKindOf(v.TypeName, m_script));
            m_script->Add(item);
        }
        // Routines: items and shells first, bodies next (calls may go forward).
        std::vector<std::pair<RoutineDef *, std::shared_ptr<Routine>>> shells;
        for (RoutineDef &rd : def.Routines) {
            checkNew(rd.Name, rd.At);
            auto r = std::make_shared<Routine>();
            r->Name = rd.Name;
            r->NParams = int(rd.Params.size());
            auto proc = std::make_shared<TfsProcVariable>(rd.Name, fvtVariant, rd.ResultType, rd.IsFunction);
            proc->SetIsProgramItem(true);
            for (ParamDef &p : rd.Params) {
                r->ByRef.push_back(p.ByRef);
                r->ParamTypes.push_back(typeKindOf(p.TypeName, m_script));
                auto param = std::make_shared<TfsParamItem>(p.Name, fvtVariant, p.TypeName, p.ByRef);
                if (p.Default) {
                    const Value dv = constant(*p.Default);
                    param->SetDefault(dv.ToVariant());
                    r->Defaults.push_back(dv);
                    r->HasDefault.push_back(true);
                } else {
                    r->Defaults.push_back(defaultOf(r->ParamTypes.back()));
                    r->HasDefault.push_back(false);
                }
                proc->Add(param);
            }
            proc->SetEngineRoutine(std::shared_ptr<Routine>(set, r.get()), m_script);
            m_own.insert(r.get());
            m_script->Add(proc);
            shells.emplace_back(&rd, r);
            routines.push_back(r);
        }
        for (auto &[rd, r] : shells)
            compileRoutine(*rd, *r);

        main = std::make_shared<Routine>();
        main->Name = QStringLiteral("main");
        Scope scope;
        scope.R = main.get();
        m_scope = &scope;
        main->Body = block(*def.Main);
        main->MainCount = int(def.Main->Body.size());
        main->FrameSize = scope.Count;
        main->Init = std::move(scope.Init);
        m_scope = nullptr;
        return nullptr;
    }

private:
    void checkNew(const QString &name, Pos at)
    {
        if (TfsCustomVariable *old = m_script->FindLocal(name); old && old->IsProgramItem())
            compileError(QStringLiteral("Identifier redeclared: '%1'").arg(name), at);
    }

    Value initialValue(const VarDef &v, TK t)
    {
        if (!v.IsArray)
            return defaultOf(t);
        if (v.ArrayHigh - v.ArrayLow > 10'000'000)
            compileError(QStringLiteral("Array too large"), v.At);
        const QString elemType = v.TypeName.mid(9); // after "array of "
        Value a = Value::NewArray(v.ArrayLow, v.ArrayHigh);
        const Value d = defaultOf(typeKindOf(elemType, m_script));
        for (Value &e : a.MutableArray()->Items)
            e = d;
        return a;
    }

    // A constant expression, evaluated now (initial values, defaults, const).
    Value constant(const Expr &e)
    {
        Scope *saved = m_scope;
        Scope none;
        m_scope = &none;
        EP node = expr(e);
        m_scope = saved;
        try {
            return node->eval(nullptr);
        } catch (const Exception &ex) {
            compileError(ex.Message(), e.At);
        }
    }

    void compileRoutine(RoutineDef &rd, Routine &r)
    {
        Scope scope;
        scope.R = &r;
        scope.RoutineUpper = rd.Name.toUpper();
        scope.NParams = int(rd.Params.size());
        for (size_t i = 0; i < rd.Params.size(); ++i) {
            const QString up = rd.Params[i].Name.toUpper();
            if (scope.Names.contains(up))
                compileError(QStringLiteral("Identifier redeclared: '%1'").arg(rd.Params[i].Name), rd.At);
            scope.declare(up, r.ParamTypes[i], rd.Params[i].ByRef, Value());
        }
        if (rd.IsFunction) {
            r.ResultType = typeKindOf(rd.ResultType, m_script);
            r.ResultSlot = scope.declare(QStringLiteral("RESULT"), r.ResultType, false, defaultOf(r.ResultType));
        }
        m_scope = &scope;
        for (VarDef &v : rd.Locals) {
            const QString up = v.Name.toUpper();
            if (scope.Names.contains(up))
                compileError(QStringLiteral("Identifier redeclared: '%1'").arg(v.Name), v.At);
            if (v.IsConst) {
                const Value c = constant(*v.Init);
                scope.declare(up, TK::Any, false, c);
                continue;
            }
            const TK t = v.IsArray ? TK::Any : typeKindOf(v.TypeName, m_script);
            Value init = initialValue(v, t);
            if (v.Init)
                init = coerce(constant(*v.Init), t);
            scope.declare(up, t, false, std::move(init));
        }
        r.Body = block(*rd.Body);
        r.FrameSize = scope.Count;
        r.Init = std::move(scope.Init);
        m_scope = nullptr;
    }

    // Statements -----------------------------------------------------------

    SP block(const Stmt &s)
    {
        auto b = std::make_unique<BlockNode>();
        b->At = s.At;
        if (s.Kind == SK::Block) {
            for (const StmtP &st : s.Body)
                if (st)
                    b->Body.push_back(stmt(*st));
        } else {
            b->Body.push_back(stmt(s));
        }
        return b;
    }

    template <typename T>
    std::unique_ptr<T> node(Pos at)
    {
        auto n = std::make_unique<T>();
        n->At = at;
        return n;
    }

    SP stmt(const Stmt &s)
    {
        switch (s.Kind) {
        case SK::Block: return block(s);
        case SK::Empty: return node<EmptyNode>(s.At);
        case SK::ExprStmt: {
            auto n = node<ExprStmtNode>(s.At);
            n->E = callOrValue(*s.A, true);
            return n;
        }
        case SK::Assign: return assignment(s);
        case SK::VarDecl: return varDecl(s);
        case SK::If: {
            auto n = node<IfNode>(s.At);
            n->Cond = expr(*s.A);
            n->Then = block(*s.Body[0]);
            if (s.Body.size() > 1 && s.Body[1])
                n->Else = block(*s.Body[1]);
            return n;
        }
        case SK::While: {
            auto n = node<WhileNode>(s.At);
            n->Cond = expr(*s.A);
            n->Body = loopBody(*s.Body[0]);
            return n;
        }
        case SK::Repeat: {
            auto n = node<RepeatNode>(s.At);
            n->Body = loopBody(*s.Body[0]);
            n->Cond = expr(*s.A);
            n->Negate = s.Negate;
            return n;
        }
        case SK::For: {
            auto n = node<ForNode>(s.At);
            Expr var;
            var.Kind = EK::Name;
            var.Name = s.Name;
            var.At = s.At;
            n->Var = lvalue(var);
            n->From = expr(*s.A);
            n->To = expr(*s.B);
            if (s.C)
                n->Step = expr(*s.C);
            n->Down = s.Down;
            n->Body = loopBody(*s.Body[0]);
            return n;
        }
        case SK::CFor: {
            auto n = node<CForNode>(s.At);
            n->Init = block(*s.Body[0]);
            if (s.A)
                n->Cond = expr(*s.A);
            n->Step = block(*s.Body[1]);
            n->Body = loopBody(*s.Body[2]);
            return n;
        }
        case SK::Case:
        case SK::Switch: {
            auto n = node<CaseNode>(s.At);
            n->FallThrough = s.Kind == SK::Switch;
            n->Selector = expr(*s.A);
            if (n->FallThrough)
                ++m_loops; // break leaves the switch
            for (const CaseBranch &br : s.Branches) {
                std::vector<CaseLabel> labels;
                for (const ExprP &l : br.Labels) {
                    CaseLabel cl;
                    if (l->Kind == EK::Binary && l->Oper == Op::Le && n->FallThrough == false
                        && isRangeLabel(*l)) {
                        cl.Lo = expr(*l->A);
                        cl.Hi = expr(*l->B);
                    } else {
                        cl.Lo = expr(*l);
                    }
                    labels.push_back(std::move(cl));
                }
                n->Labels.push_back(std::move(labels));
                auto b = node<BlockNode>(s.At);
                for (const StmtP &st : br.Body)
                    if (st)
                        b->Body.push_back(stmt(*st));
                n->Bodies.push_back(std::move(b));
            }
            if (n->FallThrough)
                --m_loops;
            if (!n->FallThrough)
                n->Bodies.push_back(s.Body.empty() ? nullptr : block(*s.Body[0]));
            return n;
        }
        case SK::TryExcept: {
            auto n = node<TryExceptNode>(s.At);
            n->Body = block(*s.Body[0]);
            if (!s.Name.isEmpty())
                n->VarSlot = localSlot(s.Name, TK::Any);
            n->Handler = block(*s.Body[1]);
            return n;
        }
        case SK::TryFinally: {
            auto n = node<TryFinallyNode>(s.At);
            n->Body = block(*s.Body[0]);
            n->Finally = block(*s.Body[1]);
            return n;
        }
        case SK::Exit: {
            auto n = node<ExitNode>(s.At);
            if (s.A) {
                n->V = expr(*s.A);
                if (m_scope->R && m_scope->R->ResultSlot >= 0) {
                    n->Slot = m_scope->R->ResultSlot;
                    n->Type = m_scope->R->ResultType;
                }
            }
            return n;
        }
        case SK::Break:
        case SK::Continue: {
            if (m_loops == 0)
                compileError(QStringLiteral("BREAK or CONTINUE outside of loop"), s.At);
            auto n = node<JumpNode>(s.At);
            n->F = s.Kind == SK::Break ? Flow::Break : Flow::Continue;
            return n;
        }
        case SK::Raise: return raise(s);
        }
        compileError(QStringLiteral("Statement expected"), s.At);
    }

    static bool isRangeLabel(const Expr &e) { return e.A && e.B && e.At.Line == e.A->At.Line && e.At.Col == e.A->At.Col; }

    SP loopBody(const Stmt &s)
    {
        ++m_loops;
        SP b = block(s);
        --m_loops;
        return b;
    }

    int localSlot(const QString &name, TK type)
    {
        const QString up = name.toUpper();
        auto it = m_scope->Names.find(up);
        if (it != m_scope->Names.end())
            return it->Slot;
        return m_scope->declare(up, type, false, defaultOf(type));
    }

    SP varDecl(const Stmt &s)
    {
        const TK t = typeKindOf(s.TypeName, m_script);
        if (m_scope->RoutineUpper.isEmpty() && (s.A || s.B) && !m_scope->Names.contains(s.Name.toUpper())) {
            // a top-level declaration with an initialiser: sets the global
            Resolved r = resolve(s.Name);
            if (r.K == Resolved::RItem && r.Item->IsProgramItem() && isVariableItem(r.Item.get())) {
                auto n = node<AssignNode>(s.At);
                n->Target = globalNode(r.Item, s.At);
                n->Rhs = s.B ? newArray(s, t) : expr(*s.A);
                return n;
            }
        }
        const int slot = localSlot(s.Name, t);
        m_scope->Names[s.Name.toUpper()].Type = t;
        auto n = node<AssignLocalNode>(s.At);
        n->Slot = slot;
        n->Type = t;
        if (s.B) {
            // int a[10] / Dim a(9): an array of that many default elements
            n->Type = TK::Any;
            m_scope->Names[s.Name.toUpper()].Type = TK::Any;
            n->Rhs = newArray(s, t);
            return n;
        }
        if (s.A) {
            n->Rhs = expr(*s.A);
        } else {
            auto lit = node<LitNode>(s.At);
            lit->V = defaultOf(t);
            n->Rhs = std::move(lit);
        }
        return n;
    }

    EP newArray(const Stmt &s, TK elem)
    {
        struct NewArrayNode : ENode
        {
            EP Size;
            TK Elem;
            Value eval(Value *fp) override
            {
                const qint64 n = Size->eval(fp).ToInt();
                if (n < 0 || n > 10'000'000)
                    rangeError();
                Value a = Value::NewArray(0, int(n) - 1);
                const Value d = defaultOf(Elem);
                for (Value &e : a.MutableArray()->Items)
                    e = d;
                return a;
            }
        };
        auto na = node<NewArrayNode>(s.At);
        na->Size = expr(*s.B);
        na->Elem = elem;
        return na;
    }

    static bool sameName(const Expr &a, const Expr &b)
    {
        return a.Kind == EK::Name && b.Kind == EK::Name && a.Name.compare(b.Name, Qt::CaseInsensitive) == 0;
    }

    SP assignment(const Stmt &s)
    {
        const Expr &target = *s.Target;
        // x := x + e on a variable: in place
        if (target.Kind == EK::Name && s.A->Kind == EK::Binary && s.A->Oper == Op::Add && sameName(target, *s.A->A)) {
            EP lv = lvalue(target);
            auto *global = dynamic_cast<GlobalNode *>(lv.get());
            if ((global && !global->ReadOnly) || dynamic_cast<LocalNode *>(lv.get()) || dynamic_cast<RefNode *>(lv.get())) {
                auto n = node<AppendNode>(s.At);
                n->Type = kindOfTarget(lv.get());
                n->Target = std::move(lv);
                n->Rhs = expr(*s.A->B);
                n->RhsInt = n->Type == TK::Int && n->Rhs->isInt();
                return n;
            }
        }
        EP lv = lvalue(target);
        if (lv->isInt() && kindOfTarget(lv.get()) == TK::Int) {
            EP rhs = expr(*s.A);
            if (rhs->isInt()) {
                auto n = node<IntAssignNode>(s.At);
                n->Target = std::move(lv);
                n->Rhs = std::move(rhs);
                return n;
            }
            auto n = node<AssignNode>(s.At);
            n->Target = std::move(lv);
            n->Rhs = std::move(rhs);
            return n;
        }
        if (auto *local = dynamic_cast<LocalNode *>(lv.get())) {
            auto n = node<AssignLocalNode>(s.At);
            n->Slot = local->Slot;
            n->Type = local->Type;
            n->Rhs = expr(*s.A);
            return n;
        }
        auto n = node<AssignNode>(s.At);
        n->Target = std::move(lv);
        n->Rhs = expr(*s.A);
        return n;
    }

    static TK kindOfTarget(ENode *n)
    {
        if (auto *l = dynamic_cast<LocalNode *>(n))
            return l->Type;
        if (auto *r = dynamic_cast<RefNode *>(n))
            return r->Type;
        if (auto *g = dynamic_cast<GlobalNode *>(n))
            return g->Type;
        return TK::Any;
    }

    SP raise(const Stmt &s)
    {
        auto n = node<RaiseNode>(s.At);
        n->ClassName = "Exception";
        if (!s.A)
            return n;
        // raise Exception.Create('text') / throw new EMyError("text")
        const Expr &e = *s.A;
        if (e.Kind == EK::Call && e.A->Kind == EK::Member && e.A->Name.compare(u"Create", Qt::CaseInsensitive) == 0
            && e.A->A->Kind == EK::Name && !resolvesToValue(e.A->A->Name)) {
            n->ClassName = e.A->A->Name.toLatin1();
            if (!e.Args.empty())
                n->Message = expr(*e.Args[0]);
            else {
                auto lit = node<LitNode>(s.At);
                lit->V = Value(QString());
                n->Message = std::move(lit);
            }
            return n;
        }
        n->Message = expr(e);
        return n;
    }

    // Expressions ----------------------------------------------------------

    struct Resolved
    {
        enum Kind { RNone, RLocal, RItem, RBuiltin } K = RNone;
        LocalInfo L{};
        std::shared_ptr<TfsCustomVariable> Item;
        const script::Builtin *B = nullptr;
    };

    Resolved resolve(const QString &name)
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
        if (const script::Builtin *b = FindBuiltin(up)) {
            r.K = Resolved::RBuiltin;
            r.B = b;
        }
        return r;
    }

    bool resolvesToValue(const QString &name)
    {
        const Resolved r = resolve(name);
        return r.K == Resolved::RLocal || (r.K == Resolved::RItem && !dynamic_cast<TfsClassVariable *>(r.Item.get()));
    }

    [[noreturn]] void undeclared(const Expr &e) { compileError(QStringLiteral("Undeclared identifier: '%1'").arg(e.Name), e.At); }

    EP localNode(const LocalInfo &l, Pos at)
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

    EP globalNode(const std::shared_ptr<TfsCustomVariable> &item, Pos at)
    {
        auto n = node<GlobalNode>(at);
        n->P = item->GetPValue();
        n->Keep = item;
        n->Type = m_globalTypes.value(item.get(), TK::Any);
        n->ReadOnly = item->IsReadOnly();
        return n;
    }

    // An assignment target.
    EP lvalue(const Expr &e)
    {
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
            if (r.K == Resolved::RNone && (m_syntax == Syntax::JScript || m_syntax == Syntax::Basic) && m_scope) {
                // JScript and BasicScript declare a variable by assigning to it
                LocalInfo l{m_scope->declare(up, TK::Any, false, Value()), false, TK::Any};
                return localNode(l, e.At);
            }
            if (r.K == Resolved::RNone)
                undeclared(e);
            compileError(QStringLiteral("Left side cannot be assigned to"), e.At);
        }
        if (e.Kind == EK::Index || (e.Kind == EK::Call && m_syntax == Syntax::Basic)) {
            if (e.Args.empty())
                compileError(QStringLiteral("Index expected"), e.At);
            return indexChain(e);
        }
        if (e.Kind == EK::Member) {
            EP n = expr(e);
            return n;
        }
        compileError(QStringLiteral("Left side cannot be assigned to"), e.At);
    }

    // a[i, j] = a[i][j]
    EP indexChain(const Expr &e)
    {
        EP base = e.A->Kind == EK::Name ? lvalueOrValue(*e.A) : expr(*e.A);
        for (const ExprP &ix : e.Args) {
            auto n = node<IndexNode>(e.At);
            n->Base = std::move(base);
            n->Index = expr(*ix);
            n->StringsFromOne = m_syntax == Syntax::Pascal || m_syntax == Syntax::Basic;
            base = std::move(n);
        }
        return base;
    }

    EP lvalueOrValue(const Expr &e)
    {
        Resolved r = resolve(e.Name);
        if (r.K == Resolved::RLocal)
            return localNode(r.L, e.At);
        if (r.K == Resolved::RItem && isVariableItem(r.Item.get()))
            return globalNode(r.Item, e.At);
        return expr(e);
    }

    static bool isVariableItem(TfsCustomVariable *item)
    {
        return !dynamic_cast<TfsProcVariable *>(item) && !dynamic_cast<TfsMethodHelper *>(item)
            && !dynamic_cast<TfsClassVariable *>(item) && item->TypeName() != u"@type";
    }

    EP expr(const Expr &e) { return callOrValue(e, false); }

    std::vector<EP> args(const std::vector<ExprP> &in)
    {
        std::vector<EP> out;
        for (const ExprP &a : in)
            out.push_back(expr(*a));
        return out;
    }

    EP callRoutine(const std::shared_ptr<TfsCustomVariable> &item, const std::vector<ExprP> &argExprs, Pos at)
    {
        auto *proc = static_cast<TfsProcVariable *>(item.get());
        std::shared_ptr<Routine> r = routineOf(*proc);
        if (!r)
            compileError(QStringLiteral("Routine '%1' is not compiled").arg(proc->Name()), at);
        if (int(argExprs.size()) > r->NParams)
            compileError(QStringLiteral("Too many actual parameters"), at);
        for (size_t i = argExprs.size(); i < size_t(r->NParams); ++i)
            if (!r->HasDefault[i])
                compileError(QStringLiteral("Not enough actual parameters"), at);
        auto n = node<CallRoutineNode>(at);
        n->R = r.get();
        if (!m_own.contains(r.get()))
            n->Keep = r; // another script's routine: keep its program alive
        n->Args = args(argExprs);
        for (size_t i = 0; i < n->Args.size(); ++i)
            n->IntArg.push_back(!r->ByRef[i] && r->ParamTypes[i] == TK::Int && n->Args[i]->isInt());
        return n;
    }

    EP callHostNode(const std::shared_ptr<TfsCustomVariable> &item, const std::vector<ExprP> &argExprs, Pos at)
    {
        auto *m = static_cast<TfsMethodHelper *>(item.get());
        if (int(argExprs.size()) > m->GetParamsCount())
            compileError(QStringLiteral("Too many actual parameters"), at);
        for (int i = int(argExprs.size()); i < m->GetParamsCount(); ++i)
            if (!m->GetParam(i)->HasDefault())
                compileError(QStringLiteral("Not enough actual parameters"), at);
        auto n = node<HostCallNode>(at);
        n->M = m;
        n->Keep = item;
        n->Args = args(argExprs);
        return n;
    }

    EP callBuiltin(const script::Builtin *b, const std::vector<ExprP> &argExprs, Pos at)
    {
        const int n = int(argExprs.size());
        if (n < b->MinArgs)
            compileError(QStringLiteral("Not enough actual parameters"), at);
        if ((b->MaxArgs >= 0 && n > b->MaxArgs) || n > 8)
            compileError(QStringLiteral("Too many actual parameters"), at);
        auto node_ = node<BuiltinNode>(at);
        node_->B = b;
        node_->Args = args(argExprs);
        return node_;
    }

    // Names of routines are calls even without parentheses.
    EP nameNode(const Expr &e, const std::vector<ExprP> *callArgs)
    {
        static const std::vector<ExprP> none;
        const std::vector<ExprP> &a = callArgs ? *callArgs : none;
        Resolved r = resolve(e.Name);
        switch (r.K) {
        case Resolved::RLocal:
            if (callArgs)
                break;
            return localNode(r.L, e.At);
        case Resolved::RItem:
            if (dynamic_cast<TfsProcVariable *>(r.Item.get()))
                return callRoutine(r.Item, a, e.At);
            if (dynamic_cast<TfsMethodHelper *>(r.Item.get()))
                return callHostNode(r.Item, a, e.At);
            if (callArgs)
                break;
            if (auto *cls = dynamic_cast<TfsClassVariable *>(r.Item.get())) {
                auto lit = node<LitNode>(e.At);
                lit->V = Value(QString(cls->Name()));
                return lit;
            }
            return globalNode(r.Item, e.At);
        case Resolved::RBuiltin:
            return callBuiltin(r.B, a, e.At);
        case Resolved::RNone:
            undeclared(e);
        }
        // a(i) on a variable: Basic indexes arrays with parentheses
        if (m_syntax == Syntax::Basic && callArgs && !callArgs->empty())
            return indexFromCall(e, *callArgs);
        compileError(QStringLiteral("'%1' is not a routine").arg(e.Name), e.At);
    }

    EP indexFromCall(const Expr &name, const std::vector<ExprP> &idx)
    {
        EP base = lvalueOrValue(name);
        for (const ExprP &ix : idx) {
            auto n = node<IndexNode>(name.At);
            n->Base = std::move(base);
            n->Index = expr(*ix);
            n->StringsFromOne = true;
            base = std::move(n);
        }
        return base;
    }

    EP memberNode(const Expr &m, const std::vector<ExprP> *callArgs)
    {
        // ClassName.Member: a class-level method
        if (m.A->Kind == EK::Name) {
            Resolved r = resolve(m.A->Name);
            if (r.K == Resolved::RItem) {
                if (auto *cls = dynamic_cast<TfsClassVariable *>(r.Item.get())) {
                    TfsCustomVariable *mem = cls->FindMember(m.Name, m_script);
                    auto *helper = dynamic_cast<TfsMethodHelper *>(mem);
                    if (!helper)
                        compileError(QStringLiteral("Undeclared identifier: '%1'").arg(m.Name), m.At);
                    static const std::vector<ExprP> none;
                    const std::vector<ExprP> &a = callArgs ? *callArgs : none;
                    auto n = node<ClassCallNode>(m.At);
                    n->M = helper;
                    n->Keep = r.Item;
                    n->Args = args(a);
                    return n;
                }
            }
        }
        auto n = node<MemberNode>(m.At);
        n->Obj = expr(*m.A);
        n->Name = m.Name;
        n->Script = m_script;
        if (callArgs) {
            n->Args = args(*callArgs);
            n->HasArgs = true;
        }
        return n;
    }

    EP callOrValue(const Expr &e, bool statement)
    {
        Q_UNUSED(statement);
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
            compileError(QStringLiteral("Routine name expected"), e.At);
        case EK::Index: return indexChain(e);
        case EK::Unary: {
            auto n = node<UnaryNode>(e.At);
            n->A = expr(*e.A);
            n->Oper = e.Oper;
            // fold negative literals so that constants stay constants
            if (e.Oper == Op::Neg && e.A->Kind == EK::Literal) {
                auto lit = node<LitNode>(e.At);
                lit->V = Neg(e.A->Lit);
                return lit;
            }
            return n;
        }
        case EK::Binary: return binaryNode(e);
        case EK::Cond: {
            auto n = node<CondNode>(e.At);
            n->A = expr(*e.A);
            n->B = expr(*e.B);
            n->C = expr(*e.C);
            return n;
        }
        case EK::ArrayLit: {
            auto n = node<ArrayLitNode>(e.At);
            n->Items = args(e.Args);
            return n;
        }
        }
        compileError(QStringLiteral("Expression expected"), e.At);
    }

    template <Op O>
    EP bin(const Expr &e)
    {
        EP a = expr(*e.A);
        EP b = expr(*e.B);
        if (a->isInt() && b->isInt()) {
            if constexpr (O == Op::Add || O == Op::Sub || O == Op::Mul || O == Op::Mod || O == Op::IntDiv) {
                auto n = node<IntBinNode<O>>(e.At);
                n->A = std::move(a);
                n->B = std::move(b);
                return n;
            } else if constexpr (O == Op::Eq || O == Op::Ne || O == Op::Lt || O == Op::Le || O == Op::Gt
                                 || O == Op::Ge) {
                auto n = node<IntCmpNode<O>>(e.At);
                n->A = std::move(a);
                n->B = std::move(b);
                return n;
            }
        }
        auto n = node<BinNode<O>>(e.At);
        n->A = std::move(a);
        n->B = std::move(b);
        return n;
    }

    EP binaryNode(const Expr &e)
    {
        switch (e.Oper) {
        case Op::Add: return bin<Op::Add>(e);
        case Op::Sub: return bin<Op::Sub>(e);
        case Op::Mul: return bin<Op::Mul>(e);
        case Op::Divide: return bin<Op::Divide>(e);
        case Op::IntDiv: return bin<Op::IntDiv>(e);
        case Op::Mod: return bin<Op::Mod>(e);
        case Op::Xor: return bin<Op::Xor>(e);
        case Op::Shl: return bin<Op::Shl>(e);
        case Op::Shr: return bin<Op::Shr>(e);
        case Op::Concat: return bin<Op::Concat>(e);
        case Op::Eq: return bin<Op::Eq>(e);
        case Op::Ne: return bin<Op::Ne>(e);
        case Op::Lt: return bin<Op::Lt>(e);
        case Op::Le: return bin<Op::Le>(e);
        case Op::Gt: return bin<Op::Gt>(e);
        case Op::Ge: return bin<Op::Ge>(e);
        case Op::And: {
            auto n = node<AndNode>(e.At);
            n->A = expr(*e.A);
            n->B = expr(*e.B);
            return n;
        }
        case Op::Or: {
            auto n = node<OrNode>(e.At);
            n->A = expr(*e.A);
            n->B = expr(*e.B);
            return n;
        }
        case Op::AndThen:
        case Op::OrElse: {
            auto n = node<LogicNode>(e.At);
            n->A = expr(*e.A);
            n->B = expr(*e.B);
            n->IsAnd = e.Oper == Op::AndThen;
            return n;
        }
        default: break;
        }
        compileError(QStringLiteral("Operator not applicable"), e.At);
    }

    static std::shared_ptr<Routine> routineOf(TfsProcVariable &proc) { return proc.EngineRoutine(); }

    TfsScript *m_script;
    Syntax m_syntax;
    Scope *m_scope = nullptr;
    int m_loops = 0;
    QHash<const TfsCustomVariable *, TK> m_globalTypes;
    QSet<const Routine *> m_own;
};

} // namespace

// --- Program ------------------------------------------------------------

struct Program::Private
{
    std::shared_ptr<std::vector<std::shared_ptr<Routine>>> Routines =
        std::make_shared<std::vector<std::shared_ptr<Routine>>>();
    std::shared_ptr<Routine> Main;
};

Program::Program() : d(std::make_unique<Private>()) {}
Program::~Program() = default;

std::unique_ptr<Program> Program::Compile(TfsScript *script, ProgramDef &def, Syntax syntax)
{
    std::unique_ptr<Program> p(new Program());
    Compiler c(script, syntax);
    c.run(def, p->d->Routines, p->d->Main);
    return p;
}

void Program::RunMain()
{
    Routine &m = *d->Main;
    Frame f(m.FrameSize);
    runBody(m, f);
}

int Program::MainStatementCount() const
{
    return d->Main ? d->Main->MainCount : 0;
}

Value Invoke(Routine &r, std::vector<Value> &args)
{
    Frame f(r.FrameSize + r.NParams);
    for (int i = 0; i < r.NParams; ++i) {
        const bool given = size_t(i) < args.size();
        if (r.ByRef[size_t(i)]) {
            if (given && args[size_t(i)].k == VK::Ref) {
                f.Base[i] = args[size_t(i)];
            } else {
                Value *p = &f.Base[r.FrameSize + i];
                *p = given ? args[size_t(i)] : r.Defaults[size_t(i)];
                f.Base[i] = Value::Reference(p);
            }
        } else {
            f.Base[i] = given ? coerce(args[size_t(i)], r.ParamTypes[size_t(i)]) : r.Defaults[size_t(i)];
        }
    }
    return runBody(r, f);
}

int RoutineParamCount(const Routine &routine)
{
    return routine.NParams;
}

bool LastRuntimeErrorPos(int &line, int &col)
{
    if (!t_error.Set)
        return false;
    line = t_error.At.Line;
    col = t_error.At.Col;
    return true;
}

void ResetRuntimeErrorPos()
{
    t_error.Set = false;
}

} // namespace zor::script
