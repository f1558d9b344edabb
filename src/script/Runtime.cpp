// Per-thread state of running programs: the native stack guard, frames and
// the limits of a run.
#include <ZorCompCore/script/Runtime_p.h>

#include <QLoggingCategory>

#include <chrono>
#include <pthread.h>

Q_LOGGING_CATEGORY(lcScript, "zor.script")

namespace zor::script {

constinit thread_local StackBounds t_stackBounds __attribute__((tls_model("initial-exec")));
constinit thread_local RunState t_run __attribute__((tls_model("initial-exec")));
constinit thread_local RuntimeError t_error __attribute__((tls_model("initial-exec")));
constinit thread_local StackTop t_stackTop __attribute__((tls_model("initial-exec")));

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define ZOR_SCRIPT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOR_SCRIPT_ASAN 1
#endif
#endif

// Room kept free below the last check: the deepest evaluation between two
// checks (nesting of expressions and statements the parsers allow), a host
// method called from there, and the unwinder. Sanitizers make frames larger.
#ifdef ZOR_SCRIPT_ASAN
constexpr std::uintptr_t kReserve = 512 * 1024;
#else
constexpr std::uintptr_t kReserve = 192 * 1024;
#endif

constexpr int kChunk = 1 << 14;
constexpr qint64 kSlice = 4096; // steps between two looks at the clock and the flags

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void InitStackBounds()
{
    pthread_attr_t attr;
    void *low = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
    }
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    std::uintptr_t bottom = reinterpret_cast<std::uintptr_t>(low);
    if (!low || here < bottom || here - bottom > size) {
        // Bounds unknown: assume the smallest stack threads commonly get.
        qCWarning(lcScript) << "stack bounds of this thread unknown; assuming 256 KiB";
        bottom = here > 256 * 1024 ? here - 256 * 1024 : 0;
    }
    // A stack smaller than twice the reserve still gets half of itself.
    const std::uintptr_t room = here - bottom;
    t_stackBounds.Limit = bottom + std::min(kReserve, room / 2);
}

void ThrowStackOverflow()
{
    throw EfsScriptError(QStringLiteral("Stack overflow"), "EStackOverflow");
}

void ThrowOutOfMemory()
{
    throw EOutOfMemory(QStringLiteral("Out of memory"));
}

// --- limits -------------------------------------------------------------------

namespace {

constinit thread_local qint64 t_given __attribute__((tls_model("initial-exec"))) = 1 << 30; // what Tick was last set to

// Charges the steps taken since the last check to every active run.
void charge()
{
    const qint64 used = t_given - t_run.Tick;
    for (Active *a = t_run.Top; a; a = a->Prev)
        if (a->Limits.Statements > 0)
            a->StatementsLeft -= used;
    qint64 next = t_run.Top ? kSlice : qint64(1) << 30;
    for (Active *a = t_run.Top; a; a = a->Prev)
        if (a->Limits.Statements > 0)
            next = std::min(next, std::max<qint64>(a->StatementsLeft, 0) + 1);
    t_run.Tick = t_given = next;
}

} // namespace

void CheckBudget()
{
    charge();
    for (Active *a = t_run.Top; a; a = a->Prev) {
        if (a->Limits.Terminate && a->Limits.Terminate->load(std::memory_order_relaxed))
            throw EScriptAborted(QStringLiteral("Script terminated"));
        if (a->Limits.Statements > 0 && a->StatementsLeft < 0)
            throw EScriptAborted(QStringLiteral("Statement limit exceeded"));
        if (a->Deadline && nowMs() > a->Deadline)
            throw EScriptAborted(QStringLiteral("Time limit exceeded"));
    }
}

RunScope::RunScope(const RunLimits &limits)
{
    charge();
    Active *a = &m_active;
    a->Limits = limits;
    a->Deadline = limits.TimeMs > 0 ? nowMs() + limits.TimeMs : 0;
    a->StatementsLeft = limits.Statements;
    a->PrevMaxBytes = t_run.MaxBytes;
    if (limits.MaxBytes > 0 && (t_run.MaxBytes == 0 || limits.MaxBytes < t_run.MaxBytes))
        t_run.MaxBytes = limits.MaxBytes;
    a->Prev = t_run.Top;
    t_run.Top = a;
    charge();
}

RunScope::~RunScope()
{
    charge();
    Active *a = t_run.Top;
    t_run.MaxBytes = a->PrevMaxBytes;
    t_run.Top = a->Prev;
    charge();
}

// --- frames -------------------------------------------------------------------

namespace {

// The chunks of a thread's frames; never moved or freed while it runs.
struct Chunks
{
    std::vector<std::unique_ptr<Value[]>> Data;
    std::vector<int> Caps;
};
thread_local Chunks t_chunks;

} // namespace

void GrowStack(int n)
{
    Chunks &c = t_chunks;
    StackTop &s = t_stackTop;
    const size_t next = size_t(s.Index + 1);
    const int cap = std::max(n, kChunk);
    if (next == c.Data.size()) {
        c.Data.emplace_back(new Value[size_t(cap)]);
        c.Caps.push_back(cap);
    } else if (c.Caps[next] < n) {
        c.Data[next].reset(new Value[size_t(cap)]);
        c.Caps[next] = cap;
    }
    s.Index = int(next);
    s.Chunk = c.Data[next].get();
    s.Cap = c.Caps[next];
    s.Top = 0;
}

} // namespace zor::script
