#include <ZorCompCore/localisation/Translator.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/MainThread.h>
#include <ZorCompCore/platform/Stream.h>

#include "TestUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <ZorCompCore/localisation/GlossaryTranslator.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace zor;

namespace {

const QString kDe = QStringLiteral("German");
const QString kEn = QStringLiteral("English");
const QString kFr = QStringLiteral("French");

// Translates by prefixing the destination language; records the batches and
// can hold the first batch until the test releases it.
class FakeTranslator : public TZOROnlineTranslator
{
public:
    using TZOROnlineTranslator::TZOROnlineTranslator;
    using TZOROnlineTranslator::ScheduledDynItems;

    std::atomic<int> singleCalls{0};
    std::mutex m;
    std::condition_variable cv;
    QList<QStringList> batches; // text IDs per batch, in order
    bool holdFirstBatch = false;
    bool inFirstBatch = false;
    bool released = false;
    bool failBatches = false;

    static QString translated(const QString &text, const QString &dest) { return u'[' + dest + u']' + text; }

    void release()
    {
        std::lock_guard lock(m);
        released = true;
        cv.notify_all();
    }
    void waitInFirstBatch()
    {
        std::unique_lock lock(m);
        cv.wait(lock, [this] { return inFirstBatch; });
    }
    QList<int> batchSizes()
    {
        std::lock_guard lock(m);
        QList<int> out;
        for (const auto &b : batches)
            out << int(b.size());
        return out;
    }

protected:
    bool InternalTranslateText(const QString &, const QString &AText, const QString &, const QString &ADestLang,
                               QString &AResult) override
    {
        ++singleCalls;
        if (AText.startsWith(QStringLiteral("untranslatable")))
            return false;
        AResult = translated(AText, ADestLang);
        return true;
    }

    bool InternalBulkTranslateText(TZORLocalCacheLangData &ACache, const QList<TDynTranslationItem *> &AItems,
                                   const QString &, const QString &ADestLang, int &ALoaderCount) override
    {
        {
            std::unique_lock lock(m);
            QStringList ids;
            for (const auto *item : AItems)
                ids << item->TextID;
            batches << ids;
            if (holdFirstBatch && batches.size() == 1) {
                inFirstBatch = true;
                cv.notify_all();
                cv.wait(lock, [this] { return released; });
            }
            if (failBatches)
                return false;
        }
        ACache.Sync().BeginWrite();
        for (const auto *item : AItems)
            ACache.AddOrSetValue(ACache.GetTranslateTextKeyName(item->TextID, item->Text),
                                 translated(item->Text, ADestLang));
        ACache.Sync().EndWrite();
        ALoaderCount = int(AItems.size());
        return true;
    }
};

// Receives the translator's callbacks; a component so that it can go away.
class Receiver : public TComponent
{
public:
    using TComponent::TComponent;
    std::atomic<int> calls{0};
    QObject *lastSender = nullptr;
    void Retranslate(QObject *Sender)
    {
        EXPECT_TRUE(IsMainThread());
        ++calls;
        lastSender = Sender;
    }
    TNotifyEvent Event() { return TNotifyEvent::Of<&Receiver::Retranslate>(this); }
};

class TranslatorFixture : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TComponentPtr<FakeTranslator> tr{new FakeTranslator};

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        tr->SetLocalCachePersistancePath(dir.filePath(QStringLiteral("cache")));
        tr->SetActive(true);
    }

    bool cached(const QString &id, const QString &text, const QString &src = kDe, const QString &dst = kEn)
    {
        TZORLocalCacheLangData *c = tr->LocalCache().GetCacheByLangPair(src, dst);
        c->Sync().BeginRead();
        const bool found = c->ContainsKey(c->GetTranslateTextKeyName(id, text));
        c->Sync().EndRead();
        return found;
    }

    void schedule(int n, const TNotifyEvent &e = {}, const QString &prefix = QStringLiteral("T.t"))
    {
        for (int i = 0; i < n; ++i)
            tr->ScheduleDynamicTranslation(prefix + QString::number(i), QStringLiteral("Text %1").arg(i), kDe, kEn, e);
    }
};

} // namespace

