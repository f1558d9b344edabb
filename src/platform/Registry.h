// TRegistry: a hierarchical store of typed values under keys
// ("Software\Vendor\Product"), one store per root key. Each root is kept in a
// text file "<ROOT NAME>.reg" in the registry folder ($ZOR_REGISTRY_DIR, else
// <roaming app data>/ZorCompCore/registry). Every change is written through
// at once (to a temporary file renamed into place), so a crash never leaves a
// half-written store and a second TRegistry, in this process or another,
// sees it. Key and value names compare ignoring case.
#pragma once

#include "DateTime.h"
#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace zor {

class TStringList;

using HKEY = quint32;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Access rights given to the constructor: KEY_READ opens keys read-only.
constexpr quint32 KEY_READ = 0x20019u;
constexpr quint32 KEY_WRITE = 0x20006u;
constexpr quint32 KEY_ALL_ACCESS = 0xF003Fu;

enum TRegDataType { rdUnknown = 0, rdString = 1, rdExpandString = 2, rdInteger = 3, rdBinary = 4 };

struct TRegDataInfo
{
    TRegDataType RegData = rdUnknown;
    int DataSize = 0; // bytes: strings count UTF-16 code units plus a terminator, as stored on Windows
};

// Values are typed: reading a value as another type raises ERegistryException
// "Invalid data type for '%s'"; reading an absent value raises "Failed to get
// data for '%s'" (ReadString and ReadBinaryData return empty instead), writing
// through a read-only key raises "Failed to set data for '%s'". The empty
// name is the key's default value. Floats and date-times are 8-byte binary
// values, booleans integers.
class ZOR_EXPORT TRegistry
{
public:
    TRegistry();                        // HKEY_CURRENT_USER, KEY_ALL_ACCESS
    explicit TRegistry(quint32 access);
    ~TRegistry();
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;

    HKEY RootKey() const;
    void SetRootKey(HKEY root);         // closes the current key
    quint32 Access() const;
    void SetAccess(quint32 access);
    // Path of the open key without a leading backslash; empty when none is open.
    QString CurrentPath() const;
    bool HasCurrentKey() const;

    // A key starting with '\' is absolute; otherwise it is relative to the open
    // key (or the root). canCreate creates missing keys, parents included.
    bool OpenKey(const QString &key, bool canCreate);
    bool OpenKeyReadOnly(const QString &key);
    void CloseKey();
    bool CreateKey(const QString &key);
    bool DeleteKey(const QString &key);  // with all its sub-keys
    bool KeyExists(const QString &key);
    bool HasSubKeys();
    void GetKeyNames(TStringList &strings);
    void GetValueNames(TStringList &strings);
    QStringList KeyNames();
    QStringList ValueNames();

    bool ValueExists(const QString &name);
    bool GetDataInfo(const QString &name, TRegDataInfo &info);
    TRegDataType GetDataType(const QString &name); // rdUnknown when absent
    int GetDataSize(const QString &name);          // -1 when absent
    bool DeleteValue(const QString &name);
    void RenameValue(const QString &oldName, const QString &newName);

    QString ReadString(const QString &name);
    void WriteString(const QString &name, const QString &value);
    void WriteExpandString(const QString &name, const QString &value);
    int ReadInteger(const QString &name);
    void WriteInteger(const QString &name, int value);
    bool ReadBool(const QString &name);
    void WriteBool(const QString &name, bool value);
    double ReadFloat(const QString &name);
    void WriteFloat(const QString &name, double value);
    TDateTime ReadDateTime(const QString &name);
    void WriteDateTime(const QString &name, TDateTime value);
    // Copies up to bufSize bytes; returns the value's size (0 when absent).
    // A value larger than the buffer raises "Invalid data type for '%s'".
    int ReadBinaryData(const QString &name, void *buffer, int bufSize);
    QByteArray ReadBinaryData(const QString &name);
    void WriteBinaryData(const QString &name, const void *buffer, int bufSize);
    void WriteBinaryData(const QString &name, const QByteArray &data);

    // The file that holds the store of a root key.
    static QString StoreFileName(HKEY root);

private:
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor
