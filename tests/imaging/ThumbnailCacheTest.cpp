#include <ZorCompCore/imaging/ThumbnailCache.h>

#include "Pictures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QtEndian>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <sys/stat.h>

using namespace zor;

namespace {

QString Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

void SetMTime(const QString &path, qint64 secs)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::fromSecsSinceEpoch(secs), QFileDevice::FileModificationTime));
}

// The PNG's tEXt chunks, read independently of Qt's reader.
QMap<QByteArray, QByteArray> PngTexts(const QString &path)
{
    QFile f(path);
    QMap<QByteArray, QByteArray> texts;
    if (!f.open(QIODevice::ReadOnly))
        return texts;
    const QByteArray d = f.readAll();
    for (qsizetype i = 8; i + 12 <= d.size();) {
        const qsizetype n = qFromBigEndian<quint32>(d.constData() + i);
        if (d.mid(i + 4, 4) == "tEXt") {
            const QByteArray body = d.mid(i + 8, n);
            texts.insert(body.left(body.indexOf('\0')), body.mid(body.indexOf('\0') + 1));
        }
        i += 12 + n;
    }
    return texts;
}

int Mode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

TEST(ThumbnailCache, UrisAreEscapedAsGLibEscapesPaths)
{
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/a b;c[d]é#%~=@&+.png");
    const QString prefix = TThumbnailCache::FileUri(dir.path());
    EXPECT_EQ(TThumbnailCache::FileUri(file),
              prefix + QStringLiteral("/a%20b%3Bc%5Bd%5D%C3%A9%23%25~=@&+.png"));
    // Relative names are made absolute.
    EXPECT_TRUE(TThumbnailCache::FileUri(QStringLiteral("x.png")).startsWith(QStringLiteral("file:///")));

    // GLib's own answer, when its command-line tool is there.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio not installed";
    Write(file, Encode(HalfRed(8, 8), "png"));
    QProcess p;
    p.start(gio, {QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::name"), file});
    ASSERT_TRUE(p.waitForFinished());
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("uri: ") + TThumbnailCache::FileUri(file))) << out.toStdString();
}

TEST(ThumbnailCache, EntriesAreMadeOnceAndFollowTheFilesTime)
{
    QTemporaryDir dir;
    const TThumbnailCache cache(dir.path() + QStringLiteral("/thumbnails"));
    const QString file = Write(dir.path() + QStringLiteral("/wide.png"), Encode(HalfRed(600, 300), "png"));
    SetMTime(file, 1700000000);

    TThumbnailCache::TResult r = cache.Thumbnail(file, TThumbnailSize::Normal);
    ASSERT_EQ(r.Status, TThumbnailCache::tsCreated) << r.Error.toStdString();
    EXPECT_EQ(r.Image.size(), QSize(128, 64));
    const QString uri = TThumbnailCache::FileUri(file);
    const QString entry = cache.ThumbnailPath(uri, TThumbnailSize::Normal);
    EXPECT_TRUE(entry.startsWith(cache.Root() + QStringLiteral("/normal/")));
    const auto texts = PngTexts(entry);
    EXPECT_EQ(texts.value("Thumb::URI"), uri.toUtf8());
    EXPECT_EQ(texts.value("Thumb::MTime"), "1700000000");
    EXPECT_EQ(QImage(entry).size(), QSize(128, 64));
    EXPECT_EQ(Mode(entry), 0600);
    EXPECT_EQ(Mode(cache.Root()), 0700);
    EXPECT_EQ(Mode(QFileInfo(entry).absolutePath()), 0700);
    EXPECT_EQ(QDir(QFileInfo(entry).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file left";

    EXPECT_EQ(cache.Thumbnail(file, TThumbnailSize::Normal).Status, TThumbnailCache::tsCached);
    EXPECT_FALSE(cache.Lookup(file, TThumbnailSize::Normal).isNull());
    EXPECT_TRUE(cache.Lookup(file, TThumbnailSize::Large).isNull());

    // A changed file makes the entry stale.
    SetMTime(file, 1700000100);
    EXPECT_TRUE(cache.Lookup(file, TThumbnailSize::Normal).isNull());
    r = cache.Thumbnail(file, TThumbnailSize::Large);
    EXPECT_EQ(r.Status, TThumbnailCache::tsCreated);
    EXPECT_EQ(r.Image.size(), QSize(256, 128));
    EXPECT_EQ(cache.Thumbnail(file, TThumbnailSize::Normal).Status, TThumbnailCache::tsCreated);
}

TEST(ThumbnailCache, SmallAndTallPicturesKeepTheirProportions)
{
    QTemporaryDir dir;
    const TThumbnailCache cache(dir.path());
    const QString tall = Write(dir.path() + QStringLiteral("/tall.png"), Encode(HalfRed(100, 400), "png"));
    const QString small = Write(dir.path() + QStringLiteral("/small.png"), Encode(HalfRed(50, 20), "png"));
    EXPECT_EQ(cache.Thumbnail(tall, TThumbnailSize::Normal).Image.size(), QSize(32, 128));
    EXPECT_EQ(cache.Thumbnail(small, TThumbnailSize::Normal).Image.size(), QSize(50, 20));
}

TEST(ThumbnailCache, UnreadableFilesAreRecordedAsFailedUntilTheyChange)
{
    QTemporaryDir dir;
    const TThumbnailCache cache(dir.path(), QStringLiteral("tester"));
    const QString file = Write(dir.path() + QStringLiteral("/broken.png"), "not a picture at all");
    SetMTime(file, 1600000000);
    TThumbnailCache::TResult r = cache.Thumbnail(file, TThumbnailSize::Normal);
    EXPECT_EQ(r.Status, TThumbnailCache::tsFailed);
    EXPECT_FALSE(r.Error.isEmpty());
    const QString fail = cache.FailPath(TThumbnailCache::FileUri(file));
    EXPECT_TRUE(fail.startsWith(dir.path() + QStringLiteral("/fail/tester/")));
    EXPECT_TRUE(QFileInfo::exists(fail));
    EXPECT_TRUE(cache.HasFailed(file));
    EXPECT_EQ(cache.Thumbnail(file, TThumbnailSize::Normal).Status, TThumbnailCache::tsFailedBefore);

    // Repaired: tried again and made.
    Write(file, Encode(HalfRed(20, 20), "png"));
    SetMTime(file, 1600000500);
    EXPECT_FALSE(cache.HasFailed(file));
    EXPECT_EQ(cache.Thumbnail(file, TThumbnailSize::Normal).Status, TThumbnailCache::tsCreated);

    EXPECT_EQ(cache.Thumbnail(dir.path() + QStringLiteral("/missing.png"), TThumbnailSize::Normal).Status,
              TThumbnailCache::tsFailed);
}

TEST(ThumbnailCache, GLibFindsOurEntries)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio not installed";
    QTemporaryDir dir;
    const QString home = dir.path() + QStringLiteral("/cache");
    const TThumbnailCache cache(home + QStringLiteral("/thumbnails"));
    const QString file = Write(dir.path() + QStringLiteral("/odd;name [1].png"), Encode(HalfRed(300, 200), "png"));
    ASSERT_EQ(cache.Thumbnail(file, TThumbnailSize::Normal).Status, TThumbnailCache::tsCreated);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home);
    p.setProcessEnvironment(env);
    p.start(gio, {QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("thumbnail::*"), file});
    ASSERT_TRUE(p.waitForFinished());
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(cache.ThumbnailPath(TThumbnailCache::FileUri(file), TThumbnailSize::Normal)))
        << out.toStdString();
}