TEST_F(TranslatorFixture, FillModes)
{
    TZORLocalCacheLangData *c = tr->LocalCache().GetCacheByLangPair(kDe, kEn);
    c->Sync().BeginWrite();
    c->AddOrSetValue(c->GetTranslateTextKeyName(QStringLiteral("F.a"), QStringLiteral("Datei")), QStringLiteral("File"));
    c->Sync().EndWrite();

    struct Row
    {
        const char *name;
        const char *id, *text;
        TCacheFillMode in, out;
        const char *result;
        bool cachedAfter;
        int singleCalls;
    };
    const Row rows[] = {
        {"hit, always", "F.a", "Datei", cfmAllways, cfmAllways, "File", true, 0},
        {"hit, never", "F.a", "Datei", cfmNever, cfmNever, "File", true, 0},
        {"hit, stale out mode", "F.a", "Datei", cfmTranslationError, cfmTranslationError, "File", true, 0},
        {"miss, never", "F.b", "Neu", cfmNever, cfmNotFound, "Neu", false, 0},
        {"miss, always", "F.c", "Neu", cfmAllways, cfmAllways, "[English]Neu", true, 1},
        {"miss, always again: cached", "F.c", "Neu", cfmAllways, cfmAllways, "[English]Neu", true, 0},
        {"miss, translation fails", "F.d", "untranslatable", cfmAllways, cfmTranslationError, "untranslatable", false, 1},
        {"failure is not cached", "F.d", "untranslatable", cfmAllways, cfmTranslationError, "untranslatable", false, 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const int before = tr->singleCalls;
        TCacheFillMode mode = r.in;
        EXPECT_EQ(tr->TranslateText(QString::fromUtf8(r.id), QString::fromUtf8(r.text), kDe, kEn, mode),
                  QString::fromUtf8(r.result));
        EXPECT_EQ(mode, r.out);
        EXPECT_EQ(cached(QString::fromUtf8(r.id), QString::fromUtf8(r.text)), r.cachedAfter);
        EXPECT_EQ(tr->singleCalls - before, r.singleCalls);
    }
}

TEST(Translator, BaseClassTranslatesNothing)
{
    TComponentPtr<TZORCustomTranslator> base(new TZORCustomTranslator);
    TCacheFillMode mode = cfmAllways;
    EXPECT_EQ(base->TranslateText(QStringLiteral("A.b"), QStringLiteral("Hallo"), kDe, kEn, mode), QStringLiteral("Hallo"));
    EXPECT_EQ(mode, cfmTranslationError);
    EXPECT_EQ(base->LocalCache().GetCacheByLangPair(kDe, kEn)->Count(), 0);
    EXPECT_FALSE(base->LocalCache().Changed());
    EXPECT_TRUE(base->KnowsLanguage(QStringLiteral("Klingon")));
    EXPECT_FALSE(base->Active());
    EXPECT_EQ(base->AppVendor(), QStringLiteral("Quenlor"));
    EXPECT_FALSE(base->AppName().isEmpty());
}

TEST_F(TranslatorFixture, SchedulingDeduplicatesByTextIdAndCallback)
{
    Receiver r;
    int scheduledEvents = 0;
    tr->OnRemoteLoadScheduled = [&](QObject *) { ++scheduledEvents; };
    tr->ScheduleDynamicTranslation(QStringLiteral("A.x"), QStringLiteral("eins"), kDe, kEn, r.Event());
    tr->ScheduleDynamicTranslation(QStringLiteral("A.x"), QStringLiteral("zwei"), kDe, kFr, r.Event());
    tr->ScheduleDynamicTranslation(QStringLiteral("A.X"), QStringLiteral("drei"), kDe, kEn, r.Event());
    EXPECT_EQ(scheduledEvents, 3);
    {
        TDynTranslationList &list = tr->ScheduledDynItems();
        std::lock_guard lock(list.Sync());
        ASSERT_EQ(list.Count(), 3) << "text IDs compare case-sensitively; another pair is another request";
        EXPECT_EQ(list.Items(0).Text, QStringLiteral("eins")) << "the first request for an ID wins";
        EXPECT_EQ(list.Notifyers().size(), 1);
    }
    EXPECT_FALSE(tr->IsScheduledTranslationsLoadingLocked()) << "scheduling never starts a loader";

    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(r.calls.load(), 1);
    EXPECT_EQ(r.lastSender, tr.get());
    EXPECT_TRUE(cached(QStringLiteral("A.x"), QStringLiteral("eins")));
    EXPECT_TRUE(cached(QStringLiteral("A.X"), QStringLiteral("drei")));
    EXPECT_TRUE(cached(QStringLiteral("A.x"), QStringLiteral("zwei"), kDe, kFr))
        << "a pending English request must not hide the French one";
    tr->ScheduleDynamicTranslation(QStringLiteral("A.x"), QStringLiteral("fünf"), kDe, kEn, {});
    tr->ScheduleDynamicTranslation(QStringLiteral("A.x"), QStringLiteral("sechs"), kDe, kEn, {});
    {
        std::lock_guard lock(tr->ScheduledDynItems().Sync());
        EXPECT_EQ(tr->ScheduledDynItems().Count(), 1) << "one request per ID and pair";
        tr->ScheduledDynItems().Clear();
    }

    // The IDs are free again once a loader took them over.
    tr->ScheduleDynamicTranslation(QStringLiteral("A.x"), QStringLiteral("vier"), kDe, kEn, {});
    std::lock_guard lock(tr->ScheduledDynItems().Sync());
    EXPECT_EQ(tr->ScheduledDynItems().Count(), 1);
}

TEST_F(TranslatorFixture, ProcessingRules)
{
    EXPECT_FALSE(tr->ProcessScheduledTranslations(false)) << "nothing pending";
    EXPECT_FALSE(tr->ProcessScheduledTranslations(true));

    Receiver r;
    schedule(3, r.Event());
    tr->BeginLangChange();
    EXPECT_TRUE(tr->InLangChange());
    EXPECT_FALSE(tr->ProcessScheduledTranslations(false)) << "a language change is open";

    // Cancelling drops the requests but keeps the callback for the next loader.
    tr->EndLangChange(true);
    EXPECT_FALSE(tr->InLangChange());
    {
        std::lock_guard lock(tr->ScheduledDynItems().Sync());
        EXPECT_EQ(tr->ScheduledDynItems().Count(), 0);
        EXPECT_EQ(tr->ScheduledDynItems().Notifyers().size(), 1);
    }
    tr->ScheduleDynamicTranslation(QStringLiteral("B.1"), QStringLiteral("x"), kDe, kEn, {});

    // Ending the change while active processes what is pending.
    tr->BeginLangChange();
    tr->BeginLangChange();
    tr->EndLangChange(false);
    EXPECT_FALSE(tr->IsScheduledTranslationsLoadingLocked());
    EXPECT_EQ(tr->batchSizes().size(), 0) << "still one change open";
    tr->EndLangChange(false);
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(tr->batchSizes(), QList<int>{1});
    EXPECT_EQ(r.calls.load(), 1);

    // Forcing works inside a change.
    tr->BeginLangChange();
    schedule(1);
    EXPECT_TRUE(tr->ProcessScheduledTranslations(true));
    tr->WaitForSchduledLoaders(false);
    tr->EndLangChange(true);
    EXPECT_EQ(tr->batchSizes().size(), 2);
}

TEST_F(TranslatorFixture, InactiveTranslatorLeavesRequestsAfterALanguageChange)
{
    tr->SetActive(false);
    schedule(2);
    tr->BeginLangChange();
    tr->EndLangChange(false);
    tr->WaitForSchduledLoaders(false);
    EXPECT_TRUE(tr->batchSizes().isEmpty());
    std::lock_guard lock(tr->ScheduledDynItems().Sync());
    EXPECT_EQ(tr->ScheduledDynItems().Count(), 2);
}

TEST_F(TranslatorFixture, BatchesOfAHundredInGroupOrder)
{
    Receiver r;
    int begins = 0, ends = 0;
    tr->OnBeginRemoteLoad = [&](QObject *) { ++begins; };
    tr->OnEndRemoteLoad = [&](QObject *) { ++ends; };
    schedule(250, r.Event());
    // Another pair in between forms its own group.
    tr->ScheduleDynamicTranslation(QStringLiteral("F.1"), QStringLiteral("Fenster"), kDe, kFr, {});
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);

    const QList<int> sizes = tr->batchSizes();
    EXPECT_EQ(sizes, (QList<int>{1, 100, 100, 50}));
    std::lock_guard lock(tr->m);
    // The group starts with the last request and collects backwards.
    EXPECT_EQ(tr->batches[1].first(), QStringLiteral("T.t249"));
    EXPECT_EQ(tr->batches[1].last(), QStringLiteral("T.t150"));
    EXPECT_EQ(tr->batches[3].last(), QStringLiteral("T.t0"));
    EXPECT_EQ(r.calls.load(), 1);
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(tr->IsScheduledTranslationsLoadingLocked());
}

