#include <ZorCompCore/utilities/ProcessUtils.h>
#include "ProcessUtils_p.h"

#include <ZorCompCore/platform/Exception.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace zor {

namespace {

QString EnvDir(const char *name, const QString &fallback)
{
    const QString v = qEnvironmentVariable(name);
    return (v.isEmpty() || !QDir::isAbsolutePath(v)) ? fallback : v;
}

QStringList EnvDirs(const char *name, const QString &fallback)
{
    QStringList dirs;
    const QString v = qEnvironmentVariable(name);
    for (const QString &d : (v.isEmpty() ? fallback : v).split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(d))
            dirs << d;
    return dirs;
}

QString DataHome()
{
    return EnvDir("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
}

QStringList DataDirs()
{
    return EnvDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

// Applications folders in order of precedence.
QStringList ApplicationDirs()
{
    QStringList dirs {DataHome() + QStringLiteral("/applications")};
    for (const QString &d : DataDirs())
        dirs << d + QStringLiteral("/applications");
    return dirs;
}

// The keys of one group of an INI-like desktop file.
QHash<QString, QString> ReadGroup(const QString &fileName, const QString &group)
{
    QHash<QString, QString> keys;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inGroup = false;
    // Desktop files are small; a huge one is not a desktop file.
    const QByteArray data = f.read(1 << 20);
    for (const QString &raw : QString::fromUtf8(data).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inGroup && eq > 0) {
            const QString key = line.left(eq).trimmed();
            if (!keys.contains(key))
                keys.insert(key, line.mid(eq + 1).trimmed());
        }
    }
    return keys;
}

// Locates a desktop file ID ("org.example.Viewer.desktop"); in the folders an
// ID "kde-viewer.desktop" may also live as "kde/viewer.desktop".
QString LocateDesktopFile(const QString &id)
{
    for (const QString &dir : ApplicationDirs()) {
        QString candidate = dir + u'/' + id;
        if (QFileInfo::exists(candidate))
            return candidate;
        const qsizetype dash = id.indexOf(u'-');
        if (dash > 0) {
            candidate = dir + u'/' + id.left(dash) + u'/' + id.mid(dash + 1);
            if (QFileInfo::exists(candidate))
                return candidate;
        }
    }
    return {};
}

bool IsUsableEntry(const QString &desktopFile)
{
    const auto keys = ReadGroup(desktopFile, QStringLiteral("Desktop Entry"));
    return keys.contains(QStringLiteral("Exec")) && keys.value(QStringLiteral("Hidden")) != QStringLiteral("true");
}

QString FirstUsable(const QString &list)
{
    for (const QString &id : list.split(u';', Qt::SkipEmptyParts)) {
        const QString file = LocateDesktopFile(id.trimmed());
        if (!file.isEmpty() && IsUsableEntry(file))
            return file;
    }
    return {};
}

QString DefaultFor(const QString &mimeType)
{
    QStringList lists;
    const QString configHome = EnvDir("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(u':', Qt::SkipEmptyParts);
    const auto addConfigDir = [&](const QString &dir) {
        for (const QString &desktop : desktops)
            lists << dir + u'/' + desktop + QStringLiteral("-mimeapps.list");
        lists << dir + QStringLiteral("/mimeapps.list");
    };
    addConfigDir(configHome);
    for (const QString &d : EnvDirs("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        addConfigDir(d);
    for (const QString &d : ApplicationDirs())
        addConfigDir(d);

    for (const QString &list : lists) {
        const QString app = FirstUsable(ReadGroup(list, QStringLiteral("Default Applications")).value(mimeType));
        if (!app.isEmpty())
            return app;
    }
    // No default chosen: any application that declares the type.
    for (const QString &dir : ApplicationDirs()) {
        const QString app = FirstUsable(
            ReadGroup(dir + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache")).value(mimeType));
        if (!app.isEmpty())
            return app;
    }
    return {};
}

// The string escapes of desktop files (\s \n \t \r \\).
QString UnescapeValue(const QString &v)
{
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == u'\\' && i + 1 < v.size()) {
            const QChar c = v[++i];
            if (c == u's')
                out += u' ';
            else if (c == u'n')
                out += u'\n';
            else if (c == u't')
                out += u'\t';
            else if (c == u'r')
                out += u'\r';
            else if (c == u'\\')
                out += u'\\';
            else
                out += u'\\' + QString(c); // left for the Exec quoting rules
        } else {
            out += v[i];
        }
    }
    return out;
}

// Splits an Exec value into arguments: blanks separate, double quotes group,
// and inside quotes a backslash escapes " ` $ and \.
QStringList SplitExec(const QString &exec)
{
    QStringList args;
    QString cur;
    bool inQuotes = false, have = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size()) {
                cur += exec[++i];
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                cur += c;
            }
        } else if (c == u'"') {
            inQuotes = have = true;
        } else if (c == u' ' || c == u'\t') {
            if (have)
                args << std::exchange(cur, QString());
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have)
        args << cur;
    return args;
}

QString FailedLaunchMessage(const QString &fileName)
{
    return QStringLiteral("Can't successfully launch external application.\r\n"
                          "Maybe because there are allready some open instances (it's impossible to waitfor in this "
                          "state).\r\nPlease close all ")
        + fileName + QStringLiteral(" instances and try again.");
}

// Executable path of a process, or its first argument when the link cannot be
// read (processes of other users).
QString ProcessExecutable(const QString &pid)
{
    QString exe = QFile::symLinkTarget(QStringLiteral("/proc/") + pid + QStringLiteral("/exe"));
    if (!exe.isEmpty()) {
        if (exe.endsWith(QStringLiteral(" (deleted)")))
            exe.chop(10);
        return exe;
    }
    QFile cmdline(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = cmdline.read(4096);
    return QFile::decodeName(data.left(data.indexOf('\0')));
}

void ApplyEnvironment(QProcess &p, const QStringList *environment)
{
    if (!environment)
        return;
    QProcessEnvironment env;
    for (const QString &line : *environment) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            env.insert(line.left(eq), line.mid(eq + 1));
    }
    p.setProcessEnvironment(env);
}

// Waits for p in steps, asking onWait in between. True when it was killed.
bool WaitInSteps(QProcess &p, int stepMs, const TWaitEvent &onWait, QObject *sender)
{
    while (!p.waitForFinished(stepMs)) {
        if (p.state() == QProcess::NotRunning)
            break;
        if (onWait) {
            bool kill = false;
            onWait(sender, kill);
            if (kill && p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished(-1);
                return true;
            }
        }
    }
    return false;
}

int ExitCodeOf(const QProcess &p)
{
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

bool IsProcessPathRunning(const QString &fileName, int &count)
{
    count = 0;
    if (fileName.isEmpty())
        return false;
    const bool byPath = fileName.contains(u'/');
    QString wanted = fileName;
    if (byPath) {
        const QString canonical = QFileInfo(fileName).canonicalFilePath();
        wanted = canonical.isEmpty() ? QFileInfo(fileName).absoluteFilePath() : canonical;
    }
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString exe = ProcessExecutable(pid);
        if (exe.isEmpty())
            continue;
        if (byPath ? exe == wanted : QFileInfo(exe).fileName() == wanted)
            ++count;
    }
    return count > 0;
}

int GetProcessPathRunningCount(const QString &fileName)
{
    int count = 0;
    IsProcessPathRunning(fileName, count);
    return count;
}

bool RunExecutable(const QString &commandLine, const QString &workDir, bool wait, int &exitCode,
                   const TWaitEvent &onWait, QObject *sender, const QStringList *environment)
{
    exitCode = 0;
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return false;
    QProcess p;
    p.setProgram(args.takeFirst());
    p.setArguments(args);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    ApplyEnvironment(p, environment);
    if (!wait)
        return p.startDetached();

    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.setInputChannelMode(QProcess::ForwardedInputChannel);
    p.start();
    if (!p.waitForStarted(-1))
        return false;
    if (WaitInSteps(p, 100, onWait, sender))
        exitCode = 1;
    else
        exitCode = ExitCodeOf(p);
    return true;
}

bool RunExecutable(const QString &commandLine, const QString &workDir)
{
    int exitCode = 0;
    return RunExecutable(commandLine, workDir, false, exitCode);
}

bool RunExecutableAndCapture(const QString &commandLine, const QString &workDir, QByteArray &output, int &exitCode)
{
    output.clear();
    exitCode = 0;
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return false;
    QProcess p;
    p.setProgram(args.takeFirst());
    p.setArguments(args);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setInputChannelMode(QProcess::ForwardedInputChannel);
    p.start();
    if (!p.waitForStarted(-1))
        return false;
    // QProcess reads the pipe while it waits, so a chatty child never blocks
    // on a full pipe; taking the bytes in steps keeps its buffer small.
    while (!p.waitForFinished(100)) {
        output += p.readAll();
        if (p.state() == QProcess::NotRunning)
            break;
    }
    output += p.readAll();
    exitCode = ExitCodeOf(p);
    return true;
}

QString FindDefaultApplication(const QString &mimeType)
{
    if (mimeType.isEmpty())
        return {};
    QString app = DefaultFor(mimeType);
    if (!app.isEmpty())
        return app;
    // A type without an application of its own opens with its parent's
    // (a CSV file with the text editor).
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    if (type.isValid()) {
        for (const QString &parent : type.allAncestors()) {
            app = DefaultFor(parent);
            if (!app.isEmpty())
                return app;
        }
    }
    return {};
}

namespace {

// The command of the Exec key in group of a desktop entry (the main entry or
// one of its actions), field codes expanded for fileName.
QStringList EntryCommand(const QString &desktopFile, const QString &group, const QString &fileName)
{
    const auto keys = ReadGroup(desktopFile, QStringLiteral("Desktop Entry"));
    const QString exec = group == QStringLiteral("Desktop Entry")
        ? keys.value(QStringLiteral("Exec"))
        : ReadGroup(desktopFile, group).value(QStringLiteral("Exec"));
    if (exec.isEmpty())
        return {};
    const QString path = QFileInfo(fileName).absoluteFilePath();
    const QString url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    QStringList out;
    bool usedFile = false;
    for (const QString &arg : SplitExec(UnescapeValue(exec))) {
        if (arg == QStringLiteral("%i")) {
            if (keys.contains(QStringLiteral("Icon")))
                out << QStringLiteral("--icon") << keys.value(QStringLiteral("Icon"));
            continue;
        }
        QString expanded;
        bool dropped = false;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] != u'%' || i + 1 >= arg.size()) {
                expanded += arg[i];
                continue;
            }
            const QChar code = arg[++i];
            switch (code.unicode()) {
            case u'%':
                expanded += u'%';
                break;
            case u'f':
            case u'F':
                expanded += path;
                usedFile = true;
                break;
            case u'u':
            case u'U':
                expanded += url;
                usedFile = true;
                break;
            case u'c':
                expanded += keys.value(QStringLiteral("Name"));
                break;
            case u'k':
                expanded += desktopFile;
                break;
            default:
                // Deprecated and unknown codes are removed.
                dropped = arg.size() == 2;
                break;
            }
        }
        if (!dropped)
            out << expanded;
    }
    if (out.isEmpty())
        return {};
    if (!usedFile)
        out << path;
    return out;
}

// The entry's action called "edit" (any case), as desktop entries name it.
QStringList EditActionCommand(const QString &desktopFile, const QString &fileName)
{
    const auto keys = ReadGroup(desktopFile, QStringLiteral("Desktop Entry"));
    for (const QString &action : keys.value(QStringLiteral("Actions")).split(u';', Qt::SkipEmptyParts))
        if (action.trimmed().compare(QStringLiteral("edit"), Qt::CaseInsensitive) == 0)
            return EntryCommand(desktopFile, QStringLiteral("Desktop Action ") + action.trimmed(), fileName);
    return {};
}

// The command for a Windows-style shell verb: "open" (or none) the default
// application, "edit" the user's editor, "print" the CUPS lp command.
QStringList VerbCommand(const QFileInfo &info, const QString &params, const QString &verb)
{
    const QString v = verb.trimmed().toLower();
    const QString path = info.absoluteFilePath();
    if (v.isEmpty() || v == QStringLiteral("open")) {
        if (info.isFile() && info.isExecutable())
            return QStringList{path} + QProcess::splitCommand(params);
        const QString app = FindDefaultApplication(QMimeDatabase().mimeTypeForFile(info).name());
        return app.isEmpty() ? QStringList() : EntryCommand(app, QStringLiteral("Desktop Entry"), path);
    }
    if (v == QStringLiteral("edit")) {
        for (const char *var : {"VISUAL", "EDITOR"}) {
            const QStringList editor = QProcess::splitCommand(qEnvironmentVariable(var));
            if (!editor.isEmpty())
                return editor + QStringList{path};
        }
        const QString app = FindDefaultApplication(QMimeDatabase().mimeTypeForFile(info).name());
        const QStringList command = app.isEmpty() ? QStringList() : EditActionCommand(app, path);
        if (command.isEmpty())
            throw Exception(QStringLiteral("No editor for \"%1\": set VISUAL or EDITOR, or give the file's "
                                           "application an \"edit\" action.")
                                .arg(info.fileName()));
        return command;
    }
    if (v == QStringLiteral("print")) {
        const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
        if (lp.isEmpty())
            throw Exception(QStringLiteral("Cannot print \"%1\": the lp command (CUPS) is not installed.")
                                .arg(info.fileName()));
        return QStringList{lp} + QProcess::splitCommand(params) + QStringList{QStringLiteral("--"), path};
    }
    throw Exception(QStringLiteral("Unknown verb \"%1\" for \"%2\": use open, edit or print.")
                        .arg(verb, info.fileName()));
}

} // namespace

