#include <gtest/gtest.h>

#include "bitmap/UGraphicUtil.h"

namespace {

// {0BDA2C2E-5B0A-4C55-9E33-6F1C1B35A001}
const IID IID_ITestThing = {0x0bda2c2e, 0x5b0a, 0x4c55, {0x9e, 0x33, 0x6f, 0x1c, 0x1b, 0x35, 0xa0, 0x01}};

class ITestThing : public IUnknown {};

class TCounted : public TObject, public ITestThing {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override
    {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ITestThing)) {
            *out = static_cast<ITestThing*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }

    ULONG count = 0;
};

TEST(QueryObjectInterface, AsksTheObjectsOwnQueryAndHandsOutACountedReference)
{
    TCounted object;
    void* found = nullptr;
    ASSERT_TRUE(QueryObjectInterface(&object, IID_ITestThing, &found));
    EXPECT_EQ(found, static_cast<ITestThing*>(&object));
    EXPECT_EQ(object.count, 1u);

    void* missing = &object;
    EXPECT_FALSE(QueryObjectInterface(&object, IID_IDispatch, &missing));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(object.count, 1u);
}

TEST(QueryObjectInterface, AnObjectWithoutIUnknownHasNoInterface)
{
    TObject plain;
    void* found = &plain;
    EXPECT_FALSE(QueryObjectInterface(&plain, IID_IUnknown, &found));
    EXPECT_EQ(found, nullptr);
}

} // namespace