TEST_F(TranslatorFixture, TerminationStopsBeforeTheNextBatchAndSkipsCallbacks)
{
    Receiver r;
    tr->holdFirstBatch = true;
    schedule(250, r.Event());
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->waitInFirstBatch();
    EXPECT_TRUE(tr->IsScheduledTranslationsLoadingLocked());
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        tr->release();
    });
    tr->WaitForSchduledLoaders(true);
    releaser.join();
    EXPECT_EQ(tr->batchSizes(), QList<int>{100});
    EXPECT_EQ(r.calls.load(), 0) << "a terminated loader notifies nobody";

    // false clears the flag again: the next loader runs normally.
    tr->WaitForSchduledLoaders(false);
    schedule(5, r.Event(), QStringLiteral("N.t"));
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(r.calls.load(), 1);
}

TEST_F(TranslatorFixture, RemovedCallbacksAreNotCalled)
{
    Receiver kept, removed;
    // Regression: a component freed after a loader took its callback over was
    // still called.
    auto *dying = new Receiver;
    tr->holdFirstBatch = true;
    schedule(3, kept.Event());
    tr->ScheduleDynamicTranslation(QStringLiteral("R.1"), QStringLiteral("r"), kDe, kEn, removed.Event());
    tr->ScheduleDynamicTranslation(QStringLiteral("R.2"), QStringLiteral("d"), kDe, kEn, dying->Event());
    dying->FreeNotification(tr.get());
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->waitInFirstBatch();
    // The loader holds all three callbacks by now.
    tr->RemoveNotifyer(removed.Event());
    Free(dying);
    tr->release();
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(kept.calls.load(), 1);
    EXPECT_EQ(removed.calls.load(), 0);
}

