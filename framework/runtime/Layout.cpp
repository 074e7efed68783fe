#include "framework/runtime/Layout.h"

#include <windows.h>

#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>

#include "framework/runtime/ShiftJis.h"
#include "framework/runtime/StartupMarks.h"
#include "framework/runtime/Streams.h"
#include "framework/runtime/Text.h"

namespace {

enum TokenKind { kEnd, kName, kInteger, kString, kSymbol, kBinary };

// Layouts are Shift-JIS whatever the system's code page.
bool IsLeadByte(char byte)
{
    return TLeadBytes::ShiftJis().IsLead(static_cast<unsigned char>(byte));
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

} // namespace

struct TLayoutReader::Token {
    int kind = kEnd;
    std::string text;
    std::int64_t integer = 0;
    std::vector<std::uint8_t> bytes;
};

TLayoutReader::TLayoutReader(std::string layoutName, std::string_view text)
    : layoutName_(std::move(layoutName)), text_(text)
{
}

void TLayoutReader::Fail(const std::string& message) const
{
    std::string where = "layout " + layoutName_ + ", line " + std::to_string(line_);
    if (current_)
        where += ", component " + (current_->Name().empty() ? std::string(current_->ClassName()) : current_->Name());
    if (!currentProperty_.empty())
        where += ", property " + currentProperty_;
    throw ELayoutError(where + ": " + message);
}

TLayoutReader::Token TLayoutReader::Next()
{
    SkipSpaceAndComments();
    if (at_ >= text_.size())
        return Token{};
    const char c = text_[at_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_')
        return NameToken();
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '-' && at_ + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_ + 1]))))
        return NumberToken();
    if (c == '"')
        return StringToken();
    if (c == '<')
        return BinaryToken();
    Token token;
    token.kind = kSymbol;
    token.text = std::string(1, c);
    ++at_;
    return token;
}

void TLayoutReader::SkipSpaceAndComments()
{
    for (;;) {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
            if (text_[at_] == '\n')
                ++line_;
            ++at_;
        }
        if (text_.substr(at_, 2) != "//")
            return;
        while (at_ < text_.size() && text_[at_] != '\n')
            ++at_;
    }
}

TLayoutReader::Token TLayoutReader::NameToken()
{
    const std::size_t start = at_;
    while (at_ < text_.size() && IsNameChar(text_[at_]))
        ++at_;
    Token token;
    token.kind = kName;
    token.text = std::string(text_.substr(start, at_ - start));
    return token;
}

TLayoutReader::Token TLayoutReader::NumberToken()
{
    const std::size_t start = at_;
    ++at_;
    while (at_ < text_.size() && IsNameChar(text_[at_]))
        ++at_;
    const std::string digits(text_.substr(start, at_ - start));
    // Decimal unless written 0x...; a leading zero is not octal.
    const std::size_t sign = digits[0] == '-' ? 1 : 0;
    const bool hex = digits.size() > sign + 1 && digits[sign] == '0' && (digits[sign + 1] | 0x20) == 'x';
    Token token;
    token.kind = kInteger;
    const char* const end = digits.data() + digits.size();
    std::uint64_t magnitude = 0;
    const auto [stop, error] = std::from_chars(digits.data() + sign + (hex ? 2 : 0), end, magnitude, hex ? 16 : 10);
    const std::uint64_t largest = static_cast<std::uint64_t>(INT64_MAX) + sign;
    if (error != std::errc() || stop != end || magnitude > largest)
        Fail("bad number " + digits);
    token.integer = sign ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return token;
}

TLayoutReader::Token TLayoutReader::StringToken()
{
    ++at_;
    Token token;
    token.kind = kString;
    for (;;) {
        if (at_ >= text_.size() || text_[at_] == '\n')
            Fail("string without its closing quote");
        const char d = text_[at_++];
        if (d == '"')
            return token;
        if (IsLeadByte(d) && at_ < text_.size()) {
            token.text += d;
            token.text += text_[at_++];
            continue;
        }
        if (d != '\\') {
            token.text += d;
            continue;
        }
        if (at_ >= text_.size())
            Fail("string without its closing quote");
        switch (const char e = text_[at_++]) {
        case 'r': token.text += '\r'; break;
        case 'n': token.text += '\n'; break;
        case 't': token.text += '\t'; break;
        case '"':
        case '\\': token.text += e; break;
        default: Fail(std::string("unknown escape \\") + e);
        }
    }
}

