//
//  W A R N I N G
//  -------------
// Internal to the script engine: the state a running program keeps per
// thread. Frames of script routines, the native stack guard, and the limits
// a host sets on a run (time, statements, string and array sizes,
// termination from another thread).
#pragma once

#include <ZorCompCore/script/Ast.h>
#include <ZorCompCore/script/Interpreter.h>

#include <ZorCompCore/platform/Exception.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace zor::script {

// --- native stack -----------------------------------------------------------

struct StackBounds
{
    // Lowest address a check still passes at; all ones until the thread's
    // bounds are read, so that the first check reads them.
    std::uintptr_t Limit = ~std::uintptr_t(0);
};
// initial-exec: the per-call checks must not go through __tls_get_addr.
// constinit: no initialisation wrapper call on each access from other units.
extern constinit thread_local StackBounds t_stackBounds __attribute__((tls_model("initial-exec")));

// Reads the running thread's stack bounds (first use on a thread).
void InitStackBounds();
[[noreturn]] void ThrowStackOverflow();

// True while the running thread has room for one more level of script
// recursion: what is left must cover the deepest evaluation that runs
// without passing a check (bounded by the parsers' nesting limit).
inline bool StackRoomLeft()
{
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (here >= t_stackBounds.Limit) [[likely]]
        return true;
    if (t_stackBounds.Limit == ~std::uintptr_t(0)) {
        InitStackBounds();
        return here >= t_stackBounds.Limit;
    }
    return false;
}

inline void CheckStack()
{
    if (!StackRoomLeft()) [[unlikely]]
        ThrowStackOverflow();
}

// --- limits of a run --------------------------------------------------------

// What a host allows one run; zero means no limit.
struct RunLimits
{
    qint64 TimeMs = 0;
    qint64 Statements = 0;
    qint64 MaxBytes = 0; // largest string or array a script may build
    const std::atomic<bool> *Terminate = nullptr;
};

// One run in force on the thread: its limits and what is left of them.
struct Active
{
    RunLimits Limits;
    qint64 Deadline = 0;
    qint64 StatementsLeft = 0;
    qint64 PrevMaxBytes = 0;
    Active *Prev = nullptr;
};

struct RunState
{
    // Counts down loop passes and calls; at zero the slow check runs.
    qint64 Tick = 1 << 30;
    qint64 MaxBytes = 0;
    Active *Top = nullptr;
};
extern constinit thread_local RunState t_run __attribute__((tls_model("initial-exec")));

// The slow part of a budget check: termination, time, statements.
void CheckBudget();

// One step of the budget: a loop pass or a call, weighing its statements.
inline void Step(qint64 weight)
{
    if ((t_run.Tick -= weight) < 0) [[unlikely]]
        CheckBudget();
}

// The limits of a run are in force while this lives; runs nest (a host
// call that runs another script), and every active run's limits apply.
class RunScope
{
public:
    explicit RunScope(const RunLimits &limits);
    ~RunScope();
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

private:
    Active m_active; // runs nest with the native stack: no allocation per run
};

// Strings and arrays larger than the host allows end the run as out of memory.
[[noreturn]] void ThrowOutOfMemory();
inline void CheckSize(qsizetype bytes)
{
    if (t_run.MaxBytes > 0 && bytes > t_run.MaxBytes) [[unlikely]]
        ThrowOutOfMemory();
}
inline const Value &CheckedString(const Value &v)
{
    if (v.k == VK::Str)
        CheckSize(v.s.size() * qsizetype(sizeof(QChar)));
    return v;
}

// --- frames -----------------------------------------------------------------

struct RuntimeError
{
    bool Set = false;
    Pos At;
};
extern constinit thread_local RuntimeError t_error __attribute__((tls_model("initial-exec")));

// Frames live in chunks that never move, so that pointers into a frame (by
// reference arguments) stay valid while it exists. The chunk in use is kept
// in a trivial thread-local (cheap to reach from every unit); the chunks
// themselves are owned elsewhere (see GrowStack).
struct StackTop
{
    Value *Chunk = nullptr;
    int Top = 0;
    int Cap = 0;
    int Index = -1;
};
extern constinit thread_local StackTop t_stackTop __attribute__((tls_model("initial-exec")));

// Moves the stack top to a chunk with room for n values.
void GrowStack(int n);

class Frame
{
public:
    explicit Frame(int n)
    {
        CheckStack();
        StackTop &s = t_stackTop;
        m_saved = s;
        m_n = n;
        // A frame of no slots still takes a chunk when there is none, so that
        // the frames of its calls do not each take one anew.
        if (s.Top + n >= s.Cap) [[unlikely]]
            GrowStack(n);
        Base = s.Chunk + s.Top;
        s.Top += n;
    }
    ~Frame()
    {
        // Only strings and boxes own heap parts; the other kinds are reset
        // by their tag (the slot's string and box are null).
        for (int i = 0; i < m_n; ++i) {
            Value &v = Base[i];
            if (v.OwnsHeap())
                v = Value();
            else
                v.k = VK::Empty;
        }
        t_stackTop = m_saved;
    }
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    Value *Base;

private:
    StackTop m_saved;
    int m_n;
};

} // namespace zor::script
