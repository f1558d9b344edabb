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
    Eq, Ne, Lt, Le, Gt, Ge,
    Neg, Not, Plus,
};

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
};

struct Expr;
using ExprP = std::unique_ptr<Expr>;

struct Expr
{
    EK Kind = EK::Literal;
    Pos At;
    Value Lit;
    QString Name;
    Op Oper = Op::Add;
    ExprP A, B, C;
    std::vector<ExprP> Args;
    bool HasParens = false; // a call written with (), even without arguments
};

enum class SK {
    Block,      // Body
    ExprStmt,   // A (a call, usually)
    Assign,     // Target := A
    If,         // A then Body[0] else Body[1]
    While,      // while A do Body[0]
    Repeat,     // repeat Body[0] until A (Negate: do … while A)
    For,        // for Var := A to/downto B step C do Body[0]
    CFor,       // for (Body[0]; A; Body[1]) Body[2]
    Case,       // Pascal/Basic case: Branches, no fall-through; Else in Body[0]
    Switch,     // C switch: falls through until break
    TryExcept,  // Body[0], handler Body[1], optional exception variable Name
    TryFinally, // Body[0], Body[1]
    Exit,       // optional result A
    Break,
    Continue,
    Raise,      // A (message or exception), none re-raises
    VarDecl,    // Name : TypeName [= A]
    Empty,
};

struct Stmt;
using StmtP = std::unique_ptr<Stmt>;

struct CaseBranch
{
    std::vector<ExprP> Labels; // each a value, or a Binary with Op::Le meaning the range A..B
    bool IsDefault = false;
    std::vector<StmtP> Body;
};

struct Stmt
{
    SK Kind = SK::Empty;
    Pos At;
    ExprP Target, A, B, C;
    std::vector<StmtP> Body;
    std::vector<CaseBranch> Branches;
    QString Name, TypeName;
    bool Down = false;    // for … downto
    bool Negate = false;  // repeat-until vs do-while
};

struct VarDef
{
    QString Name;
    QString TypeName; // empty: variant
    ExprP Init;       // initial value or constant value
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
};

struct ProgramDef
{
    std::vector<VarDef> Globals;
    std::vector<RoutineDef> Routines;
    StmtP Main; // a Block, possibly empty
};

} // namespace zor::script