QStringList DesktopEntryCommand(const QString &desktopFile, const QString &fileName)
{
    return EntryCommand(desktopFile, QStringLiteral("Desktop Entry"), fileName);
}

// The command that carries out the verb on the file. Empty when there is
// none: then the file has gone to the desktop's opener, and there is no
// process of ours to watch.
static QStringList commandOrOpener(const QFileInfo &info, const QString &params, const QString &verb,
                                   bool raiseIfNoProcess)
{
    if (!info.exists())
        RaiseLastOSError(ENOENT);
    QStringList command = VerbCommand(info, params, verb);
    if (command.isEmpty()) {
        if (raiseIfNoProcess)
            throw Exception(FailedLaunchMessage(info.fileName()));
        if (!QProcess::startDetached(QStringLiteral("xdg-open"), {info.absoluteFilePath()}))
            RaiseLastOSError(ENOENT);
    }
    return command;
}

qint64 StartShellExecute(const QString &fileName, const QString &params, const QString &verb,
                         bool raiseIfNoProcess)
{
    const QFileInfo info(fileName);
    QStringList command = commandOrOpener(info, params, verb, raiseIfNoProcess);
    if (command.isEmpty())
        return 0;
    QProcess p;
    p.setProgram(command.takeFirst());
    p.setArguments(command);
    p.setWorkingDirectory(info.absolutePath());
    qint64 pid = 0;
    if (!p.startDetached(&pid))
        RaiseLastOSError(ENOENT);
    return pid;
}

