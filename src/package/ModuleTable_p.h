//
//  W A R N I N G
//  -------------
// This file is not part of the library's API: the module list behind the
// package frame. Each module that has load/unload work declares its two
// actions in its own header's detail namespace and is listed here in start-up
// order.
#pragma once

#include <array>

namespace zor::detail {

struct ModuleEntry
{
    const char *Name;
    void (*Startup)();
    void (*Shutdown)();
};

// Start-up order; shut-down runs backwards.
inline constexpr ModuleEntry kModules[] = {
    {"quenlor.Tools.Exceptions", nullptr, nullptr},
    {"quenlor.Tools.SyncObjs", nullptr, nullptr},
    {"_StreamHelper", nullptr, nullptr},
};

inline constexpr int kModuleCount = int(std::size(kModules));

} // namespace zor::detail
