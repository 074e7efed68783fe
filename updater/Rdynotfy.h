#pragma once

#include "framework/runtime/Components.h"
#include "framework/ui/Control.h"

// An invisible 1 x 1 control at the top-left corner of its form that catches
// the one mouse message its notifier posts.
class TCatcher : public TControl {
public:
    using TControl::TControl;
    static constexpr std::string_view kClassName = "TCatcher";
    std::string_view ClassName() const override { return kClassName; }
};

// Fires OnReady once, from inside its form's own message loop, after the
// form has been shown: at creation it posts a right-button release at the
// form's point 0,0, where its catcher lies. A notifier whose owner is not a
// form never fires.
class TReadyNotifier : public TComponent {
public:
    explicit TReadyNotifier(TComponent* owner);

    static constexpr std::string_view kClassName = "TReadyNotifier";

    std::string_view ClassName() const override { return kClassName; }

    TNotifyEvent OnReady;

    void DefineProperties(TProperties& properties) override;

private:
    void CatcherMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

    TCatcher* Catcher = nullptr;
};
