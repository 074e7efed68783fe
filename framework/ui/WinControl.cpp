#include "framework/ui/WinControl.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/runtime/FlagScope.h"
#include "framework/ui/ReportedErrors.h"

namespace {

constexpr const char* kControlProperty = "Zelmoria.Control";

void RegisterOwnClass(const TCreateParams& params, HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, params.className.c_str(), &existing))
        return;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = params.classStyle;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = params.className.c_str();
    if (!RegisterClassExA(&windowClass))
        throw EWindowError("ウィンドウクラスを登録できません", GetLastError());
}

TShiftState ShiftFromKeys(WPARAM keys)
{
    TShiftState shift = 0;
    if (keys & MK_SHIFT)
        shift |= ssShift;
    if (keys & MK_CONTROL)
        shift |= ssCtrl;
    if (keys & MK_LBUTTON)
        shift |= ssLeft;
    if (keys & MK_RBUTTON)
        shift |= ssRight;
    if (keys & MK_MBUTTON)
        shift |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

bool IsMouseMessage(UINT message)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: return true;
    default: return false;
    }
}

TMouseButton ButtonOf(UINT message)
{
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP: return TMouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP: return TMouseButton::Middle;
    default: return TMouseButton::Left;
    }
}

bool IsButtonDown(UINT message)
{
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
           message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
}

bool IsDoubleClick(UINT message)
{
    return message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
}

} // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner)
{
    ReplaceBrush(std::make_unique<TBrush>());
    font_.OnChange = TNotifyEvent([this](TObject*) { FontChanged(); });
}

TWinControl::~TWinControl()
{
    while (!controls_.empty())
        controls_.back()->SetParent(nullptr);
    DestroyHandle();
    TReportedErrors::ForgetSender(this);
}

TWinControl* TWinControl::FromHandle(HWND window)
{
    return window ? static_cast<TWinControl*>(GetPropA(window, kControlProperty)) : nullptr;
}

HWND TWinControl::Handle()
{
    if (!handle_) {
        // The parent's window brings this one with it.
        if (Parent())
            Parent()->HandleNeeded();
        if (!handle_)
            CreateHandle();
    }
    return handle_;
}

void TWinControl::CreateParams(TCreateParams& params)
{
    params.style = WS_CHILD | WS_CLIPSIBLINGS;
    if (visible_)
        params.style |= WS_VISIBLE;
    if (!Enabled())
        params.style |= WS_DISABLED;
    if (tabStop_)
        params.style |= WS_TABSTOP;
    params.x = left_;
    params.y = top_;
    params.width = width_;
    params.height = height_;
    if (Parent())
        params.parent = Parent()->Handle();
}

void TWinControl::CreateHandle()
{
    TCreateParams params;
    CreateParams(params);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (params.ownClass)
        RegisterOwnClass(params, instance, WindowProc);
    HMENU id = nullptr;
    if (params.style & WS_CHILD) {
        if (TWinControl* top = TopParent(); top != this)
            id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(top->NextChildId()));
    }
    HWND window = CreateWindowExA(params.exStyle, params.className.c_str(), text_.c_str(), params.style, params.x,
                                  params.y, params.width, params.height, params.parent, id, instance, this);
    if (!window)
        throw EWindowError("ウィンドウを作成できません", GetLastError());
    if (!params.ownClass)
        Attach(window, true);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
    HandleCreated();
    for (TControl* control : controls_) {
        auto* child = dynamic_cast<TWinControl*>(control);
        if (child && !child->handle_)
            child->CreateHandle();
    }
    ApplyTabOrder();
    UpdateBoundsFromWindow();
}

void TWinControl::Attach(HWND window, bool subclass)
{
    handle_ = window;
    SetPropA(window, kControlProperty, this);
    defaultProc_ = subclass ? reinterpret_cast<WNDPROC>(
                                  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)))
                            : DefWindowProcA;
}

