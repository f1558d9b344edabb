// Reference-counted interfaces identified by GUIDs, in the COM style the
// library's data-exchange types use: QueryInterface/AddRef/Release, a base
// object that counts references, and a smart pointer that holds one.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QUuid>
#include <atomic>
#include <utility>

namespace zor {

using HRESULT = qint32;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = qint32(0x80004002u);

namespace detail {
constexpr unsigned hexDigit(char c)
{
    return c >= '0' && c <= '9' ? unsigned(c - '0')
         : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
         : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                : throw "bad hex digit in GUID";
}
constexpr unsigned hexAt(const char *s, int pos, int digits)
{
    unsigned v = 0;
    for (int i = 0; i < digits; ++i)
        v = v * 16 + hexDigit(s[pos + i]);
    return v;
}
} // namespace detail

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as a compile-time QUuid.
constexpr QUuid Guid(const char (&s)[39])
{
    using detail::hexAt;
    return QUuid(hexAt(s, 1, 8), ushort(hexAt(s, 10, 4)), ushort(hexAt(s, 15, 4)),
                 uchar(hexAt(s, 20, 2)), uchar(hexAt(s, 22, 2)), uchar(hexAt(s, 25, 2)),
                 uchar(hexAt(s, 27, 2)), uchar(hexAt(s, 29, 2)), uchar(hexAt(s, 31, 2)),
                 uchar(hexAt(s, 33, 2)), uchar(hexAt(s, 35, 2)));
}

// Every interface declares its identifier as IID (a constexpr QUuid).
#define ZOR_INTERFACE_IID(str) static constexpr QUuid IID = ::zor::Guid(str)

class ZOR_EXPORT IInterface
{
public:
    ZOR_INTERFACE_IID("{00000000-0000-0000-C000-000000000046}");
    // Fills *obj with an added reference to the interface iid, or returns E_NOINTERFACE.
    virtual HRESULT QueryInterface(const QUuid &iid, void **obj) = 0;
    virtual int AddRef() = 0;
    virtual int Release() = 0;

protected:
    virtual ~IInterface() = default;
};

// Smart pointer holding one reference.
template <class T>
class IPtr
{
public:
    IPtr() = default;
    IPtr(std::nullptr_t) {}
    IPtr(T *p) : m_p(p) { if (m_p) m_p->AddRef(); }
    IPtr(const IPtr &o) : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
    IPtr(IPtr &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U *, T *>>>
    IPtr(const IPtr<U> &o) : m_p(o.get()) { if (m_p) m_p->AddRef(); }
    ~IPtr() { if (m_p) m_p->Release(); }

    IPtr &operator=(IPtr o) noexcept { std::swap(m_p, o.m_p); return *this; }

    // Takes over a reference the caller already owns (as QueryInterface returns).
    static IPtr Adopt(T *p) { IPtr r; r.m_p = p; return r; }
    T *Detach() { return std::exchange(m_p, nullptr); }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    T &operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset() { IPtr().swap(*this); }
    void swap(IPtr &o) noexcept { std::swap(m_p, o.m_p); }

    friend bool operator==(const IPtr &a, const IPtr &b) { return a.m_p == b.m_p; }
    friend bool operator==(const IPtr &a, std::nullptr_t) { return a.m_p == nullptr; }

private:
    T *m_p = nullptr;
};

// Supports(obj, iid, &out): true when obj answers iid; out gets a reference.
ZOR_EXPORT bool Supports(IInterface *obj, const QUuid &iid, void **out = nullptr);

template <class T>
IPtr<T> QueryIntf(IInterface *obj)
{
    void *p = nullptr;
    if (obj && obj->QueryInterface(T::IID, &p) == S_OK)
        return IPtr<T>::Adopt(static_cast<T *>(p));
    return {};
}
template <class T, class U>
IPtr<T> QueryIntf(const IPtr<U> &obj) { return QueryIntf<T>(static_cast<IInterface *>(obj.get())); }

template <class T>
bool Supports(IInterface *obj, IPtr<T> &out)
{
    out = QueryIntf<T>(obj);
    return bool(out);
}

// Base of reference-counted objects: freed when the count drops back to 0.
// Subclasses answer their own interfaces in QueryInterface and call the base
// for IInterface.
class ZOR_EXPORT TInterfacedObject : public virtual IInterface
{
public:
    TInterfacedObject() = default;
    TInterfacedObject(const TInterfacedObject &) = delete;
    TInterfacedObject &operator=(const TInterfacedObject &) = delete;

    HRESULT QueryInterface(const QUuid &iid, void **obj) override;
    int AddRef() override;
    int Release() override;
    int RefCount() const { return m_refCount.load(); }

protected:
    ~TInterfacedObject() override;

private:
    std::atomic<int> m_refCount{0};
};

// Helper for QueryInterface implementations: when iid is T's, hand out `self` as T.
template <class T, class Self>
bool AnswerInterface(Self *self, const QUuid &iid, void **obj)
{
    if (iid != T::IID)
        return false;
    T *t = static_cast<T *>(self);
    t->AddRef();
    *obj = t;
    return true;
}

} // namespace zor
