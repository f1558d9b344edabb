#include "ComObj.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <optional>
#include <vector>

namespace zor {

namespace {

constexpr HRESULT CO_E_CLASSSTRING = qint32(0x800401F3u);

struct ClassTable
{
    QMutex lock;
    QHash<QUuid, TComClassEntry> classes;
    int initCount = 0;
    std::vector<std::function<void()>> onInit, onUninit;
};

ClassTable &Table()
{
    static ClassTable table;
    return table;
}

thread_local std::optional<QString> t_errorInfo;

} // namespace

QString OleErrorText(HRESULT code)
{
    switch (quint32(code)) {
    case 0x00000000u: return QStringLiteral("The operation completed successfully.");
    case 0x80004001u: return QStringLiteral("Not implemented");
    case 0x80004002u: return QStringLiteral("No such interface supported");
    case 0x80004003u: return QStringLiteral("Invalid pointer");
    case 0x80004004u: return QStringLiteral("Operation aborted");
    case 0x80004005u: return QStringLiteral("Unspecified error");
    case 0x8000FFFFu: return QStringLiteral("Catastrophic failure");
    case 0x80070002u: return QStringLiteral("The system cannot find the file specified.");
    case 0x80070005u: return QStringLiteral("Access is denied.");
    case 0x8007000Eu: return QStringLiteral("Not enough memory resources are available to complete this operation.");
    case 0x80070057u: return QStringLiteral("The parameter is incorrect.");
    case 0x80040110u: return QStringLiteral("Class does not support aggregation (or class object is remote)");
    case 0x80040154u: return QStringLiteral("Class not registered");
    case 0x800401F3u: return QStringLiteral("Invalid class string");
    case 0x80080005u: return QStringLiteral("Server execution failed");
    }
    return QStringLiteral("OLE error ") + QString::number(quint32(code), 16).toUpper().rightJustified(8, u'0');
}

EOleSysError::EOleSysError(QString message, HRESULT errorCode)
    : Exception(message.isEmpty() ? OleErrorText(errorCode) : std::move(message)), ErrorCode(errorCode)
{
}

void SetErrorInfo(const QString &description)
{
    t_errorInfo = description;
}

QString TakeErrorInfo()
{
    QString text = t_errorInfo.value_or(QString());
    t_errorInfo.reset();
    return text;
}

HRESULT OleCheck(HRESULT result)
{
    if (Succeeded(result)) {
        t_errorInfo.reset();
        return result;
    }
    throw EOleSysError(TakeErrorInfo(), result);
}

HRESULT HandleCallException()
{
    try {
        throw;
    } catch (const EOleSysError &e) {
        SetErrorInfo(e.Message());
        return Failed(e.ErrorCode) ? e.ErrorCode : E_FAIL;
    } catch (const Exception &e) {
        SetErrorInfo(e.Message());
    } catch (const std::exception &e) {
        SetErrorInfo(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        SetErrorInfo(QString());
    }
    return E_FAIL;
}

void CoRegisterClass(const QUuid &clsid, const TComClassEntry &entry)
{
    ClassTable &t = Table();
    QMutexLocker locker(&t.lock);
    if (!entry.InProcess && !entry.LocalServer)
        t.classes.remove(clsid);
    else
        t.classes.insert(clsid, entry);
}

void CoRevokeClass(const QUuid &clsid)
{
    CoRegisterClass(clsid, {});
}

quint32 CoClassContexts(const QUuid &clsid)
{
    ClassTable &t = Table();
    QMutexLocker locker(&t.lock);
    const auto it = t.classes.constFind(clsid);
    if (it == t.classes.constEnd())
        return 0;
    return (it->InProcess ? CLSCTX_INPROC_SERVER : 0) | (it->LocalServer ? CLSCTX_LOCAL_SERVER : 0);
}

HRESULT CoCreateInstance(const QUuid &clsid, IInterface *outer, quint32 context, const QUuid &iid, void **obj)
{
    if (!obj)
        return E_POINTER;
    *obj = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    TClassFactory factory;
    bool local = false;
    {
        ClassTable &t = Table();
        QMutexLocker locker(&t.lock);
        const auto it = t.classes.constFind(clsid);
        if (it == t.classes.constEnd())
            return REGDB_E_CLASSNOTREG;
        if ((context & CLSCTX_INPROC_SERVER) && it->InProcess) {
            factory = it->InProcess;
        } else if ((context & CLSCTX_LOCAL_SERVER) && it->LocalServer) {
            factory = it->LocalServer;
            local = true;
        } else {
            return REGDB_E_CLASSNOTREG;
        }
    }
    // The factory runs unlocked: it may register classes or start a process.
    IPtr<IInterface> object;
    try {
        object = factory();
    } catch (...) {
        const HRESULT hr = HandleCallException();
        // A server that could not be started reports its own text, not a code.
        return hr == E_FAIL && local ? CO_E_SERVER_EXEC_FAILURE : hr;
    }
    if (!object)
        return local ? CO_E_SERVER_EXEC_FAILURE : E_FAIL;
    return object->QueryInterface(iid, obj);
}

HRESULT CoInitialize()
{
    std::vector<std::function<void()>> hooks;
    {
        ClassTable &t = Table();
        QMutexLocker locker(&t.lock);
        if (t.initCount++ > 0)
            return S_FALSE;
        hooks = t.onInit;
    }
    for (const auto &h : hooks)
        h();
    return S_OK;
}

void CoUninitialize()
{
    std::vector<std::function<void()>> hooks;
    {
        ClassTable &t = Table();
        QMutexLocker locker(&t.lock);
        if (t.initCount == 0 || --t.initCount > 0)
            return;
        hooks = t.onUninit;
    }
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        (*it)();
}

void OnCoInitialize(std::function<void()> hook)
{
    ClassTable &t = Table();
    QMutexLocker locker(&t.lock);
    t.onInit.push_back(std::move(hook));
}

void OnCoUninitialize(std::function<void()> hook)
{
    ClassTable &t = Table();
    QMutexLocker locker(&t.lock);
    t.onUninit.push_back(std::move(hook));
}

QString GUIDToString(const QUuid &guid)
{
    return guid.toString(QUuid::WithBraces).toUpper();
}

QUuid StringToGUID(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\}$"));
    if (!form.match(text).hasMatch())
        throw EOleSysError(QString(), CO_E_CLASSSTRING);
    return QUuid::fromString(text);
}

} // namespace zor
