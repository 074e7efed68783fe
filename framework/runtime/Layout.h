#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/runtime/Components.h"

// Layouts describe a root component (a form) and the components nested in
// it, as Shift-JIS text:
//
//   TfrmMain frmMain {
//     Caption = "..."
//     Font.Height = -12
//     TBitBtn btnSetup {
//       Anchors = [akLeft, akBottom]
//       OnClick = btnSetupClick
//     }
//   }
//
// Values are integers (also 0x hex), "strings" with \" \\ \r \n \t escapes,
// names (true, false, enumeration values, colours, components, handlers),
// sets [a, b] and binary data <hex>. Lines starting with // are comments.

class TLayoutReader : public TPropertyReader {
public:
    TLayoutReader(std::string layoutName, std::string_view text);

    // Deeper than any form needs, shallow enough for the reader's recursion.
    static constexpr int kMaxNesting = 64;

    // Reads the layout into an existing root, creating the nested components
    // (owned by the root), then resolves references and runs Loaded in
    // creation order. Errors name the layout, the line, the component and the
    // property. Components nest at most kMaxNesting deep.
    void Read(TComponent& root);

    TComponent& Root() const { return *root_; }
    void AddFixup(std::string componentName, std::function<void(TComponent*)> set) override;
    const std::any& PublishedMethod(const std::string& name) const override;

private:
    struct Token;
    struct Fixup {
        std::string component; // for messages: where the reference stands
        std::string property;
        std::string target;
        std::function<void(TComponent*)> set;
    };

    Token Next();
    Token Peek();
    Token Expect(int kind, const char* what);
    [[noreturn]] void Fail(const std::string& message) const;

    // The token kinds, each read from its first character on.
    void SkipSpaceAndComments();
    Token NameToken();
    Token NumberToken();
    Token StringToken();
    Token BinaryToken();

    // depth: how many components enclose this one.
    void ReadObject(TComponent& component, int depth);
    void ReadProperty(TComponent& component, const std::string& path);
    TLayoutValue ReadValue();

    std::string layoutName_;
    std::string_view text_;
    std::size_t at_ = 0;
    int line_ = 1;
    TComponent* root_ = nullptr;
    std::vector<TComponent*> created_;
    std::vector<Fixup> fixups_;
    const TComponent* current_ = nullptr;
    std::string currentProperty_;
};

// Reads the layout resource of the root's class (type "LAYOUT", named after
// the class).
void ReadLayoutResource(TComponent& root);

// Stores a root and its components in the layout format.
std::string WriteLayout(TComponent& root);
