#include "Registry.h"

#include "Exception.h"
#include "KnownFolders.h"
#include "Stream.h"
#include "StringList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zor {

namespace {

// ---------------------------------------------------------------------------
// The store of one root key.
//
// File layout (UTF-8 text, one entry a line, similar to exported .reg files):
//
//   ZorCompCore registry 1
//   [Software\Vendor\Product]
//   "Name"="text with \"escapes\"\n"
//   "Count"=dword:0000002a
//   "Path"=expand:"$HOME/x"
//   "Blob"=hex:01,ff,20
//   @="the key's default value"
//
// Lines that cannot be read are skipped, so a damaged file loses only what is
// damaged.

constexpr const char *kHeader = "ZorCompCore registry 1";

struct RegValue
{
    QString name;
    TRegDataType type = rdUnknown;
    QString text;        // rdString, rdExpandString
    quint32 dword = 0;   // rdInteger
    QByteArray binary;   // rdBinary, rdUnknown
};

struct RegKey
{
    QString path; // as first created, segments joined by '\'
    std::vector<RegValue> values;

    RegValue *find(const QString &name)
    {
        for (RegValue &v : values) {
            if (QString::compare(v.name, name, Qt::CaseInsensitive) == 0)
                return &v;
        }
        return nullptr;
    }
};

QString fold(const QString &path)
{
    return path.toCaseFolded();
}

struct Document
{
    // Keyed by the case-folded path; "" is the root key itself.
    std::map<QString, RegKey> keys;

    Document() { keys[QString()] = RegKey{}; }

    RegKey *key(const QString &path)
    {
        auto it = keys.find(fold(path));
        return it == keys.end() ? nullptr : &it->second;
    }
    // Creates the key and every missing parent.
    RegKey &create(const QString &path)
    {
        const QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
        QString sofar;
        RegKey *k = &keys[QString()];
        for (const QString &part : parts) {
            sofar = sofar.isEmpty() ? part : sofar + u'\\' + part;
            auto [it, inserted] = keys.try_emplace(fold(sofar));
            if (inserted)
                it->second.path = sofar;
            k = &it->second;
        }
        return *k;
    }
};

QString escape(const QString &s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += u'"';
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        default:
            // Control characters and surrogates (paired or not) are written as
            // code units, so any UTF-16 string survives the UTF-8 file.
            if (u < 0x20 || QChar::isSurrogate(u))
                out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

// Reads a quoted string starting at pos (which must be at the quote); pos ends
// after the closing quote. False when the text is malformed.
bool unescape(const QString &line, qsizetype &pos, QString &out)
{
    if (pos >= line.size() || line.at(pos) != u'"')
        return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        const QChar c = line.at(pos++);
        if (c == u'"')
            return true;
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        const QChar e = line.at(pos++);
        switch (e.unicode()) {
        case u'\\': out += u'\\'; break;
        case u'"': out += u'"'; break;
        case u'n': out += u'\n'; break;
        case u'r': out += u'\r'; break;
        case u't': out += u'\t'; break;
        case u'u': {
            if (pos + 4 > line.size())
                return false;
            bool ok = false;
            const uint code = line.mid(pos, 4).toUInt(&ok, 16);
            if (!ok)
                return false;
            out += QChar(char16_t(code));
            pos += 4;
            break;
        }
        default: return false;
        }
    }
    return false;
}

QString serialize(const Document &doc)
{
    QString out = QLatin1StringView(kHeader) + u'\n';
    auto writeValues = [&out](const RegKey &k) {
        for (const RegValue &v : k.values) {
            out += v.name.isEmpty() ? QStringLiteral("@") : escape(v.name);
            out += u'=';
            switch (v.type) {
            case rdString: out += escape(v.text); break;
            case rdExpandString: out += QStringLiteral("expand:") + escape(v.text); break;
            case rdInteger: out += QStringLiteral("dword:%1").arg(v.dword, 8, 16, QLatin1Char('0')); break;
            case rdBinary:
            case rdUnknown:
                out += v.type == rdBinary ? QStringLiteral("hex:") : QStringLiteral("unknown:");
                out += QString::fromLatin1(v.binary.toHex(','));
                break;
            }
            out += u'\n';
        }
    };
    for (const auto &[folded, k] : doc.keys) {
        if (!folded.isEmpty())
            out += u'[' + k.path + QStringLiteral("]\n");
        else if (k.values.empty())
            continue;
        writeValues(k);
    }
    return out;
}

bool parseValue(const QString &line, RegValue &v)
{
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        v.name.clear();
        pos = 1;
    } else if (!unescape(line, pos, v.name)) {
        return false;
    }
    if (pos >= line.size() || line.at(pos) != u'=')
        return false;
    ++pos;
    const QStringView rest = QStringView(line).mid(pos);
    if (rest.startsWith(u'"')) {
        v.type = rdString;
        return unescape(line, pos, v.text);
    }
    if (rest.startsWith(u"expand:")) {
        v.type = rdExpandString;
        pos += 7;
        return unescape(line, pos, v.text);
    }
    if (rest.startsWith(u"dword:")) {
        bool ok = false;
        v.type = rdInteger;
        v.dword = rest.mid(6).toUInt(&ok, 16);
        return ok && rest.size() <= 6 + 8;
    }
    const bool hex = rest.startsWith(u"hex:");
    if (hex || rest.startsWith(u"unknown:")) {
        v.type = hex ? rdBinary : rdUnknown;
        const QByteArray digits = rest.mid(hex ? 4 : 8).toLatin1();
        for (const QByteArray &b : digits.split(',')) {
            if (b.isEmpty())
                continue;
            bool ok = false;
            const uint byte = b.toUInt(&ok, 16);
            if (!ok || byte > 0xFF)
                return false;
            v.binary.append(char(byte));
        }
        return true;
    }
    return false;
}

