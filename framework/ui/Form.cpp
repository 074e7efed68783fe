#include "framework/ui/Form.h"

#include <algorithm>

#include "framework/runtime/FlagScope.h"
#include "framework/runtime/Layout.h"
#include "framework/runtime/StartupMarks.h"
#include "framework/ui/DisabledWindows.h"
#include "framework/ui/MessageLoop.h"
#include "framework/runtime/Handles.h"

namespace {

// How far a control needs the client area to reach along one axis, given
// the edges it is anchored to: a control held at the far edge needs its own
// size plus its distance to that edge, wherever it stands now.
int NeededExtent(bool nearAnchored, bool farAnchored, int nearEdge, int farEdge, int clientExtent)
{
    if (!farAnchored)
        return farEdge;
    const int farMargin = clientExtent - farEdge;
    return nearAnchored ? farEdge + farMargin : farEdge - nearEdge + farMargin;
}

bool RealizeControlPalette(TWinControl& control, bool foreground)
{
    HPALETTE palette = control.GetPalette();
    if (!palette || !control.HandleAllocated())
        return false;
    const TWindowDC dc(control.Handle());
    const TSelectedPalette selected(dc.Handle(), palette, !foreground);
    const UINT changed = RealizePalette(dc.Handle());
    if (changed != 0 && changed != GDI_ERROR)
        control.Invalidate();
    return changed != 0 && changed != GDI_ERROR;
}

bool RealizeChildPalettes(TWinControl& parent)
{
    bool changed = false;
    for (TControl* control : parent.Controls()) {
        if (auto* child = dynamic_cast<TWinControl*>(control)) {
            changed = RealizeControlPalette(*child, false) || changed;
            changed = RealizeChildPalettes(*child) || changed;
        }
    }
    return changed;
}

// The first windowed control on the form that passes the test.
template <class Test>
TWinControl* FindControl(const TForm& form, Test test)
{
    for (TComponent* component : form.Components()) {
        auto* control = dynamic_cast<TWinControl*>(component);
        if (control && control->TopParent() == &form && test(*control))
            return control;
    }
    return nullptr;
}

} // namespace

const TEnumNames& ModalResultNames()
{
    static const TEnumNames names{"mrNone", "mrOk", "mrCancel", "mrAbort", "mrRetry", "mrIgnore", "mrYes", "mrNo"};
    return names;
}

TForm::TForm(TComponent* owner) : TCustomControl(owner)
{
    MarkStartup(TStartupMark::FirstForm);
    visible_ = false;
    SetColor(clBtnFace);
    const SIZE frame = FrameSize();
    width_ = frame.cx;
    height_ = frame.cy;
}

TForm::~TForm()
{
    // The controls use this window and the form's handlers.
    DestroyComponents();
    SetPopupParent(nullptr);
    for (TForm* popup : popups_)
        popup->popupParent_ = nullptr;
}