void TWinControl::Detach()
{
    RemovePropA(handle_, kControlProperty);
    if (defaultProc_ != DefWindowProcA)
        SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defaultProc_));
    handle_ = nullptr;
    defaultProc_ = nullptr;
}

void TWinControl::DestroyHandle()
{
    if (!handle_)
        return;
    for (TControl* control : controls_) {
        if (auto* child = dynamic_cast<TWinControl*>(control))
            child->DestroyHandle();
    }
    text_ = Text();
    HWND window = handle_;
    // Let go first: the messages of the destruction find no object.
    Detach();
    DestroyWindow(window);
}

LRESULT CALLBACK TWinControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TWinControl* control = FromHandle(window);
    if (!control && message == WM_NCCREATE) {
        control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        control->Attach(window, false);
    }
    if (!control)
        return DefWindowProcA(window, message, wParam, lParam);
    // No exception may pass into the system's code that called us.
    try {
        return control->WndProc(message, wParam, lParam);
    } catch (...) {
        TReportedErrors::Report(control, std::current_exception());
    }
    return 0;
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(defaultProc_, handle_, message, wParam, lParam);
}

LRESULT TWinControl::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam) {
            TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam));
            if (child && child != this && child->CommandNotified(HIWORD(wParam)))
                return 0;
        }
        break;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        TWinControl* child = item.CtlType == ODT_MENU ? nullptr : FromHandle(item.hwndItem);
        if (child && child != this && child->DrawItem(item))
            return TRUE;
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam));
        if (child && child != this) {
            if (HBRUSH brush = child->ControlColor(reinterpret_cast<HDC>(wParam)))
                return reinterpret_cast<LRESULT>(brush);
        }
        break;
    }
    case WM_WINDOWPOSCHANGED: {
        const LRESULT result = DefaultHandler(message, wParam, lParam);
        UpdateBoundsFromWindow();
        return result;
    }
    case WM_CAPTURECHANGED: mouseControl_ = nullptr; break;
    case WM_NCDESTROY: {
        // Destroyed from outside (with its parent window): forget it.
        const LRESULT result = DefaultHandler(message, wParam, lParam);
        if (handle_)
            Detach();
        return result;
    }
    default:
        if (IsMouseMessage(message) && RouteMouse(message, wParam, lParam))
            return 0;
        break;
    }
    return DefaultHandler(message, wParam, lParam);
}

bool TWinControl::RouteMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    TControl* target = mouseControl_ ? mouseControl_ : ControlAtPoint(point);
    TShiftState shift = ShiftFromKeys(wParam);
    if (IsDoubleClick(message))
        shift |= ssDouble;
    const int x = point.x - (target ? target->Left() : 0);
    const int y = point.y - (target ? target->Top() : 0);
    TControl& receiver = target ? *target : *this;

    if (message == WM_MOUSEMOVE) {
        receiver.MouseMove(shift, x, y);
        return target != nullptr;
    }
    const TMouseButton button = ButtonOf(message);
    if (IsButtonDown(message)) {
        if (target && button == TMouseButton::Left) {
            mouseControl_ = target;
            SetCapture(handle_);
        }
        receiver.MouseDown(button, shift, x, y);
        return target != nullptr;
    }
    const bool clicked = target && button == TMouseButton::Left && mouseControl_ == target;
    if (clicked) {
        mouseControl_ = nullptr;
        ReleaseCapture();
    }
    receiver.MouseUp(button, shift, x, y);
    if (clicked && x >= 0 && y >= 0 && x < target->Width() && y < target->Height())
        target->Click();
    return target != nullptr;
}

TControl* TWinControl::ControlAtPoint(POINT point) const
{
    for (auto at = controls_.rbegin(); at != controls_.rend(); ++at) {
        TControl* control = *at;
        if (dynamic_cast<TWinControl*>(control) || !control->Visible() || !control->Enabled())
            continue;
        const RECT bounds = control->BoundsRect();
        if (PtInRect(&bounds, point))
            return control;
    }
    return nullptr;
}

