#include <ZorCompCore/utilities/FileUtils.h>

#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/SysUtils.h>
#include <ZorCompCore/utilities/DateTimeMath_p.h>
#include <ZorCompCore/utilities/DateUtils.h>
#include <ZorCompCore/utilities/ProcessUtils.h>
#include "ProcessUtils_p.h"
#include <ZorCompCore/utilities/StrUtilsEx.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zor {

using detail::kMSecsPerDay;

namespace {

// Days from 1601-01-01 (the file-time epoch) to 1899-12-30 (TDateTime's).
const qint64 kFileTimeEpochDays = QDate(1601, 1, 1).daysTo(QDate(1899, 12, 30));
constexpr qint64 kTicksPerMSec = 10000;

QString ExtOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype sep = name.lastIndexOf(u'/');
    return (dot > sep && dot >= 0) ? name.mid(dot) : QString();
}

QString ChangeExt(const QString &name, const QString &ext)
{
    return name.left(name.size() - ExtOf(name).size()) + ext;
}

// Waits waitMS, calling onWait repeatedly meanwhile (a UI keeps itself alive
// that way), or sleeping when there is no callback.
void WaitStep(const TWaitEvent &onWait, QObject *sender, int waitMS)
{
    if (!onWait) {
        QThread::msleep(qMax(0, waitMS));
        return;
    }
    QElapsedTimer timer;
    timer.start();
    do {
        bool kill = false;
        onWait(sender, kill);
        const qint64 left = waitMS - timer.elapsed();
        if (left > 0)
            QThread::msleep(qMin<qint64>(left, 10));
    } while (timer.elapsed() < waitMS);
}

timespec ToTimespec(TDateTime localTime)
{
    timespec ts {};
    if (!(localTime > MinDateTime)) {
        ts.tv_nsec = UTIME_OMIT; // unset: leave this time as it is
        return ts;
    }
    const qint64 ms = detail::ToMSecs(RwLocalToUTC(localTime)) - detail::ToMSecs(25569.0); // 1970-01-01
    qint64 secs = ms / 1000;
    qint64 rem = ms % 1000;
    if (rem < 0) {
        --secs;
        rem += 1000;
    }
    ts.tv_sec = time_t(secs);
    ts.tv_nsec = long(rem * 1000000);
    return ts;
}

QString TrashDeletionDate()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"));
}

// Creates the .trashinfo for a free name in trashDir and returns that name
// (empty when no info file can be created). O_EXCL on the info file reserves
// the name against concurrent trashers, as the trash layout asks.
QString ReserveTrashName(const QString &trashDir, const QString &baseName, const QByteArray &pathEntry)
{
    const QString ext = ExtOf(baseName);
    const QString stem = baseName.left(baseName.size() - ext.size());
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? baseName : stem + u'.' + QString::number(n) + ext;
        if (QFileInfo::exists(trashDir + QStringLiteral("/files/") + name)
            || QFileInfo(trashDir + QStringLiteral("/files/") + name).isSymLink())
            continue;
        const QByteArray info = QFile::encodeName(trashDir + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const QByteArray content = "[Trash Info]\nPath=" + pathEntry + "\nDeletionDate="
            + TrashDeletionDate().toLatin1() + "\n";
        const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
        ::close(fd);
        if (!ok) {
            ::unlink(info.constData());
            return {};
        }
        return name;
    }
    return {};
}

bool EnsureTrashDir(const QString &trashDir)
{
    QDir d;
    if (!d.mkpath(trashDir + QStringLiteral("/files")) || !d.mkpath(trashDir + QStringLiteral("/info")))
        return false;
    ::chmod(QFile::encodeName(trashDir).constData(), 0700);
    return true;
}