Document parse(const QByteArray &bytes)
{
    Document doc;
    RegKey *current = doc.key(QString());
    const QString text = QString::fromUtf8(bytes);
    for (QStringView raw : QStringView(text).split(u'\n')) {
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        if (raw.trimmed().isEmpty() || raw == QLatin1StringView(kHeader))
            continue;
        const QString line = raw.toString();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString path = line.mid(1, line.size() - 2);
            current = &doc.create(path);
            continue;
        }
        RegValue v;
        if (!parseValue(line, v))
            continue;
        if (RegValue *existing = current->find(v.name))
            *existing = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
    return doc;
}

// ---------------------------------------------------------------------------
// Process-wide cache of the stores, refreshed when the file changed on disk.

struct FileSignature
{
    bool exists = false;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    bool operator==(const FileSignature &) const = default;
};

FileSignature signatureOf(const QString &fileName)
{
    FileSignature s;
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

struct CachedStore
{
    Document doc;
    FileSignature signature;
    bool loaded = false;
};

std::mutex gStoresMutex;
QHash<QString, CachedStore> &stores()
{
    static QHash<QString, CachedStore> s;
    return s;
}

// Bounded read: a registry store that has grown beyond this is not ours.
constexpr qint64 kMaxStoreSize = 256 * 1024 * 1024;

CachedStore &refreshed(const QString &fileName)
{
    CachedStore &store = stores()[fileName];
    const FileSignature sig = signatureOf(fileName);
    if (store.loaded && sig == store.signature)
        return store;
    store.doc = Document();
    if (sig.exists) {
        QFile f(fileName);
        if (f.open(QIODevice::ReadOnly) && f.size() <= kMaxStoreSize)
            store.doc = parse(f.readAll());
    }
    store.signature = sig;
    store.loaded = true;
    return store;
}

// Serialises writers of other processes for the read-modify-write.
class FileLock
{
public:
    explicit FileLock(const QString &fileName)
    {
        FFd = ::open(QFile::encodeName(fileName + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC,
                     0666);
        if (FFd >= 0)
            while (::flock(FFd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FileLock()
    {
        if (FFd >= 0)
            ::close(FFd);
    }

private:
    int FFd = -1;
};

template<typename Fn>
auto readStore(const QString &fileName, Fn fn)
{
    std::lock_guard lock(gStoresMutex);
    return fn(refreshed(fileName).doc);
}

// fn returns true when it changed the document; the store is then written
// through. A failed write leaves the file and the cache as they were.
template<typename Fn>
bool modifyStore(const QString &fileName, Fn fn)
{
    std::lock_guard lock(gStoresMutex);
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    FileLock fileLock(fileName);
    CachedStore &store = refreshed(fileName);
    Document copy = store.doc;
    if (!fn(copy))
        return true;
    if (!WriteFileAtomically(fileName, serialize(copy).toUtf8()))
        return false;
    store.doc = std::move(copy);
    store.signature = signatureOf(fileName);
    return true;
}

// ---------------------------------------------------------------------------

QString rootName(HKEY root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT: return QStringLiteral("HKEY_CLASSES_ROOT");
    case HKEY_CURRENT_USER: return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE: return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_USERS: return QStringLiteral("HKEY_USERS");
    case HKEY_CURRENT_CONFIG: return QStringLiteral("HKEY_CURRENT_CONFIG");
    default: return QStringLiteral("HKEY_%1").arg(root, 8, 16, QLatin1Char('0'));
    }
}

[[noreturn]] void invalidType(const QString &name)
{
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
}

[[noreturn]] void getFailed(const QString &name)
{
    throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(name));
}

[[noreturn]] void setFailed(const QString &name)
{
    throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name));
}

bool validPath(const QString &path)
{
    for (const QChar c : path) {
        if (c.unicode() < 0x20)
            return false;
    }
    return true;
}

int dataSize(const RegValue &v)
{
    switch (v.type) {
    case rdString:
    case rdExpandString: return int(std::min<qint64>((v.text.size() + 1) * 2, INT_MAX));
    case rdInteger: return 4;
    default: return int(std::min<qint64>(v.binary.size(), INT_MAX));
    }
}

} // namespace

