#include "document/container/signed_attributes.h"

#include <utility>

#include "document/container/der.h"
#include "document/timestamp/timestamp_token.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

std::vector<BYTE> EncodeSigningTime() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    DWORD length = 0;
    MHFX::ThrowLastErrorIf(!::CryptEncodeObjectEx(X509_ASN_ENCODING, szOID_RSA_signingTime, &now, 0,
                                                  nullptr, nullptr, &length));
    std::vector<BYTE> encoded(length);
    MHFX::ThrowLastErrorIf(!::CryptEncodeObjectEx(X509_ASN_ENCODING, szOID_RSA_signingTime, &now, 0,
                                                  nullptr, encoded.data(), &length));
    encoded.resize(length);
    return encoded;
}

} // namespace

std::vector<BYTE> EncodeSigningCertificateV2(PCCERT_CONTEXT certificate) {
    const std::vector<BYTE> hash = Sha256(certificate->pbCertEncoded, certificate->cbCertEncoded);
    std::vector<BYTE> certHash;
    Der::AppendElement(certHash, Der::kOctetString, hash);
    std::vector<BYTE> essCertIdV2;
    Der::AppendElement(essCertIdV2, Der::kSequence, certHash);
    std::vector<BYTE> certs; // SEQUENCE OF ESSCertIDv2
    Der::AppendElement(certs, Der::kSequence, essCertIdV2);
    std::vector<BYTE> signingCertificate;
    Der::AppendElement(signingCertificate, Der::kSequence, certs);
    return signingCertificate;
}

SignedAttributes::SignedAttributes(PCCERT_CONTEXT signer)
    : signingTime_(EncodeSigningTime()), signingCertificate_(EncodeSigningCertificateV2(signer)) {}

std::vector<BYTE> SignedAttributes::Encode(const std::vector<BYTE>& contentDigest) const {
    std::vector<BYTE> digest;
    Der::AppendElement(digest, Der::kOctetString, contentDigest);
    std::vector<BYTE> contentType;
    Der::AppendElement(contentType, Der::kOid, Der::kOidData);
    const std::pair<const char*, const std::vector<BYTE>*> values[] = {
        {szOID_RSA_contentType, &contentType},
        {szOID_RSA_messageDigest, &digest},
        {szOID_RSA_signingTime, &signingTime_},
        {kSigningCertificateV2Oid, &signingCertificate_},
    };
    std::vector<std::vector<BYTE>> attributes;
    for (const auto& [oid, value] : values) {
        std::vector<BYTE> fields;
        Der::AppendElement(fields, Der::kOid, Der::OidContent(oid));
        Der::AppendElement(fields, Der::kSet, *value);
        attributes.emplace_back();
        Der::AppendElement(attributes.back(), Der::kSequence, fields);
    }
    std::vector<BYTE> set;
    Der::AppendSortedSet(set, Der::kSet, std::move(attributes));
    return set;
}

} // namespace Dossiq::Documents
