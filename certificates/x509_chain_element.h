#pragma once

#include <string>
#include <vector>

#include "certificates/x509_certificate.h"
#include "certificates/x509_chain_status.h"

namespace MHFX::Security::Cryptography::X509 {

struct X509ChainElement {
    X509Certificate Certificate;
    std::vector<X509ChainStatus> ChainElementStatus;
    std::wstring Information; // the engine's extended error text, empty when it gives none
};

} // namespace MHFX::Security::Cryptography::X509
