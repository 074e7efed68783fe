#pragma once

#include <windows.h>

// A function of a library of the system, from the system folder, loaded on
// first use instead of imported. The program then starts without the
// library (the common controls alone cost a start-up about 15 ms), and a
// library of the same name beside the program, in a downloads folder say,
// is never the one that runs in an updater with administrator rights. Once
// loaded the library stays for the run: windows of its classes and what it
// handed out may outlive any caller. None when the library or the function
// is missing.
FARPROC SystemProcedure(const char* library, const char* function) noexcept;

// The same, typed: SystemFunction<decltype(GetFileVersionInfoSizeA)>(...).
template <class TFunction>
TFunction* SystemFunction(const char* library, const char* function) noexcept
{
    return reinterpret_cast<TFunction*>(reinterpret_cast<void*>(SystemProcedure(library, function)));
}