bool MoveIntoTrash(const QString &trashDir, const QString &absPath, const QByteArray &pathEntry)
{
    if (!EnsureTrashDir(trashDir))
        return false;
    const QString name = ReserveTrashName(trashDir, QFileInfo(absPath).fileName(), pathEntry);
    if (name.isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(trashDir + QStringLiteral("/files/") + name);
    if (::rename(QFile::encodeName(absPath).constData(), target.constData()) == 0)
        return true;
    ::unlink(QFile::encodeName(trashDir + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")).constData());
    return false;
}

dev_t DeviceOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

} // namespace

// ---------------------------------------------------------------------------
// Streams

TFileOwnedFileStream::TFileOwnedFileStream(const QString &fileName, quint16 mode, int bufferSize)
    : TBufferedFileStream(fileName, mode, bufferSize)
{
}

TFileOwnedFileStream::~TFileOwnedFileStream()
{
    try {
        CloseFileHandle();
    } catch (...) {
        // The file goes away (or stays) either way; a destructor cannot report.
    }
    if (FOwnsFile)
        QFile::remove(FFileName);
}

void TFileOwnedFileStream::CloseFileHandle()
{
    if (FHandle < 0)
        return;
    FlushBuffer();
    ::close(FHandle);
    FHandle = -1;
}

TTempFileStream::TTempFileStream(quint16 mode)
    : TFileOwnedFileStream(GetTempPath() + GetTempFileName(), mode, 32768)
{
}

TTempFileStream::TTempFileStream(WithName, const QString &fileName, quint16 mode)
    : TFileOwnedFileStream(fileName, mode, 32768)
{
}

std::unique_ptr<TTempFileStream> TTempFileStream::CreateWithFileExt(const QString &tempFileExt, quint16 mode)
{
    QString ext = tempFileExt;
    if (!ext.isEmpty() && !ext.startsWith(u'.'))
        ext.prepend(u'.');
    const QString name = GetTempPath() + ChangeExt(GetTempFileName(), ext);
    return std::unique_ptr<TTempFileStream>(new TTempFileStream(WithName {}, name, mode));
}

TSwapedStream::TSwapedStream(qint64 maxMemSize)
    : FData(std::make_unique<TMemoryStream>()), FMaxMemSize(maxMemSize)
{
}

TSwapedStream::~TSwapedStream() = default;

void TSwapedStream::CheckThreshold(qint64 size)
{
    if (!FSwaping && size > FMaxMemSize)
        SwapStream();
}

qint64 TSwapedStream::Read(void *buffer, qint64 count)
{
    return FData->Read(buffer, count);
}

qint64 TSwapedStream::Write(const void *buffer, qint64 count)
{
    if (count > 0)
        CheckThreshold(FData->Size() + count);
    return FData->Write(buffer, count);
}

qint64 TSwapedStream::Seek(qint64 offset, TSeekOrigin origin)
{
    return FData->Seek(offset, origin);
}

qint64 TSwapedStream::Size()
{
    return FData->Size();
}

void TSwapedStream::SetSize(qint64 newSize)
{
    CheckThreshold(newSize);
    FData->SetSize(newSize);
}

void TSwapedStream::SwapStream()
{
    if (FSwaping)
        return;
    auto file = std::make_unique<TTempFileStream>(fmCreate);
    const qint64 pos = FData->Position();
    if (FData->Size() > 0)
        file->CopyFrom(*FData, 0);
    file->Seek(pos, soBeginning);
    FData = std::move(file);
    FSwaping = true;
}

void TSwapedStream::CloseSwapFileHandle()
{
    if (FSwaping)
        static_cast<TFileOwnedFileStream *>(FData.get())->CloseFileHandle();
}

void TSwapedStream::LoadFromFile(const QString &fileName)
{
    TFileStream source(fileName, fmOpenRead | fmShareDenyWrite);
    const qint64 size = source.Size();
    FData->SetSize(0);
    FData->Seek(0, soBeginning);
    CheckThreshold(size);
    if (size > 0)
        CopyFrom(source, 0);
    Seek(0, soBeginning);
}

void TSwapedStream::SaveToFile(const QString &fileName)
{
    TFileStream dest(fileName, fmCreate);
    if (Size() > 0)
        dest.CopyFrom(*this, 0);
}

bool TSwapedStream::Swaping() const
{
    return FSwaping;
}

QString TSwapedStream::SwapFileName() const
{
    return FSwaping ? static_cast<const TFileStream *>(FData.get())->FileName() : QString();
}

// ---------------------------------------------------------------------------
// Names

QString GetTempPath()
{
    QString path = QDir::tempPath();
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString GetTempFileName()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().replace(u'-', u'X')
        + QStringLiteral(".tmp");
}

QString GetNewTempFileName(const QString &fileName, const QString &directory, bool deleteExisting)
{
    QString dir = directory.isEmpty() ? GetTempPath() : directory;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    const QString name = fileName.isEmpty() ? GetTempFileName() : ConvertToFileName(fileName, true, 260);
    const QString ext = ExtOf(name);
    QString candidate = dir + name;
    // Bounded: a directory cannot hold more names than this in practice, and a
    // loop on a file system that claims every name exists must still end.
    for (int n = 1; QFileInfo::exists(candidate) && n < 1000000; ++n) {
        if (deleteExisting && QFile::remove(candidate))
            break;
        candidate = dir + ChangeExt(name, u'_' + QString::number(n) + ext);
    }
    return candidate;
}

QString ConvertToFileName(const QString &text, bool replacePathDelimiters, int maxLength)
{
    QString s = text;
    s = FastStringReplace(s, QStringLiteral(":"), QStringLiteral("."));
    for (const char *c : {"?", "*", "\"", "<", ">", "|"})
        s = FastStringReplace(s, QString::fromLatin1(c), QStringLiteral(" "));
    if (replacePathDelimiters) {
        s = FastStringReplace(s, QStringLiteral("/"), QStringLiteral("_"));
        s = FastStringReplace(s, QStringLiteral("\\"), QStringLiteral("_"));
    }
    s = Trim(s);
    if (maxLength > 0 && s.size() > maxLength) {
        const int half = maxLength / 2;
        s = s.left(half) + s.right(half);
    }
    return s;
}

QString MakeVeryLongPath(const QString &path)
{
    if (path.startsWith(QStringLiteral("\\\\")))
        return QStringLiteral("\\\\?\\UNC\\") + path.mid(2);
    return QStringLiteral("\\\\?\\") + path;
}

// ---------------------------------------------------------------------------
// State and access

bool IsFileLocked(const QString &fileName)
{
    if (!QFileInfo::exists(fileName))
        return false;
    return !CanOpenFile(fileName, fmOpenReadWrite | fmShareExclusive);
}

bool WaitWhileFileLocked(const QString &fileName, const TWaitEvent &onWait, QObject *sender, int waitMS)
{
    while (IsFileLocked(fileName))
        WaitStep(onWait, sender, waitMS);
    return true;
}

bool WaitWhileFileNotLocked(const QString &fileName, const TWaitEvent &onWait, QObject *sender, int waitMS)
{
    while (!IsFileLocked(fileName))
        WaitStep(onWait, sender, waitMS);
    return true;
}

namespace {

// Start time (clock ticks after boot), parent and session of a live process,
// from /proc/<pid>/stat; false for a process that is gone or a zombie.
struct ProcessInfo
{
    quint64 startTime = 0;
    qint64 parent = 0;
    qint64 session = 0;
};

bool ProcessStat(qint64 pid, ProcessInfo &info)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = f.readAll();
    // The command name may hold spaces and parentheses: fields follow the last ')'.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X")
        return false;
    info.parent = fields[1].toLongLong();
    info.session = fields[3].toLongLong();
    info.startTime = fields[19].toULongLong();
    return true;
}

// The launched process and every process started below it while we watched,
// each known by its start time so that a reused ID is not taken for it. The
// launched process leads a session of its own, which its descendants keep
// after their parent has exited: that finds the helpers that were handed the
// file and outlived the launcher before a scan could see their parent. The
// session's ID is not reused while the launcher is unreaped or any member lives.
class ProcessTree
{
public:
    explicit ProcessTree(qint64 root) : m_session(root)
    {
        ProcessInfo info;
        if (root > 0 && ProcessStat(root, info))
            m_known.insert(root, info.startTime);
    }
    // Adds the children of known processes; true while any of them lives.
    // One scan lists /proc first and reads each process after: a child forked
    // after the listing by a parent that exits before it is read is missed by
    // both. A second scan lists that child, so only two empty scans in a row
    // say the tree is gone.
    bool Alive() { return m_session > 0 && (scan() || scan()); }

private:
    bool scan()
    {
        QHash<qint64, ProcessInfo> live;
        const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &name : pids) {
            bool ok = false;
            const qint64 pid = name.toLongLong(&ok);
            ProcessInfo info;
            if (ok && ProcessStat(pid, info)) {
                if (info.session == m_session)
                    return true;
                live.insert(pid, info);
            }
        }
        // Helpers that left the session (setsid) are still found by parentage.
        for (bool grew = true; grew;) {
            grew = false;
            for (auto it = live.constBegin(); it != live.constEnd(); ++it)
                if (!m_known.contains(it.key()) && isKnownLive(it.value().parent, live)) {
                    m_known.insert(it.key(), it.value().startTime);
                    grew = true;
                }
        }
        for (auto it = m_known.constBegin(); it != m_known.constEnd(); ++it)
            if (live.contains(it.key()) && live.value(it.key()).startTime == it.value())
                return true;
        return false;
    }

    bool isKnownLive(qint64 pid, const QHash<qint64, ProcessInfo> &live) const
    {
        return m_known.contains(pid) && live.contains(pid) && live.value(pid).startTime == m_known.value(pid);
    }
    qint64 m_session;
    QHash<qint64, quint64> m_known;
};

// True when another process holds the file open (its /proc/<pid>/fd links)
// or any process holds a flock, POSIX or OFD lock on it (/proc/locks).
bool FileInUseElsewhere(const QString &fileName)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(fileName);
    if (::stat(native.constData(), &st) != 0)
        return false;
    const QString target = QFileInfo(fileName).canonicalFilePath();
    const QString self = QString::number(::getpid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (pid == self || !pid.front().isDigit())
            continue;
        QDir fds(QStringLiteral("/proc/") + pid + QStringLiteral("/fd"));
        for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            if (QFile::symLinkTarget(fds.filePath(fd)) == target)
                return true;
    }
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF": device (hex major:minor) and inode.
    QFile locks(QStringLiteral("/proc/locks"));
    if (locks.open(QIODevice::ReadOnly)) {
        const QByteArray id = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':'
                              + QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':'
                              + QByteArray::number(quint64(st.st_ino));
        for (const QByteArray &line : locks.readAll().split('\n'))
            for (const QByteArray &field : line.simplified().split(' '))
                if (field == id)
                    return true;
    }
    return false;
}

} // namespace

