// The module table. Each module keeps a start-up counter: start-up decrements
// it and works only when it was 0; shut-down increments it and works only when
// it reaches 0, so a library initialised through two paths works once and
// undoes once. Entries stand in the package's start-up order; a module adds
// its actions here when it has work to do at load or unload.
#include "Package.h"
#include "ModuleTable_p.h"

#include <atomic>

namespace {

// Keep in step with kModules below (ORDER MODULES).
std::atomic<int> g_counters[zor::detail::kModuleCount];

template <int I>
void startup()
{
    if (g_counters[I].fetch_sub(1) == 0 && zor::detail::kModules[I].Startup)
        zor::detail::kModules[I].Startup();
}

template <int I>
void shutdown()
{
    if (g_counters[I].fetch_add(1) == -1 && zor::detail::kModules[I].Shutdown)
        zor::detail::kModules[I].Shutdown();
}

template <int... I>
constexpr auto makeEntries(std::integer_sequence<int, I...>)
{
    return std::array<ZorPackageUnitEntry, sizeof...(I)>{
        ZorPackageUnitEntry{&startup<I>, &shutdown<I>}...};
}

const auto g_entries = makeEntries(std::make_integer_sequence<int, zor::detail::kModuleCount>{});
const ZorPackageInfoTable g_table{zor::detail::kModuleCount, g_entries.data()};

} // namespace

extern "C" {

void Initialize()
{
    for (const auto &e : g_entries)
        e.Init();
}

void Finalize()
{
    for (auto it = g_entries.rbegin(); it != g_entries.rend(); ++it)
        it->FInit();
}

const ZorPackageInfoTable *GetPackageInfoTable()
{
    return &g_table;
}

} // extern "C"

namespace zor {

int ModuleCount()
{
    return detail::kModuleCount;
}

ModuleInfo ModuleAt(int index)
{
    const auto &m = detail::kModules[index];
    return {m.Name, m.Startup != nullptr, m.Shutdown != nullptr};
}

} // namespace zor
