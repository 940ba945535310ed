// What a verified CRL can say about one certificate. A list is complete for a certificate
// only when every critical extension is understood, it is no delta, it is not indirect, and
// its issuing distribution point fits the certificate (RFC 5280 sections 5.2 and 6.3.3).
#pragma once

#include <windows.h>
#include <wincrypt.h>

namespace MHFX::Security::Cryptography::X509 {

enum class CrlScope {
    Unusable,        // proves nothing about the certificate
    RevocationsOnly, // limited to some reasons: can prove a revocation, never that there is none
    Complete,
};

CrlScope ScopeOf(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate);

} // namespace MHFX::Security::Cryptography::X509
