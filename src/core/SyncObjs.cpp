#include "SyncObjs.h"

#include <mutex>
#include <shared_mutex>

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

struct alignas(64) TMultiReadSingleWrite::Private
{
    std::shared_mutex m;
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
    d->m.lock_shared();
}

bool TMultiReadSingleWrite::TryBeginRead()
{
    return d->m.try_lock_shared();
}

void TMultiReadSingleWrite::EndRead()
{
    d->m.unlock_shared();
}

void TMultiReadSingleWrite::BeginWrite()
{
    d->m.lock();
}

bool TMultiReadSingleWrite::TryBeginWrite()
{
    return d->m.try_lock();
}

void TMultiReadSingleWrite::EndWrite()
{
    d->m.unlock();
}

} // namespace zor
