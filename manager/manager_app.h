// Start and end of VantorManager: COM, the common controls and the rich-edit library, the
// preferences, the main window and the message loop. The result is the process exit code:
// 1 after the window has been closed, 0 when the program could not start.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Manager {

int RunManager(const wchar_t* commandLine, int showCommand);

// The text shown when the preferences cannot be loaded.
std::wstring PreferencesFailureText(const std::wstring& preferencesPath);

} // namespace Dossiq::Manager