// ---------------------------------------------------------------------------

struct TRegistry::Private
{
    HKEY root = HKEY_CURRENT_USER;
    quint32 access = KEY_ALL_ACCESS;
    bool hasKey = false;
    QString currentPath;
    bool readOnlyKey = false;

    QString file() const { return StoreFileName(root); }
    bool canWrite() const { return (access & 0x2) != 0; } // KEY_SET_VALUE

    // The normalised absolute path a key name refers to.
    QString resolve(const QString &key) const
    {
        QString path = key;
        if (!key.startsWith(u'\\') && hasKey && !currentPath.isEmpty())
            path = currentPath + u'\\' + key;
        return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
    }

    // The value operations work on the open key, or the root when none is open.
    QString valueKey() const { return hasKey ? currentPath : QString(); }

    template<typename Fn>
    auto withValue(const QString &name, Fn fn)
    {
        const QString path = valueKey();
        return readStore(file(), [&](Document &doc) {
            RegKey *k = doc.key(path);
            return fn(k ? k->find(name) : static_cast<RegValue *>(nullptr));
        });
    }

    void write(const QString &name, RegValue value)
    {
        if (readOnlyKey || !canWrite())
            setFailed(name);
        value.name = name;
        const QString path = valueKey();
        bool keyMissing = false;
        const bool ok = modifyStore(file(), [&](Document &doc) {
            RegKey *k = doc.key(path);
            if (!k) {
                keyMissing = true;
                return false;
            }
            if (RegValue *existing = k->find(name)) {
                value.name = existing->name; // keeps the spelling it was created with
                *existing = std::move(value);
            } else {
                k->values.push_back(std::move(value));
            }
            return true;
        });
        if (!ok || keyMissing)
            setFailed(name);
    }
};

TRegistry::TRegistry() : d(std::make_unique<Private>()) {}

TRegistry::TRegistry(quint32 access) : TRegistry()
{
    d->access = access;
}

TRegistry::~TRegistry() = default;

QString TRegistry::StoreFileName(HKEY root)
{
    QString dir = qEnvironmentVariable("ZOR_REGISTRY_DIR");
    if (dir.isEmpty())
        dir = RoamingAppDataPath() + QStringLiteral("/ZorCompCore/registry");
    return QDir::cleanPath(dir) + u'/' + rootName(root) + QStringLiteral(".reg");
}

HKEY TRegistry::RootKey() const { return d->root; }

void TRegistry::SetRootKey(HKEY root)
{
    if (root == d->root)
        return;
    CloseKey();
    d->root = root;
}

quint32 TRegistry::Access() const { return d->access; }
void TRegistry::SetAccess(quint32 access) { d->access = access; }
QString TRegistry::CurrentPath() const { return d->hasKey ? d->currentPath : QString(); }
bool TRegistry::HasCurrentKey() const { return d->hasKey; }

bool TRegistry::OpenKey(const QString &key, bool canCreate)
{
    if (!validPath(key))
        return false;
    const QString path = d->resolve(key);
    bool exists = KeyExists(QStringLiteral("\\") + path);
    if (!exists && canCreate && d->canWrite()) {
        exists = modifyStore(d->file(), [&](Document &doc) {
            if (doc.key(path))
                return false;
            doc.create(path);
            return true;
        });
    }
    if (!exists)
        return false;
    d->hasKey = true;
    d->currentPath = path;
    d->readOnlyKey = !d->canWrite();
    return true;
}

