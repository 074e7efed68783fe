#include "framework/runtime/Components.h"

#include <algorithm>

#include "framework/runtime/Colors.h"
#include "framework/runtime/Streams.h"

EAssignError::EAssignError() : Exception("代入できません") {}

void TPersistent::Assign(const TPersistent&)
{
    throw EAssignError();
}

TLayoutValue TLayoutValue::Int(std::int64_t value)
{
    TLayoutValue v;
    v.kind = Kind::Integer;
    v.integer = value;
    return v;
}

TLayoutValue TLayoutValue::Str(std::string value)
{
    TLayoutValue v;
    v.kind = Kind::String;
    v.text = std::move(value);
    return v;
}

TLayoutValue TLayoutValue::Ident(std::string value)
{
    TLayoutValue v;
    v.kind = Kind::Identifier;
    v.text = std::move(value);
    return v;
}

TLayoutValue TLayoutValue::SetOf(std::vector<std::string> names)
{
    TLayoutValue v;
    v.kind = Kind::Set;
    v.items = std::move(names);
    return v;
}

TLayoutValue TLayoutValue::Bytes(std::vector<std::uint8_t> bytes)
{
    TLayoutValue v;
    v.kind = Kind::Binary;
    v.bytes = std::move(bytes);
    return v;
}

namespace {

void Expect(const TLayoutValue& value, TLayoutValue::Kind kind, const char* what)
{
    if (value.kind != kind)
        throw ELayoutError(std::string("expected ") + what);
}

int IndexOfName(const TEnumNames& names, const std::string& name)
{
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end())
        throw ELayoutError("unknown value " + name);
    return static_cast<int>(found - names.begin());
}

template <class T>
std::function<bool()> DiffersFrom(std::function<T()> get, std::optional<T> defaultValue)
{
    if (!defaultValue)
        return [] { return true; };
    return [get, value = *defaultValue] { return get() != value; };
}

} // namespace

void TProperties::Add(Property property)
{
    properties_.push_back(std::move(property));
}

const TProperties::Property* TProperties::Find(std::string_view name) const
{
    for (const Property& property : properties_) {
        if (property.name == name)
            return &property;
    }
    return nullptr;
}

void TProperties::Integer(const std::string& name, std::function<std::int32_t()> get,
                          std::function<void(std::int32_t)> set, std::optional<std::int32_t> defaultValue)
{
    Add({name, [get] { return TLayoutValue::Int(get()); },
         [set](const TLayoutValue& value, TPropertyReader&) {
             Expect(value, TLayoutValue::Kind::Integer, "an integer");
             if (value.integer < INT32_MIN || value.integer > INT32_MAX)
                 throw ELayoutError("integer out of range");
             set(static_cast<std::int32_t>(value.integer));
         },
         DiffersFrom(get, defaultValue)});
}

void TProperties::Boolean(const std::string& name, std::function<bool()> get, std::function<void(bool)> set,
                          std::optional<bool> defaultValue)
{
    Add({name, [get] { return TLayoutValue::Ident(get() ? "true" : "false"); },
         [set](const TLayoutValue& value, TPropertyReader&) {
             Expect(value, TLayoutValue::Kind::Identifier, "true or false");
             if (value.text != "true" && value.text != "false")
                 throw ELayoutError("expected true or false");
             set(value.text == "true");
         },
         DiffersFrom(get, defaultValue)});
}

void TProperties::String(const std::string& name, std::function<std::string()> get,
                         std::function<void(std::string)> set, std::optional<std::string> defaultValue)
{
    Add({name, [get] { return TLayoutValue::Str(get()); },
         [set](const TLayoutValue& value, TPropertyReader&) {
             Expect(value, TLayoutValue::Kind::String, "a string");
             set(value.text);
         },
         DiffersFrom(get, defaultValue)});
}

void TProperties::Color(const std::string& name, std::function<std::uint32_t()> get,
                        std::function<void(std::uint32_t)> set, std::optional<std::uint32_t> defaultValue)
{
    Add({name,
         [get] {
             const TColor color = get();
             if (auto named = NameOfColor(color))
                 return TLayoutValue::Ident(*named);
             return TLayoutValue::Int(color);
         },
         [set](const TLayoutValue& value, TPropertyReader&) {
             if (value.kind == TLayoutValue::Kind::Integer)
                 return set(static_cast<std::uint32_t>(value.integer));
             Expect(value, TLayoutValue::Kind::Identifier, "a colour");
             const auto color = ColorFromName(value.text);
             if (!color)
                 throw ELayoutError("unknown colour " + value.text);
             set(*color);
         },
         DiffersFrom(get, defaultValue)});
}

