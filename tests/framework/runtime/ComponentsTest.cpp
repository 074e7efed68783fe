#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/runtime/Components.h"
#include "framework/runtime/Text.h"

namespace {

// Records, as it goes, whether it and its owner were already marked; while
// `refuse` is set, its destroying step refuses.
class TWitness : public TComponent {
public:
    static constexpr std::string_view kClassName = "TWitness";
    std::string_view ClassName() const override { return kClassName; }

    TWitness(TComponent* owner, std::vector<std::string>& log, const char* name = "") : TComponent(owner), log_(log)
    {
        SetName(name);
    }
    ~TWitness() override
    {
        log_.push_back(Name() + (Destroying() ? " destroying" : " live") +
                       (Owner() && Owner()->Destroying() ? ", owner destroying" : ""));
    }

    bool refuse = false;

protected:
    void BeforeDestruction() override
    {
        log_.push_back(Name() + " asked");
        if (refuse)
            throw Exception(Name() + " refuses");
    }

private:
    std::vector<std::string>& log_;
};

// root owns child and sibling; child owns grandchild.
struct TWitnessTree {
    std::vector<std::string> log;
    TWitness* root = new TWitness(nullptr, log, "root");
    TWitness* child = new TWitness(root, log, "child");
    TWitness* grandchild = new TWitness(child, log, "grandchild");
    TWitness* sibling = new TWitness(root, log, "sibling");

    bool AnyDestroying() const
    {
        return root->Destroying() || child->Destroying() || grandchild->Destroying() || sibling->Destroying();
    }
};

TEST(Component, DestroyingIsSetForEverythingOwnedBeforeTheFirstOwnedComponentGoes)
{
    TWitnessTree tree;
    EXPECT_FALSE(tree.AnyDestroying());
    delete tree.root;
    // The root's own destructor runs before the base marks the tree; what it
    // owns is marked before any of it goes. A plain delete asks no one.
    EXPECT_EQ(tree.log, (std::vector<std::string>{"root live", "sibling destroying, owner destroying",
                                                  "child destroying, owner destroying",
                                                  "grandchild destroying, owner destroying"}));
}

TEST(Component, EveryoneInTheTreeIsAskedBeforeAnythingGoesAndARefusalLeavesTheTreeAsItWas)
{
    TWitnessTree tree;
    tree.grandchild->refuse = true;
    TComponentPtr<TWitness> holder(tree.root);
    try {
        FreeComponent(holder);
        ADD_FAILURE() << "the refusal did not reach the caller";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "grandchild refuses");
    }
    ASSERT_EQ(holder.get(), tree.root);
    EXPECT_EQ(tree.log, (std::vector<std::string>{"sibling asked", "grandchild asked"}));
    EXPECT_FALSE(tree.AnyDestroying());
    EXPECT_EQ(tree.root->Components().size(), 2u);
    EXPECT_EQ(tree.child->FindComponent("grandchild"), tree.grandchild);

    tree.log.clear();
    tree.grandchild->refuse = false;
    FreeComponent(holder);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(tree.log, (std::vector<std::string>{"sibling asked", "grandchild asked", "child asked", "root asked",
                                                  "root destroying", "sibling destroying, owner destroying",
                                                  "child destroying, owner destroying",
                                                  "grandchild destroying, owner destroying"}));
}

TEST(Component, AHolderThatCannotPassARefusalOnLeavesTheComponentAlive)
{
    TWitnessTree tree;
    tree.sibling->refuse = true;
    { TComponentPtr<TWitness> holder(tree.root); }
    EXPECT_EQ(tree.log, (std::vector<std::string>{"sibling asked"}));
    EXPECT_FALSE(tree.AnyDestroying());

    tree.sibling->refuse = false;
    FreeComponent(tree.child);
    EXPECT_EQ(tree.root->Components(), std::vector<TComponent*>{tree.sibling});
    { TComponentPtr<TWitness> holder(tree.root); }
    EXPECT_EQ(tree.log.back(), "sibling destroying, owner destroying");
}

// A reader that resolves a reference at once.
class TImmediateReader : public TPropertyReader {
public:
    explicit TImmediateReader(TComponent* target) : target_(target) {}
    void AddFixup(std::string, std::function<void(TComponent*)> set) override { set(target_); }
    const std::any& PublishedMethod(const std::string&) const override { throw ELayoutError("none"); }

private:
    TComponent* target_;
};

class TOther : public TComponent {
public:
    static constexpr std::string_view kClassName = "TOther";
    std::string_view ClassName() const override { return kClassName; }
    using TComponent::TComponent;
};

TEST(Component, RegistryCreatesByTheNameTheClassStates)
{
    TClassRegistry::Register<TOther>();
    TOther owner(nullptr);
    TComponent* made = TClassRegistry::Create("TOther", &owner);
    EXPECT_EQ(made->ClassName(), "TOther");
    EXPECT_EQ(made->Owner(), &owner);
    EXPECT_THROW(TClassRegistry::Create("TNobody", &owner), ELayoutError);
}

TEST(Component, TypedReferenceTakesItsClassAndRefusesAnother)
{
    std::vector<std::string> log;
    TWitness root(nullptr, log);
    auto* witness = new TWitness(&root, log);
    auto* other = new TOther(&root);
    other->SetName("Other1");
    TWitness* partner = nullptr;
    TProperties properties;
    properties.Reference<TWitness>("Partner", [&] { return partner; }, [&](TWitness* w) { partner = w; },
                                   "is not a witness");
    const auto& property = *properties.Find("Partner");

    TImmediateReader toWitness(witness);
    property.set(TLayoutValue::Ident("Witness1"), toWitness);
    EXPECT_EQ(partner, witness);

    TImmediateReader toOther(other);
    try {
        property.set(TLayoutValue::Ident("Other1"), toOther);
        FAIL() << "a component of another class was taken";
    } catch (const ELayoutError& error) {
        EXPECT_EQ(error.Message(), "Other1 is not a witness");
    }
    EXPECT_EQ(partner, witness);
}

TEST(AnsiCompareText, IgnoresCaseAndSortsAsTheLocaleDoes)
{
    EXPECT_TRUE(AnsiSameText("LOGO", "logo"));
    EXPECT_TRUE(AnsiSameText("Button", "bUTTON"));
    // Double-byte letters have a case too.
    EXPECT_TRUE(AnsiSameText("ＬＯＧＯ", "ｌｏｇｏ"));
    EXPECT_FALSE(AnsiSameText("LOGO", "LOGO2"));
    EXPECT_FALSE(AnsiSameText("表", "俵"));
    // Not by bytes: "a" (0x61) sorts before "B" (0x42).
    EXPECT_LT(AnsiCompareText("a", "B"), 0);
    EXPECT_GT(AnsiCompareText("B", "a"), 0);
    // Only the given bytes count; no terminator is needed.
    const std::string text = "LOGOTYPE";
    EXPECT_TRUE(AnsiSameText(std::string_view(text).substr(0, 4), "logo"));
}

} // namespace