void TWinControl::SetParent(TControlParent* parent)
{
    if (parent == Parent())
        return;
    DestroyHandle();
    TControl::SetParent(parent);
    if (parent) {
        TWinControl& window = parent->AsWindow();
        font_.Assign(window.font_);
        if (window.handle_)
            CreateHandle();
    }
}

void TWinControl::InsertControl(TControl& control)
{
    controls_.push_back(&control);
    auto* windowed = dynamic_cast<TWinControl*>(&control);
    if (windowed && windowed->TakesTabOrder())
        tabList_.push_back(windowed);
}

void TWinControl::RemoveControl(TControl& control)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), &control), controls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), &control), tabList_.end());
    if (mouseControl_ == &control)
        mouseControl_ = nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    if (handle_) {
        SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateBoundsFromWindow();
        return;
    }
    StoreBounds(left, top, width, height);
    ClientMaybeResized();
}

void TWinControl::UpdateBoundsFromWindow()
{
    RECT bounds;
    GetWindowRect(handle_, &bounds);
    if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(nullptr, GetParent(handle_), reinterpret_cast<POINT*>(&bounds), 2);
    StoreBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    ClientMaybeResized();
}

SIZE TWinControl::ClientSize() const
{
    if (handle_) {
        RECT client;
        GetClientRect(handle_, &client);
        return {client.right, client.bottom};
    }
    const SIZE frame = FrameSize();
    return {width_ - frame.cx, height_ - frame.cy};
}

void TWinControl::ClientMaybeResized()
{
    const SIZE now = ClientSize();
    if (now.cx == lastClientSize_.cx && now.cy == lastClientSize_.cy)
        return;
    const SIZE before = lastClientSize_;
    lastClientSize_ = now;
    if (Loading())
        return;
    TFlagScope aligning(aligning_);
    ApplyAnchors(before, now);
    AlignControls();
}

void TWinControl::ApplyAnchors(SIZE before, SIZE after)
{
    const int dx = after.cx - before.cx;
    const int dy = after.cy - before.cy;
    for (TControl* child : controls_) {
        if (child->Align() != TAlign::None)
            continue;
        const TAnchors anchors = child->Anchors();
        int left = child->Left();
        int top = child->Top();
        int width = child->Width();
        int height = child->Height();
        if (anchors & akRight) {
            if (anchors & akLeft)
                width += dx;
            else
                left += dx;
        }
        if (anchors & akBottom) {
            if (anchors & akTop)
                height += dy;
            else
                top += dy;
        }
        child->SetBounds(left, top, width, height);
    }
}

void TWinControl::AlignControls()
{
    if (Loading())
        return;
    TFlagScope aligning(aligning_);
    const SIZE client = ClientSize();
    RECT area{0, 0, client.cx, client.cy};
    for (TAlign align : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
        for (TControl* child : controls_) {
            if (child->Align() != align || !child->Visible())
                continue;
            const int width = area.right - area.left;
            const int height = area.bottom - area.top;
            switch (align) {
            case TAlign::Top:
                child->SetBounds(area.left, area.top, width, child->Height());
                area.top += child->Height();
                break;
            case TAlign::Bottom:
                child->SetBounds(area.left, area.bottom - child->Height(), width, child->Height());
                area.bottom -= child->Height();
                break;
            case TAlign::Left:
                child->SetBounds(area.left, area.top, child->Width(), height);
                area.left += child->Width();
                break;
            case TAlign::Right:
                child->SetBounds(area.right - child->Width(), area.top, child->Width(), height);
                area.right -= child->Width();
                break;
            case TAlign::Client: child->SetBounds(area.left, area.top, width, height); break;
            case TAlign::None: break;
            }
        }
    }
}

void TWinControl::ChildBoundsChanged(TControl& child)
{
    if (!aligning_ && child.Align() != TAlign::None)
        AlignControls();
}

