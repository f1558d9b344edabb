// Files, temporary files and paths: temporary names and self-deleting streams,
// a stream that moves from memory to a temporary file past a threshold, lock
// tests through the advisory locks of our own file streams, file times, trash.
#pragma once

#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/utilities/ProcessUtils.h>
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace zor {

// Asked before each deletion of a directory walk; clear del to keep the entry.
using TDelFileOrDirCBEvent = std::function<void(const QString &name, bool isFile, bool &del)>;

// A buffered file stream that deletes its file when destroyed (while OwnsFile).
class ZOR_EXPORT TFileOwnedFileStream : public TBufferedFileStream
{
public:
    TFileOwnedFileStream(const QString &fileName, quint16 mode, int bufferSize = 32768);
    ~TFileOwnedFileStream() override;

    bool OwnsFile() const { return FOwnsFile; }
    void SetOwnsFile(bool v) { FOwnsFile = v; }
    // Flushes and closes the handle now, so that the file can be used
    // elsewhere; the stream must not be read or written afterwards.
    void CloseFileHandle();

private:
    bool FOwnsFile = true;
};

// A buffered stream on a new file in the temporary folder, deleted with the stream.
class ZOR_EXPORT TTempFileStream : public TFileOwnedFileStream
{
public:
    explicit TTempFileStream(quint16 mode = fmCreate);
    // The same name with its extension replaced by tempFileExt (".pdf" or "pdf").
    static std::unique_ptr<TTempFileStream> CreateWithFileExt(const QString &tempFileExt, quint16 mode = fmCreate);

private:
    struct WithName {};
    TTempFileStream(WithName, const QString &fileName, quint16 mode);
};

// Keeps its data in memory up to maxMemSize bytes and moves it to a
// self-deleting temporary file as soon as it would grow beyond.
class ZOR_EXPORT TSwapedStream : public TStream
{
public:
    explicit TSwapedStream(qint64 maxMemSize);
    ~TSwapedStream() override;

    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 newSize) override;

    // Replaces the content with the file's (straight into a temporary file
    // when it exceeds the threshold); the position is 0 afterwards.
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName);
    // Moves the data to the temporary file now (once; later calls do nothing).
    void SwapStream();
    // Closes the temporary file's handle early while swapping.
    void CloseSwapFileHandle();

    bool Swaping() const;
    QString SwapFileName() const;

private:
    void CheckThreshold(qint64 size);

    std::unique_ptr<TStream> FData;
    qint64 FMaxMemSize;
    bool FSwaping = false;
};

// Temporary names.
ZOR_EXPORT QString GetTempPath();      // with a trailing separator
ZOR_EXPORT QString GetTempFileName();  // "<GUID with X for ->.tmp", no folder
ZOR_EXPORT QString GetNewTempFileName(const QString &fileName = {}, const QString &directory = {},
                                      bool deleteExisting = false);
// A file name made of arbitrary text; maxLength keeps both ends of a long text.
ZOR_EXPORT QString ConvertToFileName(const QString &text, bool replacePathDelimiters = true, int maxLength = 260);
ZOR_EXPORT QString MakeVeryLongPath(const QString &path);

// Locks (the advisory locks of our file streams and of other flock users).
ZOR_EXPORT bool IsFileLocked(const QString &fileName);
// Loop while (not) locked; between tests wait waitMS, calling onWait
// repeatedly during it when given, else sleeping. Always true.
ZOR_EXPORT bool WaitWhileFileLocked(const QString &fileName, const TWaitEvent &onWait = {},
                                    QObject *sender = nullptr, int waitMS = 100);
ZOR_EXPORT bool WaitWhileFileNotLocked(const QString &fileName, const TWaitEvent &onWait = {},
                                       QObject *sender = nullptr, int waitMS = 100);
// Opens the file with its application and waits until the application is
// done with it: the launched process and the processes it started have ended,
// and no other process holds the file open or locked (flock, POSIX or OFD
// locks, or our own file streams' locks). So an editor that keeps the file
// open, one that only reads it and stays running, and a launcher that hands
// the file to another process all end the wait when the user is done.
// Checks every waitMS, calling onWait meanwhile. With timeoutMS >= 0 it gives
// up after that long and returns false; otherwise it returns true.
// changed tells whether the file's time moved.
ZOR_EXPORT bool OpenFileAndWaitUntilUnlocked(const QString &fileName, bool &changed, const TWaitEvent &onWait = {},
                                             QObject *sender = nullptr, int waitMS = 100, int timeoutMS = -1);
ZOR_EXPORT bool HasWriteAccessToDirectory(const QString &dir);
ZOR_EXPORT bool HasWriteAccessToFile(const QString &fileName);
// True on NFS, SMB/CIFS, SSHFS and other network file systems.
ZOR_EXPORT bool GetIsNetworkPath(const QString &path);
// The classification behind it, by mount type ("nfs4", "cifs", "fuse.sshfs" …).
ZOR_EXPORT bool IsNetworkFileSystemType(const QByteArray &type);
ZOR_EXPORT qint64 GetFileSize(const QString &fileName); // 0 when it cannot be opened
ZOR_EXPORT bool GetFileNameIsFileList(const QString &text);

// Content and times (SaveStreamToFile is in core/StreamHelper.h).
ZOR_EXPORT void AppendToFile(const QByteArray &text, const QString &fileName);
// File times: 100-nanosecond ticks since 1601-01-01 UTC.
ZOR_EXPORT TDateTime FileTimeToDateTime(qint64 fileTime);     // to local time; 0 gives MinDateTime
ZOR_EXPORT qint64 DateTimeToFileTime(TDateTime localDateTime); // from local time
// Times are local; the creation time is ignored where the file system cannot set it.
ZOR_EXPORT bool SetFileDateTime(const QString &fileName, TDateTime created, TDateTime accessed, TDateTime modified);
// Moves to the user's trash (freedesktop.org layout under $XDG_DATA_HOME/Trash).
ZOR_EXPORT bool FileMoveToRecycle(const QString &fileName);
// Deletes files matching mask ("dir/*.log") not newer than now minus days.
// With raiseOnError, Exception "PurgFiles() Failed on file\r\n<name>\r\n\r\n<reason>".
ZOR_EXPORT int PurgeFiles(const QString &mask, int days, bool raiseOnError = false);
// Removes dir (with its content when recursive); stops at the first failure.
// onDelete may spare entries (the folder then stays). True when dir is gone.
ZOR_EXPORT bool DeleteDirectory(const QString &dir, bool recursive = true, const TDelFileOrDirCBEvent &onDelete = {});

} // namespace zor
