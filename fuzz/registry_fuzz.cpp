// Reads arbitrary bytes as a registry store file: every key and value that can
// be read must survive a write through the store unchanged, and nothing may
// crash on damaged input.
#include <ZorCompCore/platform/Exception.h>
#include <ZorCompCore/platform/Registry.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace {

using Snapshot = std::map<QString, QByteArray>;

// Every value of every key as type and data, keyed by the folded path and name.
void collect(zor::TRegistry &reg, const QString &path, Snapshot &out, int depth)
{
    if (depth > 64 || !reg.OpenKey(QStringLiteral("\\") + path, false))
        return;
    for (const QString &name : reg.ValueNames()) {
        zor::TRegDataInfo info;
        if (!reg.GetDataInfo(name, info))
            continue;
        QByteArray data = QByteArray::number(int(info.RegData)) + ':';
        if (info.RegData == zor::rdString || info.RegData == zor::rdExpandString)
            data += reg.ReadString(name).toUtf8();
        else if (info.RegData == zor::rdInteger)
            data += QByteArray::number(reg.ReadInteger(name));
        else
            data += reg.ReadBinaryData(name);
        out[(path + u'|' + name).toCaseFolded()] = data;
    }
    const QStringList keys = reg.KeyNames();
    for (const QString &key : keys)
        collect(reg, path.isEmpty() ? key : path + u'\\' + key, out, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    qputenv("ZOR_REGISTRY_DIR", dir.path().toUtf8());
    const QString file = zor::TRegistry::StoreFileName(zor::HKEY_CURRENT_USER);
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    try {
        zor::TRegistry reg;
        Snapshot before;
        collect(reg, QString(), before, 0);
        reg.CloseKey();
        reg.WriteString(QStringLiteral("fuzz-marker"), QStringLiteral("x")); // forces a rewrite
        reg.DeleteValue(QStringLiteral("fuzz-marker"));
        Snapshot after;
        collect(reg, QString(), after, 0);
        if (before.erase(QStringLiteral("|fuzz-marker")), before != after)
            std::abort();
    } catch (const zor::Exception &) {
    }
    return 0;
}
