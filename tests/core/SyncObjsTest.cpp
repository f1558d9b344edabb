#include <ZorCompCore/core/SyncObjs.h>

#include "TestUtil.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace zor;
using namespace std::chrono_literals;

namespace {

// Runs fn on another thread and returns its result.
template <class Fn>
auto onOtherThread(Fn fn)
{
    decltype(fn()) result{};
    std::thread t([&] { result = fn(); });
    t.join();
    return result;
}

// Runs a Try operation on another thread while the caller still holds its
// lock; true when it returned within the time limit (it must never wait).
// `release` is called either way so that a blocked probe cannot hang the test.
template <class Fn, class Release>
bool returnsAtOnce(Fn tryOp, bool &result, Release release)
{
    std::promise<bool> done;
    auto future = done.get_future();
    std::thread t([&] { done.set_value(tryOp()); });
    const bool inTime = future.wait_for(5s) == std::future_status::ready;
    release();
    t.join();
    result = future.get();
    return inTime;
}

IPtr<IMultiReadSingleWrite> newLock()
{
    return QueryIntf<IMultiReadSingleWrite>(new TMultiReadSingleWrite);
}

} // namespace

TEST(CriticalSection, IsRecursiveAndTryEnterFromElsewhereFailsUntilFullyLeft)
{
    TCriticalSection cs;
    cs.Enter();
    EXPECT_TRUE(cs.TryEnter()); // the owner may enter again
    cs.Enter();
    EXPECT_FALSE(onOtherThread([&] { return cs.TryEnter(); }));
    cs.Leave();
    cs.Leave();
    EXPECT_FALSE(onOtherThread([&] { return cs.TryEnter(); })); // one Enter still open
    cs.Leave();
    EXPECT_TRUE(onOtherThread([&] {
        const bool entered = cs.TryEnter();
        if (entered)
            cs.Leave();
        return entered;
    }));
}

TEST(CriticalSection, SerialisesWritersOfSharedData)
{
    TCriticalSection cs;
    long long counter = 0; // deliberately not atomic: the lock must protect it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                std::lock_guard guard(cs);
                std::lock_guard nested(cs);
                ++counter;
            }
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(counter, 80000);
}

TEST(MultiReadSingleWrite, ManyReadersHoldTheLockAtOnce)
{
    auto lock = newLock();
    constexpr int kReaders = 6;
    std::atomic<int> inside{0};
    std::atomic<int> sawAll{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r)
        readers.emplace_back([&] {
            lock->BeginRead();
            ++inside;
            // Every reader waits inside until all are in: with an exclusive
            // lock this could never happen and the deadline would pass.
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (inside.load() < kReaders && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            if (inside.load() == kReaders)
                ++sawAll;
            lock->EndRead();
        });
    for (auto &t : readers)
        t.join();
    EXPECT_EQ(sawAll.load(), kReaders);
}

TEST(MultiReadSingleWrite, TryOperationsNeverWaitAndRespectTheHolder)
{
    struct Row
    {
        const char *name;
        bool holdWrite;  // else a read lock is held
        bool probeWrite; // else TryBeginRead is probed
        bool expected;
    };
    const Row rows[] = {
        {"read beside read", false, false, true},
        {"write beside read", false, true, false},
        {"read beside write", true, false, false},
        {"write beside write", true, true, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        auto lock = newLock();
        r.holdWrite ? lock->BeginWrite() : lock->BeginRead();
        bool held = true;
        bool got = false;
        const bool inTime = returnsAtOnce(
            [&] {
                const bool ok = r.probeWrite ? lock->TryBeginWrite() : lock->TryBeginRead();
                if (ok)
                    r.probeWrite ? lock->EndWrite() : lock->EndRead();
                return ok;
            },
            got,
            [&] {
                if (held)
                    r.holdWrite ? lock->EndWrite() : lock->EndRead();
                held = false;
            });
        EXPECT_TRUE(inTime);
        EXPECT_EQ(got, r.expected);
    }
}

TEST(MultiReadSingleWrite, WriterWaitsForReadersAndExcludesThem)
{
    auto lock = newLock();
    lock->BeginRead();
    std::atomic<bool> writing{false};
    std::thread writer([&] {
        lock->BeginWrite();
        writing = true;
        std::this_thread::sleep_for(20ms);
        writing = false;
        lock->EndWrite();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(writing.load()); // still shut out by our read lock
    lock->EndRead();
    writer.join();

    // Invariant a == b is broken only inside the write lock; readers must
    // never see it broken (and the thread sanitizer must see no race).
    long long a = 0, b = 0;
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < 3; ++r)
        threads.emplace_back([&] {
            while (!stop.load()) {
                lock->BeginRead();
                if (a != b)
                    ++torn;
                lock->EndRead();
            }
        });
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                lock->BeginWrite();
                ++a;
                ++b;
                lock->EndWrite();
            }
        });
    threads[3].join();
    threads[4].join();
    stop = true;
    for (int r = 0; r < 3; ++r)
        threads[size_t(r)].join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(a, 4000);
}

// More readers than the lock has per-thread slots, so some share one: the
// writer must still wait for the last of them, not the first to leave.
TEST(MultiReadSingleWrite, WriterWaitsForEveryReaderEvenWhenThreadsShareSlots)
{
    auto lock = newLock();
    constexpr int kReaders = 70;
    std::atomic<int> entered{0}, inside{0}, insideWhenWriting{-1};
    std::atomic<bool> release{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r)
        readers.emplace_back([&, r] {
            lock->BeginRead();
            ++inside;
            ++entered;
            while (!release.load())
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::microseconds(200 * r)); // leave one by one
            --inside;
            lock->EndRead();
        });
    while (entered.load() < kReaders)
        std::this_thread::yield();
    std::thread writer([&] {
        lock->BeginWrite();
        insideWhenWriting = inside.load();
        lock->EndWrite();
    });
    std::this_thread::sleep_for(20ms);
    release = true;
    for (auto &t : readers)
        t.join();
    writer.join();
    EXPECT_EQ(insideWhenWriting.load(), 0);
    // And the lock works again for readers afterwards.
    EXPECT_TRUE(lock->TryBeginRead());
    lock->EndRead();
}

TEST(MultiReadSingleWrite, LivesAsLongAsItIsReferenced)
{
    static bool destroyed = false;
    struct Watched : TMultiReadSingleWrite
    {
        ~Watched() override { destroyed = true; }
    };
    destroyed = false;
    IPtr<IMultiReadSingleWrite> first = QueryIntf<IMultiReadSingleWrite>(new Watched);
    ASSERT_TRUE(first);
    {
        IPtr<IInterface> other = QueryIntf<IInterface>(first.get());
        ASSERT_TRUE(other);
        first.reset();
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}
