#include "certificates/x509_chain_policy.h"

namespace MHFX::Security::Cryptography::X509 {

X509ChainPolicy::X509ChainPolicy() : VerificationTime(DateTime::Now()) {}

} // namespace MHFX::Security::Cryptography::X509
