// A real application that quits while a loader is still busy: the process
// must end on its own (no help from the host) and the cache file must hold
// what the loader stored. The scenario runs in a child process, the test
// binary itself started with a filter and an environment variable.
#include <ZorCompCore/localisation/Translator.h>

#include <ZorCompCore/core/SyncObjs.h>
#include "TestUtil.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zor;

namespace {

const char *const kChildEnv = "ZOR_QUIT_CHILD_CACHE";
const QString kID = QStringLiteral("TfrmMain.lblHello.text");

QSemaphore g_quitting;

// Stores its translation, asks the application to quit and stays busy until
// the application is quitting: a loader is pending when the event loop ends.
class QuitTranslator : public TZOROnlineTranslator
{
public:
    using TZOROnlineTranslator::TZOROnlineTranslator;

protected:
    bool InternalBulkTranslateText(TZORLocalCacheLangData &ACache, const QList<TDynTranslationItem *> &AItems,
                                   const QString &, const QString &, int &ALoaderCount) override
    {
        ACache.Sync().BeginWrite();
        for (const auto *item : AItems)
            ACache.AddOrSetValue(ACache.GetTranslateTextKeyName(item->TextID, item->Text), QStringLiteral("Hello"));
        ACache.Sync().EndWrite();
        ALoaderCount = int(AItems.size());
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        g_quitting.acquire();
        return true;
    }
};

} // namespace

TEST(TranslatorQuit, Child)
{
    const QString cache = qEnvironmentVariable(kChildEnv);
    if (cache.isEmpty())
        GTEST_SKIP() << "the child of QuittingWhileTranslationsLoad";
    // Connected before the translator exists, so it runs before the
    // translator's own aboutToQuit handler.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { g_quitting.release(); });
    GlobalTranslatorClass = TranslatorClass<QuitTranslator>();
    TZORCustomTranslator *tr = ActiveTranslator();
    tr->SetLocalCachePersistancePath(cache);
    tr->SetActive(true);
    tr->ScheduleDynamicTranslation(kID, QStringLiteral("Hallo"), QStringLiteral("German"), QStringLiteral("English"),
                                   {});
    QTimer::singleShot(0, tr, [tr] { tr->ProcessScheduledTranslations(false); });
    QCoreApplication::exec();
    // Returning here ends the process as any application's main would: the
    // application object and then the library's modules go away.
}

TEST(TranslatorQuit, QuittingWhileTranslationsLoad)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildEnv), dir.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=TranslatorQuit.Child")});
    ASSERT_TRUE(child.waitForStarted());
    // Not a timing check: a child still running after a minute hangs.
    const bool ended = child.waitForFinished(60000);
    if (!ended) {
        child.kill();
        child.waitForFinished();
    }
    ASSERT_TRUE(ended) << "the application hangs when it quits while translations load";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);

    TZORLocalCacheLangData saved;
    saved.LoadFromFile(dir.filePath(QStringLiteral("GermanEnglish.lc")));
    QString value;
    EXPECT_TRUE(saved.TryGetValue(TZORLocalCacheLangData::GetTranslateTextKeyName(kID, QStringLiteral("Hallo")), value))
        << "what arrived before the quit is saved";
    EXPECT_EQ(value, QStringLiteral("Hello"));
}
