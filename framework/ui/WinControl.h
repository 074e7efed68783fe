#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/DrawingTools.h"
#include "framework/ui/Control.h"

class EWindowError : public Exception {
public:
    using Exception::Exception;
};

// How a control's window is made. Windows of the framework's own classes
// (`ownClass`) are registered on first use under `className` with
// `classStyle`; a control that wants another class style gives its windows
// another class name. Other class names are the platform's native controls,
// which the framework subclasses.
struct TCreateParams {
    std::string className;
    bool ownClass = false;
    UINT classStyle = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;
};

// A control with a window of its own. The window is made when it is first
// needed (or when the parent's window is made) from the control's current
// properties; property changes after that go to the window at once.
class TWinControl : public TControl, public TControlParent {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { Handle(); }
    // The control whose window this is, if it is one of ours.
    static TWinControl* FromHandle(HWND window);

    TWinControl& AsWindow() noexcept override { return *this; }
    TControl& AsControl() noexcept override { return *this; }
    void SetParent(TControlParent* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    SIZE ClientSize() const override;
    std::string Text() const override;

    // Child controls in creation order; the windowed ones also in tab order.
    const std::vector<TControl*>& Controls() const { return controls_; }
    const std::vector<TWinControl*>& TabList() const { return tabList_; }
    int TabOrder() const;
    void SetTabOrder(int order);
    // Controls that never take the focus (labels) stay out of the tab order.
    virtual bool TakesTabOrder() const { return true; }
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);

    // The window's background; its colour is the control's colour. The
    // framework's erasing and background painting use it.
    TBrush& Brush() { return *brush_; }
    TColor Color() const { return brush_->Color(); }
    void SetColor(TColor color) { brush_->SetColor(color); }
    // Follows the parent's font.
    TFont& Font() { return font_; }

    bool Focused() const;
    bool CanFocus() const;
    // Asks the top parent to make this control the focused one.
    void SetFocus();
    // How a top parent moves the focus to one of its controls.
    virtual void ActivateChild(TWinControl& child);

    // The keys of a dialog: Enter clicks the focused control when it
    // answers true while focused, else a showing one that answers true
    // unfocused; Esc clicks one that answers to it.
    virtual bool ClicksOnEnter(bool /*focused*/) const { return false; }
    virtual bool ClicksOnEscape() const { return false; }

    // A message about to be dispatched to this top-level window or one of
    // its children; answer true when it has been handled here.
    virtual bool PreTranslateMessage(MSG&) { return false; }

    void Invalidate() override;
    void InvalidateArea(const RECT& area) override;
    // Redraws the window and its children now.
    void Repaint();

    // The topmost enabled, visible child without a window of its own under
    // the point (client coordinates), or none.
    TControl* ControlAtPoint(POINT point) const;

    // Draws what this control shows behind its child windows into a device
    // context whose origin is this control's client origin.
    virtual void PaintBackground(HDC dc);

    void Loaded() override;
    void DefineProperties(TProperties& properties) override;

protected:
    virtual void CreateParams(TCreateParams& params);
    // Makes the window, then the windows of the windowed children.
    virtual void CreateHandle();
    // Gives a new window the properties that the create parameters do not
    // carry.
    virtual void HandleCreated() {}
    void DestroyHandle();

    // The message handling of this control's window; passes what it does not
    // handle to DefaultHandler.
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);

    // Notifications that the parent's window receives for this control's
    // window; answer true when handled.
    virtual bool CommandNotified(WORD) { return false; }
    virtual bool DrawItem(const DRAWITEMSTRUCT&) { return false; }
    // The brush for WM_CTLCOLOR*, or none for the platform's colours.
    virtual HBRUSH ControlColor(HDC) { return nullptr; }

    void ChildBoundsChanged(TControl& child) override;
    virtual void FontChanged();
    void AlignControls();
    bool Aligning() const { return aligning_; }
    // The non-client frame: window size minus client size.
    virtual SIZE FrameSize() const { return {0, 0}; }
    // Puts a brush of the subclass's own kind in place of the control's, as
    // it is; a change of it repaints the control unless the subclass hooks
    // its change event itself.
    void ReplaceBrush(std::unique_ptr<TBrush> brush);

    void VisibleChanged() override;
    void EnabledChanged() override;
    void StoreText(const std::string& text) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window, bool subclass);
    void Detach();
    void InsertControl(TControl& control) override;
    void RemoveControl(TControl& control) override;
    void UpdateBoundsFromWindow();
    void ClientMaybeResized();
    void ApplyAnchors(SIZE before, SIZE after);
    // Identifiers of the child windows, unique under one top parent.
    int NextChildId() { return nextChildId_++; }
    void ApplyTabOrder();
    bool RouteMouse(UINT message, WPARAM wParam, LPARAM lParam);

    HWND handle_ = nullptr;
    WNDPROC defaultProc_ = nullptr;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    int requestedTabOrder_ = -1;
    bool tabStop_ = false;
    std::unique_ptr<TBrush> brush_;
    TFont font_;
    SIZE lastClientSize_{0, 0};
    bool aligning_ = false;
    TControl* mouseControl_ = nullptr;
    int nextChildId_ = 0x100;
};
