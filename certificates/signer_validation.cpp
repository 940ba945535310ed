#include "certificates/signer_validation.h"

#include "certificates/qualified_certificate.h"
#include "certificates/x509_chain.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

using Flags = X509ChainStatusFlags;

struct Group {
    DWORD bits;
    ValidationResult result;
};

constexpr Group kGroups[] = {
    {Flags::NotTimeValid | Flags::NotTimeNested | Flags::NotSignatureValid,
     ValidationResult::CertificateNotValid},
    {Flags::PartialChain | Flags::UntrustedRoot, ValidationResult::ChainFailed},
    {Flags::OfflineRevocation | Flags::RevocationStatusUnknown,
     ValidationResult::RevocationUnavailable},
    {Flags::Revoked, ValidationResult::Revoked},
};

// A certificate whose qualified statements cannot even be decoded does not show that it is
// qualified; the chain it passed still stands.
bool IsQualifiedOrNot(const X509Certificate& certificate) {
    try {
        return IsQualified(certificate);
    } catch (const Win32Exception&) {
        return false;
    }
}

} // namespace

ValidationResult ResultOfFailedChain(const std::vector<X509ChainStatus>& statuses) {
    for (const Group& group : kGroups) {
        for (const X509ChainStatus& status : statuses) {
            if ((status.Status & group.bits) != 0) {
                return group.result;
            }
        }
    }
    return ValidationResult::ChainInvalidOther;
}

ValidationResult ValidateSignerCertificate(const X509Certificate& certificate,
                                           ChainFindings* findings) {
    X509Chain chain;
    chain.UseMachineContext = false;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::Online;
    chain.ChainPolicy.RevocationFlag = CERT_CHAIN_REVOCATION_CHECK_CHAIN;
    chain.ChainPolicy.VerificationFlags = 0;

    chain.Build(certificate);
    chain.FillChainElements();
    // Some engines' base policy passes revoked chains and chains whose revocation data is
    // out of reach; the status word still tells.
    const bool passed = chain.Verify() && (chain.ErrorStatus() & kDecidingChainStatus) == 0;
    if (findings) {
        findings->errorStatus = chain.ErrorStatus();
        findings->statuses = chain.ChainStatus();
        if (chain.ChainContext()) {
            findings->chain.reset(::CertDuplicateCertificateChain(chain.ChainContext()));
        }
    }
    if (!passed) {
        return ResultOfFailedChain(chain.ChainStatus());
    }
    return IsQualifiedOrNot(certificate) ? ValidationResult::ValidQualified
                                         : ValidationResult::ValidNotQualified;
}

} // namespace MHFX::Security::Cryptography::X509
