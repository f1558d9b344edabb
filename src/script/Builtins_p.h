//
//  W A R N I N G
//  -------------
// Internal to the script engine: the standard library the compiler binds
// calls to when no registered item of that name exists.
#pragma once

#include <ZorCompCore/script/Value.h>

#include <QString>

namespace zor::script {

struct Builtin
{
    const char *Name;   // upper case
    int MinArgs;
    int MaxArgs;        // -1: any number
    unsigned RefMask;   // bit i: argument i is passed by reference
    bool IsFunction;
    // args[i] points at the argument (for by-reference ones, at the variable)
    Value (*Fn)(Value *const *args, int count);
};

// Builtin by upper-case name, or null.
const Builtin *FindBuiltin(const QString &upperName);

// Message and class of the exception a handler is running for (the innermost).
void PushHandledException(const QString &message, const QString &className);
void PopHandledException();

} // namespace zor::script
