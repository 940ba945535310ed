#include "certificates/signer_validation.h"

#include "certificates/issuer_download.h"
#include "certificates/qualified_certificate.h"
#include "certificates/revocation/revocation_checker.h"
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

constexpr DWORD kRevocationBits =
    Flags::Revoked | Flags::RevocationStatusUnknown | Flags::OfflineRevocation;

// The container's certificates, for chain building only: never trusted by being there, and
// only the first few (each one costs the chain engine a look).
constexpr DWORD kKeptCertificates = 32;
void AddKeptCertificates(HCERTSTORE kept, X509CertificateCollection& extra) {
    if (!kept) {
        return;
    }
    PCCERT_CONTEXT context = nullptr;
    DWORD count = 0;
    while (count++ < kKeptCertificates &&
           (context = ::CertEnumCertificatesInStore(kept, context)) != nullptr) {
        extra.Add(X509Certificate(context));
    }
    if (context) {
        ::CertFreeCertificateContext(context);
    }
}

// The product's revocation check of the chain, as status bits.
DWORD CheckRevocation(PCCERT_CHAIN_CONTEXT chain, const FILETIME* at, HCERTSTORE kept,
                      std::vector<RevocationEvidence>& revocations) {
    if (chain == nullptr || chain->cChain == 0) {
        return 0;
    }
    RevocationChecker checker(VerifiedCrlCache::Shared(), kept, at);
    revocations = checker.CheckChain(*chain->rgpChain[0]);
    DWORD bits = 0;
    for (const RevocationEvidence& evidence : revocations) {
        switch (evidence.status) {
        case RevocationStatus::Revoked:
            bits |= Flags::Revoked;
            break;
        case RevocationStatus::Unknown:
            bits |= Flags::RevocationStatusUnknown | Flags::OfflineRevocation;
            break;
        case RevocationStatus::Good:
            break;
        }
    }
    return bits;
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
                                           ChainFindings* findings, const FILETIME* at,
                                           HCERTSTORE kept) {
    X509Chain chain;
    chain.UseMachineContext = false;
    // The engine's revocation answers depend on what it cached; the product decides.
    chain.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    chain.ChainPolicy.VerificationFlags = 0;
    // The engine fetches nothing; a missing issuer of the signer's own chain is fetched over
    // http alone.
    chain.ChainPolicy.DisableCertificateDownloads = true;
    AddKeptCertificates(kept, chain.ChainPolicy.ExtraStore);
    if (at) {
        chain.ChainPolicy.VerificationTime = DateTime::FromFileTimeUtc(static_cast<long long>(
            (static_cast<ULONGLONG>(at->dwHighDateTime) << 32) | at->dwLowDateTime));
    }

    BuildFetchingIssuers(chain, certificate);
    chain.FillChainElements();
    DWORD errorStatus = chain.ErrorStatus() & ~kRevocationBits;
    // Some engines' base policy passes chains with problems; the status word still tells.
    bool passed = chain.Verify() && (errorStatus & kDecidingChainStatus) == 0;
    std::vector<RevocationEvidence> revocations;
    if (passed) {
        // Only a chain that reaches a trusted root is worth a request to anyone.
        errorStatus |= CheckRevocation(chain.ChainContext(), at, kept, revocations);
        passed = (errorStatus & kDecidingChainStatus) == 0;
    }
    if (findings) {
        findings->errorStatus = errorStatus;
        findings->statuses = ChainStatusFromErrorStatus(errorStatus);
        if (chain.ChainContext()) {
            findings->chain.reset(::CertDuplicateCertificateChain(chain.ChainContext()));
        }
        findings->revocations = std::move(revocations);
    }
    if (!passed) {
        return ResultOfFailedChain(ChainStatusFromErrorStatus(errorStatus));
    }
    return IsQualifiedOrNot(certificate) ? ValidationResult::ValidQualified
                                         : ValidationResult::ValidNotQualified;
}

} // namespace MHFX::Security::Cryptography::X509
