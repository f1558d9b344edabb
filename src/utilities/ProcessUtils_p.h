// Starting a file's application as a child of ours that leads a session of its
// own, for callers that must follow everything it starts. Not part of the API.
#pragma once

#include <QString>

namespace zor::detail {

// Starts what StartShellExecute(fileName) would start, as a child process
// that leads a new session: the session ID is the returned process ID, and
// every process the application starts keeps it even after its parent has
// exited. 0 when the file went to the desktop's opener instead. The caller
// must reap the child (ChildExited until true, or ReapChildLater).
qint64 StartShellExecuteInSession(const QString &fileName);
// True once the child has exited; reaps it.
bool ChildExited(qint64 pid);
// Reaps the child in the background whenever it exits.
void ReapChildLater(qint64 pid);

} // namespace zor::detail
