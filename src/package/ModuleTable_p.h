//
//  W A R N I N G
//  -------------
// This file is not part of the library's API: a trace hook into the module
// table for the package's own tests. The module list itself is in
// ModuleTable.cpp.
#pragma once

#include <ZorCompCore/zor_export.h>

namespace zor::detail {

// Called for every start-up (Startup = true) or shut-down call of a module,
// with whether the counter let its action run. Null by default.
using ModuleTraceHook = void (*)(int index, bool Startup, bool Worked);
ZOR_EXPORT void SetModuleTraceHook(ModuleTraceHook hook);

} // namespace zor::detail
