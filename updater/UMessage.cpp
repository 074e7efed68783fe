#include "updater/UMessage.h"

#include <windows.h>

#include "framework/ui/Application.h"

void ShowWarning(const std::string& text)
{
    Application().MessageBox(text, GetAppTitle(), MB_OK | MB_ICONEXCLAMATION);
}

std::string GetAppTitle()
{
    return Application().Title();
}
