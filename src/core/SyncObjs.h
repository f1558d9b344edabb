// Two small locks: a recursive critical section and a reader/writer lock that
// lets many readers in at once, or one writer.
#pragma once

#include <ZorCompCore/zor_export.h>
#include <ZorCompCore/platform/Interface.h>

#include <memory>

namespace zor {

// Recursive mutual exclusion: the owning thread may Enter again; every Enter
// needs its Leave.
class ZOR_EXPORT TCriticalSection
{
public:
    TCriticalSection();
    ~TCriticalSection();
    TCriticalSection(const TCriticalSection &) = delete;
    TCriticalSection &operator=(const TCriticalSection &) = delete;

    void Enter();
    void Leave();
    // Enters when that is possible at once; never waits.
    bool TryEnter();

    // For std::lock_guard / std::unique_lock.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// Many readers or one writer. Not recursive: a thread that holds the lock, in
// either mode, must not acquire it again, and a reader cannot upgrade. A lock
// is released by the thread that took it. The Try operations never wait.
// Readers write only per-thread state, so read-mostly data scales with cores;
// a waiting writer keeps new readers out.
class ZOR_EXPORT IMultiReadSingleWrite : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{00000000-0000-0000-0000-000000000000}");
    virtual void BeginRead() = 0;
    virtual bool TryBeginRead() = 0;
    virtual void EndRead() = 0;
    virtual void BeginWrite() = 0;
    virtual bool TryBeginWrite() = 0;
    virtual void EndWrite() = 0;
};

// For callers that track which lock they hold.
enum TMultiReadSingleWriteState { mrswUnlocked, mrswReadLock, mrswWriteLock };

// Reference counted: create it with new and hold it in an IPtr.
class ZOR_EXPORT TMultiReadSingleWrite : public TInterfacedObject, public IMultiReadSingleWrite
{
public:
    TMultiReadSingleWrite();

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    void BeginRead() override;
    bool TryBeginRead() override;
    void EndRead() override;
    void BeginWrite() override;
    bool TryBeginWrite() override;
    void EndWrite() override;

protected:
    ~TMultiReadSingleWrite() override;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
