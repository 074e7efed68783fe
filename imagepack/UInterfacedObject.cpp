#include "imagepack/UInterfacedObject.h"

#include "bitmap/UGraphicUtil.h"

EInvalidPointer::EInvalidPointer() : Exception("参照の残っているオブジェクトは破棄できません") {}

TInterfaceImplement::~TInterfaceImplement()
{
    BeforeDestructionOrTerminate();
}

HRESULT STDMETHODCALLTYPE TInterfaceImplement::QueryInterface(REFIID id, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    // A controller answers for its notification object, so that the object
    // is always handed out as the controller's interface.
    const bool found = controller_ ? QueryObjectInterface(controller_, id, out) : GetInterface(id, out);
    return found ? S_OK : E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TInterfaceImplement::AddRef()
{
    return static_cast<ULONG>(++refCount_);
}

ULONG STDMETHODCALLTYPE TInterfaceImplement::Release()
{
    const std::int32_t count = --refCount_;
    if (count < 0)
        throw Exception("FRefCount is minus value");
    return static_cast<ULONG>(count);
}

void TInterfaceImplement::BeforeDestruction()
{
    // Unlinking only gives references back; it cannot mend a count that
    // is already below zero.
    if (refCount_ < 0)
        throw EInvalidPointer();
    Unlink();
    if (refCount_ != 0)
        throw EInvalidPointer();
}

void TInterfaceImplement::BeforeDestructionOrTerminate() noexcept
{
    try {
        BeforeDestruction();
    } catch (...) {
        std::terminate();
    }
}

bool TInterfaceImplement::GetInterface(REFIID id, void** out)
{
    if (!IsEqualIID(id, __uuidof(IUnknown)))
        return false;
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return true;
}
