// The shell's association query for handlers of a kind of file. Handlers
// register per MIME type (for the interface they implement, such as the
// preview handler's); a query for an extension looks at the extension's MIME
// type (by file name), then at that type's ancestors, and the first type with
// a handler answers. application/octet-stream, every type's last ancestor,
// never has one. The answer is the class in lower-case braced text.
#pragma once

#include "ComObj.h"

namespace zor {

// Flags and the one string kind the query answers.
constexpr quint32 ASSOCF_INIT_NOREMAPCLSID = 0x1;
constexpr quint32 ASSOCF_NOTRUNCATE = 0x20;
constexpr quint32 ASSOCF_VERIFY = 0x40;
constexpr int ASSOCSTR_SHELLEXTENSION = 16;
constexpr HRESULT HRESULT_ERROR_NO_ASSOCIATION = qint32(0x80070483u);

// Registers clsid as the handler implementing handlerIid for a MIME type
// (its canonical name; a null clsid removes the entry). Registering
// application/octet-stream is ignored.
ZOR_EXPORT void AssocRegisterShellExtension(const QString &mimeType, const QUuid &handlerIid, const QUuid &clsid);
// A type that has no handler although an ancestor has one (the search stops there).
ZOR_EXPORT void AssocBlockShellExtension(const QString &mimeType, const QUuid &handlerIid);

// The handler class for assoc (".ext", or a MIME type name when it holds a
// '/') implementing extra (the interface's braced text). With ASSOCF_VERIFY
// only classes present in the class table count. Without an output buffer,
// *outLength gets the length with terminator and the result is S_FALSE; a
// buffer that is too small gives E_POINTER with ASSOCF_NOTRUNCATE (else the
// text is cut); nothing found gives HRESULT_ERROR_NO_ASSOCIATION.
ZOR_EXPORT HRESULT AssocQueryStringW(quint32 flags, int str, const QString &assoc, const QString &extra,
                                     char16_t *out, quint32 *outLength);

// The same query in Qt terms: the class text, empty when there is none.
ZOR_EXPORT QString AssocQueryShellExtension(const QString &assoc, const QUuid &handlerIid, bool verify = true);

} // namespace zor

namespace zor {

// A file system item as the shell hands it to handlers.
class ZOR_EXPORT IShellItem : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{43826D1E-E718-42EE-BC55-A1E261C37BFE}");
    // SIGDN_FILESYSPATH gives the absolute path, SIGDN_NORMALDISPLAY the file name.
    virtual HRESULT GetDisplayName(quint32 sigdn, QString &name) = 0;
};

constexpr quint32 SIGDN_NORMALDISPLAY = 0x00000000u;
constexpr quint32 SIGDN_FILESYSPATH = 0x80058000u;

// The item for an existing path; a path that does not exist gives
// HResultFromWin32(ERROR_FILE_NOT_FOUND).
ZOR_EXPORT HRESULT SHCreateItemFromParsingName(const QString &path, IInterface *bindContext, const QUuid &iid,
                                               void **obj);

} // namespace zor
