#include "document/container/countersignature.h"

#include <cstring>

#include "certificates/decode_object.h"
#include "foundation/exception.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

Countersignature Verify(const CRYPT_ATTR_BLOB& value, const CRYPT_DATA_BLOB& signed_,
                        HCERTSTORE certificates) {
    Countersignature counter;
    try {
        const auto decoded = MHFX::Security::Cryptography::X509::DecodeObject(
            CMS_SIGNER_INFO, value.pbData, value.cbData);
        const auto* info = static_cast<const CMSG_CMS_SIGNER_INFO*>(decoded.get());
        counter.signatureValue.assign(info->EncryptedHash.pbData,
                                      info->EncryptedHash.pbData + info->EncryptedHash.cbData);
        counter.signer.reset(::CertFindCertificateInStore(
            certificates, kEncoding, 0, CERT_FIND_CERT_ID, &info->SignerId, nullptr));
        if (!counter.signer) {
            return counter;
        }
        const SignatureVerifier verifier(value.pbData, value.cbData);
        // A countersignature without signed attributes would sign the bare value, which no
        // writer does; the digest of the value is what it must vouch for.
        if (!verifier.HasSignedAttributes()) {
            return counter;
        }
        const SignatureVerdict verdict =
            verifier.VerifyContent(counter.signer.get(), signed_.pbData, signed_.cbData);
        counter.status = verdict.status;
        counter.unsupportedAlgorithm = verdict.algorithm;
    } catch (const MHFX::Exception&) {
        counter.status = SignatureStatus::Invalid;
    } catch (const std::exception&) {
        counter.status = SignatureStatus::Invalid;
    }
    return counter;
}

} // namespace

std::vector<Countersignature> ReadCountersignatures(const CMSG_SIGNER_INFO& info,
                                                    HCERTSTORE certificates) {
    std::vector<Countersignature> found;
    for (DWORD i = 0; i < info.UnauthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = info.UnauthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, kCountersignatureOid) != 0) {
            continue;
        }
        for (DWORD v = 0; v < attribute.cValue; ++v) {
            found.push_back(Verify(attribute.rgValue[v], info.EncryptedHash, certificates));
        }
    }
    return found;
}

} // namespace Dossiq::Documents
