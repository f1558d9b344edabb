#include <ZorCompCore/localisation/TranslatorCache.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include "TestUtil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <atomic>
#include <thread>
#include <vector>

using namespace zor;

namespace {

// Entries of a pair, read under its lock, as a sorted "key=value" list.
QStringList entries(TZORLocalCacheLangData &c)
{
    c.Sync().BeginRead();
    QStringList out;
    for (const QString &k : c.Keys()) {
        QString v;
        c.TryGetValue(k, v);
        out << k + u'=' + v;
    }
    c.Sync().EndRead();
    out.sort();
    return out;
}

void put(TZORLocalCacheLangData &c, const QString &k, const QString &v)
{
    c.Sync().BeginWrite();
    c.AddOrSetValue(k, v);
    c.Sync().EndWrite();
}

QByteArray pairBlock(TZORLocalCacheLangData &c)
{
    TMemoryStream s;
    c.SaveToStream(s);
    return s.ToBytes();
}

// Bytes of a string in the stream encoding: 64-bit unit count, UTF-16LE.
QByteArray encoded(const QString &s)
{
    TMemoryStream m;
    TStreamHelper(&m).WriteString(s);
    return m.ToBytes();
}

QByteArray int32le(qint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace

TEST(TranslatorCache, KeysHashTheAnsiBytesOfTheText)
{
    const QString id = QStringLiteral("TfrmMain.lblTitle.Caption");
    // Values of the published MurmurHash2 over the Windows-1252 bytes.
    EXPECT_EQ(TZORLocalCacheLangData::GetTranslateTextKeyName(id, QStringLiteral("Hello, world!")),
              id + QStringLiteral("3199900434"));
    EXPECT_EQ(TZORLocalCacheLangData::GetTranslateTextKeyName(id, QStringLiteral("\u00e4\u00f6\u00fc")),
              id + QStringLiteral("842829295"));
    EXPECT_EQ(TZORLocalCacheLangData::GetTranslateTextKeyName(QString(), QString()),
              QStringLiteral("275646681"));

    // Characters Windows-1252 lacks all become '?': such texts share a key.
    EXPECT_EQ(TZORLocalCacheLangData::GetTranslateTextKeyName(id, QStringLiteral("a\u4e00")),
              TZORLocalCacheLangData::GetTranslateTextKeyName(id, QStringLiteral("a\u4e8c")));
    EXPECT_NE(TZORLocalCacheLangData::GetTranslateTextKeyName(id, QStringLiteral("Open")),
              TZORLocalCacheLangData::GetTranslateTextKeyName(id, QStringLiteral("Close")));
    EXPECT_NE(TZORLocalCacheLangData::GetTranslateTextKeyName(QStringLiteral("A.x"), QStringLiteral("Open")),
              TZORLocalCacheLangData::GetTranslateTextKeyName(QStringLiteral("B.x"), QStringLiteral("Open")));
}

TEST(TranslatorCache, PairBlockLayout)
{
    TZORLocalCacheLangData empty;
    EXPECT_EQ(pairBlock(empty), bytesFromHex("00 00 00 00"));

    TZORLocalCacheLangData one;
    put(one, QStringLiteral("k1"), QStringLiteral("V\u00e4"));
    EXPECT_TRUE(one.Changed());
    EXPECT_EQ(pairBlock(one), int32le(1) + encoded(QStringLiteral("k1")) + encoded(QStringLiteral("V\u00e4")));
    EXPECT_FALSE(one.Changed()) << "saving clears the changed flag";
}

TEST(TranslatorCache, PairBlockRoundTripAndMerge)
{
    TZORLocalCacheLangData source;
    for (int i = 0; i < 500; ++i)
        put(source, QStringLiteral("T.id%1").arg(i), QStringLiteral("value %1 \u20ac").arg(i));
    put(source, QString(), QString());
    const QByteArray block = pairBlock(source);

    TZORLocalCacheLangData target;
    put(target, QStringLiteral("only.here"), QStringLiteral("kept"));
    put(target, QStringLiteral("T.id7"), QStringLiteral("overridden"));
    TBytesStream in(block);
    target.LoadFromStream(in);

    EXPECT_EQ(target.Count(), 502);
    EXPECT_FALSE(target.Changed());
    QString v;
    target.Sync().BeginRead();
    EXPECT_TRUE(target.TryGetValue(QStringLiteral("only.here"), v));
    EXPECT_EQ(v, QStringLiteral("kept"));
    EXPECT_TRUE(target.TryGetValue(QStringLiteral("T.id7"), v));
    EXPECT_EQ(v, QStringLiteral("value 7 \u20ac"));
    target.Sync().EndRead();
    EXPECT_EQ(in.Position(), block.size());
}

TEST(TranslatorCache, DamagedPairBlocks)
{
    const QByteArray entry = encoded(QStringLiteral("key")) + encoded(QStringLiteral("value"));
    struct Row
    {
        const char *name;
        QByteArray data;
        QStringList expected;
    };
    const Row rows[] = {
        {"empty file", {}, {}},
        {"short count", bytesFromHex("05 00"), {}},
        {"negative count", int32le(-3) + entry, {}},
        {"count beyond the data", int32le(3) + entry, {QStringLiteral("="), QStringLiteral("key=value")}},
        {"hostile count", int32le(0x7FFFFFFF), {QStringLiteral("=")}},
        {"value cut off", int32le(1) + encoded(QStringLiteral("key")) + encoded(QStringLiteral("value")).left(12),
         {QStringLiteral("key=va")}},
        {"string count beyond the data", int32le(1) + bytesFromHex("ff ff ff ff ff ff ff 7f 41 00"),
         {QStringLiteral("A=")}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        TZORLocalCacheLangData c;
        TBytesStream in(r.data);
        QElapsedTimer t;
        t.start();
        c.LoadFromStream(in);
        EXPECT_LT(t.elapsed(), 2000) << "a count must not drive the work";
        EXPECT_EQ(entries(c), r.expected);
        EXPECT_FALSE(c.Changed());
    }
}

TEST(TranslatorCache, FullCacheStream)
{
    TZORLocalCacheData cache;
    put(*cache.GetCacheByLangPair(QStringLiteral("German"), QStringLiteral("English")),
        QStringLiteral("a1"), QStringLiteral("Open"));
    put(*cache.GetCacheByName(QStringLiteral("GermanFrench")), QStringLiteral("a1"), QStringLiteral("Ouvrir"));
    cache.GetCacheByName(QStringLiteral("GermanItalian")); // empty pairs travel too
    EXPECT_TRUE(cache.Changed());

    TMemoryStream s;
    cache.SaveToStream(s);
    EXPECT_FALSE(cache.Changed());
    const QByteArray bytes = s.ToBytes();
    EXPECT_EQ(bytes.left(8), int32le(1) + int32le(3));

    // The version is not interpreted; loading replaces every pair.
    QByteArray other = bytes;
    qToLittleEndian<qint32>(42, other.data());
    TZORLocalCacheData loaded;
    put(*loaded.GetCacheByName(QStringLiteral("Stale")), QStringLiteral("x"), QStringLiteral("y"));
    TBytesStream in(other);
    loaded.LoadFromStream(in);
    EXPECT_EQ(loaded.Count(), 3);
    EXPECT_EQ(entries(*loaded.GetCacheByName(QStringLiteral("GermanFrench"))), QStringList{QStringLiteral("a1=Ouvrir")});
    EXPECT_EQ(entries(*loaded.GetCacheByName(QStringLiteral("GermanItalian"))), QStringList{});
    EXPECT_EQ(loaded.Count(), 3) << "lookups must find the loaded pairs, not create new ones";
}

TEST(TranslatorCache, TruncatedFullCacheRaisesDuplicateAndStaysUsable)
{
    TZORLocalCacheData cache;
    TBytesStream in(int32le(1) + int32le(3) + encoded(QString()) + int32le(0));
    try {
        cache.LoadFromStream(in);
        FAIL() << "no exception";
    } catch (const EListError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Duplicates not allowed"));
    }
    // Both locks were released: these would block otherwise.
    EXPECT_NE(cache.GetCacheByName(QStringLiteral("After")), nullptr);
    EXPECT_FALSE(cache.Changed());
}

TEST(TranslatorCache, CreatesEachPairOnceUnderContention)
{
    struct Counting : TZORLocalCacheData
    {
        std::atomic<int> created{0};
        void CacheCreated(const QString &, TZORLocalCacheLangData *c) override
        {
            ++created;
            // Slow load: others must wait rather than see an empty pair.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            c->Sync().BeginWrite();
            c->AddOrSetValue(QStringLiteral("loaded"), QStringLiteral("yes"));
            c->Sync().EndWrite();
        }
    } cache;

    constexpr int kThreads = 8;
    std::vector<TZORLocalCacheLangData *> seen(kThreads);
    std::vector<int> counts(kThreads);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            while (!go)
                std::this_thread::yield();
            TZORLocalCacheLangData *c = cache.GetCacheByLangPair(QStringLiteral("German"), QStringLiteral("English"));
            c->Sync().BeginRead();
            counts[i] = c->Count();
            c->Sync().EndRead();
            seen[i] = c;
        });
    go = true;
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(cache.created.load(), 1);
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(seen[i], seen[0]);
        EXPECT_EQ(counts[i], 1);
    }
}

