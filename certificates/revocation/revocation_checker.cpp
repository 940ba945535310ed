#include "certificates/revocation/revocation_checker.h"

#include "certificates/clock_skew.h"

#include <algorithm>

#include "certificates/revocation/crl_scope.h"
#include "certificates/revocation/kept_responses.h"
#include "certificates/revocation/ocsp_client.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// id-ce-expiredCertsOnCRL: the list still names certificates that expired since this date.
constexpr char kOidExpiredCertsOnCrl[] = "2.5.29.60";
constexpr char kOidInvalidityDate[] = "2.5.29.24";
// A container may carry any number of lists; only the newest few of an issuer are weighed.
constexpr int kKeptListsPerIssuer = 4;

bool IsZero(const FILETIME& time) {
    return time.dwHighDateTime == 0 && time.dwLowDateTime == 0;
}

bool Before(const FILETIME& a, const FILETIME& b) {
    return ::CompareFileTime(&a, &b) < 0;
}

bool TimeOf(const CERT_EXTENSION* extension, FILETIME& time) {
    DWORD size = sizeof(time);
    return extension && ::CryptDecodeObject(kEncoding, X509_CHOICE_OF_TIME, extension->Value.pbData,
                                            extension->Value.cbData, 0, &time, &size);
}

// `heard` (when this process heard an answer) counts as no earlier than `at`: a proven time a
// little past the fetch still counts as before it.
bool WithinSkew(const FILETIME& heard, const FILETIME& at) {
    return NotLaterAllowingSkew(at, heard);
}

// Within its period at `now`. An issuer's clock may run a little ahead of this machine's (and
// an answer made this second carries this second): the period may begin up to the skew
// later.
bool IsCurrent(const FILETIME& thisUpdate, const FILETIME& nextUpdate, const FILETIME& now) {
    return WithinSkew(now, thisUpdate) && (IsZero(nextUpdate) || !Before(nextUpdate, now));
}

bool IsCurrent(PCCRL_CONTEXT crl, const FILETIME& now) {
    return IsCurrent(crl->pCrlInfo->ThisUpdate, crl->pCrlInfo->NextUpdate, now);
}

// RFC 3161 section 4: these leave no signature of the key trustworthy, whatever its date.
bool VoidsEveryUse(int reason) {
    return reason == kNoReasonCode || reason == 1 || reason == 2 || reason == 10;
}

} // namespace

RevocationChecker::RevocationChecker(VerifiedCrlCache& cache, HCERTSTORE kept, const FILETIME* at,
                                     ULONGLONG budgetMs)
    : cache_(cache), kept_(kept), hasTime_(at != nullptr),
      deadline_(::GetTickCount64() + budgetMs) {
    if (at) {
        at_ = *at;
    }
    ::GetSystemTimeAsFileTime(&now_);
}

void RevocationChecker::Judge(PCCERT_CONTEXT certificate, RevocationEvidence& evidence) const {
    PCRL_ENTRY entry = nullptr;
    evidence.listed =
        ::CertFindCertificateInCRL(certificate, evidence.crl.get(), 0, nullptr, &entry) && entry;
    if (!evidence.listed) {
        evidence.status = RevocationStatus::Good;
        return;
    }
    evidence.revocationDate = entry->RevocationDate;
    evidence.revokedFrom = entry->RevocationDate;
    const CERT_EXTENSION* reason =
        ::CertFindExtension(szOID_CRL_REASON_CODE, entry->cExtension, entry->rgExtension);
    int code = 0;
    DWORD size = sizeof(code);
    if (reason && ::CryptDecodeObject(kEncoding, X509_CRL_REASON_CODE, reason->Value.pbData,
                                      reason->Value.cbData, 0, &code, &size)) {
        evidence.reason = code;
    }
    // The key may have been unsafe before the CA heard of it.
    FILETIME invalid = {};
    if (TimeOf(::CertFindExtension(kOidInvalidityDate, entry->cExtension, entry->rgExtension),
               invalid) &&
        Before(invalid, evidence.revokedFrom)) {
        evidence.revokedFrom = invalid;
    }
    evidence.status = StatusOfListed(evidence);
}

RevocationStatus RevocationChecker::StatusOfListed(const RevocationEvidence& evidence) const {
    const bool before = hasTime_ && Before(at_, evidence.revokedFrom);
    return before && !(compromiseVoids_ && VoidsEveryUse(evidence.reason))
               ? RevocationStatus::Good
               : RevocationStatus::Revoked;
}

