#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include "TestUtil.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace zor;

namespace {

QByteArray pattern(int n, quint32 seed = 1)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char &c : b)
        c = char(rng.bounded(256));
    return b;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

TEST(MemoryStream, WritesSeeksAndReadsBack)
{
    TMemoryStream m;
    const QByteArray data = pattern(10000);
    // Many small writes: exercises growth and keeps the buffer contiguous.
    for (int i = 0; i < data.size(); i += 7)
        m.WriteBuffer(data.constData() + i, std::min<qint64>(7, data.size() - i));
    EXPECT_EQ(m.Size(), data.size());
    EXPECT_EQ(QByteArray(static_cast<const char *>(m.Memory()), int(m.Size())), data);

    m.Seek(-10, soEnd);
    char tail[20];
    EXPECT_EQ(m.Read(tail, 20), 10); // short read at the end, no exception
    EXPECT_EQ(QByteArray(tail, 10), data.right(10));
    EXPECT_EQ(m.Read(tail, 1), 0);
    EXPECT_THROW(m.ReadBuffer(tail, 1), EReadError);
    EXPECT_EQ(m.ToBytes(), data);
}

TEST(MemoryStream, WritingPastTheEndZeroFillsTheGap)
{
    TMemoryStream m;
    m.WriteBuffer("ab", 2);
    m.Seek(5, soBeginning);
    m.WriteBuffer("z", 1);
    EXPECT_EQ(m.ToBytes(), QByteArray("ab\0\0\0z", 6));

    m.SetSize(3);
    EXPECT_EQ(m.Position(), 3); // clamped to the new end
    m.SetSize(5);                // regrowing must not resurrect old bytes
    EXPECT_EQ(m.ToBytes(), QByteArray("ab\0\0\0", 5));

    // Old content beyond a shrunk end must not reappear through a gap.
    TMemoryStream old;
    old.WriteBuffer("0123456789", 10);
    old.SetSize(2);
    old.Seek(8, soBeginning);
    old.WriteBuffer("z", 1);
    EXPECT_EQ(old.ToBytes(), QByteArray("01\0\0\0\0\0\0z", 9));
}

TEST(MemoryStream, ReadErrorsCarryTheMessage)
{
    TMemoryStream m;
    m.WriteBuffer("abc", 3);
    m.SetPosition(1);
    char buf[8];
    try {
        m.ReadBuffer(buf, 3);
        FAIL() << "expected EReadError";
    } catch (const EReadError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Stream read error"));
    }
}

TEST(Stream, CopyFrom)
{
    const QByteArray data = pattern(3000);
    TBytesStream src(data);
    src.SetPosition(1000);

    struct Row
    {
        const char *name;
        qint64 count;
        qint64 bufferSize;
        QByteArray expected;
    };
    const Row rows[] = {
        {"zero copies everything from the start", 0, 1 << 20, data},
        {"small buffer, whole source", 0, 7, data},
        {"count from the current position", 500, 64, data.mid(1000, 500)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        src.SetPosition(1000);
        TMemoryStream dst;
        EXPECT_EQ(dst.CopyFrom(src, row.count, row.bufferSize), row.expected.size());
        EXPECT_EQ(dst.ToBytes(), row.expected);
    }

    src.SetPosition(2900);
    TMemoryStream dst;
    EXPECT_THROW(dst.CopyFrom(src, 200), EReadError);
}

TEST(Stream, CopyFromHugeCountDoesNotAllocateIt)
{
    // The count is not trusted for the buffer size: only the short read fails.
    TBytesStream src(QByteArray("abc"));
    TMemoryStream dst;
    EXPECT_THROW(dst.CopyFrom(src, qint64(1) << 40, qint64(1) << 40), EReadError);
}

TEST(StringStream, DataStringIsUtf8)
{
    TStringStream s(QStringLiteral("Grüße"));
    EXPECT_EQ(s.Size(), 7);
    s.Seek(0, soEnd);
    s.WriteString(QStringLiteral(" €"));
    EXPECT_EQ(s.DataString(), QStringLiteral("Grüße €"));
    s.SetPosition(0);
    EXPECT_EQ(s.ReadString(4), QStringLiteral("Grü"));

    struct Row
    {
        const char *encoding;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"ANSI", QByteArray("Gr\xfc\xdf" "e?")},
        {"ISO-8859-1", QByteArray("Gr\xfc\xdf" "e?")},
        {"UTF-16LE", QByteArray("G\0r\0\xfc\0\xdf\0" "e\0\x29\x04", 12)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.encoding);
        TStringStream enc(QStringLiteral("Grüße") + QChar(0x0429), QString::fromLatin1(row.encoding));
        EXPECT_EQ(enc.ToBytes(), row.bytes);
        TStringStream back(QString(), QString::fromLatin1(row.encoding));
        back.WriteBuffer(row.bytes.constData(), row.bytes.size());
        EXPECT_EQ(back.DataString(), enc.DataString());
    }
    EXPECT_THROW(TStringStream(QStringLiteral("x"), QStringLiteral("no-such-charset")), EEncodingError);

    TBytesStream b(QByteArray("xyz"));
    b.Seek(0, soEnd);
    b.WriteBuffer("!", 1);
    EXPECT_EQ(b.Bytes(), QByteArray("xyz!"));
}

class FileStreamTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(FileStreamTest, CreateWriteReopenRead)
{
    const QString p = path("a.bin");
    const QByteArray data = pattern(70000);
    {
        TFileStream f(p, fmCreate);
        f.WriteBuffer(data.constData(), data.size());
        EXPECT_EQ(f.Size(), data.size());
    }
    TFileStream f(p, fmOpenRead);
    EXPECT_EQ(f.ReadAll(), data);
    f.Seek(-3, soEnd);
    char buf[10];
    EXPECT_EQ(f.Read(buf, 10), 3);
    char one = 0;
    EXPECT_THROW(f.WriteBuffer(&one, 1), EWriteError); // opened for reading only
}

TEST_F(FileStreamTest, OpenErrorsNameTheFileAndTheReason)
{
    const QString missing = path("missing.txt");
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL() << "expected EFOpenError";
    } catch (const EFOpenError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(missing)));
        EXPECT_GT(e.Message().size(), QStringLiteral("Cannot open file \"%1\". ").arg(missing).size());
    }
    const QString inMissingDir = path("no/such/dir/x.txt");
    try {
        TFileStream f(inMissingDir, fmCreate);
        FAIL() << "expected EFCreateError";
    } catch (const EFCreateError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(inMissingDir)));
    }
    EXPECT_THROW(TFileStream(dir.path(), fmOpenRead), EFOpenError);
}

