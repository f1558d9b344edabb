// The package frame: the module table with start-up counters and the three
// entry points a host calls when it loads and unloads the library. When the
// host does not call them, the library's own load and unload hooks do.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QString>

extern "C" {

typedef void (*ZorModuleProc)();

struct ZorPackageUnitEntry
{
    ZorModuleProc Init;     // start-up action, may be null
    ZorModuleProc FInit;    // shut-down action, may be null
};

struct ZorPackageInfoTable
{
    int UnitCount;
    const ZorPackageUnitEntry *UnitInfo;
};

// Runs every start-up action in table order.
ZOR_EXPORT void Initialize();
// Runs every shut-down action in reverse table order.
ZOR_EXPORT void Finalize();
ZOR_EXPORT const ZorPackageInfoTable *GetPackageInfoTable();

} // extern "C"

namespace zor {

struct ModuleInfo
{
    const char *Name;
    bool HasStartup;
    bool HasShutdown;
};

// The modules in start-up order, with the names the table uses; ModuleAt
// answers a null Name for an index out of range.
ZOR_EXPORT int ModuleCount();
ZOR_EXPORT ModuleInfo ModuleAt(int index);
ZOR_EXPORT QString LibraryVersion();

} // namespace zor
