#include <ZorCompCore/utilities/FileUtils.h>

#include "TestUtil.h"
#include "Unprivileged.h"
#include <ZorCompCore/platform/DateTime.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/utilities/DateUtils.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTimeZone>
#include <QUrl>

#include <atomic>
#include <ctime>
#include <thread>

using namespace zor;

namespace {

void WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class FileUtilsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QString Path(const QString &name) const { return tmp.path() + u'/' + name; }
    QTemporaryDir tmp;
};

} // namespace

TEST(FileUtils, TempNames)
{
    const QRegularExpression shape(QStringLiteral("^[0-9A-F]{8}X[0-9A-F]{4}X[0-9A-F]{4}X[0-9A-F]{4}X[0-9A-F]{12}\\.tmp$"));
    const QString a = GetTempFileName(), b = GetTempFileName();
    EXPECT_TRUE(shape.match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, b);
    EXPECT_TRUE(GetTempPath().endsWith(u'/'));
    EXPECT_EQ(GetTempPath(), QDir::tempPath() + u'/');
}

TEST(FileUtils, ConvertToFileName)
{
    struct Row
    {
        const char *text;
        bool replaceDelimiters;
        int maxLength;
        const char *expected;
    };
    const Row rows[] = {
        {"a:b?c", true, 260, "a.b c"},
        {"abcdefgh", true, 4, "abgh"},
        {"abcdefgh", true, 5, "abgh"},
        {"abcdefgh", true, 0, "abcdefgh"},
        {"abcdefgh", true, 8, "abcdefgh"},
        {"dir/sub\\x", true, 260, "dir_sub_x"},
        {"dir/sub\\x", false, 260, "dir/sub\\x"},
        {"  <x>  ", true, 260, "x"},
        {"a*b\"c|d", true, 260, "a b c d"},
        {"report 12:30.pdf", true, 260, "report 12.30.pdf"},
        {"", true, 260, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ConvertToFileName(QString::fromLatin1(row.text), row.replaceDelimiters, row.maxLength),
                  QString::fromLatin1(row.expected));
    }
}

TEST(FileUtils, MakeVeryLongPath)
{
    EXPECT_EQ(MakeVeryLongPath(QStringLiteral("\\\\server\\share\\x")), QStringLiteral("\\\\?\\UNC\\server\\share\\x"));
    EXPECT_EQ(MakeVeryLongPath(QStringLiteral("C:\\x")), QStringLiteral("\\\\?\\C:\\x"));
}

TEST_F(FileUtilsTest, NewTempFileNameAvoidsExistingFiles)
{
    WriteFile(Path(QStringLiteral("report.pdf")), "1");
    WriteFile(Path(QStringLiteral("report_1.pdf")), "2");
    EXPECT_EQ(GetNewTempFileName(QStringLiteral("report.pdf"), tmp.path()), Path(QStringLiteral("report_2.pdf")));
    // A trailing separator on the folder does not double.
    EXPECT_EQ(GetNewTempFileName(QStringLiteral("report.pdf"), tmp.path() + u'/'), Path(QStringLiteral("report_2.pdf")));

    WriteFile(Path(QStringLiteral("data")), "x");
    EXPECT_EQ(GetNewTempFileName(QStringLiteral("data"), tmp.path()), Path(QStringLiteral("data_1")));
    EXPECT_EQ(GetNewTempFileName(QStringLiteral("a/b:c.txt"), tmp.path()), Path(QStringLiteral("a_b.c.txt")));

    // Deleting the existing file frees its name.
    EXPECT_EQ(GetNewTempFileName(QStringLiteral("report.pdf"), tmp.path(), true), Path(QStringLiteral("report.pdf")));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("report.pdf"))));

    const QString generated = GetNewTempFileName();
    EXPECT_TRUE(generated.startsWith(GetTempPath()));
    EXPECT_TRUE(generated.endsWith(QStringLiteral(".tmp")));
}

