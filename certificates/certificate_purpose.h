// Which certificates are offered for a purpose: signing takes a qualified certificate with
// its private key, encrypting one with key encipherment. A certificate a test cannot even
// read (an undecodable extension) is not fit, and never an error: it must not keep the user
// from the others.
#pragma once

#include "certificates/x509_certificate.h"

namespace MHFX::Security::Cryptography::X509 {

bool IsSigningCandidate(const X509Certificate& certificate);
// The private key at hand; false as well when that cannot be told.
bool HasKeyAtHand(const X509Certificate& certificate);
bool IsRecipientCandidate(const X509Certificate& certificate);

} // namespace MHFX::Security::Cryptography::X509
