// The process-wide dynamic translator: translates texts from one language to
// another on demand, remembers every result in the local translation cache,
// and can defer misses to background loaders that fetch them in batches and
// then call the waiting components back on the main thread.
//
// The base class translates nothing: a service-backed descendant of
// TZOROnlineTranslator overrides InternalTranslateText and
// InternalBulkTranslateText and is installed through GlobalTranslatorClass.
//
// A translator is inactive after construction: until SetActive(true) (or the
// "active" property) it translates nothing and forms show their stored
// texts; the first form that asks an inactive translator for a text logs one
// warning through the "zor.translator" category.
//
// Loaders run on a thread pool of the translator's own. When a
// QCoreApplication quits (aboutToQuit), the translator stops its loaders,
// waits for them while serving the main-thread queue and saves the cache, so
// an application may quit while translations load.
#pragma once

#include <ZorCompCore/localisation/TranslatorCache.h>
#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace zor {

class TCriticalSection;
class TZORCustomTranslator;

// In/out mode of TranslateText.
enum TCacheFillMode : quint8 {
    cfmAllways = 0,          // in: translate a miss at once and cache it
    cfmNever = 1,            // in: do not translate a miss
    cfmNotFound = 2,         // out: the input was cfmNever and the text was not cached
    cfmTranslationError = 3, // out: translating a miss failed
};

// A callback as an object and a function: two are equal when both halves
// are, so a component can register once and remove itself by identity.
struct ZOR_EXPORT TNotifyEvent
{
    void *Object = nullptr;
    void (*Code)(void *Object, QObject *Sender) = nullptr;

    explicit operator bool() const { return Code != nullptr; }
    bool operator==(const TNotifyEvent &) const = default;
    void operator()(QObject *Sender) const { Code(Object, Sender); }

    // TNotifyEvent::Of<&TMyForm::Retranslate>(form)
    template <auto Method, class T>
    static TNotifyEvent Of(T *AObject)
    {
        return {AObject, &thunk<Method, T>};
    }

private:
    template <auto Method, class T>
    static void thunk(void *AObject, QObject *Sender)
    {
        (static_cast<T *>(AObject)->*Method)(Sender);
    }
};

// Plain event handler for the translator's own events.
using TNotifyProc = std::function<void(QObject *Sender)>;

// One deferred request.
class ZOR_EXPORT TDynTranslationItem
{
public:
    TDynTranslationItem(const QString &ATextID, const QString &AText, const QString &ATextLang,
                        const QString &ADestLang);
    QString TextID, DestLang, TextLang, Text;
};

// The pending requests, one per text ID until a loader takes them over, and
// the callbacks to run once they are translated. Sync() guards everything.
class ZOR_EXPORT TDynTranslationList
{
public:
    TDynTranslationList();
    ~TDynTranslationList();
    TDynTranslationList(const TDynTranslationList &) = delete;
    TDynTranslationList &operator=(const TDynTranslationList &) = delete;

    TCriticalSection &Sync() const;

    // The accessors below expect Sync() to be held by the caller.
    int Count() const;
    const TDynTranslationItem &Items(int AIndex) const;
    QList<TNotifyEvent> Notifyers() const;
    QList<TNotifyEvent> RemovedNotifyers() const;

    // Drops the items (and their text IDs); the callbacks stay.
    void Clear();
    // Registers the callback once, and the request once per text ID and
    // language pair (a request for French is not hidden by one for English).
    void AddItem(const QString &ATextID, const QString &AText, const QString &ATextLang,
                 const QString &ADestLang, const TNotifyEvent &ANotifyEvent);
    // Forgets the callback and remembers it as removed, so that a loader that
    // already took it over does not call it.
    void RemoveNotifyer(const TNotifyEvent &ANotifyEvent);
    // The same for every callback whose object is AObject, also for loaders
    // that already took them over.
    void RemoveNotifyerByClass(const void *AObject);

