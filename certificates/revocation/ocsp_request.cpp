#include "certificates/revocation/ocsp_request.h"

#include "foundation/der.h"
#include "foundation/handle.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

// id-pkix-ocsp-nonce, 1.3.6.1.5.5.7.48.1.2
const BYTE kOidNonce[] = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x30, 0x01, 0x02};

std::vector<BYTE> RandomBytes(size_t count) {
    std::vector<BYTE> bytes(count);
    CryptProvHandle provider;
    if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT) ||
        !::CryptGenRandom(provider.get(), static_cast<DWORD>(count), bytes.data())) {
        throw MHFX::Win32Exception(::GetLastError());
    }
    return bytes;
}

std::vector<BYTE> Wrap(BYTE tag, const std::vector<BYTE>& content) {
    std::vector<BYTE> out;
    Der::AppendElement(out, tag, content);
    return out;
}

} // namespace

OcspRequest OcspRequest::For(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
    OcspRequest request;
    request.certId = OcspCertId::For(certificate, issuer);
    if (request.certId.issuerNameHash.empty() || request.certId.issuerKeyHash.empty() ||
        request.certId.serial.empty()) {
        throw MHFX::Win32Exception(::GetLastError());
    }
    request.nonce = RandomBytes(32);

    // Extension { extnID, extnValue OCTET STRING { Nonce OCTET STRING } }
    std::vector<BYTE> extension;
    Der::AppendElement(extension, Der::kOid, kOidNonce, sizeof(kOidNonce));
    Der::AppendElement(extension, Der::kOctetString, Wrap(Der::kOctetString, request.nonce));
    const std::vector<BYTE> extensions =
        Wrap(Der::Context(2), Wrap(Der::kSequence, Wrap(Der::kSequence, extension)));

    // TBSRequest { requestList SEQUENCE OF Request { reqCert }, [2] requestExtensions }
    std::vector<BYTE> tbs = Wrap(Der::kSequence, Wrap(Der::kSequence, request.certId.Encode()));
    tbs.insert(tbs.end(), extensions.begin(), extensions.end());
    request.encoded = Wrap(Der::kSequence, Wrap(Der::kSequence, tbs));
    return request;
}

} // namespace MHFX::Security::Cryptography::X509
