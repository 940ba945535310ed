// The choice, above a report, of which of a document's signatures it shows: a drop-down
// list of "Signature 1 of 2: Jovana Jovanović", named for screen readers, shown only when
// the document has more than one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Dossiq::Documents {
struct ValidationReport;
}

namespace Dossiq::Views {

// Each signature of `report` as the list names it, in the message's order.
std::vector<std::wstring> SignatureChoices(const Documents::ValidationReport& report);

// Fills the drop-down list `box` with the choices, the report's selected one chosen, and
// shows it when there are two or more (else hides it); true when it is shown.
bool ShowSignatureChoice(HWND box, const Documents::ValidationReport& report);

// Gives `box` its name for screen readers; once, when its dialog starts.
void NameSignatureChoice(HWND box);

} // namespace Dossiq::Views
