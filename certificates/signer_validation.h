// The five ordered checks of a signer's certificate, summarized as one ValidationResult:
// one chain build without the engine's revocation checking, the base policy, then (only for
// a chain that passed) the product's own revocation check of every certificate (the root
// only when it names an address), and the qualified test.
#pragma once

#include <vector>

#include "certificates/revocation/revocation_evidence.h"
#include "certificates/validation_result.h"
#include "certificates/x509_certificate.h"
#include "certificates/x509_chain_status.h"
#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

// What the chain build behind a result showed, for reports that name the reasons.
struct ChainFindings {
    DWORD errorStatus = 0;
    std::vector<X509ChainStatus> statuses;
    ChainContextHandle chain; // the built chain, null when none was built
    // Per certificate of the chain, signer first, the root only when it names an address;
    // empty when the chain failed before its revocation was checked.
    std::vector<RevocationEvidence> revocations;
};

// May block while revocation data is fetched (http and https only, bounded); a chain that
// does not pass causes no request at all. Throws what chain building or the policy check
// throw; qualified statements that do not decode make the certificate not qualified.
// `findings`, when given, receives what the chain showed.
// With `at` (a proven signing time) the chain is built and judged at that instant: a
// certificate revoked later than `at` counts as not revoked then.
// `kept`, when given, holds the container's certificates (untrusted intermediates) and CRLs
// (evidence where the current list cannot speak for `at`).
ValidationResult ValidateSignerCertificate(const X509Certificate& certificate,
                                           ChainFindings* findings = nullptr,
                                           const FILETIME* at = nullptr, HCERTSTORE kept = nullptr);

// The status bits that decide a failed chain's result. A chain showing any of them never
// counts as passed, whatever a permissive base policy says.
constexpr DWORD kDecidingChainStatus =
    X509ChainStatusFlags::NotTimeValid | X509ChainStatusFlags::NotTimeNested |
    X509ChainStatusFlags::NotSignatureValid | X509ChainStatusFlags::PartialChain |
    X509ChainStatusFlags::UntrustedRoot | X509ChainStatusFlags::OfflineRevocation |
    X509ChainStatusFlags::RevocationStatusUnknown | X509ChainStatusFlags::Revoked;

// The result of a chain the policy rejected, from its statuses: the first group with a bit
// anywhere in the list decides (validity, chain, revocation data, revocation), else 0.
ValidationResult ResultOfFailedChain(const std::vector<X509ChainStatus>& statuses);

} // namespace MHFX::Security::Cryptography::X509