bool OpenFileAndWaitUntilUnlocked(const QString &fileName, bool &changed, const TWaitEvent &onWait,
                                  QObject *sender, int waitMS, int timeoutMS)
{
    const QDateTime before = QFileInfo(fileName).lastModified();
    QElapsedTimer clock;
    clock.start();
    const qint64 pid = detail::StartShellExecuteInSession(fileName);
    ProcessTree launched(pid);
    // However the wait ends (time-out, an exception from onWait), the child
    // we started is reaped, now or once it exits.
    struct Reaper
    {
        qint64 pid;
        bool reaped = pid <= 0;
        ~Reaper()
        {
            if (!reaped && !detail::ChildExited(pid))
                detail::ReapChildLater(pid);
        }
    } reaper{pid};
    bool done = false;
    for (;;) {
        reaper.reaped = reaper.reaped || detail::ChildExited(pid);
        // The tree first, the file after: an application that takes the file
        // before the launcher exits holds it by the time the launcher is seen
        // gone. Our own locks count as well: the other checks cannot see them.
        if (!launched.Alive() && !IsFileLocked(fileName) && !FileInUseElsewhere(fileName)) {
            done = true;
            break;
        }
        if (timeoutMS >= 0 && clock.elapsed() >= timeoutMS)
            break;
        WaitStep(onWait, sender, timeoutMS >= 0 ? int(qMin<qint64>(waitMS, qMax<qint64>(1, timeoutMS - clock.elapsed())))
                                                : waitMS);
    }
    const QDateTime after = QFileInfo(fileName).lastModified();
    changed = !before.isValid() || !after.isValid() || before != after;
    return done;
}

