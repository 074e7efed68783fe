#pragma once

#include <string>

// The one message box of the updater: the text under the application title,
// one OK button and the exclamation icon. Texts of any length are shown whole.
void ShowWarning(const std::string& text);

std::string GetAppTitle();
