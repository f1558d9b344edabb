#include <ZorCompCore/package/ModuleTable_p.h>
#include <ZorCompCore/package/Package.h>

#include "TestUtil.h"

#include <QSet>
#include <cstdio>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Event
{
    int index;
    bool startup;
    bool worked;
    bool operator==(const Event &o) const
    {
        return index == o.index && startup == o.startup && worked == o.worked;
    }
};

void PrintTo(const Event &e, std::ostream *os)
{
    *os << (e.startup ? "start#" : "stop#") << e.index << (e.worked ? "+work" : "");
}

std::vector<Event> g_events;

void record(int index, bool startup, bool worked)
{
    g_events.push_back({index, startup, worked});
}

// Every module once, in start-up order or backwards.
std::vector<Event> sweep(bool startup, bool worked)
{
    std::vector<Event> out;
    const int n = zor::ModuleCount();
    for (int i = 0; i < n; ++i)
        out.push_back({startup ? i : n - 1 - i, startup, worked});
    return out;
}

// The C entry points as a host finds them: by name, in the loaded library.
struct EntryPoints
{
    void (*Initialize)() = nullptr;
    void (*Finalize)() = nullptr;
    const ZorPackageInfoTable *(*GetPackageInfoTable)() = nullptr;
};

EntryPoints resolve()
{
    EntryPoints ep;
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&zor::ModuleCount), &info) || !info.dli_fname)
        return ep;
    void *lib = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (!lib)
        return ep;
    ep.Initialize = reinterpret_cast<void (*)()>(dlsym(lib, "Initialize"));
    ep.Finalize = reinterpret_cast<void (*)()>(dlsym(lib, "Finalize"));
    ep.GetPackageInfoTable =
        reinterpret_cast<const ZorPackageInfoTable *(*)()>(dlsym(lib, "GetPackageInfoTable"));
    dlclose(lib); // drops only the reference taken here
    return ep;
}

class Package : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ep = resolve();
        ASSERT_TRUE(ep.Initialize && ep.Finalize && ep.GetPackageInfoTable)
            << "entry points not exported: " << dlerror();
        g_events.clear();
        zor::detail::SetModuleTraceHook(&record);
    }
    void TearDown() override { zor::detail::SetModuleTraceHook(nullptr); }
    EntryPoints ep;
};

} // namespace

TEST_F(Package, HostCallsBesideTheLoadHooksDoNoWork)
{
    // The library's load hook has started every module already.
    ep.Initialize();
    ep.Finalize();
    std::vector<Event> expected = sweep(true, false);
    const auto back = sweep(false, false);
    expected.insert(expected.end(), back.begin(), back.end());
    EXPECT_EQ(g_events, expected);
}

TEST_F(Package, ShutDownAndStartUpWorkOnceEachInTableOrder)
{
    struct Step
    {
        const char *name;
        bool startup;
        bool worked;
    };
    // From the loaded state: an unload, an extra unload, then two loads, the
    // first of which only cancels the extra unload.
    const Step steps[] = {
        {"unload works, backwards", false, true},
        {"second unload does nothing", false, false},
        {"load pairs with the second unload", true, false},
        {"load works again, forwards", true, true},
        {"load through a second path does nothing", true, false},
        {"its unload does nothing", false, false},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        g_events.clear();
        s.startup ? ep.Initialize() : ep.Finalize();
        EXPECT_EQ(g_events, sweep(s.startup, s.worked));
    }
}

TEST_F(Package, TableEntriesAreTheSameActionsOneModuleAtATime)
{
    const ZorPackageInfoTable *table = ep.GetPackageInfoTable();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->UnitCount, zor::ModuleCount());
    ASSERT_GT(table->UnitCount, 0);
    const int last = table->UnitCount - 1;
    ASSERT_TRUE(table->UnitInfo[last].Init && table->UnitInfo[last].FInit);

    table->UnitInfo[last].FInit();
    table->UnitInfo[last].FInit();
    table->UnitInfo[last].Init();
    table->UnitInfo[last].Init();
    EXPECT_EQ(g_events, (std::vector<Event>{
                            {last, false, true}, {last, false, false}, {last, true, false}, {last, true, true}}));
}

TEST(PackageModules, NamesAreUniqueAndLookupsOutOfRangeAreEmpty)
{
    QSet<QByteArray> seen;
    for (int i = 0; i < zor::ModuleCount(); ++i) {
        const zor::ModuleInfo m = zor::ModuleAt(i);
        ASSERT_NE(m.Name, nullptr);
        EXPECT_FALSE(QByteArray(m.Name).isEmpty());
        EXPECT_FALSE(seen.contains(m.Name)) << "listed twice: " << m.Name;
        seen.insert(m.Name);
    }
    EXPECT_TRUE(seen.contains("quenlor.Tools.Exceptions"));
    EXPECT_EQ(zor::ModuleAt(-1).Name, nullptr);
    EXPECT_EQ(zor::ModuleAt(zor::ModuleCount()).Name, nullptr);
}

namespace {
int g_pipe = -1;
void writeEvent(int index, bool startup, bool worked)
{
    const Event e{index, startup, worked};
    [[maybe_unused]] ssize_t n = write(g_pipe, &e, sizeof e);
}
} // namespace

TEST(PackageUnload, TheUnloadHookShutsEveryModuleDownBackwards)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Process exit unloads the library: only its hook may shut down.
        close(fds[0]);
        g_pipe = fds[1];
        zor::detail::SetModuleTraceHook(&writeEvent);
        std::exit(0);
    }
    close(fds[1]);
    std::vector<Event> events;
    Event e{};
    while (read(fds[0], &e, sizeof e) == ssize_t(sizeof e))
        events.push_back(e);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(events, sweep(false, true));
}