bool RevocationChecker::Covers(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate) const {
    const CRL_INFO& info = *crl->pCrlInfo;
    // A CA may drop a certificate from its list once it expired: a list made after that
    // proves nothing by not naming it, unless it keeps expired certificates since before
    // the proven time.
    if (!hasTime_ || !Before(certificate->pCertInfo->NotAfter, info.ThisUpdate)) {
        return true;
    }
    FILETIME since = {};
    return TimeOf(::CertFindExtension(kOidExpiredCertsOnCrl, info.cExtension, info.rgExtension),
                  since) &&
           !Before(at_, since);
}

bool RevocationChecker::ShowsGood(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate,
                                  const FILETIME* fetched) const {
    if (ScopeOf(crl, certificate) != CrlScope::Complete || !Covers(crl, certificate)) {
        return false;
    }
    // Judged now, only the issuer's current word counts: a kept list cannot know of a
    // revocation after it was made.
    if (!hasTime_) {
        return fetched && IsCurrent(crl, now_);
    }
    // A list made before the proven time cannot know of a revocation after it was made,
    // unless it is still the issuer's current word, heard after that time.
    if (!Before(crl->pCrlInfo->ThisUpdate, at_)) {
        return true;
    }
    return fetched && IsCurrent(crl, now_) && WithinSkew(*fetched, at_);
}

bool RevocationChecker::FromAnswer(const OcspAnswer& answer, bool heardNow,
                                   RevocationEvidence& evidence) const {
    // A responder whose own status would need checking is not followed further.
    if (!answer.verified || answer.responderNeedsCheck ||
        answer.status == OcspAnswer::Status::Unknown) {
        return false;
    }
    evidence.kind = RevocationKind::Ocsp;
    evidence.responder = answer.responder;
    evidence.producedAt = answer.producedAt;
    evidence.thisUpdate = answer.thisUpdate;
    evidence.nextUpdate = answer.nextUpdate;
    evidence.ocspResponse = answer.encoded;
    if (answer.status == OcspAnswer::Status::Revoked) {
        evidence.listed = true;
        evidence.revocationDate = evidence.revokedFrom = answer.revocationTime;
        evidence.reason = answer.reason;
        evidence.status = StatusOfListed(evidence);
        return true;
    }
    // The same freshness as a list's: issued after the proven time, or current and heard now.
    const bool fresh = hasTime_ ? !Before(answer.thisUpdate, at_) ||
                                      (heardNow && IsCurrent(answer, now_) && WithinSkew(now_, at_))
                                : heardNow && IsCurrent(answer, now_);
    evidence.status = RevocationStatus::Good;
    return fresh;
}

bool RevocationChecker::Ocsp(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                             RevocationEvidence& evidence) const {
    OcspQuery query;
    query.deadline = deadline_;
    if (hasTime_) {
        query.notBefore = at_; // a kept answer from before the proven time is asked anew
    }
    const OcspResult result = OcspClient::Shared().Find(certificate, issuer, query);
    evidence.url = result.url;
    evidence.source = result.cached ? RevocationSource::Cache : RevocationSource::Online;
    // A cached answer serves only when issued after the proven time (or current, judged now).
    return FromAnswer(result.answer, true, evidence);
}

bool RevocationChecker::KeptResponse(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                                     RevocationEvidence& evidence) const {
    RevocationEvidence good;
    for (const std::vector<BYTE>& response : KeptResponses(kept_)) {
        RevocationEvidence candidate;
        if (!FromAnswer(VerifyOcspResponse(response, certificate, issuer, nullptr), false,
                        candidate)) {
            continue;
        }
        if (candidate.status == RevocationStatus::Revoked) {
            evidence = std::move(candidate);
            break;
        }
        if (good.ocspResponse.empty() || Before(good.thisUpdate, candidate.thisUpdate)) {
            good = std::move(candidate);
        }
    }
    if (evidence.ocspResponse.empty()) {
        evidence = std::move(good);
    }
    if (evidence.ocspResponse.empty()) {
        return false;
    }
    evidence.source = RevocationSource::Container;
    return true;
}

