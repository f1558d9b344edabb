#include "Package.h"

namespace zor {

QString LibraryVersion()
{
    return QStringLiteral(ZOR_VERSION_STRING);
}

} // namespace zor

namespace {

// Runs the table when the host does not: the counters make a host's own
// Initialize/Finalize pair a no-op between these two.
struct LoadHooks
{
    LoadHooks() { Initialize(); }
    ~LoadHooks() { Finalize(); }
};

const LoadHooks g_loadHooks;

} // namespace
