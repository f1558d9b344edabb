//
//  W A R N I N G
//  -------------
// Internal to the script engine: the library the compiler binds calls to
// when no registered item of that name exists. One table serves all four
// syntaxes; a row names the syntaxes that know it, so a family's own
// spelling (Basic's UCase for UpperCase) is a row of its own, and a name
// that means something else in one family (Basic's Int floors) has a row
// per meaning.
#pragma once

#include <ZorCompCore/script/Lexer.h>
#include <ZorCompCore/script/Value.h>

#include <QString>
#include <span>

namespace zor::script {

// Which syntaxes know a row: one bit per Syntax.
enum : quint8 {
    kInPascal = 1u << int(Syntax::Pascal),
    kInCpp = 1u << int(Syntax::Cpp),
    kInBasic = 1u << int(Syntax::Basic),
    kInJScript = 1u << int(Syntax::JScript),
    kInAll = kInPascal | kInCpp | kInBasic | kInJScript,
    kInPascalFamily = kInPascal | kInCpp | kInJScript, // the Object Pascal names
};

struct Builtin
{
    const char *Name;   // as the reference spells it; calls match any letter case
    int MinArgs;
    int MaxArgs;        // -1: any number
    unsigned RefMask;   // bit i: argument i is passed by reference
    bool IsFunction;
    // args[i] points at the argument (for by-reference ones, at the variable)
    Value (*Fn)(Value *const *args, int count);
    quint8 Syntaxes;    // kIn… bits
    // For the reference: parameters as a declaration ("S: String; Count:
    // Integer"; those past MinArgs are optional), the result type (null for
    // procedures), the group and one line of description.
    const char *Params;
    const char *Result;
    const char *Category;
    const char *Summary;
    // Set on a row that spells another row's function the family's way; the
    // row then takes its arguments, result and description from that one.
    const char *AliasOf = nullptr;
    bool IsConstant = false; // a named value: no arguments, no parentheses needed
};

// Builtin by upper-case name as the syntax knows it, or null.
const Builtin *FindBuiltin(const QString &upperName, Syntax syntax);
// Every row, aliases filled in from the rows they name.
std::span<const Builtin> LibraryTable();

// Message and class of the exception a handler is running for (the innermost).
void PushHandledException(const QString &message, const QString &className);
void PopHandledException();

} // namespace zor::script