TEST_F(TranslatorFixture, CallbacksWhenEverythingWasCachedAlready)
{
    Receiver r;
    tr->TranslateText(QStringLiteral("T.t0"), QStringLiteral("Text 0"), kDe, kEn);
    tr->TranslateText(QStringLiteral("T.t1"), QStringLiteral("Text 1"), kDe, kEn);
    schedule(2, r.Event());
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_TRUE(tr->batchSizes().isEmpty()) << "cached texts never reach the service";
    EXPECT_EQ(r.calls.load(), 1);
}

TEST_F(TranslatorFixture, FailedBatchesLeaveItemsUntranslated)
{
    Receiver r;
    tr->failBatches = true;
    schedule(3, r.Event());
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(r.calls.load(), 0) << "nothing was translated";
    EXPECT_FALSE(cached(QStringLiteral("T.t0"), QStringLiteral("Text 0")));

    // A later request schedules them again.
    tr->failBatches = false;
    schedule(3, r.Event());
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(r.calls.load(), 1);
    EXPECT_TRUE(cached(QStringLiteral("T.t2"), QStringLiteral("Text 2")));
}

TEST_F(TranslatorFixture, PersistenceOfChangedPairs)
{
    const QString folder = tr->LocalCachePersistancePath();
    EXPECT_TRUE(QFileInfo(folder).isDir()) << "Init creates the folder";
    EXPECT_EQ(tr->GetCacheLocalFilePath(QStringLiteral("GermanEnglish"), false), folder + QStringLiteral("/GermanEnglish.lc"));
    EXPECT_EQ(tr->GetCacheLocalFilePath(QStringLiteral("GermanEnglish"), true), QString());

    tr->TranslateText(QStringLiteral("P.1"), QStringLiteral("Hallo"), kDe, kEn);
    tr->LocalCache().GetCacheByLangPair(kDe, kFr); // used, not changed
    tr.reset(); // destruction saves
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/GermanEnglish.lc")));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/GermanFrench.lc")));

    // A new translator finds it on first use of the pair.
    TComponentPtr<FakeTranslator> again(new FakeTranslator);
    again->SetLocalCachePersistancePath(folder);
    TCacheFillMode mode = cfmNever;
    EXPECT_EQ(again->TranslateText(QStringLiteral("P.1"), QStringLiteral("Hallo"), kDe, kEn, mode),
              QStringLiteral("[English]Hallo"));
    EXPECT_EQ(mode, cfmNever);

    QDir().mkpath(folder + QStringLiteral("/sub/deeper"));
    QFile(folder + QStringLiteral("/sub/deeper/x")).open(QIODevice::WriteOnly);
    again->ClearLocalCachePersistance();
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_EQ(again->LocalCache().GetCacheByLangPair(kDe, kEn)->Count(), 1) << "memory stays";
}

