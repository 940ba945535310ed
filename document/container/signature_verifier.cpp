#include "document/container/signature_verifier.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "foundation/handle.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

constexpr NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BB);
constexpr BYTE kContext1 = 0xA1;
constexpr BYTE kContext2 = 0xA2;
constexpr BYTE kContext3 = 0xA3;
constexpr BYTE kDirectoryName = 0xA4;

using Oid = std::vector<BYTE>;

const Oid kOidSha1 = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const Oid kOidSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const Oid kOidSha384 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
const Oid kOidSha512 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
const Oid kOidMd5 = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05};
const Oid kOidMd5Rsa = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x04};
const Oid kOidSha1Rsa = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x05};
const Oid kOidSha256Rsa = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0B};
const Oid kOidSha384Rsa = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0C};
const Oid kOidSha512Rsa = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0D};
const Oid kOidRsaPss = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0A};
const Oid kOidMgf1 = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x08};
const Oid kOidEcPublicKey = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
const Oid kOidEcdsaSha1 = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x01};
const Oid kOidEcdsaSha256 = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x02};
const Oid kOidEcdsaSha384 = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x03};
const Oid kOidEcdsaSha512 = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x04};
const Oid kOidP256 = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
const Oid kOidP384 = {0x2B, 0x81, 0x04, 0x00, 0x22};
const Oid kOidP521 = {0x2B, 0x81, 0x04, 0x00, 0x23};
const Oid kOidMessageDigest = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const Oid kOidSigningCertificate = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                    0x01, 0x09, 0x10, 0x02, 0x0C};
const Oid kOidSigningCertificateV2 = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                      0x01, 0x09, 0x10, 0x02, 0x2F};

[[noreturn]] void ThrowCorrupt() {
    throw MHFX::Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
}

// Digest algorithms by OID; some writers name the signature algorithm there instead.
const wchar_t* HashOf(const Der::Element& oid) {
    static const struct {
        const Oid* oid;
        const wchar_t* name;
    } hashes[] = {
        {&kOidSha256, BCRYPT_SHA256_ALGORITHM},    {&kOidSha384, BCRYPT_SHA384_ALGORITHM},
        {&kOidSha512, BCRYPT_SHA512_ALGORITHM},    {&kOidSha1, BCRYPT_SHA1_ALGORITHM},
        {&kOidMd5, BCRYPT_MD5_ALGORITHM},          {&kOidSha256Rsa, BCRYPT_SHA256_ALGORITHM},
        {&kOidSha384Rsa, BCRYPT_SHA384_ALGORITHM}, {&kOidSha512Rsa, BCRYPT_SHA512_ALGORITHM},
        {&kOidSha1Rsa, BCRYPT_SHA1_ALGORITHM},     {&kOidMd5Rsa, BCRYPT_MD5_ALGORITHM},
    };
    for (const auto& hash : hashes) {
        if (oid.IsOid(*hash.oid)) {
            return hash.name;
        }
    }
    return nullptr;
}

std::string Text(const Der::Element& oid) {
    return Der::OidText(oid.content, oid.length);
}

SignatureVerdict Unsupported(const Der::Element& oid) {
    return {SignatureStatus::Unsupported, Text(oid)};
}

// The hash an AlgorithmIdentifier names; null for another one, whose OID `unknown` receives.
const wchar_t* HashOfAlgorithm(const Der::Element& algorithm, Der::Element& unknown) {
    Der::Reader reader(algorithm);
    Der::Element oid;
    const wchar_t* hash = reader.Expect(Der::kOid, oid) ? HashOf(oid) : nullptr;
    if (hash == nullptr && oid.content != nullptr) {
        unknown = oid;
    }
    return hash;
}

// The content bytes of an INTEGER without the sign byte.
std::vector<BYTE> Magnitude(const Der::Element& integer) {
    const BYTE* p = integer.content;
    size_t n = integer.length;
    while (n > 1 && *p == 0) {
        ++p;
        --n;
    }
    return {p, p + n};
}

