#include "certificates/x509_chain_status.h"

#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

using Flags = X509ChainStatusFlags;

struct StatusText {
    DWORD bit;
    HRESULT code;
};

constexpr StatusText kStatusTexts[] = {
    {Flags::NotTimeValid, CERT_E_EXPIRED},
    {Flags::NotTimeNested, CERT_E_VALIDITYPERIODNESTING},
    {Flags::Revoked, CRYPT_E_REVOKED},
    {Flags::NotSignatureValid, TRUST_E_CERT_SIGNATURE},
    {Flags::NotValidForUsage, CERT_E_WRONG_USAGE},
    {Flags::UntrustedRoot, CERT_E_UNTRUSTEDROOT},
    {Flags::RevocationStatusUnknown, CRYPT_E_NO_REVOCATION_CHECK},
    {Flags::InvalidPolicyConstraints, CERT_E_INVALID_POLICY},
    {Flags::InvalidBasicConstraints, TRUST_E_BASIC_CONSTRAINTS},
    {Flags::InvalidNameConstraints, CERT_E_INVALID_NAME},
    {Flags::HasNotSupportedNameConstraint, CERT_E_INVALID_NAME},
    {Flags::HasNotDefinedNameConstraint, CERT_E_INVALID_NAME},
    {Flags::HasNotPermittedNameConstraint, CERT_E_INVALID_NAME},
    {Flags::HasExcludedNameConstraint, CERT_E_INVALID_NAME},
    {Flags::PartialChain, CERT_E_CHAINING},
    {Flags::CtlNotTimeValid, CERT_E_EXPIRED},
    {Flags::CtlNotSignatureValid, TRUST_E_CERT_SIGNATURE},
    {Flags::CtlNotValidForUsage, CERT_E_WRONG_USAGE},
    {Flags::OfflineRevocation, CRYPT_E_REVOCATION_OFFLINE},
    {Flags::NoIssuanceChainPolicy, CERT_E_INVALID_POLICY},
};

} // namespace

std::vector<X509ChainStatus> ChainStatusFromErrorStatus(DWORD errorStatus) {
    std::vector<X509ChainStatus> statuses;
    for (const StatusText& row : kStatusTexts) {
        if ((errorStatus & row.bit) != 0) {
            statuses.push_back({row.bit, Win32Exception(static_cast<DWORD>(row.code)).Message()});
        }
    }
    return statuses;
}

} // namespace MHFX::Security::Cryptography::X509
