#include <ZorCompCore/localisation/TranslatorCache.h>

#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/platform/CodePage.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/utilities/Murmur2.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>
#include <QtEndian>

#include <atomic>
#include <mutex>
#include <thread>
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

// The cache is read by every thread that shows a text and written rarely (a
// loader adding translations). A shared mutex would make each read write the
// mutex's cache line, and readers on different cores would take turns for
// it. Here a reader marks only a slot of its own (its thread's, one cache
// line each), so readers share nothing they write; a writer raises a flag
// and waits until every slot is empty.
class TReaderSlotsLock : public TInterfacedObject, public IMultiReadSingleWrite
{
public:
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IMultiReadSingleWrite>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }

    void BeginRead() override
    {
        std::atomic<int> &slot = mySlot();
        for (;;) {
            slot.fetch_add(1, std::memory_order_seq_cst);
            if (!m_writer.load(std::memory_order_seq_cst))
                return;
            // A writer holds or waits for the lock: step back until it is done.
            slot.fetch_sub(1, std::memory_order_seq_cst);
            m_writer.wait(true, std::memory_order_acquire);
        }
    }
    bool TryBeginRead() override
    {
        std::atomic<int> &slot = mySlot();
        slot.fetch_add(1, std::memory_order_seq_cst);
        if (!m_writer.load(std::memory_order_seq_cst))
            return true;
        slot.fetch_sub(1, std::memory_order_seq_cst);
        return false;
    }
    void EndRead() override { mySlot().fetch_sub(1, std::memory_order_release); }

    void BeginWrite() override
    {
        m_writeMutex.lock();
        raiseFlagAndDrain();
    }
    bool TryBeginWrite() override
    {
        if (!m_writeMutex.try_lock())
            return false;
        m_writer.store(true, std::memory_order_seq_cst);
        for (const Slot &s : m_slots)
            if (s.readers.load(std::memory_order_seq_cst) != 0) {
                lowerFlag();
                return false;
            }
        return true;
    }
    void EndWrite() override { lowerFlag(); }

private:
    static constexpr int kSlots = 64;
    struct alignas(64) Slot
    {
        std::atomic<int> readers{0};
    };

    std::atomic<int> &mySlot()
    {
        // Threads get consecutive slot numbers the first time they read any cache.
        static std::atomic<unsigned> next{0};
        thread_local const unsigned index = next.fetch_add(1, std::memory_order_relaxed) % kSlots;
        return m_slots[index].readers;
    }
    void raiseFlagAndDrain()
    {
        m_writer.store(true, std::memory_order_seq_cst);
        for (const Slot &s : m_slots)
            while (s.readers.load(std::memory_order_seq_cst) != 0)
                std::this_thread::yield();
    }
    void lowerFlag()
    {
        m_writer.store(false, std::memory_order_seq_cst);
        m_writer.notify_all();
        m_writeMutex.unlock();
    }

    Slot m_slots[kSlots];
    alignas(64) std::atomic<bool> m_writer{false};
    std::mutex m_writeMutex;
};

// A pair block in memory, parsed in one pass. Returns false for anything but a
// well-formed block (positive count, every string inside the data), which the
// careful stream reader then handles with its documented fallbacks.
bool parseBlock(const char *p, qint64 n, QList<QPair<QString, QString>> &out, qint64 &consumed)
{
    if (Q_BYTE_ORDER != Q_LITTLE_ENDIAN || n < 4)
        return false;
    const qint32 count = qFromLittleEndian<qint32>(p);
    if (count <= 0)
        return false;
    qint64 pos = 4;
    auto readString = [&](QString &s) {
        if (n - pos < 8)
            return false;
        const qint64 units = qFromLittleEndian<qint64>(p + pos);
        pos += 8;
        if (units <= 0)
            return units == 0;
        if (units > (n - pos) / 2)
            return false;
        s = QString(qsizetype(units), Qt::Uninitialized);
        memcpy(s.data(), p + pos, size_t(units) * 2);
        pos += units * 2;
        return true;
    };
    // Bounded by the bytes present: every entry takes at least 16.
    out.reserve(qsizetype(std::min<qint64>(count, (n - 4) / 16)));
    for (qint32 i = 0; i < count; ++i) {
        QString key, value;
        if (!readString(key) || !readString(value))
            return false;
        out.append({std::move(key), std::move(value)});
    }
    consumed = pos;
    return true;
}

