#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

namespace MHFX::Security::Cryptography::X509 {

// Trust-problem bits, equal to the platform's trust error-status bits, so that a status word
// of the chain engine is used unchanged.
struct X509ChainStatusFlags {
    enum : DWORD {
        NoError = CERT_TRUST_NO_ERROR,
        NotTimeValid = CERT_TRUST_IS_NOT_TIME_VALID,
        NotTimeNested = CERT_TRUST_IS_NOT_TIME_NESTED,
        Revoked = CERT_TRUST_IS_REVOKED,
        NotSignatureValid = CERT_TRUST_IS_NOT_SIGNATURE_VALID,
        NotValidForUsage = CERT_TRUST_IS_NOT_VALID_FOR_USAGE,
        UntrustedRoot = CERT_TRUST_IS_UNTRUSTED_ROOT,
        RevocationStatusUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN,
        Cyclic = CERT_TRUST_IS_CYCLIC,
        InvalidExtension = CERT_TRUST_INVALID_EXTENSION,
        InvalidPolicyConstraints = CERT_TRUST_INVALID_POLICY_CONSTRAINTS,
        InvalidBasicConstraints = CERT_TRUST_INVALID_BASIC_CONSTRAINTS,
        InvalidNameConstraints = CERT_TRUST_INVALID_NAME_CONSTRAINTS,
        HasNotSupportedNameConstraint = CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT,
        HasNotDefinedNameConstraint = CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT,
        HasNotPermittedNameConstraint = CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT,
        HasExcludedNameConstraint = CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT,
        PartialChain = CERT_TRUST_IS_PARTIAL_CHAIN,
        CtlNotTimeValid = CERT_TRUST_CTL_IS_NOT_TIME_VALID,
        CtlNotSignatureValid = CERT_TRUST_CTL_IS_NOT_SIGNATURE_VALID,
        CtlNotValidForUsage = CERT_TRUST_CTL_IS_NOT_VALID_FOR_USAGE,
        OfflineRevocation = CERT_TRUST_IS_OFFLINE_REVOCATION,
        NoIssuanceChainPolicy = CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY,
    };
};

struct X509ChainStatus {
    DWORD Status = X509ChainStatusFlags::NoError; // one bit
    std::wstring StatusInformation;
};

// One status per known bit set in `errorStatus`, in a fixed order, each with the system's
// one-line text of the matching error; unknown bits are dropped.
std::vector<X509ChainStatus> ChainStatusFromErrorStatus(DWORD errorStatus);

} // namespace MHFX::Security::Cryptography::X509
