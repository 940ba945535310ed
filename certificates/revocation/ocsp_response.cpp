#include "certificates/revocation/ocsp_response.h"

#include "certificates/clock_skew.h"

#include <cstring>

#include "certificates/decode_object.h"
#include "certificates/revocation/ocsp_cert_id.h"
#include "foundation/der.h"
#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

const std::vector<BYTE> kOidBasic = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x30, 0x01, 0x01};
const std::vector<BYTE> kOidNonce = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x30, 0x01, 0x02};
const std::vector<BYTE> kOidSha1 = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const std::vector<BYTE> kOidSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
constexpr char kOidNoCheck[] = "1.3.6.1.5.5.7.48.1.5";

std::vector<BYTE> Bytes(const Der::Element& element) {
    return std::vector<BYTE>(element.content, element.content + element.length);
}

// YYYYMMDDHHMMSS[.f...]Z, the only form RFC 5280 allows.
bool ReadTime(const Der::Element& element, FILETIME& time) {
    if (!element.Is(Der::kGeneralizedTime) || element.length < 15 ||
        element.content[element.length - 1] != 'Z') {
        return false;
    }
    int digits[14];
    for (int i = 0; i < 14; ++i) {
        const BYTE c = element.content[i];
        if (c < '0' || c > '9') {
            return false;
        }
        digits[i] = c - '0';
    }
    auto number = [&](int at, int count) {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            value = value * 10 + digits[at + i];
        }
        return static_cast<WORD>(value);
    };
    SYSTEMTIME system = {};
    system.wYear = number(0, 4);
    system.wMonth = number(4, 2);
    system.wDay = number(6, 2);
    system.wHour = number(8, 2);
    system.wMinute = number(10, 2);
    system.wSecond = number(12, 2);
    return ::SystemTimeToFileTime(&system, &time) != FALSE;
}

bool IsZero(const FILETIME& time) {
    return time.dwHighDateTime == 0 && time.dwLowDateTime == 0;
}

struct ResponderId {
    bool byName = false;
    CERT_NAME_BLOB name = {};
    std::vector<BYTE> keyHash; // SHA-1 of the responder's public key
};

bool Names(PCCERT_CONTEXT certificate, const ResponderId& id) {
    if (id.byName) {
        return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                            const_cast<CERT_NAME_BLOB*>(&id.name)) != FALSE;
    }
    const CRYPT_BIT_BLOB& key = certificate->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    return OcspDigest(OcspHash::Sha1, key.pbData, key.cbData) == id.keyHash;
}

bool SignedBy(const std::vector<BYTE>& signedBlob, PCCERT_CONTEXT signer) {
    CRYPT_DATA_BLOB blob = {static_cast<DWORD>(signedBlob.size()),
                            const_cast<BYTE*>(signedBlob.data())};
    return ::CryptVerifyCertificateSignatureEx(
               0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_BLOB, &blob,
               CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(signer), 0,
               nullptr) != FALSE;
}

bool IssuedBy(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
    return ::CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Issuer,
                                        &issuer->pCertInfo->Subject) &&
           ::CryptVerifyCertificateSignatureEx(
               0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
               const_cast<CERT_CONTEXT*>(certificate), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
               const_cast<CERT_CONTEXT*>(issuer), 0, nullptr);
}

bool HasOcspSigning(PCCERT_CONTEXT certificate) {
    const CERT_INFO* info = certificate->pCertInfo;
    const PCERT_EXTENSION extension =
        ::CertFindExtension(szOID_ENHANCED_KEY_USAGE, info->cExtension, info->rgExtension);
    if (!extension) {
        return false;
    }
    const ProcessHeapBlock block =
        DecodeObject(X509_ENHANCED_KEY_USAGE, extension->Value.pbData, extension->Value.cbData);
    const auto* usage = static_cast<const CERT_ENHKEY_USAGE*>(block.get());
    for (DWORD i = 0; usage && i < usage->cUsageIdentifier; ++i) {
        if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_OCSP_SIGNING) == 0) {
            return true;
        }
    }
    return false;
}

std::wstring Readable(PCCERT_CONTEXT certificate) {
    CERT_NAME_BLOB& name = certificate->pCertInfo->Subject;
    const DWORD length = ::CertNameToStrW(X509_ASN_ENCODING, &name, CERT_X500_NAME_STR, nullptr, 0);
    std::wstring text(length, L'\0');
    ::CertNameToStrW(X509_ASN_ENCODING, &name, CERT_X500_NAME_STR, text.data(), length);
    text.resize(length ? length - 1 : 0);
    return text;
}

