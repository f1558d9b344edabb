#include "ZORFormCallBackHandler.h"

#include <algorithm>

namespace zor {

HRESULT TZORFormCallback::QueryInterface(const QUuid &iid, void **obj)
{
    if (AnswerInterface<IZORFormCallback>(this, iid, obj))
        return S_OK;
    return TInterfacedObject::QueryInterface(iid, obj);
}

TZORFormCallback::~TZORFormCallback()
{
    SetOwner(nullptr);
}

void TZORFormCallback::SetOwner(TZORFormCallBackHandler *AOwner)
{
    if (FOwner == AOwner)
        return;
    if (FOwner)
        FOwner->RemoveHandler(this);
    FOwner = AOwner;
    if (FOwner)
        FOwner->AddHandler(this);
}

void TZORFormCallback::Do_FormCallBack(TCustomForm *AForm, TZORFormCallbackAction AAction)
{
    if (FOwner)
        FOwner->DoFormCallBack(this, AForm, AAction);
}

TZORFormCallBackHandler::TZORFormCallBackHandler(QObject *AOwner) : TComponent(AOwner) {}

TZORFormCallBackHandler::~TZORFormCallBackHandler()
{
    // A plain delete skips BeforeDestruction: no callback may keep pointing here.
    ClearHandlers();
}

IPtr<IZORFormCallback> TZORFormCallBackHandler::CreateNewCallBackHandler()
{
    auto *cb = new TZORFormCallback;
    IPtr<IZORFormCallback> r(cb);
    cb->SetOwner(this);
    return r;
}

void TZORFormCallBackHandler::ClearHandlers()
{
    while (!FCallbackList.empty())
        FCallbackList.back()->SetOwner(nullptr);
}

void TZORFormCallBackHandler::AddHandler(TZORFormCallback *ACallback)
{
    if (ACallback && std::find(FCallbackList.begin(), FCallbackList.end(), ACallback) == FCallbackList.end())
        FCallbackList.push_back(ACallback);
}

void TZORFormCallBackHandler::RemoveHandler(TZORFormCallback *ACallback)
{
    auto it = std::find(FCallbackList.begin(), FCallbackList.end(), ACallback);
    if (it != FCallbackList.end())
        FCallbackList.erase(it);
}

void TZORFormCallBackHandler::DoFormCallBack(TZORFormCallback *, TCustomForm *AForm, TZORFormCallbackAction AAction)
{
    if (OnCallBack)
        OnCallBack(this, AForm, AAction);
}

void TZORFormCallBackHandler::BeforeDestruction()
{
    ClearHandlers();
    TComponent::BeforeDestruction();
}

} // namespace zor
