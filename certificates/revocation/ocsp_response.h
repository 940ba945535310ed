// An OCSP response (RFC 6960 section 4.2) read and verified for one certificate: the answer
// counts only when it names that certificate's CertID, was signed by its issuer or by a
// responder the issuer authorised for OCSP, and echoes the request's nonce if it echoes one.
// Whether it is fresh enough for a given time is the caller's judgement (thisUpdate and
// nextUpdate are given).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

namespace MHFX::Security::Cryptography::X509 {

// Why an answer is not usable. The names are stable (JSON).
enum class OcspProblem {
    None,
    Unreachable,        // no responder gave a reply (set by the client)
    Malformed,          // not an OCSPResponse with a basic response
    NotSuccessful,      // responseStatus other than successful
    UnknownSigner,      // signed neither by the issuer nor by a responder the issuer certified
    NotAuthorized,      // the issuer's responder certificate lacks id-kp-OCSPSigning
    ResponderNotValid,  // the responder certificate was not valid at producedAt
    BadSignature,       // the signature does not verify with the signer's key
    NoMatchingResponse, // no SingleResponse names the certificate's CertID
    NonceMismatch,      // the echoed nonce is not the request's
};

const wchar_t* OcspProblemName(OcspProblem problem);

struct OcspAnswer {
    enum class Status { Good, Revoked, Unknown };
    Status status = Status::Unknown; // Unknown whenever `verified` is false
    bool verified = false;
    OcspProblem problem = OcspProblem::Malformed;
    FILETIME producedAt = {};
    FILETIME thisUpdate = {};
    FILETIME nextUpdate = {};     // zero when absent
    FILETIME revocationTime = {}; // when revoked
    int reason = -1;              // when revoked: the CRLReason, -1 without a reason code
    std::wstring responder;       // the signer's subject, readable
    // A delegated responder without id-pkix-ocsp-nocheck: its own revocation status must be
    // known before the answer is believed. `responderCertificate` is its DER (empty when the
    // issuer signed).
    bool responderNeedsCheck = false;
    std::vector<BYTE> responderCertificate;
    std::vector<BYTE> encoded; // the whole OCSPResponse as received
};

// Reads and verifies `encoded` for `certificate`, issued by `issuer`. `nonce` is the
// request's, null for a response kept in a container (then an echoed nonce is not looked
// at). Never throws.
OcspAnswer VerifyOcspResponse(const std::vector<BYTE>& encoded, PCCERT_CONTEXT certificate,
                              PCCERT_CONTEXT issuer, const std::vector<BYTE>* nonce);

// thisUpdate <= now (give or take a few minutes of clock skew) <= nextUpdate; an answer
// without nextUpdate is current only when it is issued, so never here.
bool IsCurrent(const OcspAnswer& answer, const FILETIME& now);

} // namespace MHFX::Security::Cryptography::X509