TEST(FileUtils, SwapedStreamMovesToAFileAtTheThreshold)
{
    {
        // Ten bytes stay in memory, the eleventh goes to the file.
        TSwapedStream s(10);
        s.WriteBuffer("0123456789", 10);
        EXPECT_FALSE(s.Swaping());
        s.WriteBuffer("A", 1);
        ASSERT_TRUE(s.Swaping());
        EXPECT_EQ(s.Position(), 11);
        EXPECT_EQ(s.ToBytes(), QByteArray("0123456789A"));
    }
    QString swapFile;
    {
        TSwapedStream s(10);
        s.WriteBuffer("0123456789", 10);
        EXPECT_FALSE(s.Swaping());
        EXPECT_TRUE(s.SwapFileName().isEmpty());

        s.Seek(4, soBeginning);
        s.WriteBuffer("X", 1);
        // The threshold is checked against size plus count, so even this
        // overwrite moves the data: what counts is that nothing is lost.
        ASSERT_TRUE(s.Swaping());
        swapFile = s.SwapFileName();
        EXPECT_TRUE(swapFile.startsWith(GetTempPath()));
        EXPECT_TRUE(QFileInfo::exists(swapFile));
        EXPECT_EQ(s.Position(), 5);
        EXPECT_EQ(s.Size(), 10);
        EXPECT_EQ(s.ToBytes(), QByteArray("0123X56789"));
        s.Seek(0, soEnd);
        s.WriteBuffer("A", 1);

        // Growing further and reading back in pieces.
        QByteArray big(100000, 'z');
        s.Seek(0, soEnd);
        s.WriteBuffer(big.constData(), big.size());
        s.Seek(9, soBeginning);
        char buf[4] = {};
        EXPECT_EQ(s.Read(buf, 4), 4);
        EXPECT_EQ(QByteArray(buf, 4), QByteArray("9Azz"));
        s.SetSize(5);
        EXPECT_EQ(s.ToBytes(), QByteArray("0123X"));
        EXPECT_TRUE(s.Swaping()) << "once swapped, the data stays in the file";
    }
    EXPECT_FALSE(QFileInfo::exists(swapFile)) << "the temporary file goes with the stream";
}

TEST(FileUtils, SwapedStreamSetSizeAndPosition)
{
    TSwapedStream s(10);
    s.WriteBuffer("abcdef", 6);
    s.Seek(2, soBeginning);
    s.SetSize(10);
    EXPECT_FALSE(s.Swaping());
    s.SetSize(11);
    EXPECT_TRUE(s.Swaping());
    EXPECT_EQ(s.Position(), 2) << "the position survives the move";
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.ToBytes().left(6), QByteArray("abcdef"));

    TSwapedStream manual(1000);
    manual.WriteBuffer("xyz", 3);
    manual.SwapStream();
    manual.SwapStream(); // a second call changes nothing
    EXPECT_TRUE(manual.Swaping());
    EXPECT_EQ(manual.ToBytes(), QByteArray("xyz"));
}

TEST_F(FileUtilsTest, SwapedStreamFiles)
{
    QByteArray large(5000, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = char(i * 7);
    WriteFile(Path(QStringLiteral("large.bin")), large);
    WriteFile(Path(QStringLiteral("small.bin")), "tiny");

    TSwapedStream s(1000);
    s.WriteBuffer("old content", 11);
    s.LoadFromFile(Path(QStringLiteral("small.bin")));
    EXPECT_FALSE(s.Swaping());
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.ToBytes(), QByteArray("tiny"));

    s.LoadFromFile(Path(QStringLiteral("large.bin")));
    EXPECT_TRUE(s.Swaping());
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.ToBytes(), large);

    s.SaveToFile(Path(QStringLiteral("copy.bin")));
    EXPECT_EQ(ReadFile(Path(QStringLiteral("copy.bin"))), large);

    // Smaller content replaces larger content completely.
    s.LoadFromFile(Path(QStringLiteral("small.bin")));
    EXPECT_EQ(s.ToBytes(), QByteArray("tiny"));

    EXPECT_THROW(s.LoadFromFile(Path(QStringLiteral("missing.bin"))), EFOpenError);
}

