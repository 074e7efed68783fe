#include <gtest/gtest.h>

#include <string>

#include "framework/ui/Form.h"
#include "framework/runtime/Layout.h"
#include "framework/graphics/Picture.h"
#include "framework/controls/StandardClasses.h"
#include "tests/framework/graphics/PictureFuzzSupport.h"

namespace {

// A form that publishes the handlers the product's and the tests' layouts
// name, so that reading goes past them.
class TfrmFuzz : public TForm {
public:
    TfrmFuzz() : TForm(nullptr)
    {
        for (const char* name : {"FormCreate", "Edit1Change", "BitBtn1Click", "btnAbortClick", "btnFailClick",
                                 "btnOkClick", "btnSetupClick", "ReadyNotifier1Ready"})
            Publish(name, this, &TfrmFuzz::Notify);
        Publish("FormCloseQuery", this, &TfrmFuzz::CloseQuery);
    }

    std::string_view ClassName() const override { return "TfrmFuzz"; }

private:
    void Notify(TObject*) {}
    void CloseQuery(TObject*, bool&) {}
};

// A component holding a picture, as the library's image controls will: its
// Picture.Data reaches every graphic reader from a layout.
class TFuzzPicture : public TComponent {
public:
    using TComponent::TComponent;

    static constexpr std::string_view kClassName = "TFuzzPicture";
    std::string_view ClassName() const override { return kClassName; }
    void DefineProperties(TProperties& properties) override
    {
        TComponent::DefineProperties(properties);
        properties.Nested("Picture", picture_);
    }

private:
    TPicture picture_;
};

void ReadLayout(const TFuzzBytes& input)
{
    TfrmFuzz form;
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    TLayoutReader("TfrmFuzz", text).Read(form);
}

TFuzzBytes Word(const std::string& text)
{
    return TFuzzBytes(text.begin(), text.end());
}

TEST(LayoutFuzz, Text)
{
    RegisterStandardClasses();
    TClassRegistry::Register<TFuzzPicture>();
    TFuzzOptions options = PictureFuzzOptions(8000);
    for (const char* word : {"{", "}", "=", "[", "]", ", ", "<", ">", "\"", ".", "//", "0x", "-", "\n", "\\",
                             "TPanel p {\n", "TEdit e {\n", "TBitBtn b {\n", "TLabel l {\n", "TFuzzPicture f {\n",
                             "Picture.Data = <", "Font.Height", "Left", "Width", "Caption", "Anchors", "true"})
        options.dictionary.push_back(Word(word));
    ExpectReaderHolds({"layout-text", ReadLayout, IsReaderRefusal, nullptr}, "layout", options);
}

} // namespace
