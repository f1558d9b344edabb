// The main-thread synchronisation queue: worker threads hand functions to the
// main thread and (with Synchronize) wait until they ran. The main thread runs
// them in CheckSynchronize; while a QCoreApplication exists, queued calls also
// post a wake-up to its event loop, which calls CheckSynchronize itself, so GUI
// programs need nothing else. Without any event loop (command-line tools,
// tests) the main thread calls CheckSynchronize where it waits.
//
// Calls run in the order they were queued. A worker must not wait for the
// main thread while the main thread waits for that worker without serving
// the queue: serve it with CheckSynchronize(timeout) in such waits.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <functional>

namespace zor {

// True on the main thread: the thread of the QCoreApplication when one
// exists, otherwise the thread that loaded the library.
ZOR_EXPORT bool IsMainThread();

// Runs fn on the main thread and returns when it has run; an exception thrown
// by fn is rethrown here. On the main thread fn runs at once.
ZOR_EXPORT void Synchronize(std::function<void()> fn);

// Hands fn to the main thread without waiting. On the main thread fn runs at
// once (use ForceQueue to defer it). An exception thrown by a queued call
// leaves CheckSynchronize (or is reported by the event loop's wake-up).
ZOR_EXPORT void Queue(std::function<void()> fn);
ZOR_EXPORT void ForceQueue(std::function<void()> fn);

// On the main thread: runs the calls queued so far, first waiting up to
// timeoutMs for one to arrive when none is waiting. Returns true when it ran
// something. Raises EInvalidOperation on any other thread.
ZOR_EXPORT bool CheckSynchronize(int timeoutMs = 0);

// Number of calls waiting for the main thread.
ZOR_EXPORT int PendingSynchronizeCount();

// Drops the queued calls without running them; workers waiting in
// Synchronize get EAbort ("Operation aborted"). For shut-down when the main
// thread will not serve the queue any more.
ZOR_EXPORT void CancelPendingSynchronize();

} // namespace zor
