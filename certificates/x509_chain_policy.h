#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "certificates/oid_collection.h"
#include "certificates/x509_certificate_collection.h"
#include "foundation/date_time.h"
#include "foundation/time_span.h"

namespace MHFX::Security::Cryptography::X509 {

enum class X509RevocationMode : DWORD { NoCheck = 0, Online = 1, Offline = 2 };

class X509ChainPolicy {
public:
    // Online revocation checking of the chain without its root, judged now.
    X509ChainPolicy();

    OidCollection ApplicationPolicy; // all required (AND)
    OidCollection CertificatePolicy; // all required (AND)
    X509CertificateCollection ExtraStore;
    X509RevocationMode RevocationMode = X509RevocationMode::Online;
    DWORD RevocationFlag = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    DWORD VerificationFlags = 0;
    TimeSpan UrlRetrievalTimeout; // zero: the engine's own limit
    // Builds from what is at hand only: no address a certificate names is asked.
    bool DisableCertificateDownloads = false;
    DateTime VerificationTime;
};

} // namespace MHFX::Security::Cryptography::X509