void Append(std::vector<BYTE>& out, const std::vector<BYTE>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The signer's public key as CNG holds it, and for EC keys the size of a coordinate.
struct PublicKey {
    bool ec = false;
    size_t coordinate = 0;
    MHFX::BCryptAlgorithmHandle algorithm;
    MHFX::BCryptKeyHandle key;
};

// Imports the key of `info`; Unsupported for a key kind or curve this platform lacks,
// Invalid for a key that does not decode.
SignatureStatus ImportKey(const CERT_PUBLIC_KEY_INFO& info, PublicKey& key, std::string& oid) {
    const std::string keyOid = info.Algorithm.pszObjId ? info.Algorithm.pszObjId : "";
    const BYTE* bits = info.PublicKey.pbData;
    const size_t bitsLength = info.PublicKey.cbData;
    std::vector<BYTE> blob;
    const wchar_t* algorithm = nullptr;
    const wchar_t* blobType = nullptr;
    if (keyOid == szOID_RSA_RSA || keyOid == "1.2.840.113549.1.1.10") {
        Der::Reader outer(bits, bitsLength);
        Der::Element sequence, modulusElement, exponentElement;
        if (!outer.Expect(Der::kSequence, sequence)) {
            return SignatureStatus::Invalid;
        }
        Der::Reader fields(sequence);
        if (!fields.Expect(Der::kInteger, modulusElement) ||
            !fields.Expect(Der::kInteger, exponentElement)) {
            return SignatureStatus::Invalid;
        }
        const std::vector<BYTE> modulus = Magnitude(modulusElement);
        const std::vector<BYTE> exponent = Magnitude(exponentElement);
        BCRYPT_RSAKEY_BLOB header = {};
        header.Magic = BCRYPT_RSAPUBLIC_MAGIC;
        header.BitLength = static_cast<ULONG>(modulus.size() * 8);
        header.cbPublicExp = static_cast<ULONG>(exponent.size());
        header.cbModulus = static_cast<ULONG>(modulus.size());
        const auto* raw = reinterpret_cast<const BYTE*>(&header);
        blob.assign(raw, raw + sizeof header);
        Append(blob, exponent);
        Append(blob, modulus);
        algorithm = BCRYPT_RSA_ALGORITHM;
        blobType = BCRYPT_RSAPUBLIC_BLOB;
    } else if (keyOid == szOID_ECC_PUBLIC_KEY) {
        Der::Reader parameters(info.Algorithm.Parameters.pbData, info.Algorithm.Parameters.cbData);
        Der::Element curve;
        if (!parameters.Expect(Der::kOid, curve)) {
            oid = keyOid;
            return SignatureStatus::Unsupported; // explicit curve parameters
        }
        ULONG magic = 0;
        if (curve.IsOid(kOidP256)) {
            algorithm = BCRYPT_ECDSA_P256_ALGORITHM;
            magic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
            key.coordinate = 32;
        } else if (curve.IsOid(kOidP384)) {
            algorithm = BCRYPT_ECDSA_P384_ALGORITHM;
            magic = BCRYPT_ECDSA_PUBLIC_P384_MAGIC;
            key.coordinate = 48;
        } else if (curve.IsOid(kOidP521)) {
            algorithm = BCRYPT_ECDSA_P521_ALGORITHM;
            magic = BCRYPT_ECDSA_PUBLIC_P521_MAGIC;
            key.coordinate = 66;
        } else {
            oid = Text(curve);
            return SignatureStatus::Unsupported;
        }
        // Uncompressed points only, as certificates carry them.
        if (bitsLength != 1 + 2 * key.coordinate || bits[0] != 0x04) {
            oid = Text(curve);
            return SignatureStatus::Unsupported;
        }
        BCRYPT_ECCKEY_BLOB header = {magic, static_cast<ULONG>(key.coordinate)};
        const auto* raw = reinterpret_cast<const BYTE*>(&header);
        blob.assign(raw, raw + sizeof header);
        blob.insert(blob.end(), bits + 1, bits + bitsLength);
        blobType = BCRYPT_ECCPUBLIC_BLOB;
        key.ec = true;
        oid = Text(curve);
    } else {
        oid = keyOid;
        return SignatureStatus::Unsupported;
    }
    if (::BCryptOpenAlgorithmProvider(key.algorithm.put(), algorithm, nullptr, 0) != 0) {
        if (oid.empty()) {
            oid = keyOid;
        }
        return SignatureStatus::Unsupported;
    }
    if (::BCryptImportKeyPair(key.algorithm.get(), nullptr, blobType, key.key.put(), blob.data(),
                              static_cast<ULONG>(blob.size()), 0) != 0) {
        return SignatureStatus::Invalid;
    }
    return SignatureStatus::Valid;
}

// DER Ecdsa-Sig-Value as CNG takes it: r and s, each as long as a coordinate.
bool EcdsaSignature(const Der::Element& signature, size_t coordinate, std::vector<BYTE>& out) {
    Der::Reader outer(signature);
    Der::Element sequence, r, s;
    if (!outer.Expect(Der::kSequence, sequence) || !outer.AtEnd()) {
        return false;
    }
    Der::Reader fields(sequence);
    if (!fields.Expect(Der::kInteger, r) || !fields.Expect(Der::kInteger, s) || !fields.AtEnd()) {
        return false;
    }
    out.clear();
    for (const Der::Element* integer : {&r, &s}) {
        const std::vector<BYTE> value = Magnitude(*integer);
        if (value.size() > coordinate) {
            return false;
        }
        out.insert(out.end(), coordinate - value.size(), 0);
        Append(out, value);
    }
    return true;
}

// RSASSA-PSS-params (RFC 4055): the hash, MGF1 over the same hash (the only mask CNG
// knows), the salt length and the trailer 0xBC. False for anything else.
bool ReadPssParameters(Der::Reader& afterOid, const wchar_t*& hash, ULONG& salt,
                       Der::Element& unsupported) {
    hash = BCRYPT_SHA1_ALGORITHM;
    const wchar_t* maskHash = BCRYPT_SHA1_ALGORITHM;
    salt = 20;
    Der::Element parameters, field, inner;
    if (!afterOid.Expect(Der::kSequence, parameters)) {
        return false;
    }
    Der::Reader fields(parameters);
    while (fields.Next(field)) {
        Der::Reader fieldReader(field);
        if (field.Is(Der::kContext0)) {
            if (!fieldReader.Expect(Der::kSequence, inner) ||
                (hash = HashOfAlgorithm(inner, unsupported)) == nullptr) {
                return false;
            }
        } else if (field.Is(kContext1)) {
            Der::Element mask, maskOid;
            if (!fieldReader.Expect(Der::kSequence, mask)) {
                return false;
            }
            Der::Reader maskReader(mask);
            if (!maskReader.Expect(Der::kOid, maskOid) || !maskOid.IsOid(kOidMgf1)) {
                unsupported = maskOid;
                return false;
            }
            if (!maskReader.Expect(Der::kSequence, inner) ||
                (maskHash = HashOfAlgorithm(inner, unsupported)) == nullptr) {
                return false;
            }
        } else if (field.Is(kContext2)) {
            Der::Element integer;
            if (!fieldReader.Expect(Der::kInteger, integer) || integer.length > 2) {
                return false;
            }
            salt = 0;
            for (size_t i = 0; i < integer.length; ++i) {
                salt = (salt << 8) | integer.content[i];
            }
        } else if (field.Is(kContext3)) {
            Der::Element integer;
            if (!fieldReader.Expect(Der::kInteger, integer) || integer.length != 1 ||
                integer.content[0] != 1) {
                return false;
            }
        } else {
            return false;
        }
    }
    return !fields.Failed() && std::wcscmp(hash, maskHash) == 0;
}

bool IsAnyOf(const Der::Element& oid, std::initializer_list<const Oid*> oids) {
    return std::any_of(oids.begin(), oids.end(), [&](const Oid* o) { return oid.IsOid(*o); });
}

} // namespace

