// The object runtime behind creatable classes: HRESULT codes with their
// system texts, EOleSysError and OleCheck, a per-thread error description (as
// an object's error info travels with a failing call), and one process-wide
// class table for CoCreateInstance. A class has an in-process factory, a
// local server (an object living in a helper process, reached through a
// proxy the factory returns), or both; the caller's context picks one.
#pragma once

#include "Exception.h"
#include "Interface.h"

#include <functional>

namespace zor {

constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = qint32(0x80004001u);
constexpr HRESULT E_POINTER = qint32(0x80004003u);
constexpr HRESULT E_ABORT = qint32(0x80004004u);
constexpr HRESULT E_FAIL = qint32(0x80004005u);
constexpr HRESULT E_UNEXPECTED = qint32(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = qint32(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = qint32(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = qint32(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = qint32(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = qint32(0x80040154u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = qint32(0x80080005u);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }
// A system error number as an HRESULT (facility 7).
constexpr HRESULT HResultFromWin32(quint32 code)
{
    return code == 0 ? S_OK : qint32((code & 0xFFFFu) | 0x80070000u);
}

// Class contexts for CoCreateInstance.
constexpr quint32 CLSCTX_INPROC_SERVER = 0x1;
constexpr quint32 CLSCTX_LOCAL_SERVER = 0x4;

// A failed call: ErrorCode is its HRESULT.
class ZOR_EXPORT EOleSysError : public Exception
{
public:
    // An empty message takes the code's system text.
    explicit EOleSysError(QString message, HRESULT errorCode);
    const char *ClassName() const override { return "EOleSysError"; }
    HRESULT ErrorCode = E_FAIL;
};

// The system's text for a code ("Class not registered"); codes without one
// give "OLE error XXXXXXXX".
ZOR_EXPORT QString OleErrorText(HRESULT code);

// The description an object leaves for its caller when a call fails. It is
// per thread and taken (cleared) by the next OleCheck or TakeErrorInfo.
ZOR_EXPORT void SetErrorInfo(const QString &description);
ZOR_EXPORT QString TakeErrorInfo();

// Raises EOleSysError for a failed result: with the pending error
// description when the failing object left one, else the system text.
// Returns the result when it succeeded (S_FALSE included).
ZOR_EXPORT HRESULT OleCheck(HRESULT result);

// For an object's methods: the HRESULT for the exception being handled
// (its ErrorCode for EOleSysError, E_FAIL otherwise), leaving its message as
// the error description. Call inside a catch block only.
ZOR_EXPORT HRESULT HandleCallException();

// Makes an object of a class; throws on failure (EOleSysError carries a code,
// anything else counts as E_FAIL in process and CO_E_SERVER_EXEC_FAILURE for
// a local server).
using TClassFactory = std::function<IPtr<IInterface>()>;

struct TComClassEntry
{
    TClassFactory InProcess;   // runs in this process, on the caller's thread
    TClassFactory LocalServer; // returns a proxy to an object in another process
};

// Registers (or replaces) a class; an entry without factories revokes it.
ZOR_EXPORT void CoRegisterClass(const QUuid &clsid, const TComClassEntry &entry);
ZOR_EXPORT void CoRevokeClass(const QUuid &clsid);
// The contexts a class can be made in (0 when unknown).
ZOR_EXPORT quint32 CoClassContexts(const QUuid &clsid);

// Makes an object of clsid and hands out its interface iid. In process wins
// when the context allows it and the class has a factory for it; then the
// local server; else REGDB_E_CLASSNOTREG. Aggregation is not offered.
ZOR_EXPORT HRESULT CoCreateInstance(const QUuid &clsid, IInterface *outer, quint32 context, const QUuid &iid,
                                    void **obj);

template <class T>
HRESULT CoCreateInstance(const QUuid &clsid, quint32 context, IPtr<T> &out)
{
    void *p = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, context, T::IID, &p);
    out = Succeeded(hr) ? IPtr<T>::Adopt(static_cast<T *>(p)) : IPtr<T>();
    return hr;
}

// The runtime's use count. Hooks registered with OnCoInitialize run on the
// first CoInitialize (S_OK; later ones give S_FALSE), those of
// OnCoUninitialize when the last CoUninitialize balances it.
ZOR_EXPORT HRESULT CoInitialize();
ZOR_EXPORT void CoUninitialize();
ZOR_EXPORT void OnCoInitialize(std::function<void()> hook);
ZOR_EXPORT void OnCoUninitialize(std::function<void()> hook);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, and back; a text
// that is no GUID raises EOleSysError (CO_E_CLASSSTRING).
ZOR_EXPORT QString GUIDToString(const QUuid &guid);
ZOR_EXPORT QUuid StringToGUID(const QString &text);

} // namespace zor
