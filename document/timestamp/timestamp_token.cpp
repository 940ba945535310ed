#include "document/timestamp/timestamp_token.h"

#include <cstring>

#include "document/container/der.h"
#include "document/container/signature_verifier.h"
#include "foundation/win32_exception.h"
#include "document/timestamp/tst_info.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr BYTE kBoolean = 0x01;
const std::vector<BYTE> kOidSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};

[[noreturn]] void Fail(TimestampProblem problem, DWORD code = 0) {
    throw TimestampError(problem, code);
}

void Need(bool ok, TimestampProblem problem = TimestampProblem::Malformed) {
    if (!ok) {
        Fail(problem, ::GetLastError());
    }
}

std::vector<BYTE> Hash(ALG_ID algorithm, const BYTE* data, size_t length) {
    MHFX::CryptProvHandle provider;
    MHFX::CryptHashHandle hash;
    Need(::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT) &&
         ::CryptCreateHash(provider.get(), algorithm, 0, 0, hash.put()) &&
         ::CryptHashData(hash.get(), data, static_cast<DWORD>(length), 0));
    DWORD size = 0;
    DWORD sizeLength = sizeof(size);
    Need(::CryptGetHashParam(hash.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeLength,
                             0));
    std::vector<BYTE> value(size);
    Need(::CryptGetHashParam(hash.get(), HP_HASHVAL, value.data(), &size, 0));
    return value;
}

// RFC 3161 2.3: the only extended key usage, and critical.
bool IsTimestampingOnly(PCCERT_CONTEXT certificate) {
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        ::CertFindExtension(szOID_ENHANCED_KEY_USAGE, info.cExtension, info.rgExtension);
    if (!extension || !extension->fCritical) {
        return false;
    }
    BYTE buffer[512];
    DWORD length = sizeof(buffer);
    auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer);
    return ::CryptDecodeObject(kEncoding, X509_ENHANCED_KEY_USAGE, extension->Value.pbData,
                               extension->Value.cbData, 0, usage, &length) &&
           usage->cUsageIdentifier == 1 &&
           std::strcmp(usage->rgpszUsageIdentifier[0], szOID_PKIX_KP_TIMESTAMP_SIGNING) == 0;
}

