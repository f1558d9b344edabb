#include "localisation/TranslatorCache.h"

#include "core/StreamHelper.h"
#include "core/SyncObjs.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/Stream.h"
#include "utilities/Murmur2.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace zor {

namespace {

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

bool atEnd(TStreamHelper &SH)
{
    TStream *s = SH.Stream();
    return s->Position() >= s->Size();
}

// Plain count read: 0 when fewer than four bytes are left.
qint32 readCount(TStreamHelper &SH)
{
    TStream *s = SH.Stream();
    if (s->Size() - s->Position() < 4) {
        s->Seek(0, soEnd);
        return 0;
    }
    return SH.ReadInteger();
}

const QString kDuplicates = QStringLiteral("Duplicates not allowed");

} // namespace

// --- TZORLocalCacheLangData -------------------------------------------------

struct TZORLocalCacheLangData::Private
{
    IPtr<IMultiReadSingleWrite> sync{new TMultiReadSingleWrite};
    QHash<QString, QString> items;
    std::atomic<bool> changed{false};
};

TZORLocalCacheLangData::TZORLocalCacheLangData() : d(std::make_unique<Private>()) {}
TZORLocalCacheLangData::~TZORLocalCacheLangData() = default;

IMultiReadSingleWrite &TZORLocalCacheLangData::Sync() const { return *d->sync; }
bool TZORLocalCacheLangData::Changed() const { return d->changed.load(std::memory_order_relaxed); }
void TZORLocalCacheLangData::SetChanged(bool AValue) { d->changed.store(AValue, std::memory_order_relaxed); }

QString TZORLocalCacheLangData::GetTranslateTextKeyName(const QString &ATextID, const QString &AText)
{
    return ATextID + QString::number(CalcMurmur2(ToAnsi(AText), TranslateTextKeySeed));
}

int TZORLocalCacheLangData::Count() const { return int(d->items.size()); }
bool TZORLocalCacheLangData::ContainsKey(const QString &AKey) const { return d->items.contains(AKey); }

bool TZORLocalCacheLangData::TryGetValue(const QString &AKey, QString &AValue) const
{
    const auto it = d->items.constFind(AKey);
    if (it == d->items.constEnd())
        return false;
    AValue = it.value();
    return true;
}

void TZORLocalCacheLangData::Add(const QString &AKey, const QString &AValue)
{
    if (d->items.contains(AKey))
        throw EListError(kDuplicates);
    d->items.insert(AKey, AValue);
    SetChanged(true);
}

void TZORLocalCacheLangData::AddOrSetValue(const QString &AKey, const QString &AValue)
{
    d->items.insert(AKey, AValue);
    SetChanged(true);
}

void TZORLocalCacheLangData::Remove(const QString &AKey)
{
    if (d->items.remove(AKey))
        SetChanged(true);
}

void TZORLocalCacheLangData::Clear()
{
    if (!d->items.isEmpty())
        SetChanged(true);
    d->items.clear();
}

QStringList TZORLocalCacheLangData::Keys() const { return d->items.keys(); }

void TZORLocalCacheLangData::LoadFromFile(const QString &AFileName)
{
    if (AFileName.isEmpty() || !QFileInfo(AFileName).isFile())
        return;
    TBufferedFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite, 32768);
    LoadFromStream(stream);
}

void TZORLocalCacheLangData::SaveToFile(const QString &AFileName)
{
    // Many small writes: collect them in memory, then hand the file one block.
    TMemoryStream buffer;
    SaveToStream(buffer);
    SaveBytesToFileSafely(AFileName, buffer.ToBytes());
}

void TZORLocalCacheLangData::LoadFromStream(TStream &AStream)
{
    TStreamHelper SH(&AStream, false);
    LoadFromStreamHelper(SH);
}

void TZORLocalCacheLangData::SaveToStream(TStream &AStream)
{
    TStreamHelper SH(&AStream, false);
    SaveToStreamHelper(SH);
}

void TZORLocalCacheLangData::LoadFromStreamHelper(TStreamHelper &SH)
{
    WriteLock lock(*d->sync);
    const qint32 count = readCount(SH);
    for (qint32 i = 0; i < count; ++i) {
        if (atEnd(SH)) {
            // Every remaining entry would read as an empty key and value:
            // they collapse into one, so stop instead of spinning through a
            // hostile count.
            d->items.insert(QString(), QString());
            break;
        }
        const QString key = SH.ReadString();
        const QString value = SH.ReadString();
        d->items.insert(key, value);
    }
    SetChanged(false);
}

void TZORLocalCacheLangData::SaveToStreamHelper(TStreamHelper &SH)
{
    ReadLock lock(*d->sync);
    SH.WriteInteger(qint32(d->items.size()));
    for (auto it = d->items.constBegin(); it != d->items.constEnd(); ++it) {
        SH.WriteString(it.key());
        SH.WriteString(it.value());
    }
    SetChanged(false);
}

// --- TZORLocalCacheData -----------------------------------------------------

struct TZORLocalCacheData::Private
{
    IPtr<IMultiReadSingleWrite> sync{new TMultiReadSingleWrite};
    QHash<QString, TZORLocalCacheLangData *> caches; // owned

