#include "certificates/revocation/ocsp_cert_id.h"

#include "foundation/der.h"
#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

const std::vector<BYTE>& OcspHashAlgorithm(OcspHash hash) {
    // SEQUENCE { OID, NULL }: 1.3.14.3.2.26 and 2.16.840.1.101.3.4.2.1.
    static const std::vector<BYTE> sha1 = {0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                                           0x03, 0x02, 0x1A, 0x05, 0x00};
    static const std::vector<BYTE> sha256 = {0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                             0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00};
    return hash == OcspHash::Sha1 ? sha1 : sha256;
}

std::vector<BYTE> OcspDigest(OcspHash hash, const BYTE* data, size_t length) {
    // The AES provider is the one that also knows SHA-256.
    CryptProvHandle provider;
    CryptHashHandle hasher;
    if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT) ||
        !::CryptCreateHash(provider.get(), hash == OcspHash::Sha1 ? CALG_SHA1 : CALG_SHA_256, 0, 0,
                           hasher.put()) ||
        !::CryptHashData(hasher.get(), data, static_cast<DWORD>(length), 0)) {
        return {};
    }
    std::vector<BYTE> digest(32);
    DWORD size = static_cast<DWORD>(digest.size());
    if (!::CryptGetHashParam(hasher.get(), HP_HASHVAL, digest.data(), &size, 0)) {
        return {};
    }
    digest.resize(size);
    return digest;
}

std::vector<BYTE> EncodedSerial(PCCERT_CONTEXT certificate) {
    // Certificate { TBSCertificate { [0] version OPTIONAL, serialNumber, ... }, ... }
    Der::Reader outer(certificate->pbCertEncoded, certificate->cbCertEncoded);
    Der::Element cert, tbs, field;
    if (!outer.Expect(Der::kSequence, cert)) {
        return {};
    }
    Der::Reader inCert(cert);
    if (!inCert.Expect(Der::kSequence, tbs)) {
        return {};
    }
    Der::Reader inTbs(tbs);
    if (!inTbs.Next(field)) {
        return {};
    }
    if (field.Is(Der::kContext0) && !inTbs.Next(field)) {
        return {};
    }
    if (!field.Is(Der::kInteger)) {
        return {};
    }
    return std::vector<BYTE>(field.content, field.content + field.length);
}

OcspCertId OcspCertId::For(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer, OcspHash hash) {
    OcspCertId id;
    id.hash = hash;
    // The name as the checked certificate encodes it; the key is the BIT STRING's value.
    const CERT_NAME_BLOB& name = certificate->pCertInfo->Issuer;
    const CRYPT_BIT_BLOB& key = issuer->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    id.issuerNameHash = OcspDigest(hash, name.pbData, name.cbData);
    id.issuerKeyHash = OcspDigest(hash, key.pbData, key.cbData);
    id.serial = EncodedSerial(certificate);
    return id;
}

std::vector<BYTE> OcspCertId::Encode() const {
    std::vector<BYTE> content = OcspHashAlgorithm(hash);
    Der::AppendElement(content, Der::kOctetString, issuerNameHash);
    Der::AppendElement(content, Der::kOctetString, issuerKeyHash);
    Der::AppendElement(content, Der::kInteger, serial);
    std::vector<BYTE> out;
    Der::AppendElement(out, Der::kSequence, content);
    return out;
}

} // namespace MHFX::Security::Cryptography::X509
