// One SignerInfo of a SignedData verified as it was received, through CNG: the signed
// attributes are hashed byte for byte as the sender encoded them (RFC 5652 5.4: the [0]
// IMPLICIT tag read as SET OF), the content's digest is compared with their messageDigest,
// and the signature is checked with RSA PKCS#1 v1.5, RSA-PSS or ECDSA (P-256, P-384, P-521).
// The signing-certificate attributes bind the signature to one certificate: a certificate
// other than the one they name does not verify, even when its key does.
//
// Content signatures and time-stamp tokens both go through this one class.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/container/der.h"

namespace Dossiq::Documents {

enum class SignatureStatus {
    Valid,
    Invalid,        // the signature or the content digest does not match
    SignerMismatch, // it matches, but the signed attributes name another certificate
    Unsupported,    // an algorithm this platform cannot verify; see SignatureVerdict
};

struct SignatureVerdict {
    SignatureStatus status = SignatureStatus::Invalid;
    std::string algorithm; // the OID (dotted) that is not supported
};

// Whether the signing-certificate (ESSCertID) or signing-certificate-v2 attribute names a
// certificate: by its hash and, when the attribute gives them, its issuer and serial number.
enum class CertificateBinding { Absent, Matches, Differs };

class SignatureVerifier {
public:
    // `signerInfo` is the SignerInfo's encoding as the message carries it; it must outlive
    // the verifier. Throws Win32Exception (CRYPT_E_ASN1_CORRUPT) when it does not parse.
    SignatureVerifier(const BYTE* signerInfo, size_t length);

    // The CNG name of the digest algorithm, null when it is none this platform knows.
    const wchar_t* DigestAlgorithm() const noexcept { return digest_; }
    std::string DigestAlgorithmOid() const;
    bool HasSignedAttributes() const noexcept { return signedAttributes_.begin != nullptr; }

    // The signature of `signer` over content whose digest under DigestAlgorithm() is
    // `contentDigest`. Never throws.
    SignatureVerdict Verify(PCCERT_CONTEXT signer, const std::vector<BYTE>& contentDigest) const;
    // The same, hashing `content` first.
    SignatureVerdict VerifyContent(PCCERT_CONTEXT signer, const BYTE* content, size_t length) const;

    CertificateBinding BindingOf(PCCERT_CONTEXT certificate) const;

    // The CNG name of the digest algorithm a SignedData names by `oid` (an OBJECT
    // IDENTIFIER element), null when it is none this platform knows.
    static const wchar_t* DigestAlgorithmOf(const Der::Element& oid);
    // The hash of `data` under a CNG algorithm; empty when it cannot be had.
    static std::vector<BYTE> Digest(const wchar_t* algorithm, const BYTE* data, size_t length);
    // The SignerInfo of `signerIndex` in an encoded SignedData (bare, or in its ContentInfo)
    // as it lies in `message`; false when the message is not in definite-length form.
    static bool FindSignerInfo(const BYTE* message, size_t length, DWORD signerIndex,
                               Der::Element& signerInfo);

private:
    SignatureVerdict Check(PCCERT_CONTEXT signer, const std::vector<BYTE>& contentDigest) const;
    bool SignedAttribute(const std::vector<BYTE>& oid, Der::Element& value) const;

    Der::Element digestAlgorithm_;
    const wchar_t* digest_ = nullptr;
    Der::Element signedAttributes_;
    Der::Element signatureAlgorithm_;
    Der::Element signature_;
};

} // namespace Dossiq::Documents
