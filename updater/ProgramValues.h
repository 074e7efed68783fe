#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The values that the main window and its dialogs share for the whole run.

// The carried version, read once at start.
extern std::int32_t UpdateVersionMajor;
extern std::int32_t UpdateVersionMinor;
// The product executable to replace, set by the install-folder dialog.
extern std::string TargetExePath;

// Reads the carried version from the module's "UPDATEVERSION" data: the low
// 16 bits of two 32-bit little-endian slots. Raises when the resource is
// missing or shorter than 8 bytes.
void LoadUpdateVersion(HMODULE module = GetModuleHandleA(nullptr));
