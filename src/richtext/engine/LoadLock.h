// The lock every rich-text editor of the process holds while it loads a text
// and lays it out again: background report helpers and the editors on screen
// load one at a time.
#pragma once

#include <ZorCompCore/zor_export.h>

namespace zor {

class TCriticalSection;

// Lives from the first use to the end of the process; recursive, so a load
// that loads again (an e-mail body, say) does not wait for itself.
ZOR_EXPORT TCriticalSection &WPLoadLock();

} // namespace zor
