// The revocation status of the certificates of one chain, decided by the product from
// verified evidence: the answer of the certificate's OCSP responder where it names one, else
// the issuer's list fetched now (or served by this process's cache), else a list kept in the
// container that the issuer signed. A list says "not revoked at T" only when
// it is complete for the certificate and was issued at or after T, or is the issuer's current
// list fetched after T; any usable list proves a revocation it shows. Never asks the
// platform's revocation machinery, so its caches cannot change a verdict.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "certificates/revocation/ocsp_response.h"
#include "certificates/revocation/revocation_evidence.h"
#include "certificates/revocation/verified_crl_cache.h"

namespace MHFX::Security::Cryptography::X509 {

class RevocationChecker {
public:
    // `kept`: the container's certificates and CRLs, may be null. `at`: the proven signing
    // time, null to judge now. Every fetch of this checker ends within `budgetMs` in all.
    RevocationChecker(VerifiedCrlCache& cache, HCERTSTORE kept, const FILETIME* at,
                      ULONGLONG budgetMs = 20000);

    // For a time-stamping authority (RFC 3161 section 4): a key revoked as compromised, or
    // without a reason, vouches for nothing, whenever it signed.
    void CompromiseVoidsEarlierUse() { compromiseVoids_ = true; }

    // The status of `certificate`, whose chain issuer is `issuer`. Never throws.
    RevocationEvidence Check(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer);

    // Every certificate of `chain` but a root that names no revocation address, signer first.
    std::vector<RevocationEvidence> CheckChain(const CERT_SIMPLE_CHAIN& chain);

private:
    // The answer of the certificate's OCSP responder, when it settles the status.
    bool Ocsp(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
              RevocationEvidence& evidence) const;
    // A response kept in the container that settles it.
    bool KeptResponse(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                      RevocationEvidence& evidence) const;
    // `answer`'s facts into `evidence`; whether they settle the status at the checked time.
    // `heardNow`: heard by this process rather than kept in the container.
    bool FromAnswer(const OcspAnswer& answer, bool heardNow, RevocationEvidence& evidence) const;
    bool KeptList(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                  RevocationEvidence& evidence) const;
    // Revoked, unless the revocation came after the proven time (and, for an authority, was
    // not a compromise).
    RevocationStatus StatusOfListed(const RevocationEvidence& evidence) const;
    // Reads `evidence.crl`'s entry for `certificate`, if any, into `evidence`.
    void Judge(PCCERT_CONTEXT certificate, RevocationEvidence& evidence) const;
    // The list, which does not name `certificate`, shows it was not revoked at the checked
    // time. `fetched`: when this process fetched the list, null for a kept one.
    bool ShowsGood(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate, const FILETIME* fetched) const;
    // Not naming `certificate` tells something about it.
    bool Covers(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate) const;

    VerifiedCrlCache& cache_;
    HCERTSTORE kept_;
    bool hasTime_;
    bool compromiseVoids_ = false;
    FILETIME at_ = {};
    FILETIME now_ = {};
    ULONGLONG deadline_;
};

} // namespace MHFX::Security::Cryptography::X509
