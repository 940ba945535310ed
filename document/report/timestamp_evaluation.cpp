#include "document/report/timestamp_evaluation.h"

#include "document/report/certificate_facts.h"

#include "certificates/issuer_download.h"
#include "certificates/revocation/revocation_checker.h"
#include "certificates/x509_chain.h"
#include "document/container/document.h"
#include "document/report/validation_report.h"
#include "foundation/exception.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::BuildFetchingIssuers;
using MHFX::Security::Cryptography::X509::Oid;
using MHFX::Security::Cryptography::X509::RevocationChecker;
using MHFX::Security::Cryptography::X509::RevocationStatus;
using MHFX::Security::Cryptography::X509::VerifiedCrlCache;
using MHFX::Security::Cryptography::X509::X509Certificate;
using MHFX::Security::Cryptography::X509::X509Chain;
using MHFX::Security::Cryptography::X509::X509RevocationMode;

namespace {

// Later than this past the check's clock, a token's time is not believed.
constexpr ULONGLONG kClockSkew = 5ull * 60 * 10000000;

// The authority chains to a trusted root at `time`, for time-stamping, and neither it nor a
// CA above it was revoked then, nor ever as compromised (evidence from the issuers' lists or
// those kept in `kept`).
void CheckAuthority(PCCERT_CONTEXT authority, const FILETIME& time, HCERTSTORE kept) {
    X509Chain chain;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    chain.ChainPolicy.DisableCertificateDownloads = true;
    chain.ChainPolicy.ApplicationPolicy.Add(Oid(L"1.3.6.1.5.5.7.3.8", L"Time Stamping"));
    chain.ChainPolicy.VerificationTime = MHFX::DateTime::FromFileTimeUtc(static_cast<long long>(
        (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime));
    BuildFetchingIssuers(chain, X509Certificate(authority));
    if (chain.ErrorStatus() != 0 || !chain.Verify()) {
        throw TimestampError(TimestampProblem::UntrustedAuthority);
    }
    RevocationChecker checker(VerifiedCrlCache::Shared(), kept, &time);
    checker.CompromiseVoidsEarlierUse();
    for (const auto& evidence : checker.CheckChain(*chain.ChainContext()->rgpChain[0])) {
        switch (evidence.status) {
        case RevocationStatus::Revoked:
            throw TimestampError(TimestampProblem::AuthorityRevoked);
        case RevocationStatus::Unknown:
            throw TimestampError(TimestampProblem::AuthorityStatusUnknown);
        case RevocationStatus::Good:
            break;
        }
    }
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
        FILETIME now = {};
        ::GetSystemTimeAsFileTime(&now);
        const ULONGLONG latest =
            ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) + kClockSkew;
        if (((static_cast<ULONGLONG>(token.time.dwHighDateTime) << 32) | token.time.dwLowDateTime) >
            latest) {
            throw TimestampError(TimestampProblem::FutureTime);
        }
        const PCCERT_CONTEXT signer = document.SignerCertificate();
        CheckAuthority(token.authority.get(), token.time, signer ? signer->hCertStore : nullptr);
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
    case TimestampProblem::WeakAlgorithm:
        return L"the timestamp is signed with MD5 or SHA-1, no longer fit for signatures";
    case TimestampProblem::CertificateMismatch:
        return L"the timestamp does not name the certificate that verifies it";
    case TimestampProblem::AuthorityRevoked:
        return L"the time-stamping authority's certificate has been revoked";
    case TimestampProblem::AuthorityStatusUnknown:
        return L"the revocation status of the time-stamping authority could not be established";
    case TimestampProblem::FutureTime:
        return L"the timestamp is dated later than the time of the check";
    case TimestampProblem::UnsupportedImprint:
        return L"the timestamp was made with an unsupported hash";
    case TimestampProblem::UnsupportedAlgorithm:
        return L"the timestamp is signed with an algorithm that cannot be verified here";
    }
    return L"";
}

} // namespace Dossiq::Documents