bool RevocationChecker::KeptList(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                                 RevocationEvidence& evidence) const {
    if (!kept_) {
        return false;
    }
    std::vector<CrlContextHandle> lists;
    PCCRL_CONTEXT crl = nullptr;
    while ((crl = ::CertEnumCRLsInStore(kept_, crl)) != nullptr) {
        if (::CertCompareCertificateName(kEncoding, &crl->pCrlInfo->Issuer,
                                         &issuer->pCertInfo->Subject) &&
            ScopeOf(crl, certificate) != CrlScope::Unusable) {
            lists.emplace_back(::CertDuplicateCRLContext(crl));
        }
    }
    std::sort(lists.begin(), lists.end(), [](const CrlContextHandle& a, const CrlContextHandle& b) {
        return Before(b.get()->pCrlInfo->ThisUpdate, a.get()->pCrlInfo->ThisUpdate);
    });
    if (lists.size() > kKeptListsPerIssuer) {
        lists.resize(kKeptListsPerIssuer);
    }
    RevocationEvidence good;
    for (CrlContextHandle& list : lists) {
        if (!IsCrlSignedBy(list.get(), issuer)) {
            continue;
        }
        RevocationEvidence candidate;
        candidate.crl = std::move(list);
        Judge(certificate, candidate);
        // Any list the issuer signed proves a revocation it shows, however old.
        if (candidate.status == RevocationStatus::Revoked) {
            evidence = std::move(candidate);
            break;
        }
        if (!good.crl && ShowsGood(candidate.crl.get(), certificate, nullptr)) {
            good = std::move(candidate);
        }
    }
    if (!evidence.crl) {
        evidence = std::move(good);
    }
    if (!evidence.crl) {
        return false;
    }
    evidence.source = RevocationSource::Container;
    evidence.gap = RevocationGap::None;
    return true;
}

RevocationEvidence RevocationChecker::Check(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
    RevocationEvidence answered;
    if (Ocsp(certificate, issuer, answered)) {
        return answered;
    }
    RevocationEvidence online;
    VerifiedCrlCache::Found found =
        cache_.Find(certificate, issuer, deadline_, hasTime_ ? &at_ : nullptr);
    online.url = found.url;
    online.crl = std::move(found.crl);
    if (online.crl) {
        const PCCRL_CONTEXT list = online.crl.get();
        const CrlScope scope = ScopeOf(list, certificate);
        if (scope != CrlScope::Unusable) {
            Judge(certificate, online);
        }
        online.source = found.cached ? RevocationSource::Cache : RevocationSource::Online;
        if (scope != CrlScope::Unusable && (online.status == RevocationStatus::Revoked ||
                                            (online.listed && scope == CrlScope::Complete) ||
                                            ShowsGood(list, certificate, &found.fetched))) {
            return online;
        }
        if (scope != CrlScope::Complete) {
            online.gap = RevocationGap::UnusableList;
        } else if (!IsCurrent(list, now_)) {
            online.gap = RevocationGap::Outdated;
        } else if (!Covers(list, certificate)) {
            online.gap = RevocationGap::ExpiredNotCovered;
        } else {
            online.gap = RevocationGap::Unreachable; // no list issued after the time came
        }
    } else {
        online.gap = online.url.empty() ? RevocationGap::NoAddress : RevocationGap::Unreachable;
    }
    RevocationEvidence kept;
    if (KeptResponse(certificate, issuer, kept) || KeptList(certificate, issuer, kept)) {
        kept.url = online.url;
        return kept;
    }
    online.status = RevocationStatus::Unknown;
    online.source = RevocationSource::None;
    online.listed = false;
    online.reason = kNoReasonCode;
    return online;
}

std::vector<RevocationEvidence> RevocationChecker::CheckChain(const CERT_SIMPLE_CHAIN& chain) {
    std::vector<RevocationEvidence> evidence;
    for (DWORD i = 0; i < chain.cElement; ++i) {
        const PCCERT_CONTEXT certificate = chain.rgpElement[i]->pCertContext;
        const bool root = i + 1 == chain.cElement;
        if (root && VerifiedCrlCache::CrlAddresses(certificate).empty()) {
            break;
        }
        evidence.push_back(
            Check(certificate, root ? certificate : chain.rgpElement[i + 1]->pCertContext));
    }
    return evidence;
}

} // namespace MHFX::Security::Cryptography::X509
