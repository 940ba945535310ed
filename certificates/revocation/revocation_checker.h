// The revocation status of the certificates of one chain, decided by the product from one
// verified CRL per certificate: the issuer's current list, or, where that cannot settle the
// status at the proven signing time, a list kept in the container that the issuer signed.
// Never asks the platform's revocation machinery, so its caches cannot change a verdict.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "certificates/revocation/revocation_evidence.h"
#include "certificates/revocation/verified_crl_cache.h"

namespace MHFX::Security::Cryptography::X509 {

class RevocationChecker {
public:
    // `kept`: the container's certificates and CRLs, may be null. `at`: the proven signing
    // time, null to judge now. Every fetch of this checker ends within `budgetMs` in all.
    RevocationChecker(VerifiedCrlCache& cache, HCERTSTORE kept, const FILETIME* at,
                      ULONGLONG budgetMs = 20000);

    // The status of `certificate`, whose chain issuer is `issuer`. Never throws.
    RevocationEvidence Check(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer);

private:
    bool KeptList(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                  RevocationEvidence& evidence) const;
    void Judge(PCCERT_CONTEXT certificate, RevocationEvidence& evidence) const;
    // Not naming `certificate` tells something about it.
    bool Covers(PCCRL_CONTEXT crl, PCCERT_CONTEXT certificate) const;

    VerifiedCrlCache& cache_;
    HCERTSTORE kept_;
    bool hasTime_;
    FILETIME at_ = {};
    FILETIME now_ = {};
    ULONGLONG deadline_;
};

} // namespace MHFX::Security::Cryptography::X509