// CertID { hashAlgorithm, issuerNameHash, issuerKeyHash, serialNumber }
bool ReadCertId(const Der::Element& element, OcspCertId& id) {
    Der::Reader reader(element);
    Der::Element algorithm, oid, nameHash, keyHash, serial;
    if (!element.Is(Der::kSequence) || !reader.Expect(Der::kSequence, algorithm) ||
        !reader.Expect(Der::kOctetString, nameHash) || !reader.Expect(Der::kOctetString, keyHash) ||
        !reader.Expect(Der::kInteger, serial)) {
        return false;
    }
    Der::Reader inAlgorithm(algorithm);
    if (!inAlgorithm.Expect(Der::kOid, oid)) {
        return false;
    }
    if (oid.IsOid(kOidSha1)) {
        id.hash = OcspHash::Sha1;
    } else if (oid.IsOid(kOidSha256)) {
        id.hash = OcspHash::Sha256;
    } else {
        return false;
    }
    id.issuerNameHash = Bytes(nameHash);
    id.issuerKeyHash = Bytes(keyHash);
    id.serial = Bytes(serial);
    return true;
}

// The nonce extension's value among `extensions` ([1] EXPLICIT Extensions); false when
// there is none.
bool FindNonce(const Der::Element& extensions, std::vector<BYTE>& nonce) {
    Der::Reader outer(extensions);
    Der::Element list, extension;
    if (!outer.Expect(Der::kSequence, list)) {
        return false;
    }
    Der::Reader reader(list);
    while (reader.Next(extension)) {
        Der::Reader fields(extension);
        Der::Element oid, value;
        if (!fields.Expect(Der::kOid, oid) || !oid.IsOid(kOidNonce)) {
            continue;
        }
        if (fields.Next(value) && value.Is(Der::kBoolean)) {
            fields.Next(value);
        }
        nonce = Bytes(value);
        return true;
    }
    return false;
}

bool NonceMatches(const std::vector<BYTE>& echoed, const std::vector<BYTE>& sent) {
    // RFC 8954 wraps the nonce in an OCTET STRING; older responders echo the bare bytes.
    std::vector<BYTE> wrapped;
    Der::AppendElement(wrapped, Der::kOctetString, sent);
    return echoed == wrapped || echoed == sent;
}

// What the SingleResponse naming `certificate` says; false when none does (`malformed`
// when the list or that response does not read).
bool ReadSingleResponse(const Der::Element& responses, PCCERT_CONTEXT certificate,
                        PCCERT_CONTEXT issuer, OcspAnswer& answer, bool& malformed) {
    const OcspCertId bySha1 = OcspCertId::For(certificate, issuer, OcspHash::Sha1);
    const OcspCertId bySha256 = OcspCertId::For(certificate, issuer, OcspHash::Sha256);
    Der::Reader reader(responses);
    Der::Element single;
    while (reader.Next(single)) {
        Der::Reader fields(single);
        Der::Element certId, status, thisUpdate, next;
        OcspCertId id;
        if (!fields.Expect(Der::kSequence, certId) || !ReadCertId(certId, id) ||
            !(id == (id.hash == OcspHash::Sha1 ? bySha1 : bySha256)) || id.serial.empty()) {
            continue;
        }
        if (!fields.Next(status) || !fields.Expect(Der::kGeneralizedTime, thisUpdate) ||
            !ReadTime(thisUpdate, answer.thisUpdate)) {
            malformed = true;
            return false;
        }
        if (fields.Next(next) && next.Is(Der::Context(0))) {
            Der::Reader inNext(next);
            Der::Element time;
            if (!inNext.Next(time) || !ReadTime(time, answer.nextUpdate)) {
                malformed = true;
                return false;
            }
        }
        if (status.Is(Der::ContextPrimitive(0))) {
            answer.status = OcspAnswer::Status::Good;
        } else if (status.Is(Der::ContextPrimitive(2))) {
            answer.status = OcspAnswer::Status::Unknown;
        } else if (status.Is(Der::Context(1))) {
            // RevokedInfo { revocationTime, [0] EXPLICIT CRLReason OPTIONAL }
            Der::Reader revoked(status);
            Der::Element time, reason, value;
            if (!revoked.Expect(Der::kGeneralizedTime, time) ||
                !ReadTime(time, answer.revocationTime)) {
                malformed = true;
                return false;
            }
            if (revoked.Next(reason)) {
                Der::Reader inReason(reason);
                if (!reason.Is(Der::Context(0)) || !inReason.Expect(Der::kEnumerated, value) ||
                    value.length != 1) {
                    malformed = true;
                    return false;
                }
                answer.reason = value.content[0];
            }
            answer.status = OcspAnswer::Status::Revoked;
        } else {
            malformed = true;
            return false;
        }
        return true;
    }
    malformed = reader.Failed();
    return false;
}