bool HasWriteAccessToDirectory(const QString &dir)
{
    QString path = dir;
    if (!path.endsWith(u'/'))
        path += u'/';
    path += GetTempFileName() + QStringLiteral(".aclcheck");
    try {
        {
            TFileStream probe(path, fmCreate);
        }
        QFile::remove(path);
        return true;
    } catch (const Exception &) {
        return false;
    }
}

bool HasWriteAccessToFile(const QString &fileName)
{
    try {
        TFileStream f(fileName, fmOpenWrite | fmShareDenyNone);
        return true;
    } catch (const Exception &) {
        return false;
    }
}

bool IsNetworkFileSystemType(const QByteArray &type)
{
    static const char *const kNetwork[] = {
        "nfs", "nfs4", "cifs", "smb", "smb2", "smb3", "smbfs", "ncpfs", "ncp", "9p", "afs", "coda",
        "ceph", "glusterfs", "lustre", "gpfs", "ocfs2", "gfs2", "davfs", "beegfs", "orangefs", "pvfs2",
    };
    // FUSE file systems that reach over the network, by their subtype.
    static const char *const kFuseNetwork[] = {
        "sshfs", "rclone", "s3fs", "gcsfuse", "davfs", "davfs2", "curlftpfs", "smbnetfs", "glusterfs",
        "cephfs", "ceph-fuse", "gvfsd-fuse", "nfs", "juicefs", "goofys", "blobfuse", "blobfuse2", "afpfs",
    };
    const QByteArray t = type.toLower();
    for (const char *n : kNetwork)
        if (t == n)
            return true;
    if (t.startsWith("fuse.") || t.startsWith("fuseblk.")) {
        const QByteArray sub = t.mid(t.indexOf('.') + 1);
        for (const char *n : kFuseNetwork)
            if (sub == n)
                return true;
    }
    return false;
}

