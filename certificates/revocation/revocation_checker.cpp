#include "certificates/revocation/revocation_checker.h"

#include <cstring>

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// id-ce-expiredCertsOnCRL: the list still names certificates that expired since this date.
constexpr char kOidExpiredCertsOnCrl[] = "2.5.29.60";
constexpr char kOidInvalidityDate[] = "2.5.29.24";

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

// The list's period holds `time`, or the list was made after it.
bool SpeaksFor(PCCRL_CONTEXT crl, const FILETIME& time) {
    const CRL_INFO& info = *crl->pCrlInfo;
    if (!Before(time, info.ThisUpdate)) {
        return IsZero(info.NextUpdate) || !Before(info.NextUpdate, time);
    }
    return true;
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
    evidence.status = hasTime_ && Before(at_, evidence.revokedFrom) ? RevocationStatus::Good
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

bool RevocationChecker::KeptList(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                                 RevocationEvidence& evidence) const {
    if (!kept_) {
        return false;
    }
    const FILETIME& when = hasTime_ ? at_ : now_;
    PCCRL_CONTEXT crl = nullptr;
    while ((crl = ::CertEnumCRLsInStore(kept_, crl)) != nullptr) {
        if (!SpeaksFor(crl, when) || !Covers(crl, certificate) || !IsCrlSignedBy(crl, issuer)) {
            continue;
        }
        // The newest list the issuer signed says the most.
        if (!evidence.crl ||
            Before(evidence.crl.get()->pCrlInfo->ThisUpdate, crl->pCrlInfo->ThisUpdate)) {
            evidence.crl.reset(::CertDuplicateCRLContext(crl));
        }
    }
    if (!evidence.crl) {
        return false;
    }
    evidence.source = RevocationSource::Container;
    evidence.gap = RevocationGap::None;
    Judge(certificate, evidence);
    return true;
}

RevocationEvidence RevocationChecker::Check(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
    RevocationEvidence online;
    online.crl = cache_.Find(certificate, issuer, deadline_, online.url);
    if (online.crl) {
        Judge(certificate, online);
        if (online.listed) {
            online.source = RevocationSource::Online;
            return online;
        }
        const CRL_INFO& info = *online.crl.get()->pCrlInfo;
        // For a proven time, a list that was current then or came later speaks for it.
        const bool speaks = hasTime_ ? SpeaksFor(online.crl.get(), at_)
                                     : IsZero(info.NextUpdate) || !Before(info.NextUpdate, now_);
        if (!speaks) {
            online.gap = RevocationGap::Outdated;
        } else if (!Covers(online.crl.get(), certificate)) {
            online.gap = RevocationGap::ExpiredNotCovered;
        } else {
            online.source = RevocationSource::Online;
            return online;
        }
    } else {
        online.gap = online.url.empty() ? RevocationGap::NoAddress : RevocationGap::Unreachable;
    }
    RevocationEvidence kept;
    if (KeptList(certificate, issuer, kept)) {
        kept.url = online.url;
        return kept;
    }
    online.status = RevocationStatus::Unknown;
    online.listed = false;
    return online;
}

} // namespace MHFX::Security::Cryptography::X509
