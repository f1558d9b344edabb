//
//  W A R N I N G
//  -------------
// Internal to the script engine: the closure tree a compiled program is made
// of, and the compiler that builds it. The compiler's stages live in their
// own units: expressions (CompileExpressions.cpp), statements
// (CompileStatements.cpp), routines and calls (CompileRoutines.cpp),
// exceptions (CompileExceptions.cpp). What an operator or a conversion means
// in a syntax comes from its SyntaxRules, never from tests of the syntax here.
#pragma once

#include <ZorCompCore/script/Compiler.h>
#include <ZorCompCore/script/Interpreter.h>
#include <ZorCompCore/script/Runtime_p.h>
#include <ZorCompCore/script/SyntaxRules_p.h>

#include <QHash>
#include <QSet>

#include <utility>

namespace zor::script {

struct Builtin;

enum class Flow { Normal, Break, Continue, Exit };

[[noreturn]] inline void compileError(const QString &msg, Pos at)
{
    throw SyntaxError{msg, at.Line, at.Col};
}

[[noreturn]] void notAssignable();
[[noreturn]] void rangeError();

// --- nodes --------------------------------------------------------------------

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
    qint64 Weight = 1; // statements a call counts against the budget
};

// Fills the locals of a fresh frame (its slots are empty and own nothing).
inline void initLocals(const Routine &r, Value *base)
{
    Value *d = base + r.NParams;
    for (const Value &v : r.Init) {
        if (v.OwnsHeap()) {
            *d = v;
        } else {
            d->k = v.k;
            d->i = v.i;
        }
        ++d;
    }
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
    void store(Value *fp, Value v) override { fp[Slot] = Coerce(std::move(v), Type); }
    bool isInt() const override { return IsIntKind(Type); }
    qint64 evalInt(Value *fp) override { return intOf(fp[Slot]); }
};

// A by-reference parameter: the slot holds the address of the caller's variable.
struct RefNode : ENode
{
    int Slot;
    TK Type;
    Value eval(Value *fp) override { return *fp[Slot].ref; }
    Value *addr(Value *fp) override { return fp[Slot].ref; }
    void store(Value *fp, Value v) override { *fp[Slot].ref = Coerce(std::move(v), Type); }
    bool isInt() const override { return IsIntKind(Type); }
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
        *P = Coerce(std::move(v), Type);
    }
    bool isInt() const override { return IsIntKind(Type); }
    qint64 evalInt(Value *) override { return intOf(*P); }
};

// Where a variable node keeps its value, resolved once when compiling so that
// loops and in-place updates reach the value without a virtual call.
struct Place
{
    enum Kind : quint8 { Other, Local, Ref, Global };
    Kind K = Other;
    int Slot = 0;
    Value *P = nullptr;
    ENode *N = nullptr;

    static Place Of(ENode *n)
    {
        Place p;
        p.N = n;
        if (auto *l = dynamic_cast<LocalNode *>(n)) {
            p.K = Local;
            p.Slot = l->Slot;
        } else if (auto *r = dynamic_cast<RefNode *>(n)) {
            p.K = Ref;
            p.Slot = r->Slot;
        } else if (auto *g = dynamic_cast<GlobalNode *>(n); g && !g->ReadOnly) {
            p.K = Global;
            p.P = g->P;
        }
        return p;
    }

    // What n->addr(fp) gives.
    Value *at(Value *fp) const
    {
        switch (K) {
        case Local: return fp + Slot;
        case Ref: return fp[Slot].ref;
        case Global: return P;
        case Other: break;
        }
        return N->addr(fp);
    }
};

// Statements in order; the innermost statement names the position of a
// runtime error.
struct BlockNode : SNode
{
    std::vector<SP> Body;
    Flow exec(Value *fp) override;
};

// Stores v as element of an array, holding nesting to a depth that freeing
// and converting can walk without exhausting the native stack.
void StoreElement(ArrayBox *a, size_t n, Value v);

// Function values: a routine as a value, and calling one.
Value FunctionValue(const std::shared_ptr<Routine> &r, const QString &name);
Value CallFunctionValue(const Value &f, std::vector<Value> &args);

// Calls a host method; var parameters are written back to the arguments' variables.
Value CallHost(TfsMethodHelper *m, QObject *instance, std::vector<EP> &argNodes, Value *fp);

// Exception values: what a handler's variable holds for a caught exception.
Value CaughtException(const Exception &e);
// True when a class name is, or descends from, another (known host
// exception classes, and classes registered on the script with an ancestor).
bool ExceptionIsA(const QByteArray &className, const QString &wanted, const TfsScript *script);

// --- the compiler -------------------------------------------------------------

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
    int ResumeSlot = -1;     // Basic's On Error Resume Next flag, when the routine uses it
    int declare(const QString &upper, TK type, bool byRef, Value init)
    {
        const int slot = Count++;
        Names.insert(upper, {slot, byRef, type});
        if (slot >= NParams)
            Init.push_back(std::move(init));
        return slot;
    }
    // A slot no name reaches.
    int hidden(Value init)
    {
        const int slot = Count++;
        if (slot >= NParams)
            Init.push_back(std::move(init));
        return slot;
    }
};