bool GetIsNetworkPath(const QString &path)
{
    // The nearest existing folder decides: a path about to be created lies on
    // the file system of its parent.
    QFileInfo info(path);
    QString probe = info.absoluteFilePath();
    while (!probe.isEmpty() && !QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe)
            break;
        probe = parent;
    }
    const QStorageInfo storage(probe);
    return storage.isValid() && IsNetworkFileSystemType(storage.fileSystemType());
}

qint64 GetFileSize(const QString &fileName)
{
    try {
        TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
        return f.Size();
    } catch (const Exception &) {
        return 0;
    }
}

bool GetFileNameIsFileList(const QString &text)
{
    return text.indexOf(u'\n') > 0;
}

// ---------------------------------------------------------------------------
// Content and times

void AppendToFile(const QByteArray &text, const QString &fileName)
{
    if (text.isEmpty())
        return;
    TFileStream f(fileName, QFileInfo::exists(fileName) ? quint16(fmOpenWrite) : quint16(fmCreate));
    f.Seek(0, soEnd);
    f.WriteBuffer(text.constData(), text.size());
}

TDateTime FileTimeToDateTime(qint64 fileTime)
{
    if (fileTime == 0)
        return MinDateTime;
    const qint64 ms = fileTime / kTicksPerMSec - kFileTimeEpochDays * kMSecsPerDay;
    return RwUTCToLocal(detail::FromMSecs(ms));
}

