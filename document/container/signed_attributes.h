// The signed attributes of a new signature besides content type and message digest, which
// the platform's encoder adds itself once any attribute is given: the signing time and the
// ESS signing-certificate-v2 attribute (RFC 5035), which binds the signer's certificate into
// what is signed so that no other certificate with the same key can be put in its place.
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
    SignedAttributes(const SignedAttributes&) = delete;
    SignedAttributes& operator=(const SignedAttributes&) = delete;

    DWORD Count() const noexcept { return static_cast<DWORD>(attributes_.size()); }
    // Valid while this object lives.
    PCRYPT_ATTRIBUTE Get() noexcept { return attributes_.data(); }

private:
    std::vector<BYTE> signingTime_;
    std::vector<BYTE> signingCertificate_;
    CRYPT_ATTR_BLOB values_[2] = {};
    std::vector<CRYPT_ATTRIBUTE> attributes_;
};

} // namespace Dossiq::Documents
