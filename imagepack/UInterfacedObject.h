#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <utility>

#include "framework/runtime/Components.h"

// Destroying an object that something still counts a reference to.
class EInvalidPointer : public Exception {
public:
    EInvalidPointer();
};

// A counted interface reference, released when the holder lets go of it.
template <class I>
class TInterfaceRef {
public:
    TInterfaceRef() = default;
    // Takes a new reference to the interface.
    explicit TInterfaceRef(I* reference) : reference_(reference)
    {
        if (reference_)
            reference_->AddRef();
    }
    TInterfaceRef(const TInterfaceRef& other) : TInterfaceRef(other.reference_) {}
    TInterfaceRef(TInterfaceRef&& other) noexcept : reference_(std::exchange(other.reference_, nullptr)) {}
    // Release raises only when the count is already broken; a holder cannot
    // pass that on, and going on could use an object that is gone.
    ~TInterfaceRef()
    {
        try {
            if (reference_)
                reference_->Release();
        } catch (...) {
            std::terminate();
        }
    }
    TInterfaceRef& operator=(TInterfaceRef other) noexcept
    {
        std::swap(reference_, other.reference_);
        return *this;
    }

    // Asks any interface for another; empty when it is not implemented.
    static TInterfaceRef Query(IUnknown* from, REFIID id)
    {
        TInterfaceRef result;
        void* found = nullptr;
        if (from && from->QueryInterface(id, &found) == S_OK)
            result.reference_ = static_cast<I*>(found);
        return result;
    }

    I* Get() const { return reference_; }
    I* operator->() const { return reference_; }
    explicit operator bool() const { return reference_ != nullptr; }

private:
    I* reference_ = nullptr;
};

// Base of the notification objects. They are owned and destroyed by another
// object, never by reference counting: the count only tells whether anything
// still refers to them when they go.
//
// Destruction has two steps, because unlinking may fail and a destructor
// cannot raise. BeforeDestruction unlinks the object and checks the count;
// when it raises, the object stays whole and usable. Owners run it in their
// own destroying step (a component's BeforeDestruction), so that a refusal
// reaches whoever destroys the owner. The destructor runs the same step for
// an owner that simply deletes, and ends the program when it fails: going
// on would leave the other side holding a reference to freed memory.
class TInterfaceImplement : public TObject, public IUnknown {
public:
    // Queries go to the controller when there is one.
    explicit TInterfaceImplement(TObject* controller = nullptr) : controller_(controller) {}
    ~TInterfaceImplement() override;

    TInterfaceImplement(const TInterfaceImplement&) = delete;
    TInterfaceImplement& operator=(const TInterfaceImplement&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    // Never destroys the object; raises when the count goes below zero.
    ULONG STDMETHODCALLTYPE Release() override;

    // Raises EInvalidPointer when something still counts a reference, or
    // what unlinking raises.
    void BeforeDestruction();

    TObject* Controller() const { return controller_; }
    std::int32_t RefCount() const { return refCount_; }

protected:
    // Takes this object out of every link it is in.
    virtual void Unlink() {}

    // For the destructors of classes that unlink.
    void BeforeDestructionOrTerminate() noexcept;

    // This object's own interfaces, for queries without a controller. The
    // answer carries a counted reference.
    virtual bool GetInterface(REFIID id, void** out);

    // One of this object's interfaces as a query of it answers, that is
    // through the controller when there is one.
    template <class I>
    TInterfaceRef<I> QueryOwn(REFIID id)
    {
        return TInterfaceRef<I>::Query(static_cast<IUnknown*>(this), id);
    }

private:
    TObject* controller_;
    std::atomic<std::int32_t> refCount_ = 0;
};
