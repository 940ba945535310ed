#include "certificates/recipient_check.h"

#include "certificates/qualified_certificate.h"
#include "certificates/signer_validation.h"
#include "foundation/exception.h"

namespace MHFX::Security::Cryptography::X509 {

RecipientVerdict CheckRecipientCertificate(const X509Certificate& certificate) {
    try {
        if (!HasKeyUsage(certificate, CERT_KEY_ENCIPHERMENT_KEY_USAGE)) {
            return RecipientVerdict::NoKeyEncipherment;
        }
    } catch (const MHFX::Exception&) {
        return RecipientVerdict::NoKeyEncipherment; // a usage no one can read is none
    }
    ValidationResult result = ValidationResult::ChainInvalidOther;
    try {
        result = ValidateSignerCertificate(certificate);
    } catch (const MHFX::Exception&) {
        return RecipientVerdict::ChainInvalid;
    }
    switch (result) {
    case ValidationResult::CertificateNotValid:
        return RecipientVerdict::NotTimeValid;
    case ValidationResult::ChainFailed:
        return RecipientVerdict::Untrusted;
    case ValidationResult::Revoked:
        return RecipientVerdict::Revoked;
    case ValidationResult::ChainInvalidOther:
        return RecipientVerdict::ChainInvalid;
    case ValidationResult::RevocationUnavailable:
    case ValidationResult::ValidNotQualified:
    case ValidationResult::ValidQualified:
        break;
    }
    return RecipientVerdict::Fit;
}

} // namespace MHFX::Security::Cryptography::X509
