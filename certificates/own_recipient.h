// The user's own certificate to encrypt for, when the user asks to open what they send: the
// signing certificate when its key usage allows key encipherment, else an encryption
// certificate of "My" with its private key at hand.
#pragma once

#include "certificates/x509_certificate.h"

namespace MHFX::Security::Cryptography::X509 {

// `signer` is uninitialized when nothing is signed. Of several in "My", one with the signer's
// subject wins, then the one valid longest. Uninitialized when there is none. Never throws.
X509Certificate FindOwnRecipient(const X509Certificate& signer) noexcept;

} // namespace MHFX::Security::Cryptography::X509