TEST(FileUtils, TempFileStreams)
{
    QString name;
    {
        TTempFileStream t;
        name = t.FileName();
        EXPECT_TRUE(name.startsWith(GetTempPath()));
        EXPECT_TRUE(name.endsWith(QStringLiteral(".tmp")));
        t.WriteBuffer("hello", 5);
        EXPECT_TRUE(QFileInfo::exists(name));
        // Closing the handle early flushes the buffer to disk.
        t.CloseFileHandle();
        EXPECT_EQ(ReadFile(name), QByteArray("hello"));
        t.CloseFileHandle(); // twice is harmless
    }
    EXPECT_FALSE(QFileInfo::exists(name));

    QString kept;
    {
        auto t = TTempFileStream::CreateWithFileExt(QStringLiteral(".pdf"));
        kept = t->FileName();
        EXPECT_TRUE(kept.endsWith(QStringLiteral(".pdf")));
        EXPECT_FALSE(kept.contains(QStringLiteral(".tmp")));
        t->WriteBuffer("%PDF", 4);
        t->SetOwnsFile(false);
    }
    EXPECT_EQ(ReadFile(kept), QByteArray("%PDF"));
    QFile::remove(kept);

    auto noDot = TTempFileStream::CreateWithFileExt(QStringLiteral("csv"));
    EXPECT_TRUE(noDot->FileName().endsWith(QStringLiteral(".csv")));
}

TEST_F(FileUtilsTest, LockingBetweenOpens)
{
    const QString file = Path(QStringLiteral("locked.txt"));
    EXPECT_FALSE(IsFileLocked(file)) << "a missing file is not locked";
    WriteFile(file, "data");
    EXPECT_FALSE(IsFileLocked(file));
    {
        TFileStream reader(file, fmOpenRead | fmShareDenyNone);
        EXPECT_TRUE(IsFileLocked(file)) << "an exclusive open would conflict with any other open";
    }
    EXPECT_FALSE(IsFileLocked(file));
    {
        TFileStream exclusive(file, fmOpenReadWrite | fmShareExclusive);
        EXPECT_TRUE(IsFileLocked(file));
        EXPECT_FALSE(SetFileDateTime(file, 0, Now(), Now())) << "cannot open a locked file exclusively";
    }
    EXPECT_FALSE(IsFileLocked(file));
}

TEST_F(FileUtilsTest, WaitingForLocks)
{
    const QString file = Path(QStringLiteral("wait.txt"));
    WriteFile(file, "data");

    // Locked now, released by another thread after a while.
    std::atomic<bool> locked {false};
    std::thread holder([&] {
        TFileStream f(file, fmOpenReadWrite | fmShareExclusive);
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    while (!locked)
        std::this_thread::yield();
    int callbacks = 0;
    EXPECT_TRUE(WaitWhileFileLocked(file, [&](QObject *, bool &) { ++callbacks; }, nullptr, 20));
    EXPECT_GT(callbacks, 1) << "the callback runs repeatedly while waiting";
    EXPECT_FALSE(IsFileLocked(file));
    holder.join();

    // Unlocked now, locked by another thread later: the wait ends once it is.
    std::atomic<bool> release {false};
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        TFileStream f(file, fmOpenReadWrite | fmShareDenyWrite);
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    EXPECT_TRUE(WaitWhileFileNotLocked(file, {}, nullptr, 10));
    EXPECT_TRUE(IsFileLocked(file));
    release = true;
    later.join();
}

TEST_F(FileUtilsTest, AccessChecks)
{
    EXPECT_TRUE(HasWriteAccessToDirectory(tmp.path()));
    EXPECT_TRUE(HasWriteAccessToDirectory(tmp.path() + u'/'));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), 0) << "the probe file is removed";
    EXPECT_FALSE(HasWriteAccessToDirectory(Path(QStringLiteral("no/such/dir"))));

    const QString file = Path(QStringLiteral("f.txt"));
    EXPECT_FALSE(HasWriteAccessToFile(file));
    WriteFile(file, "abc");
    EXPECT_TRUE(HasWriteAccessToFile(file));
    EXPECT_EQ(ReadFile(file), QByteArray("abc")) << "the check leaves the content alone";
    {
        TFileStream denyWrite(file, fmOpenRead | fmShareDenyWrite);
        EXPECT_FALSE(HasWriteAccessToFile(file));
    }

    EXPECT_EQ(GetFileSize(file), 3);
    EXPECT_EQ(GetFileSize(Path(QStringLiteral("missing"))), 0);
    EXPECT_EQ(GetFileSize(tmp.path()), 0) << "a folder is not a file";
}

