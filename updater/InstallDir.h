#pragma once

#include <optional>
#include <string>

// The install folder that the product recorded: the default value of the
// key below HKEY_CLASSES_ROOT, read into a 256-byte buffer. Nothing when the
// value cannot be read (no key, longer than the buffer, access denied); an
// empty value is an empty folder.
std::optional<std::string> QueryRecordedInstallDir(const std::string& subKey);

// %ProgramFiles% when it names a folder (is set and not empty), else the
// system's recorded Program Files folder, else empty.
std::string GetProgramFilesDir();

// The folder to propose: the recorded one, else the Program Files folder
// followed by "\Korvantis".
std::string ProposedInstallDir();
