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
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>

#include <atomic>
#include <mutex>
#include <thread>

namespace zor {

Q_LOGGING_CATEGORY(lcTranslator, "zor.translator")

namespace {

constexpr int kBatchSize = 100;

// Menu and button texts carry their keyboard mnemonic as "&D" and a literal
// ampersand as "&&". Translators get the plain text; the mnemonic goes back
// on the translation afterwards.
struct Mnemonic
{
    bool markup = false; // the text had '&' markup
    QChar letter;        // the mnemonic's character, null when none
};

QString stripMnemonic(const QString &text, Mnemonic &m)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u'&') {
                m.markup = true;
                out += u'&';
                ++i;
                continue;
            }
            if (m.letter.isNull() && next.isLetterOrNumber()) {
                m.markup = true;
                m.letter = next;
                continue;
            }
        }
        out += c;
    }
    return m.markup ? out : text;
}

// The same letter where the translation has it (any case), else its first
// letter or digit.
QString addMnemonic(const QString &translation, const Mnemonic &m)
{
    if (!m.markup)
        return translation;
    QString out = translation;
    out.replace(u'&', QStringLiteral("&&"));
    if (m.letter.isNull())
        return out;
    qsizetype at = -1;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i] == u'&') {
            ++i; // an escaped ampersand
            continue;
        }
        if (out[i].toCaseFolded() == m.letter.toCaseFolded()) {
            at = i;
            break;
        }
    }
    if (at < 0)
        for (qsizetype i = 0; i < out.size(); ++i)
            if (out[i].isLetterOrNumber()) {
                at = i;
                break;
            }
    if (at >= 0)
        out.insert(at, u'&');
    return out;
}

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
    QSet<QString> keys; // text ID and language pair of every scheduled request
    QList<TNotifyEvent> notifyers;
    QList<TNotifyEvent> removedNotifyers;

    // A callback (or every callback of an object, Code null) removed while
    // loaders held callbacks: remembered only for those loaders, so the
    // record goes when the last of them ends.
    struct Removal
    {
        TNotifyEvent event;
        QSet<quint64> batches;
    };
    QList<Removal> removals;
    QSet<quint64> runningBatches;
    quint64 nextBatch = 0;

    Private() { keys.reserve(256); }

    void remember(const TNotifyEvent &e)
    {
        if (!runningBatches.isEmpty())
            removals.append({e, runningBatches});
    }
};

namespace {

QString requestKey(const QString &ATextID, const QString &ATextLang, const QString &ADestLang)
{
    return ATextID + QChar(0x1F) + ATextLang + QChar(0x1F) + ADestLang;
}

} // namespace

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
    if (ANotifyEvent && !d->notifyers.contains(ANotifyEvent))
        d->notifyers.append(ANotifyEvent);
    const QString key = requestKey(ATextID, ATextLang, ADestLang);
    if (!d->keys.contains(key)) {
        d->items.push_back(std::make_unique<TDynTranslationItem>(ATextID, AText, ATextLang, ADestLang));
        d->keys.insert(key);
    }
}

void TDynTranslationList::RemoveNotifyer(const TNotifyEvent &ANotifyEvent)
{
    std::lock_guard lock(d->sync);
    d->notifyers.removeOne(ANotifyEvent);
    d->removedNotifyers.append(ANotifyEvent);
    d->remember(ANotifyEvent);
}

void TDynTranslationList::RemoveNotifyerByClass(const void *AObject)
{
    std::lock_guard lock(d->sync);
    d->remember({const_cast<void *>(AObject), nullptr});
    for (qsizetype i = d->notifyers.size() - 1; i >= 0; --i)
        if (d->notifyers[i].Object == AObject) {
            d->removedNotifyers.append(d->notifyers[i]);
            d->notifyers.removeAt(i);
        }
}

quint64 TDynTranslationList::TakeOver(std::vector<std::unique_ptr<TDynTranslationItem>> &AItems,
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
    const quint64 batch = ++d->nextBatch;
    d->runningBatches.insert(batch);
    return batch;
}

void TDynTranslationList::DropRemoved(quint64 ABatch, QList<TNotifyEvent> &AList)
{
    std::lock_guard lock(d->sync);
    for (const Private::Removal &r : std::as_const(d->removals)) {
        if (!r.batches.contains(ABatch))
            continue;
        for (qsizetype i = AList.size() - 1; i >= 0; --i)
            if (r.event.Code ? AList[i] == r.event : AList[i].Object == r.event.Object)
                AList.removeAt(i);
    }
}

void TDynTranslationList::BatchEnded(quint64 ABatch)
{
    std::lock_guard lock(d->sync);
    d->runningBatches.remove(ABatch);
    for (qsizetype i = d->removals.size() - 1; i >= 0; --i) {
        d->removals[i].batches.remove(ABatch);
        if (d->removals[i].batches.isEmpty())
            d->removals.removeAt(i);
    }
}