TEST(TranslatorCache, ReadersAndWritersShareAPair)
{
    TZORLocalCacheData cache;
    TZORLocalCacheLangData *c = cache.GetCacheByName(QStringLiteral("GermanEnglish"));
    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([c, w] {
            for (int i = 0; i < 2000; ++i)
                put(*c, QStringLiteral("w%1.%2").arg(w).arg(i), QStringLiteral("v"));
        });
    std::atomic<int> hits{0};
    for (int r = 0; r < 2; ++r)
        threads.emplace_back([c, &hits] {
            for (int i = 0; i < 2000; ++i) {
                c->Sync().BeginRead();
                QString v;
                if (c->TryGetValue(QStringLiteral("w0.%1").arg(i), v))
                    ++hits;
                c->Sync().EndRead();
            }
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(c->Count(), 4000);
}

TEST(TranslatorCache, FilesAreReplacedWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("GermanEnglish.lc"));

    TZORLocalCacheLangData c;
    put(c, QStringLiteral("a"), QStringLiteral("1"));
    c.SaveToFile(file);
    put(c, QStringLiteral("b"), QStringLiteral("2"));
    c.SaveToFile(file);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("GermanEnglish.lc")}) << "no temporary file left behind";

    TZORLocalCacheLangData back;
    put(back, QStringLiteral("z"), QStringLiteral("26"));
    back.LoadFromFile(file);
    EXPECT_EQ(entries(back), (QStringList{QStringLiteral("a=1"), QStringLiteral("b=2"), QStringLiteral("z=26")}));

    // A missing file leaves the entries alone.
    back.LoadFromFile(dir.filePath(QStringLiteral("missing.lc")));
    back.LoadFromFile(QString());
    EXPECT_EQ(back.Count(), 3);

    // A save that cannot complete raises and keeps what was there.
    const QString blocked = dir.filePath(QStringLiteral("blocked.lc"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    try {
        c.SaveToFile(blocked);
        FAIL() << "no exception";
    } catch (const EFCreateError &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file \"") + blocked + u'"'))
            << e.Message().toStdString();
    }
    EXPECT_TRUE(QFileInfo(blocked + QStringLiteral("/inside")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("GermanEnglish.lc")});

    EXPECT_THROW(c.SaveToFile(dir.filePath(QStringLiteral("no/such/folder/x.lc"))), EFCreateError);
}

