#pragma once

#include <windows.h>

#include <unknwn.h>

// The counting half of a fake COM object of one interface: it answers
// IUnknown and that interface as itself, and counts its references without
// ever freeing itself, so that a test can read the count.
template <class TInterface>
class TCountedFake : public TInterface {
public:
    explicit TCountedFake(const IID& id) : id_(id) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override
    {
        *out = nullptr;
        if (!IsEqualIID(id, IID_IUnknown) && !IsEqualIID(id, id_))
            return E_NOINTERFACE;
        *out = static_cast<TInterface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    ULONG references = 0;

private:
    const IID& id_;
};
