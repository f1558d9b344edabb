#include "LoadLock.h"

#include <ZorCompCore/core/SyncObjs.h>

namespace zor {

TCriticalSection &WPLoadLock()
{
    // Never destroyed: a report thread may still load while statics go away.
    static TCriticalSection *const lock = new TCriticalSection;
    return *lock;
}

} // namespace zor
