#include "views/signature_choice.h"

#include "config/localization.h"
#include "document/report/validation_report.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "ui/accessible_text.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Views {

std::vector<std::wstring> SignatureChoices(const ValidationReport& report) {
    std::vector<std::wstring> choices;
    const auto count = static_cast<unsigned>(report.signatures.size());
    for (unsigned i = 0; i < count; ++i) {
        const SignatureFacts& signature = report.signatures[i];
        const std::wstring& name =
            signature.signerName.empty() ? signature.signer.subject : signature.signerName;
        choices.push_back(
            signature.countersigns == kNotCountersigning
                ? MHFX::FormatString(LoadLocalizedString(IDS_SIGNATURE_CHOICE), i + 1, count,
                                     name.c_str())
                : MHFX::FormatString(LoadLocalizedString(IDS_COUNTERSIGNATURE_CHOICE), i + 1, count,
                                     name.c_str(),
                                     static_cast<unsigned>(signature.countersigns + 1)));
    }
    return choices;
}

bool ShowSignatureChoice(HWND box, const ValidationReport& report) {
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    const std::vector<std::wstring> choices = SignatureChoices(report);
    for (const std::wstring& choice : choices) {
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    }
    ::SendMessageW(box, CB_SETCURSEL, report.selectedSignature, 0);
    const bool shown = choices.size() > 1;
    ::ShowWindow(box, shown ? SW_SHOWNA : SW_HIDE);
    return shown;
}

void NameSignatureChoice(HWND box) {
    Ui::AccessibleText text;
    text.name = [] { return LoadLocalizedString(IDS_SIGNATURE_CHOICE_NAME); };
    Ui::SetAccessibleText(box, std::move(text));
}

} // namespace Dossiq::Views
