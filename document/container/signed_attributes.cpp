#include "document/container/signed_attributes.h"

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
    : signingTime_(EncodeSigningTime()), signingCertificate_(EncodeSigningCertificateV2(signer)) {
    values_[0] = {static_cast<DWORD>(signingTime_.size()), signingTime_.data()};
    values_[1] = {static_cast<DWORD>(signingCertificate_.size()), signingCertificate_.data()};
    attributes_.push_back({const_cast<char*>(szOID_RSA_signingTime), 1, &values_[0]});
    attributes_.push_back({const_cast<char*>(kSigningCertificateV2Oid), 1, &values_[1]});
}

} // namespace Dossiq::Documents
