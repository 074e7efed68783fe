// The updater's entry: the main window is the only window made at start;
// the program ends when it closes.

#include <windows.h>

#include <cstdlib>
#include <exception>

#include "bitmap/USafetyBitmap.h"
#include "framework/controls/StandardClasses.h"
#include "framework/runtime/ProgramStart.h"
#include "framework/runtime/StartupMarks.h"
#include "framework/ui/Application.h"
#include "imagepack/ImagePackClasses.h"
#include "imagepack/UPictureEX.h"
#include "updater/FMain.h"
#include "updater/Rdynotfy.h"

// The runtime's default terminate handler, replaced: an error that reaches
// std::terminate ends the program at once. The runtime's own would first
// print the error's type to a console that this program does not have, and
// it brings the runtime's name demangler along, about 48 KB of the
// executable.
void __gnu_cxx::__verbose_terminate_handler()
{
    std::abort();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MarkStartup(TStartupMark::Entry);
    // First the record that the libraries ask (which thread is the main one,
    // which platform family runs the program), then the display of errors
    // that escape the windows' handlers, then the classes the layouts and
    // pictures name.
    RecordProgramStart();
    Application().InstallErrorHook();
    // Every bitmap and JPEG image a picture loads, for the whole run, is a
    // safety one.
    const TSafetyBitmapRegistration safetyBitmaps;
    const TSafetyJPEGImageRegistration safetyJpegImages;
    RegisterStandardClasses();
    RegisterImagePackClasses();
    TClassRegistry::Register<TReadyNotifier>();
    try {
        TComponentPtr<TfrmMain> frmMain = CreateForm<TfrmMain>(nullptr);
        Application().Run(*frmMain);
        // Destroyed here, where a refusal can still be shown.
        FreeComponent(frmMain);
    } catch (const std::exception& error) {
        Application().ShowException(error);
    }
    return 0;
}
