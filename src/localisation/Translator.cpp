#include <ZorCompCore/localisation/Translator.h>

#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/KnownFolders.h>
#include <ZorCompCore/platform/MainThread.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <mutex>
#include <thread>

namespace zor {

namespace {

Q_LOGGING_CATEGORY(lcCacheFiles, "zor.localisation")

constexpr int kBatchSize = 100;

struct ReadLock
{
    IMultiReadSingleWrite &l;
    explicit ReadLock(IMultiReadSingleWrite &lock) : l(lock) { l.BeginRead(); }
    ~ReadLock() { l.EndRead(); }
};

struct WriteLock
{
    IMultiReadSingleWrite &l;
    explicit WriteLock(IMultiReadSingleWrite &lock) : l(lock) { l.BeginWrite(); }
    ~WriteLock() { l.EndWrite(); }
};

QString executableFileName()
{
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(u'/', -1);
}

QString withTrailingSlash(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// Last-write time in two-second steps: a copy that lost sub-second precision
// does not count as newer.
qint64 fileAge(const QFileInfo &fi)
{
    return fi.lastModified().toSecsSinceEpoch() / 2;
}

} // namespace

// --- TDynTranslationItem / TDynTranslationList --------------------------------

TDynTranslationItem::TDynTranslationItem(const QString &ATextID, const QString &AText,
                                         const QString &ATextLang, const QString &ADestLang)
    : TextID(ATextID), DestLang(ADestLang), TextLang(ATextLang), Text(AText)
{
}

struct TDynTranslationList::Private
{
    mutable TCriticalSection sync;
    std::vector<std::unique_ptr<TDynTranslationItem>> items;
    QSet<QString> keys; // text IDs scheduled
    QList<TNotifyEvent> notifyers;
    QList<TNotifyEvent> removedNotifyers;
    // Objects that went away: a loader may already hold their callbacks.
    // Forgotten when the address registers a callback again (a new object).
    QList<const void *> removedObjects;

    Private() { keys.reserve(256); }
};

TDynTranslationList::TDynTranslationList() : d(std::make_unique<Private>()) {}
TDynTranslationList::~TDynTranslationList() = default;

TCriticalSection &TDynTranslationList::Sync() const { return d->sync; }
int TDynTranslationList::Count() const { return int(d->items.size()); }
const TDynTranslationItem &TDynTranslationList::Items(int AIndex) const { return *d->items.at(size_t(AIndex)); }
QList<TNotifyEvent> TDynTranslationList::Notifyers() const { return d->notifyers; }
QList<TNotifyEvent> TDynTranslationList::RemovedNotifyers() const { return d->removedNotifyers; }

void TDynTranslationList::Clear()
{
    std::lock_guard lock(d->sync);
    d->items.clear();
    d->keys.clear();
}

void TDynTranslationList::AddItem(const QString &ATextID, const QString &AText, const QString &ATextLang,
                                  const QString &ADestLang, const TNotifyEvent &ANotifyEvent)
{
    std::lock_guard lock(d->sync);
    if (ANotifyEvent && !d->notifyers.contains(ANotifyEvent)) {
        d->notifyers.append(ANotifyEvent);
        d->removedObjects.removeAll(ANotifyEvent.Object);
    }
    if (!d->keys.contains(ATextID)) {
        d->items.push_back(std::make_unique<TDynTranslationItem>(ATextID, AText, ATextLang, ADestLang));
        d->keys.insert(ATextID);
    }
}

void TDynTranslationList::RemoveNotifyer(const TNotifyEvent &ANotifyEvent)
{
    std::lock_guard lock(d->sync);
    d->notifyers.removeOne(ANotifyEvent);
    d->removedNotifyers.append(ANotifyEvent);
}

void TDynTranslationList::RemoveNotifyerByClass(const void *AObject)
{
    std::lock_guard lock(d->sync);
    if (!d->removedObjects.contains(AObject))
        d->removedObjects.append(AObject);
    for (qsizetype i = d->notifyers.size() - 1; i >= 0; --i)
        if (d->notifyers[i].Object == AObject) {
            d->removedNotifyers.append(d->notifyers[i]);
            d->notifyers.removeAt(i);
        }
}

void TDynTranslationList::TakeOver(std::vector<std::unique_ptr<TDynTranslationItem>> &AItems,
                                   QList<TNotifyEvent> &ANotifyers)
{
    std::lock_guard lock(d->sync);
    for (auto &item : d->items)
        AItems.push_back(std::move(item));
    d->items.clear();
    d->keys.clear();
    ANotifyers = d->notifyers;
    d->notifyers.clear();
    d->removedNotifyers.clear();
}

void TDynTranslationList::DropRemoved(QList<TNotifyEvent> &AList)
{
    std::lock_guard lock(d->sync);
    for (qsizetype i = AList.size() - 1; i >= 0; --i)
        if (d->removedNotifyers.removeOne(AList[i]) || d->removedObjects.contains(AList[i].Object))
            AList.removeAt(i);
}

// --- TZORTranslatorLocalCacheData ---------------------------------------------

TZORTranslatorLocalCacheData::TZORTranslatorLocalCacheData(TZORCustomTranslator *AOwner) : FOwner(AOwner) {}

// --- TZORCustomTranslator -----------------------------------------------------

struct TZORCustomTranslator::Private
{
    explicit Private(TZORCustomTranslator *q) : localCache(q) {}