// A cache file that was not read whole (cut short, foreign bytes, bytes after
// the last entry) is set aside as .corrupt, reported once, and no made-up
// entry from it is ever saved.
TEST_F(TranslatorFixture, DamagedCacheFilesAreSetAsideAndNeverWrittenBack)
{
    const QString folder = tr->LocalCachePersistancePath();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/GermanEnglish.lc");
    TZORLocalCacheLangData good;
    good.AddOrSetValue(good.GetTranslateTextKeyName(u"D.1"_qs, u"Hallo"_qs), u"Hello"_qs);
    TMemoryStream ms;
    good.SaveToStream(ms);
    const QByteArray whole = ms.ToBytes();

    struct Row {
        const char *name;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"cut short", whole.left(whole.size() - 1)},
        {"text file", QByteArray("[General]\nkey=value\n")},
        {"bytes after the last entry", whole + QByteArray(3, '\0')},
        {"huge count", bytesFromHex("ff ff ff 7f 00 00 00 00 00 00 00 00")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(file + QStringLiteral(".corrupt"));
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(row.bytes);
        }
        TComponentPtr<FakeTranslator> t(new FakeTranslator);
        t->SetLocalCachePersistancePath(folder);
        t->SetActive(true);
        TZORLocalCacheLangData *pair = t->LocalCache().GetCacheByLangPair(kDe, kEn);
        EXPECT_EQ(pair->Count(), 0);
        EXPECT_TRUE(t->LastLoaderError().contains(u"GermanEnglish.lc"_qs)) << t->LastLoaderError().toStdString();
        EXPECT_TRUE(t->LastLoaderError().contains(u".corrupt"_qs));
        EXPECT_FALSE(QFileInfo::exists(file));
        QFile aside(file + QStringLiteral(".corrupt"));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), row.bytes);

        // Work goes on; the save writes a fresh file with what was really cached.
        t->TranslateText(u"D.2"_qs, u"Welt"_qs, kDe, kEn);
        t->SaveLocalCacheData();
        TZORLocalCacheLangData back;
        QString error;
        EXPECT_TRUE(back.LoadFromFileChecked(file, &error)) << error.toStdString();
        EXPECT_EQ(back.Keys(), QStringList{back.GetTranslateTextKeyName(u"D.2"_qs, u"Welt"_qs)});
        aside.seek(0);
        EXPECT_EQ(aside.readAll(), row.bytes) << "the damaged file is never written over";
        QFile::remove(file);
    }

    // A whole file loads as it is and reports nothing.
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(whole);
    }
    TComponentPtr<FakeTranslator> t(new FakeTranslator);
    t->SetLocalCachePersistancePath(folder);
    t->SetActive(true);
    EXPECT_EQ(t->LocalCache().GetCacheByLangPair(kDe, kEn)->Count(), 1);
    EXPECT_TRUE(t->LastLoaderError().isEmpty()) << t->LastLoaderError().toStdString();
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST(Translator, SaveErrorsPassOutsideDestruction)
{
    TComponentPtr<FakeTranslator> t(new FakeTranslator);
    t->TranslateText(QStringLiteral("P.1"), QStringLiteral("Hallo"), kDe, kEn);
    // No folder set: the changed pair has no file name.
    EXPECT_THROW(t->SaveLocalCacheData(), EFCreateError);
    t.reset(); // swallowed here
}

