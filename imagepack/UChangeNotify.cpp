#include "imagepack/UChangeNotify.h"

HRESULT STDMETHODCALLTYPE TChangeNotify::QueryInterface(REFIID id, void** out)
{
    return TBroadcaster::QueryInterface(id, out);
}

ULONG STDMETHODCALLTYPE TChangeNotify::AddRef()
{
    return TBroadcaster::AddRef();
}

ULONG STDMETHODCALLTYPE TChangeNotify::Release()
{
    return TBroadcaster::Release();
}

void STDMETHODCALLTYPE TChangeNotify::Changed()
{
    BeginUpdate();
    pending_ = true;
    EndUpdate();
}

void STDMETHODCALLTYPE TChangeNotify::BeginUpdate()
{
    if (updateCount_ == 0)
        pending_ = false;
    ++updateCount_;
}

void STDMETHODCALLTYPE TChangeNotify::EndUpdate()
{
    --updateCount_;
    if (updateCount_ != 0 || !pending_)
        return;
    Broadcast(Controller(), NotifyChanged);
    OnChange(this);
}