    TZORTranslatorLocalCacheData localCache;
    QString appName = executableFileName();
    QString localCachePersistancePath;
    QString appVendor = QStringLiteral("Quenlor");
    TDynTranslationList scheduledDynItems;
    std::atomic<int> loadingLockCount{0};
    std::atomic<int> runningTasks{0}; // tasks not yet returned, for safe destruction
    std::atomic<bool> terminateLoaders{false};
    bool active = false;
    int langChangeUpdateCount = 0;
    QString localPreloadedCachePersistancePath;
    mutable std::mutex errorMutex;
    QString lastLoaderError;
};

void TZORTranslatorLocalCacheData::CacheCreated(const QString &ACacheName, TZORLocalCacheLangData *ACache)
{
    const QString local = FOwner->GetCacheLocalFilePath(ACacheName, false);
    const QString preload = FOwner->GetCacheLocalFilePath(ACacheName, true);
    const QFileInfo localInfo(local), preloadInfo(preload);
    const bool haveLocal = !local.isEmpty() && localInfo.isFile();
    const bool havePreload = !preload.isEmpty() && preloadInfo.isFile();
    const QString chosen =
        haveLocal && (!havePreload || fileAge(localInfo) > fileAge(preloadInfo)) ? local : preload;
    QString error;
    if (ACache->LoadFromFileChecked(chosen, &error))
        return;
    // A file that was not read whole is set aside rather than trusted: its
    // entries stay out of the cache, and the next save writes a new file
    // instead of writing half-read data back over it. Reported once, as this
    // runs once per pair.
    const QString aside = chosen + QStringLiteral(".corrupt");
    QFile::remove(aside);
    const bool moved = QFile::rename(chosen, aside);
    const QString message =
        moved ? QStringLiteral("The translation cache file \"%1\" is damaged (%2); it was set aside as \"%3\".")
                    .arg(QDir::toNativeSeparators(chosen), error, QDir::toNativeSeparators(aside))
              : QStringLiteral("The translation cache file \"%1\" is damaged (%2) and could not be set aside.")
                    .arg(QDir::toNativeSeparators(chosen), error);
    qCWarning(lcCacheFiles).noquote() << message;
    std::lock_guard lock(FOwner->d->errorMutex);
    FOwner->d->lastLoaderError = message;
}

TZORCustomTranslator::TZORCustomTranslator(QObject *AOwner)
    : TComponent(AOwner), d(std::make_unique<Private>(this))
{
}

TZORCustomTranslator::~TZORCustomTranslator()
{
    // Freed without BeforeDestruction (a plain delete): loaders still use us.
    d->terminateLoaders = true;
    WaitForLoaderTasks();
}

void TZORCustomTranslator::BeforeDestruction()
{
    WaitForSchduledLoaders(true);
    TComponent::BeforeDestruction();
    try {
        SaveLocalCacheData();
    } catch (...) {
        // Nobody is left to tell.
    }
}

TZORTranslatorLocalCacheData &TZORCustomTranslator::LocalCache() const { return d->localCache; }
QString TZORCustomTranslator::AppName() const { return d->appName; }
void TZORCustomTranslator::SetAppName(const QString &AValue) { d->appName = AValue; }
QString TZORCustomTranslator::AppVendor() const { return d->appVendor; }
void TZORCustomTranslator::SetAppVendor(const QString &AValue) { d->appVendor = AValue; }
QString TZORCustomTranslator::LocalCachePersistancePath() const { return d->localCachePersistancePath; }
void TZORCustomTranslator::SetLocalCachePersistancePath(const QString &AValue) { d->localCachePersistancePath = AValue; }
QString TZORCustomTranslator::LocalPreloadedCachePersistancePath() const { return d->localPreloadedCachePersistancePath; }
void TZORCustomTranslator::SetLocalPreloadedCachePersistancePath(const QString &AValue)
{
    d->localPreloadedCachePersistancePath = AValue;
}
bool TZORCustomTranslator::Active() const { return d->active; }
bool TZORCustomTranslator::TerminateRequested() const { return d->terminateLoaders.load(); }
TDynTranslationList &TZORCustomTranslator::ScheduledDynItems() const { return d->scheduledDynItems; }

QString TZORCustomTranslator::LastLoaderError() const
{
    std::lock_guard lock(d->errorMutex);
    return d->lastLoaderError;
}

void TZORCustomTranslator::SetActive(bool Value)
{
    if (Value == d->active)
        return;
    d->active = Value;
    if (Value)
        Init();
    else
        UnInit();
}

void TZORCustomTranslator::Init()
{
    d->terminateLoaders = false;
    if (d->localCachePersistancePath.isEmpty())
        d->localCachePersistancePath = withTrailingSlash(RoamingAppDataPath()) + d->appVendor + u'/'
                                       + d->appName + QStringLiteral("/cache");
    if (!d->localCachePersistancePath.isEmpty())
        QDir().mkpath(d->localCachePersistancePath);
}

void TZORCustomTranslator::UnInit()
{
    d->terminateLoaders = true;
}

QString TZORCustomTranslator::GetCacheLocalFilePath(const QString &ACacheName, bool AFromPreloadPath) const
{
    const QString folder =
        AFromPreloadPath ? d->localPreloadedCachePersistancePath : d->localCachePersistancePath;
    if (folder.isEmpty())
        return {};
    return withTrailingSlash(folder) + ACacheName + QStringLiteral(".lc");
}

bool TZORCustomTranslator::KnowsLanguage(const QString &) const
{
    return true;
}

bool TZORCustomTranslator::InternalTranslateText(const QString &, const QString &, const QString &,
                                                 const QString &, QString &AResult)
{
    AResult.clear();
    return false;
}

bool TZORCustomTranslator::InternalBulkTranslateText(TZORLocalCacheLangData &,
                                                     const QList<TDynTranslationItem *> &,
                                                     const QString &, const QString &, int &)
{
    return false;
}

QString TZORCustomTranslator::TranslateText(const QString &ATextID, const QString &AText,
                                            const QString &ATextLang, const QString &ADestLang)
{
    TCacheFillMode mode = cfmAllways;
    return TranslateText(ATextID, AText, ATextLang, ADestLang, mode);
}

QString TZORCustomTranslator::TranslateText(const QString &ATextID, const QString &AText,
                                            const QString &ATextLang, const QString &ADestLang,
                                            TCacheFillMode &ACacheFillMode)
{
    TZORLocalCacheLangData *cache = d->localCache.GetCacheByLangPair(ATextLang, ADestLang);
    QString result;
    {
        ReadLock lock(cache->Sync());
        if (cache->TryGetValue(TZORLocalCacheLangData::GetTranslateTextKeyName(ATextID, AText), result))
            return result;
    }
    if (ACacheFillMode == cfmNever) {
        ACacheFillMode = cfmNotFound;
        return AText;
    }
    WriteLock lock(cache->Sync());
    const QString key = TZORLocalCacheLangData::GetTranslateTextKeyName(ATextID, AText);
    if (cache->TryGetValue(key, result))
        return result; // another thread translated it meanwhile
    result.clear();
    if (InternalTranslateText(ATextID, AText, ATextLang, ADestLang, result)) {
        cache->AddOrSetValue(key, result);
        return result;
    }
    ACacheFillMode = cfmTranslationError;
    return AText;
}

void TZORCustomTranslator::ScheduleDynamicTranslation(const QString &ATextID, const QString &AText,
                                                      const QString &ATextLang, const QString &ADestLang,
                                                      const TNotifyEvent &ANotifyEvent)
{
    d->scheduledDynItems.AddItem(ATextID, AText, ATextLang, ADestLang, ANotifyEvent);
    if (OnRemoteLoadScheduled)
        OnRemoteLoadScheduled(this);
}

void TZORCustomTranslator::RemoveNotifyer(const TNotifyEvent &ANotifyEvent)
{
    d->scheduledDynItems.RemoveNotifyer(ANotifyEvent);
}

void TZORCustomTranslator::Notification(TComponent *AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove)
        d->scheduledDynItems.RemoveNotifyerByClass(AComponent);
}

void TZORCustomTranslator::BeginLangChange()
{
    ++d->langChangeUpdateCount;
}

void TZORCustomTranslator::EndLangChange(bool ACancelPendingTranslations)
{
    --d->langChangeUpdateCount;
    if (ACancelPendingTranslations)
        d->scheduledDynItems.Clear();
    else if (d->active)
        ProcessScheduledTranslations(false);
}

bool TZORCustomTranslator::InLangChange() const
{
    return d->langChangeUpdateCount != 0;
}

bool TZORCustomTranslator::IsScheduledTranslationsLoadingLocked() const
{
    return d->loadingLockCount.load() != 0;
}

bool TZORCustomTranslator::ProcessScheduledTranslations(bool AForce)
{
    if (!AForce && d->langChangeUpdateCount != 0)
        return false;
    std::lock_guard lock(d->scheduledDynItems.Sync());
    if (d->scheduledDynItems.Count() == 0)
        return false;
    ++d->runningTasks;
    QThreadPool::globalInstance()->start([this] {
        try {
            LoadScheduledTranslations();
        } catch (...) {
            // A task must not throw into the pool; what failed was recorded.
        }
        --d->runningTasks; // last touch of this object
    });
    return true;
}

void TZORCustomTranslator::LoadScheduledTranslations()
{
    QList<TNotifyEvent> notifyers;
    if (d->loadingLockCount.fetch_add(1) + 1 == 1 && OnBeginRemoteLoad)
        OnBeginRemoteLoad(this);
    struct EndLoad
    {
        TZORCustomTranslator *q;
        ~EndLoad()
        {
            if (q->d->loadingLockCount.fetch_sub(1) - 1 == 0 && q->OnEndRemoteLoad)
                q->OnEndRemoteLoad(q);
        }
    } endLoad{this};

    std::vector<std::unique_ptr<TDynTranslationItem>> pending;
    d->scheduledDynItems.TakeOver(pending, notifyers);
    if (pending.empty())
        return;

    int total = 0;
    while (!pending.empty()) {
        // Group the last item with every other item of its language pair,
        // scanning backwards as the items are taken out.
        std::vector<std::unique_ptr<TDynTranslationItem>> group;
        group.push_back(std::move(pending.back()));
        pending.pop_back();
        const QString textLang = group[0]->TextLang;
        const QString destLang = group[0]->DestLang;
        for (qsizetype i = qsizetype(pending.size()) - 1; i >= 0; --i) {
            if (pending[size_t(i)]->TextLang == textLang && pending[size_t(i)]->DestLang == destLang) {
                group.push_back(std::move(pending[size_t(i)]));
                pending.erase(pending.begin() + i);
            }
        }
        total += BulkLoadTranslateCache(group, textLang, destLang);
    }
    if (total <= 0)
        return;

    Synchronize([this, &notifyers] {
        if (d->terminateLoaders)
            return;
        d->scheduledDynItems.DropRemoved(notifyers);
        for (const TNotifyEvent &e : std::as_const(notifyers))
            e(this);
    });
}

int TZORCustomTranslator::BulkLoadTranslateCache(std::vector<std::unique_ptr<TDynTranslationItem>> &AItems,
                                                 const QString &ATextLang, const QString &ADestLang)
{
    TZORLocalCacheLangData *cache = d->localCache.GetCacheByLangPair(ATextLang, ADestLang);
    int result = 0;
    {
        ReadLock lock(cache->Sync());
        for (qsizetype i = qsizetype(AItems.size()) - 1; i >= 0; --i) {
            const TDynTranslationItem &item = *AItems[size_t(i)];
            if (cache->ContainsKey(TZORLocalCacheLangData::GetTranslateTextKeyName(item.TextID, item.Text))) {
                AItems.erase(AItems.begin() + i);
                ++result;
            }
        }
    }
    if (AItems.empty())
        return result;

    QList<TDynTranslationItem *> batch;
    batch.reserve(kBatchSize);
    for (size_t i = 0; i < AItems.size(); ++i) {
        batch.append(AItems[i].get());
        if (d->terminateLoaders)
            return result; // the unfinished batch is dropped
        if (batch.size() == kBatchSize || i + 1 == AItems.size()) {
            int n = 0;
            bool ok = false;
            try {
                ok = InternalBulkTranslateText(*cache, batch, ATextLang, ADestLang, n);
            } catch (const Exception &e) {
                std::lock_guard lock(d->errorMutex);
                d->lastLoaderError = e.Message();
            } catch (const std::exception &e) {
                std::lock_guard lock(d->errorMutex);
                d->lastLoaderError = QString::fromLocal8Bit(e.what());
            }
            if (ok)
                result += n;
            batch.clear();
        }
    }
    return result;
}

void TZORCustomTranslator::WaitForSchduledLoaders(bool ATerminate)
{
    d->terminateLoaders = ATerminate;
    while (d->loadingLockCount.load() != 0 || d->runningTasks.load() != 0) {
        if (IsMainThread())
            CheckSynchronize(10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TZORCustomTranslator::WaitForLoaderTasks()
{
    while (d->runningTasks.load() != 0) {
        if (IsMainThread())
            CheckSynchronize(10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TZORCustomTranslator::SaveLocalCacheData()
{
    ReadLock lock(d->localCache.Sync());
    for (const auto &[name, cache] : d->localCache.Items())
        if (cache->Changed())
            cache->SaveToFile(GetCacheLocalFilePath(name, false));
}

void TZORCustomTranslator::ClearLocalCachePersistance()
{
    Init();
    const QString path = d->localCachePersistancePath;
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return;
    QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &fi : entries) {
        if (fi.isDir() && !fi.isSymLink())
            QDir(fi.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(fi.absoluteFilePath());
    }
}

// --- the active translator ------------------------------------------------------

TZORTranslatorClass GlobalTranslatorClass = TranslatorClass<TZORCustomTranslator>();

namespace {
TZORCustomTranslator *g_activeTranslator = nullptr;
}

TZORCustomTranslator *ActiveTranslator()
{
    if (!g_activeTranslator)
        g_activeTranslator = GlobalTranslatorClass(nullptr);
    return g_activeTranslator;
}

bool HasActiveTranslator()
{
    return g_activeTranslator != nullptr;
}

namespace detail {

void TranslatorStartup()
{
    g_activeTranslator = nullptr;
}

void TranslatorShutdown()
{
    TZORCustomTranslator *t = std::exchange(g_activeTranslator, nullptr);
    Free(t);
}

} // namespace detail

} // namespace zor
