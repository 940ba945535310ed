#pragma once

#include <windows.h>

namespace MHFX::Security::Cryptography::X509 {

// The outcome of the signer-certificate checks (validity, chain, revocation-list
// availability, revocation, qualified status); it crosses threads as a message parameter.
enum class ValidationResult : DWORD {
    ChainInvalidOther = 0,
    ChainFailed = 1,
    CertificateNotValid = 2,
    RevocationUnavailable = 3,
    Revoked = 4,
    ValidNotQualified = 5,
    ValidQualified = 6,
};

} // namespace MHFX::Security::Cryptography::X509
