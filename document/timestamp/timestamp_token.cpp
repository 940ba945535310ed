#include "document/timestamp/timestamp_token.h"

#include <cstring>

#include "document/container/der.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr BYTE kBoolean = 0x01;
constexpr BYTE kGeneralizedTime = 0x18;
const std::vector<BYTE> kOidSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const std::vector<BYTE> kOidTstInfo = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                       0x01, 0x09, 0x10, 0x01, 0x04};

[[noreturn]] void Fail(TimestampProblem problem, DWORD code = 0) {
    throw TimestampError(problem, code);
}

void Need(bool ok, TimestampProblem problem = TimestampProblem::Malformed) {
    if (!ok) {
        Fail(problem, ::GetLastError());
    }
}

std::vector<BYTE> Bytes(const Der::Element& element) {
    return {element.content, element.content + element.length};
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

// "YYYYMMDDhhmmss[.fraction]Z".
FILETIME GeneralizedTime(const Der::Element& element) {
    const std::string text(reinterpret_cast<const char*>(element.content), element.length);
    Need(text.size() >= 15 && text.back() == 'Z');
    auto number = [&](size_t at, size_t digits) {
        WORD value = 0;
        for (size_t i = at; i < at + digits; ++i) {
            Need(text[i] >= '0' && text[i] <= '9');
            value = static_cast<WORD>(value * 10 + (text[i] - '0'));
        }
        return value;
    };
    SYSTEMTIME parts = {};
    parts.wYear = number(0, 4);
    parts.wMonth = number(4, 2);
    parts.wDay = number(6, 2);
    parts.wHour = number(8, 2);
    parts.wMinute = number(10, 2);
    parts.wSecond = number(12, 2);
    FILETIME time = {};
    Need(::SystemTimeToFileTime(&parts, &time));
    return time;
}

// The digest the signer's messageDigest attribute states equals `digest`. Signed
// attributes are what the signature covers; the content only through this digest.
bool DigestAttributeMatches(const CMSG_SIGNER_INFO& info, const std::vector<BYTE>& digest) {
    for (DWORD i = 0; i < info.AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = info.AuthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, szOID_RSA_messageDigest) != 0 ||
            attribute.cValue != 1) {
            continue;
        }
        Der::Reader reader(attribute.rgValue[0].pbData, attribute.rgValue[0].cbData);
        Der::Element value;
        return reader.Expect(Der::kOctetString, value) && Bytes(value) == digest;
    }
    return false;
}

// The TSTInfo the token's signature covers.
Der::Element TstInfoOf(const std::vector<BYTE>& token) {
    Der::Reader outer(token.data(), token.size());
    Der::Element contentInfo, type, explicitContent, signedData, version, algorithms, encap,
        encapType, wrapped, octets;
    Need(outer.Expect(Der::kSequence, contentInfo));
    Der::Reader info(contentInfo);
    Need(info.Expect(Der::kOid, type) && type.IsOid(Der::kOidSignedData) &&
         info.Expect(Der::kContext0, explicitContent));
    Der::Reader content(explicitContent);
    Need(content.Expect(Der::kSequence, signedData));
    Der::Reader fields(signedData);
    Need(fields.Expect(Der::kInteger, version) && fields.Expect(Der::kSet, algorithms) &&
         fields.Expect(Der::kSequence, encap));
    Der::Reader encapsulated(encap);
    Need(encapsulated.Expect(Der::kOid, encapType) && encapType.IsOid(kOidTstInfo) &&
         encapsulated.Expect(Der::kContext0, wrapped));
    Der::Reader inner(wrapped);
    Need(inner.Expect(Der::kOctetString, octets));
    return octets;
}

void ReadTstInfo(const Der::Element& octets, TimestampToken& token) {
    Der::Reader outer(octets.content, octets.length);
    Der::Element info, version, policy, imprint, algorithm, algorithmOid, hashed, serial, time;
    Need(outer.Expect(Der::kSequence, info));
    Der::Reader fields(info);
    Need(fields.Expect(Der::kInteger, version) && fields.Expect(Der::kOid, policy) &&
         fields.Expect(Der::kSequence, imprint) && fields.Expect(Der::kInteger, serial) &&
         fields.Expect(kGeneralizedTime, time));
    Der::Reader imprintFields(imprint);
    Need(imprintFields.Expect(Der::kSequence, algorithm) &&
         imprintFields.Expect(Der::kOctetString, hashed));
    Der::Reader algorithmFields(algorithm);
    Need(algorithmFields.Expect(Der::kOid, algorithmOid));
    // Only SHA-256 imprints are asked for, so only they can match.
    if (!algorithmOid.IsOid(kOidSha256)) {
        Fail(TimestampProblem::ImprintMismatch);
    }
    token.imprint = Bytes(hashed);
    token.time = GeneralizedTime(time);
    // accuracy, ordering, nonce, tsa, extensions: only the nonce matters here.
    Der::Element optional;
    while (fields.Next(optional)) {
        if (optional.Is(Der::kInteger)) {
            token.nonce = Bytes(optional);
        }
    }
    Need(!fields.Failed());
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
    const Der::Element tstInfo = TstInfoOf(encoded);
    ReadTstInfo(tstInfo, token);

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
    const ALG_ID digestAlgorithm = ::CertOIDToAlgId(signer->HashAlgorithm.pszObjId);
    Need(
        ::CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE,
                          token.authority.get()->pCertInfo) != FALSE &&
            GET_ALG_CLASS(digestAlgorithm) == ALG_CLASS_HASH &&
            DigestAttributeMatches(*signer, Hash(digestAlgorithm, tstInfo.content, tstInfo.length)),
        TimestampProblem::SignatureInvalid);

    BYTE usageBuffer[512];
    DWORD usageLength = sizeof(usageBuffer);
    auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(usageBuffer);
    bool stamps = false;
    if (::CertGetEnhancedKeyUsage(token.authority.get(), CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG,
                                  usage, &usageLength)) {
        for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
            stamps = stamps || std::strcmp(usage->rgpszUsageIdentifier[i],
                                           szOID_PKIX_KP_TIMESTAMP_SIGNING) == 0;
        }
    }
    Need(stamps, TimestampProblem::NotTimestampAuthority);
    return token;
}

void CheckImprint(const TimestampToken& token, const std::vector<BYTE>& signature) {
    if (token.imprint != Sha256(signature.data(), signature.size())) {
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
