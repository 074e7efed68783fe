#include <gtest/gtest.h>

#include <memory>

#include "imagepack/UBroadcaster.h"
#include "tests/framework/runtime/CountedFake.h"
#include "tests/framework/runtime/RaisedMessage.h"
#include "tests/imagepack/NotifySupport.h"

namespace {

// A broadcaster that counts its calls and never calls back.
class TSpyBroadcaster : public TObject, public TCountedFake<IBroadcaster> {
public:
    TSpyBroadcaster() : TCountedFake(IID_IBroadcaster) {}
    void STDMETHODCALLTYPE Broadcast(TObject*, REFGUID) override { ++calls; }
    void STDMETHODCALLTYPE AddListener(IListener*) override { ++calls; }
    void STDMETHODCALLTYPE RemoveListener(IListener* listener) override
    {
        ++calls;
        if (letGo)
            listener->Detach(this);
    }

    int calls = 0;
    bool letGo = false;
};

TEST(Linking, FromEitherSideLinksBothOnceAndUnlinksBoth)
{
    TBroadcaster broadcaster(nullptr);
    TListener listener(TNotifyIdEvent{});

    listener.Attach(&broadcaster);
    listener.Attach(&broadcaster);
    broadcaster.AddListener(&listener);
    ASSERT_EQ(broadcaster.ListenerCount(), 1);
    ASSERT_EQ(listener.BroadcasterCount(), 1);
    EXPECT_EQ(broadcaster.Listeners(0), static_cast<IListener*>(&listener));
    EXPECT_EQ(listener.Broadcasters(0), static_cast<IBroadcaster*>(&broadcaster));
    // Each side counts the reference that the other side's list holds.
    EXPECT_EQ(broadcaster.RefCount(), 1);
    EXPECT_EQ(listener.RefCount(), 1);

    broadcaster.RemoveListener(&listener);
    EXPECT_EQ(broadcaster.ListenerCount(), 0);
    EXPECT_EQ(listener.BroadcasterCount(), 0);
    EXPECT_EQ(broadcaster.RefCount(), 0);
    EXPECT_EQ(listener.RefCount(), 0);

    broadcaster.AddListener(&listener);
    ASSERT_EQ(listener.BroadcasterCount(), 1);
    listener.Detach(&broadcaster);
    EXPECT_EQ(broadcaster.ListenerCount(), 0);
    EXPECT_EQ(listener.BroadcasterCount(), 0);
}

TEST(Linking, DetachingWhatWasNeverAttachedCallsNothing)
{
    TListener listener(TNotifyIdEvent{});
    TSpyBroadcaster spy;
    listener.Detach(&spy);
    listener.Detach(nullptr);
    listener.Attach(nullptr);
    EXPECT_EQ(spy.calls, 0);
    EXPECT_EQ(spy.references, 0u);
    EXPECT_EQ(listener.BroadcasterCount(), 0);
}

TEST(Linking, AnOwnersBroadcasterIsAlwaysHandedOutAsTheOwnersInterface)
{
    TBroadcastingOwner<> owner;
    TListener fromListener(TNotifyIdEvent{});
    TListener fromBroadcaster(TNotifyIdEvent{});

    fromListener.Attach(owner.AsBroadcaster());
    owner.broadcaster.AddListener(&fromBroadcaster);

    for (TListener* listener : {&fromListener, &fromBroadcaster}) {
        ASSERT_EQ(listener->BroadcasterCount(), 1);
        EXPECT_EQ(listener->Broadcasters(0), owner.AsBroadcaster());
    }
    EXPECT_EQ(owner.broadcaster.ListenerCount(), 2);
    // Linking again through the broadcaster itself finds the same identity.
    fromListener.Attach(owner.AsBroadcaster());
    owner.broadcaster.AddListener(&fromListener);
    EXPECT_EQ(owner.broadcaster.ListenerCount(), 2);
    EXPECT_EQ(fromListener.BroadcasterCount(), 1);

    fromBroadcaster.Detach(owner.AsBroadcaster());
    EXPECT_EQ(owner.broadcaster.ListenerCount(), 1);
    EXPECT_EQ(fromBroadcaster.BroadcasterCount(), 0);
}

TEST(Broadcasting, ReachesListenersInLinkingOrderAndPassesOverOnesWithoutHandler)
{
    TBroadcaster broadcaster(nullptr);
    std::vector<int> order;
    TReceiver one;
    TReceiver two;
    TListener first(TNotifyIdEvent([&](TObject* sender, const GUID& id) {
        one.received.push_back({sender, id});
        order.push_back(1);
    }));
    TListener silent(TNotifyIdEvent{});
    TListener second(TNotifyIdEvent([&](TObject* sender, const GUID& id) {
        two.received.push_back({sender, id});
        order.push_back(2);
    }));
    second.Attach(&broadcaster);
    broadcaster.AddListener(&silent);
    first.Attach(&broadcaster);

    TObject sender;
    broadcaster.Broadcast(&sender, NotifyPackChanged);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    for (const auto* receiver : {&one, &two}) {
        ASSERT_EQ(receiver->received.size(), 1u);
        EXPECT_EQ(receiver->received[0].sender, &sender);
        EXPECT_TRUE(IsEqualGUID(receiver->received[0].id, NotifyPackChanged));
    }
}

TEST(Teardown, DestroyingABroadcasterTellsBothListenersAndLeavesThemUnlinked)
{
    auto owner = std::make_unique<TBroadcastingOwner<>>();
    TObject* const ownerObject = owner.get();
    TReceiver one;
    TReceiver two;
    TListener first(one.Handler());
    TListener second(two.Handler());
    first.Attach(owner->AsBroadcaster());
    second.Attach(owner->AsBroadcaster());

    owner.reset();

    for (auto* receiver : {&one, &two}) {
        ASSERT_EQ(receiver->received.size(), 1u);
        EXPECT_EQ(receiver->received[0].sender, ownerObject);
        EXPECT_TRUE(IsEqualGUID(receiver->received[0].id, NotifyDestroying));
    }
    EXPECT_EQ(first.BroadcasterCount(), 0);
    EXPECT_EQ(second.BroadcasterCount(), 0);
    EXPECT_EQ(first.RefCount(), 0);
}

TEST(Teardown, DestroyingAListenerLeavesEveryBroadcaster)
{
    TBroadcastingOwner<> owner;
    TBroadcaster plain(nullptr);
    auto listener = std::make_unique<TListener>(TNotifyIdEvent{});
    listener->Attach(&plain);
    listener->Attach(owner.AsBroadcaster());

    listener.reset();
    EXPECT_EQ(plain.ListenerCount(), 0);
    EXPECT_EQ(owner.broadcaster.ListenerCount(), 0);
    EXPECT_EQ(plain.RefCount(), 0);
    EXPECT_EQ(owner.broadcaster.RefCount(), 0);
}

TEST(Teardown, AListenerThatWillNotLetGoStopsTheBroadcasterInsteadOfLoopingForever)
{
    TStubbornListener stubborn;
    auto broadcaster = std::make_unique<TBroadcaster>(nullptr);
    broadcaster->AddListener(&stubborn);

    EXPECT_EQ(MessageRaised([&] { broadcaster->BeforeDestruction(); }), "fall into infinity loop.");
    ASSERT_EQ(stubborn.received.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(stubborn.received[0], NotifyDestroying));
    EXPECT_EQ(broadcaster->ListenerCount(), 1);

    stubborn.letGo = true;
    broadcaster.reset();
    EXPECT_EQ(stubborn.references, 0u);
}

TEST(Teardown, ABroadcasterThatWillNotLetGoStopsTheListenerInsteadOfLoopingForever)
{
    TSpyBroadcaster spy;
    TListener listener(TNotifyIdEvent{});
    listener.Attach(&spy);
    EXPECT_EQ(spy.calls, 1);

    EXPECT_EQ(MessageRaised([&] { listener.BeforeDestruction(); }), "fall into infinity loop.");
    EXPECT_EQ(listener.BroadcasterCount(), 1);

    spy.letGo = true;
    listener.BeforeDestruction();
    EXPECT_EQ(listener.BroadcasterCount(), 0);
    EXPECT_EQ(spy.references, 0u);
}

TEST(ReferenceCount, ReleaseBelowZeroRaisesAndACountedObjectCannotBeDestroyed)
{
    TListener listener(TNotifyIdEvent{});
    EXPECT_EQ(MessageRaised([&] { listener.Release(); }), "FRefCount is minus value");
    EXPECT_EQ(listener.RefCount(), -1);
    EXPECT_THROW(listener.BeforeDestruction(), EInvalidPointer);

    listener.AddRef();
    listener.AddRef();
    EXPECT_THROW(listener.BeforeDestruction(), EInvalidPointer);
    listener.Release();
    listener.BeforeDestruction();
}

TEST(ReferenceCount, QueriesGoToTheControllerOrElseToTheObjectsOwnTable)
{
    TListener listener(TNotifyIdEvent{});
    void* found = nullptr;
    EXPECT_EQ(listener.QueryInterface(IID_IListener, &found), S_OK);
    EXPECT_EQ(found, static_cast<IListener*>(&listener));
    EXPECT_EQ(listener.QueryInterface(IID_IBroadcaster, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    listener.Release();

    // A controller that is no IUnknown answers nothing, so its broadcaster
    // cannot link back: the listener is listed on one side only.
    TObject mute;
    TBroadcaster broadcaster(&mute);
    EXPECT_EQ(broadcaster.QueryInterface(IID_IBroadcaster, &found), E_NOINTERFACE);
    TListener other(TNotifyIdEvent{});
    broadcaster.AddListener(&other);
    EXPECT_EQ(broadcaster.ListenerCount(), 1);
    EXPECT_EQ(other.BroadcasterCount(), 0);
    broadcaster.RemoveListener(&other);
}

} // namespace