TEST(FileUtils, FileListTexts)
{
    struct Row
    {
        const char *text;
        bool expected;
    };
    const Row rows[] = {
        {"a\nb", true}, {"a\r\nb", true}, {"a\n", true}, {"\nb", false}, {"ab", false}, {"", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(GetFileNameIsFileList(QString::fromLatin1(row.text)), row.expected);
    }
}

TEST(FileUtils, NetworkFileSystemTypes)
{
    struct Row
    {
        const char *type;
        bool network;
    };
    const Row rows[] = {
        {"nfs", true},        {"nfs4", true},         {"cifs", true},        {"smb3", true},
        {"fuse.sshfs", true}, {"fuse.rclone", true},  {"9p", true},          {"CIFS", true},
        {"ext4", false},      {"btrfs", false},       {"tmpfs", false},      {"overlay", false},
        {"fuse", false},      {"fuse.ntfs-3g", false}, {"fuseblk", false},   {"", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(IsNetworkFileSystemType(QByteArray(row.type)), row.network);
    }
    const QByteArray tmpType = QStorageInfo(QDir::tempPath()).fileSystemType();
    if (!IsNetworkFileSystemType(tmpType)) {
        EXPECT_FALSE(GetIsNetworkPath(QDir::tempPath()));
        EXPECT_FALSE(GetIsNetworkPath(QDir::tempPath() + QStringLiteral("/not/yet/there.txt")));
    }
}

TEST_F(FileUtilsTest, AppendToFile)
{
    const QString file = Path(QStringLiteral("log.txt"));
    AppendToFile(QByteArray(), file);
    EXPECT_FALSE(QFileInfo::exists(file)) << "empty text creates nothing";
    AppendToFile("one\n", file);
    AppendToFile(QByteArray("two\0\xff\n", 6), file);
    EXPECT_EQ(ReadFile(file), QByteArray("one\ntwo\0\xff\n", 10));
    EXPECT_THROW(AppendToFile("x", Path(QStringLiteral("no/dir/log.txt"))), EFCreateError);
}

TEST(FileUtils, FileTimes)
{
    EXPECT_EQ(FileTimeToDateTime(0), MinDateTime);
    // 1970-01-01 00:00 UTC in 100 ns ticks since 1601.
    const qint64 unixEpoch = 116444736000000000LL;
    {
        ScopedEnv tz("TZ", "UTC");
        EXPECT_DOUBLE_EQ(FileTimeToDateTime(unixEpoch), 25569.0);
        EXPECT_EQ(DateTimeToFileTime(25569.0), unixEpoch);
        EXPECT_EQ(DateTimeToFileTime(EncodeDate(1601, 1, 1)), 0);
    }
    {
        ScopedEnv tz("TZ", "Europe/Berlin");
        EXPECT_DOUBLE_EQ(FileTimeToDateTime(unixEpoch), 25569.0 + 1.0 / 24);
        const TDateTime summer = EncodeDateTime(2021, 7, 4, 12, 0, 0, 0);
        const qint64 ft = DateTimeToFileTime(summer);
        EXPECT_EQ((ft - unixEpoch) / 10000000, QDateTime(QDate(2021, 7, 4), QTime(10, 0), QTimeZone::utc()).toSecsSinceEpoch());
        // Millisecond round trips.
        for (TDateTime v : {summer, EncodeDateTime(1850, 1, 2, 3, 4, 5, 678), EncodeDateTime(2099, 12, 31, 23, 59, 59, 999)})
            EXPECT_EQ(DateTimeToFileTime(FileTimeToDateTime(DateTimeToFileTime(v))), DateTimeToFileTime(v));
    }
}

TEST_F(FileUtilsTest, SetFileDateTime)
{
    ScopedEnv tz("TZ", "Europe/Berlin");
    const QString file = Path(QStringLiteral("t.txt"));
    WriteFile(file, "x");
    const TDateTime modified = EncodeDateTime(2020, 5, 6, 7, 8, 9, 0);
    const TDateTime accessed = EncodeDateTime(2019, 1, 2, 3, 4, 5, 0);
    ASSERT_TRUE(SetFileDateTime(file, EncodeDate(2000, 1, 1), accessed, modified));
    const QFileInfo info(file);
    EXPECT_EQ(info.lastModified().toUTC(), QDateTime(QDate(2020, 5, 6), QTime(5, 8, 9), QTimeZone::utc()));
    EXPECT_EQ(info.lastRead().toUTC(), QDateTime(QDate(2019, 1, 2), QTime(2, 4, 5), QTimeZone::utc()));

    // Unset times stay as they are; folders work too.
    ASSERT_TRUE(SetFileDateTime(file, 0, MinDateTime, EncodeDateTime(2021, 1, 1, 0, 0, 0, 0)));
    EXPECT_EQ(QFileInfo(file).lastRead().toUTC(), QDateTime(QDate(2019, 1, 2), QTime(2, 4, 5), QTimeZone::utc()));
    EXPECT_TRUE(SetFileDateTime(tmp.path(), 0, modified, modified));
    EXPECT_EQ(QFileInfo(tmp.path()).lastModified().toUTC(),
              QDateTime(QDate(2020, 5, 6), QTime(5, 8, 9), QTimeZone::utc()));
    EXPECT_FALSE(SetFileDateTime(Path(QStringLiteral("missing")), 0, modified, modified));
}

TEST_F(FileUtilsTest, MoveToTrash)
{
    const QString dataHome = Path(QStringLiteral("xdg data"));
    ScopedEnv env("XDG_DATA_HOME", QFile::encodeName(dataHome));
    const QString trash = dataHome + QStringLiteral("/Trash");

    const QString file = Path(QStringLiteral("my file.txt"));
    WriteFile(file, "first");
    ASSERT_TRUE(FileMoveToRecycle(file));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(ReadFile(trash + QStringLiteral("/files/my file.txt")), QByteArray("first"));
    const QString info = QString::fromUtf8(ReadFile(trash + QStringLiteral("/info/my file.txt.trashinfo")));
    const QStringList lines = info.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << info.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("[Trash Info]"));
    EXPECT_EQ(lines[1], QStringLiteral("Path=") + QString::fromLatin1(QUrl::toPercentEncoding(file, "/")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("my%20file.txt")));
    const QDateTime deleted = QDateTime::fromString(lines[2].mid(13), Qt::ISODate);
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("DeletionDate=")));
    EXPECT_LT(qAbs(deleted.secsTo(QDateTime::currentDateTime())), 60);

    // The same name again does not overwrite the first one.
    WriteFile(file, "second");
    ASSERT_TRUE(FileMoveToRecycle(file));
    EXPECT_EQ(ReadFile(trash + QStringLiteral("/files/my file.txt")), QByteArray("first"));
    EXPECT_EQ(ReadFile(trash + QStringLiteral("/files/my file.2.txt")), QByteArray("second"));
    EXPECT_TRUE(QFileInfo::exists(trash + QStringLiteral("/info/my file.2.txt.trashinfo")));

    // Folders go as a whole.
    QDir().mkpath(Path(QStringLiteral("folder/sub")));
    WriteFile(Path(QStringLiteral("folder/sub/x")), "x");
    ASSERT_TRUE(FileMoveToRecycle(Path(QStringLiteral("folder"))));
    EXPECT_EQ(ReadFile(trash + QStringLiteral("/files/folder/sub/x")), QByteArray("x"));

    EXPECT_FALSE(FileMoveToRecycle(Path(QStringLiteral("missing"))));
    EXPECT_EQ(QDir(trash + QStringLiteral("/info")).entryList(QDir::Files).size(), 3) << "no info for a failed move";
}