TEST_F(FileStreamTest, SharingModes)
{
    const QString p = path("shared.bin");
    writeFile(p, "content");

    struct Row
    {
        const char *name;
        quint16 first;
        quint16 second;
        bool secondOpens;
    };
    const Row rows[] = {
        {"exclusive blocks a reader", fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
        {"reader blocks an exclusive open", fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareExclusive, false},
        {"deny-write blocks a writer", fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false},
        {"deny-write allows a reader", fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
        {"two deny-write readers", fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
        {"writer blocks a deny-write open", fmOpenReadWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false},
        {"deny-none writers share", fmOpenReadWrite | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true},
        {"compat readers share", fmOpenRead, fmOpenRead, true},
        {"deny-read counts as exclusive", fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
        {"write-only open is seen", fmOpenWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false},
        {"create conflicts with a deny-write reader", fmOpenRead | fmShareDenyWrite, fmCreate, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TFileStream first(p, row.first);
        EXPECT_EQ(CanOpenFile(p, row.second), row.secondOpens);
        if (row.secondOpens) {
            EXPECT_NO_THROW(TFileStream(p, row.second));
        } else {
            try {
                TFileStream second(p, row.second);
                ADD_FAILURE() << "second open succeeded";
            } catch (const EStreamError &e) {
                const QString prefix = (row.second & 0xFF00) == 0xFF00 ? QStringLiteral("Cannot create file \"%1\". ")
                                                                       : QStringLiteral("Cannot open file \"%1\". ");
                EXPECT_TRUE(e.Message().startsWith(prefix.arg(p))) << e.what();
            }
        }
    }
    // A refused create must not have truncated the file.
    EXPECT_EQ(fileBytes(p), QByteArray("content"));
    // Closing releases the locks.
    EXPECT_TRUE(CanOpenFile(p, fmOpenReadWrite | fmShareExclusive));
}

TEST_F(FileStreamTest, CanOpenFileWithoutTheFile)
{
    EXPECT_FALSE(CanOpenFile(path("nope"), fmOpenRead));
    EXPECT_TRUE(CanOpenFile(path("nope"), fmCreate));
    EXPECT_FALSE(CanOpenFile(path("no/dir/nope"), fmCreate));
    EXPECT_FALSE(CanOpenFile(dir.path(), fmOpenRead));
}

TEST_F(FileStreamTest, SetSizeTruncatesAndExtends)
{
    const QString p = path("s.bin");
    TFileStream f(p, fmCreate);
    f.WriteBuffer("0123456789", 10);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
    EXPECT_EQ(f.Position(), 4);
    f.SetSize(6);
    EXPECT_EQ(f.ToBytes(), QByteArray("0123\0\0", 6));
}

// Buffered streams against a plain memory stream doing the same operations:
// any difference in content, position or size is a buffering fault.
TEST_F(FileStreamTest, BufferedStreamMatchesMemoryStreamUnderRandomOperations)
{
    for (int bufferSize : {1, 3, 16, 100, 4096}) {
        SCOPED_TRACE(bufferSize);
        const QString p = path("buffered.bin");
        const QByteArray initial = pattern(1500, 7);
        writeFile(p, initial);
        TMemoryStream model;
        model.WriteBuffer(initial.constData(), initial.size());
        model.SetPosition(0);

        QRandomGenerator rng{quint32(bufferSize)};
        {
            TBufferedFileStream f(p, fmOpenReadWrite, bufferSize);
            for (int step = 0; step < 600; ++step) {
                const int op = int(rng.bounded(6));
                const qint64 len = rng.bounded(bufferSize * 3 + 2);
                if (op == 0 || op == 1) {
                    QByteArray a(len, 0), b(len, 0);
                    const qint64 ra = f.Read(a.data(), len);
                    const qint64 rb = model.Read(b.data(), len);
                    ASSERT_EQ(ra, rb) << "step " << step;
                    ASSERT_EQ(a.left(ra), b.left(rb)) << "step " << step;
                } else if (op == 2) {
                    const QByteArray w = pattern(int(len), quint32(step));
                    ASSERT_EQ(f.Write(w.constData(), len), model.Write(w.constData(), len)) << "step " << step;
                } else if (op == 3) {
                    const qint64 to = rng.bounded(int(model.Size()) + 20);
                    ASSERT_EQ(f.Seek(to, soBeginning), model.Seek(to, soBeginning)) << "step " << step;
                } else if (op == 4) {
                    const qint64 back = rng.bounded(50);
                    ASSERT_EQ(f.Seek(-back, soEnd), model.Seek(-back, soEnd)) << "step " << step;
                } else if (rng.bounded(4) == 0) { // resizing is rarer than the rest
                    const qint64 size = model.Size() + rng.bounded(200) - 100;
                    f.SetSize(size);
                    model.SetSize(size);
                }
                ASSERT_EQ(f.Position(), model.Position()) << "step " << step;
                ASSERT_EQ(f.Size(), model.Size()) << "step " << step;
            }
        }
        EXPECT_EQ(fileBytes(p), model.ToBytes());
    }
}

TEST_F(FileStreamTest, BufferedWritesReachTheFileOnFlush)
{
    const QString p = path("flush.bin");
    TBufferedFileStream f(p, fmCreate, 64);
    f.WriteBuffer("hello", 5);
    EXPECT_EQ(fileBytes(p), QByteArray()); // still buffered
    f.FlushBuffer();
    EXPECT_EQ(fileBytes(p), QByteArray("hello"));
    EXPECT_EQ(f.BufferSize(), 64);
}

TEST_F(FileStreamTest, BufferedReadOnlyRefusesWrites)
{
    const QString p = path("ro.bin");
    writeFile(p, "data");
    TBufferedFileStream f(p, fmOpenRead, 16);
    EXPECT_EQ(f.Write("x", 1), 0);
    EXPECT_EQ(f.ReadAll(), QByteArray("data"));
}

TEST(IODeviceStream, OverQBuffer)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    TIODeviceStream s(&buffer);
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    s.Seek(2, soBeginning);
    char c[2];
    s.ReadBuffer(c, 2);
    EXPECT_EQ(QByteArray(c, 2), QByteArray("cd"));
    s.SetSize(3);
    EXPECT_EQ(buffer.data(), QByteArray("abc"));
    EXPECT_EQ(s.Position(), 3);
}

TEST(IODeviceStream, MakeIODeviceRoundTrip)
{
    TMemoryStream m;
    m.WriteBuffer("0123456789", 10);
    m.SetPosition(4);
    auto dev = MakeIODevice(m, true);
    EXPECT_EQ(dev->pos(), 4); // starts where the stream stood
    EXPECT_EQ(dev->read(3), QByteArray("456"));
    EXPECT_TRUE(dev->seek(8));
    EXPECT_EQ(dev->write("XYZ", 3), 3);
    EXPECT_EQ(m.ToBytes(), QByteArray("01234567XYZ"));
    EXPECT_EQ(dev->size(), 11);

    // Somebody moves the stream behind the device's back: the device reads
    // from its own position still.
    EXPECT_TRUE(dev->seek(1));
    m.SetPosition(9);
    EXPECT_EQ(dev->read(2), QByteArray("12"));

    auto ro = MakeIODevice(m, false);
    EXPECT_FALSE(ro->isWritable());
}