// The BasicOCSPResponse inside an OCSPResponse.
OcspProblem UnwrapBasic(const std::vector<BYTE>& encoded, Der::Element& basic) {
    // OCSPResponse { responseStatus, [0] EXPLICIT ResponseBytes { responseType, response } }
    Der::Reader top(encoded.data(), encoded.size());
    Der::Element response, status, bytesTag, bytes, type, octets;
    if (!top.Expect(Der::kSequence, response) || !top.AtEnd()) {
        return OcspProblem::Malformed;
    }
    Der::Reader inResponse(response);
    if (!inResponse.Expect(Der::kEnumerated, status) || status.length != 1) {
        return OcspProblem::Malformed;
    }
    if (status.content[0] != 0) {
        return OcspProblem::NotSuccessful;
    }
    if (!inResponse.Expect(Der::Context(0), bytesTag)) {
        return OcspProblem::Malformed;
    }
    Der::Reader inTag(bytesTag);
    if (!inTag.Expect(Der::kSequence, bytes)) {
        return OcspProblem::Malformed;
    }
    Der::Reader inBytes(bytes);
    if (!inBytes.Expect(Der::kOid, type) || !type.IsOid(kOidBasic) ||
        !inBytes.Expect(Der::kOctetString, octets)) {
        return OcspProblem::Malformed;
    }

    Der::Reader inOctets(octets);
    return inOctets.Expect(Der::kSequence, basic) ? OcspProblem::None : OcspProblem::Malformed;
}

// The signer: the issuer itself (`delegated` stays null), or a certificate the response
// carries that the issuer issued for signing OCSP responses, valid when it signed.
OcspProblem FindSigner(const ResponderId& id, const Der::Element* certs, PCCERT_CONTEXT issuer,
                       const FILETIME& producedAt, CertContextHandle& delegated) {
    if (Names(issuer, id)) {
        return OcspProblem::None;
    }
    Der::Element list, cert;
    if (certs && Der::Reader(*certs).Expect(Der::kSequence, list)) {
        Der::Reader inList(list);
        while (!delegated && inList.Next(cert)) {
            CertContextHandle candidate(::CertCreateCertificateContext(
                kEncoding, cert.begin, static_cast<DWORD>(cert.size)));
            if (candidate && Names(candidate.get(), id) && IssuedBy(candidate.get(), issuer)) {
                delegated = std::move(candidate);
            }
        }
    }
    if (!delegated) {
        return OcspProblem::UnknownSigner;
    }
    if (!HasOcspSigning(delegated.get())) {
        return OcspProblem::NotAuthorized;
    }
    if (::CertVerifyTimeValidity(const_cast<FILETIME*>(&producedAt), delegated.get()->pCertInfo) !=
        0) {
        return OcspProblem::ResponderNotValid;
    }
    return OcspProblem::None;
}

