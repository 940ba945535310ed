#include "document/report/timestamp_evaluation.h"

#include "certificates/clock_skew.h"
#include "certificates/issuer_download.h"
#include "certificates/revocation/revocation_checker.h"
#include "certificates/x509_chain.h"
#include "document/container/document.h"
#include "document/report/certificate_facts.h"
#include "document/report/validation_report.h"
#include "foundation/exception.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::BuildFetchingIssuers;
using MHFX::Security::Cryptography::X509::NotLaterAllowingSkew;
using MHFX::Security::Cryptography::X509::Oid;
using MHFX::Security::Cryptography::X509::RevocationChecker;
using MHFX::Security::Cryptography::X509::RevocationStatus;
using MHFX::Security::Cryptography::X509::VerifiedCrlCache;
using MHFX::Security::Cryptography::X509::X509Certificate;
using MHFX::Security::Cryptography::X509::X509Chain;
using MHFX::Security::Cryptography::X509::X509RevocationMode;

namespace {

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
        // Later than the check's clock allows, a token's time is not believed.
        if (!NotLaterAllowingSkew(token.time, now)) {
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

} // namespace Dossiq::Documents