int TWinControl::TabOrder() const
{
    if (!Parent())
        return -1;
    const auto& list = Parent()->tabList_;
    const auto found = std::find(list.begin(), list.end(), this);
    return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

void TWinControl::SetTabOrder(int order)
{
    // While a layout is read the others may not be there yet; the parent
    // sorts them all once reading is done.
    if (Loading()) {
        requestedTabOrder_ = order;
        return;
    }
    if (!Parent() || !TakesTabOrder())
        return;
    auto& list = Parent()->tabList_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    const auto at = static_cast<std::size_t>(std::clamp(order, 0, static_cast<int>(list.size())));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), this);
    Parent()->ApplyTabOrder();
}

void TWinControl::ApplyTabOrder()
{
    if (!handle_)
        return;
    // Tab moves through the windows in their z-order.
    HWND after = HWND_TOP;
    for (TWinControl* child : tabList_) {
        if (!child->handle_)
            continue;
        SetWindowPos(child->handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child->handle_;
    }
}

void TWinControl::SetTabStop(bool tabStop)
{
    if (tabStop == tabStop_)
        return;
    tabStop_ = tabStop;
    if (handle_) {
        const LONG style = GetWindowLongA(handle_, GWL_STYLE);
        SetWindowLongA(handle_, GWL_STYLE, tabStop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    std::vector<std::pair<int, TWinControl*>> keyed;
    for (std::size_t i = 0; i < tabList_.size(); ++i) {
        TWinControl* child = tabList_[i];
        keyed.emplace_back(child->requestedTabOrder_ >= 0 ? child->requestedTabOrder_ : static_cast<int>(i), child);
        child->requestedTabOrder_ = -1;
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        tabList_[i] = keyed[i].second;
    ApplyTabOrder();
    lastClientSize_ = ClientSize();
    AlignControls();
}

void TWinControl::FontChanged()
{
    if (handle_)
        SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
    for (TControl* control : controls_) {
        if (auto* child = dynamic_cast<TWinControl*>(control))
            child->font_.Assign(font_);
    }
    Invalidate();
}

bool TWinControl::Focused() const
{
    return handle_ && GetFocus() == handle_;
}

bool TWinControl::CanFocus() const
{
    for (const TControl* control = this; control; control = control->Parent()) {
        if (!control->Visible() || !control->Enabled())
            return false;
    }
    return true;
}

void TWinControl::SetFocus()
{
    TWinControl* top = TopParent();
    if (top && top != this)
        top->ActivateChild(*this);
    else
        ::SetFocus(Handle());
}

void TWinControl::ActivateChild(TWinControl& child)
{
    if (child.CanFocus())
        ::SetFocus(child.Handle());
}

void TWinControl::Invalidate()
{
    if (handle_)
        InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::InvalidateArea(const RECT& area)
{
    if (handle_)
        InvalidateRect(handle_, &area, TRUE);
}

void TWinControl::Repaint()
{
    if (handle_)
        RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWinControl::PaintBackground(HDC dc)
{
    if (Brush().Style() == TBrushStyle::Clear)
        return;
    const RECT client = ClientRect();
    FillRect(dc, &client, Brush().Handle());
}

void TWinControl::ReplaceBrush(std::unique_ptr<TBrush> brush)
{
    brush->OnChange = TNotifyEvent([this](TObject*) { Invalidate(); });
    brush_ = std::move(brush);
    Invalidate();
}

void TWinControl::VisibleChanged()
{
    if (handle_)
        ShowWindow(handle_, visible_ ? SW_SHOW : SW_HIDE);
}

void TWinControl::EnabledChanged()
{
    if (handle_)
        EnableWindow(handle_, Enabled());
}

void TWinControl::StoreText(const std::string& text)
{
    text_ = text;
    if (handle_)
        SetWindowTextA(handle_, text.c_str());
}

std::string TWinControl::Text() const
{
    if (!handle_)
        return text_;
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(handle_)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(handle_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TWinControl::DefineProperties(TProperties& properties)
{
    TControl::DefineProperties(properties);
    if (TakesTabOrder())
        properties.Integer("TabOrder", [this] { return TabOrder(); }, [this](int v) { SetTabOrder(v); },
                           std::nullopt);
}
