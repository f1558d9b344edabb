#include <ZorCompCore/core/CustomException.h>
#include <ZorCompCore/core/ExceptionUtils.h>

#include "TestUtil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QStringList>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <memory>
#include <thread>

using namespace zor;

namespace {

// A handler that records every call as text.
class RecordingHandler : public TZORExceptionUtilsHandler
{
public:
    void Show(Exception &E, const QString &AdvInfo) override
    {
        calls << QStringLiteral("Show(%1|%2)").arg(E.Message(), AdvInfo);
    }
    void AddExceptionInfo(Exception &E, const QString &AdvInfo) override
    {
        calls << QStringLiteral("AddExceptionInfo(%1|%2)").arg(E.Message(), AdvInfo);
    }
    void SetLogStateInThread(bool AEnabled) override
    {
        calls << QStringLiteral("SetLogStateInThread(%1)").arg(AEnabled);
    }
    void SetSilent(bool Value) override { calls << QStringLiteral("SetSilent(%1)").arg(Value); }
    QStringList calls;
};

// Overrides one operation only; the others must complain.
class ShowOnlyHandler : public TZORExceptionUtilsHandler
{
public:
    void Show(Exception &, const QString &) override {}
};

class EUserAbort : public EAbort
{
public:
    using EAbort::EAbort;
};

class ExceptionUtils : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ApplicationShowException = [this](Exception &E) { displayed << E.Message(); };
    }
    void TearDown() override
    {
        GlobalHandler = nullptr;
        ApplicationShowException = nullptr;
        TZORExceptionUtils::SetSilent(false);
    }
    QStringList displayed;
    RecordingHandler handler;
};

} // namespace

TEST_F(ExceptionUtils, ShowFollowsHandlerSilenceAndAbortRules)
{
    struct Row
    {
        const char *name;
        bool abort;
        QString advInfo;
        bool withHandler;
        bool silent;
        QString message;       // E's message afterwards
        QStringList displayed; // what the application was shown
        QStringList handled;   // what the handler was asked
    };
    const Row rows[] = {
        {"abort with handler", true, "info", true, false, "stop", {}, {}},
        {"abort without handler", true, "info", false, false, "stop", {}, {}},
        {"no info", false, "", false, false, "boom", {"boom"}, {}},
        {"info appended before display", false, "at line 3", false, false, "boom\r\nat line 3",
         {"boom\r\nat line 3"}, {}},
        {"silent still annotates", false, "at line 3", false, true, "boom\r\nat line 3", {}, {}},
        {"handler takes over", false, "at line 3", true, false, "boom", {}, {"Show(boom|at line 3)"}},
        {"handler even when silent", false, "", true, true, "boom", {}, {"Show(boom|)"}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        displayed.clear();
        handler.calls.clear();
        GlobalHandler = nullptr;
        TZORExceptionUtils::SetSilent(r.silent);
        GlobalHandler = r.withHandler ? &handler : nullptr;

        if (r.abort) {
            EUserAbort e(QStringLiteral("stop")); // a subclass counts as well
            TZORExceptionUtils::Show(e, r.advInfo);
            EXPECT_EQ(e.Message(), r.message);
        } else {
            Exception e(QStringLiteral("boom"));
            TZORExceptionUtils::Show(e, r.advInfo);
            EXPECT_EQ(e.Message(), r.message);
        }
        EXPECT_EQ(displayed, r.displayed);
        EXPECT_EQ(handler.calls, r.handled);
    }
}

TEST_F(ExceptionUtils, SilentWithoutAnyDisplayShowOnlyAnnotates)
{
    ApplicationShowException = nullptr; // and no message box, being silent
    TZORExceptionUtils::SetSilent(true);
    EConvertError e(QStringLiteral("'x' is not a valid integer value"));
    TZORExceptionUtils::Show(e, QStringLiteral("Field: Amount"));
    EXPECT_EQ(e.Message(), "'x' is not a valid integer value\r\nField: Amount");
}

TEST_F(ExceptionUtils, AddExceptionInfoAppendsLineBreakEvenForEmptyInfoUnlessHandled)
{
    Exception e(QStringLiteral("first"));
    TZORExceptionUtils::AddExceptionInfo(e, QString());
    EXPECT_EQ(e.Message(), "first\r\n");
    TZORExceptionUtils::AddExceptionInfo(e, QStringLiteral("second"));
    EXPECT_EQ(e.Message(), "first\r\n\r\nsecond");

    GlobalHandler = &handler;
    Exception f(QStringLiteral("kept"));
    TZORExceptionUtils::AddExceptionInfo(f, QStringLiteral("extra"));
    EXPECT_EQ(f.Message(), "kept");
    EXPECT_EQ(handler.calls, QStringList{"AddExceptionInfo(kept|extra)"});
}

TEST_F(ExceptionUtils, SilenceIsRememberedWithOrWithoutHandler)
{
    TZORExceptionUtils::SetSilent(true);
    EXPECT_TRUE(TZORExceptionUtils::IsSilent());

    GlobalHandler = &handler;
    TZORExceptionUtils::SetSilent(false);
    EXPECT_FALSE(TZORExceptionUtils::IsSilent());
    TZORExceptionUtils::SetSilent(true);
    EXPECT_TRUE(TZORExceptionUtils::IsSilent());
    EXPECT_EQ(handler.calls, (QStringList{"SetSilent(0)", "SetSilent(1)"}));

    // Once the handler is gone, the remembered value decides again.
    GlobalHandler = nullptr;
    Exception e(QStringLiteral("quiet"));
    TZORExceptionUtils::Show(e);
    EXPECT_TRUE(displayed.isEmpty());
}

TEST_F(ExceptionUtils, LogStateGoesToTheHandlerOnly)
{
    TZORExceptionUtils::SetLogStateInThread(true); // no handler: nothing happens
    GlobalHandler = &handler;
    TZORExceptionUtils::SetLogStateInThread(false);
    EXPECT_EQ(handler.calls, QStringList{"SetLogStateInThread(0)"});
}

TEST_F(ExceptionUtils, UnoverriddenHandlerOperationsRaiseAbstractError)
{
    ShowOnlyHandler partial;
    GlobalHandler = &partial;
    Exception e(QStringLiteral("x"));
    EXPECT_NO_THROW(TZORExceptionUtils::Show(e, QStringLiteral("y")));

    const std::function<void()> calls[] = {
        [&] { TZORExceptionUtils::AddExceptionInfo(e, QStringLiteral("y")); },
        [] { TZORExceptionUtils::SetLogStateInThread(true); },
        [] { TZORExceptionUtils::SetSilent(true); },
    };
    for (const auto &call : calls) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EAbstractError &err) {
            EXPECT_EQ(err.Message(), "Abstract Error");
        }
    }
}

