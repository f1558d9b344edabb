// External processes: start and wait, capture output, open documents with the
// desktop's default application, count running instances of a program.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QObject;

namespace zor {

// Called between the steps of a wait; setting killProcess ends a waited-for
// process that is still running.
using TWaitEvent = std::function<void(QObject *sender, bool &killProcess)>;

// Processes whose executable is fileName: a full path matches the process's
// executable path, a bare name its file name.
ZOR_EXPORT bool IsProcessPathRunning(const QString &fileName, int &count);
ZOR_EXPORT int GetProcessPathRunningCount(const QString &fileName);

// Starts commandLine (program and arguments, quoted as a shell would) in
// workDir. environment, when given, replaces the inherited one ("NAME=value"
// per line). With wait, waits in steps calling onWait; a kill request ends the
// process and reports exit code 1. Returns whether the process started.
ZOR_EXPORT bool RunExecutable(const QString &commandLine, const QString &workDir, bool wait, int &exitCode,
                              const TWaitEvent &onWait = {}, QObject *sender = nullptr,
                              const QStringList *environment = nullptr);
// Starts without waiting.
ZOR_EXPORT bool RunExecutable(const QString &commandLine, const QString &workDir = {});

// Runs commandLine with standard output and error into output (bytes as
// written), draining them while the process runs. exitCode is -1 after a crash.
ZOR_EXPORT bool RunExecutableAndCapture(const QString &commandLine, const QString &workDir, QByteArray &output,
                                        int &exitCode);

// Opens fileName with its default application (an executable file is run with
// params). With wait, waits in 50 ms steps, calling onWait between them.
// verb picks what is done: "open" (or empty) as above; "edit" runs $VISUAL,
// else $EDITOR, else the "edit" action of the file's desktop entry; "print"
// prints through the CUPS lp command (params are lp options). Any other verb,
// or an edit or print that has no program, raises Exception naming the file.
// Raises Exception "Can't successfully launch external application.…" when no
// process of its own could be started and raiseIfNoProcess; EOSError when the
// file cannot be opened at all. Returns true when the open was handed on.
ZOR_EXPORT bool ShellExecute_AndWait(const QString &fileName, const QString &params = {},
                                     const TWaitEvent &onWait = {}, QObject *sender = nullptr,
                                     const QString &verb = {}, bool wait = true, bool raiseIfNoProcess = true);

// Starts what ShellExecute_AndWait(fileName, params, {}, nullptr, verb) would
// run without waiting, and returns its process ID; 0 when the file was handed
// to xdg-open instead (only without raiseIfNoProcess).
ZOR_EXPORT qint64 StartShellExecute(const QString &fileName, const QString &params = {}, const QString &verb = {},
                                    bool raiseIfNoProcess = true);

// Starts this program again with its own arguments (each quoted) and params;
// the running instance keeps running.
ZOR_EXPORT bool RestartApplication(const QString &params = {});

// The desktop-entry file of the default application for a MIME type, from
// the mimeapps.list files and the applications' caches of the XDG folders;
// empty when there is none.
ZOR_EXPORT QString FindDefaultApplication(const QString &mimeType);
// The command line of a desktop entry's Exec key for opening fileName, with
// its field codes expanded; empty when the entry cannot be read.
ZOR_EXPORT QStringList DesktopEntryCommand(const QString &desktopFile, const QString &fileName);

} // namespace zor
