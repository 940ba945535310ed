// What a long-term signature keeps beside its timestamp, gathered at signing: the chains of
// the signer and of the time-stamping authority up to their roots, and for every certificate
// in them but the roots an OCSP response given after the token where the certificate names a
// responder, else a CRL issued after the token (or, for one without an address, its issuer's
// full CRL fetched for another), fetched and verified as a check fetches them. The
// platform's URL cache is neither read nor filled, so that signing never changes what a
// later check on this machine finds.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/container/validation_data.h"

namespace Dossiq::Documents {

// How long collecting may take in all.
constexpr ULONGLONG kCollectionBudgetMs = 30000;

struct CollectedValidationData {
    ValidationData data;
    // The certificates (by name) for which no CRL signed by their issuer and issued after the
    // token could be had (yet), a chain's last certificate included when no trusted root was
    // found above it.
    std::vector<std::wstring> missing;
    // When the earliest of the lists kept from before the token is due to be followed by a
    // newer one (zero when none is): then the data can be completed.
    FILETIME nextDue = {};
};

// `token` is the signature's time-stamp token; its certificates help build the
// authority's chain.
CollectedValidationData CollectValidationData(PCCERT_CONTEXT signer,
                                              const std::vector<BYTE>& token);

} // namespace Dossiq::Documents
