#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/DrawingTools.h"
#include "framework/runtime/Colors.h"
#include "framework/runtime/Layout.h"
#include "framework/runtime/Streams.h"

namespace {

std::vector<std::string> loadedOrder;

// A component with one property of every kind a layout can hold.
class TThing : public TComponent {
public:
    using TComponent::TComponent;

    static constexpr std::string_view kClassName = "TThing";

    std::string_view ClassName() const override { return kClassName; }

    void SetParentComponent(TComponent* parent) override { parent_ = parent; }
    TComponent* ParentComponent() const override { return parent_; }

    void Loaded() override
    {
        TComponent::Loaded();
        loadedOrder.push_back(Name());
        partnerAtLoaded = partner;
    }

    void DefineProperties(TProperties& properties) override
    {
        static const TEnumNames modes{"mdFirst", "mdSecond", "mdThird"};
        static const TEnumNames options{"opA", "opB", "opC"};
        TComponent::DefineProperties(properties);
        properties.Integer("Count", [this] { return count; }, [this](int v) { count = v; }, 0);
        properties.Boolean("Flag", [this] { return flag; }, [this](bool v) { flag = v; }, false);
        properties.String("Text", [this] { return text; }, [this](std::string v) { text = v; }, std::string());
        properties.Color("Tint", [this] { return tint; }, [this](TColor v) { tint = v; }, clBlack);
        properties.Enum("Mode", modes, [this] { return mode; }, [this](int v) { mode = v; }, 0);
        properties.Set("Options", options, [this] { return optionBits; }, [this](std::uint32_t v) { optionBits = v; },
                       0u);
        properties.Reference("Partner", [this] { return partner; }, [this](TComponent* v) { partner = v; });
        properties.Binary(
            "Data", [this](TStream& s) { s.WriteBuffer(data.data(), static_cast<std::int32_t>(data.size())); },
            [this](TStream& s) {
                data.resize(static_cast<std::size_t>(s.Size()));
                s.ReadBuffer(data.data(), static_cast<std::int32_t>(data.size()));
            },
            [this] { return !data.empty(); });
        properties.Nested("Brush", brush);
        properties.Ignored("Transparent");
        properties.Event("OnPing", OnPing);
    }

    int count = 0;
    bool flag = false;
    std::string text;
    TColor tint = clBlack;
    int mode = 0;
    std::uint32_t optionBits = 0;
    TComponent* partner = nullptr;
    TComponent* partnerAtLoaded = nullptr;
    std::vector<std::uint8_t> data;
    TBrush brush;
    TNotifyEvent OnPing;

private:
    TComponent* parent_ = nullptr;
};

// The root publishes the handlers that its layout binds.
class TTestRoot : public TComponent {
public:
    TTestRoot() : TComponent(nullptr) { methods_.Publish("RootPing", this, &TTestRoot::RootPing); }

    static constexpr std::string_view kClassName = "TTestRoot";

    std::string_view ClassName() const override { return kClassName; }
    const TMethodTable* Methods() const override { return &methods_; }

    void Loaded() override
    {
        TComponent::Loaded();
        loadedOrder.push_back(Name());
    }

    void RootPing(TObject* sender) { pingedBy = sender; }

    TThing& Thing(const std::string& name) { return dynamic_cast<TThing&>(*FindComponent(name)); }

    TObject* pingedBy = nullptr;

private:
    TMethodTable methods_;
};

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TClassRegistry::Register<TThing>();
        loadedOrder.clear();
    }

    static void Read(TTestRoot& root, const std::string& text) { TLayoutReader("TTestRoot", text).Read(root); }

    static std::string ErrorOf(const std::string& text)
    {
        TTestRoot root;
        try {
            Read(root, text);
        } catch (const ELayoutError& error) {
            return error.Message();
        }
        return "no error";
    }
};

