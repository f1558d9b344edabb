// The program tree all four parsers produce and the compiler reads. One small
// node set: an expression or statement kind plus the fields that kind uses.
#pragma once

#include <ZorCompCore/script/Value.h>

#include <QString>
#include <memory>
#include <vector>

namespace zor::script {

struct Pos
{
    int Line = 0;
    int Col = 0;
};

enum class Op {
    Add, Sub, Mul, Divide, IntDiv, Mod, And, Or, Xor, Shl, Shr,
    AndThen, OrElse, // short-circuit && and || of the C-like syntaxes
    Concat,          // Basic's &: both sides as text
    Pow,             // Basic's ^
    Eq, Ne, Lt, Le, Gt, Ge,
    StrictEq, StrictNe, // JScript's === and !==
    // unary
    Neg, Not, Plus,
    LogicalNot, // ! of the C-like syntaxes: a truth value, never bitwise
    TypeOf,     // JScript's typeof
};
constexpr int kOpCount = int(Op::TypeOf) + 1;

enum class EK {
    Literal,  // Lit
    Name,     // Name
    Member,   // A.Name
    Index,    // A[Args]
    Call,     // A(Args); A is a Name or Member
    Unary,    // Op A
    Binary,   // A Op B
    Cond,     // A ? B : C
    ArrayLit, // [Args]
    ObjectLit, // {Keys[i]: Args[i], …} (JScript)
    FuncLit,   // function (…) {…}: a function value of the routine Name (JScript)
    Update,    // ++A / A++ / --A / A-- inside an expression: Oper Add or Sub, Postfix
};

struct Expr;
using ExprP = std::unique_ptr<Expr>;

struct Expr
{
    Expr() = default;
    Expr(const Expr &) = delete;
    Expr &operator=(const Expr &) = delete;
    // Frees the subtrees without recursion: operator chains of generated
    // code are tens of thousands of nodes deep.
    ~Expr()
    {
        if (!A && !B && !C && Args.empty())
            return;
        std::vector<ExprP> pending;
        auto take = [&pending](Expr &e) {
            for (ExprP *p : {&e.A, &e.B, &e.C})
                if (*p)
                    pending.push_back(std::move(*p));
            for (ExprP &a : e.Args)
                if (a)
                    pending.push_back(std::move(a));
            e.Args.clear();
        };
        take(*this);
        while (!pending.empty()) {
            ExprP e = std::move(pending.back());
            pending.pop_back();
            take(*e);
        }
    }

    EK Kind = EK::Literal;
    Pos At;
    Value Lit;
    QString Name;
    Op Oper = Op::Add;
    ExprP A, B, C;
    std::vector<ExprP> Args;
    bool HasParens = false; // a call written with (), even without arguments
    bool Postfix = false;   // Update: the value before the change
    std::vector<QString> Keys; // ObjectLit: property names, one per argument
};

enum class SK {
    Block,      // Body
    ExprStmt,   // A (a call, usually)
    Assign,     // Target := A
    If,         // A then Body[0], else-if Branches (Labels[0] then Body), else Body[1]
    While,      // while A do Body[0]
    Repeat,     // repeat Body[0] until A (Negate: do … while A)
    For,        // for Var := A to/downto B step C do Body[0]
    CFor,       // for (Body[0]; A; Body[1]) Body[2]
    Case,       // Pascal/Basic case: Branches, no fall-through; Else in Body[0]
    Switch,     // C switch: falls through until break
    TryExcept,  // Body[0]; Handlers, else Body[1]; without Handlers Body[1] handles all (variable Name)
    TryFinally, // Body[0], Body[1]
    Exit,       // optional result A
    Break,
    Continue,
    Raise,      // A (message or exception), none re-raises
    VarDecl,    // Name : TypeName [= A]
    OnError,    // Basic: On Error Resume Next (Negate: On Error GoTo 0)
    Empty,
    ForEach,    // for Name over A (its elements, or its keys when Keys) do Body[0]
    With,       // with object A (declared type TypeName, when known) do Body[0]: its members by name
};

struct Stmt;
using StmtP = std::unique_ptr<Stmt>;

struct CaseBranch
{
    std::vector<ExprP> Labels; // each a value, or a Binary with Op::Le meaning the range A..B
    bool IsDefault = false;
    std::vector<StmtP> Body;
};

// One "on E: EClass do" / "catch (EClass e)" clause; an empty class takes all.
struct Handler
{
    QString Var, ClassName;
    StmtP Body;
    Pos At;
};

struct Stmt
{
    SK Kind = SK::Empty;
    Pos At;
    ExprP Target, A, B, C;
    std::vector<StmtP> Body;
    std::vector<CaseBranch> Branches;
    std::vector<Handler> Handlers;
    QString Name, TypeName;
    bool Down = false;    // for … downto
    bool Negate = false;  // repeat-until vs do-while
    bool Keys = false;    // ForEach: the keys (JScript for … in), not the elements
    bool Scoped = false;  // VarDecl, ForEach: JScript let/const, a binding of its own per block entry
    std::vector<ExprP> Dims; // VarDecl: sizes after the first (B) of int m[3][4]
};

struct VarDef
{
    QString Name;
    QString TypeName; // empty: variant
    ExprP Init;       // initial value or constant value
    ExprP ElemInit;   // arrays: every element's initial value (records of fields)
    bool IsConst = false;
    int ArrayLow = 0, ArrayHigh = -1; // array[lo..hi] of …
    bool IsArray = false;
    Pos At;
};

struct ParamDef
{
    QString Name;
    QString TypeName;
    bool ByRef = false;
    ExprP Default;
};

struct RoutineDef
{
    QString Name;
    std::vector<ParamDef> Params;
    QString ResultType;
    bool IsFunction = false;
    std::vector<VarDef> Locals;
    StmtP Body; // a Block
    Pos At;
    std::vector<RoutineDef> Nested; // routines declared (JScript: or written) inside this one
};

struct ProgramDef
{
    std::vector<VarDef> Globals;
    std::vector<RoutineDef> Routines;
    StmtP Main; // a Block, possibly empty
    std::vector<RoutineDef> MainNested; // JScript: functions declared or written inside the main block
};

} // namespace zor::script
