// What a long-term signature keeps beside its timestamp, gathered at signing: the chains of
// the signer and of the time-stamping authority up to their roots, and for every certificate
// in them but the roots a current CRL, fetched from the certificate's CRL addresses (or, for
// one without any, its issuer's full CRL fetched for another) and verified against its
// issuer. The platform's URL cache is neither read nor filled, so that signing never changes
// what a later check on this machine finds.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/container/validation_data.h"

namespace Dossiq::Documents {

// How long one CRL may take to come, and how large it may be.
constexpr DWORD kCrlTimeoutMs = 10000;
constexpr size_t kMaxCrlLength = 16u << 20;

struct CollectedValidationData {
    ValidationData data;
    // The certificates (by name) for which no current CRL signed by their issuer could be
    // had, a chain's last certificate included when no trusted root was found above it.
    std::vector<std::wstring> missing;
};

// `token` is the signature's time-stamp token; its certificates help build the
// authority's chain.
CollectedValidationData CollectValidationData(PCCERT_CONTEXT signer,
                                              const std::vector<BYTE>& token);

} // namespace Dossiq::Documents
