#include "views/co_signing_command.h"

#include "certificates/x509_certificate.h"
#include "config/localization.h"
#include "document/operations/co_signing.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"
#include "resources/common/localized_ids.h"
#include "views/busy_dialog.h"
#include "views/certificate_selection.h"
#include "views/signing_prompts.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Views {

CoSigningCommand::CoSigningCommand(std::wstring path, HWND owner, UINT captionId)
    : path_(std::move(path)), owner_(owner), captionId_(captionId) {}

bool CoSigningCommand::Run() noexcept {
    DWORD error = ERROR_INTERNAL_ERROR;
    try {
        return SignWithChosen();
    } catch (const MHFX::Win32Exception& e) {
        error = e.ErrorCode();
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
    }
    try {
        Tell(IDS_SIGNING_FAILED, MB_ICONERROR, MHFX::Win32Exception::SystemText(error));
    } catch (...) {
    }
    return false;
}

bool CoSigningCommand::SignWithChosen() {
    const MHFX::Security::Cryptography::X509::X509Certificate signer = SelectSigningCertificate();
    if (!signer.IsInitialized()) {
        return false; // cancelled, or told that there is none
    }
    bool declined = false;
    CoSigningResult result;
    {
        BusyDialog busy(IDS_SIGNING_TITLE, IDS_SIGNING_DESCRIPTION);
        busy.Start();
        result = AddSignature(path_, path_, signer.Handle(), AskingStamper(declined, captionId_),
                              TellingLongTermSource(captionId_));
        busy.Close();
    }
    switch (result.outcome) {
    case CoSigningOutcome::Signed:
        Tell(IDS_ADD_SIGNATURE_DONE, MB_ICONINFORMATION);
        return true;
    case CoSigningOutcome::AlreadySigned:
        Tell(IDS_ADD_SIGNATURE_ALREADY, MB_ICONWARNING);
        break;
    case CoSigningOutcome::Enveloped:
        Tell(IDS_ADD_SIGNATURE_PROTECTED, MB_ICONWARNING);
        break;
    case CoSigningOutcome::Tampered:
        Tell(IDS_ADD_SIGNATURE_TAMPERED, MB_ICONERROR);
        break;
    case CoSigningOutcome::Unreadable:
        Tell(IDS_ADD_SIGNATURE_UNREADABLE, MB_ICONERROR);
        break;
    case CoSigningOutcome::WriteFailed:
        Tell(IDS_ADD_SIGNATURE_NOT_WRITTEN, MB_ICONERROR,
             MHFX::Win32Exception::SystemText(result.error));
        break;
    case CoSigningOutcome::NotSigned:
        // Declining to sign without a timestamp, or a required long-term gap, has been told.
        if (!declined && result.error != ERROR_CANCELLED) {
            Tell(IDS_SIGNING_FAILED, MB_ICONERROR,
                 result.error == kErrorSigningKeyHashUnsupported
                     ? LoadLocalizedString(IDS_SIGNING_KEY_HASH_UNSUPPORTED)
                     : MHFX::Win32Exception::SystemText(result.error));
        }
        break;
    }
    return false;
}

void CoSigningCommand::Tell(UINT textId, UINT icon, const std::wstring& cause) const {
    const std::wstring name = MHFX::IO::Path::GetFileName(path_);
    const std::wstring format = LoadLocalizedString(textId);
    const std::wstring text =
        textId == IDS_SIGNING_FAILED            ? MHFX::FormatString(format, cause.c_str())
        : textId == IDS_ADD_SIGNATURE_PROTECTED ? format
        : cause.empty()                         ? MHFX::FormatString(format, name.c_str())
                        : MHFX::FormatString(format, name.c_str(), cause.c_str());
    ::MessageBoxW(owner_, text.c_str(), MHFX::LoadNeutralString(captionId_).c_str(),
                  MB_OK | icon | MB_SETFOREGROUND);
}

} // namespace Dossiq::Views