int TDynTranslationList::PendingRemovalCount() const
{
    std::lock_guard lock(d->sync);
    return int(d->removals.size());
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
    bool namesSet = false; // the host named the application itself
    TDynTranslationList scheduledDynItems;
    std::atomic<int> loadingLockCount{0};
    std::atomic<int> runningTasks{0}; // tasks not yet returned, for safe destruction
    std::atomic<bool> terminateLoaders{false};
    bool active = false;
    int langChangeUpdateCount = 0;
    QString localPreloadedCachePersistancePath;
    mutable std::mutex errorMutex;
    QString lastLoaderError;
    QSet<QString> reportedErrors; // logged once each
    bool quitHooked = false;
    bool warnedInactive = false;
    // Declared last, so destroyed first: its threads are joined while
    // everything they use still exists.
    QThreadPool pool;
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
    FOwner->ReportLoaderError(message);
}

TZORCustomTranslator::TZORCustomTranslator(QObject *AOwner)
    : TComponent(AOwner), d(std::make_unique<Private>(this))
{
    d->pool.setObjectName(QStringLiteral("zor.translator loaders"));
    hookApplicationQuit();
}

void TZORCustomTranslator::hookApplicationQuit()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (d->quitHooked || !app || !IsMainThread())
        return;
    d->quitHooked = true;
    connect(app, &QCoreApplication::aboutToQuit, this, &TZORCustomTranslator::applicationAboutToQuit,
            Qt::DirectConnection);
}

