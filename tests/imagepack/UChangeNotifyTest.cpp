#include <gtest/gtest.h>

#include "imagepack/UChangeNotify.h"
#include "tests/imagepack/NotifySupport.h"

namespace {

// A change notifier of a controller, with one listener and an OnChange
// handler that both count.
struct TBatch {
    TBatch()
    {
        notify.OnChange = TNotifyEvent([this](TObject* sender) {
            EXPECT_EQ(sender, static_cast<TObject*>(&notify));
            ++changes;
        });
        listener.Attach(&controller);
    }

    int Broadcasts() const { return receiver.Count(NotifyChanged); }

    TBroadcastingOwner<TChangeNotify> controller;
    TChangeNotify& notify = controller.broadcaster;
    TReceiver receiver;
    TListener listener{receiver.Handler()};
    int changes = 0;
};

TEST(ChangeNotify, AnUpdateAnnouncesItsChangesOnceAtItsOutermostEnd)
{
    TBatch batch;
    batch.notify.BeginUpdate();
    batch.notify.Changed();
    batch.notify.BeginUpdate();
    batch.notify.Changed();
    batch.notify.EndUpdate();
    EXPECT_EQ(batch.Broadcasts(), 0);
    batch.notify.EndUpdate();
    EXPECT_EQ(batch.Broadcasts(), 1);
    EXPECT_EQ(batch.changes, 1);
    EXPECT_EQ(batch.receiver.received.back().sender, static_cast<TObject*>(&batch.controller));

    batch.notify.BeginUpdate();
    batch.notify.EndUpdate();
    EXPECT_EQ(batch.Broadcasts(), 1);
    EXPECT_EQ(batch.changes, 1);

    batch.notify.Changed();
    EXPECT_EQ(batch.Broadcasts(), 2);
    EXPECT_EQ(batch.changes, 2);
}

TEST(ChangeNotify, AnUnmatchedEndUpdateSilencesChangesUntilTheCountIsBackAtZero)
{
    TBatch batch;
    batch.notify.EndUpdate();
    EXPECT_EQ(batch.notify.UpdateCount(), -1);
    batch.notify.Changed();
    EXPECT_EQ(batch.notify.UpdateCount(), -1);
    EXPECT_EQ(batch.Broadcasts(), 0);
    EXPECT_EQ(batch.changes, 0);

    batch.notify.BeginUpdate();
    EXPECT_EQ(batch.notify.UpdateCount(), 0);
    batch.notify.Changed();
    EXPECT_EQ(batch.Broadcasts(), 1);
    EXPECT_EQ(batch.changes, 1);
}

TEST(ChangeNotify, IsFoundAsBroadcasterAndBatchesThroughTheInterfaceItHandsOut)
{
    TChangeNotify notify(nullptr);
    void* found = nullptr;
    ASSERT_EQ(notify.QueryInterface(IID_IBroadcaster, &found), S_OK);
    EXPECT_EQ(found, static_cast<IBroadcaster*>(&notify));
    notify.Release();

    // Changes announced through the handed-out interface reach a listener
    // of the broadcaster that the same object is.
    TReceiver receiver;
    TListener listener(receiver.Handler());
    listener.Attach(&notify);
    IChangeNotify* batching = &notify;
    batching->Changed();
    EXPECT_EQ(receiver.Count(NotifyChanged), 1);
}

} // namespace