    void clear()
    {
        qDeleteAll(caches);
        caches.clear();
    }
};

TZORLocalCacheData::TZORLocalCacheData() : d(std::make_unique<Private>()) {}

TZORLocalCacheData::~TZORLocalCacheData()
{
    d->clear();
}

IMultiReadSingleWrite &TZORLocalCacheData::Sync() const { return *d->sync; }

QString TZORLocalCacheData::GetLangPairCacheName(const QString &ASourceLang, const QString &ADestLang)
{
    return ASourceLang + ADestLang;
}

TZORLocalCacheLangData *TZORLocalCacheData::GetCacheByLangPair(const QString &ASourceLang,
                                                               const QString &ADestLang)
{
    return GetCacheByName(GetLangPairCacheName(ASourceLang, ADestLang));
}

TZORLocalCacheLangData *TZORLocalCacheData::GetCacheByName(const QString &ACacheName)
{
    {
        ReadLock lock(*d->sync);
        if (TZORLocalCacheLangData *c = d->caches.value(ACacheName))
            return c;
    }
    WriteLock lock(*d->sync);
    if (TZORLocalCacheLangData *c = d->caches.value(ACacheName))
        return c; // another thread created it meanwhile
    auto *cache = new TZORLocalCacheLangData;
    d->caches.insert(ACacheName, cache);
    CacheCreated(ACacheName, cache);
    return cache;
}

bool TZORLocalCacheData::Changed() const
{
    ReadLock lock(*d->sync);
    for (const TZORLocalCacheLangData *c : std::as_const(d->caches))
        if (c->Changed())
            return true;
    return false;
}

int TZORLocalCacheData::Count() const { return int(d->caches.size()); }

QList<QPair<QString, TZORLocalCacheLangData *>> TZORLocalCacheData::Items() const
{
    QList<QPair<QString, TZORLocalCacheLangData *>> out;
    out.reserve(d->caches.size());
    for (auto it = d->caches.constBegin(); it != d->caches.constEnd(); ++it)
        out.append({it.key(), it.value()});
    return out;
}

void TZORLocalCacheData::Clear()
{
    WriteLock lock(*d->sync);
    d->clear();
}

void TZORLocalCacheData::CacheCreated(const QString &, TZORLocalCacheLangData *) {}

void TZORLocalCacheData::LoadFromFile(const QString &AFileName)
{
    if (AFileName.isEmpty() || !QFileInfo(AFileName).isFile()) {
        Clear();
        return;
    }
    TBufferedFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite, 32768);
    LoadFromStream(stream);
}

void TZORLocalCacheData::SaveToFile(const QString &AFileName)
{
    TMemoryStream buffer;
    SaveToStream(buffer);
    SaveBytesToFileSafely(AFileName, buffer.ToBytes());
}

void TZORLocalCacheData::LoadFromStream(TStream &AStream)
{
    WriteLock lock(*d->sync);
    d->clear();
    TStreamHelper SH(&AStream, false);
    readCount(SH); // format version, not interpreted
    const qint32 count = readCount(SH);
    for (qint32 i = 0; i < count; ++i) {
        const QString name = SH.ReadString();
        if (d->caches.contains(name))
            throw EListError(kDuplicates);
        auto *cache = new TZORLocalCacheLangData;
        d->caches.insert(name, cache);
        cache->LoadFromStreamHelper(SH);
    }
}

void TZORLocalCacheData::SaveToStream(TStream &AStream)
{
    ReadLock lock(*d->sync);
    TStreamHelper SH(&AStream, false);
    SH.WriteInteger(1);
    SH.WriteInteger(qint32(d->caches.size()));
    for (auto it = d->caches.constBegin(); it != d->caches.constEnd(); ++it) {
        SH.WriteString(it.key());
        it.value()->SaveToStreamHelper(SH);
    }
}

// --- files -------------------------------------------------------------------

void SaveBytesToFileSafely(const QString &AFileName, const QByteArray &ABytes)
{
    const QFileInfo target(AFileName);
    const QString temp = target.absolutePath() + u'/' + u'.' + target.fileName() + u'.'
                         + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".tmp");
    auto fail = [&](int err) {
        QFile::remove(temp);
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(AFileName),
                                     QString::fromLocal8Bit(strerror(err))));
    };
    if (AFileName.isEmpty())
        throw EFCreateError(QStringLiteral("Cannot create file \"\". %1")
                                .arg(QString::fromLocal8Bit(strerror(ENOENT))));
    int err = 0;
    try {
        TFileStream out(temp, fmCreate | fmShareExclusive);
        out.WriteBuffer(ABytes.constData(), ABytes.size());
        // The data must be on disk before the rename makes it the only copy.
        if (::fsync(out.Handle()) != 0)
            err = errno;
    } catch (const EFCreateError &) {
        err = QFileInfo(target.absolutePath()).isDir() ? EACCES : ENOENT;
    } catch (const EWriteError &) {
        err = ENOSPC;
    }
    if (err != 0)
        fail(err);
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(AFileName).constData()) != 0)
        fail(errno);
}

} // namespace zor
