#include "ShellAssoc.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

#include <cstring>

namespace zor {

namespace {

struct Handler
{
    QUuid clsid;
    bool blocked = false; // the type answers "none" and its ancestors are not asked
};

struct AssocTable
{
    QMutex lock;
    QHash<QPair<QString, QUuid>, Handler> handlers; // (MIME type, interface) -> class
};

AssocTable &Table()
{
    static AssocTable table;
    return table;
}

// Registration may run from the library's load hook: no QString globals.
constexpr QLatin1StringView kOctetStream("application/octet-stream");

// The MIME types to ask, nearest first: the type (by name or extension),
// then its ancestors breadth first, as QMimeType lists them.
QStringList Candidates(const QString &assoc)
{
    const QMimeDatabase db;
    QMimeType type;
    if (assoc.contains(u'/')) {
        type = db.mimeTypeForName(assoc);
    } else {
        if (!assoc.startsWith(u'.') || assoc.size() < 2)
            return {};
        type = db.mimeTypeForFile(QStringLiteral("x") + assoc, QMimeDatabase::MatchExtension);
    }
    if (!type.isValid() || type.isDefault())
        return {};
    QStringList names{type.name()};
    names += type.allAncestors();
    names.removeAll(kOctetStream);
    return names;
}

} // namespace

namespace {

// The MIME database is not loaded here: registering at start-up stays cheap.
void Register(const QString &mimeType, const QUuid &handlerIid, const Handler &h)
{
    if (mimeType == kOctetStream)
        return;
    AssocTable &t = Table();
    QMutexLocker locker(&t.lock);
    if (h.clsid.isNull() && !h.blocked)
        t.handlers.remove({mimeType, handlerIid});
    else
        t.handlers.insert({mimeType, handlerIid}, h);
}

} // namespace

void AssocRegisterShellExtension(const QString &mimeType, const QUuid &handlerIid, const QUuid &clsid)
{
    Register(mimeType, handlerIid, {clsid, false});
}

void AssocBlockShellExtension(const QString &mimeType, const QUuid &handlerIid)
{
    Register(mimeType, handlerIid, {QUuid(), true});
}

QString AssocQueryShellExtension(const QString &assoc, const QUuid &handlerIid, bool verify)
{
    const QStringList names = Candidates(assoc);
    AssocTable &t = Table();
    for (const QString &name : names) {
        Handler h;
        {
            QMutexLocker locker(&t.lock);
            h = t.handlers.value({name, handlerIid});
        }
        if (h.blocked)
            return {};
        if (h.clsid.isNull() || (verify && CoClassContexts(h.clsid) == 0))
            continue;
        return h.clsid.toString(QUuid::WithBraces).toLower();
    }
    return {};
}

HRESULT AssocQueryStringW(quint32 flags, int str, const QString &assoc, const QString &extra, char16_t *out,
                          quint32 *outLength)
{
    if (!outLength)
        return E_INVALIDARG;
    if (str != ASSOCSTR_SHELLEXTENSION)
        return E_NOTIMPL;
    const QUuid iid = QUuid::fromString(extra);
    if (iid.isNull())
        return E_INVALIDARG;
    const QString found = AssocQueryShellExtension(assoc, iid, (flags & ASSOCF_VERIFY) != 0);
    if (found.isEmpty())
        return HRESULT_ERROR_NO_ASSOCIATION;
    const quint32 needed = quint32(found.size()) + 1;
    if (!out) {
        *outLength = needed;
        return S_FALSE;
    }
    if (*outLength < needed) {
        if ((flags & ASSOCF_NOTRUNCATE) || *outLength == 0) {
            *outLength = needed;
            return E_POINTER;
        }
        std::memcpy(out, found.utf16(), (*outLength - 1) * sizeof(char16_t));
        out[*outLength - 1] = 0;
        return S_OK;
    }
    std::memcpy(out, found.utf16(), found.size() * sizeof(char16_t));
    out[found.size()] = 0;
    *outLength = needed;
    return S_OK;
}

namespace {

class TShellItem final : public TInterfacedObject, public IShellItem
{
public:
    explicit TShellItem(QString path) : FPath(std::move(path)) {}
    HRESULT QueryInterface(const QUuid &iid, void **obj) override
    {
        if (AnswerInterface<IShellItem>(this, iid, obj))
            return S_OK;
        return TInterfacedObject::QueryInterface(iid, obj);
    }
    int AddRef() override { return TInterfacedObject::AddRef(); }
    int Release() override { return TInterfacedObject::Release(); }
    HRESULT GetDisplayName(quint32 sigdn, QString &name) override
    {
        if (sigdn == SIGDN_FILESYSPATH)
            name = FPath;
        else if (sigdn == SIGDN_NORMALDISPLAY)
            name = QFileInfo(FPath).fileName();
        else
            return E_INVALIDARG;
        return S_OK;
    }

private:
    QString FPath;
};

} // namespace

HRESULT SHCreateItemFromParsingName(const QString &path, IInterface *, const QUuid &iid, void **obj)
{
    if (!obj)
        return E_POINTER;
    *obj = nullptr;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return HResultFromWin32(2); // ERROR_FILE_NOT_FOUND
    IPtr<IInterface> item(new TShellItem(info.absoluteFilePath()));
    return item->QueryInterface(iid, obj);
}

} // namespace zor
