#pragma once

#include <windows.h>

// What the program records at its start, on the main thread, before its own
// code runs: the main thread's identifier and the platform identifier. The
// program's entry calls RecordProgramStart first thing; the questions below
// answer what it recorded.
void RecordProgramStart();

DWORD MainThreadId();
bool IsMainThread();

// VER_PLATFORM_WIN32_NT for the NT family, VER_PLATFORM_WIN32_WINDOWS for
// the 9x family, as GetVersionEx reported it at start.
DWORD PlatformId();

// The one seam for tests of the 9x-family paths on machines where Wine cannot
// pose as a 9x system (64-bit builds): replaces the recorded platform
// identifier for the rest of the run. The product never calls it.
void SetPlatformIdForTests(DWORD platformId);