bool TRegistry::OpenKeyReadOnly(const QString &key)
{
    if (!validPath(key))
        return false;
    const QString path = d->resolve(key);
    if (!KeyExists(QStringLiteral("\\") + path))
        return false;
    d->hasKey = true;
    d->currentPath = path;
    d->readOnlyKey = true;
    return true;
}

void TRegistry::CloseKey()
{
    d->hasKey = false;
    d->currentPath.clear();
    d->readOnlyKey = false;
}

bool TRegistry::CreateKey(const QString &key)
{
    const QString path = d->resolve(key);
    bool ok = validPath(key) && !path.isEmpty() && d->canWrite();
    if (ok) {
        ok = modifyStore(d->file(), [&](Document &doc) {
            if (doc.key(path))
                return false;
            doc.create(path);
            return true;
        });
    }
    if (!ok)
        throw ERegistryException(QStringLiteral("Failed to create key %1").arg(key));
    return true;
}

bool TRegistry::DeleteKey(const QString &key)
{
    const QString path = d->resolve(key);
    if (path.isEmpty() || !d->canWrite() || !validPath(key))
        return false;
    bool existed = false;
    const bool ok = modifyStore(d->file(), [&](Document &doc) {
        const QString folded = fold(path);
        const QString prefix = folded + u'\\';
        for (auto it = doc.keys.begin(); it != doc.keys.end();) {
            if (it->first == folded || it->first.startsWith(prefix)) {
                existed = true;
                it = doc.keys.erase(it);
            } else {
                ++it;
            }
        }
        return existed;
    });
    return ok && existed;
}

bool TRegistry::KeyExists(const QString &key)
{
    if (!validPath(key))
        return false;
    const QString path = d->resolve(key);
    return readStore(d->file(), [&](Document &doc) { return doc.key(path) != nullptr; });
}

QStringList TRegistry::KeyNames()
{
    const QString path = d->valueKey();
    return readStore(d->file(), [&](Document &doc) {
        QStringList names;
        const QString folded = fold(path);
        const QString prefix = folded.isEmpty() ? QString() : folded + u'\\';
        for (auto it = doc.keys.lower_bound(prefix); it != doc.keys.end(); ++it) {
            if (!it->first.startsWith(prefix))
                break;
            if (it->first.isEmpty() || it->first.indexOf(u'\\', prefix.size()) >= 0)
                continue;
            names << it->second.path.section(u'\\', -1);
        }
        return names;
    });
}

QStringList TRegistry::ValueNames()
{
    return readStore(d->file(), [&](Document &doc) {
        QStringList names;
        if (RegKey *k = doc.key(d->valueKey())) {
            for (const RegValue &v : k->values)
                names << v.name;
        }
        return names;
    });
}

bool TRegistry::HasSubKeys()
{
    return !KeyNames().isEmpty();
}

void TRegistry::GetKeyNames(TStringList &strings)
{
    const QStringList names = KeyNames();
    strings.BeginUpdate();
    strings.Clear();
    for (const QString &n : names)
        strings.Add(n);
    strings.EndUpdate();
}

void TRegistry::GetValueNames(TStringList &strings)
{
    const QStringList names = ValueNames();
    strings.BeginUpdate();
    strings.Clear();
    for (const QString &n : names)
        strings.Add(n);
    strings.EndUpdate();
}

bool TRegistry::ValueExists(const QString &name)
{
    return d->withValue(name, [](RegValue *v) { return v != nullptr; });
}

bool TRegistry::GetDataInfo(const QString &name, TRegDataInfo &info)
{
    return d->withValue(name, [&](RegValue *v) {
        info = TRegDataInfo{};
        if (!v)
            return false;
        info.RegData = v->type;
        info.DataSize = dataSize(*v);
        return true;
    });
}