void TForm::SetPopupParent(TForm* parent)
{
    if (parent == popupParent_)
        return;
    if (popupParent_) {
        auto& siblings = popupParent_->popups_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    popupParent_ = parent;
    if (popupParent_)
        popupParent_->popups_.push_back(this);
}

TForm* TForm::FromWindow(HWND window)
{
    return dynamic_cast<TForm*>(TWinControl::FromHandle(window));
}

void TForm::CreateFromLayout()
{
    ReadLayoutResource(*this);
    for (const TField& field : fields_) {
        if (!field.bind(FindComponent(field.name)))
            throw ELayoutError("layout " + std::string(ClassName()) + ": no component " + field.name +
                               " of the class the form expects");
    }
    OnCreate(this);
}

void TForm::WindowStyles(DWORD& style, DWORD& exStyle) const
{
    style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    exStyle = WS_EX_CONTROLPARENT;
    switch (borderStyle_) {
    case TFormBorderStyle::None: break;
    case TFormBorderStyle::Single: style |= WS_CAPTION; break;
    case TFormBorderStyle::Sizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::Dialog:
        style |= WS_CAPTION;
        exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    }
    if (borderStyle_ != TFormBorderStyle::None && (borderIcons_ & biSystemMenu)) {
        style |= WS_SYSMENU;
        if (borderStyle_ == TFormBorderStyle::Single || borderStyle_ == TFormBorderStyle::Sizeable) {
            if (borderIcons_ & biMinimize)
                style |= WS_MINIMIZEBOX;
            if (borderIcons_ & biMaximize)
                style |= WS_MAXIMIZEBOX;
        }
    }
    if (formStyle_ == TFormStyle::StayOnTop)
        exStyle |= WS_EX_TOPMOST;
}

void TForm::CreateParams(TCreateParams& params)
{
    TCustomControl::CreateParams(params);
    params.className = "ZelmoriaForm";
    params.classStyle = CS_DBLCLKS;
    WindowStyles(params.style, params.exStyle);
    if (visible_)
        params.style |= WS_VISIBLE;
    if (!Enabled())
        params.style |= WS_DISABLED;
    // A dialog stays above the form that opened it.
    params.parent = popupParent_ ? popupParent_->Handle() : nullptr;
}

void TForm::CreateHandle()
{
    // The window's real frame may differ from the computed one; the client
    // area is what the layout promises.
    const SIZE client = ClientSize();
    TCustomControl::CreateHandle();
    const SIZE made = ClientSize();
    if (made.cx != client.cx || made.cy != client.cy)
        SetClientSize(client.cx, client.cy);
}

SIZE TForm::FrameSize() const
{
    if (HandleAllocated()) {
        HWND window = const_cast<TForm*>(this)->Handle();
        RECT outer;
        RECT client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        return {(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
    }
    DWORD style;
    DWORD exStyle;
    WindowStyles(style, exStyle);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void TForm::SetClientSize(int width, int height)
{
    const SIZE frame = FrameSize();
    SetBounds(left_, top_, width + frame.cx, height + frame.cy);
}

void TForm::StylesChanged()
{
    // The client area keeps its size; the frame grows or shrinks around it.
    const SIZE client = ClientSize();
    if (HandleAllocated()) {
        HWND window = Handle();
        DWORD style;
        DWORD exStyle;
        WindowStyles(style, exStyle);
        const LONG kept = GetWindowLongA(window, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED);
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style) | kept);
        SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(exStyle));
        SetWindowPos(window, formStyle_ == TFormStyle::StayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    SetClientSize(client.cx, client.cy);
}

void TForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == borderStyle_)
        return;
    const SIZE client = ClientSize();
    borderStyle_ = style;
    if (!HandleAllocated()) {
        SetClientSize(client.cx, client.cy);
        return;
    }
    StylesChanged();
}

void TForm::SetBorderIcons(TBorderIcons icons)
{
    if (icons == borderIcons_)
        return;
    const SIZE client = ClientSize();
    borderIcons_ = icons;
    if (!HandleAllocated()) {
        SetClientSize(client.cx, client.cy);
        return;
    }
    StylesChanged();
}

void TForm::SetFormStyle(TFormStyle style)
{
    if (style == formStyle_)
        return;
    formStyle_ = style;
    if (HandleAllocated())
        StylesChanged();
}

void TForm::SetAutoSize(bool autoSize)
{
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    AdjustSize();
}

void TForm::ChildBoundsChanged(TControl& child)
{
    TCustomControl::ChildBoundsChanged(child);
    if (!Aligning())
        AdjustSize();
}

void TForm::AdjustSize()
{
    if (!autoSize_ || Loading() || adjusting_)
        return;
    const SIZE client = ClientSize();
    int width = 0;
    int height = 0;
    bool any = false;
    for (TControl* control : Controls()) {
        if (!control->Visible() || control->Align() != TAlign::None)
            continue;
        any = true;
        const TAnchors anchors = control->Anchors();
        const RECT bounds = control->BoundsRect();
        width = std::max(width, NeededExtent(anchors & akLeft, anchors & akRight, bounds.left, bounds.right, client.cx));
        height =
            std::max(height, NeededExtent(anchors & akTop, anchors & akBottom, bounds.top, bounds.bottom, client.cy));
    }
    if (!any)
        return;
    const TFlagScope adjusting(adjusting_);
    SetClientSize(width, height);
}

void TForm::Loaded()
{
    TCustomControl::Loaded();
    AdjustSize();
}

void TForm::Show()
{
    // Placed first, so that a window made now starts where it stays.
    if (position_ == TPosition::ScreenCenter) {
        const int left = (GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
        const int top = (GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
        SetBounds(left, top, width_, height_);
    }
    const bool madeNow = !HandleAllocated();
    HandleNeeded();
    MarkStartup(TStartupMark::MainWindowMade);
    SetVisible(true);
    MarkStartup(TStartupMark::MainWindowShown);
    // A window made just now is above the others already.
    if (!madeNow)
        BringToFront();
    FocusFirstControl();
    // Painted now, as a program's first window is, not after the messages
    // already waiting.
    UpdateWindow(Handle());
}

HWND TForm::FocusOnActivation()
{
    if (savedFocus_ && IsWindow(savedFocus_) && IsChild(Handle(), savedFocus_))
        return savedFocus_;
    return FirstFocus();
}

HWND TForm::FirstFocus()
{
    if (activeControl_ && activeControl_->CanFocus())
        return activeControl_->Handle();
    return GetNextDlgTabItem(Handle(), nullptr, FALSE);
}

void TForm::FocusFirstControl()
{
    if (HWND first = FirstFocus(); first && GetFocus() != first)
        ::SetFocus(first);
}

void TForm::BringToFront()
{
    if (HandleAllocated())
        SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

int TForm::ShowModal()
{
    if (Visible() || modal_)
        throw Exception("表示中のフォームはモーダルにできません");
    HWND previousActive = GetActiveWindow();
    ReleaseCapture();
    modal_ = true;
    modalResult_ = mrNone;
    const TScopeExit endModal([this, previousActive]() noexcept { EndModal(previousActive); });
    // Left before the run ends: the other windows are enabled again by the
    // time the form hides, so hiding it hands the activation back to them.
    const TDisabledWindows disabled(Handle());
    Show();
    while (modalResult_ == mrNone) {
        TMessageLoop::HandleMessage();
        if (TMessageLoop::Terminated())
            modalResult_ = mrCancel;
        else if (modalResult_ != mrNone && !CloseQuery())
            modalResult_ = mrNone;
    }
    return modalResult_;
}

void TForm::EndModal(HWND previousActive) noexcept
{
    Hide();
    modal_ = false;
    if (previousActive && IsWindow(previousActive))
        SetActiveWindow(previousActive);
}

void TForm::Close()
{
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    Hide();
    if (TMessageLoop::MainWindow() == this)
        TMessageLoop::Terminate();
}

bool TForm::CloseQuery()
{
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::SetActiveControl(TWinControl* control)
{
    activeControl_ = control;
    if (control && Visible() && HandleAllocated() && control->CanFocus())
        ::SetFocus(control->Handle());
}

void TForm::ControlLeaving(TControl& control)
{
    for (const TControl* at = activeControl_; at; at = at->Parent()) {
        if (at == &control) {
            activeControl_ = nullptr;
            break;
        }
    }
    for (TComponent* component : Components()) {
        if (auto* other = dynamic_cast<TControl*>(component); other && other != &control)
            other->ControlLeaving(control);
    }
}

bool TForm::PreTranslateMessage(MSG& message)
{
    if (!HandleAllocated())
        return false;
    if (message.message == WM_SYSCHAR && HandleAccelerator(static_cast<char>(message.wParam)))
        return true;
    return IsDialogMessageA(Handle(), &message) != FALSE;
}

bool TForm::HandleAccelerator(char key)
{
    for (TComponent* component : Components()) {
        auto* control = dynamic_cast<TControl*>(component);
        if (control && control->TopParent() == this && control->Showing() && control->HandleAccelerator(key))
            return true;
    }
    return false;
}

TWinControl* TForm::CurrentDefaultControl() const
{
    TWinControl* focused = FromHandle(GetFocus());
    if (focused && focused->TopParent() == this && focused->ClicksOnEnter(true))
        return focused;
    return FindControl(*this, [](const TWinControl& control) { return control.ClicksOnEnter(false) && control.Showing(); });
}

TWinControl* TForm::CancelControl() const
{
    return FindControl(*this, [](const TWinControl& control) { return control.ClicksOnEscape() && control.CanFocus(); });
}

TWinControl* TForm::ControlWithId(int id) const
{
    return FindControl(*this, [id](TWinControl& control) {
        return control.HandleAllocated() && GetDlgCtrlID(control.Handle()) == id;
    });
}

LRESULT TForm::RealizePalettes(bool foreground)
{
    // A screen of direct colours has no palette to map to: the activation
    // and other windows' palette changes then cost no contexts.
    if (!(GetDeviceCaps(TWindowDC().Handle(), RASTERCAPS) & RC_PALETTE))
        return FALSE;
    bool changed = RealizeControlPalette(*this, foreground);
    changed = RealizeChildPalettes(*this) || changed;
    return changed ? TRUE : FALSE;
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE: Close(); return 0;
    case WM_COMMAND:
        // Enter and Esc from the dialog manager name the button by its
        // identifier only.
        if (!FromHandle(reinterpret_cast<HWND>(lParam))) {
            if (LOWORD(wParam) == IDCANCEL) {
                if (TWinControl* cancel = CancelControl())
                    cancel->Click();
                return 0;
            }
            if (HIWORD(wParam) == BN_CLICKED) {
                if (TWinControl* control = ControlWithId(LOWORD(wParam))) {
                    control->Click();
                    return 0;
                }
            }
        }
        break;
    case DM_GETDEFID: {
        TWinControl* control = CurrentDefaultControl();
        if (!control || !control->HandleAllocated())
            return 0;
        return MAKELRESULT(GetDlgCtrlID(control->Handle()), DC_HASDEFID);
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(Handle(), focus))
                savedFocus_ = focus;
        } else if (HWND focus = FocusOnActivation()) {
            // As a dialog does: straight to the control, not to the form
            // first.
            ::SetFocus(focus);
            return 0;
        }
        break;
    case WM_QUERYNEWPALETTE: return RealizePalettes(true);
    case WM_PALETTECHANGED: {
        HWND changer = reinterpret_cast<HWND>(wParam);
        if (changer != Handle() && !IsChild(Handle(), changer))
            RealizePalettes(false);
        return 0;
    }
    default: break;
    }
    return TCustomControl::WndProc(message, wParam, lParam);
}

void TForm::DefineProperties(TProperties& properties)
{
    static const TEnumNames borderStyles{"bsNone", "bsSingle", "bsSizeable", "bsDialog"};
    static const TEnumNames borderIcons{"biSystemMenu", "biMinimize", "biMaximize"};
    static const TEnumNames positions{"poDesigned", "poScreenCenter"};
    static const TEnumNames formStyles{"fsNormal", "fsStayOnTop"};

    TCustomControl::DefineProperties(properties);
    properties.String("Caption", [this] { return Text(); }, [this](std::string v) { SetText(v); }, std::string());
    properties.Enum(
        "BorderStyle", borderStyles, [this] { return static_cast<int>(borderStyle_); },
        [this](int v) { SetBorderStyle(static_cast<TFormBorderStyle>(v)); },
        static_cast<int>(TFormBorderStyle::Sizeable));
    properties.Set("BorderIcons", borderIcons, [this] { return borderIcons_; },
                   [this](TBorderIcons v) { SetBorderIcons(v); }, biSystemMenu | biMinimize | biMaximize);
    properties.Enum(
        "FormStyle", formStyles, [this] { return static_cast<int>(formStyle_); },
        [this](int v) { SetFormStyle(static_cast<TFormStyle>(v)); }, 0);
    properties.Enum(
        "Position", positions, [this] { return static_cast<int>(position_); },
        [this](int v) { SetPosition(static_cast<TPosition>(v)); }, 0);
    properties.Color("Color", [this] { return Color(); }, [this](TColor v) { SetColor(v); }, clBtnFace);
    properties.Nested("Font", Font());
    properties.Integer("ClientWidth", [this] { return ClientWidth(); }, [this](int v) { SetClientWidth(v); },
                       std::nullopt);
    properties.Integer("ClientHeight", [this] { return ClientHeight(); }, [this](int v) { SetClientHeight(v); },
                       std::nullopt);
    properties.Boolean("AutoSize", [this] { return autoSize_; }, [this](bool v) { SetAutoSize(v); }, false);
    properties.Reference<TWinControl>(
        "ActiveControl", [this] { return activeControl_; }, [this](TWinControl* control) { SetActiveControl(control); },
        "cannot take the focus");
    properties.Event("OnCreate", OnCreate);
    properties.Event("OnCloseQuery", OnCloseQuery);
}

TForm* ParentForm(const TControl& control)
{
    return dynamic_cast<TForm*>(control.TopParent());
}