TEST_F(FileUtilsTest, PurgeFiles)
{
    const QDateTime now = QDateTime::currentDateTime();
    const auto make = [&](const char *name, int daysOld) {
        const QString p = Path(QString::fromLatin1(name));
        WriteFile(p, "x");
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(now.addDays(-daysOld), QFileDevice::FileModificationTime));
    };
    make("old.log", 10);
    make("older.log", 30);
    make("new.log", 1);
    make("old.txt", 10);
    QDir().mkpath(Path(QStringLiteral("dir.log")));

    EXPECT_EQ(PurgeFiles(Path(QStringLiteral("*.log")), 5), 2);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("old.log"))));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("older.log"))));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("new.log"))));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("old.txt"))));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("dir.log"))));
    EXPECT_EQ(PurgeFiles(Path(QStringLiteral("*.log")), 0), 1);
    EXPECT_EQ(PurgeFiles(Path(QStringLiteral("nothing/*.log")), 0), 0);
}

TEST(FileUtils, PurgeFilesReportsFailures)
{
    // Files of /proc cannot be deleted, not even by root.
    const QString undeletable = QStringLiteral("/proc/self/environ");
    ASSERT_TRUE(QFileInfo::exists(undeletable));
    EXPECT_EQ(PurgeFiles(undeletable, 0, false), 0);
    try {
        PurgeFiles(undeletable, 0, true);
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("PurgFiles() Failed on file\r\n") + undeletable
                                           + QStringLiteral("\r\n\r\n")))
            << e.Message().toStdString();
        EXPECT_GT(e.Message().size(), QStringLiteral("PurgFiles() Failed on file\r\n\r\n\r\n").size() + undeletable.size());
    }
}

