#include "certificates/own_recipient.h"

#include "certificates/certificate_purpose.h"
#include "certificates/store_name.h"
#include "certificates/x509_store.h"
#include "foundation/exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

bool SameSubject(const X509Certificate& a, const X509Certificate& b) {
    return a.IsInitialized() && b.IsInitialized() &&
           ::CertCompareCertificateName(X509_ASN_ENCODING, &a.Handle()->pCertInfo->Subject,
                                        &b.Handle()->pCertInfo->Subject);
}

// Whether `candidate` is a better choice than `best`.
bool Better(const X509Certificate& candidate, const X509Certificate& best,
            const X509Certificate& signer) {
    if (!best.IsInitialized()) {
        return true;
    }
    const bool mine = SameSubject(candidate, signer);
    if (mine != SameSubject(best, signer)) {
        return mine;
    }
    return ::CompareFileTime(&candidate.Handle()->pCertInfo->NotAfter,
                             &best.Handle()->pCertInfo->NotAfter) > 0;
}

} // namespace

X509Certificate FindOwnRecipient(const X509Certificate& signer) noexcept {
    if (signer.IsInitialized() && IsRecipientCandidate(signer)) {
        return signer;
    }
    X509Certificate best;
    try {
        X509Store store(StoreName::My, CERT_SYSTEM_STORE_CURRENT_USER);
        store.Open(CERT_STORE_READONLY_FLAG);
        for (const X509Certificate& certificate : store.Certificates()) {
            if (IsRecipientCandidate(certificate) && HasKeyAtHand(certificate) &&
                Better(certificate, best, signer)) {
                best = certificate;
            }
        }
        store.Close();
    } catch (const MHFX::Exception&) {
        // A user without a "My" store has no certificate of their own.
    }
    return best;
}

} // namespace MHFX::Security::Cryptography::X509
