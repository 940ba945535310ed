#include "shell/recipient_confirmation.h"

#include "certificates/recipient_check.h"
#include "document/creation/recipient_texts.h"
#include "foundation/resource_string.h"
#include "resources/shellext/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Shell {

using MHFX::Security::Cryptography::X509::CheckRecipientCertificate;
using MHFX::Security::Cryptography::X509::RecipientVerdict;
using MHFX::Security::Cryptography::X509::X509Certificate;

bool ConfirmRecipient(const X509Certificate& recipient) {
    const RecipientVerdict verdict = CheckRecipientCertificate(recipient);
    if (verdict == RecipientVerdict::Fit) {
        return true;
    }
    const std::wstring caption = MHFX::LoadNeutralString(IDS_SHELL_NAME);
    if (verdict == RecipientVerdict::NoKeyEncipherment) {
        ::MessageBoxW(nullptr, RecipientTexts::Refusal(recipient).c_str(), caption.c_str(),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    return ::MessageBoxW(nullptr, RecipientTexts::Warning(recipient, verdict).c_str(),
                         caption.c_str(), MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

} // namespace Dossiq::Shell
