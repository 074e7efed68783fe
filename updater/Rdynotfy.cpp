#include "updater/Rdynotfy.h"

#include <windows.h>

#include "framework/ui/Form.h"

TReadyNotifier::TReadyNotifier(TComponent* owner) : TComponent(owner)
{
    Catcher = new TCatcher(this);
    Catcher->SetBounds(0, 0, 1, 1);
    Catcher->OnMouseUp = TMouseEvent([this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        CatcherMouseUp(sender, button, shift, x, y);
    });
    if (auto* form = dynamic_cast<TForm*>(owner)) {
        Catcher->SetParent(form);
        PostMessageA(form->Handle(), WM_RBUTTONUP, 0, 0);
    }
}

void TReadyNotifier::DefineProperties(TProperties& properties)
{
    TComponent::DefineProperties(properties);
    properties.Event("OnReady", OnReady);
}

void TReadyNotifier::CatcherMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    Catcher->SetEnabled(false);
    OnReady(this);
}
