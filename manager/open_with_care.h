// The question View asks before it hands a copy to the program Windows associates with it:
// for a type that can run code (by the shell's own judgement, and by a list of such types
// for systems whose shell does not judge), and for anything from a document that did not
// pass its checks, by what failed.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Documents {
struct ValidationReport;
} // namespace Dossiq::Documents

namespace Dossiq::Manager {

bool IsDangerousType(const std::wstring& fileName);

// True to open `fileName` (as the user should see it); asks when there is a reason to.
// `finished` is the document's finished report, null while its checks still run: then
// nothing is opened and the user is told so. The question names what failed.
bool ConfirmOpening(HWND owner, const std::wstring& fileName,
                    const Dossiq::Documents::ValidationReport* finished);

} // namespace Dossiq::Manager