const std::string kFullLayout = R"(// every kind of value
TTestRoot root {
  TThing first {
    Count = -42
    Flag = true
    Text = "テスト \"引用\" \\ 行\r\n表"
    Tint = clBtnFace
    Mode = mdThird
    Options = [opA, opC]
    Partner = second
    Data = <00 ff 10 5C>
    Brush.Color = 0x00123456
    Brush.Style = bsClear
    OnPing = RootPing
    TThing inner {
      Count = 0x10
    }
  }
  TThing second {
    Tint = 255
    Options = []
  }
}
)";

TEST_F(LayoutTest, ReadsEveryKindOfValue)
{
    TTestRoot root;
    Read(root, kFullLayout);
    EXPECT_EQ(root.Name(), "root");
    TThing& first = root.Thing("first");
    EXPECT_EQ(first.count, -42);
    EXPECT_TRUE(first.flag);
    EXPECT_EQ(first.text, "テスト \"引用\" \\ 行\r\n表");
    EXPECT_EQ(first.tint, clBtnFace);
    EXPECT_EQ(first.mode, 2);
    EXPECT_EQ(first.optionBits, 0b101u);
    EXPECT_EQ(first.partner, &root.Thing("second"));
    EXPECT_EQ(first.data, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10, 0x5C}));
    EXPECT_EQ(first.brush.Color(), 0x00123456u);
    EXPECT_EQ(first.brush.Style(), TBrushStyle::Clear);
    EXPECT_EQ(root.Thing("inner").count, 16);
    EXPECT_EQ(root.Thing("inner").ParentComponent(), &first);
    EXPECT_EQ(root.Thing("second").tint, clRed);
    // Components are owned by the root, whatever their nesting.
    EXPECT_EQ(root.Components().size(), 3u);
}

TEST_F(LayoutTest, StoredLayoutReadsBackToTheSameComponents)
{
    TTestRoot original;
    Read(original, kFullLayout);
    const std::string stored = WriteLayout(original);

    TTestRoot copy;
    Read(copy, stored);
    EXPECT_EQ(WriteLayout(copy), stored);
    TThing& first = copy.Thing("first");
    EXPECT_EQ(first.text, original.Thing("first").text);
    EXPECT_EQ(first.data, original.Thing("first").data);
    EXPECT_EQ(first.partner, &copy.Thing("second"));
    EXPECT_EQ(first.tint, clBtnFace);
    EXPECT_EQ(first.OnPing.HandlerName(), "RootPing");
    EXPECT_EQ(copy.Thing("inner").ParentComponent(), &first);
    // Defaults are not written.
    EXPECT_EQ(stored.find("Mode = mdFirst"), std::string::npos);
    EXPECT_NE(stored.find("Tint = clBtnFace"), std::string::npos);
}

TEST_F(LayoutTest, ReferencesAreResolvedBeforeLoadedRunsInCreationOrder)
{
    TTestRoot root;
    Read(root, kFullLayout);
    EXPECT_EQ(loadedOrder, (std::vector<std::string>{"root", "first", "inner", "second"}));
    // "second" came after "first" in the text, yet first saw it at Loaded.
    EXPECT_EQ(root.Thing("first").partnerAtLoaded, &root.Thing("second"));
    EXPECT_FALSE(root.Thing("first").Loading());
}

TEST_F(LayoutTest, EventsCallTheMethodTheRootPublishes)
{
    TTestRoot root;
    Read(root, kFullLayout);
    TThing& first = root.Thing("first");
    first.OnPing(&first);
    EXPECT_EQ(root.pingedBy, &first);
    // An unbound event does nothing.
    root.Thing("second").OnPing(&root);
    EXPECT_EQ(root.pingedBy, &first);
}

TEST_F(LayoutTest, UnknownPropertyIsAnErrorNamingLayoutComponentAndProperty)
{
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    Count = 1\n    Bogus = 2\n  }\n}\n"),
              "layout TTestRoot, line 4, component first, property Bogus: unknown property");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    Brush.Shade = 2\n  }\n}\n"),
              "layout TTestRoot, line 3, component first, property Brush.Shade: unknown property");
}

