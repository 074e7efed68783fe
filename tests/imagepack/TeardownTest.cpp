// Destroying the owners of notification objects: a pack, a matrix pack's
// picture and a display control refuse to go while a link will not let go or
// a reference is still counted, and the refusal reaches whoever destroys them
// or their form.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/runtime/Components.h"
#include "imagepack/UImageEx.h"
#include "imagepack/UMatrixImagePack.h"
#include "tests/imagepack/DisplaySupport.h"
#include "tests/framework/runtime/RaisedMessage.h"
#include "tests/imagepack/NotifySupport.h"

namespace {

class Teardown;

// A piece of the form that is made to refuse, and what makes it let go.
struct TRefusal {
    const char* name;
    // Answers the component that refuses.
    std::function<TComponent*(Teardown&)> hold;
    std::function<void(Teardown&)> letGo;
    const char* message;
};

class Teardown : public testing::TestWithParam<TRefusal> {
public:
    TStubbornListener stubborn;
    TComponentPtr<TTestForm> form{new TTestForm()};
    TTestPack* pack = new TTestPack(form.get());
    TMatrixImagePack* matrix = new TMatrixImagePack(form.get());
    TImageEx* image = new TImageEx(form.get());

protected:
    void SetUp() override
    {
        pack->SetName("pack");
        matrix->SetName("matrix");
        image->SetName("image");
        image->SetParent(form.get());
        image->SetImagePack(pack);
        form->HandleNeeded();
    }
    void TearDown() override
    {
        if (held_)
            GetParam().letGo(*this);
    }

    TComponent* Hold()
    {
        held_ = true;
        return GetParam().hold(*this);
    }
    void LetGo()
    {
        held_ = false;
        GetParam().letGo(*this);
    }

    void ExpectRefusal(const std::function<void()>& destroy) { EXPECT_EQ(MessageRaised(destroy), GetParam().message); }

    // Every piece is there and takes links again.
    void ExpectWhole()
    {
        for (const char* name : {"pack", "matrix", "image"}) {
            const TComponent* component = form->FindComponent(name);
            ASSERT_NE(component, nullptr) << name;
            EXPECT_FALSE(component->Destroying()) << name;
        }
        EXPECT_FALSE(form->Destroying());
        ASSERT_TRUE(image->HandleAllocated());
        EXPECT_TRUE(IsWindow(image->Handle()));
        for (TImagePack* shown : {static_cast<TImagePack*>(matrix), static_cast<TImagePack*>(pack)}) {
            image->SetImagePack(shown);
            ASSERT_EQ(image->Listener().BroadcasterCount(), 1);
            EXPECT_EQ(image->Listener().Broadcasters(0), static_cast<IBroadcaster*>(shown));
        }
        EXPECT_EQ(matrix->Broadcaster().ListenerCount(), 0);
    }

private:
    bool held_ = false;
};

TEST_P(Teardown, TheRefusalReachesTheCallerAndTheComponentGoesOnceItIsLetGo)
{
    TComponent* refusing = Hold();
    const std::string name = refusing->Name();
    ExpectRefusal([&] { FreeComponent(refusing); });
    ExpectWhole();
    LetGo();
    FreeComponent(refusing);
    EXPECT_EQ(form->FindComponent(name), nullptr);
    EXPECT_EQ(form->Components().size(), 2u);
}

TEST_P(Teardown, AFormWithARefusingComponentRefusesAndStaysWhole)
{
    Hold();
    ExpectRefusal([&] { FreeComponent(form); });
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Components().size(), 3u);
    ExpectWhole();
    LetGo();
    FreeComponent(form);
    EXPECT_EQ(form, nullptr);
}

constexpr char kCounted[] = "参照の残っているオブジェクトは破棄できません";

INSTANTIATE_TEST_SUITE_P(
    Pieces, Teardown,
    testing::Values(
        TRefusal{"PackStillCounted",
                 [](Teardown& t) {
                     t.pack->Broadcaster().AddRef();
                     return t.pack;
                 },
                 [](Teardown& t) { t.pack->Broadcaster().Release(); }, kCounted},
        TRefusal{"PackListenerThatWillNotLetGo",
                 [](Teardown& t) {
                     t.pack->AddListener(&t.stubborn);
                     return t.pack;
                 },
                 [](Teardown& t) { t.stubborn.letGo = true; }, "fall into infinity loop."},
        TRefusal{"MatrixPictureStillCounted",
                 [](Teardown& t) {
                     static_cast<IBroadcaster&>(t.matrix->Image()).AddRef();
                     return t.matrix;
                 },
                 [](Teardown& t) { static_cast<IBroadcaster&>(t.matrix->Image()).Release(); }, kCounted},
        TRefusal{"ControlListenerStillCounted",
                 [](Teardown& t) {
                     t.image->Listener().AddRef();
                     return t.image;
                 },
                 [](Teardown& t) { t.image->Listener().Release(); }, kCounted}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
