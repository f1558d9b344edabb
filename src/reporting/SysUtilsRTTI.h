// General script registrations for report scripts: the 64-bit integer,
// UTF-8 string and byte-array type names, the date-time bounds, MAX_PATH and
// CreateGUID. The module is listed with the script engine at load, so every
// script that asks for the class registrations (AddRTTI) gets them.
#pragma once

#include <ZorCompCore/script/Interpreter.h>

namespace zor {

class ZOR_EXPORT TFunctions : public TfsRTTIModule
{
public:
    explicit TFunctions(TfsScript *AScript);
};

namespace detail {
void SysUtilsRTTIStartup();
void SysUtilsRTTIShutdown();
} // namespace detail

} // namespace zor