// A folder is thumbnailed on every core: the threads race to make the cache's
// folders, and PDF pages are rendered by a library that must be entered by one
// thread at a time.
TEST(ThumbnailCache, ThreadsShareOneCache)
{
    QTemporaryDir dir;
    const TThumbnailCache cache(dir.path() + QStringLiteral("/fresh/thumbnails"));
    QStringList files;
    for (int i = 0; i < 12; ++i)
        files << Write(dir.path() + QStringLiteral("/doc%1.%2").arg(i).arg(i % 3 ? "pdf" : "png"),
                       i % 3 ? MakePdf(QSizeF(150 + i * 10, 300)) : Encode(HalfRed(300, 200 + i), "png"));
    std::vector<TThumbnailCache::TResult> results(size_t(files.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < files.size(); i += 4)
                results[size_t(i)] = cache.Thumbnail(files[i], TThumbnailSize::Normal);
        });
    for (std::thread &th : threads)
        th.join();
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        EXPECT_EQ(results[size_t(i)].Status, TThumbnailCache::tsCreated) << results[size_t(i)].Error.toStdString();
        EXPECT_TRUE(results[size_t(i)].Error.isEmpty()) << results[size_t(i)].Error.toStdString();
        const QSize size = results[size_t(i)].Image.size();
        EXPECT_EQ(i % 3 ? size.height() : size.width(), 128);   // PDF pages are portrait, the PNGs landscape
    }
}

TEST(ThumbnailCache, SizeNamesRoundTrip)
{
    for (TThumbnailSize s : {TThumbnailSize::Normal, TThumbnailSize::Large, TThumbnailSize::XLarge,
                             TThumbnailSize::XXLarge}) {
        TThumbnailSize back = TThumbnailSize::Normal;
        ASSERT_TRUE(ParseThumbnailSize(ThumbnailSizeName(s), back));
        EXPECT_EQ(back, s);
    }
    TThumbnailSize s;
    EXPECT_FALSE(ParseThumbnailSize(QStringLiteral("huge"), s));
    EXPECT_EQ(ThumbnailPixels(TThumbnailSize::XLarge), 512);
}
