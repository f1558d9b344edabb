//
//  W A R N I N G
//  -------------
// Internal to the script engine: what each syntax means by its operators and
// conversions, in one table per syntax. The compiler binds every operator to
// the function its syntax's table names and asks the table how typed stores
// convert, so the meaning of a syntax lives here and nowhere else.
//
// Adding a per-syntax rule: give SyntaxRules a field (or a function slot),
// fill it in each of the four tables in SyntaxRules.cpp, and read it where
// the compiler builds the node; nodes themselves stay syntax-blind.
#pragma once

#include <ZorCompCore/script/Ast.h>
#include <ZorCompCore/script/Lexer.h>

namespace zor::script {

// Declared kind of a variable; stores into typed variables convert.
// IntC: an integer of the C family (floats truncate, true is 1).
enum class TK : quint8 { Any, Int, IntC, Float, Str, Bool, Date, Obj };

inline bool IsIntKind(TK t)
{
    return t == TK::Int || t == TK::IntC;
}

Value CoerceSlow(Value v, TK t);
Value DefaultOf(TK t);

// A store into a variable of kind t (inline: every typed store passes here).
inline Value Coerce(Value v, TK t)
{
    switch (t) {
    case TK::Any: case TK::Obj: return v;
    case TK::Int: case TK::IntC: if (v.k == VK::Int) return v; break;
    case TK::Float: if (v.k == VK::Double) return v; break;
    case TK::Str: if (v.k == VK::Str) return v; break;
    case TK::Bool: if (v.k == VK::Bool) return v; break;
    case TK::Date: if (v.k == VK::Date) return v; break;
    }
    return CoerceSlow(std::move(v), t);
}

using BinaryFn = Value (*)(const Value &, const Value &);
using UnaryFn = Value (*)(const Value &);
using ConstructFn = Value (*)(std::vector<Value> &args);

struct Builtin;

struct SyntaxRules
{
    Syntax S;
    const char *Language;
    BinaryFn Binary[kOpCount] = {}; // null: the syntax has no such operator
    UnaryFn Unary[kOpCount] = {};
    // Typed integer nodes may serve / div mod (they raise on a zero divisor
    // and truncate); false where division of integers gives a float.
    bool IntDivisionNodes = true;
    // int / int is an integer division (C++Script); elsewhere '/' is a float.
    bool IntDivideTruncates = false;
    bool StringsFromOne = true;   // s[1] is the first character
    bool DeclareOnAssign = false; // assigning to an unknown name declares it
    bool IndexWithParens = false; // a(i) indexes an array variable
    TK IntKind = TK::Int;         // what integer type names declare
    // and/or leave the right side out when the left one decides (Boolean
    // operands); false where they are purely bitwise.
    bool ShortCircuitAndOr = true;
    // Members of values that are not host objects (a string's length, an
    // object's property, …); name as written and upper case. Null or false:
    // "Unknown member 'x' of String".
    bool (*ValueMember)(const Value &v, const QString &name, const QString &upper, Value &out) = nullptr;
    // Methods of such values (s.charAt(1), a.push(x)); false: unknown.
    bool (*ValueMethod)(const Value &v, const QString &name, const QString &upper, std::vector<Value> &args,
                        Value &out) = nullptr;
    // o.name = v on such a value; false: not assignable.
    bool (*SetMember)(const Value &target, const QString &name, Value v) = nullptr;
    // Named values of the syntax (Infinity, NaN, undefined, Math); false if none.
    bool (*Constant)(const QString &upper, Value &out) = nullptr;
    // What new T(…) builds for the syntax's own classes (Date); null: none.
    ConstructFn (*Constructor)(const QString &upper) = nullptr;
    // The syntax's own spelling of library functions, looked up before the
    // shared library; null or none found: the shared one.
    const Builtin *(*Library)(const QString &upper) = nullptr;
    // Arrays are objects: copies share them, reading past the end gives
    // undefined and writing past the end grows them (JScript).
    bool ArraysAreObjects = false;
    // A routine's name without a call is the routine as a value; variables
    // holding one can be called; arguments left out are undefined.
    bool FunctionValues = false;
    // Whether a value counts as true in a condition, for !, && and ||; null:
    // the variant rule (only Booleans and numbers). Where it is set, && and ||
    // give the operand that decided (a || "default").
    bool (*Truth)(const Value &v) = nullptr;
};

const SyntaxRules &RulesFor(Syntax s);

// Name of a value's type for messages ("String", "Integer", …).
QString TypeNameOf(const Value &v);

// JScript's number-to-text rule (shortest round trip, Infinity, NaN).
QString JsNumberText(double d);
// JScript conversions: to text, to number, strict equality, and a number
// result (an integer when whole).
QString JsString(const Value &v);
double JsNumber(const Value &v);
bool JsStrictEqual(const Value &a, const Value &b);
Value JsResult(double d);

// The members, methods and constructors of JScript values (JsObjects.cpp).
bool JsValueMember(const Value &v, const QString &name, const QString &upper, Value &out);
bool JsValueMethod(const Value &v, const QString &name, const QString &upper, std::vector<Value> &args, Value &out);
bool JsSetMember(const Value &target, const QString &name, Value v);
ConstructFn JsConstructor(const QString &upper);
const Builtin *JsLibrary(const QString &upper);
Value JsMathObject();
QString JsDateText(double time);

} // namespace zor::script