// The whole of p[0..n) as one pair block, or false with the reason.
bool parseWholeBlock(const char *p, qint64 n, QList<QPair<QString, QString>> &out, QString &error)
{
    if (n < 4) {
        error = QStringLiteral("the data end at byte offset %1, inside the entry count").arg(n);
        return false;
    }
    const qint32 count = qFromLittleEndian<qint32>(p);
    if (count < 0) {
        error = QStringLiteral("negative entry count %1").arg(count);
        return false;
    }
    qint64 pos = 4;
    auto readString = [&](QString &s, qint32 entry) {
        if (n - pos < 8) {
            error = QStringLiteral("entry %1 of %2: the data end at byte offset %3").arg(entry + 1).arg(count).arg(n);
            return false;
        }
        const qint64 units = qFromLittleEndian<qint64>(p + pos);
        if (units < 0) {
            error = QStringLiteral("entry %1 of %2: negative length at byte offset %3").arg(entry + 1).arg(count).arg(pos);
            return false;
        }
        pos += 8;
        if (units > (n - pos) / 2) {
            error = QStringLiteral("entry %1 of %2: a text of %3 characters runs past the end of the data at byte offset %4")
                        .arg(entry + 1)
                        .arg(count)
                        .arg(units)
                        .arg(n);
            return false;
        }
        s = QString(qsizetype(units), Qt::Uninitialized);
        qFromLittleEndian<quint16>(p + pos, qsizetype(units), s.data());
        pos += units * 2;
        return true;
    };
    out.reserve(qsizetype(std::min<qint64>(count, (n - 4) / 16)));
    for (qint32 i = 0; i < count; ++i) {
        QString key, value;
        if (!readString(key, i) || !readString(value, i))
            return false;
        out.append({std::move(key), std::move(value)});
    }
    if (pos < n) {
        error = QStringLiteral("%1 bytes after the last of %2 entries, from byte offset %3").arg(n - pos).arg(count).arg(pos);
        return false;
    }
    return true;
}

void appendString(QByteArray &buf, const QString &s)
{
    const qint64 units = s.size();
    char len[8];
    qToLittleEndian(units, len);
    buf.append(len, 8);
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        buf.append(reinterpret_cast<const char *>(s.utf16()), qsizetype(units * 2));
    } else {
        for (const QChar c : s) {
            char u[2];
            qToLittleEndian(c.unicode(), u);
            buf.append(u, 2);
        }
    }
}

} // namespace

// --- TZORLocalCacheLangData -------------------------------------------------

struct TZORLocalCacheLangData::Private
{
    IPtr<IMultiReadSingleWrite> sync{new TReaderSlotsLock};
    QHash<QString, QString> items;
    std::atomic<bool> changed{false};

    // The pair block; callers hold the lock (shared at least).
    QByteArray encode() const
    {
        QByteArray buf;
        qsizetype size = 4;
        for (auto it = items.constBegin(); it != items.constEnd(); ++it)
            size += 16 + 2 * (it.key().size() + it.value().size());
        buf.reserve(size);
        char count[4];
        qToLittleEndian(qint32(items.size()), count);
        buf.append(count, 4);
        for (auto it = items.constBegin(); it != items.constEnd(); ++it) {
            appendString(buf, it.key());
            appendString(buf, it.value());
        }
        return buf;
    }
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
    // A copy of its own: sharing the stored text would write its reference
    // count, a cache line every reading thread would then fight over.
    AValue = QString(it.value().constData(), it.value().size());
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
    // One read of the whole file, then a parse in memory.
    TFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite);
    QByteArray data(qsizetype(stream.Size()), Qt::Uninitialized);
    data.truncate(qsizetype(stream.Read(data.data(), data.size())));
    TBytesStream bytes(data);
    LoadFromStream(bytes);
}

bool TZORLocalCacheLangData::LoadFromFileChecked(const QString &AFileName, QString *AError)
{
    if (AFileName.isEmpty() || !QFileInfo(AFileName).isFile())
        return true;
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (AError)
            *AError = file.errorString();
        return false;
    }
    const QByteArray data = file.readAll();
    QList<QPair<QString, QString>> entries;
    QString error;
    if (!parseWholeBlock(data.constData(), data.size(), entries, error)) {
        if (AError)
            *AError = error;
        return false;
    }
    WriteLock lock(*d->sync);
    d->items.reserve(d->items.size() + entries.size());
    for (auto &e : entries)
        d->items.insert(std::move(e.first), std::move(e.second));
    SetChanged(false);
    return true;
}

void TZORLocalCacheLangData::SaveToFile(const QString &AFileName)
{
    QByteArray bytes;
    {
        // Cleared with the encoding under one lock: an entry added while the
        // file is written marks the pair changed again and is saved next time.
        ReadLock lock(*d->sync);
        bytes = d->encode();
        SetChanged(false);
    }
    try {
        SaveBytesToFileSafely(AFileName, bytes);
    } catch (...) {
        SetChanged(true);
        throw;
    }
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
    if (auto *mem = dynamic_cast<TMemoryStream *>(SH.Stream())) {
        const qint64 pos = mem->Position();
        const qint64 size = mem->Size();
        QList<QPair<QString, QString>> entries;
        qint64 consumed = 0;
        if (pos < size
            && parseBlock(static_cast<const char *>(mem->Memory()) + pos, size - pos, entries, consumed)) {
            d->items.reserve(d->items.size() + entries.size());
            for (auto &e : entries)
                d->items.insert(std::move(e.first), std::move(e.second));
            mem->Seek(pos + consumed, soBeginning);
            SetChanged(false);
            return;
        }
    }
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
    // Byte for byte what WriteInteger and WriteString would write, in one go.
    const QByteArray block = d->encode();
    SH.Stream()->WriteBuffer(block.constData(), block.size());
    SetChanged(false);
}

// --- TZORLocalCacheData -----------------------------------------------------

struct TZORLocalCacheData::Private
{
    IPtr<IMultiReadSingleWrite> sync{new TReaderSlotsLock};
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
