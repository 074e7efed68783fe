#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ui/CustomControl.h"

// The value that ends a modal run.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
};
const TEnumNames& ModalResultNames();

enum class TFormBorderStyle { None, Single, Sizeable, Dialog };

enum TBorderIcon : std::uint32_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = std::uint32_t;

enum class TPosition { Designed, ScreenCenter };
enum class TFormStyle { Normal, StayOnTop };

// Sender and the permission to close, true on entry.
using TCloseQueryEvent = TEvent<TObject*, bool&>;

// A top-level window read from the layout resource named after its class.
// A form class publishes its handlers (and the controls it wants to reach)
// in its constructor; CreateForm then reads the layout, which binds them,
// and runs OnCreate.
class TForm : public TCustomControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    static TForm* FromWindow(HWND window);

    // The form whose window this one's stays above (a dialog's opener), or
    // none. Set before the window is made; a popup parent that goes first
    // leaves none.
    TForm* PopupParent() const { return popupParent_; }
    void SetPopupParent(TForm* parent);

    // Reads the layout resource, binds the published controls and runs
    // OnCreate.
    void CreateFromLayout();

    void Show();
    void Hide() { SetVisible(false); }
    // Disables the other windows and runs messages until the modal result is
    // set and the close query allows closing; answers the modal result.
    int ShowModal();
    bool Modal() const { return modal_; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // A modal form ends its run with Cancel; another form closes if its close
    // query allows, and the main form's closing ends the program.
    void Close();
    bool CloseQuery();
    // Puts the window at the top of the window order.
    void BringToFront();

    int ClientWidth() const { return ClientSize().cx; }
    int ClientHeight() const { return ClientSize().cy; }
    void SetClientSize(int width, int height);
    void SetClientWidth(int width) { SetClientSize(width, ClientHeight()); }
    void SetClientHeight(int height) { SetClientSize(ClientWidth(), height); }

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    // Fits the client area to the visible controls.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

    // The control that has the focus when the form is shown.
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);

    TNotifyEvent OnCreate;
    TCloseQueryEvent OnCloseQuery;

    // Keyboard navigation: accelerators, Tab, Enter and Esc.
    bool PreTranslateMessage(MSG& message) override;
    // Forgets the control and tells the form's components.
    void ControlLeaving(TControl& control) override;
    void ActivateChild(TWinControl& child) override { SetActiveControl(&child); }

    bool TakesTabOrder() const override { return false; }
    const TMethodTable* Methods() const override { return &methods_; }
    void DefineProperties(TProperties& properties) override;
    void Loaded() override;

protected:
    template <class Form, class... Args>
    void Publish(const std::string& name, Form* form, void (Form::*method)(Args...))
    {
        methods_.Publish(name, form, method);
    }
    // Binds a field to the layout's component of that name and class once
    // the layout has been read.
    template <class T>
    void PublishField(const std::string& name, T*& field)
    {
        fields_.push_back({name, [&field](TComponent* component) {
                               field = dynamic_cast<T*>(component);
                               return field != nullptr;
                           }});
    }

    void CreateParams(TCreateParams& params) override;
    void CreateHandle() override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    SIZE FrameSize() const override;
    void ChildBoundsChanged(TControl& child) override;

private:
    struct TField {
        std::string name;
        std::function<bool(TComponent*)> bind;
    };

    void WindowStyles(DWORD& style, DWORD& exStyle) const;
    void StylesChanged();
    void AdjustSize();
    void FocusFirstControl();
    // The active control if it can take the focus, else the first in the
    // tab order; none without either.
    HWND FirstFocus();
    // The control that had the focus when the form was last left, else the
    // first focus.
    HWND FocusOnActivation();
    bool HandleAccelerator(char key) override;
    // The controls on this form that answer the dialog keys.
    TWinControl* CurrentDefaultControl() const;
    TWinControl* CancelControl() const;
    TWinControl* ControlWithId(int id) const;
    LRESULT RealizePalettes(bool foreground);
    void EndModal(HWND previousActive) noexcept;

    TMethodTable methods_;
    std::vector<TField> fields_;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::Sizeable;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TFormStyle formStyle_ = TFormStyle::Normal;
    TPosition position_ = TPosition::Designed;
    bool autoSize_ = false;
    bool adjusting_ = false;
    bool modal_ = false;
    int modalResult_ = mrNone;
    TWinControl* activeControl_ = nullptr;
    HWND savedFocus_ = nullptr;
    TForm* popupParent_ = nullptr;
    // The forms that have this one as their popup parent.
    std::vector<TForm*> popups_;
};

// The form a control stands on, if any.
TForm* ParentForm(const TControl& control);

// Creates a form of class F from its layout; the caller is its one owner,
// holds it and destroys it. A popup parent (the form that opens it as a
// dialog) keeps the new form's window above its own.
template <class F>
TComponentPtr<F> CreateForm(TForm* popupParent)
{
    TComponentPtr<F> form(new F(nullptr));
    form->SetPopupParent(popupParent);
    form->CreateFromLayout();
    return form;
}
