#include "Stream.h"

#include "CodePage.h"
#include "Exception.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zor {

namespace {

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

const QString &sharingViolationText()
{
    static const QString text =
        QStringLiteral("The file is being used by another process and its sharing mode does not allow this access.");
    return text;
}

[[noreturn]] void raiseOpenError(const QString &fileName, bool create, const QString &reason)
{
    if (create)
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, reason));
    throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, reason));
}

// ---------------------------------------------------------------------------
// Sharing modes.
//
// Every open of ours registers what it does and what it denies as shared,
// advisory locks on single bytes far beyond any real file end: one byte for
// "reads", one for "writes", one for "denies reads" and one for "denies
// writes". An open first registers itself, then looks for a conflicting
// registration of somebody else; on a conflict it withdraws (by closing) and
// fails. Two racing opens that conflict may therefore both fail, but never
// both succeed. Open-file-description locks are used because they belong to
// the open, not to the process, so two opens inside one process see each
// other too.

constexpr off_t kSlotBase = off_t(1) << 62;
enum Slot : int { SlotRead = 0, SlotWrite = 1, SlotDenyRead = 2, SlotDenyWrite = 3 };

struct Access
{
    bool read = false;
    bool write = false;
    bool denyRead = false;
    bool denyWrite = false;
};

Access accessOf(quint16 mode)
{
    Access a;
    if (mode == fmCreate || (mode & 0xFF00) == 0xFF00) {
        a.read = a.write = true;
    } else {
        switch (mode & 0x3) {
        case fmOpenWrite: a.write = true; break;
        case fmOpenReadWrite: a.read = a.write = true; break;
        default: a.read = true; break;
        }
    }
    switch (mode & 0xF0) {
    case fmShareExclusive:
    case fmShareDenyRead: // advisory locks cannot usefully deny only reads
        a.denyRead = a.denyWrite = true;
        break;
    case fmShareDenyWrite: a.denyWrite = true; break;
    default: break; // fmShareCompat and fmShareDenyNone deny nothing
    }
    return a;
}

#ifdef F_OFD_SETLK