SignatureVerifier::SignatureVerifier(const BYTE* signerInfo, size_t length) {
    Der::Reader outer(signerInfo, length);
    Der::Element info, version, id, element;
    if (!outer.Expect(Der::kSequence, info)) {
        ThrowCorrupt();
    }
    Der::Reader reader(info);
    if (!reader.Expect(Der::kInteger, version) || !reader.Next(id) ||
        !reader.Expect(Der::kSequence, digestAlgorithm_) || !reader.Next(element)) {
        ThrowCorrupt();
    }
    if (element.Is(Der::kContext0)) {
        signedAttributes_ = element;
        if (!reader.Next(element)) {
            ThrowCorrupt();
        }
    }
    signatureAlgorithm_ = element;
    if (!signatureAlgorithm_.Is(Der::kSequence) || !reader.Expect(Der::kOctetString, signature_)) {
        ThrowCorrupt();
    }
    Der::Element oid;
    digest_ = HashOfAlgorithm(digestAlgorithm_, oid);
}

std::string SignatureVerifier::DigestAlgorithmOid() const {
    Der::Reader reader(digestAlgorithm_);
    Der::Element oid;
    return reader.Expect(Der::kOid, oid) ? Text(oid) : std::string();
}

bool SignatureVerifier::SignedAttribute(const std::vector<BYTE>& oid, Der::Element& value) const {
    if (!HasSignedAttributes()) {
        return false;
    }
    Der::Reader attributes(signedAttributes_);
    Der::Element attribute;
    while (attributes.Next(attribute)) {
        Der::Reader fields(attribute);
        Der::Element type, values;
        if (attribute.Is(Der::kSequence) && fields.Expect(Der::kOid, type) && type.IsOid(oid) &&
            fields.Expect(Der::kSet, values)) {
            Der::Reader valueReader(values);
            return valueReader.Next(value) && valueReader.AtEnd();
        }
    }
    return false;
}

