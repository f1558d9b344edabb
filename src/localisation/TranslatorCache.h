// The local translation cache: one string dictionary per language pair
// (key = text ID + hash of the text, value = translation), each behind its own
// reader/writer lock, and the dictionary of all pairs behind another. Pairs
// persist as small files of (key, value) strings in the stream encoding.
#pragma once

#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

namespace zor {

class IMultiReadSingleWrite;
class TStream;
class TStreamHelper;

// Seed of the text hash inside cache keys; changing it invalidates every file.
constexpr quint32 TranslateTextKeySeed = 0x9747B28C;

// The translations of one language pair. The dictionary operations take no
// lock: callers hold Sync() (shared to read, exclusive to change). Load and
// save take the lock themselves.
class ZOR_EXPORT TZORLocalCacheLangData
{
public:
    TZORLocalCacheLangData();
    virtual ~TZORLocalCacheLangData();
    TZORLocalCacheLangData(const TZORLocalCacheLangData &) = delete;
    TZORLocalCacheLangData &operator=(const TZORLocalCacheLangData &) = delete;

    IMultiReadSingleWrite &Sync() const;
    // Set by every change of a value; cleared by loading and saving.
    bool Changed() const;
    void SetChanged(bool AValue);

    // ATextID followed by the decimal hash of AText's ANSI bytes. No lock.
    static QString GetTranslateTextKeyName(const QString &ATextID, const QString &AText);

    int Count() const;
    bool ContainsKey(const QString &AKey) const;
    bool TryGetValue(const QString &AKey, QString &AValue) const;
    // Raises EListError "Duplicates not allowed" when the key exists.
    void Add(const QString &AKey, const QString &AValue);
    void AddOrSetValue(const QString &AKey, const QString &AValue);
    void Remove(const QString &AKey);
    void Clear();
    QStringList Keys() const;

    // A missing file leaves the entries as they are.
    void LoadFromFile(const QString &AFileName);
    // Like LoadFromFile, but only a file that is one whole pair block is
    // taken: a count of zero or more, every string inside the data and
    // nothing after the last entry. Anything else leaves the entries as they
    // are and returns false with the reason (and the byte offset) in AError.
    // A missing file is not an error.
    bool LoadFromFileChecked(const QString &AFileName, QString *AError = nullptr);
    // Writes a temporary file beside AFileName and renames it into place, so a
    // failed save leaves the previous file intact. EFCreateError when the
    // folder is missing or not writable.
    void SaveToFile(const QString &AFileName);
    void LoadFromStream(TStream &AStream);
    void SaveToStream(TStream &AStream);
    // One pair block at the stream's position. Loading merges into the entries
    // held (the file wins for equal keys).
    void LoadFromStreamHelper(TStreamHelper &SH);
    void SaveToStreamHelper(TStreamHelper &SH);

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// All pair caches by cache name. Owns them.
class ZOR_EXPORT TZORLocalCacheData
{
public:
    TZORLocalCacheData();
    virtual ~TZORLocalCacheData();
    TZORLocalCacheData(const TZORLocalCacheData &) = delete;
    TZORLocalCacheData &operator=(const TZORLocalCacheData &) = delete;

    IMultiReadSingleWrite &Sync() const;

    // ASourceLang followed directly by ADestLang ("GermanEnglish").
    static QString GetLangPairCacheName(const QString &ASourceLang, const QString &ADestLang);
    TZORLocalCacheLangData *GetCacheByLangPair(const QString &ASourceLang, const QString &ADestLang);
    // Never null: a new name creates its pair cache and calls CacheCreated
    // once, under the exclusive lock, so no other thread sees it half loaded.
    TZORLocalCacheLangData *GetCacheByName(const QString &ACacheName);
    // True when any pair cache has unsaved changes.
    bool Changed() const;

    // Pair caches with their names. Callers hold Sync() while they use them.
    int Count() const;
    QList<QPair<QString, TZORLocalCacheLangData *>> Items() const;
    void Clear();

    // The whole-cache stream: version, pair count, then name and block per pair.
    // A missing file empties the cache.
    void LoadFromFile(const QString &AFileName);
    void SaveToFile(const QString &AFileName);
    void LoadFromStream(TStream &AStream);
    void SaveToStream(TStream &AStream);

protected:
    // Called once for each pair created by GetCacheByName, under the
    // exclusive lock; not for pairs read by LoadFromStream.
    virtual void CacheCreated(const QString &ACacheName, TZORLocalCacheLangData *ACache);

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

// Writes ABytes to AFileName through a temporary file in the same folder that
// is renamed into place. EFCreateError names AFileName when it cannot be written.
ZOR_EXPORT void SaveBytesToFileSafely(const QString &AFileName, const QByteArray &ABytes);

} // namespace zor