bool lockSlot(int fd, Slot slot)
{
    struct flock fl {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kSlotBase + slot;
    fl.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when another open holds a registration on the slot.
bool slotTakenByOther(int fd, Slot slot)
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kSlotBase + slot;
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
}

// Registers the open on fd (which must be readable) and checks for conflicts.
bool registerOpen(int fd, const Access &a)
{
    if ((a.read && !lockSlot(fd, SlotRead)) || (a.write && !lockSlot(fd, SlotWrite))
        || (a.denyRead && !lockSlot(fd, SlotDenyRead)) || (a.denyWrite && !lockSlot(fd, SlotDenyWrite)))
        return true; // the file system has no locks: nothing to respect
    if (a.read && slotTakenByOther(fd, SlotDenyRead))
        return false;
    if (a.write && slotTakenByOther(fd, SlotDenyWrite))
        return false;
    if (a.denyRead && slotTakenByOther(fd, SlotRead))
        return false;
    if (a.denyWrite && slotTakenByOther(fd, SlotWrite))
        return false;
    return true;
}

// Whether an open with the given access would conflict, without registering.
bool wouldConflict(int fd, const Access &a)
{
    return (a.read && slotTakenByOther(fd, SlotDenyRead)) || (a.write && slotTakenByOther(fd, SlotDenyWrite))
        || (a.denyRead && slotTakenByOther(fd, SlotRead)) || (a.denyWrite && slotTakenByOther(fd, SlotWrite));
}

#else

// Without open-file-description locks only whole-file flock() is left: an
// open that denies anything is exclusive, every other open shares.
bool registerOpen(int fd, const Access &a)
{
    const int op = (a.denyRead || a.denyWrite) ? LOCK_EX : LOCK_SH;
    if (::flock(fd, op | LOCK_NB) == 0)
        return true;
    return errno != EWOULDBLOCK;
}

bool wouldConflict(int fd, const Access &a)
{
    const int op = (a.denyRead || a.denyWrite) ? LOCK_EX : LOCK_SH;
    if (::flock(fd, op | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return false;
}

#endif

int openFlags(const Access &a)
{
    int flags = O_CLOEXEC;
    if (a.read && a.write)
        flags |= O_RDWR;
    else if (a.write)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    return flags;
}

// Repeats a read or write until count bytes are done, the call fails or the
// data end; interrupted calls are retried. op(offset, length) transfers
// length bytes at offset from the start of the buffer.
template <class Op>
qint64 transferFully(qint64 count, Op op)
{
    qint64 done = 0;
    while (done < count) {
        const size_t chunk = size_t(std::min<qint64>(count - done, 1 << 30));
        const ssize_t n = op(done, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

qint64 readFully(int fd, void *buffer, qint64 count)
{
    auto *p = static_cast<char *>(buffer);
    return transferFully(count, [&](qint64 at, size_t n) { return ::read(fd, p + at, n); });
}

qint64 writeFully(int fd, const void *buffer, qint64 count)
{
    const auto *p = static_cast<const char *>(buffer);
    return transferFully(count, [&](qint64 at, size_t n) { return ::write(fd, p + at, n); });
}

qint64 preadFully(int fd, void *buffer, qint64 count, qint64 offset)
{
    auto *p = static_cast<char *>(buffer);
    return transferFully(count, [&](qint64 at, size_t n) { return ::pread(fd, p + at, n, off_t(offset + at)); });
}

qint64 pwriteFully(int fd, const void *buffer, qint64 count, qint64 offset)
{
    const auto *p = static_cast<const char *>(buffer);
    return transferFully(count, [&](qint64 at, size_t n) { return ::pwrite(fd, p + at, n, off_t(offset + at)); });
}

} // namespace

// ---------------------------------------------------------------------------
// TStream

TStream::~TStream() = default;

qint64 TStream::Size()
{
    const qint64 pos = Seek(0, soCurrent);
    const qint64 size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(qint64)
{
    throw EStreamError(QStringLiteral("Stream does not support changing its size"));
}

void TStream::ReadBuffer(void *buffer, qint64 count)
{
    if (count <= 0)
        return;
    if (Read(buffer, count) != count)
        throw EReadError(QStringLiteral("Stream read error"));
}

void TStream::WriteBuffer(const void *buffer, qint64 count)
{
    if (count <= 0)
        return;
    if (Write(buffer, count) != count)
        throw EWriteError(QStringLiteral("Stream write error"));
}

qint64 TStream::CopyFrom(TStream &source, qint64 count, qint64 bufferSize)
{
    if (count <= 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (bufferSize <= 0)
        bufferSize = 1 << 20;
    // The buffer never exceeds what is to be copied, nor much more than the
    // source holds: a huge count from outside must not drive the allocation.
    const qint64 available = std::max<qint64>(source.Size() - source.Position(), 1 << 16);
    QByteArray buffer(qsizetype(std::min({count, bufferSize, available})), Qt::Uninitialized);
    qint64 left = count;
    while (left > 0) {
        const qint64 n = std::min<qint64>(left, buffer.size());
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.constData(), n);
        left -= n;
    }
    return count;
}

QByteArray TStream::ReadAll()
{
    QByteArray result;
    const qint64 size = Size();
    const qint64 pos = Position();
    if (size > pos) {
        const qint64 left = size - pos;
        if (left > std::numeric_limits<qsizetype>::max() / 2)
            throw EOutOfMemory(QStringLiteral("Stream too large to read into memory"));
        result.resize(qsizetype(left));
        const qint64 n = Read(result.data(), left);
        result.truncate(qsizetype(std::max<qint64>(n, 0)));
    }
    // Devices whose size is not known up front: read on until the end.
    char chunk[65536];
    for (;;) {
        const qint64 n = Read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        result.append(chunk, qsizetype(n));
    }
    return result;
}

QByteArray TStream::ToBytes()
{
    SetPosition(0);
    return ReadAll();
}

// ---------------------------------------------------------------------------
// TMemoryStream

TMemoryStream::TMemoryStream() = default;
TMemoryStream::~TMemoryStream() = default;

qint64 TMemoryStream::Read(void *buffer, qint64 count)
{
    if (count <= 0 || FPosition < 0 || FPosition >= FSize)
        return 0;
    const qint64 n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FData.constData() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

qint64 TMemoryStream::Write(const void *buffer, qint64 count)
{
    if (count <= 0 || FPosition < 0)
        return 0;
    const qint64 end = FPosition + count;
    if (end > FData.size())
        Reserve(end);
    if (FPosition > FSize) // a gap left by seeking past the end reads as zeros
        std::memset(FData.data() + FSize, 0, size_t(FPosition - FSize));
    std::memcpy(FData.data() + FPosition, buffer, size_t(count));
    FSize = std::max(FSize, end);
    FPosition = end;
    return count;
}

qint64 TMemoryStream::Seek(qint64 offset, TSeekOrigin origin)
{
    switch (origin) {
    case soBeginning: FPosition = offset; break;
    case soCurrent: FPosition += offset; break;
    case soEnd: FPosition = FSize + offset; break;
    }
    return FPosition;
}

qint64 TMemoryStream::Size()
{
    return FSize;
}

void TMemoryStream::Reserve(qint64 capacity)
{
    if (capacity <= FData.size())
        return;
    if (capacity > std::numeric_limits<qsizetype>::max() / 2)
        throw EOutOfMemory(QStringLiteral("Out of memory while expanding memory stream"));
    // Grow geometrically so that many small writes stay linear overall. The
    // bytes past the logical size are never seen before they are written or
    // zeroed, so the new capacity is left uninitialised.
    qint64 grown = std::max<qint64>(FData.size() + FData.size() / 2, 256);
    grown = std::min<qint64>(std::max(grown, capacity), std::numeric_limits<qsizetype>::max() / 2);
    QByteArray bigger(qsizetype(grown), Qt::Uninitialized);
    if (FSize > 0)
        std::memcpy(bigger.data(), FData.constData(), size_t(FSize));
    FData.swap(bigger);
}

void TMemoryStream::SetSize(qint64 newSize)
{
    if (newSize < 0)
        newSize = 0;
    Reserve(newSize);
    if (newSize > FSize)
        std::memset(FData.data() + FSize, 0, size_t(newSize - FSize));
    FSize = newSize;
    if (FPosition > FSize)
        FPosition = FSize;
}

void *TMemoryStream::Memory()
{
    return FData.data();
}

const void *TMemoryStream::Memory() const
{
    return FData.constData();
}

void TMemoryStream::Clear()
{
    FData.clear();
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream &source)
{
    source.SetPosition(0);
    const qint64 size = source.Size();
    SetSize(size);
    FPosition = 0;
    if (size > 0)
        source.ReadBuffer(FData.data(), size);
}

void TMemoryStream::LoadFromFile(const QString &fileName)
{
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream &dest)
{
    dest.WriteBuffer(FData.constData(), FSize);
}

void TMemoryStream::SaveToFile(const QString &fileName)
{
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// ---------------------------------------------------------------------------
// TBytesStream / TStringStream

TBytesStream::TBytesStream(const QByteArray &bytes)
{
    FData = bytes;
    FSize = bytes.size();
}

QByteArray TBytesStream::Bytes() const
{
    return FData.left(qsizetype(FSize));
}

namespace {

bool isUtf8Name(const QString &encoding)
{
    const QString n = encoding.trimmed().toLower();
    return n.isEmpty() || n == u"utf-8" || n == u"utf8";
}

QByteArray encodeText(const QString &text, const QString &encoding)
{
    if (isUtf8Name(encoding))
        return text.toUtf8();
    if (encoding.compare(u"ANSI", Qt::CaseInsensitive) == 0)
        return ToAnsi(text);
    return EncodeCharset(text, encoding);
}

QString decodeText(const QByteArray &bytes, const QString &encoding)
{
    if (isUtf8Name(encoding))
        return QString::fromUtf8(bytes);
    if (encoding.compare(u"ANSI", Qt::CaseInsensitive) == 0)
        return FromAnsi(bytes);
    return DecodeCharset(bytes, encoding);
}

} // namespace

TStringStream::TStringStream(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    FData = utf8;
    FSize = utf8.size();
}

TStringStream::TStringStream(const QByteArray &bytes)
{
    FData = bytes;
    FSize = bytes.size();
}

TStringStream::TStringStream(const QString &text, const QString &encoding)
{
    const QByteArray bytes = encodeText(text, encoding); // raises for an unknown encoding
    FEncoding = encoding.trimmed();
    FData = bytes;
    FSize = bytes.size();
}

QString TStringStream::DataString() const
{
    return decodeText(FData.left(qsizetype(FSize)), FEncoding);
}

void TStringStream::WriteString(const QString &text)
{
    const QByteArray bytes = encodeText(text, FEncoding);
    WriteBuffer(bytes.constData(), bytes.size());
}

QString TStringStream::ReadString(qint64 byteCount)
{
    if (byteCount <= 0 || FPosition < 0 || FPosition >= FSize)
        return {};
    const qint64 n = std::min(byteCount, FSize - FPosition);
    const QByteArray bytes(FData.constData() + FPosition, qsizetype(n));
    FPosition += n;
    return decodeText(bytes, FEncoding);
}

// ---------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const QString &fileName, quint16 mode)
    : FFileName(fileName)
{
    const bool create = (mode & 0xFF00) == 0xFF00;
    const Access access = accessOf(mode);
    const QByteArray path = QFile::encodeName(fileName);

    int flags = openFlags(access);
    if (create)
        flags |= O_CREAT; // truncated only once the sharing check passed
    int fd;
    do {
        fd = ::open(path.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        raiseOpenError(fileName, create, errnoText(errno));

    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        raiseOpenError(fileName, create, errnoText(EISDIR));
    }

    // Locks need a readable descriptor; a write-only open keeps a second,
    // read-only one just for its registration (none if the file is unreadable).
    int lockFd = fd;
    if (!access.read) {
        lockFd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        FLockHandle = lockFd;
    }
    if (lockFd >= 0 && !registerOpen(lockFd, access)) {
        ::close(fd);
        if (FLockHandle >= 0)
            ::close(FLockHandle);
        FLockHandle = -1;
        raiseOpenError(fileName, create, sharingViolationText());
    }
    if (create && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        if (FLockHandle >= 0)
            ::close(FLockHandle);
        FLockHandle = -1;
        raiseOpenError(fileName, create, errnoText(err));
    }
    FHandle = fd;
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
    if (FLockHandle >= 0)
        ::close(FLockHandle);
}

qint64 TFileStream::Read(void *buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    return readFully(FHandle, buffer, count);
}

qint64 TFileStream::Write(const void *buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    return writeFully(FHandle, buffer, count);
}

qint64 TFileStream::Seek(qint64 offset, TSeekOrigin origin)
{
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    const off_t r = ::lseek(FHandle, off_t(offset), whence);
    if (r < 0)
        return ::lseek(FHandle, 0, SEEK_CUR);
    return r;
}

qint64 TFileStream::Size()
{
    struct stat st {};
    if (::fstat(FHandle, &st) != 0)
        return 0;
    return st.st_size;
}

void TFileStream::SetSize(qint64 newSize)
{
    if (newSize < 0)
        newSize = 0;
    const qint64 pos = Position();
    if (::ftruncate(FHandle, off_t(newSize)) != 0)
        throw EWriteError(QStringLiteral("Stream write error"));
    if (pos > newSize)
        Seek(newSize, soBeginning);
}

// ---------------------------------------------------------------------------
// TBufferedFileStream
//
// The buffer holds the file's bytes [bufStart, bufStart + bufLen), possibly
// modified (dirty range [dirtyFrom, dirtyTo)); the logical position is
// bufStart + idx. Everything else about the file is on disk, so flushing the
// dirty range at the right offset is all a seek or a direct transfer needs.

struct TBufferedFileStream::Private
{
    QByteArray buf;
    qint64 bufStart = 0;
    qint64 bufLen = 0;
    qint64 idx = 0;
    qint64 dirtyFrom = -1;
    qint64 dirtyTo = -1;
    bool writable = false;

    qint64 position() const { return bufStart + idx; }
    void resetAt(qint64 pos)
    {
        bufStart = pos;
        bufLen = 0;
        idx = 0;
    }
};

TBufferedFileStream::TBufferedFileStream(const QString &fileName, quint16 mode, int bufferSize)
    : TFileStream(fileName, mode), d(std::make_unique<Private>())
{
    d->buf.resize(std::max(bufferSize, 1));
    const Access a = accessOf(mode);
    d->writable = a.write;
    d->resetAt(0);
}

TBufferedFileStream::~TBufferedFileStream()
{
    try {
        FlushBuffer();
    } catch (...) {
        // A destructor cannot report; callers who care call FlushBuffer first.
    }
}

int TBufferedFileStream::BufferSize() const
{
    return int(d->buf.size());
}

void TBufferedFileStream::FlushBuffer()
{
    if (d->dirtyFrom < 0)
        return;
    const qint64 n = d->dirtyTo - d->dirtyFrom;
    const qint64 written = pwriteFully(FHandle, d->buf.constData() + d->dirtyFrom, n, d->bufStart + d->dirtyFrom);
    d->dirtyFrom = d->dirtyTo = -1;
    if (written != n)
        throw EWriteError(QStringLiteral("Stream write error"));
}

qint64 TBufferedFileStream::Read(void *buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    auto *out = static_cast<char *>(buffer);
    qint64 done = 0;
    const qint64 cap = d->buf.size();
    while (done < count) {
        if (d->idx < d->bufLen) {
            const qint64 n = std::min(d->bufLen - d->idx, count - done);
            std::memcpy(out + done, d->buf.constData() + d->idx, size_t(n));
            d->idx += n;
            done += n;
            continue;
        }
        const qint64 pos = d->position();
        FlushBuffer();
        if (count - done >= cap) {
            // Large reads bypass the buffer.
            const qint64 n = preadFully(FHandle, out + done, count - done, pos);
            d->resetAt(pos + std::max<qint64>(n, 0));
            done += std::max<qint64>(n, 0);
            break;
        }
        d->resetAt(pos);
        const qint64 n = preadFully(FHandle, d->buf.data(), cap, pos);
        if (n <= 0)
            break;
        d->bufLen = n;
    }
    return done;
}

qint64 TBufferedFileStream::Write(const void *buffer, qint64 count)
{
    if (count <= 0 || !d->writable)
        return 0;
    const auto *in = static_cast<const char *>(buffer);
    const qint64 cap = d->buf.size();
    if (count >= cap) {
        const qint64 pos = d->position();
        FlushBuffer();
        const qint64 n = pwriteFully(FHandle, in, count, pos);
        d->resetAt(pos + std::max<qint64>(n, 0));
        return std::max<qint64>(n, 0);
    }
    qint64 done = 0;
    while (done < count) {
        if (d->idx >= cap) {
            const qint64 pos = d->position();
            FlushBuffer();
            d->resetAt(pos);
        }
        const qint64 n = std::min(cap - d->idx, count - done);
        std::memcpy(d->buf.data() + d->idx, in + done, size_t(n));
        if (d->dirtyFrom < 0) {
            d->dirtyFrom = d->idx;
            d->dirtyTo = d->idx + n;
        } else {
            d->dirtyFrom = std::min(d->dirtyFrom, d->idx);
            d->dirtyTo = std::max(d->dirtyTo, d->idx + n);
        }
        d->idx += n;
        d->bufLen = std::max(d->bufLen, d->idx);
        done += n;
    }
    return done;
}

qint64 TBufferedFileStream::Seek(qint64 offset, TSeekOrigin origin)
{
    qint64 target = 0;
    switch (origin) {
    case soBeginning: target = offset; break;
    case soCurrent: target = d->position() + offset; break;
    case soEnd: target = Size() + offset; break;
    }
    if (target < 0)
        return d->position();
    if (target >= d->bufStart && target <= d->bufStart + d->bufLen) {
        d->idx = target - d->bufStart;
    } else {
        FlushBuffer();
        d->resetAt(target);
    }
    return target;
}

qint64 TBufferedFileStream::Size()
{
    // An empty buffer may stand past the end after a seek: it adds nothing.
    const qint64 onDisk = TFileStream::Size();
    return d->bufLen > 0 ? std::max(onDisk, d->bufStart + d->bufLen) : onDisk;
}

void TBufferedFileStream::SetSize(qint64 newSize)
{
    if (newSize < 0)
        newSize = 0;
    const qint64 pos = d->position();
    FlushBuffer();
    if (::ftruncate(FHandle, off_t(newSize)) != 0)
        throw EWriteError(QStringLiteral("Stream write error"));
    d->resetAt(std::min(pos, newSize));
}

// ---------------------------------------------------------------------------
// TIODeviceStream

TIODeviceStream::TIODeviceStream(QIODevice *device, bool ownsDevice)
    : FDevice(device), FOwnsDevice(ownsDevice)
{
}

TIODeviceStream::~TIODeviceStream()
{
    if (FOwnsDevice)
        delete FDevice;
}

qint64 TIODeviceStream::Read(void *buffer, qint64 count)
{
    if (count <= 0 || !FDevice)
        return 0;
    qint64 done = 0;
    auto *p = static_cast<char *>(buffer);
    while (done < count) {
        const qint64 n = FDevice->read(p + done, count - done);
        if (n <= 0) {
            // A sequential device may simply not have the data yet.
            if (n == 0 && FDevice->isSequential() && FDevice->waitForReadyRead(30000))
                continue;
            break;
        }
        done += n;
    }
    return done;
}

qint64 TIODeviceStream::Write(const void *buffer, qint64 count)
{
    if (count <= 0 || !FDevice)
        return 0;
    const qint64 n = FDevice->write(static_cast<const char *>(buffer), count);
    return std::max<qint64>(n, 0);
}

qint64 TIODeviceStream::Seek(qint64 offset, TSeekOrigin origin)
{
    if (!FDevice)
        return 0;
    if (FDevice->isSequential())
        return FDevice->pos();
    qint64 target = offset;
    if (origin == soCurrent)
        target = FDevice->pos() + offset;
    else if (origin == soEnd)
        target = FDevice->size() + offset;
    if (target >= 0 && target != FDevice->pos())
        FDevice->seek(target);
    return FDevice->pos();
}

qint64 TIODeviceStream::Size()
{
    return FDevice ? FDevice->size() : 0;
}

void TIODeviceStream::SetSize(qint64 newSize)
{
    if (newSize < 0)
        newSize = 0;
    if (auto *file = qobject_cast<QFileDevice *>(FDevice)) {
        if (!file->resize(newSize))
            throw EWriteError(QStringLiteral("Stream write error"));
    } else if (auto *buffer = qobject_cast<QBuffer *>(FDevice)) {
        const qint64 pos = buffer->pos();
        buffer->buffer().resize(qsizetype(newSize));
        buffer->seek(std::min(pos, newSize));
    } else {
        TStream::SetSize(newSize);
    }
}

// ---------------------------------------------------------------------------
// MakeIODevice

namespace {

class StreamDevice : public QIODevice
{
public:
    explicit StreamDevice(TStream &stream) : FStream(stream) {}

    bool isSequential() const override { return false; }
    qint64 size() const override { return FStream.Size(); }
    bool seek(qint64 pos) override
    {
        if (!QIODevice::seek(pos))
            return false;
        return FStream.Seek(pos, soBeginning) == pos;
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        sync();
        return FStream.Read(data, maxSize);
    }
    qint64 writeData(const char *data, qint64 maxSize) override
    {
        sync();
        const qint64 n = FStream.Write(data, maxSize);
        return n == 0 && maxSize > 0 ? -1 : n;
    }

private:
    // The stream may have been moved by somebody else since the last call.
    void sync()
    {
        if (FStream.Position() != pos())
            FStream.Seek(pos(), soBeginning);
    }
    TStream &FStream;
};

} // namespace

std::unique_ptr<QIODevice> MakeIODevice(TStream &stream, bool writable)
{
    auto dev = std::make_unique<StreamDevice>(stream);
    const qint64 start = stream.Position();
    dev->open((writable ? QIODevice::ReadWrite : QIODevice::ReadOnly) | QIODevice::Unbuffered);
    if (start > 0)
        dev->seek(start);
    return dev;
}

// ---------------------------------------------------------------------------

bool WriteFileAtomically(const QString &fileName, const QByteArray &data, QString *error)
{
    const QByteArray path = QFile::encodeName(fileName);
    QByteArray tmp = path + ".XXXXXX";
    auto fail = [&](int err, int fd) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(tmp.constData());
        }
        if (error)
            *error = errnoText(err);
        return false;
    };
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno, -1);
    // Keep the permissions of the file being replaced; new files get the
    // usual 0666 less the umask rather than mkstemp's 0600.
    struct stat st {};
    mode_t mode;
    if (::stat(path.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    errno = ENOSPC; // a short write without errno is out of space
    if (writeFully(fd, data.constData(), data.size()) != data.size())
        return fail(errno, fd);
    if (::fsync(fd) != 0)
        return fail(errno, fd);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.constData());
        return fail(err, -1);
    }
    if (::rename(tmp.constData(), path.constData()) != 0) {
        const int err = errno;
        ::unlink(tmp.constData());
        return fail(err, -1);
    }
    return true;
}

bool CanOpenFile(const QString &fileName, quint16 mode)
{
    const QByteArray path = QFile::encodeName(fileName);
    const bool create = (mode & 0xFF00) == 0xFF00;
    const Access access = accessOf(mode);
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && create) {
            const QString dir = QFileInfo(fileName).absolutePath();
            return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
        }
        if (access.read || errno != EACCES)
            return false;
    }
    const int want = access.read && access.write ? (R_OK | W_OK) : access.write ? W_OK : R_OK;
    bool ok = ::access(path.constData(), want) == 0;
    struct stat st {};
    if (ok && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        ok = false; // a folder opens for reading, but never as a file stream
    if (ok && fd >= 0)
        ok = !wouldConflict(fd, access);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace zor
