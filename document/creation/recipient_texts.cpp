#include "document/creation/recipient_texts.h"

#include "config/localization.h"
#include "foundation/resource_string.h"
#include "foundation/text/readable_text.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace RecipientTexts {

namespace {

UINT ReasonId(RecipientVerdict verdict) {
    switch (verdict) {
    case RecipientVerdict::NotTimeValid:
        return IDS_RECIPIENT_NOT_TIME_VALID;
    case RecipientVerdict::Untrusted:
        return IDS_RECIPIENT_UNTRUSTED;
    case RecipientVerdict::Revoked:
        return IDS_RECIPIENT_REVOKED;
    case RecipientVerdict::ChainInvalid:
        return IDS_RECIPIENT_CHAIN_INVALID;
    case RecipientVerdict::Fit:
    case RecipientVerdict::NoKeyEncipherment:
        break;
    }
    return 0;
}

} // namespace

std::wstring CertificateName(const X509Certificate& certificate) {
    std::wstring name = certificate.GetNameInfo(CERT_NAME_SIMPLE_DISPLAY_TYPE, nullptr);
    const std::wstring email = certificate.GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr);
    if (!email.empty() && email != name) {
        name += L" <" + email + L">";
    }
    return MHFX::ReadableText(name);
}

std::wstring Refusal(const X509Certificate& certificate) {
    return MHFX::FormatString(LoadLocalizedString(IDS_RECIPIENT_NO_KEY_ENCIPHERMENT),
                              CertificateName(certificate).c_str());
}

std::wstring Problem(const X509Certificate& certificate, RecipientVerdict verdict) {
    const UINT reason = ReasonId(verdict);
    if (reason == 0) {
        return {};
    }
    return MHFX::FormatString(LoadLocalizedString(reason), CertificateName(certificate).c_str());
}

std::wstring Warning(const X509Certificate& certificate, RecipientVerdict verdict) {
    return Problem(certificate, verdict) + L"\r\n\r\n" +
           LoadLocalizedString(IDS_RECIPIENT_ASK_GO_ON);
}

} // namespace RecipientTexts

} // namespace Dossiq::Documents
