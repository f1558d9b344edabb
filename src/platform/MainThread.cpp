#include "MainThread.h"

#include "Exception.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace zor {

namespace {

Q_LOGGING_CATEGORY(lcPlatform, "zor.platform")

// The library is loaded by the main thread in every program we know of; this
// is the answer while no QCoreApplication says otherwise.
const std::thread::id gLoaderThread = std::this_thread::get_id();

struct Request
{
    std::function<void()> fn;
    bool waited = false;     // a Synchronize call: somebody waits for done
    bool done = false;       // guarded by SyncQueue::mutex
    bool cancelled = false;  // guarded by SyncQueue::mutex
    std::exception_ptr error;
};

struct SyncQueue
{
    std::mutex mutex;
    std::condition_variable arrived;  // the main thread waits for calls
    std::condition_variable finished; // workers wait for their call to run
    std::deque<std::shared_ptr<Request>> calls;
};

// Never destroyed: workers may still be queueing while static objects of the
// program are torn down.
SyncQueue &syncQueue()
{
    static SyncQueue *q = new SyncQueue;
    return *q;
}

// Wake-ups for a running event loop travel through a pipe watched by a socket
// notifier on the main thread: writing a byte is all a worker does, so no Qt
// object crosses threads and the queue's own mutex is the only hand-over.
int gWakePipe[2] = {-1, -1};
std::atomic<bool> gWakeReady{false};

void serveFromEventLoop()
{
    try {
        CheckSynchronize(0);
    } catch (const std::exception &e) {
        // An event handler must not let exceptions into Qt's event loop.
        qCWarning(lcPlatform, "Exception in a call queued for the main thread: %s", e.what());
    } catch (...) {
        qCWarning(lcPlatform, "Unknown exception in a call queued for the main thread");
    }
}

void postWake()
{
    if (!gWakeReady.load(std::memory_order_acquire))
        return;
    const char c = 1;
    // A full pipe already holds a pending wake-up.
    [[maybe_unused]] const ssize_t n = ::write(gWakePipe[1], &c, 1);
}

// Runs when a QCoreApplication is constructed (or at load when one exists).
void installWakeNotifier()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() != QThread::currentThread())
        return;
    if (gWakePipe[0] < 0 && ::pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gWakePipe[0] = gWakePipe[1] = -1;
        return;
    }
    auto *notifier = new QSocketNotifier(gWakePipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buf[256];
        while (::read(gWakePipe[0], buf, sizeof buf) > 0) {
        }
        serveFromEventLoop();
        // Calls left behind by a failing one get another round.
        if (PendingSynchronizeCount() > 0)
            postWake();
    });
    QObject::connect(app, &QObject::destroyed, [] { gWakeReady.store(false, std::memory_order_release); });
    gWakeReady.store(true, std::memory_order_release);
    // Calls queued before the application existed.
    if (PendingSynchronizeCount() > 0)
        postWake();
}

void enqueue(const std::shared_ptr<Request> &request)
{
    SyncQueue &q = syncQueue();
    {
        std::lock_guard lock(q.mutex);
        q.calls.push_back(request);
    }
    q.arrived.notify_all();
    postWake();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installWakeNotifier)

bool IsMainThread()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        return app->thread() == QThread::currentThread();
    return std::this_thread::get_id() == gLoaderThread;
}

void Synchronize(std::function<void()> fn)
{
    if (!fn)
        return;
    if (IsMainThread()) {
        fn();
        return;
    }
    auto request = std::make_shared<Request>();
    request->fn = std::move(fn);
    request->waited = true;
    enqueue(request);

    SyncQueue &q = syncQueue();
    std::unique_lock lock(q.mutex);
    q.finished.wait(lock, [&] { return request->done || request->cancelled; });
    if (request->cancelled)
        throw EAbort(QStringLiteral("Operation aborted"));
    if (request->error)
        std::rethrow_exception(request->error);
}

void Queue(std::function<void()> fn)
{
    if (!fn)
        return;
    if (IsMainThread()) {
        fn();
        return;
    }
    ForceQueue(std::move(fn));
}

void ForceQueue(std::function<void()> fn)
{
    if (!fn)
        return;
    auto request = std::make_shared<Request>();
    request->fn = std::move(fn);
    enqueue(request);
}

bool CheckSynchronize(int timeoutMs)
{
    if (!IsMainThread())
        throw EInvalidOperation(QStringLiteral("CheckSynchronize called from a thread that is not the main thread"));

    SyncQueue &q = syncQueue();
    std::deque<std::shared_ptr<Request>> batch;
    {
        std::unique_lock lock(q.mutex);
        if (q.calls.empty() && timeoutMs > 0)
            q.arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !q.calls.empty(); });
        // Only what is queued now: calls queued by these calls wait for the next round.
        batch.swap(q.calls);
    }
    if (batch.empty())
        return false;

    for (size_t i = 0; i < batch.size(); ++i) {
        const std::shared_ptr<Request> request = batch[i];
        if (request->waited) {
            try {
                request->fn();
            } catch (...) {
                request->error = std::current_exception();
            }
            request->fn = nullptr; // captured state dies here, on the main thread
            {
                std::lock_guard lock(q.mutex);
                request->done = true;
            }
            q.finished.notify_all();
            continue;
        }
        try {
            request->fn();
        } catch (...) {
            // The calls after the failing one keep their place at the front.
            {
                std::lock_guard lock(q.mutex);
                q.calls.insert(q.calls.begin(), batch.begin() + qsizetype(i) + 1, batch.end());
            }
            throw;
        }
        request->fn = nullptr;
    }
    return true;
}

int PendingSynchronizeCount()
{
    SyncQueue &q = syncQueue();
    std::lock_guard lock(q.mutex);
    return int(q.calls.size());
}

void CancelPendingSynchronize()
{
    SyncQueue &q = syncQueue();
    std::deque<std::shared_ptr<Request>> dropped;
    {
        std::lock_guard lock(q.mutex);
        dropped.swap(q.calls);
        for (const auto &request : dropped) {
            if (request->waited)
                request->cancelled = true;
        }
    }
    q.finished.notify_all();
    // The dropped closures are destroyed here, outside the lock.
}

} // namespace zor