void TProperties::Enum(const std::string& name, const TEnumNames& names, std::function<int()> get,
                       std::function<void(int)> set, std::optional<int> defaultValue)
{
    Add({name, [get, &names] { return TLayoutValue::Ident(names.at(static_cast<std::size_t>(get()))); },
         [set, &names](const TLayoutValue& value, TPropertyReader&) {
             Expect(value, TLayoutValue::Kind::Identifier, "a name");
             set(IndexOfName(names, value.text));
         },
         DiffersFrom(get, defaultValue)});
}

void TProperties::Set(const std::string& name, const TEnumNames& names, std::function<std::uint32_t()> get,
                      std::function<void(std::uint32_t)> set, std::optional<std::uint32_t> defaultValue)
{
    Add({name,
         [get, &names] {
             std::vector<std::string> members;
             const std::uint32_t bits = get();
             for (std::size_t i = 0; i < names.size(); ++i) {
                 if (bits & (1u << i))
                     members.push_back(names[i]);
             }
             return TLayoutValue::SetOf(members);
         },
         [set, &names](const TLayoutValue& value, TPropertyReader&) {
             Expect(value, TLayoutValue::Kind::Set, "a set");
             std::uint32_t bits = 0;
             for (const std::string& member : value.items)
                 bits |= 1u << IndexOfName(names, member);
             set(bits);
         },
         DiffersFrom(get, defaultValue)});
}

void TProperties::Reference(const std::string& name, std::function<TComponent*()> get,
                            std::function<void(TComponent*)> set)
{
    Add({name,
         [get] {
             const TComponent* target = get();
             return TLayoutValue::Ident(target ? target->Name() : std::string());
         },
         [set](const TLayoutValue& value, TPropertyReader& reader) {
             Expect(value, TLayoutValue::Kind::Identifier, "the name of a component");
             reader.AddFixup(value.text, set);
         },
         [get] { return get() != nullptr; }});
}

void TProperties::Binary(const std::string& name, std::function<void(TStream&)> write,
                         std::function<void(TStream&)> read, std::function<bool()> stored)
{
    Add({name,
         [write] {
             TMemoryStream stream;
             write(stream);
             return TLayoutValue::Bytes(std::vector<std::uint8_t>(stream.Memory(), stream.Memory() + stream.Size()));
         },
         [read](const TLayoutValue& value, TPropertyReader&) {
             Expect(value, TLayoutValue::Kind::Binary, "binary data");
             TMemoryStream stream;
             stream.WriteBuffer(value.bytes.data(), static_cast<std::int32_t>(value.bytes.size()));
             stream.SetPosition(0);
             read(stream);
         },
         std::move(stored)});
}

void TProperties::Nested(const std::string& name, TPersistent& object)
{
    Property property;
    property.name = name;
    property.nested = &object;
    Add(std::move(property));
}

void TProperties::Ignored(const std::string& name)
{
    Property property;
    property.name = name;
    property.ignored = true;
    property.set = [](const TLayoutValue&, TPropertyReader&) {};
    property.stored = [] { return false; };
    Add(std::move(property));
}

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_)
        owner_->components_.push_back(this);
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (owner_) {
        auto& siblings = owner_->components_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

void TComponent::MarkDestroying(bool destroying)
{
    destroying_ = destroying;
    for (TComponent* component : components_)
        component->MarkDestroying(destroying);
}

void TComponent::BeginDestruction()
{
    const bool wasDestroying = destroying_;
    MarkDestroying(true);
    try {
        BeforeDestructionOfTree();
    } catch (...) {
        if (!wasDestroying)
            MarkDestroying(false);
        throw;
    }
}

void TComponent::BeforeDestructionOfTree()
{
    for (auto at = components_.rbegin(); at != components_.rend(); ++at)
        (*at)->BeforeDestructionOfTree();
    BeforeDestruction();
}

void TComponent::DestroyComponents()
{
    MarkDestroying(true);
    // Reverse order of creation; each one leaves this list as it goes.
    while (!components_.empty())
        delete components_.back();
}

void FreeComponent(TComponent* component)
{
    if (!component)
        return;
    component->BeginDestruction();
    delete component;
}

void TComponentDeleter::operator()(TComponent* component) const noexcept
{
    try {
        component->BeginDestruction();
    } catch (...) {
        return;
    }
    delete component;
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    for (TComponent* component : components_) {
        if (component->Name() == name)
            return component;
    }
    return nullptr;
}

namespace {

std::map<std::string, TClassRegistry::Factory>& Factories()
{
    static std::map<std::string, TClassRegistry::Factory> factories;
    return factories;
}

} // namespace

void TClassRegistry::Register(const std::string& className, Factory factory)
{
    Factories()[className] = std::move(factory);
}

TComponent* TClassRegistry::Create(const std::string& className, TComponent* owner)
{
    const auto found = Factories().find(className);
    if (found == Factories().end())
        throw ELayoutError("class " + className + " is not registered");
    return found->second(owner);
}

bool TClassRegistry::IsRegistered(const std::string& className)
{
    return Factories().count(className) != 0;
}