qint64 detail::StartShellExecuteInSession(const QString &fileName)
{
    const QFileInfo info(fileName);
    const QStringList command = commandOrOpener(info, QString(), QString(), false);
    if (command.isEmpty())
        return 0;
    // Everything the child needs is built before the spawn.
    std::vector<QByteArray> args;
    for (const QString &arg : command)
        args.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const QByteArray dir = QFile::encodeName(info.absolutePath());

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_init(&actions);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE); // hosts often ignore it; the application must not inherit that
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (error != 0)
        RaiseLastOSError(error);
    return pid;
}

bool detail::ChildExited(qint64 pid)
{
    int status = 0;
    const pid_t r = ::waitpid(pid_t(pid), &status, WNOHANG);
    return r == pid_t(pid) || (r < 0 && errno == ECHILD);
}

void detail::ReapChildLater(qint64 pid)
{
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid_t(pid), &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool ShellExecute_AndWait(const QString &fileName, const QString &params, const TWaitEvent &onWait,
                          QObject *sender, const QString &verb, bool wait, bool raiseIfNoProcess)
{
    if (!wait) {
        StartShellExecute(fileName, params, verb, raiseIfNoProcess);
        return true;
    }
    const QFileInfo info(fileName);
    QStringList command = commandOrOpener(info, params, verb, raiseIfNoProcess);
    if (command.isEmpty())
        return true; // the desktop's opener has it: nothing to wait for

    QProcess p;
    p.setProgram(command.takeFirst());
    p.setArguments(command);
    p.setWorkingDirectory(info.absolutePath());
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start();
    if (!p.waitForStarted(-1))
        RaiseLastOSError(ENOENT);
    // Short steps while a callback keeps a user interface alive.
    WaitInSteps(p, onWait ? 10 : 50, onWait, sender);
    return true;
}

bool RestartApplication(const QString &params)
{
    QString commandLine = u'"' + QCoreApplication::applicationFilePath() + u'"';
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i)
        commandLine += QStringLiteral(" \"") + QString(args[i]).replace(u'"', QStringLiteral("\"\"\"")) + u'"';
    if (!params.isEmpty())
        commandLine += u' ' + params;
    int exitCode = 0;
    return RunExecutable(commandLine, QDir::currentPath(), false, exitCode);
}

} // namespace zor
