// Completing the chain of a signer or of a time-stamping authority whose container lacks an
// intermediate CA: the certificate is fetched from the http or https caIssuers address of
// the chain's last certificate, within a time budget. Never for certificates a container
// merely carries, and never over ldap, file or another scheme a stranger could choose.
#pragma once

#include <windows.h>

#include "certificates/x509_certificate.h"
#include "certificates/x509_chain.h"

namespace MHFX::Security::Cryptography::X509 {

// Builds `chain` for `certificate`; while it ends without a root, adds what the last
// certificate's caIssuers address serves and builds again, a few levels at most. `chain`'s
// policy must not allow downloads of its own.
void BuildFetchingIssuers(X509Chain& chain, const X509Certificate& certificate,
                          ULONGLONG budgetMs = 10000);

} // namespace MHFX::Security::Cryptography::X509
