// Form callbacks: calls reach the handler's event, callbacks follow their
// owner, and a callback that outlives its handler does nothing.
#include "TestUtil.h"

#include <ZorCompCore/reporting/ZORFormCallBackHandler.h>

#include <QWidget>

using namespace zor;

namespace {

struct Seen
{
    QObject *sender = nullptr;
    TCustomForm *form = nullptr;
    int action = -1;
    int calls = 0;
};

TZORFormCallbackEvent recorder(Seen &s)
{
    return [&s](QObject *sender, TCustomForm *form, TZORFormCallbackAction a) {
        s.sender = sender, s.form = form, s.action = a, ++s.calls;
    };
}

TEST(FormCallbacks, CallsReachTheHandlersEvent)
{
    TComponentPtr<TZORFormCallBackHandler> h(new TZORFormCallBackHandler);
    Seen seen;
    h->OnCallBack = recorder(seen);
    QWidget form;
    IPtr<IZORFormCallback> cb = h->CreateNewCallBackHandler();
    EXPECT_EQ(h->CallbackCount(), 1);
    cb->Do_FormCallBack(&form, fcaSave);
    EXPECT_EQ(seen.sender, h.get());
    EXPECT_EQ(seen.form, &form);
    EXPECT_EQ(seen.action, fcaSave);
    cb->Do_FormCallBack(&form, fcaClose);
    EXPECT_EQ(seen.action, fcaClose);
    EXPECT_EQ(seen.calls, 2);
    // Reached through the interface identifier too.
    EXPECT_TRUE(QueryIntf<IZORFormCallback>(static_cast<IInterface *>(cb.get())));
    EXPECT_EQ(IZORFormCallback::IID, QUuid(QStringLiteral("{C5F11168-7EAD-45F2-B95C-5E82F3D8701C}")));
    cb.reset(); // the last reference: the callback leaves the handler's list
    EXPECT_EQ(h->CallbackCount(), 0);
}

TEST(FormCallbacks, CallbacksOutlivingTheirHandlerDoNothing)
{
    for (bool viaFree : {true, false}) {
        SCOPED_TRACE(viaFree);
        Seen seen;
        auto *h = new TZORFormCallBackHandler;
        h->OnCallBack = recorder(seen);
        IPtr<IZORFormCallback> a = h->CreateNewCallBackHandler();
        IPtr<IZORFormCallback> b = h->CreateNewCallBackHandler();
        EXPECT_EQ(h->CallbackCount(), 2);
        if (viaFree)
            Free(h);
        else
            delete h;
        a->Do_FormCallBack(nullptr, fcaSave);
        b->Do_FormCallBack(nullptr, fcaClose);
        EXPECT_EQ(seen.calls, 0);
        EXPECT_EQ(static_cast<TZORFormCallback *>(a.get())->Owner(), nullptr);
    }
}

TEST(FormCallbacks, ACallbackFollowsItsNewOwner)
{
    TComponentPtr<TZORFormCallBackHandler> h1(new TZORFormCallBackHandler), h2(new TZORFormCallBackHandler);
    Seen s1, s2;
    h1->OnCallBack = recorder(s1);
    h2->OnCallBack = recorder(s2);
    IPtr<IZORFormCallback> cb = h1->CreateNewCallBackHandler();
    auto *impl = static_cast<TZORFormCallback *>(cb.get());
    impl->SetOwner(h2.get());
    EXPECT_EQ(h1->CallbackCount(), 0);
    EXPECT_EQ(h2->CallbackCount(), 1);
    cb->Do_FormCallBack(nullptr, fcaSave);
    EXPECT_EQ(s1.calls, 0);
    EXPECT_EQ(s2.calls, 1);
    h2->ClearHandlers();
    EXPECT_EQ(impl->Owner(), nullptr);
    cb->Do_FormCallBack(nullptr, fcaSave);
    EXPECT_EQ(s2.calls, 1);
    // Without an event a call is simply dropped.
    impl->SetOwner(h1.get());
    h1->OnCallBack = nullptr;
    cb->Do_FormCallBack(nullptr, fcaClose);
}

} // namespace
