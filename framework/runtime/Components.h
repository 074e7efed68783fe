#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/runtime/Errors.h"

class TComponent;
class TLayoutWriter;
class TPropertyReader;
class TProperties;
class TStream;

// Root of the class tree; the sender of every event.
class TObject {
public:
    virtual ~TObject() = default;
};

// An object whose published properties can be read from and written to a
// layout, and copied from another object of a compatible class.
class TPersistent : public TObject {
public:
    // Lists the published properties; subclasses call their base first.
    virtual void DefineProperties(TProperties&) {}
    // Copies what it can from the source; raises when it cannot.
    virtual void Assign(const TPersistent& source);
};

class EAssignError : public Exception {
public:
    EAssignError();
};

// An event: a handler bound to a published method of the layout's root, by
// name. Invoking an unbound event does nothing.
template <class... Args>
class TEvent {
public:
    using Handler = std::function<void(Args...)>;

    TEvent() = default;
    TEvent(Handler handler, std::string name = {}) : handler_(std::move(handler)), name_(std::move(name)) {}

    explicit operator bool() const { return static_cast<bool>(handler_); }
    void operator()(Args... args) const
    {
        if (handler_)
            handler_(args...);
    }
    const std::string& HandlerName() const { return name_; }

private:
    Handler handler_;
    std::string name_;
};

using TNotifyEvent = TEvent<TObject*>;

// Member functions that a root component (a form) publishes for event
// bindings in its layout.
class TMethodTable {
public:
    template <class Root, class... Args>
    void Publish(const std::string& name, Root* root, void (Root::*method)(Args...))
    {
        methods_[name] = std::function<void(Args...)>(
            [root, method](Args... args) { (root->*method)(std::forward<Args>(args)...); });
    }

    const std::any* Find(const std::string& name) const
    {
        const auto found = methods_.find(name);
        return found == methods_.end() ? nullptr : &found->second;
    }

private:
    std::map<std::string, std::any> methods_;
};

// The value of a property as a layout writes it.
struct TLayoutValue {
    enum class Kind { Integer, String, Identifier, Set, Binary };

    Kind kind = Kind::Integer;
    std::int64_t integer = 0;
    std::string text;                // String, Identifier
    std::vector<std::string> items;  // Set
    std::vector<std::uint8_t> bytes; // Binary

    static TLayoutValue Int(std::int64_t value);
    static TLayoutValue Str(std::string value);
    static TLayoutValue Ident(std::string value);
    static TLayoutValue SetOf(std::vector<std::string> names);
    static TLayoutValue Bytes(std::vector<std::uint8_t> bytes);
    bool operator==(const TLayoutValue&) const = default;
};

// Names of the values of an enumeration, in order of their numbers; a set of
// them is a bit mask with bit n for value n.
using TEnumNames = std::vector<std::string>;

// The published properties of one object, declared once for reading and
// writing. A property with a default is written only when it differs.
class TProperties {
public:
    struct Property {
        std::string name;
        std::function<TLayoutValue()> get;
        // Raises ELayoutError (through the reader) for values of a wrong kind.
        std::function<void(const TLayoutValue&, TPropertyReader&)> set;
        std::function<bool()> stored;
        TPersistent* nested = nullptr; // properties reached as "Name.Sub"
        bool ignored = false;          // read and dropped, never written
    };

    void Integer(const std::string& name, std::function<std::int32_t()> get, std::function<void(std::int32_t)> set,
                 std::optional<std::int32_t> defaultValue);
    void Boolean(const std::string& name, std::function<bool()> get, std::function<void(bool)> set,
                 std::optional<bool> defaultValue);
    void String(const std::string& name, std::function<std::string()> get, std::function<void(std::string)> set,
                std::optional<std::string> defaultValue);
    // Colours are 0x00BBGGRR values or named colours (system colours included).
    void Color(const std::string& name, std::function<std::uint32_t()> get, std::function<void(std::uint32_t)> set,
               std::optional<std::uint32_t> defaultValue);
    void Enum(const std::string& name, const TEnumNames& names, std::function<int()> get, std::function<void(int)> set,
              std::optional<int> defaultValue);
    void Set(const std::string& name, const TEnumNames& names, std::function<std::uint32_t()> get,
             std::function<void(std::uint32_t)> set, std::optional<std::uint32_t> defaultValue);
    // Another component of the same layout, found by name once the whole
    // layout has been read.
    void Reference(const std::string& name, std::function<TComponent*()> get, std::function<void(TComponent*)> set);
    // A reference that only a component of class T may fill; any other is a
    // layout error whose message is the component's name and `refusal`.
    template <class T, class Getter, class Setter>
    void Reference(const std::string& name, Getter get, Setter set, std::string refusal);
    void Binary(const std::string& name, std::function<void(TStream&)> write, std::function<void(TStream&)> read,
                std::function<bool()> stored);
    void Nested(const std::string& name, TPersistent& object);
    void Ignored(const std::string& name);

    template <class... Args>
    void Event(const std::string& name, TEvent<Args...>& event);

    const std::vector<Property>& All() const { return properties_; }
    const Property* Find(std::string_view name) const;

private:
    void Add(Property property);

