#pragma once

#include <windows.h>
#include <unknwn.h>

#include <vector>

#include "framework/runtime/Components.h"
#include "imagepack/UInterfacedObject.h"

struct IListener;

// {D945C5B0-29DA-11D3-ACA5-00500463098A}
inline constexpr IID IID_IBroadcaster = {0xd945c5b0, 0x29da, 0x11d3, {0xac, 0xa5, 0x00, 0x50, 0x04, 0x63, 0x09, 0x8a}};
// {D945C5B1-29DA-11D3-ACA5-00500463098A}
inline constexpr IID IID_IListener = {0xd945c5b1, 0x29da, 0x11d3, {0xac, 0xa5, 0x00, 0x50, 0x04, 0x63, 0x09, 0x8a}};

// What a notification says happened.
// The broadcasting object is going away; the sender is its controller.
inline constexpr GUID NotifyDestroying = {0xff0e0940, 0x2d29, 0x11d3, {0xac, 0xcc, 0x00, 0x50, 0x04, 0x63, 0x09, 0x8a}};
// An image pack's images changed.
inline constexpr GUID NotifyPackChanged = {0xff0e0942, 0x2d29, 0x11d3, {0xac, 0xcc, 0x00, 0x50, 0x04, 0x63, 0x09, 0x8a}};
// An image pack was asked to refresh.
inline constexpr GUID NotifyPackRefresh = {0xa916fc40, 0x6c6c, 0x11d3, {0x95, 0x51, 0x00, 0x50, 0x04, 0x63, 0x09, 0x8a}};

// Links are symmetric: linking or unlinking from either side does both.
struct IBroadcaster : public IUnknown {
    virtual void STDMETHODCALLTYPE Broadcast(TObject* sender, REFGUID notifyId) = 0;
    virtual void STDMETHODCALLTYPE AddListener(IListener* listener) = 0;
    virtual void STDMETHODCALLTYPE RemoveListener(IListener* listener) = 0;
};

struct IListener : public IUnknown {
    virtual void STDMETHODCALLTYPE Notify(TObject* sender, REFGUID notifyId) = 0;
    virtual void STDMETHODCALLTYPE Attach(IBroadcaster* broadcaster) = 0;
    virtual void STDMETHODCALLTYPE Detach(IBroadcaster* broadcaster) = 0;
};

using TNotifyIdEvent = TEvent<TObject*, const GUID&>;

// Keeps the listeners in the order they were linked. Its IBroadcaster is
// handed out through the controller's query, so a controller that delegates
// IBroadcaster to it is the one identity listeners see.
class TBroadcaster : public TInterfaceImplement, public IBroadcaster {
public:
    explicit TBroadcaster(TObject* controller);
    ~TBroadcaster() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    void STDMETHODCALLTYPE Broadcast(TObject* sender, REFGUID notifyId) override;
    void STDMETHODCALLTYPE AddListener(IListener* listener) override;
    void STDMETHODCALLTYPE RemoveListener(IListener* listener) override;

    int ListenerCount() const { return static_cast<int>(listeners_.size()); }
    IListener* Listeners(int index) const { return listeners_[static_cast<std::size_t>(index)].Get(); }

protected:
    // Tells the listeners that the controller goes, then unlinks them all;
    // raises "fall into infinity loop." when a listener will not let go.
    void Unlink() override;
    bool GetInterface(REFIID id, void** out) override;

private:
    std::vector<TInterfaceRef<IListener>> listeners_;
};

// The IBroadcaster of an object that hands every call to a broadcaster it
// owns, made with the object as its controller: its queries come back to
// the object, so listeners see one identity. The object unlinks its
// listeners before it goes, while it is still whole.
class TDelegatedBroadcaster : public IBroadcaster {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    void STDMETHODCALLTYPE Broadcast(TObject* sender, REFGUID notifyId) override;
    void STDMETHODCALLTYPE AddListener(IListener* listener) override;
    void STDMETHODCALLTYPE RemoveListener(IListener* listener) override;

protected:
    // The broadcaster is a member of the object, made after this base.
    explicit TDelegatedBroadcaster(TBroadcaster& broadcaster) : broadcaster_(broadcaster) {}
    ~TDelegatedBroadcaster() = default;

    // Listeners hear NotifyDestroying and are unlinked. Raises when one will
    // not let go or a reference is still counted; the object then stays
    // whole and usable. The object's destroying step runs it.
    void UnlinkListeners();
    // The same for the object's destructor, for an owner that deleted the
    // object without its destroying step. A destructor cannot pass a refusal
    // on, and going on would leave the other side holding a reference to
    // freed memory: the program ends then.
    void UnlinkListenersOrTerminate() noexcept;

private:
    TBroadcaster& broadcaster_;
};

class TListener : public TInterfaceImplement, public IListener {
public:
    explicit TListener(TNotifyIdEvent onNotify);
    ~TListener() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    void STDMETHODCALLTYPE Notify(TObject* sender, REFGUID notifyId) override;
    void STDMETHODCALLTYPE Attach(IBroadcaster* broadcaster) override;
    void STDMETHODCALLTYPE Detach(IBroadcaster* broadcaster) override;

    int BroadcasterCount() const { return static_cast<int>(broadcasters_.size()); }
    IBroadcaster* Broadcasters(int index) const { return broadcasters_[static_cast<std::size_t>(index)].Get(); }

    TNotifyIdEvent OnNotify;

protected:
    // Leaves every broadcaster; raises "fall into infinity loop." when one
    // will not let go.
    void Unlink() override;
    bool GetInterface(REFIID id, void** out) override;

private:
    std::vector<TInterfaceRef<IBroadcaster>> broadcasters_;
};