TEST(Translator, InitPlacesTheCacheUnderTheRoamingFolder)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    TComponentPtr<TZORCustomTranslator> t(new TZORCustomTranslator);
    t->SetAppName(QStringLiteral("demo.bin"));
    t->SetActive(true);
    EXPECT_EQ(t->LocalCachePersistancePath(), home.path() + QStringLiteral("/Quenlor/demo.bin/cache"));
    EXPECT_TRUE(QFileInfo(t->LocalCachePersistancePath()).isDir());
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

// Without names of its own the translator keeps its cache in the
// application's data folder, named from the application's organisation and
// name, as every Qt application's data is.
TEST(Translator, DefaultCacheIsInTheApplicationsOwnDataFolder)
{
    QTemporaryDir data;
    ScopedEnv env("XDG_DATA_HOME", data.path().toUtf8());
    const QString org = QCoreApplication::organizationName(), app = QCoreApplication::applicationName();
    QCoreApplication::setOrganizationName(QStringLiteral("Acme"));
    QCoreApplication::setApplicationName(QStringLiteral("Invoices"));
    TComponentPtr<TZORCustomTranslator> t(new TZORCustomTranslator);
    t->SetActive(true);
    const QString path = t->LocalCachePersistancePath();
    QCoreApplication::setOrganizationName(org);
    QCoreApplication::setApplicationName(app);
    EXPECT_EQ(path, data.path() + QStringLiteral("/Acme/Invoices/cache"));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(Translator, PreloadedFileChoice)
{
    struct Row
    {
        const char *name;
        bool local, preload;
        int localAgeSecs, preloadAgeSecs; // seconds before now
        const char *expected;
    };
    const Row rows[] = {
        {"only local", true, false, 100, 0, "local"},
        {"only preload", false, true, 0, 100, "preload"},
        {"local newer", true, true, 10, 100, "local"},
        {"local older", true, true, 100, 10, "preload"},
        {"same two-second step", true, true, 100, 100, "preload"},
        {"neither", false, false, 0, 0, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        QTemporaryDir dir;
        const QString localDir = dir.filePath(QStringLiteral("local"));
        const QString preloadDir = dir.filePath(QStringLiteral("preload"));
        QDir().mkpath(localDir);
        QDir().mkpath(preloadDir);
        const QDateTime base = QDateTime::currentDateTime().addSecs(-1000);
        auto write = [&](const QString &folder, const QString &value, int age) {
            TZORLocalCacheLangData c;
            c.AddOrSetValue(TZORLocalCacheLangData::GetTranslateTextKeyName(QStringLiteral("X.y"), QStringLiteral("z")), value);
            const QString file = folder + QStringLiteral("/GermanEnglish.lc");
            c.SaveToFile(file);
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.setFileTime(base.addSecs(1000 - age), QFileDevice::FileModificationTime);
        };
        if (r.local)
            write(localDir, QStringLiteral("local"), r.localAgeSecs);
        if (r.preload)
            write(preloadDir, QStringLiteral("preload"), r.preloadAgeSecs);
        TComponentPtr<TZORCustomTranslator> t(new TZORCustomTranslator);
        t->SetLocalCachePersistancePath(localDir);
        t->SetLocalPreloadedCachePersistancePath(preloadDir);
        TCacheFillMode mode = cfmNever;
        const QString got = t->TranslateText(QStringLiteral("X.y"), QStringLiteral("z"), kDe, kEn, mode);
        EXPECT_EQ(mode == cfmNotFound ? QString() : got, QString::fromUtf8(r.expected));
    }
}

TEST(Translator, ActiveTranslatorUsesTheGlobalClass)
{
    const TZORTranslatorClass saved = GlobalTranslatorClass;
    int created = 0;
    GlobalTranslatorClass = [&](QObject *owner) -> TZORCustomTranslator * {
        ++created;
        EXPECT_EQ(owner, nullptr);
        return new FakeTranslator(owner);
    };
    detail::TranslatorStartup();
    EXPECT_FALSE(HasActiveTranslator());
    TZORCustomTranslator *a = ActiveTranslator();
    EXPECT_NE(dynamic_cast<FakeTranslator *>(a), nullptr);
    EXPECT_EQ(ActiveTranslator(), a);
    EXPECT_TRUE(HasActiveTranslator());
    EXPECT_EQ(created, 1);
    detail::TranslatorShutdown();
    EXPECT_FALSE(HasActiveTranslator());
    GlobalTranslatorClass = saved;
}

TEST_F(TranslatorFixture, ManyThreadsOnOnePair)
{
    constexpr int kTexts = 300;
    std::vector<std::thread> threads;
    std::atomic<bool> stop{false};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < kTexts; ++i) {
                const int n = (i * 7 + t * 13) % kTexts;
                const QString text = QStringLiteral("Text %1").arg(n);
                const QString got = tr->TranslateText(QStringLiteral("M.%1").arg(n), text, kDe, kEn);
                if (got != FakeTranslator::translated(text, kEn))
                    ADD_FAILURE() << got.toStdString();
            }
        });
    threads.emplace_back([this, &stop] {
        for (int i = 0; !stop; ++i) {
            TCacheFillMode mode = cfmNever;
            tr->TranslateText(QStringLiteral("S.%1").arg(i % 500), QStringLiteral("s"), kDe, kEn, mode);
            std::this_thread::yield();
        }
    });
    Receiver r;
    for (int round = 0; round < 20; ++round) {
        schedule(50, r.Event(), QStringLiteral("S.%1.").arg(round));
        tr->ProcessScheduledTranslations(false);
        CheckSynchronize(1);
    }
    for (int t = 0; t < 4; ++t)
        threads[size_t(t)].join();
    stop = true;
    threads.back().join();
    tr->WaitForSchduledLoaders(false);
    EXPECT_EQ(tr->singleCalls.load(), kTexts) << "each text is translated once";
    EXPECT_GE(r.calls.load(), 1);
    EXPECT_EQ(tr->LocalCache().GetCacheByLangPair(kDe, kEn)->Count(), kTexts + 20 * 50);
}