TEST_F(ExceptionUtils, DisplayRunsOnTheCallingThread)
{
    std::thread::id seen;
    ApplicationShowException = [&seen](Exception &) { seen = std::this_thread::get_id(); };
    std::thread::id worker;
    std::thread t([&] {
        worker = std::this_thread::get_id();
        Exception e(QStringLiteral("from a worker"));
        TZORExceptionUtils::Show(e);
    });
    t.join();
    EXPECT_EQ(seen, worker);
}

// With neither handler nor display routine, a GUI application shows the
// message in a message box on its main thread, also for a worker's exception.
TEST_F(ExceptionUtils, MessageBoxInAGuiApplicationWhenNothingIsSet)
{
    ApplicationShowException = nullptr;
    ASSERT_TRUE(qobject_cast<QApplication *>(QCoreApplication::instance()));
    QStringList shown;
    bool onMainThread = true;
    auto pump = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    // Closes the box as a user would, noting what it said.
    auto closeBoxSoon = [&] {
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
            shown << box->text();
            box->accept();
        });
    };

    closeBoxSoon();
    Exception e(QStringLiteral("disk full"));
    TZORExceptionUtils::Show(e, QStringLiteral("while saving"));
    EXPECT_EQ(shown, QStringList{QStringLiteral("disk full\r\nwhile saving")});

    // The worker must not wait for the box (nor build it: widgets belong to
    // the main thread). A worker left hanging is reported, not joined.
    auto returned = std::make_shared<std::atomic<bool>>(false);
    std::thread t([returned] {
        Exception w(QStringLiteral("from a worker"));
        TZORExceptionUtils::Show(w);
        *returned = true;
    });
    QElapsedTimer started;
    started.start();
    while (!*returned && started.elapsed() < 10000)
        QThread::msleep(5);
    if (!*returned) {
        t.detach();
        FAIL() << "Show blocked the worker thread";
    }
    t.join();
    closeBoxSoon(); // queued after the worker's box
    pump(0);
    QElapsedTimer waited;
    waited.start();
    while (shown.size() < 2 && waited.elapsed() < 10000) {
        closeBoxSoon();
        pump(20);
    }
    EXPECT_EQ(shown.value(1), QStringLiteral("from a worker"));
    EXPECT_TRUE(onMainThread);

    // Silence still wins (a box shown anyway is closed and counted).
    TZORExceptionUtils::SetSilent(true);
    closeBoxSoon();
    TZORExceptionUtils::Show(e);
    pump(0);
    EXPECT_EQ(shown.size(), 2);
}

TEST(CustomException, CarriesTheUserMessageFlagThroughTheHierarchy)
{
    try {
        throw EquenlorUIValidationException(QStringLiteral("Please enter a name"), true);
    } catch (const EquenlorCustomException &e) {
        EXPECT_EQ(e.Message(), "Please enter a name");
        EXPECT_TRUE(e.IsUserMessage());
        EXPECT_STREQ(e.ClassName(), "EquenlorUIValidationException");
        EXPECT_STREQ(e.what(), "Please enter a name");
    }
    try {
        throw EquenlorCustomException(QStringLiteral("internal"));
    } catch (const Exception &e) {
        // A plain library exception handler sees it too, flag off by default.
        ASSERT_NE(dynamic_cast<const EquenlorCustomException *>(&e), nullptr);
        EXPECT_FALSE(static_cast<const EquenlorCustomException &>(e).IsUserMessage());
        EXPECT_STREQ(e.ClassName(), "EquenlorCustomException");
    }
}