TLayoutReader::Token TLayoutReader::BinaryToken()
{
    ++at_;
    Token token;
    token.kind = kBinary;
    int high = -1;
    while (at_ < text_.size() && text_[at_] != '>') {
        const char d = text_[at_++];
        if (d == '\n')
            ++line_;
        if (std::isspace(static_cast<unsigned char>(d)))
            continue;
        const int digit = HexDigit(d);
        if (digit < 0)
            Fail("bad binary data");
        if (high < 0) {
            high = digit;
        } else {
            token.bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (at_ >= text_.size() || high >= 0)
        Fail("bad binary data");
    ++at_;
    return token;
}

TLayoutReader::Token TLayoutReader::Peek()
{
    const std::size_t at = at_;
    const int line = line_;
    Token token = Next();
    at_ = at;
    line_ = line;
    return token;
}

TLayoutReader::Token TLayoutReader::Expect(int kind, const char* what)
{
    Token token = Next();
    if (token.kind != kind)
        Fail(std::string("expected ") + what);
    return token;
}

void TLayoutReader::AddFixup(std::string componentName, std::function<void(TComponent*)> set)
{
    fixups_.push_back({current_ ? current_->Name() : std::string(), currentProperty_, std::move(componentName),
                       std::move(set)});
}

const std::any& TLayoutReader::PublishedMethod(const std::string& name) const
{
    const TMethodTable* methods = Root().Methods();
    const std::any* method = methods ? methods->Find(name) : nullptr;
    if (!method)
        throw ELayoutError(std::string(Root().ClassName()) + " publishes no method " + name);
    return *method;
}

void TLayoutReader::Read(TComponent& root)
{
    root_ = &root;
    const Token className = Expect(kName, "the class of the root");
    if (className.text != root.ClassName())
        Fail("the layout is for " + className.text + ", not " + std::string(root.ClassName()));
    root.SetName(Expect(kName, "the name of the root").text);
    root.BeginLoading();
    created_.push_back(&root);
    ReadObject(root, 0);
    if (Next().kind != kEnd)
        Fail("text after the end of the root");

    for (const Fixup& fixup : fixups_) {
        const std::string where =
            "layout " + layoutName_ + ", component " + fixup.component + ", property " + fixup.property + ": ";
        TComponent* target = root.FindComponent(fixup.target);
        if (!target)
            throw ELayoutError(where + "no component " + fixup.target);
        try {
            fixup.set(target);
        } catch (const Exception& error) {
            throw ELayoutError(where + error.Message());
        }
    }
    MarkStartup(TStartupMark::FirstLayoutRead);
    for (TComponent* component : created_)
        component->Loaded();
}

void TLayoutReader::ReadObject(TComponent& component, int depth)
{
    Expect(kSymbol, "{");
    for (;;) {
        current_ = &component;
        currentProperty_.clear();
        Token token = Next();
        if (token.kind == kSymbol && token.text == "}")
            return;
        if (token.kind != kName)
            Fail("expected a property or a component");

        if (Peek().kind == kName) {
            if (depth == kMaxNesting)
                Fail("components nested more than " + std::to_string(kMaxNesting) + " deep");
            TComponent* child = nullptr;
            try {
                child = TClassRegistry::Create(token.text, root_);
            } catch (const ELayoutError& error) {
                Fail(error.Message());
            }
            const std::string name = Next().text;
            if (root_->FindComponent(name))
                Fail("a second component named " + name);
            child->SetName(name);
            child->BeginLoading();
            created_.push_back(child);
            child->SetParentComponent(&component);
            ReadObject(*child, depth + 1);
            continue;
        }

        std::string path = token.text;
        while (Peek().kind == kSymbol && Peek().text == ".") {
            Next();
            path += '.';
            path += Expect(kName, "a property name").text;
        }
        currentProperty_ = path;
        const Token equals = Next();
        if (equals.kind != kSymbol || equals.text != "=")
            Fail("expected =");
        ReadProperty(component, path);
    }
}

TLayoutValue TLayoutReader::ReadValue()
{
    Token token = Next();
    switch (token.kind) {
    case kInteger: return TLayoutValue::Int(token.integer);
    case kString: return TLayoutValue::Str(token.text);
    case kName: return TLayoutValue::Ident(token.text);
    case kBinary: return TLayoutValue::Bytes(std::move(token.bytes));
    case kSymbol:
        if (token.text == "[") {
            std::vector<std::string> items;
            if (Peek().kind == kSymbol && Peek().text == "]") {
                Next();
                return TLayoutValue::SetOf(items);
            }
            for (;;) {
                items.push_back(Expect(kName, "a set member").text);
                const Token separator = Expect(kSymbol, ", or ]");
                if (separator.text == "]")
                    return TLayoutValue::SetOf(items);
                if (separator.text != ",")
                    Fail("expected , or ]");
            }
        }
        break;
    }
    Fail("expected a value");
}

void TLayoutReader::ReadProperty(TComponent& component, const std::string& path)
{
    TPersistent* object = &component;
    std::string_view rest = path;
    for (;;) {
        TProperties properties;
        object->DefineProperties(properties);
        const std::size_t dot = rest.find('.');
        const std::string_view name = rest.substr(0, dot);
        const TProperties::Property* property = properties.Find(name);
        if (!property)
            Fail("unknown property");
        if (property->nested && dot != std::string_view::npos) {
            object = property->nested;
            rest = rest.substr(dot + 1);
            continue;
        }
        if (property->nested || dot != std::string_view::npos)
            Fail("unknown property");
        const TLayoutValue value = ReadValue();
        try {
            property->set(value, *this);
        } catch (const ELayoutError& error) {
            Fail(error.Message());
        } catch (const Exception& error) {
            Fail(error.Message());
        }
        return;
    }
}

void ReadLayoutResource(TComponent& root)
{
    const std::string name(root.ClassName());
    TResourceStream resource(GetModuleHandleA(nullptr), name.c_str(), "LAYOUT");
    const std::string_view text(reinterpret_cast<const char*>(resource.Memory()),
                                static_cast<std::size_t>(resource.Size()));
    TLayoutReader(name, text).Read(root);
}

namespace {

std::string QuoteString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsLeadByte(c) && i + 1 < text.size()) {
            out += c;
            out += text[++i];
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string FormatValue(const TLayoutValue& value, const std::string& indent)
{
    switch (value.kind) {
    case TLayoutValue::Kind::Integer: return std::to_string(value.integer);
    case TLayoutValue::Kind::String: return QuoteString(value.text);
    case TLayoutValue::Kind::Identifier: return value.text;
    case TLayoutValue::Kind::Set: {
        std::string out = "[";
        for (std::size_t i = 0; i < value.items.size(); ++i)
            out += (i ? ", " : "") + value.items[i];
        return out + "]";
    }
    case TLayoutValue::Kind::Binary: {
        std::string out = "<";
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            if (i % 32 == 0)
                out += "\n" + indent + "  ";
            out += Format("%02X", value.bytes[i]);
        }
        return out + "\n" + indent + ">";
    }
    }
    return {};
}

void WriteProperties(TPersistent& object, const std::string& prefix, const std::string& indent, std::string& out)
{
    TProperties properties;
    object.DefineProperties(properties);
    for (const TProperties::Property& property : properties.All()) {
        if (property.nested)
            WriteProperties(*property.nested, prefix + property.name + ".", indent, out);
        else if (!property.ignored && property.stored())
            out += indent + prefix + property.name + " = " + FormatValue(property.get(), indent) + "\n";
    }
}

void WriteObject(TComponent& root, TComponent& component, const std::string& indent, std::string& out)
{
    out += indent + std::string(component.ClassName()) + " " + component.Name() + " {\n";
    WriteProperties(component, "", indent + "  ", out);
    for (TComponent* child : root.Components()) {
        TComponent* parent = child->ParentComponent();
        if (parent == &component || (&component == &root && !parent))
            WriteObject(root, *child, indent + "  ", out);
    }
    out += indent + "}\n";
}

} // namespace

std::string WriteLayout(TComponent& root)
{
    std::string out;
    WriteObject(root, root, "", out);
    return out;
}