TEST_F(TranslatorFixture, DeactivatingStopsTheLoaders)
{
    Receiver r;
    tr->holdFirstBatch = true;
    schedule(150, r.Event()); // two batches
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->waitInFirstBatch();
    tr->SetActive(false);
    tr->release();
    // Waiting with WaitForScheduledLoaders(false) would lift the stop again.
    while (tr->IsScheduledTranslationsLoadingLocked())
        CheckSynchronize(10);
    CheckSynchronize(0);
    EXPECT_EQ(tr->batchSizes().size(), 1) << "no batch starts after SetActive(false)";
    EXPECT_EQ(r.calls.load(), 0) << "an inactive translator calls nobody back";
}

TEST_F(TranslatorFixture, RemovalsAreForgottenWhenTheirLoaderEnds)
{
    auto *dying = new Receiver;
    Receiver removed;
    tr->holdFirstBatch = true;
    schedule(2, dying->Event());
    tr->ScheduleDynamicTranslation(QStringLiteral("R.1"), QStringLiteral("r"), kDe, kEn, removed.Event());
    dying->FreeNotification(tr.get());
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->waitInFirstBatch();
    tr->RemoveNotifyer(removed.Event());
    Free(dying);
    EXPECT_EQ(tr->ScheduledDynItems().PendingRemovalCount(), 2) << "the running loader still holds both";
    tr->release();
    tr->WaitForScheduledLoaders(false);
    EXPECT_EQ(removed.calls.load(), 0);
    EXPECT_EQ(tr->ScheduledDynItems().PendingRemovalCount(), 0) << "the record ends with its loader";

    // Removals while no loader runs leave nothing behind at all.
    Receiver later;
    for (int i = 0; i < 100; ++i)
        tr->RemoveNotifyer(later.Event());
    EXPECT_EQ(tr->ScheduledDynItems().PendingRemovalCount(), 0);
}

