// RFC 3161 time-stamp tokens over a signature value: the request a signer sends, the reply
// it gets, and the token itself (a SignedData over a TSTInfo) decoded and checked. Only the
// parts a signature time-stamp needs are read; anything else in a token is carried, not
// interpreted.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "foundation/handle.h"

namespace Dossiq::Documents {

// Why a token was not got or not used. The names are stable (JSON, logs).
enum class TimestampProblem {
    None,
    Unreachable,           // the service could not be reached or gave no reply
    Refused,               // the reply's status was not "granted"
    Malformed,             // the reply or the token does not decode
    SignatureInvalid,      // the token's own signature does not verify
    ImprintMismatch,       // the token is over another signature
    NonceMismatch,         // the reply answers another request
    NotTimestampAuthority, // its signer lacks the time-stamping usage
    UntrustedAuthority,    // its signer does not chain to a trusted root at that time
};
const wchar_t* TimestampProblemName(TimestampProblem problem);

// Thrown by the functions below with the reason.
class TimestampError {
public:
    explicit TimestampError(TimestampProblem problem, DWORD code = 0)
        : problem_(problem), code_(code) {}
    TimestampProblem Problem() const noexcept { return problem_; }
    DWORD Code() const noexcept { return code_; } // the platform's code, when it had one

private:
    TimestampProblem problem_;
    DWORD code_;
};

// id-aa-signatureTimeStampToken, the unsigned signer attribute that carries the token.
constexpr char kTimestampTokenAttributeOid[] = "1.2.840.113549.1.9.16.2.14";
extern const std::vector<BYTE> kOidTimestampTokenAttribute; // encoded

struct TimestampToken {
    std::vector<BYTE> imprint; // the hashed message, its hash SHA-256
    std::vector<BYTE> nonce;   // the INTEGER's content bytes, empty when absent
    FILETIME time = {};        // genTime, UTC
    MHFX::CertContextHandle authority;
};

std::vector<BYTE> Sha256(const BYTE* data, size_t length);
// A fresh positive nonce of eight bytes.
std::vector<BYTE> NewNonce();
// TimeStampReq: version 1, SHA-256 imprint of `signature`, `nonce`, certReq true.
std::vector<BYTE> EncodeTimestampRequest(const std::vector<BYTE>& signature,
                                         const std::vector<BYTE>& nonce);
// The token of a TimeStampResp; Refused or Malformed when it has none.
std::vector<BYTE> TokenOfResponse(const BYTE* response, size_t length);
// Decodes the token and verifies its signature against the certificate it carries (which
// must have the time-stamping usage). Throws TimestampError.
TimestampToken DecodeTimestampToken(const std::vector<BYTE>& token);
// The token's imprint is SHA-256 of `signature`. Throws ImprintMismatch.
void CheckImprint(const TimestampToken& token, const std::vector<BYTE>& signature);
// The authority's common name (or, lacking one, its simple display name).
std::wstring AuthorityName(PCCERT_CONTEXT authority);

} // namespace Dossiq::Documents
