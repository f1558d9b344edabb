// Entry points of the four front ends: source in, program tree out. Syntax
// errors are thrown as SyntaxError with line and column.
#pragma once

#include <ZorCompCore/script/Ast.h>
#include <ZorCompCore/script/Lexer.h>

namespace zor::script {

ProgramDef Parse(const QString &source, Syntax syntax, bool extendedCharset = true);

ProgramDef ParsePascal(const std::vector<Token> &tokens);
ProgramDef ParseCpp(const std::vector<Token> &tokens);
ProgramDef ParseJScript(const std::vector<Token> &tokens);
ProgramDef ParseBasic(const std::vector<Token> &tokens);

// Turns routines declared inside others into program routines: each outer
// local a nested routine uses becomes a var parameter, and every call passes
// the variable. Calls between nested routines pass on what the callee needs.
void LiftNestedRoutines(ProgramDef &prog);

// JScript's functions inside functions: each becomes a program routine named
// after its outer one, and the outer variables it uses live in cells (one-
// element arrays shared by reference) that the outer function creates and
// every call or function value passes on, so they outlive the outer call.
void LiftClosures(ProgramDef &prog);

// A routine header in Pascal form ("function Get(Name: String): Variant;"),
// as host registrations write them whatever the script's language.
RoutineDef ParseRoutineHeader(const QString &declaration);

} // namespace zor::script