    // Loader side, under Sync(): moves every item out (in order), clears the
    // request keys, and hands over the callbacks, clearing both callback
    // lists. Returns the batch number the loader passes to DropRemoved and
    // BatchEnded.
    quint64 TakeOver(std::vector<std::unique_ptr<TDynTranslationItem>> &AItems,
                     QList<TNotifyEvent> &ANotifyers);
    // Removes the callbacks of AList (taken over as ABatch) whose callback or
    // object was removed meanwhile.
    void DropRemoved(quint64 ABatch, QList<TNotifyEvent> &AList);
    // The loader of ABatch is done: removals recorded for it are forgotten.
    void BatchEnded(quint64 ABatch);
    // Removals still remembered for running loaders (bounded by them).
    int PendingRemovalCount() const;

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// The translator's cache: loads a pair's file when the pair is first used.
class ZOR_EXPORT TZORTranslatorLocalCacheData : public TZORLocalCacheData
{
public:
    explicit TZORTranslatorLocalCacheData(TZORCustomTranslator *AOwner);
    TZORCustomTranslator *Owner() const { return FOwner; }

protected:
    // Takes the local file unless the preloaded one is newer or the local one
    // is missing.
    void CacheCreated(const QString &ACacheName, TZORLocalCacheLangData *ACache) override;

private:
    TZORCustomTranslator *FOwner;
};

class ZOR_EXPORT TZORCustomTranslator : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool active READ Active WRITE SetActive NOTIFY activeChanged)
    Q_PROPERTY(bool loading READ IsScheduledTranslationsLoadingLocked NOTIFY loadingChanged)
    Q_PROPERTY(QString appName READ AppName WRITE SetAppName NOTIFY appNameChanged)
    Q_PROPERTY(QString appVendor READ AppVendor WRITE SetAppVendor NOTIFY appVendorChanged)
    Q_PROPERTY(QString localCachePersistancePath READ LocalCachePersistancePath WRITE
                   SetLocalCachePersistancePath NOTIFY localCachePersistancePathChanged)
    Q_PROPERTY(QString localPreloadedCachePersistancePath READ LocalPreloadedCachePersistancePath WRITE
                   SetLocalPreloadedCachePersistancePath NOTIFY localPreloadedCachePersistancePathChanged)
    Q_PROPERTY(QString lastLoaderError READ LastLoaderError NOTIFY loaderError)
public:
    explicit TZORCustomTranslator(QObject *AOwner = nullptr);
    ~TZORCustomTranslator() override;

    // Waits for the loaders (telling them to stop), then saves changed pairs;
    // save errors are dropped here because nobody could handle them.
    void BeforeDestruction() override;

    TZORTranslatorLocalCacheData &LocalCache() const;

    // File name of the running program, with extension.
    QString AppName() const;
    void SetAppName(const QString &AValue);
    QString AppVendor() const; // "Quenlor"
    void SetAppVendor(const QString &AValue);
    // Folder of the writable ".lc" files: set by the caller, or computed by Init.
    QString LocalCachePersistancePath() const;
    void SetLocalCachePersistancePath(const QString &AValue);
    // Folder of read-only ".lc" files shipped with the application.
    QString LocalPreloadedCachePersistancePath() const;
    void SetLocalPreloadedCachePersistancePath(const QString &AValue);

    bool Active() const;
    void SetActive(bool Value);

    // Events: scheduling (caller's thread), first loader starts and last
    // loader ends (on the loader's thread, not the main thread). For the main
    // thread use the signals loaderStarted and loaderFinished, which are
    // queued to it beside these callbacks.
    TNotifyProc OnRemoteLoadScheduled, OnBeginRemoteLoad, OnEndRemoteLoad;

    // The cached translation, or a fresh one per ACacheFillMode (see
    // TCacheFillMode); the source text when none can be had.
    QString TranslateText(const QString &ATextID, const QString &AText, const QString &ATextLang,
                          const QString &ADestLang, TCacheFillMode &ACacheFillMode);
    QString TranslateText(const QString &ATextID, const QString &AText, const QString &ATextLang,
                          const QString &ADestLang);

    // Queues a request for the next loader; never starts one.
    void ScheduleDynamicTranslation(const QString &ATextID, const QString &AText,
                                    const QString &ATextLang, const QString &ADestLang,
                                    const TNotifyEvent &ANotifyEvent);
    // Starts a loader on the translator's thread pool when requests are
    // pending and no language change is open (or AForce). True when one was
    // started.
    bool ProcessScheduledTranslations(bool AForce);
    void RemoveNotifyer(const TNotifyEvent &ANotifyEvent);
    // Waits until no loader runs, serving the main-thread queue meanwhile when
    // called on the main thread. ATerminate asks loaders to stop (false clears
    // an earlier request).
    virtual void WaitForSchduledLoaders(bool ATerminate);
    // The same function as WaitForSchduledLoaders, spelt correctly.
    void WaitForScheduledLoaders(bool ATerminate) { WaitForSchduledLoaders(ATerminate); }
    bool IsScheduledTranslationsLoadingLocked() const;

    void BeginLangChange();
    // Drops the pending requests when asked, else processes them while active.
    void EndLangChange(bool ACancelPendingTranslations);
    bool InLangChange() const;

    // <folder>/<ACacheName>.lc, or empty when the folder is not set.
    QString GetCacheLocalFilePath(const QString &ACacheName, bool AFromPreloadPath) const;
    // Writes every changed pair to its file.
    void SaveLocalCacheData();
    // Deletes everything inside the cache folder; the in-memory cache stays.
    void ClearLocalCachePersistance();
    virtual bool KnowsLanguage(const QString &ALangName) const;

    // The last error a loader met while translating a batch (empty if none).
    QString LastLoaderError() const;
    // Records a loader error (as the loaders do) and emits loaderError; each
    // distinct message is logged once through "zor.translator".
    void ReportLoaderError(const QString &AMessage);

    // Logs, once per translator, that a form asked while it was inactive.
    void NoteInactiveRequest(const QString &AWho);

