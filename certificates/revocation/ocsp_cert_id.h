// The CertID by which OCSP names a certificate (RFC 6960 section 4.1.1): a hash of its
// issuer's name and of its issuer's public key, and its serial number as encoded in it.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

namespace MHFX::Security::Cryptography::X509 {

enum class OcspHash { Sha1, Sha256 };

struct OcspCertId {
    OcspHash hash = OcspHash::Sha1;
    std::vector<BYTE> issuerNameHash;
    std::vector<BYTE> issuerKeyHash;
    std::vector<BYTE> serial; // the INTEGER's content bytes

    // The CertID of `certificate`, issued by `issuer`; empty hashes when hashing failed.
    static OcspCertId For(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                          OcspHash hash = OcspHash::Sha1);

    // The DER SEQUENCE.
    std::vector<BYTE> Encode() const;
    bool operator==(const OcspCertId& other) const = default;
};

// `data` hashed with `hash`; empty when the platform refused.
std::vector<BYTE> OcspDigest(OcspHash hash, const BYTE* data, size_t length);
// The DER AlgorithmIdentifier content of `hash` (OID and NULL parameters).
const std::vector<BYTE>& OcspHashAlgorithm(OcspHash hash);
// The serial number's content bytes exactly as `certificate` encodes them.
std::vector<BYTE> EncodedSerial(PCCERT_CONTEXT certificate);

} // namespace MHFX::Security::Cryptography::X509