TEST(TranslatorCache, FullCacheFiles)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("all.cache"));
    TZORLocalCacheData cache;
    put(*cache.GetCacheByName(QStringLiteral("GermanEnglish")), QStringLiteral("k"), QStringLiteral("v"));
    cache.SaveToFile(file);

    TZORLocalCacheData back;
    back.LoadFromFile(file);
    EXPECT_EQ(entries(*back.GetCacheByName(QStringLiteral("GermanEnglish"))), QStringList{QStringLiteral("k=v")});
    back.LoadFromFile(dir.filePath(QStringLiteral("missing")));
    EXPECT_EQ(back.Count(), 0);
}

TEST(TranslatorCache, MemoryAndFileStreamsReadAlike)
{
    // Memory blocks are parsed in one pass, other streams string by string.
    QTemporaryDir dir;
    TZORLocalCacheLangData source;
    for (int i = 0; i < 300; ++i)
        put(source, QStringLiteral("K%1").arg(i), QString(i % 7, QChar(u'\u00e9' + i)));
    const QByteArray block = pairBlock(source) + QByteArray("trailing");
    const QString file = dir.filePath(QStringLiteral("block.bin"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(block);
    }
    TZORLocalCacheLangData fromMemory, fromFile;
    TBytesStream mem(block);
    fromMemory.LoadFromStream(mem);
    TFileStream fs(file, fmOpenRead);
    fromFile.LoadFromStream(fs);
    EXPECT_EQ(entries(fromMemory), entries(fromFile));
    EXPECT_EQ(fromMemory.Count(), 300);
    EXPECT_EQ(mem.Position(), fs.Position()) << "both stop after the block";
    EXPECT_EQ(mem.Position(), block.size() - 8);
}