class Compiler
{
public:
    Compiler(TfsScript *script, Syntax syntax) : m_script(script), m_syntax(syntax), m_rules(RulesFor(syntax)) {}

    // Routines of one program call each other by plain pointer; what keeps
    // them alive is the program's routine set, shared by the program and by
    // its procedure items (through aliasing pointers), so recursion makes no
    // reference cycle.
    void run(ProgramDef &def, const std::shared_ptr<std::vector<std::shared_ptr<Routine>>> &set,
             std::shared_ptr<Routine> &main);

    template <typename T>
    static std::unique_ptr<T> node(Pos at)
    {
        auto n = std::make_unique<T>();
        n->At = at;
        return n;
    }

private:
    struct Resolved
    {
        enum Kind { RNone, RLocal, RItem, RBuiltin, RConstant } K = RNone;
        LocalInfo L{};
        std::shared_ptr<TfsCustomVariable> Item;
        const Builtin *B = nullptr;
        Value C;
    };

    // routines (CompileRoutines.cpp)
    void checkNew(const QString &name, Pos at);
    Value initialValue(const VarDef &v, TK t);
    Value constant(const Expr &e);
    void compileRoutine(RoutineDef &rd, Routine &r);
    void beginBody(const Stmt &body);
    EP callRoutine(const std::shared_ptr<TfsCustomVariable> &item, const std::vector<ExprP> &argExprs, Pos at);
    EP callHostNode(const std::shared_ptr<TfsCustomVariable> &item, const std::vector<ExprP> &argExprs, Pos at);
    EP callBuiltin(const Builtin *b, const std::vector<ExprP> &argExprs, Pos at);
    TK typeKind(const QString &typeName);

    // statements (CompileStatements.cpp)
    SP block(const Stmt &s);
    SP stmt(const Stmt &s);
    SP ifStatement(const Stmt &s);
    SP caseStatement(const Stmt &s);
    SP loopBody(const Stmt &s, qint64 &weight);
    static SP single(SP b);
    int localSlot(const QString &name, TK type);
    SP varDecl(const Stmt &s);
    EP newArray(const Stmt &s, TK elem);
    SP assignment(const Stmt &s);
    static TK kindOfTarget(ENode *n);

    // with on objects (CompileExpressions.cpp): inside, a member of the
    // object comes before every other meaning of a name
    struct WithTarget
    {
        int Slot;                 // holds the object while the body runs
        TfsClassVariable *Class;  // null: not known now, members looked up as it runs
    };
    SP withStatement(const Stmt &s);
    TfsClassVariable *classOf(const Stmt &s);
    template <class Normal>
    EP throughWith(const Expr &name, const std::vector<ExprP> *callArgs, Normal normal, size_t top);
    // Whether a name is looked up through the with levels (once per name).
    bool withApplies() { return !m_with.empty() && !std::exchange(m_bypassWith, false); }

    // exceptions (CompileExceptions.cpp)
    SP tryExcept(const Stmt &s);
    SP tryFinally(const Stmt &s);
    SP raise(const Stmt &s);
    SP onError(const Stmt &s);
    EP newException(const Expr &className, const std::vector<ExprP> &args, Pos at);
    bool isExceptionClass(const QString &name);

    // expressions (CompileExpressions.cpp)
    Resolved resolve(const QString &name);
    bool resolvesToValue(const QString &name);
    [[noreturn]] void undeclared(const Expr &e);
    EP localNode(const LocalInfo &l, Pos at);
    EP globalNode(const std::shared_ptr<TfsCustomVariable> &item, Pos at);
    EP lvalue(const Expr &e);
    EP indexChain(const Expr &e);
    EP lvalueOrValue(const Expr &e);
    static bool isVariableItem(TfsCustomVariable *item);
    EP expr(const Expr &e);
    // An expression used as a condition, with the syntax's truth of values.
    EP condition(const Expr &e);
    std::vector<EP> args(const std::vector<ExprP> &in);
    EP nameNode(const Expr &e, const std::vector<ExprP> *callArgs);
    EP indexFromCall(const Expr &name, const std::vector<ExprP> &idx);
    EP callValue(EP callee, const std::vector<ExprP> &callArgs, Pos at);
    EP memberNode(const Expr &m, const std::vector<ExprP> *callArgs);
    EP unaryNode(const Expr &e);
    EP binaryNode(const Expr &e);
    EP chainNode(const Expr &e);
    template <Op O>
    EP bin(const Expr &e);

    TfsScript *m_script;
    Syntax m_syntax;
    const SyntaxRules &m_rules;
    Scope *m_scope = nullptr;
    int m_loops = 0;
    QHash<const TfsCustomVariable *, TK> m_globalTypes;
    QSet<const Routine *> m_own;
    std::vector<WithTarget> m_with; // innermost last
    bool m_bypassWith = false;      // the name being compiled has been through them
};

} // namespace zor::script