    std::vector<Property> properties_;
};

class ELayoutError : public Exception {
public:
    using Exception::Exception;
};

// A persistent object owned by another component, which destroys it with
// itself. Components are created by class name from layouts: each class
// states its name once, as a static kClassName that ClassName answers and
// the class registry takes.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    virtual std::string_view ClassName() const = 0;

    // True once the component's destruction has begun, before its owned
    // components go; they and everything they own answer true as well, so a
    // component can tell a going owner from a live one (and skip work for a
    // window that is about to vanish). False again after a refused
    // BeginDestruction.
    bool Destroying() const { return destroying_; }

    // The first step of destroying the component, before anything is freed:
    // Destroying answers true from here on for it and everything it owns,
    // and each of them runs its BeforeDestruction. When one refuses, this
    // raises its error and leaves the whole tree alive. FreeComponent and
    // the holders of TComponentPtr take this step; a plain delete does not.
    void BeginDestruction();

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(std::string_view name) const;

    // True from the start of reading a layout until the component's Loaded.
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    // Runs after the whole layout has been read and references resolved.
    virtual void Loaded() { loading_ = false; }

    // Where the component stands in a layout: nested in another component.
    virtual void SetParentComponent(TComponent*) {}
    virtual TComponent* ParentComponent() const { return nullptr; }

    // Methods that layouts may bind events to; forms publish their handlers.
    virtual const TMethodTable* Methods() const { return nullptr; }

protected:
    // Refuses the destruction by raising: a link that will not let go, a
    // reference still counted. Runs at every attempt, so it leaves the
    // component usable when it refuses. Subclasses call their base.
    virtual void BeforeDestruction() {}

    // Begins the destruction (Destroying answers true from here on) and
    // destroys the owned components. Classes whose owned components depend
    // on them (a window and its child controls) call it first thing in their
    // destructor; the base destructor calls it for the others.
    void DestroyComponents();

private:
    void MarkDestroying(bool destroying);
    // Owned components first, as they go: the last made first.
    void BeforeDestructionOfTree();

    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> components_;
    bool loading_ = false;
    bool destroying_ = false;
};

// Destroys the component after the refusable steps of its tree
// (BeginDestruction); on a refusal it raises and nothing has been destroyed.
void FreeComponent(TComponent* component);

// Destroys what a holder lets go of, after the refusable steps of its tree.
// A holder cannot pass a refusal on: a component that refuses is let go of
// and left alive instead of being freed while something still refers to it.
struct TComponentDeleter {
    void operator()(TComponent* component) const noexcept;
};

// A component its creator holds and destroys.
template <class T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

// Destroys the held component as FreeComponent does; on a refusal the
// holder keeps it.
template <class T>
void FreeComponent(TComponentPtr<T>& holder)
{
    if (!holder)
        return;
    holder->BeginDestruction();
    delete holder.release();
}

// Creates components by class name.
class TClassRegistry {
public:
    using Factory = std::function<TComponent*(TComponent* owner)>;

    static void Register(const std::string& className, Factory factory);
    // T names itself with a static kClassName.
    template <class T>
    static void Register()
    {
        Register(std::string(T::kClassName), [](TComponent* owner) -> TComponent* { return new T(owner); });
    }
    // Raises ELayoutError for a class that is not registered.
    static TComponent* Create(const std::string& className, TComponent* owner);
    static bool IsRegistered(const std::string& className);
};

// What the setter of a property may ask of the reader that reads it.
class TPropertyReader {
public:
    // Sets a reference once the whole layout has been read.
    virtual void AddFixup(std::string componentName, std::function<void(TComponent*)> set) = 0;
    // The method that the layout's root publishes under the name; raises
    // ELayoutError when there is none.
    virtual const std::any& PublishedMethod(const std::string& name) const = 0;

protected:
    ~TPropertyReader() = default;
};

template <class... Args>
void TProperties::Event(const std::string& name, TEvent<Args...>& event)
{
    Property property;
    property.name = name;
    property.get = [&event] { return TLayoutValue::Ident(event.HandlerName()); };
    property.set = [&event](const TLayoutValue& value, TPropertyReader& reader) {
        if (value.kind != TLayoutValue::Kind::Identifier)
            throw ELayoutError("expected the name of a handler");
        const auto* handler = std::any_cast<std::function<void(Args...)>>(&reader.PublishedMethod(value.text));
        if (!handler)
            throw ELayoutError("handler " + value.text + " does not fit this event");
        event = TEvent<Args...>(*handler, value.text);
    };
    property.stored = [&event] { return !event.HandlerName().empty(); };
    Add(std::move(property));
}

template <class T, class Getter, class Setter>
void TProperties::Reference(const std::string& name, Getter get, Setter set, std::string refusal)
{
    Reference(
        name, [get]() -> TComponent* { return get(); },
        [set, refusal = std::move(refusal)](TComponent* target) {
            auto* typed = dynamic_cast<T*>(target);
            if (!typed)
                throw ELayoutError(target->Name() + " " + refusal);
            set(typed);
        });
}
