#include "framework/ui/Control.h"

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl()
{
    SetParent(nullptr);
}

const TEnumNames& TControl::AlignNames()
{
    static const TEnumNames names{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
    return names;
}

const TEnumNames& TControl::AnchorNames()
{
    static const TEnumNames names{"akLeft", "akTop", "akRight", "akBottom"};
    return names;
}

void TControl::SetParent(TControlParent* parent)
{
    if (parent == parent_)
        return;
    if (parent_) {
        Invalidate();
        TControl* top = ParentControl();
        while (top->parent_)
            top = top->ParentControl();
        top->ControlLeaving(*this);
        parent_->RemoveControl(*this);
    }
    parent_ = parent;
    if (parent_) {
        parent_->InsertControl(*this);
        Invalidate();
    }
}

void TControl::SetParentComponent(TComponent* parent)
{
    if (auto* control = dynamic_cast<TControlParent*>(parent))
        SetParent(control);
}

TComponent* TControl::ParentComponent() const
{
    return ParentControl();
}

TWinControl* TControl::TopParent() const
{
    const TControl* top = this;
    while (top->parent_)
        top = top->ParentControl();
    auto* window = dynamic_cast<TControlParent*>(const_cast<TControl*>(top));
    return window ? &window->AsWindow() : nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    Invalidate();
    StoreBounds(left, top, width, height);
    Invalidate();
}

void TControl::StoreBounds(int left, int top, int width, int height)
{
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (parent_)
        parent_->ChildBoundsChanged(*this);
}

RECT TControl::ClientRect() const
{
    const SIZE size = ClientSize();
    return {0, 0, size.cx, size.cy};
}

void TControl::SetVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    VisibleChanged();
    if (parent_)
        parent_->ChildBoundsChanged(*this);
}

void TControl::VisibleChanged()
{
    if (parent_)
        parent_->InvalidateArea(BoundsRect());
}

bool TControl::Showing() const
{
    for (const TControl* control = this; control; control = control->ParentControl()) {
        if (!control->visible_)
            return false;
    }
    return true;
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    EnabledChanged();
}

void TControl::EnabledChanged()
{
    Invalidate();
}

void TControl::SetAlign(TAlign align)
{
    if (align == align_)
        return;
    align_ = align;
    if (parent_)
        parent_->ChildBoundsChanged(*this);
}

void TControl::SetText(const std::string& text)
{
    if (text == Text())
        return;
    StoreText(text);
    TextChanged();
}

void TControl::Invalidate()
{
    if (parent_ && visible_)
        parent_->InvalidateArea(BoundsRect());
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    OnMouseMove(this, shift, x, y);
}

void TControl::DefineProperties(TProperties& properties)
{
    TComponent::DefineProperties(properties);
    properties.Integer("Left", [this] { return left_; }, [this](int v) { SetLeft(v); }, std::nullopt);
    properties.Integer("Top", [this] { return top_; }, [this](int v) { SetTop(v); }, std::nullopt);
    properties.Integer("Width", [this] { return width_; }, [this](int v) { SetWidth(v); }, std::nullopt);
    properties.Integer("Height", [this] { return height_; }, [this](int v) { SetHeight(v); }, std::nullopt);
    properties.Boolean("Visible", [this] { return visible_; }, [this](bool v) { SetVisible(v); }, true);
    properties.Boolean("Enabled", [this] { return enabled_; }, [this](bool v) { SetEnabled(v); }, true);
    properties.Set("Anchors", AnchorNames(), [this] { return anchors_; }, [this](TAnchors v) { SetAnchors(v); },
                   akLeft | akTop);
    properties.Enum(
        "Align", AlignNames(), [this] { return static_cast<int>(align_); },
        [this](int v) { SetAlign(static_cast<TAlign>(v)); }, 0);
    properties.Event("OnClick", OnClick);
    properties.Event("OnMouseDown", OnMouseDown);
    properties.Event("OnMouseUp", OnMouseUp);
    properties.Event("OnMouseMove", OnMouseMove);
}
