#include <ZorCompCore/controls/AnimationClock.h>
#include <ZorCompCore/controls/ReducedMotion.h>
#include <ZorCompCore/controls/ReducedMotion_p.h>

#include "ControlsTestUtil.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <utility>

using namespace zor;
using zor::detail::DecideReducedMotion;
using zor::detail::ReducedMotionInputs;

namespace {
// The desktop's bus stays out of these tests: the answers come from the
// environment and the KDE file the tests write.
struct NoSessionBus : ::testing::Environment
{
    void SetUp() override { qunsetenv("DBUS_SESSION_BUS_ADDRESS"); }
};
const auto *g_noBus = ::testing::AddGlobalTestEnvironment(new NoSessionBus);
} // namespace

// Faults: a lower source overriding a higher one; the portal's "1 = reduce"
// or GNOME's "animations off" read the wrong way round; the environment
// override accepting other values than 0 and 1.
TEST(ReducedMotion, SourcesDecideInTheirOrder)
{
    struct Row
    {
        const char *name;
        ReducedMotionInputs in;
        bool reduced;
        const char *source;
    };
    const Row rows[] = {
        {"nothing", {}, false, "default"},
        {"env 1 over a portal saying no", {"1", 0u, true, 1.0}, true, "environment"},
        {"env 0 over everything saying yes", {"0", 1u, false, 0.0}, false, "environment"},
        {"env junk ignored", {"yes", std::nullopt, std::nullopt, 0.0}, true, "kde"},
        {"portal reduce", {"", 1u, true, 1.0}, true, "portal"},
        {"portal no preference over gnome", {"", 0u, false, 0.0}, false, "portal"},
        {"gnome animations off", {"", std::nullopt, false, 1.0}, true, "gnome"},
        {"gnome animations on over kde", {"", std::nullopt, true, 0.0}, false, "gnome"},
        {"kde factor 0", {"", std::nullopt, std::nullopt, 0.0}, true, "kde"},
        {"kde factor 0.5", {"", std::nullopt, std::nullopt, 0.5}, false, "kde"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const auto answer = DecideReducedMotion(row.in);
        EXPECT_EQ(answer.Reduced, row.reduced);
        EXPECT_EQ(answer.Source, QString::fromLatin1(row.source));
    }
}

// Faults: the wrong file, group or key read; Refresh not telling listeners,
// or telling them when nothing changed.
TEST(ReducedMotion, KdeglobalsIsReadAndChangesAreSignalled)
{
    qunsetenv("ZOR_REDUCED_MOTION");
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_TRUE(QDir().mkpath(config));
    const QString kdeglobals = QDir(config).filePath(QStringLiteral("kdeglobals"));
    auto write = [&](const QByteArray &text) {
        QFile f(kdeglobals);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    TReducedMotion *rm = TReducedMotion::Instance();
    QSignalSpy spy(rm, &TReducedMotion::Changed);
    write("[General]\nAnimationDurationFactor=0\n[KDE]\nSingleClick=false\n");
    rm->Refresh();
    EXPECT_FALSE(rm->Reduced());
    EXPECT_EQ(rm->Source(), QStringLiteral("default"));

    write("[General]\nColorScheme=Breeze\n\n[KDE]\nAnimationDurationFactor=0\n");
    rm->Refresh();
    EXPECT_TRUE(rm->Reduced());
    EXPECT_EQ(rm->Source(), QStringLiteral("kde"));
    rm->Refresh();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
    EXPECT_EQ(TReducedMotion::ScaledInterval(80, true), 320);
    EXPECT_EQ(TReducedMotion::ScaledInterval(80, false), 80);

    {
        ScopedReducedMotion off(false); // the environment wins over KDE
        EXPECT_FALSE(rm->Reduced());
    }
    EXPECT_TRUE(rm->Reduced());
    QFile::remove(kdeglobals);
    rm->Refresh();
    EXPECT_FALSE(rm->Reduced());
    EXPECT_EQ(spy.count(), 4);
}

// Faults: ticks out of time order; a due tick skipped when the clock jumps;
// a disabled timer firing; a timer freed in its own tick crashing the clock.
TEST(AnimationClock, FiresDueTicksInOrderAcrossJumps)
{
    TManualAnimationClock clock;
    std::vector<QString> log;
    auto *a = new TAnimationTimer;
    a->SetInterval(30);
    a->OnTimer = [&] { log.push_back(QStringLiteral("a%1").arg(clock.Now())); };
    auto *b = new TAnimationTimer;
    b->SetInterval(50);
    b->OnTimer = [&] {
        log.push_back(QStringLiteral("b%1").arg(clock.Now()));
        if (clock.Now() >= 100)
            delete std::exchange(b, nullptr); // nothing of this handler is touched after
    };
    clock.Advance(130);
    EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("a30"), QStringLiteral("b50"), QStringLiteral("a60"),
                                         QStringLiteral("a90"), QStringLiteral("b100"), QStringLiteral("a120")}));
    EXPECT_EQ(b, nullptr);
    a->SetEnabled(false);
    clock.Advance(100);
    EXPECT_EQ(log.size(), 6u);
    a->SetEnabled(true); // counts anew from now
    clock.Advance(29);
    EXPECT_EQ(log.size(), 6u);
    clock.Advance(1);
    EXPECT_EQ(log.back(), QStringLiteral("a260"));
    delete a;
    EXPECT_EQ(clock.ActiveTimerCount(), 0);
}