OcspAnswer Verify(const std::vector<BYTE>& encoded, PCCERT_CONTEXT certificate,
                  PCCERT_CONTEXT issuer, const std::vector<BYTE>* nonce) {
    OcspAnswer answer;
    answer.encoded = encoded;
    Der::Element basic;
    answer.problem = UnwrapBasic(encoded, basic);
    if (answer.problem != OcspProblem::None) {
        return answer;
    }
    answer.problem = OcspProblem::Malformed;

    // BasicOCSPResponse { tbsResponseData, signatureAlgorithm, signature, [0] certs }
    Der::Element tbs, algorithm, signature, certs;
    Der::Reader inBasic(basic);
    if (!inBasic.Expect(Der::kSequence, tbs) || !inBasic.Expect(Der::kSequence, algorithm) ||
        !inBasic.Expect(Der::kBitString, signature)) {
        return answer;
    }
    const bool hasCerts = inBasic.Next(certs) && certs.Is(Der::Context(0));
    // The signed part alone, shaped as the platform's signed-content blob.
    std::vector<BYTE> signedBlob;
    Der::AppendHeader(signedBlob, Der::kSequence, tbs.size + algorithm.size + signature.size);
    signedBlob.insert(signedBlob.end(), tbs.begin, tbs.begin + tbs.size);
    signedBlob.insert(signedBlob.end(), algorithm.begin, algorithm.begin + algorithm.size);
    signedBlob.insert(signedBlob.end(), signature.begin, signature.begin + signature.size);

    // ResponseData { [0] version, responderID, producedAt, responses, [1] extensions }
    Der::Reader inTbs(tbs);
    Der::Element field, responderId, produced, responses, extensions;
    if (!inTbs.Next(field)) {
        return answer;
    }
    if (field.Is(Der::Context(0)) && !inTbs.Next(field)) {
        return answer;
    }
    responderId = field;
    if (!inTbs.Expect(Der::kGeneralizedTime, produced) || !ReadTime(produced, answer.producedAt) ||
        !inTbs.Expect(Der::kSequence, responses)) {
        return answer;
    }
    const bool hasExtensions = inTbs.Next(extensions) && extensions.Is(Der::Context(1));

    ResponderId id;
    Der::Reader inId(responderId);
    Der::Element idValue;
    if (!inId.Next(idValue)) {
        return answer;
    }
    if (responderId.Is(Der::Context(1)) && idValue.Is(Der::kSequence)) {
        id.byName = true;
        id.name = {static_cast<DWORD>(idValue.size), const_cast<BYTE*>(idValue.begin)};
    } else if (responderId.Is(Der::Context(2)) && idValue.Is(Der::kOctetString)) {
        id.keyHash = Bytes(idValue);
    } else {
        return answer;
    }

    CertContextHandle delegated;
    answer.problem =
        FindSigner(id, hasCerts ? &certs : nullptr, issuer, answer.producedAt, delegated);
    if (answer.problem != OcspProblem::None) {
        return answer;
    }
    PCCERT_CONTEXT signer = delegated ? delegated.get() : issuer;
    if (!SignedBy(signedBlob, signer)) {
        answer.problem = OcspProblem::BadSignature;
        return answer;
    }

    OcspAnswer single = answer;
    bool malformed = false;
    if (!ReadSingleResponse(responses, certificate, issuer, single, malformed)) {
        answer.problem = malformed ? OcspProblem::Malformed : OcspProblem::NoMatchingResponse;
        return answer;
    }
    std::vector<BYTE> echoed;
    if (nonce && hasExtensions && FindNonce(extensions, echoed) && !NonceMatches(echoed, *nonce)) {
        answer.problem = OcspProblem::NonceMismatch;
        return answer;
    }

    answer = std::move(single);
    answer.verified = true;
    answer.problem = OcspProblem::None;
    answer.responder = Readable(signer);
    if (delegated) {
        answer.responderCertificate.assign(delegated.get()->pbCertEncoded,
                                           delegated.get()->pbCertEncoded +
                                               delegated.get()->cbCertEncoded);
        const CERT_INFO* info = delegated.get()->pCertInfo;
        answer.responderNeedsCheck =
            ::CertFindExtension(kOidNoCheck, info->cExtension, info->rgExtension) == nullptr;
    }
    return answer;
}

} // namespace

const wchar_t* OcspProblemName(OcspProblem problem) {
    switch (problem) {
    case OcspProblem::None:
        return L"none";
    case OcspProblem::Unreachable:
        return L"unreachable";
    case OcspProblem::Malformed:
        return L"malformed";
    case OcspProblem::NotSuccessful:
        return L"notSuccessful";
    case OcspProblem::UnknownSigner:
        return L"unknownSigner";
    case OcspProblem::NotAuthorized:
        return L"notAuthorized";
    case OcspProblem::ResponderNotValid:
        return L"responderNotValid";
    case OcspProblem::BadSignature:
        return L"badSignature";
    case OcspProblem::NoMatchingResponse:
        return L"noMatchingResponse";
    case OcspProblem::NonceMismatch:
        return L"nonceMismatch";
    }
    return L"malformed";
}

OcspAnswer VerifyOcspResponse(const std::vector<BYTE>& encoded, PCCERT_CONTEXT certificate,
                              PCCERT_CONTEXT issuer, const std::vector<BYTE>* nonce) {
    if (!certificate || !issuer) {
        return {};
    }
    try {
        return Verify(encoded, certificate, issuer, nonce);
    } catch (...) {
        // Only an exhausted heap gets here (decoding the responder's usage).
        OcspAnswer answer;
        answer.encoded = encoded;
        return answer;
    }
}

bool IsCurrent(const OcspAnswer& answer, const FILETIME& now) {
    // A responder's clock may run a little ahead, and an answer made this second says so.
    return answer.verified && !IsZero(answer.nextUpdate) &&
           NotLaterAllowingSkew(answer.thisUpdate, now) &&
           ::CompareFileTime(&now, &answer.nextUpdate) <= 0;
}

} // namespace MHFX::Security::Cryptography::X509