qint64 DateTimeToFileTime(TDateTime localDateTime)
{
    const qint64 ms = detail::ToMSecs(RwLocalToUTC(localDateTime)) + kFileTimeEpochDays * kMSecsPerDay;
    return ms * kTicksPerMSec;
}

bool SetFileDateTime(const QString &fileName, TDateTime created, TDateTime accessed, TDateTime modified)
{
    Q_UNUSED(created); // Linux file systems keep the birth time to themselves.
    const QFileInfo info(fileName);
    if (!info.exists())
        return false;
    // A file held by another of our opens cannot be opened exclusively: the
    // times stay as they are, as the exclusive open would have failed.
    if (!info.isDir() && !CanOpenFile(fileName, fmOpenReadWrite | fmShareExclusive))
        return false;
    const timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
    return ::utimensat(AT_FDCWD, QFile::encodeName(fileName).constData(), times, 0) == 0;
}

bool FileMoveToRecycle(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return false;
    const QString absPath = info.absoluteFilePath();

    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString homeTrash = dataHome + QStringLiteral("/Trash");
    QDir().mkpath(dataHome);

    if (DeviceOf(absPath) == DeviceOf(dataHome))
        return MoveIntoTrash(homeTrash, absPath, QUrl::toPercentEncoding(absPath, "/"));

    // Another file system: its own trash at the top of the mount, with a path
    // relative to that top.
    const QString top = QStorageInfo(info.absolutePath()).rootPath();
    if (top.isEmpty())
        return false;
    const QString topTrash = QDir(top).filePath(QStringLiteral(".Trash-%1").arg(::getuid()));
    QString relative = QDir(top).relativeFilePath(absPath);
    return MoveIntoTrash(topTrash, absPath, QUrl::toPercentEncoding(relative, "/"));
}

int PurgeFiles(const QString &mask, int days, bool raiseOnError)
{
    const QFileInfo maskInfo(mask);
    QDir dir(maskInfo.path());
    const QDateTime cutOff = QDateTime::currentDateTime().addDays(-days);
    int deleted = 0;
    const QFileInfoList files = dir.entryInfoList({maskInfo.fileName()}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &f : files) {
        if (f.lastModified() > cutOff)
            continue;
        QFile file(f.absoluteFilePath());
        if (file.remove()) {
            ++deleted;
        } else if (raiseOnError) {
            throw EOSError(QStringLiteral("PurgFiles() Failed on file\r\n") + f.absoluteFilePath()
                               + QStringLiteral("\r\n\r\n") + file.errorString(),
                           EACCES);
        }
    }
    return deleted;
}

bool DeleteDirectory(const QString &dir, bool recursive, const TDelFileOrDirCBEvent &onDelete)
{
    QDir d(dir);
    if (!d.exists())
        return false;
    if (recursive) {
        // Entries of a read-only folder cannot be listed or removed: make our
        // own folders readable and writable first (the folder goes anyway).
        const QFileInfo self(d.absolutePath());
        if (!self.isSymLink())
            QFile::setPermissions(self.absoluteFilePath(), self.permissions() | QFile::ReadOwner | QFile::WriteOwner
                                                               | QFile::ExeOwner);
        const QFileInfoList entries =
            d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &e : entries) {
            // A link to a folder is removed as a link: never follow it out of the tree.
            const bool isDir = e.isDir() && !e.isSymLink();
            bool del = true;
            if (onDelete)
                onDelete(e.absoluteFilePath(), !isDir, del);
            if (!del)
                continue;
            if (isDir) {
                if (!DeleteDirectory(e.absoluteFilePath(), true, onDelete))
                    return false;
            } else {
                if (!e.isSymLink())
                    QFile::setPermissions(e.absoluteFilePath(), e.permissions() | QFile::WriteUser);
                if (!QFile::remove(e.absoluteFilePath()))
                    return false;
            }
        }
    }
    return QDir().rmdir(d.absolutePath());
}

} // namespace zor
