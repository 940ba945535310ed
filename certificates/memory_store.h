#pragma once

#include "certificates/x509_certificate_collection.h"
#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

// A temporary in-memory store holding links to the certificates of `certificates`, in
// order (extra certificates for chain building).
CertStoreHandle CreateMemoryStore(const X509CertificateCollection& certificates);

} // namespace MHFX::Security::Cryptography::X509