TEST_F(FileUtilsTest, DeleteDirectory)
{
    const QString root = Path(QStringLiteral("root"));
    QDir().mkpath(root + QStringLiteral("/a/b"));
    QDir().mkpath(root + QStringLiteral("/.hidden"));
    WriteFile(root + QStringLiteral("/a/b/f.txt"), "x");
    WriteFile(root + QStringLiteral("/.hidden/.dot"), "x");
    WriteFile(root + QStringLiteral("/ro.txt"), "x");
    QFile::setPermissions(root + QStringLiteral("/ro.txt"), QFile::ReadOwner);
    // A link to a folder outside: the link goes, the folder it points to stays.
    QDir().mkpath(Path(QStringLiteral("outside")));
    WriteFile(Path(QStringLiteral("outside/keep.txt")), "keep");
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("outside")), root + QStringLiteral("/link")));

    EXPECT_FALSE(DeleteDirectory(root, false)) << "not empty";
    EXPECT_TRUE(QFileInfo::exists(root));

    // A callback may spare entries; the folder then cannot go.
    QStringList asked;
    EXPECT_FALSE(DeleteDirectory(root, true, [&](const QString &name, bool isFile, bool &del) {
        asked << QFileInfo(name).fileName() + (isFile ? QStringLiteral(":f") : QStringLiteral(":d"));
        if (name.endsWith(QStringLiteral("/ro.txt")))
            del = false;
    }));
    EXPECT_TRUE(asked.contains(QStringLiteral("a:d")));
    EXPECT_TRUE(asked.contains(QStringLiteral("link:f")));
    EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("/ro.txt")));

    EXPECT_TRUE(DeleteDirectory(root, true));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_EQ(ReadFile(Path(QStringLiteral("outside/keep.txt"))), QByteArray("keep"));
    EXPECT_FALSE(DeleteDirectory(root, true)) << "already gone";
}

// An ordinary user can delete a tree whose folders were made read-only (as
// copies from read-only media or build trees often are).
TEST_F(FileUtilsTest, DeleteDirectoryWithReadOnlyFoldersAsAnOrdinaryUser)
{
    if (ranUnprivileged())
        return;
    const QString root = Path(QStringLiteral("tree"));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/ro/inner")));
    WriteFile(root + QStringLiteral("/ro/inner/f.txt"), "x");
    WriteFile(root + QStringLiteral("/ro/g.txt"), "x");
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
    ASSERT_TRUE(QFile::setPermissions(root + QStringLiteral("/ro/inner"), readOnly));
    ASSERT_TRUE(QFile::setPermissions(root + QStringLiteral("/ro"), readOnly));
    // Not even listable: write and execute only.
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/hidden")));
    WriteFile(root + QStringLiteral("/hidden/h.txt"), "x");
    ASSERT_TRUE(QFile::setPermissions(root + QStringLiteral("/hidden"), QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_FALSE(QFile::remove(root + QStringLiteral("/ro/g.txt"))) << "the folder must really be read-only";

    EXPECT_TRUE(DeleteDirectory(root, true));
    EXPECT_FALSE(QFileInfo::exists(root));
}
