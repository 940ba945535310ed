// Whether a certificate is fit to encrypt a document for: it must be meant for key
// encipherment, and it is checked like a signer's (validity, chain to a trusted root,
// revocation) so that no one is sent a document they cannot or should not open.
#pragma once

#include "certificates/x509_certificate.h"

namespace MHFX::Security::Cryptography::X509 {

enum class RecipientVerdict {
    Fit,
    NoKeyEncipherment, // refused
    NotTimeValid,      // the rest: warned about
    Untrusted,
    Revoked,
    ChainInvalid,
};

// May block while revocation data is fetched. Revocation data out of reach is no reason to
// warn: the certificate may well be good, and offline users would be warned every time.
RecipientVerdict CheckRecipientCertificate(const X509Certificate& certificate);

} // namespace MHFX::Security::Cryptography::X509
