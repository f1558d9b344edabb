#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/MainThread.h>

#include "TestUtil.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace zor;

namespace {

// Serves the queue until done() holds, with a generous safety limit so that a
// broken queue fails the test instead of hanging it.
template<typename Pred>
bool serveUntil(Pred done, int limitMs = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        CheckSynchronize(10);
    }
    return true;
}

} // namespace

TEST(MainThread, IsMainThread)
{
    EXPECT_TRUE(IsMainThread());
    bool onWorker = true;
    std::thread([&] { onWorker = IsMainThread(); }).join();
    EXPECT_FALSE(onWorker);
}

TEST(MainThread, ManyWorkersSynchronizeWhileMainServes)
{
    constexpr int kWorkers = 8;
    constexpr int kCallsEach = 50;
    int counter = 0; // touched only on the main thread, so no lock
    std::atomic<int> offMain{0};
    std::atomic<int> finishedWorkers{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kCallsEach; ++i) {
                int seen = -1;
                Synchronize([&] {
                    if (!IsMainThread())
                        ++offMain;
                    seen = ++counter;
                });
                // Synchronize returned, so the call has run and its result is visible.
                if (seen <= 0)
                    ++offMain;
            }
            ++finishedWorkers;
        });
    }
    const bool served = serveUntil([&] { return finishedWorkers == kWorkers; });
    if (!served)
        CancelPendingSynchronize();
    for (auto &t : workers)
        t.join();
    ASSERT_TRUE(served);
    EXPECT_EQ(counter, kWorkers * kCallsEach);
    EXPECT_EQ(offMain, 0);
    EXPECT_EQ(PendingSynchronizeCount(), 0);
}

TEST(MainThread, ExceptionsReachTheWaitingWorker)
{
    QString message;
    bool wrongType = false;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            Synchronize([] { throw EConvertError(QStringLiteral("'x' is not a valid integer value")); });
        } catch (const EConvertError &e) {
            message = e.Message();
        } catch (...) {
            wrongType = true;
        }
        done = true;
    });
    ASSERT_TRUE(serveUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_FALSE(wrongType);
    EXPECT_EQ(message, QStringLiteral("'x' is not a valid integer value"));
}

TEST(MainThread, QueuedCallsRunInOrder)
{
    std::vector<int> order;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            Queue([&order, i] { order.push_back(i); });
    });
    worker.join();
    EXPECT_EQ(PendingSynchronizeCount(), 100);
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_FALSE(CheckSynchronize()); // nothing left
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[size_t(i)], i);

    // On the main thread Queue runs at once; ForceQueue defers.
    int ran = 0;
    Queue([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    ForceQueue([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_EQ(ran, 2);
}

TEST(MainThread, AFailingQueuedCallKeepsTheRestQueued)
{
    std::vector<int> ran;
    ForceQueue([&] { ran.push_back(1); });
    ForceQueue([] { throw EAbort(QStringLiteral("Operation aborted")); });
    ForceQueue([&] { ran.push_back(3); });
    EXPECT_THROW(CheckSynchronize(), EAbort);
    EXPECT_EQ(ran, std::vector<int>{1});
    EXPECT_EQ(PendingSynchronizeCount(), 1);
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
}

TEST(MainThread, CheckSynchronizeWaitsForAnArrival)
{
    EXPECT_FALSE(CheckSynchronize(0));
    EXPECT_FALSE(CheckSynchronize(20)); // nothing comes: false after the wait
    bool ran = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ForceQueue([&] { ran = true; });
    });
    const bool result = CheckSynchronize(20000);
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(ran);
}

TEST(MainThread, OnlyTheMainThreadMayServe)
{
    bool raised = false;
    std::thread([&] {
        try {
            CheckSynchronize(0);
        } catch (const EInvalidOperation &) {
            raised = true;
        }
    }).join();
    EXPECT_TRUE(raised);
}

TEST(MainThread, CancelReleasesWaitingWorkers)
{
    std::atomic<int> aborted{0};
    bool ran = false;
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            try {
                Synchronize([&] { ran = true; });
            } catch (const EAbort &) {
                ++aborted;
            }
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (PendingSynchronizeCount() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    CancelPendingSynchronize();
    for (auto &t : workers)
        t.join();
    EXPECT_EQ(aborted, 3);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(CheckSynchronize());
}

TEST(MainThread, RunningEventLoopServesTheQueue)
{
    // No CheckSynchronize here: the application's event loop must do it.
    QEventLoop loop;
    std::atomic<int> done{0};
    int counter = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                Synchronize([&] { ++counter; });
            if (++done == 4)
                Queue([&] { loop.quit(); });
        });
    }
    QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
    const int rc = loop.exec();
    if (rc != 0)
        CancelPendingSynchronize();
    for (auto &t : workers)
        t.join();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(counter, 80);
}

TEST(MainThread, EventLoopSurvivesAFailingQueuedCall)
{
    QEventLoop loop;
    bool laterRan = false;
    QString warning;
    static QString *captured = nullptr;
    captured = &warning;
    // Reported through the folder's category, so QT_LOGGING_RULES can silence it.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &ctx, const QString &msg) {
            if (captured)
                *captured += QString::fromLatin1(ctx.category) + QStringLiteral(": ") + msg;
        });
    ForceQueue([] { throw EConvertError(QStringLiteral("bad value")); });
    ForceQueue([&] {
        laterRan = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
    const int rc = loop.exec();
    qInstallMessageHandler(previous);
    captured = nullptr;
    if (rc != 0)
        CancelPendingSynchronize();
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(laterRan);
    EXPECT_TRUE(warning.startsWith(u"zor.platform: ") && warning.contains(u"bad value"_qs)) << warning.toStdString();
}