const wchar_t* SignatureVerifier::DigestAlgorithmOf(const Der::Element& oid) {
    return HashOf(oid);
}

std::vector<BYTE> SignatureVerifier::Digest(const wchar_t* algorithm, const BYTE* data,
                                            size_t length) {
    MHFX::BCryptAlgorithmHandle provider;
    if (algorithm == nullptr ||
        ::BCryptOpenAlgorithmProvider(provider.put(), algorithm, nullptr, 0) != 0) {
        return {};
    }
    DWORD size = 0;
    ULONG got = 0;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (::BCryptGetProperty(provider.get(), BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&size),
                            sizeof size, &got, 0) != 0 ||
        ::BCryptCreateHash(provider.get(), &hash, nullptr, 0, nullptr, 0, 0) != 0) {
        return {};
    }
    std::vector<BYTE> value(size);
    bool done = true;
    // CNG hashes at most 4 GiB a call.
    for (size_t offset = 0; done && offset < length;) {
        const ULONG slice = static_cast<ULONG>(std::min<size_t>(length - offset, 0x40000000));
        done = ::BCryptHashData(hash, const_cast<PUCHAR>(data + offset), slice, 0) == 0;
        offset += slice;
    }
    done = done && ::BCryptFinishHash(hash, value.data(), size, 0) == 0;
    ::BCryptDestroyHash(hash);
    return done ? value : std::vector<BYTE>();
}

SignatureVerdict SignatureVerifier::VerifyContent(PCCERT_CONTEXT signer, const BYTE* content,
                                                  size_t length) const {
    if (digest_ == nullptr) {
        return Verify(signer, {});
    }
    return Verify(signer, Digest(digest_, content, length));
}

