#pragma once

#include <vector>

#include "imagepack/UBroadcaster.h"
#include "tests/framework/runtime/CountedFake.h"

// What a listener was told, in order.
struct TReceived {
    TObject* sender;
    GUID id;
};

struct TReceiver {
    std::vector<TReceived> received;

    TNotifyIdEvent Handler()
    {
        return TNotifyIdEvent([this](TObject* sender, const GUID& id) { received.push_back({sender, id}); });
    }
    int Count(const GUID& id) const
    {
        int count = 0;
        for (const auto& entry : received)
            count += IsEqualGUID(entry.id, id) ? 1 : 0;
        return count;
    }
};

// An object that hands out its broadcaster as its own IBroadcaster, as the
// image pack does: every call is delegated to the broadcaster it owns.
template <class TOwnBroadcaster = TBroadcaster>
class TBroadcastingOwner : public TObject, public IBroadcaster {
public:
    TBroadcastingOwner() : broadcaster(this) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override
    {
        *out = nullptr;
        if (!IsEqualIID(id, IID_IUnknown) && !IsEqualIID(id, IID_IBroadcaster))
            return E_NOINTERFACE;
        *out = static_cast<IBroadcaster*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return broadcaster.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return broadcaster.Release(); }
    void STDMETHODCALLTYPE Broadcast(TObject* sender, REFGUID id) override { broadcaster.Broadcast(sender, id); }
    void STDMETHODCALLTYPE AddListener(IListener* listener) override { broadcaster.AddListener(listener); }
    void STDMETHODCALLTYPE RemoveListener(IListener* listener) override { broadcaster.RemoveListener(listener); }

    IBroadcaster* AsBroadcaster() { return this; }

    TOwnBroadcaster broadcaster;
};

// A listener that counts the calls it gets and, until told to let go,
// leaves its broadcasters linked.
class TStubbornListener : public TObject, public TCountedFake<IListener> {
public:
    TStubbornListener() : TCountedFake(IID_IListener) {}
    void STDMETHODCALLTYPE Notify(TObject*, REFGUID id) override { received.push_back(id); }
    void STDMETHODCALLTYPE Attach(IBroadcaster*) override {}
    void STDMETHODCALLTYPE Detach(IBroadcaster* broadcaster) override
    {
        if (letGo)
            broadcaster->RemoveListener(this);
    }

    bool letGo = false;
    std::vector<GUID> received;
};
