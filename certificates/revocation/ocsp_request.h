// An unsigned OCSP request for one certificate (RFC 6960 section 4.1) with a fresh random
// nonce (RFC 8954), so that a replayed answer can be told from the responder's own.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "certificates/revocation/ocsp_cert_id.h"

namespace MHFX::Security::Cryptography::X509 {

struct OcspRequest {
    OcspCertId certId;         // SHA-1, which every responder understands
    std::vector<BYTE> nonce;   // 32 random bytes
    std::vector<BYTE> encoded; // the OCSPRequest DER, to POST as application/ocsp-request

    // Throws Win32Exception when the platform gives no random bytes or cannot hash.
    static OcspRequest For(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer);
};

} // namespace MHFX::Security::Cryptography::X509
