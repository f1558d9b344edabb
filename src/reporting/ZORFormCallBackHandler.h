// Form callbacks: a handler hands out reference-counted callback objects
// that a form calls when the user saves or closes it; each call becomes the
// handler's OnCallBack event. A callback that outlives its handler does nothing.
#pragma once

#include <ZorCompCore/platform/Component.h>
#include <ZorCompCore/platform/Interface.h>
#include <ZorCompCore/zor_export.h>

#include <functional>
#include <vector>

class QWidget;

namespace zor {

// A form: a top-level widget.
using TCustomForm = QWidget;

enum TZORFormCallbackAction { fcaSave, fcaClose };

using TZORFormCallbackEvent =
    std::function<void(QObject *Sender, TCustomForm *ASenderForm, TZORFormCallbackAction ACallBackAction)>;

class TZORFormCallBackHandler;

class ZOR_EXPORT IZORFormCallback : public virtual IInterface
{
public:
    ZOR_INTERFACE_IID("{C5F11168-7EAD-45F2-B95C-5E82F3D8701C}");
    virtual void Do_FormCallBack(TCustomForm *AForm, TZORFormCallbackAction AAction) = 0;
};

// Lives as long as references to it exist; linked to at most one handler.
class ZOR_EXPORT TZORFormCallback : public TInterfacedObject, public IZORFormCallback
{
public:
    TZORFormCallback() = default;
    HRESULT QueryInterface(const QUuid &iid, void **obj) override;

    TZORFormCallBackHandler *Owner() const { return FOwner; }
    // Leaves the old owner's list and joins the new one's (null: none).
    void SetOwner(TZORFormCallBackHandler *AOwner);

    void Do_FormCallBack(TCustomForm *AForm, TZORFormCallbackAction AAction) override;

protected:
    ~TZORFormCallback() override;

private:
    TZORFormCallBackHandler *FOwner = nullptr; // not owned
};

class ZOR_EXPORT TZORFormCallBackHandler : public TComponent
{
public:
    explicit TZORFormCallBackHandler(QObject *AOwner = nullptr);
    ~TZORFormCallBackHandler() override;

    // A new callback linked to this handler.
    IPtr<IZORFormCallback> CreateNewCallBackHandler();
    // Unlinks every callback, last first.
    void ClearHandlers();
    void AddHandler(TZORFormCallback *ACallback);
    void RemoveHandler(TZORFormCallback *ACallback);
    // Calls OnCallBack(this, AForm, AAction) when assigned.
    void DoFormCallBack(TZORFormCallback *ACallback, TCustomForm *AForm, TZORFormCallbackAction AAction);
    int CallbackCount() const { return int(FCallbackList.size()); }

    void BeforeDestruction() override;

    TZORFormCallbackEvent OnCallBack;

private:
    std::vector<TZORFormCallback *> FCallbackList; // entries not owned
};

} // namespace zor