bool IsWeakHash(const char* oid) {
    static const char* const weak[] = {szOID_OIWSEC_sha1,       szOID_RSA_MD5,     szOID_RSA_MD4,
                                       szOID_RSA_MD2,           szOID_RSA_SHA1RSA, szOID_RSA_MD5RSA,
                                       szOID_OIWSEC_sha1RSASign};
    for (const char* name : weak) {
        if (oid && std::strcmp(oid, name) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

const std::vector<BYTE> kOidTimestampTokenAttribute = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                                       0x01, 0x09, 0x10, 0x02, 0x0E};

const wchar_t* TimestampProblemName(TimestampProblem problem) {
    switch (problem) {
    case TimestampProblem::None:
        return L"";
    case TimestampProblem::Unreachable:
        return L"unreachable";
    case TimestampProblem::Refused:
        return L"refused";
    case TimestampProblem::Malformed:
        return L"malformed";
    case TimestampProblem::SignatureInvalid:
        return L"signatureInvalid";
    case TimestampProblem::ImprintMismatch:
        return L"imprintMismatch";
    case TimestampProblem::NonceMismatch:
        return L"nonceMismatch";
    case TimestampProblem::NotTimestampAuthority:
        return L"notTimestampAuthority";
    case TimestampProblem::UntrustedAuthority:
        return L"untrustedAuthority";
    case TimestampProblem::WeakAlgorithm:
        return L"weakAlgorithm";
    case TimestampProblem::CertificateMismatch:
        return L"certificateMismatch";
    case TimestampProblem::AuthorityRevoked:
        return L"authorityRevoked";
    case TimestampProblem::AuthorityStatusUnknown:
        return L"authorityStatusUnknown";
    case TimestampProblem::FutureTime:
        return L"futureTime";
    case TimestampProblem::UnsupportedImprint:
        return L"unsupportedImprint";
    case TimestampProblem::UnsupportedAlgorithm:
        return L"unsupportedAlgorithm";
    }
    return L"malformed";
}

std::vector<BYTE> Sha256(const BYTE* data, size_t length) {
    return Hash(CALG_SHA_256, data, length);
}

std::vector<BYTE> NewNonce() {
    MHFX::CryptProvHandle provider;
    std::vector<BYTE> nonce(8);
    Need(::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT) &&
         ::CryptGenRandom(provider.get(), static_cast<DWORD>(nonce.size()), nonce.data()));
    // Positive and minimal as a DER INTEGER, so that the reply can echo it byte for byte.
    nonce[0] = static_cast<BYTE>((nonce[0] & 0x3F) | 0x40);
    return nonce;
}

std::vector<BYTE> EncodeTimestampRequest(const std::vector<BYTE>& signature,
                                         const std::vector<BYTE>& nonce) {
    std::vector<BYTE> algorithm;
    Der::AppendElement(algorithm, Der::kOid, kOidSha256);
    Der::AppendElement(algorithm, Der::kNull, nullptr, 0);
    std::vector<BYTE> imprint;
    Der::AppendElement(imprint, Der::kSequence, algorithm);
    Der::AppendElement(imprint, Der::kOctetString, Sha256(signature.data(), signature.size()));
    std::vector<BYTE> fields;
    const BYTE version = 1, yes = 0xFF;
    Der::AppendElement(fields, Der::kInteger, &version, 1);
    Der::AppendElement(fields, Der::kSequence, imprint);
    Der::AppendElement(fields, Der::kInteger, nonce);
    Der::AppendElement(fields, kBoolean, &yes, 1);
    std::vector<BYTE> request;
    Der::AppendElement(request, Der::kSequence, fields);
    return request;
}

std::vector<BYTE> TokenOfResponse(const BYTE* response, size_t length) {
    Der::Reader outer(response, length);
    Der::Element reply, statusInfo, status, token;
    Need(outer.Expect(Der::kSequence, reply));
    Der::Reader fields(reply);
    Need(fields.Expect(Der::kSequence, statusInfo));
    Der::Reader statusFields(statusInfo);
    Need(statusFields.Expect(Der::kInteger, status) && status.length == 1);
    // granted (0) or grantedWithMods (1); anything else carries no token.
    if (status.content[0] > 1) {
        Fail(TimestampProblem::Refused);
    }
    Need(fields.Expect(Der::kSequence, token));
    return {token.begin, token.begin + token.size};
}

TimestampToken DecodeTimestampToken(const std::vector<BYTE>& encoded) {
    TimestampToken token;
    const Der::Element tstInfo = EncapsulatedTstInfo(encoded.data(), encoded.size());
    const TstInfo info = DecodeTstInfo(tstInfo.content, tstInfo.length);
    token.imprint = info.imprint;
    token.imprintAlgorithm = info.imprintHash == ImprintHash::Sha512   ? CALG_SHA_512
                             : info.imprintHash == ImprintHash::Sha384 ? CALG_SHA_384
                                                                       : CALG_SHA_256;
    token.nonce = info.nonce;
    token.time = {static_cast<DWORD>(info.genTime), static_cast<DWORD>(info.genTime >> 32)};

    MHFX::CryptMsgHandle message(::CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
    Need(message &&
         ::CryptMsgUpdate(message.get(), encoded.data(), static_cast<DWORD>(encoded.size()), TRUE));
    DWORD infoLength = 0;
    Need(::CryptMsgGetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &infoLength));
    std::vector<BYTE> certInfo(infoLength);
    Need(::CryptMsgGetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, certInfo.data(),
                            &infoLength));
    MHFX::CertStoreHandle certificates(
        ::CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message.get()));
    Need(certificates.get() != nullptr);
    token.authority.reset(::CertGetSubjectCertificateFromStore(
        certificates.get(), kEncoding, reinterpret_cast<PCERT_INFO>(certInfo.data())));
    // certReq asks for the certificate; a token without it cannot be checked.
    Need(token.authority.get() != nullptr, TimestampProblem::SignatureInvalid);

    DWORD signerLength = 0;
    Need(::CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &signerLength));
    std::vector<BYTE> signerBuffer(signerLength);
    Need(::CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, signerBuffer.data(),
                            &signerLength));
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBuffer.data());
    std::vector<BYTE> encodedSigner;
    Der::Element found;
    if (SignatureVerifier::FindSignerInfo(encoded.data(), encoded.size(), 0, found)) {
        encodedSigner.assign(found.begin, found.begin + found.size);
    } else {
        DWORD length = 0;
        Need(::CryptMsgGetParam(message.get(), CMSG_ENCODED_SIGNER, 0, nullptr, &length));
        encodedSigner.resize(length);
        Need(::CryptMsgGetParam(message.get(), CMSG_ENCODED_SIGNER, 0, encodedSigner.data(),
                                &length));
        encodedSigner.resize(length);
    }
    SignatureVerdict verdict;
    try {
        const SignatureVerifier verifier(encodedSigner.data(), encodedSigner.size());
        verdict = verifier.VerifyContent(token.authority.get(), tstInfo.content, tstInfo.length);
        // A token must name its signer; a document's signature may not say.
        if (verdict.status == SignatureStatus::Valid &&
            verifier.BindingOf(token.authority.get()) != CertificateBinding::Matches) {
            verdict.status = SignatureStatus::SignerMismatch;
        }
    } catch (const MHFX::Win32Exception& e) {
        Fail(TimestampProblem::Malformed, e.ErrorCode());
    }
    Need(verdict.status != SignatureStatus::Unsupported, TimestampProblem::UnsupportedAlgorithm);
    Need(verdict.status != SignatureStatus::Invalid, TimestampProblem::SignatureInvalid);
    Need(!IsWeakHash(signer->HashAlgorithm.pszObjId) &&
             !IsWeakHash(signer->HashEncryptionAlgorithm.pszObjId),
         TimestampProblem::WeakAlgorithm);
    Need(verdict.status == SignatureStatus::Valid, TimestampProblem::CertificateMismatch);
    Need(IsTimestampingOnly(token.authority.get()), TimestampProblem::NotTimestampAuthority);
    return token;
}

void CheckImprint(const TimestampToken& token, const std::vector<BYTE>& signature) {
    if (token.imprint != Hash(token.imprintAlgorithm, signature.data(), signature.size())) {
        Fail(TimestampProblem::ImprintMismatch);
    }
}

std::wstring AuthorityName(PCCERT_CONTEXT authority) {
    wchar_t name[256] = {};
    if (!::CertGetNameStringW(authority, CERT_NAME_ATTR_TYPE, 0,
                              const_cast<char*>(szOID_COMMON_NAME), name, 256) ||
        name[0] == 0) {
        ::CertGetNameStringW(authority, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
    }
    return name;
}

} // namespace Dossiq::Documents
