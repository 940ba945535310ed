// The question View asks before it hands a copy to the program Windows associates with it:
// for a type that can run code (by the shell's own judgement, and by a list of such types
// for systems whose shell does not judge), and for anything from a document whose
// signature did not verify.
#pragma once

#include <windows.h>

#include <string>

namespace Manager {

bool IsDangerousType(const std::wstring& fileName);

// True to open `fileName` (as the user should see it); asks when there is a reason to.
bool ConfirmOpening(HWND owner, const std::wstring& fileName, bool documentPassed);

} // namespace Manager
