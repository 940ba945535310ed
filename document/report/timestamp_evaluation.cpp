#include "document/report/timestamp_evaluation.h"

#include "certificates/x509_chain.h"
#include "document/container/document.h"
#include "document/report/validation_report.h"
#include "foundation/exception.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::Oid;
using MHFX::Security::Cryptography::X509::X509Certificate;
using MHFX::Security::Cryptography::X509::X509Chain;
using MHFX::Security::Cryptography::X509::X509RevocationMode;

namespace {

// The authority chains to a trusted root at `time`, for time-stamping.
bool IsTrustedAuthority(PCCERT_CONTEXT authority, const FILETIME& time) {
    X509Chain chain;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    chain.ChainPolicy.ApplicationPolicy.Add(Oid(L"1.3.6.1.5.5.7.3.8", L"Time Stamping"));
    chain.ChainPolicy.VerificationTime = MHFX::DateTime::FromFileTimeUtc(static_cast<long long>(
        (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime));
    chain.Build(X509Certificate(authority));
    return chain.ErrorStatus() == 0 && chain.Verify();
}

} // namespace

TimestampReport EvaluateTimestamp(const Document& document) {
    TimestampReport report;
    if (document.SignatureTimestamp().empty()) {
        return report;
    }
    report.present = true;
    try {
        const TimestampToken token = DecodeTimestampToken(document.SignatureTimestamp());
        report.time = IsoUtc(token.time);
        CheckImprint(token, document.SignatureValue());
        if (!IsTrustedAuthority(token.authority.get(), token.time)) {
            throw TimestampError(TimestampProblem::UntrustedAuthority);
        }
        // Named only once verified: an unused token's name is whatever its maker chose.
        report.authority = AuthorityName(token.authority.get());
        report.used = true;
        report.provenTime = token.time;
    } catch (const TimestampError& e) {
        report.problem = e.Problem();
    } catch (const MHFX::Exception&) {
        report.problem = TimestampProblem::UntrustedAuthority;
    }
    return report;
}

const wchar_t* TimestampProblemText(TimestampProblem problem) {
    switch (problem) {
    case TimestampProblem::None:
        return L"";
    case TimestampProblem::Unreachable:
        return L"the time-stamping service could not be reached";
    case TimestampProblem::Refused:
        return L"the time-stamping service refused the request";
    case TimestampProblem::Malformed:
        return L"the timestamp cannot be read";
    case TimestampProblem::SignatureInvalid:
        return L"the timestamp's own signature does not verify";
    case TimestampProblem::ImprintMismatch:
        return L"the timestamp was made for another signature";
    case TimestampProblem::NonceMismatch:
        return L"the reply answers another request";
    case TimestampProblem::NotTimestampAuthority:
        return L"the timestamp's signer is not a time-stamping authority";
    case TimestampProblem::UntrustedAuthority:
        return L"the time-stamping authority is not trusted";
    }
    return L"";
}

} // namespace Dossiq::Documents
