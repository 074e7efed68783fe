#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "framework/runtime/Components.h"
#include "imagepack/UBroadcaster.h"

// The controller changed; sent at the end of an update that had a change.
// {1153AE63-523C-11D3-AD37-00500463098A}
inline constexpr GUID NotifyChanged = {0x1153ae63, 0x523c, 0x11d3, {0xad, 0x37, 0x00, 0x50, 0x04, 0x63, 0x09, 0x8a}};

// Has no interface id: it is handed out by its owner, never found by a query.
struct IChangeNotify : public IUnknown {
    virtual void STDMETHODCALLTYPE Changed() = 0;
    virtual void STDMETHODCALLTYPE BeginUpdate() = 0;
    virtual void STDMETHODCALLTYPE EndUpdate() = 0;
};

// A broadcaster that batches changes: however many Changed calls an update
// holds, its outermost EndUpdate announces them once.
class TChangeNotify : public TBroadcaster, public IChangeNotify {
public:
    explicit TChangeNotify(TObject* controller) : TBroadcaster(controller) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    void STDMETHODCALLTYPE Changed() override;
    void STDMETHODCALLTYPE BeginUpdate() override;
    void STDMETHODCALLTYPE EndUpdate() override;

    std::int32_t UpdateCount() const { return updateCount_; }

    // Called after the broadcast, with this object as sender.
    TNotifyEvent OnChange;

private:
    // Goes negative on an EndUpdate without its BeginUpdate; changes are
    // then not announced until the count is back at zero.
    std::int32_t updateCount_ = 0;
    bool pending_ = false;
};