TEST_F(LayoutTest, IgnoredPropertyIsReadButNeverStored)
{
    TTestRoot root;
    Read(root, "TTestRoot root {\n  TThing first {\n    Transparent = true\n    Count = 3\n  }\n}\n");
    EXPECT_EQ(root.Thing("first").count, 3);
    EXPECT_EQ(WriteLayout(root).find("Transparent"), std::string::npos);
}

TEST_F(LayoutTest, BadValuesAndTargetsAreErrorsWithTheirLocation)
{
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    Count = \"x\"\n  }\n}\n"),
              "layout TTestRoot, line 3, component first, property Count: expected an integer");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    Mode = mdFourth\n  }\n}\n"),
              "layout TTestRoot, line 3, component first, property Mode: unknown value mdFourth");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    Partner = nobody\n  }\n}\n"),
              "layout TTestRoot, component first, property Partner: no component nobody");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    OnPing = Missing\n  }\n}\n"),
              "layout TTestRoot, line 3, component first, property OnPing: TTestRoot publishes no method Missing");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TWidget first {\n  }\n}\n"),
              "layout TTestRoot, line 2, component root: class TWidget is not registered");
    EXPECT_EQ(ErrorOf("TOtherRoot root {\n}\n"), "layout TTestRoot, line 1: the layout is for TOtherRoot, not TTestRoot");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n    Count = 4294967297\n  }\n}\n"),
              "layout TTestRoot, line 3, component first, property Count: integer out of range");
    EXPECT_EQ(ErrorOf("TTestRoot root {\n  TThing first {\n  }\n  TThing first {\n  }\n}\n"),
              "layout TTestRoot, line 4, component root: a second component named first");
}

TEST_F(LayoutTest, ComponentsNestedBeyondTheLimitAreAnErrorNamingTheLine)
{
    auto nested = [](int depth) {
        std::string text = "TTestRoot root {\n";
        for (int i = 0; i < depth; ++i)
            text += "TThing t" + std::to_string(i) + " {\n";
        return text + std::string(depth + 1, '}');
    };
    TTestRoot root;
    Read(root, nested(TLayoutReader::kMaxNesting));
    EXPECT_EQ(root.Components().size(), std::size_t(TLayoutReader::kMaxNesting));
    // The 65th component is named on line 66; 8,000 levels would overflow
    // the stack of a reader without the limit.
    EXPECT_EQ(ErrorOf(nested(TLayoutReader::kMaxNesting + 1)),
              "layout TTestRoot, line 66, component t63: components nested more than 64 deep");
    EXPECT_EQ(ErrorOf(nested(8000)), "layout TTestRoot, line 66, component t63: components nested more than 64 deep");
}

TEST_F(LayoutTest, NumbersAreDecimalUnlessWrittenInHex)
{
    TTestRoot root;
    Read(root, "TTestRoot root {\n  TThing a {\n    Count = 010\n  }\n  TThing b {\n    Count = -0x1F\n  }\n}\n");
    EXPECT_EQ(root.Thing("a").count, 10);
    EXPECT_EQ(root.Thing("b").count, -31);
}

TEST_F(LayoutTest, NumbersBeyondSixtyFourBitsOrMalformedAreErrors)
{
    const auto count = [](const char* value) {
        return std::string("TTestRoot root {\n  TThing a {\n    Count = ") + value + "\n  }\n}\n";
    };
    for (const char* bad : {"9223372036854775808", "-9223372036854775809", "0x10000000000000000", "0x", "12ab"})
        EXPECT_NE(ErrorOf(count(bad)).find(std::string("bad number ") + bad), std::string::npos) << bad;
    TTestRoot root;
    Read(root, count("-0x80000000"));
    EXPECT_EQ(root.Thing("a").count, INT32_MIN);
}

} // namespace
