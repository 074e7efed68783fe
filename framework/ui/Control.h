#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/runtime/Components.h"

class TCanvas;
class TControl;
class TWinControl;

enum class TMouseButton { Left, Right, Middle };

enum TShiftFlag : std::uint32_t {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64,
};
using TShiftState = std::uint32_t;

// Sender, button, shift state and the point in the control's coordinates.
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;

// The edges of its parent that a control keeps its distance to when the
// parent's client area changes size.
enum TAnchor : std::uint32_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = std::uint32_t;

// An edge of the parent's client area that a control is docked to.
enum class TAlign { None, Top, Bottom, Left, Right, Client };

// What a control asks of the windowed control it stands in. Every windowed
// control is one: a control knows its parent through this alone.
class TControlParent {
public:
    // The parent itself, as the windowed control and as a control.
    virtual TWinControl& AsWindow() noexcept = 0;
    virtual TControl& AsControl() noexcept = 0;
    // A control arrives in the client area, or leaves it.
    virtual void InsertControl(TControl& control) = 0;
    virtual void RemoveControl(TControl& control) = 0;
    // A child's bounds, visibility or alignment changed.
    virtual void ChildBoundsChanged(TControl& child) = 0;
    // Redraws an area of the client area soon.
    virtual void InvalidateArea(const RECT& area) = 0;

protected:
    ~TControlParent() = default;
};

// A control without a window of its own: it lives in its parent's client
// area, is drawn by its parent and gets the mouse messages that arrive at its
// parent over it.
class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_ ? &parent_->AsWindow() : nullptr; }
    // Puts the control into a windowed control's client area, or takes it
    // out (none).
    virtual void SetParent(TControlParent* parent);
    void SetParentComponent(TComponent* parent) override;
    TComponent* ParentComponent() const override;
    // The outermost windowed control this one stands in: the form of a
    // control on a form; a windowed control without a parent is its own.
    TWinControl* TopParent() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    // Position in the parent's client area (on the screen for a form).
    virtual void SetBounds(int left, int top, int width, int height);
    virtual SIZE ClientSize() const { return {width_, height_}; }
    RECT ClientRect() const;

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // Visible, and so are all its parents.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors anchors) { anchors_ = anchors; }
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    // The caption of buttons, labels and forms, the text of an edit.
    virtual std::string Text() const { return text_; }
    void SetText(const std::string& text);

    // Redraws the control's area soon.
    virtual void Invalidate();
    // Draws the control; the canvas's origin is the control's top-left.
    virtual void Paint(TCanvas&) {}
    // The palette the control wants realised on palette displays, or none.
    virtual HPALETTE GetPalette() { return nullptr; }

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    virtual void Click() { OnClick(this); }
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);

    // Another control is leaving the window this one stands in: forget
    // references to it.
    virtual void ControlLeaving(TControl&) {}
    // Alt with a character: a control that answers to it acts and answers
    // true.
    virtual bool HandleAccelerator(char) { return false; }

    void DefineProperties(TProperties& properties) override;

    static const TEnumNames& AlignNames();
    static const TEnumNames& AnchorNames();

protected:
    // Stores new bounds and tells the parent.
    void StoreBounds(int left, int top, int width, int height);
    virtual void VisibleChanged();
    virtual void EnabledChanged();
    // Keeps the text where the control shows it.
    virtual void StoreText(const std::string& text) { text_ = text; }
    virtual void TextChanged() { Invalidate(); }

    std::string text_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;

private:
    TControl* ParentControl() const { return parent_ ? &parent_->AsControl() : nullptr; }

    TControlParent* parent_ = nullptr;
    bool enabled_ = true;
    TAnchors anchors_ = akLeft | akTop;
    TAlign align_ = TAlign::None;
};