SignatureVerdict SignatureVerifier::Verify(PCCERT_CONTEXT signer,
                                           const std::vector<BYTE>& contentDigest) const {
    try {
        SignatureVerdict verdict = Check(signer, contentDigest);
        if (verdict.status == SignatureStatus::Valid &&
            BindingOf(signer) == CertificateBinding::Differs) {
            verdict.status = SignatureStatus::SignerMismatch;
        }
        return verdict;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

SignatureVerdict SignatureVerifier::Check(PCCERT_CONTEXT signer,
                                          const std::vector<BYTE>& contentDigest) const {
    if (digest_ == nullptr) {
        Der::Reader reader(digestAlgorithm_);
        Der::Element oid;
        reader.Next(oid);
        return Unsupported(oid);
    }
    if (signer == nullptr || contentDigest.empty()) {
        return {};
    }
    // With signed attributes the signature covers them, and the content only through the
    // digest they state.
    std::vector<BYTE> signedHash = contentDigest;
    if (HasSignedAttributes()) {
        Der::Element value;
        if (!SignedAttribute(kOidMessageDigest, value) || !value.Is(Der::kOctetString) ||
            std::vector<BYTE>(value.content, value.content + value.length) != contentDigest) {
            return {};
        }
        std::vector<BYTE> encoded(signedAttributes_.begin,
                                  signedAttributes_.begin + signedAttributes_.size);
        encoded[0] = Der::kSet;
        signedHash = Digest(digest_, encoded.data(), encoded.size());
    }

    Der::Reader algorithmReader(signatureAlgorithm_);
    Der::Element oid;
    if (!algorithmReader.Expect(Der::kOid, oid)) {
        return {};
    }
    const bool pkcs1 = IsAnyOf(oid, {&Der::kOidRsaEncryption, &kOidSha1Rsa, &kOidSha256Rsa,
                                     &kOidSha384Rsa, &kOidSha512Rsa, &kOidMd5Rsa});
    const bool pss = oid.IsOid(kOidRsaPss);
    const bool ecdsa = IsAnyOf(oid, {&kOidEcPublicKey, &kOidEcdsaSha1, &kOidEcdsaSha256,
                                     &kOidEcdsaSha384, &kOidEcdsaSha512});
    if (!pkcs1 && !pss && !ecdsa) {
        return Unsupported(oid);
    }
    BCRYPT_PKCS1_PADDING_INFO pkcs1Padding = {digest_};
    BCRYPT_PSS_PADDING_INFO pssPadding = {digest_, 0};
    if (pss) {
        Der::Element unsupported = oid;
        const wchar_t* hash = nullptr;
        // The hash of the signed bytes is the digest algorithm's: another one in the
        // parameters is a form this verifier does not handle.
        if (!ReadPssParameters(algorithmReader, hash, pssPadding.cbSalt, unsupported) ||
            std::wcscmp(hash, digest_) != 0) {
            return Unsupported(unsupported);
        }
    }

    PublicKey key;
    std::string keyOid;
    const SignatureStatus imported =
        ImportKey(signer->pCertInfo->SubjectPublicKeyInfo, key, keyOid);
    if (imported == SignatureStatus::Unsupported) {
        return {SignatureStatus::Unsupported, keyOid};
    }
    // A key of another kind than the signature's cannot have made it.
    if (imported != SignatureStatus::Valid || key.ec != ecdsa) {
        return {};
    }
    std::vector<BYTE> signature(signature_.content, signature_.content + signature_.length);
    void* padding = nullptr;
    ULONG flags = 0;
    if (ecdsa) {
        if (!EcdsaSignature(signature_, key.coordinate, signature)) {
            return {};
        }
    } else if (pss) {
        padding = &pssPadding;
        flags = BCRYPT_PAD_PSS;
    } else {
        padding = &pkcs1Padding;
        flags = BCRYPT_PAD_PKCS1;
    }
    const NTSTATUS status = ::BCryptVerifySignature(
        key.key.get(), padding, signedHash.data(), static_cast<ULONG>(signedHash.size()),
        signature.data(), static_cast<ULONG>(signature.size()), flags);
    if (status == kNotSupported) {
        return Unsupported(oid);
    }
    return {status == 0 ? SignatureStatus::Valid : SignatureStatus::Invalid, {}};
}

CertificateBinding SignatureVerifier::BindingOf(PCCERT_CONTEXT certificate) const {
    Der::Element value;
    const bool v2 = SignedAttribute(kOidSigningCertificateV2, value);
    if (!v2 && !SignedAttribute(kOidSigningCertificate, value)) {
        return CertificateBinding::Absent;
    }
    // The first ESSCertID names the signer's own certificate; later ones its issuers.
    Der::Element certs, first, field;
    if (!value.Is(Der::kSequence)) {
        return CertificateBinding::Differs;
    }
    Der::Reader values(value);
    if (!values.Expect(Der::kSequence, certs)) {
        return CertificateBinding::Differs;
    }
    Der::Reader ids(certs);
    if (!ids.Expect(Der::kSequence, first)) {
        return CertificateBinding::Differs;
    }
    Der::Reader id(first);
    const wchar_t* hash = v2 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_SHA1_ALGORITHM;
    if (!id.Next(field)) {
        return CertificateBinding::Differs;
    }
    if (v2 && field.Is(Der::kSequence)) {
        Der::Element oid;
        hash = HashOfAlgorithm(field, oid);
        if (hash == nullptr || !id.Next(field)) {
            return CertificateBinding::Differs;
        }
    }
    if (!field.Is(Der::kOctetString) ||
        std::vector<BYTE>(field.content, field.content + field.length) !=
            Digest(hash, certificate->pbCertEncoded, certificate->cbCertEncoded)) {
        return CertificateBinding::Differs;
    }
    Der::Element issuerSerial;
    if (!id.Next(issuerSerial)) {
        return CertificateBinding::Matches;
    }
    // IssuerSerial: the issuer as a directoryName among GeneralNames, and the serial.
    Der::Reader issuerSerialReader(issuerSerial);
    Der::Element names, name, serial;
    if (!issuerSerial.Is(Der::kSequence) || !issuerSerialReader.Expect(Der::kSequence, names) ||
        !issuerSerialReader.Expect(Der::kInteger, serial)) {
        return CertificateBinding::Differs;
    }
    std::vector<BYTE> serialBytes(serial.content, serial.content + serial.length);
    std::reverse(serialBytes.begin(), serialBytes.end());
    CRYPT_INTEGER_BLOB serialBlob = {static_cast<DWORD>(serialBytes.size()), serialBytes.data()};
    if (!::CertCompareIntegerBlob(&serialBlob, &certificate->pCertInfo->SerialNumber)) {
        return CertificateBinding::Differs;
    }
    Der::Reader nameReader(names);
    while (nameReader.Next(name)) {
        Der::Reader directory(name);
        Der::Element issuer;
        if (name.Is(kDirectoryName) && directory.Expect(Der::kSequence, issuer)) {
            CERT_NAME_BLOB blob = {static_cast<DWORD>(issuer.size),
                                   const_cast<BYTE*>(issuer.begin)};
            return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Issuer,
                                                &blob)
                       ? CertificateBinding::Matches
                       : CertificateBinding::Differs;
        }
    }
    return CertificateBinding::Differs;
}

bool SignatureVerifier::FindSignerInfo(const BYTE* message, size_t length, DWORD signerIndex,
                                       Der::Element& signerInfo) {
    Der::Reader top(message, length);
    Der::Element outer, first, signedData;
    if (!top.Expect(Der::kSequence, outer)) {
        return false;
    }
    Der::Reader outerReader(outer);
    if (!outerReader.Next(first)) {
        return false;
    }
    if (first.Is(Der::kOid)) {
        Der::Element wrapper;
        if (!first.IsOid(Der::kOidSignedData) || !outerReader.Expect(Der::kContext0, wrapper)) {
            return false;
        }
        Der::Reader wrapperReader(wrapper);
        if (!wrapperReader.Expect(Der::kSequence, signedData)) {
            return false;
        }
    } else {
        signedData = outer;
    }
    Der::Reader body(signedData);
    Der::Element element;
    while (body.Next(element)) {
        if (element.Is(Der::kSet) && body.AtEnd()) { // signerInfos come last
            Der::Reader signers(element);
            for (DWORD i = 0; signers.Next(signerInfo); ++i) {
                if (i == signerIndex) {
                    return true;
                }
            }
            return false;
        }
    }
    return false;
}

} // namespace Dossiq::Documents
