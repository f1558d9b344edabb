// AST -> closure tree. Names are resolved once, at compile time: locals to
// frame slots, globals to the address of their item's value, calls to the
// routine, host method or library function they mean. Running the program
// is a walk over these nodes; no lookups by name are left in hot paths.
#pragma once

#include <ZorCompCore/script/Ast.h>
#include <ZorCompCore/script/Lexer.h>

#include <memory>

namespace zor {
class TfsScript;
}

namespace zor::script {

struct Routine;

class Program
{
public:
    // Creates the program's items on the script and compiles every body.
    // Semantic errors (undeclared names, wrong argument counts) are thrown
    // as SyntaxError with their position.
    static std::unique_ptr<Program> Compile(TfsScript *script, ProgramDef &def, Syntax syntax);
    ~Program();

    // Runs the main block; runtime errors are raised.
    void RunMain();
    int MainStatementCount() const;

private:
    Program();
    struct Private;
    std::unique_ptr<Private> d;
};

// Runs a compiled routine with its arguments (one per parameter; by-reference
// ones as Value::Reference) and returns its result.
Value Invoke(Routine &routine, std::vector<Value> &args);
int RoutineParamCount(const Routine &routine);

// Position of the statement that raised the last runtime error on this thread.
bool LastRuntimeErrorPos(int &line, int &col);
void ResetRuntimeErrorPos();

} // namespace zor::script
