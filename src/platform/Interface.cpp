#include "Interface.h"

namespace zor {

bool Supports(IInterface *obj, const QUuid &iid, void **out)
{
    if (!obj)
        return false;
    void *p = nullptr;
    if (obj->QueryInterface(iid, &p) != S_OK || !p)
        return false;
    if (out)
        *out = p;
    else
        obj->Release(); // p is a pointer to the queried interface, not to IInterface
    return true;
}

HRESULT TInterfacedObject::QueryInterface(const QUuid &iid, void **obj)
{
    if (iid == IInterface::IID) {
        AddRef();
        *obj = static_cast<IInterface *>(this);
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

int TInterfacedObject::AddRef()
{
    return ++m_refCount;
}

int TInterfacedObject::Release()
{
    const int n = --m_refCount;
    if (n == 0)
        delete this;
    return n;
}

TInterfacedObject::~TInterfacedObject() = default;

} // namespace zor