void TZORCustomTranslator::applicationAboutToQuit()
{
    // The event loop has ended: loaders waiting for the main thread are
    // served here, then what arrived is saved.
    WaitForSchduledLoaders(true);
    try {
        SaveLocalCacheData();
    } catch (const Exception &e) {
        qCWarning(lcTranslator).noquote() << "Cannot save the translation cache:" << e.Message();
    } catch (const std::exception &e) {
        qCWarning(lcTranslator) << "Cannot save the translation cache:" << e.what();
    }
    // Loaders started after this run normally (the destructor waits for them).
    d->terminateLoaders = !d->active;
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
void TZORCustomTranslator::SetAppName(const QString &AValue)
{
    if (d->appName == AValue)
        return;
    d->appName = AValue;
    d->namesSet = true;
    emit appNameChanged(AValue);
}
QString TZORCustomTranslator::AppVendor() const { return d->appVendor; }
void TZORCustomTranslator::SetAppVendor(const QString &AValue)
{
    if (d->appVendor == AValue)
        return;
    d->appVendor = AValue;
    d->namesSet = true;
    emit appVendorChanged(AValue);
}
QString TZORCustomTranslator::LocalCachePersistancePath() const { return d->localCachePersistancePath; }
void TZORCustomTranslator::SetLocalCachePersistancePath(const QString &AValue)
{
    if (d->localCachePersistancePath == AValue)
        return;
    d->localCachePersistancePath = AValue;
    emit localCachePersistancePathChanged(AValue);
}
QString TZORCustomTranslator::LocalPreloadedCachePersistancePath() const { return d->localPreloadedCachePersistancePath; }
void TZORCustomTranslator::SetLocalPreloadedCachePersistancePath(const QString &AValue)
{
    if (d->localPreloadedCachePersistancePath == AValue)
        return;
    d->localPreloadedCachePersistancePath = AValue;
    emit localPreloadedCachePersistancePathChanged(AValue);
}
bool TZORCustomTranslator::Active() const { return d->active; }
bool TZORCustomTranslator::TerminateRequested() const { return d->terminateLoaders.load(); }
TDynTranslationList &TZORCustomTranslator::ScheduledDynItems() const { return d->scheduledDynItems; }

QString TZORCustomTranslator::LastLoaderError() const
{
    std::lock_guard lock(d->errorMutex);
    return d->lastLoaderError;
}

void TZORCustomTranslator::ReportLoaderError(const QString &AMessage)
{
    bool first = false;
    {
        std::lock_guard lock(d->errorMutex);
        d->lastLoaderError = AMessage;
        if (!d->reportedErrors.contains(AMessage) && d->reportedErrors.size() < 256) {
            d->reportedErrors.insert(AMessage);
            first = true;
        }
    }
    if (first)
        qCWarning(lcTranslator).noquote() << AMessage;
    QMetaObject::invokeMethod(this, [this, AMessage] { emit loaderError(AMessage); }, Qt::QueuedConnection);
}

void TZORCustomTranslator::NoteInactiveRequest(const QString &AWho)
{
    if (d->warnedInactive)
        return;
    d->warnedInactive = true;
    qCWarning(lcTranslator).noquote()
        << AWho + QStringLiteral(" asked for a translation, but the translator is inactive (it is after "
                                 "construction): call SetActive(true) to translate");
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
    emit activeChanged(Value);
}

void TZORCustomTranslator::Init()
{
    hookApplicationQuit();
    d->terminateLoaders = false;
    // By default the cache is the application's own: its data folder as Qt
    // names it from the organisation and application names
    // (~/.local/share/<organisation>/<application>/cache), not the vendor
    // name below, which only applies when the host set the names itself or
    // runs without a QCoreApplication.
    if (d->localCachePersistancePath.isEmpty() && !d->namesSet && QCoreApplication::instance())
        d->localCachePersistancePath =
            withTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)) + QStringLiteral("cache");
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
    Mnemonic mnemonic;
    const QString plain = stripMnemonic(AText, mnemonic);
    if (InternalTranslateText(ATextID, plain, ATextLang, ADestLang, result)) {
        result = addMnemonic(result, mnemonic);
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
    QMetaObject::invokeMethod(this, [this] { emit remoteLoadScheduled(); }, Qt::QueuedConnection);
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
    hookApplicationQuit();
    std::lock_guard lock(d->scheduledDynItems.Sync());
    if (d->scheduledDynItems.Count() == 0)
        return false;
    ++d->runningTasks;
    d->pool.start([this] {
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
    if (d->loadingLockCount.fetch_add(1) + 1 == 1) {
        if (OnBeginRemoteLoad)
            OnBeginRemoteLoad(this);
        QMetaObject::invokeMethod(this, [this] {
            emit loaderStarted();
            emit loadingChanged(true);
        }, Qt::QueuedConnection);
    }
    struct EndLoad
    {
        TZORCustomTranslator *q;
        quint64 batch = 0;
        ~EndLoad()
        {
            if (batch)
                q->d->scheduledDynItems.BatchEnded(batch);
            if (q->d->loadingLockCount.fetch_sub(1) - 1 == 0) {
                if (q->OnEndRemoteLoad)
                    q->OnEndRemoteLoad(q);
                QMetaObject::invokeMethod(q, [q = q] {
                    emit q->loaderFinished();
                    emit q->loadingChanged(false);
                }, Qt::QueuedConnection);
            }
        }
    } endLoad{this};

    std::vector<std::unique_ptr<TDynTranslationItem>> pending;
    endLoad.batch = d->scheduledDynItems.TakeOver(pending, notifyers);
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

    const quint64 batch = endLoad.batch;
    Synchronize([this, &notifyers, batch, total] {
        if (d->terminateLoaders)
            return;
        d->scheduledDynItems.DropRemoved(batch, notifyers);
        for (const TNotifyEvent &e : std::as_const(notifyers))
            e(this);
        emit translationsArrived(total);
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

    // Texts with mnemonic markup go to the service without it, under a
    // stand-in item; their translations are then stored under the key of the
    // text as the form has it, with the mnemonic put back.
    struct Marked
    {
        std::unique_ptr<TDynTranslationItem> plain;
        Mnemonic mnemonic;
        QString key, plainKey;
        bool plainKeyExisted = false;
    };
    std::vector<Marked> marked;
    QList<TDynTranslationItem *> sendable;
    sendable.reserve(qsizetype(AItems.size()));
    {
        ReadLock lock(cache->Sync());
        for (const auto &item : AItems) {
            Mnemonic m;
            const QString plain = stripMnemonic(item->Text, m);
            if (!m.markup) {
                sendable.append(item.get());
                continue;
            }
            Marked mk;
            mk.plain = std::make_unique<TDynTranslationItem>(item->TextID, plain, item->TextLang, item->DestLang);
            mk.mnemonic = m;
            mk.key = TZORLocalCacheLangData::GetTranslateTextKeyName(item->TextID, item->Text);
            mk.plainKey = TZORLocalCacheLangData::GetTranslateTextKeyName(item->TextID, plain);
            mk.plainKeyExisted = cache->ContainsKey(mk.plainKey);
            sendable.append(mk.plain.get());
            marked.push_back(std::move(mk));
        }
    }

    QList<TDynTranslationItem *> batch;
    batch.reserve(kBatchSize);
    for (qsizetype i = 0; i < sendable.size(); ++i) {
        batch.append(sendable[i]);
        if (d->terminateLoaders)
            break; // the unfinished batch is dropped
        if (batch.size() == kBatchSize || i + 1 == sendable.size()) {
            int n = 0;
            bool ok = false;
            try {
                ok = InternalBulkTranslateText(*cache, batch, ATextLang, ADestLang, n);
            } catch (const Exception &e) {
                ReportLoaderError(e.Message());
            } catch (const std::exception &e) {
                ReportLoaderError(QString::fromLocal8Bit(e.what()));
            }
            if (ok)
                result += n;
            batch.clear();
        }
    }
    if (!marked.empty()) {
        WriteLock lock(cache->Sync());
        for (const Marked &mk : marked) {
            QString value;
            if (!cache->TryGetValue(mk.plainKey, value))
                continue;
            cache->AddOrSetValue(mk.key, addMnemonic(value, mk.mnemonic));
            if (!mk.plainKeyExisted)
                cache->Remove(mk.plainKey);
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