TRegDataType TRegistry::GetDataType(const QString &name)
{
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

int TRegistry::GetDataSize(const QString &name)
{
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

bool TRegistry::DeleteValue(const QString &name)
{
    if (d->readOnlyKey || !d->canWrite())
        return false;
    const QString path = d->valueKey();
    bool existed = false;
    const bool ok = modifyStore(d->file(), [&](Document &doc) {
        RegKey *k = doc.key(path);
        if (!k)
            return false;
        for (auto it = k->values.begin(); it != k->values.end(); ++it) {
            if (QString::compare(it->name, name, Qt::CaseInsensitive) == 0) {
                k->values.erase(it);
                existed = true;
                return true;
            }
        }
        return false;
    });
    return ok && existed;
}

void TRegistry::RenameValue(const QString &oldName, const QString &newName)
{
    if (d->readOnlyKey || !d->canWrite())
        setFailed(newName);
    const QString path = d->valueKey();
    const bool ok = modifyStore(d->file(), [&](Document &doc) {
        RegKey *k = doc.key(path);
        if (!k || !k->find(oldName) || k->find(newName))
            return false;
        k->find(oldName)->name = newName;
        return true;
    });
    if (!ok)
        setFailed(newName);
}

QString TRegistry::ReadString(const QString &name)
{
    bool wrongType = false;
    const QString result = d->withValue(name, [&](RegValue *v) {
        if (!v)
            return QString();
        if (v->type != rdString && v->type != rdExpandString) {
            wrongType = true;
            return QString();
        }
        return v->text;
    });
    if (wrongType)
        invalidType(name);
    return result;
}

void TRegistry::WriteString(const QString &name, const QString &value)
{
    RegValue v;
    v.type = rdString;
    v.text = value;
    d->write(name, std::move(v));
}

void TRegistry::WriteExpandString(const QString &name, const QString &value)
{
    RegValue v;
    v.type = rdExpandString;
    v.text = value;
    d->write(name, std::move(v));
}

int TRegistry::ReadInteger(const QString &name)
{
    int state = 0; // 1 absent, 2 wrong type
    const quint32 value = d->withValue(name, [&](RegValue *v) -> quint32 {
        if (!v)
            state = 1;
        else if (v->type != rdInteger)
            state = 2;
        return v && v->type == rdInteger ? v->dword : 0;
    });
    if (state == 1)
        getFailed(name);
    if (state == 2)
        invalidType(name);
    return int(value);
}

void TRegistry::WriteInteger(const QString &name, int value)
{
    RegValue v;
    v.type = rdInteger;
    v.dword = quint32(value);
    d->write(name, std::move(v));
}

bool TRegistry::ReadBool(const QString &name)
{
    return ReadInteger(name) != 0;
}

void TRegistry::WriteBool(const QString &name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

double TRegistry::ReadFloat(const QString &name)
{
    int state = 0;
    const QByteArray bytes = d->withValue(name, [&](RegValue *v) {
        if (!v)
            state = 1;
        else if (v->type != rdBinary || v->binary.size() != 8)
            state = 2;
        return state == 0 ? v->binary : QByteArray();
    });
    if (state == 1)
        getFailed(name);
    if (state == 2)
        invalidType(name);
    return qFromLittleEndian<double>(bytes.constData());
}

void TRegistry::WriteFloat(const QString &name, double value)
{
    char bytes[8];
    qToLittleEndian<double>(value, bytes);
    WriteBinaryData(name, bytes, 8);
}

TDateTime TRegistry::ReadDateTime(const QString &name)
{
    return ReadFloat(name);
}

void TRegistry::WriteDateTime(const QString &name, TDateTime value)
{
    WriteFloat(name, value);
}

int TRegistry::ReadBinaryData(const QString &name, void *buffer, int bufSize)
{
    bool invalid = false;
    const int n = d->withValue(name, [&](RegValue *v) {
        if (!v)
            return 0;
        if ((v->type != rdBinary && v->type != rdUnknown) || v->binary.size() > qsizetype(std::max(bufSize, 0))) {
            invalid = true;
            return 0;
        }
        if (!v->binary.isEmpty())
            std::memcpy(buffer, v->binary.constData(), size_t(v->binary.size()));
        return int(v->binary.size());
    });
    if (invalid)
        invalidType(name);
    return n;
}

QByteArray TRegistry::ReadBinaryData(const QString &name)
{
    bool invalid = false;
    const QByteArray result = d->withValue(name, [&](RegValue *v) {
        if (!v)
            return QByteArray();
        if (v->type != rdBinary && v->type != rdUnknown) {
            invalid = true;
            return QByteArray();
        }
        return v->binary;
    });
    if (invalid)
        invalidType(name);
    return result;
}

void TRegistry::WriteBinaryData(const QString &name, const void *buffer, int bufSize)
{
    WriteBinaryData(name, QByteArray(static_cast<const char *>(buffer), std::max(bufSize, 0)));
}

void TRegistry::WriteBinaryData(const QString &name, const QByteArray &data)
{
    RegValue v;
    v.type = rdBinary;
    v.binary = data;
    d->write(name, std::move(v));
}

} // namespace zor
