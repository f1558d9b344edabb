// Byte streams: Read/Write return counts, ReadBuffer/WriteBuffer raise
// EReadError/EWriteError when short. Memory, bytes, string and file streams,
// a buffered file stream, and adapters to and from QIODevice.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <memory>

class QIODevice;

namespace zor {

enum TSeekOrigin : quint16 { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// File open modes: one access mode or'ed with one sharing mode.
enum : quint16 {
    fmCreate = 0xFF00,        // create or truncate, read/write
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000,
    fmShareExclusive = 0x0010, // no other open at all
    fmShareDenyWrite = 0x0020, // others may only read
    fmShareDenyRead = 0x0030,  // treated as exclusive (advisory locks cannot deny only reads)
    fmShareDenyNone = 0x0040,
};

class ZOR_EXPORT TStream
{
public:
    virtual ~TStream();

    // Read up to count bytes; returns how many were read (0 at the end).
    virtual qint64 Read(void *buffer, qint64 count) = 0;
    virtual qint64 Write(const void *buffer, qint64 count) = 0;
    virtual qint64 Seek(qint64 offset, TSeekOrigin origin) = 0;

    virtual qint64 Size();
    virtual void SetSize(qint64 newSize);
    qint64 Position() { return Seek(0, soCurrent); }
    void SetPosition(qint64 pos) { Seek(pos, soBeginning); }

    // Raise EReadError "Stream read error" / EWriteError "Stream write error" when short.
    void ReadBuffer(void *buffer, qint64 count);
    void WriteBuffer(const void *buffer, qint64 count);
    // Copies count bytes from source's position (count 0: the whole source from
    // position 0). Raises EReadError when the source has fewer bytes. Returns count.
    qint64 CopyFrom(TStream &source, qint64 count, qint64 bufferSize = 1 << 20);

    // Convenience: the remaining bytes / everything from position 0.
    QByteArray ReadAll();
    QByteArray ToBytes();
};

// Growable in-memory stream (TMemoryStream): Memory() is the contiguous buffer.
class ZOR_EXPORT TMemoryStream : public TStream
{
public:
    TMemoryStream();
    ~TMemoryStream() override;
    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 newSize) override;

    void *Memory();
    const void *Memory() const;
    void Clear();
    void LoadFromStream(TStream &source);
    void LoadFromFile(const QString &fileName);   // EFOpenError on failure
    void SaveToStream(TStream &dest);
    void SaveToFile(const QString &fileName);     // EFCreateError on failure

    // Makes room for capacity bytes without changing Size.
    void Reserve(qint64 capacity);

protected:
    QByteArray FData;
    qint64 FSize = 0;     // logical size (FData may be larger: capacity)
    qint64 FPosition = 0;
};

// A memory stream over a byte array (TBytesStream).
class ZOR_EXPORT TBytesStream : public TMemoryStream
{
public:
    explicit TBytesStream(const QByteArray &bytes = {});
    QByteArray Bytes() const;
};

// A memory stream whose content is text (TStringStream): DataString is the
// content decoded with the stream's encoding, UTF-8 unless constructed with
// another ("ANSI" for the process's 8-bit code page, "ISO-8859-1",
// "UTF-16LE", any charset name; EEncodingError for unknown names).
class ZOR_EXPORT TStringStream : public TMemoryStream
{
public:
    explicit TStringStream(const QString &text = {});
    explicit TStringStream(const QByteArray &bytes);
    TStringStream(const QString &text, const QString &encoding);
    QString DataString() const;
    void WriteString(const QString &text);   // encoded bytes at the position
    QString ReadString(qint64 byteCount);    // decodes up to byteCount bytes from the position
    QString Encoding() const { return FEncoding; }

private:
    QString FEncoding = QStringLiteral("UTF-8");
};

// File stream. Sharing modes become advisory locks (per open, so two opens
// inside one process see each other too): an open fails when it wants access
// that an existing open denies, or denies access that an existing open has.
// fmShareCompat denies nothing. EFOpenError "Cannot open file \"%s\". %s" /
// EFCreateError "Cannot create file \"%s\". %s" (fmCreate truncates only
// after the sharing check passed, so a refused create loses no data).
class ZOR_EXPORT TFileStream : public TStream
{
public:
    TFileStream(const QString &fileName, quint16 mode);
    ~TFileStream() override;
    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 newSize) override;
    QString FileName() const { return FFileName; }
    int Handle() const { return FHandle; }

protected:
    QString FFileName;
    int FHandle = -1;

private:
    int FLockHandle = -1; // second descriptor carrying the locks of a write-only open
};

// File stream with a read/write buffer of BufferSize bytes (default 32 KiB).
class ZOR_EXPORT TBufferedFileStream : public TFileStream
{
public:
    TBufferedFileStream(const QString &fileName, quint16 mode, int bufferSize = 32768);
    ~TBufferedFileStream() override;
    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 newSize) override;
    void FlushBuffer();
    int BufferSize() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Presents a QIODevice as a TStream (the device must be open; not owned unless asked).
class ZOR_EXPORT TIODeviceStream : public TStream
{
public:
    explicit TIODeviceStream(QIODevice *device, bool ownsDevice = false);
    ~TIODeviceStream() override;
    qint64 Read(void *buffer, qint64 count) override;
    qint64 Write(const void *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, TSeekOrigin origin) override;
    qint64 Size() override;
    void SetSize(qint64 newSize) override; // only for QFile/QBuffer
    QIODevice *Device() const { return FDevice; }

private:
    QIODevice *FDevice;
    bool FOwnsDevice;
};

// Presents a TStream as a QIODevice (opened in the given mode on construction).
ZOR_EXPORT std::unique_ptr<QIODevice> MakeIODevice(TStream &stream, bool writable);

// Replaces the file's content as a whole: writes a temporary file beside it,
// flushes it to disk and renames it into place, so readers and crashes see the
// old or the new content, never a mix. Every short write counts as a failure
// (QSaveFile may commit a truncated file when the disk or a size limit runs
// out). Returns false with the reason in *error; the old file is untouched.
ZOR_EXPORT bool WriteFileAtomically(const QString &fileName, const QByteArray &data, QString *error = nullptr);

// True when a file can be opened with the given mode now (no conflicting lock).
ZOR_EXPORT bool CanOpenFile(const QString &fileName, quint16 mode);

} // namespace zor
