// The updater's entry: the main window is the only window made at start;
// the program ends when it closes.

#include <windows.h>

#include <exception>

#include "framework/controls/StandardClasses.h"
#include "framework/ui/Application.h"
#include "updater/FMain.h"
#include "updater/Rdynotfy.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RegisterStandardClasses();
    TClassRegistry::Register<TReadyNotifier>();
    try {
        const std::unique_ptr<TfrmMain> frmMain = CreateForm<TfrmMain>(nullptr);
        Application().Run(*frmMain);
    } catch (const std::exception& error) {
        Application().ShowException(error);
    }
    return 0;
}