signals:
    // Main thread. Property changes.
    void activeChanged(bool active);
    void loadingChanged(bool loading);
    void appNameChanged(const QString &appName);
    void appVendorChanged(const QString &appVendor);
    void localCachePersistancePathChanged(const QString &path);
    void localPreloadedCachePersistancePathChanged(const QString &path);
    // Queued to the main thread: a request was scheduled, the first loader
    // started, the last loader finished, a loader met an error.
    void remoteLoadScheduled();
    void loaderStarted();
    void loaderFinished();
    void loaderError(const QString &message);
    // Main thread, after the waiting components were called back: ACount
    // translations of the batch are in the cache now.
    void translationsArrived(int count);

protected:
    virtual void Init();
    virtual void UnInit();
    // One text; called with the pair's write lock held. True with the
    // translation in AResult; false when the text cannot be translated.
    virtual bool InternalTranslateText(const QString &ATextID, const QString &AText,
                                       const QString &ATextLang, const QString &ADestLang,
                                       QString &AResult);
    // Up to 100 items of one pair, on a loader thread, no lock held: store
    // each translation in ACache under its key (taking ACache's write lock),
    // set ALoaderCount to the number stored and return true.
    virtual bool InternalBulkTranslateText(TZORLocalCacheLangData &ACache,
                                           const QList<TDynTranslationItem *> &AItems,
                                           const QString &ATextLang, const QString &ADestLang,
                                           int &ALoaderCount);
    void Notification(TComponent *AComponent, TOperation Operation) override;

    // Set while loaders should stop; services may poll it between requests.
    bool TerminateRequested() const;
    TDynTranslationList &ScheduledDynItems() const;

private:
    void hookApplicationQuit();
    void applicationAboutToQuit();
    void LoadScheduledTranslations();
    int BulkLoadTranslateCache(std::vector<std::unique_ptr<TDynTranslationItem>> &AItems,
                               const QString &ATextLang, const QString &ADestLang);
    void WaitForLoaderTasks();

    friend class TZORTranslatorLocalCacheData; // reports damaged cache files
    struct Private;
    std::unique_ptr<Private> const d;
};

// The base for translators backed by a translation service.
class ZOR_EXPORT TZOROnlineTranslator : public TZORCustomTranslator
{
    Q_OBJECT
public:
    using TZORCustomTranslator::TZORCustomTranslator;
};

// Creates the active translator (the "class" of it): called once, with no owner.
using TZORTranslatorClass = std::function<TZORCustomTranslator *(QObject *AOwner)>;

template <class T>
TZORTranslatorClass TranslatorClass()
{
    return [](QObject *AOwner) -> TZORCustomTranslator * { return new T(AOwner); };
}

// Set by the host before the first ActiveTranslator() call; the default
// creates a TZORCustomTranslator.
ZOR_EXPORT extern TZORTranslatorClass GlobalTranslatorClass;

// The active translator, created on first use through GlobalTranslatorClass.
// Main thread only.
ZOR_EXPORT TZORCustomTranslator *ActiveTranslator();
ZOR_EXPORT bool HasActiveTranslator();

namespace detail {
// Module actions: start-up forgets any instance, shut-down frees it.
ZOR_EXPORT void TranslatorStartup();
ZOR_EXPORT void TranslatorShutdown();
} // namespace detail

} // namespace zor
