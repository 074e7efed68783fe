#include "tests/support/StartFailure.h"

#include "tests/support/ShownWindows.h"
#include "tests/support/UiDriver.h"

TFailedStart RunFailingStart(const std::string& program)
{
    TFailedStart run;
    TProcess process(program, {}, TProcess::TStart::Suspended);
    TShownWindows shown(process.MainThreadId());
    run.hooked = shown.Watching();
    if (!run.hooked)
        return run;
    TWindowsSeen seen(process.Handle(), process.Id());
    process.Resume();
    run.box = WaitFor([&] { return FindMessageBox(process.Id()); });
    if (run.box) {
        run.boxText = ReadMessageBox(run.box).text;
        Press(ChildrenOfClass(run.box, "Button").front());
    }
    run.ended = process.WaitForExit(10000);
    run.exitCode = process.ExitCode();
    run.seen = seen.UntilExit();
    run.shown = shown.Windows();
    return run;
}
