// The signed attributes of a new signature: content type, message digest, the signing time
// and the ESS signing-certificate-v2 attribute (RFC 5035), which binds the signer's
// certificate into what is signed so that no other certificate with the same key can be put
// in its place.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

namespace Dossiq::Documents {

// id-aa-signingCertificateV2.
constexpr char kSigningCertificateV2Oid[] = "1.2.840.113549.1.9.16.2.47";

// SigningCertificateV2 naming `certificate` by its SHA-256 hash: one ESSCertIDv2 with the
// default hash algorithm left out, as DER requires, and no issuerSerial.
std::vector<BYTE> EncodeSigningCertificateV2(PCCERT_CONTEXT certificate);

class SignedAttributes {
public:
    // The attributes for `signer`, signed now. Throws Win32Exception when one cannot be
    // encoded.
    explicit SignedAttributes(PCCERT_CONTEXT signer);

    // The SET OF Attribute that the signature covers (DER, so sorted), for content of
    // digest `contentDigest`; a SignerInfo carries it under the [0] tag instead.
    std::vector<BYTE> Encode(const std::vector<BYTE>& contentDigest) const;

private:
    std::vector<BYTE> signingTime_;
    std::vector<BYTE> signingCertificate_;
};

} // namespace Dossiq::Documents
