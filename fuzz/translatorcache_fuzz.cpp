// Feeds arbitrary bytes to the translation cache readers: the first byte picks
// a pair block or the whole-cache stream. Whatever loads must save and load
// back to the same entries.
#include <ZorCompCore/core/SyncObjs.h>
#include <ZorCompCore/localisation/TranslatorCache.h>
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Stream.h>

#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>
#include <cstdlib>

using namespace zor;

namespace {

QStringList entries(TZORLocalCacheLangData &c)
{
    QStringList out;
    for (const QString &k : c.Keys()) {
        QString v;
        c.TryGetValue(k, v);
        out << k + QChar(0) + v;
    }
    out.sort();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool full = data[0] & 1;
    TBytesStream in(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    if (!full) {
        TZORLocalCacheLangData pair;
        pair.LoadFromStream(in);
        TMemoryStream out;
        pair.SaveToStream(out);
        out.SetPosition(0);
        TZORLocalCacheLangData back;
        back.LoadFromStream(out);
        if (entries(pair) != entries(back))
            abort();
        // The checked file reader takes only whole blocks, and reads them as
        // the stream reader does.
        static const QString file = QDir::tempPath() + QStringLiteral("/translatorcache_fuzz_%1.lc").arg(getpid());
        {
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly))
                abort();
            f.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
        }
        TZORLocalCacheLangData checked;
        QString error;
        if (checked.LoadFromFileChecked(file, &error)) {
            if (entries(checked) != entries(pair))
                abort();
        } else if (error.isEmpty()) {
            abort(); // a refusal names its reason
        }
        return 0;
    }
    TZORLocalCacheData cache;
    try {
        cache.LoadFromStream(in);
    } catch (const EListError &) {
        return 0; // a repeated cache name
    }
    TMemoryStream out;
    cache.SaveToStream(out);
    out.SetPosition(0);
    TZORLocalCacheData back;
    back.LoadFromStream(out);
    if (back.Count() != cache.Count())
        abort();
    for (const auto &[name, pair] : cache.Items())
        if (entries(*pair) != entries(*back.GetCacheByName(name)))
            abort();
    return 0;
}
