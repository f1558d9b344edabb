#include "SyncObjs.h"

#include <atomic>
#include <mutex>

namespace zor {

// Each lock sits on a cache line of its own: locks are often embedded next to
// the data they guard, and a neighbour's writes must not slow their atomics.
struct alignas(64) TCriticalSection::Private
{
    std::recursive_mutex m;
};

TCriticalSection::TCriticalSection() : d(std::make_unique<Private>()) {}
TCriticalSection::~TCriticalSection() = default;

void TCriticalSection::Enter()
{
    d->m.lock();
}

void TCriticalSection::Leave()
{
    d->m.unlock();
}

bool TCriticalSection::TryEnter()
{
    return d->m.try_lock();
}

// Readers must not write a cache line that other readers write too: with one
// shared reader count (std::shared_mutex) every BeginRead/EndRead pair moves
// that line between cores, and read-mostly users (translation lookups) stop
// scaling with threads. So each thread counts its readers in a slot of its own
// and a writer announces itself, then waits until every slot is empty. Both
// sides store first and load second (sequentially consistent), so at least
// one of them sees the other. Threads beyond kSlots share slots: a count, not
// a flag, keeps that correct.
namespace {

constexpr unsigned kSlots = 32;

struct alignas(64) ReaderSlot
{
    std::atomic<int> readers{0};
};

unsigned threadSlot()
{
    static std::atomic<unsigned> next{0};
    thread_local const unsigned slot = next.fetch_add(1, std::memory_order_relaxed) % kSlots;
    return slot;
}

} // namespace

struct TMultiReadSingleWrite::Private
{
    ReaderSlot readerSlots[kSlots];
    alignas(64) std::atomic<bool> writer{false};
    std::mutex writers; // one writer at a time; held from BeginWrite to EndWrite

    // Leaves a slot; wakes a writer that waits for it to empty.
    void leave(ReaderSlot &slot)
    {
        if (slot.readers.fetch_sub(1) == 1 && writer.load()) // seq_cst: pairs with waitForReaders
            slot.readers.notify_all();
    }

    void waitForReaders()
    {
        for (ReaderSlot &slot : readerSlots)
            for (int n = slot.readers.load(); n != 0; n = slot.readers.load())
                slot.readers.wait(n);
    }

    bool anyReader() const
    {
        for (const ReaderSlot &slot : readerSlots)
            if (slot.readers.load() != 0)
                return true;
        return false;
    }
};

TMultiReadSingleWrite::TMultiReadSingleWrite() : d(std::make_unique<Private>()) {}
TMultiReadSingleWrite::~TMultiReadSingleWrite() = default;

HRESULT TMultiReadSingleWrite::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IMultiReadSingleWrite>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

void TMultiReadSingleWrite::BeginRead()
{
    ReaderSlot &slot = d->readerSlots[threadSlot()];
    for (;;) {
        slot.readers.fetch_add(1);
        if (!d->writer.load())
            return;
        // A writer holds or waits for the lock: step back until it is done.
        d->leave(slot);
        d->writer.wait(true);
    }
}

bool TMultiReadSingleWrite::TryBeginRead()
{
    ReaderSlot &slot = d->readerSlots[threadSlot()];
    slot.readers.fetch_add(1);
    if (!d->writer.load())
        return true;
    d->leave(slot);
    return false;
}

void TMultiReadSingleWrite::EndRead()
{
    d->leave(d->readerSlots[threadSlot()]);
}

void TMultiReadSingleWrite::BeginWrite()
{
    d->writers.lock();
    d->writer.store(true);
    d->waitForReaders();
}

bool TMultiReadSingleWrite::TryBeginWrite()
{
    if (!d->writers.try_lock())
        return false;
    d->writer.store(true);
    if (!d->anyReader())
        return true;
    d->writer.store(false);
    d->writer.notify_all(); // readers that stepped back meanwhile
    d->writers.unlock();
    return false;
}

void TMultiReadSingleWrite::EndWrite()
{
    d->writer.store(false);
    d->writer.notify_all();
    d->writers.unlock();
}

} // namespace zor
