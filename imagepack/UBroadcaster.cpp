#include "imagepack/UBroadcaster.h"

#include <algorithm>
#include <exception>

namespace {

template <class I>
bool Contains(const std::vector<TInterfaceRef<I>>& list, I* item)
{
    return std::any_of(list.begin(), list.end(), [item](const TInterfaceRef<I>& entry) { return entry.Get() == item; });
}

// Drops the first entry for the item and its counted reference; tells
// whether there was one.
template <class I>
bool Remove(std::vector<TInterfaceRef<I>>& list, I* item)
{
    const auto found =
        std::find_if(list.begin(), list.end(), [item](const TInterfaceRef<I>& entry) { return entry.Get() == item; });
    if (found == list.end())
        return false;
    list.erase(found);
    return true;
}

// Runs one unlinking step on the first entry until the list is empty. A
// step that does not shrink the list would repeat forever.
template <class I, class Step>
void UnlinkAll(const std::vector<TInterfaceRef<I>>& list, Step unlink)
{
    while (!list.empty()) {
        const std::size_t count = list.size();
        const TInterfaceRef<I> first = list.front();
        unlink(first.Get());
        if (list.size() == count)
            throw Exception("fall into infinity loop.");
    }
}

} // namespace

TBroadcaster::TBroadcaster(TObject* controller) : TInterfaceImplement(controller) {}

TBroadcaster::~TBroadcaster()
{
    BeforeDestructionOrTerminate();
}

HRESULT STDMETHODCALLTYPE TBroadcaster::QueryInterface(REFIID id, void** out)
{
    return TInterfaceImplement::QueryInterface(id, out);
}

ULONG STDMETHODCALLTYPE TBroadcaster::AddRef()
{
    return TInterfaceImplement::AddRef();
}

ULONG STDMETHODCALLTYPE TBroadcaster::Release()
{
    return TInterfaceImplement::Release();
}

void STDMETHODCALLTYPE TBroadcaster::Broadcast(TObject* sender, REFGUID notifyId)
{
    // The id may live in an object that a listener destroys.
    const GUID id = notifyId;
    // Handlers must not change the list. Should one shrink it anyway, the
    // walk ends at the list's end instead of reading past it.
    const std::size_t count = listeners_.size();
    for (std::size_t index = 0; index < count && index < listeners_.size(); ++index) {
        const auto listener = TInterfaceRef<IListener>::Query(listeners_[index].Get(), IID_IListener);
        if (listener)
            listener->Notify(sender, id);
    }
}

void STDMETHODCALLTYPE TBroadcaster::AddListener(IListener* listener)
{
    if (!listener || Contains(listeners_, listener))
        return;
    listeners_.emplace_back(listener);
    if (const auto self = QueryOwn<IBroadcaster>(IID_IBroadcaster))
        listener->Attach(self.Get());
}

void STDMETHODCALLTYPE TBroadcaster::RemoveListener(IListener* listener)
{
    if (!listener || !Remove(listeners_, listener))
        return;
    if (const auto self = QueryOwn<IBroadcaster>(IID_IBroadcaster))
        listener->Detach(self.Get());
}

void TBroadcaster::Unlink()
{
    Broadcast(Controller(), NotifyDestroying);
    if (const auto self = QueryOwn<IBroadcaster>(IID_IBroadcaster))
        UnlinkAll(listeners_, [&self](IListener* listener) { listener->Detach(self.Get()); });
}

bool TBroadcaster::GetInterface(REFIID id, void** out)
{
    if (!IsEqualIID(id, IID_IBroadcaster))
        return TInterfaceImplement::GetInterface(id, out);
    *out = static_cast<IBroadcaster*>(this);
    AddRef();
    return true;
}

TListener::TListener(TNotifyIdEvent onNotify) : OnNotify(std::move(onNotify)) {}

TListener::~TListener()
{
    BeforeDestructionOrTerminate();
}

HRESULT STDMETHODCALLTYPE TListener::QueryInterface(REFIID id, void** out)
{
    return TInterfaceImplement::QueryInterface(id, out);
}

ULONG STDMETHODCALLTYPE TListener::AddRef()
{
    return TInterfaceImplement::AddRef();
}

ULONG STDMETHODCALLTYPE TListener::Release()
{
    return TInterfaceImplement::Release();
}

void STDMETHODCALLTYPE TListener::Notify(TObject* sender, REFGUID notifyId)
{
    OnNotify(sender, notifyId);
}

void STDMETHODCALLTYPE TListener::Attach(IBroadcaster* broadcaster)
{
    if (!broadcaster || Contains(broadcasters_, broadcaster))
        return;
    broadcasters_.emplace_back(broadcaster);
    if (const auto self = QueryOwn<IListener>(IID_IListener))
        broadcaster->AddListener(self.Get());
}

void STDMETHODCALLTYPE TListener::Detach(IBroadcaster* broadcaster)
{
    if (!broadcaster || !Remove(broadcasters_, broadcaster))
        return;
    if (const auto self = QueryOwn<IListener>(IID_IListener))
        broadcaster->RemoveListener(self.Get());
}

void TListener::Unlink()
{
    if (const auto self = QueryOwn<IListener>(IID_IListener))
        UnlinkAll(broadcasters_, [&self](IBroadcaster* broadcaster) { broadcaster->RemoveListener(self.Get()); });
}

bool TListener::GetInterface(REFIID id, void** out)
{
    if (!IsEqualIID(id, IID_IListener))
        return TInterfaceImplement::GetInterface(id, out);
    *out = static_cast<IListener*>(this);
    AddRef();
    return true;
}

HRESULT STDMETHODCALLTYPE TDelegatedBroadcaster::QueryInterface(REFIID id, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(id, __uuidof(IUnknown)) && !IsEqualIID(id, IID_IBroadcaster))
        return E_NOINTERFACE;
    *out = static_cast<IBroadcaster*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TDelegatedBroadcaster::AddRef()
{
    return broadcaster_.AddRef();
}

ULONG STDMETHODCALLTYPE TDelegatedBroadcaster::Release()
{
    return broadcaster_.Release();
}

void STDMETHODCALLTYPE TDelegatedBroadcaster::Broadcast(TObject* sender, REFGUID notifyId)
{
    broadcaster_.Broadcast(sender, notifyId);
}

void STDMETHODCALLTYPE TDelegatedBroadcaster::AddListener(IListener* listener)
{
    broadcaster_.AddListener(listener);
}

void STDMETHODCALLTYPE TDelegatedBroadcaster::RemoveListener(IListener* listener)
{
    broadcaster_.RemoveListener(listener);
}

void TDelegatedBroadcaster::UnlinkListeners()
{
    broadcaster_.BeforeDestruction();
}

void TDelegatedBroadcaster::UnlinkListenersOrTerminate() noexcept
{
    try {
        UnlinkListeners();
    } catch (...) {
        std::terminate();
    }
}
