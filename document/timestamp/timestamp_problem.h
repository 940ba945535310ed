// Why a time-stamp token was not got or not used, and the error that carries it.
#pragma once

#include <windows.h>

namespace Dossiq::Documents {

// Why a token was not got or not used. The names are stable (JSON, logs).
enum class TimestampProblem {
    None,
    Unreachable,            // the service could not be reached or gave no reply
    Refused,                // the reply's status was not "granted"
    Malformed,              // the reply or the token does not decode
    SignatureInvalid,       // the token's own signature does not verify
    ImprintMismatch,        // the token is over another signature
    NonceMismatch,          // the reply answers another request
    NotTimestampAuthority,  // its signer lacks the time-stamping usage
    UntrustedAuthority,     // its signer does not chain to a trusted root at that time
    WeakAlgorithm,          // signed with MD5 or SHA-1
    CertificateMismatch,    // its signing-certificate attribute does not name its signer
    AuthorityRevoked,       // the authority's certificate (or a CA above it) is revoked
    AuthorityStatusUnknown, // the authority's revocation status could not be established
    FutureTime,             // dated later than the check
    UnsupportedImprint,     // its imprint was made with a hash other than SHA-256, -384, -512
    UnsupportedAlgorithm,   // signed with an algorithm this platform cannot verify
};
constexpr TimestampProblem kLastTimestampProblem = TimestampProblem::UnsupportedAlgorithm;
const wchar_t* TimestampProblemName(TimestampProblem problem);

// Thrown by the token readers with the reason.
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

} // namespace Dossiq::Documents