TEST_F(TranslatorFixture, SignalsArriveOnTheMainThread)
{
    QSignalSpy started(tr.get(), &TZORCustomTranslator::loaderStarted);
    QSignalSpy finished(tr.get(), &TZORCustomTranslator::loaderFinished);
    QSignalSpy arrived(tr.get(), &TZORCustomTranslator::translationsArrived);
    QSignalSpy scheduled(tr.get(), &TZORCustomTranslator::remoteLoadScheduled);
    QSignalSpy loading(tr.get(), &TZORCustomTranslator::loadingChanged);
    QList<QThread *> threads;
    QObject::connect(tr.get(), &TZORCustomTranslator::loaderStarted, [&] { threads << QThread::currentThread(); });
    QObject::connect(tr.get(), &TZORCustomTranslator::loaderFinished, [&] { threads << QThread::currentThread(); });
    std::atomic<bool> callbackOnMain{true};
    tr->OnBeginRemoteLoad = [&](QObject *) { callbackOnMain = IsMainThread(); };

    schedule(3);
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForScheduledLoaders(false);
    EXPECT_FALSE(callbackOnMain) << "the callbacks keep running on the loader's thread";
    ASSERT_TRUE(finished.count() == 1 || finished.wait(5000));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(scheduled.count(), 3);
    ASSERT_EQ(arrived.count(), 1);
    EXPECT_EQ(arrived.at(0).at(0).toInt(), 3);
    ASSERT_EQ(loading.count(), 2);
    EXPECT_TRUE(loading.at(0).at(0).toBool());
    EXPECT_FALSE(loading.at(1).at(0).toBool());
    ASSERT_EQ(threads.size(), 2);
    for (QThread *t : threads)
        EXPECT_EQ(t, QCoreApplication::instance()->thread());

    QSignalSpy active(tr.get(), &TZORCustomTranslator::activeChanged);
    tr->setProperty("active", false);
    tr->setProperty("active", false);
    ASSERT_EQ(active.count(), 1) << "NOTIFY only on a change";
    EXPECT_FALSE(tr->Active());
    QSignalSpy path(tr.get(), &TZORCustomTranslator::localCachePersistancePathChanged);
    EXPECT_TRUE(tr->setProperty("localCachePersistancePath", dir.filePath(QStringLiteral("other"))));
    EXPECT_EQ(path.count(), 1);
    EXPECT_EQ(tr->LocalCachePersistancePath(), dir.filePath(QStringLiteral("other")));
}

TEST(Translator, MnemonicsAreStrippedForTheServiceAndPutBack)
{
    QTemporaryDir dir;
    TComponentPtr<TZORGlossaryTranslator> tr{new TZORGlossaryTranslator};
    tr->SetLocalCachePersistancePath(dir.path());
    tr->SetActive(true);
    const struct
    {
        const char *de, *en;
    } glossary[] = {{"Datei", "File"}, {"Speichern", "Save"}, {"Schließen", "Close"}, {"Salz & Pfeffer", "Salt & Pepper"}};
    for (const auto &g : glossary)
        tr->AddGlossaryEntry(kDe, kEn, QString::fromUtf8(g.de), QString::fromUtf8(g.en));

    const struct
    {
        const char *text, *expected;
    } rows[] = {
        {"&Datei", "&File"},                   // the letter is not in the result: the first letter
        {"&Speichern", "&Save"},               // the same letter
        {"Sch&ließen", "C&lose"},              // the same letter, inside the word
        {"Salz && Pfeffer", "Salt && Pepper"}, // a literal ampersand stays one
        {"Datei", "File"},
    };
    for (const auto &row : rows) {
        const QString text = QString::fromUtf8(row.text);
        SCOPED_TRACE(row.text);
        EXPECT_EQ(tr->TranslateText(QStringLiteral("M.a"), text, kDe, kEn), QString::fromUtf8(row.expected));
    }

    // Deferred: cached under the text as the form has it, with the mnemonic.
    tr->ScheduleDynamicTranslation(QStringLiteral("M.mnuFile.text"), QStringLiteral("&Datei"), kDe, kFr, {});
    tr->AddGlossaryEntry(kDe, kFr, QStringLiteral("Datei"), QStringLiteral("Fichier"));
    ASSERT_TRUE(tr->ProcessScheduledTranslations(false));
    tr->WaitForScheduledLoaders(false);
    TZORLocalCacheLangData *c = tr->LocalCache().GetCacheByLangPair(kDe, kFr);
    QString value;
    c->Sync().BeginRead();
    EXPECT_TRUE(c->TryGetValue(c->GetTranslateTextKeyName(QStringLiteral("M.mnuFile.text"), QStringLiteral("&Datei")),
                               value));
    EXPECT_FALSE(c->ContainsKey(c->GetTranslateTextKeyName(QStringLiteral("M.mnuFile.text"), QStringLiteral("Datei"))))
        << "no stray entry under the plain text";
    c->Sync().EndRead();
    EXPECT_EQ(value, QStringLiteral("&Fichier"));
}
