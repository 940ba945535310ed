#include "document/container/envelope.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

#include "document/container/der.h"
#include "foundation/handle.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// Encrypted and decrypted in slices of this size (a multiple of every block size), so that
// the platform never needs a second buffer for the whole content.
constexpr DWORD kSlice = 1024 * 1024;
// As much of a message as is read before its headers are parsed.
constexpr DWORD kHead = 1024 * 1024;

void NoWait(DWORD) {}

using MHFX::ThrowLastErrorIf;
using MHFX::Win32Exception;

[[noreturn]] void ThrowCorrupt() {
    throw Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
}

// The content-encryption algorithms a recipient can open.
struct CipherInfo {
    const std::vector<BYTE>* oid;
    ALG_ID algorithm;
    DWORD blockSize;
};

const std::vector<BYTE> kOidAes128Cbc = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x02};
const std::vector<BYTE> kOidAes192Cbc = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x16};
const std::vector<BYTE> kOidAes256Cbc = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x01, 0x2A};

const CipherInfo kCiphers[] = {
    {&kOidAes256Cbc, CALG_AES_256, 16},
    {&Der::kOidDesEde3Cbc, CALG_3DES, 8},
    {&kOidAes128Cbc, CALG_AES_128, 16},
    {&kOidAes192Cbc, CALG_AES_192, 16},
};

const CipherInfo& SealingCipher(ContentCipher cipher) {
    return cipher == ContentCipher::DesEde3Cbc ? kCiphers[1] : kCiphers[0];
}

// The issuer Name and serial-number INTEGER exactly as the certificate encodes them.
void AppendIssuerAndSerial(std::vector<BYTE>& out, PCCERT_CONTEXT certificate) {
    Der::Reader top(certificate->pbCertEncoded, certificate->cbCertEncoded);
    Der::Element cert, tbs, element, serial, issuer;
    if (!top.Expect(Der::kSequence, cert)) {
        ThrowCorrupt();
    }
    Der::Reader certReader(cert);
    if (!certReader.Expect(Der::kSequence, tbs)) {
        ThrowCorrupt();
    }
    Der::Reader tbsReader(tbs);
    if (!tbsReader.Next(element)) {
        ThrowCorrupt();
    }
    if (element.Is(Der::kContext0)) { // version
        if (!tbsReader.Next(element)) {
            ThrowCorrupt();
        }
    }
    serial = element;
    if (!serial.Is(Der::kInteger) || !tbsReader.Expect(Der::kSequence, element) ||
        !tbsReader.Expect(Der::kSequence, issuer)) {
        ThrowCorrupt();
    }
    Der::AppendHeader(out, Der::kSequence, issuer.size + serial.size);
    out.insert(out.end(), issuer.begin, issuer.begin + issuer.size);
    out.insert(out.end(), serial.begin, serial.begin + serial.size);
}

// `length` bytes at `data`, encrypted (or decrypted) in place by slices; returns the
// length of the result. `arrived` is told how far the next slice reaches before it is used.
DWORD Transform(HCRYPTKEY key, BYTE* data, DWORD length, DWORD capacity, bool encrypt,
                const Arrival& arrived) {
    DWORD done = 0;
    for (;;) {
        const DWORD left = length - done;
        const bool final = left <= kSlice;
        DWORD count = final ? left : kSlice;
        arrived(done + count);
        if (encrypt) {
            ThrowLastErrorIf(!::CryptEncrypt(key, 0, final, 0, data + done, &count,
                                             final ? capacity - done : kSlice));
        } else {
            ThrowLastErrorIf(!::CryptDecrypt(key, 0, final, 0, data + done, &count));
        }
        done += count;
        if (final) {
            return done;
        }
    }
}

} // namespace

EnvelopeSealer::EnvelopeSealer(const std::vector<PCCERT_CONTEXT>& recipients,
                               const std::vector<BYTE>& innerContentType, DWORD contentLength,
                               ContentCipher contentCipher)
    : contentLength_(contentLength) {
    if (recipients.empty() || recipients.size() > kMostRecipients) {
        throw Win32Exception(ERROR_INVALID_PARAMETER);
    }
    for (PCCERT_CONTEXT recipient : recipients) {
        if (recipient == nullptr ||
            std::strcmp(recipient->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId,
                        szOID_RSA_RSA) != 0) {
            throw Win32Exception(static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO));
        }
    }
    const CipherInfo& cipher = SealingCipher(contentCipher);

    ThrowLastErrorIf(!::CryptAcquireContextW(provider_.put(), nullptr, nullptr, PROV_RSA_AES,
                                             CRYPT_VERIFYCONTEXT | CRYPT_SILENT));
    ThrowLastErrorIf(
        !::CryptGenKey(provider_.get(), cipher.algorithm, CRYPT_EXPORTABLE, key_.put()));
    std::vector<BYTE> iv(cipher.blockSize);
    ThrowLastErrorIf(!::CryptGenRandom(provider_.get(), static_cast<DWORD>(iv.size()), iv.data()));
    ThrowLastErrorIf(!::CryptSetKeyParam(key_.get(), KP_IV, iv.data(), 0));

    std::vector<BYTE> recipientInfos;
    for (PCCERT_CONTEXT recipient : recipients) {
        MHFX::CryptKeyHandle publicKey;
        ThrowLastErrorIf(!::CryptImportPublicKeyInfo(provider_.get(), kEncoding,
                                                     &recipient->pCertInfo->SubjectPublicKeyInfo,
                                                     publicKey.put()));

        // The key encrypted under the recipient's public key (PKCS#1 v1.5), little-endian
        // behind the blob's headers; PKCS#7 wants it big-endian.
        DWORD blobLength = 0;
        ThrowLastErrorIf(
            !::CryptExportKey(key_.get(), publicKey.get(), SIMPLEBLOB, 0, nullptr, &blobLength));
        std::vector<BYTE> blob(blobLength);
        ThrowLastErrorIf(!::CryptExportKey(key_.get(), publicKey.get(), SIMPLEBLOB, 0, blob.data(),
                                           &blobLength));
        constexpr size_t kBlobHeader = sizeof(BLOBHEADER) + sizeof(ALG_ID);
        if (blobLength <= kBlobHeader) {
            throw Win32Exception(static_cast<DWORD>(NTE_BAD_KEY));
        }
        std::vector<BYTE> encryptedKey(blob.begin() + kBlobHeader, blob.begin() + blobLength);
        std::reverse(encryptedKey.begin(), encryptedKey.end());

        {
            std::vector<BYTE> body;
            Der::AppendElement(body, Der::kInteger, std::vector<BYTE>{0});
            AppendIssuerAndSerial(body, recipient);
            std::vector<BYTE> algorithm;
            Der::AppendElement(algorithm, Der::kOid, Der::kOidRsaEncryption);
            Der::AppendElement(algorithm, Der::kNull, nullptr, 0);
            Der::AppendElement(body, Der::kSequence, algorithm);
            Der::AppendElement(body, Der::kOctetString, encryptedKey);
            Der::AppendElement(recipientInfos, Der::kSequence, body);
        }
    }

    const uint64_t cipherLength =
        (static_cast<uint64_t>(contentLength) / cipher.blockSize + 1) * cipher.blockSize;
    std::vector<BYTE> contentInfoStart; // encryptedContentInfo up to the encrypted bytes
    Der::AppendElement(contentInfoStart, Der::kOid, innerContentType);
    {
        std::vector<BYTE> algorithm;
        Der::AppendElement(algorithm, Der::kOid, *cipher.oid);
        Der::AppendElement(algorithm, Der::kOctetString, iv);
        Der::AppendElement(contentInfoStart, Der::kSequence, algorithm);
    }
    Der::AppendHeader(contentInfoStart, Der::kContext0Primitive, cipherLength);
    const uint64_t contentInfoLength = contentInfoStart.size() + cipherLength;

    std::vector<BYTE> recipientSet;
    Der::AppendElement(recipientSet, Der::kSet, recipientInfos);
    const uint64_t envelopedLength = 3 /* version */ + recipientSet.size() +
                                     Der::HeaderLength(contentInfoLength) + contentInfoLength;
    const uint64_t explicitLength = Der::HeaderLength(envelopedLength) + envelopedLength;
    const uint64_t outerLength = Der::HeaderLength(Der::kOidEnvelopedData.size()) +
                                 Der::kOidEnvelopedData.size() + Der::HeaderLength(explicitLength) +
                                 explicitLength;
    const uint64_t total = Der::HeaderLength(outerLength) + outerLength;
    if (total > std::numeric_limits<DWORD>::max()) {
        throw Win32Exception(ERROR_ARITHMETIC_OVERFLOW);
    }

    Der::AppendHeader(header_, Der::kSequence, outerLength);
    Der::AppendElement(header_, Der::kOid, Der::kOidEnvelopedData);
    Der::AppendHeader(header_, Der::kContext0, explicitLength);
    Der::AppendHeader(header_, Der::kSequence, envelopedLength);
    Der::AppendElement(header_, Der::kInteger, std::vector<BYTE>{0});
    header_.insert(header_.end(), recipientSet.begin(), recipientSet.end());
    Der::AppendHeader(header_, Der::kSequence, contentInfoLength);
    header_.insert(header_.end(), contentInfoStart.begin(), contentInfoStart.end());
    messageLength_ = static_cast<DWORD>(total);
}

void EnvelopeSealer::Seal(BYTE* message, const BYTE* content) {
    std::memcpy(message, header_.data(), header_.size());
    const DWORD capacity = messageLength_ - ContentOffset();
    BYTE* const target = message + ContentOffset();
    DWORD copied = 0;
    const DWORD produced =
        Transform(key_.get(), target, contentLength_, capacity, true, [&](DWORD end) {
            if (content != nullptr) {
                std::memcpy(target + copied, content + copied, end - copied);
                copied = end;
            }
        });
    if (produced != capacity) {
        throw Win32Exception(static_cast<DWORD>(NTE_BAD_LEN));
    }
}

namespace {

// How a recipient's content key was encrypted under its public key.
enum class KeyTransport { Pkcs1, Oaep, Unsupported };

struct Recipient {
    Der::Element issuer;
    Der::Element serial; // for issuer-and-serial recipients
    Der::Element keyId;  // for subject-key-identifier recipients
    Der::Element encryptedKey;
    KeyTransport transport = KeyTransport::Pkcs1;
    const wchar_t* oaepHash = nullptr; // CNG's name of OAEP's hash (and MGF1's)
    // The key-transport or key-agreement algorithm, when unsupported or perhaps so (OAEP).
    std::string algorithm;
};

const std::vector<BYTE> kOidRsaesOaep = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x07};
const std::vector<BYTE> kOidMgf1 = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x08};
const std::vector<BYTE> kOidPSpecified = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x09};
const std::vector<BYTE> kOidSha1 = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const std::vector<BYTE> kOidSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const std::vector<BYTE> kOidSha384 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
const std::vector<BYTE> kOidSha512 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
constexpr BYTE kContext1 = 0xA1;
constexpr BYTE kContext2 = 0xA2;

// The hash an AlgorithmIdentifier with absent or NULL parameters names; null for another.
const wchar_t* HashOf(const Der::Element& algorithm) {
    Der::Reader reader(algorithm);
    Der::Element oid, parameters;
    if (!reader.Expect(Der::kOid, oid) ||
        !(reader.AtEnd() || (reader.Next(parameters) && parameters.Is(Der::kNull) &&
                             parameters.length == 0 && reader.AtEnd()))) {
        return nullptr;
    }
    return oid.IsOid(kOidSha1)     ? BCRYPT_SHA1_ALGORITHM
           : oid.IsOid(kOidSha256) ? BCRYPT_SHA256_ALGORITHM
           : oid.IsOid(kOidSha384) ? BCRYPT_SHA384_ALGORITHM
           : oid.IsOid(kOidSha512) ? BCRYPT_SHA512_ALGORITHM
                                   : nullptr;
}

// The [n] EXPLICIT field of RSAES-OAEP-params holding one AlgorithmIdentifier.
bool Explicit(const Der::Element& field, Der::Element& algorithm) {
    Der::Reader reader(field);
    return reader.Expect(Der::kSequence, algorithm) && reader.AtEnd();
}

// The hash of RSAES-OAEP-params (SHA-1 by default), with MGF1 over the same hash and no
// label, the forms CNG decrypts; null for any other.
const wchar_t* OaepHash(const Der::Reader& afterOid) {
    Der::Reader reader = afterOid;
    Der::Element parameters, field, algorithm;
    const wchar_t* hash = BCRYPT_SHA1_ALGORITHM;
    const wchar_t* maskHash = BCRYPT_SHA1_ALGORITHM;
    if (reader.AtEnd()) {
        return hash;
    }
    if (!reader.Expect(Der::kSequence, parameters)) {
        return nullptr;
    }
    Der::Reader fields(parameters);
    while (fields.Next(field)) {
        if (!Explicit(field, algorithm)) {
            return nullptr;
        }
        Der::Reader algorithmReader(algorithm);
        Der::Element oid, inner, label;
        if (field.Is(Der::kContext0)) {
            if ((hash = HashOf(algorithm)) == nullptr) {
                return nullptr;
            }
        } else if (field.Is(kContext1)) {
            if (!algorithmReader.Expect(Der::kOid, oid) || !oid.IsOid(kOidMgf1) ||
                !algorithmReader.Expect(Der::kSequence, inner) ||
                (maskHash = HashOf(inner)) == nullptr) {
                return nullptr;
            }
        } else if (field.Is(kContext2)) {
            if (!algorithmReader.Expect(Der::kOid, oid) || !oid.IsOid(kOidPSpecified) ||
                !algorithmReader.Expect(Der::kOctetString, label) || label.length != 0) {
                return nullptr;
            }
        } else {
            return nullptr;
        }
    }
    return !fields.Failed() && std::wcscmp(hash, maskHash) == 0 ? hash : nullptr;
}

std::string OidOf(const Der::Element& oid) {
    return Der::OidText(oid.content, oid.length);
}

// A key-agreement RecipientInfo, named by its first recipient's identifier: no agreement
// algorithm is supported, but whether the user is among its recipients still tells an
// unsupported envelope from a locked one.
bool ReadKeyAgreement(const Der::Element& info, Recipient& recipient);

// One RecipientInfo: true for key transport (perhaps with an unsupported algorithm), or for
// a key agreement (always unsupported); false for other kinds of recipient.
bool ReadRecipient(const Der::Element& info, Recipient& recipient) {
    if (info.Is(kContext1)) {
        return ReadKeyAgreement(info, recipient);
    }
    if (!info.Is(Der::kSequence)) {
        return false;
    }
    Der::Reader reader(info);
    Der::Element version, id, algorithm, oid;
    if (!reader.Expect(Der::kInteger, version) || !reader.Next(id)) {
        ThrowCorrupt();
    }
    if (id.Is(Der::kSequence)) {
        Der::Reader idReader(id);
        if (!idReader.Expect(Der::kSequence, recipient.issuer) ||
            !idReader.Expect(Der::kInteger, recipient.serial) || recipient.serial.length == 0) {
            ThrowCorrupt();
        }
    } else if (id.Is(Der::kContext0Primitive)) {
        recipient.keyId = id;
    } else {
        return false;
    }
    if (!reader.Expect(Der::kSequence, algorithm) ||
        !reader.Expect(Der::kOctetString, recipient.encryptedKey)) {
        ThrowCorrupt();
    }
    Der::Reader algorithmReader(algorithm);
    if (!algorithmReader.Expect(Der::kOid, oid)) {
        ThrowCorrupt();
    }
    if (oid.IsOid(Der::kOidRsaEncryption)) {
        recipient.transport = KeyTransport::Pkcs1;
    } else if (oid.IsOid(kOidRsaesOaep) &&
               (recipient.oaepHash = OaepHash(algorithmReader)) != nullptr) {
        recipient.transport = KeyTransport::Oaep;
        recipient.algorithm = OidOf(oid);
    } else {
        recipient.transport = KeyTransport::Unsupported;
        recipient.algorithm = OidOf(oid);
    }
    return recipient.encryptedKey.length != 0;
}

bool ReadKeyAgreement(const Der::Element& info, Recipient& recipient) {
    Der::Reader reader(info);
    Der::Element version, element, keys, key, rid;
    if (!reader.Expect(Der::kInteger, version) || !reader.Expect(Der::kContext0, element) ||
        !reader.Next(element)) {
        ThrowCorrupt();
    }
    if (element.Is(kContext1) && !reader.Next(element)) { // ukm
        ThrowCorrupt();
    }
    Der::Reader algorithmReader(element);
    Der::Element oid;
    if (!element.Is(Der::kSequence) || !algorithmReader.Expect(Der::kOid, oid) ||
        !reader.Expect(Der::kSequence, keys)) {
        ThrowCorrupt();
    }
    Der::Reader keyReader(keys);
    if (!keyReader.Expect(Der::kSequence, key)) {
        ThrowCorrupt();
    }
    Der::Reader ridReader(key);
    if (!ridReader.Next(rid)) {
        ThrowCorrupt();
    }
    if (rid.Is(Der::kSequence)) {
        Der::Reader idReader(rid);
        if (!idReader.Expect(Der::kSequence, recipient.issuer) ||
            !idReader.Expect(Der::kInteger, recipient.serial) || recipient.serial.length == 0) {
            ThrowCorrupt();
        }
    } else if (rid.Is(Der::kContext0)) {
        Der::Reader keyIdReader(rid);
        Der::Element keyId;
        if (!keyIdReader.Expect(Der::kOctetString, keyId)) {
            ThrowCorrupt();
        }
        recipient.keyId = keyId;
    } else {
        return false;
    }
    recipient.transport = KeyTransport::Unsupported;
    recipient.algorithm = OidOf(oid);
    return true;
}

bool HasPrivateKey(PCCERT_CONTEXT certificate) {
    DWORD length = 0;
    return ::CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                               &length) ||
           ::CertGetCertificateContextProperty(certificate, CERT_KEY_CONTEXT_PROP_ID, nullptr,
                                               &length);
}

// The next certificate of `store` that the recipient names, after `previous` (freed).
PCCERT_CONTEXT FindRecipientCertificate(HCERTSTORE store, const Recipient& recipient,
                                        PCCERT_CONTEXT previous) {
    if (recipient.keyId.content != nullptr) {
        CRYPT_HASH_BLOB id = {static_cast<DWORD>(recipient.keyId.length),
                              const_cast<BYTE*>(recipient.keyId.content)};
        return ::CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_KEY_IDENTIFIER, &id,
                                            previous);
    }
    std::vector<BYTE> serial(recipient.serial.content,
                             recipient.serial.content + recipient.serial.length);
    std::reverse(serial.begin(), serial.end());
    CERT_INFO info = {};
    info.Issuer = {static_cast<DWORD>(recipient.issuer.size),
                   const_cast<BYTE*>(recipient.issuer.begin)};
    info.SerialNumber = {static_cast<DWORD>(serial.size()), serial.data()};
    return ::CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &info,
                                        previous);
}

// The plain content key in a fresh provider that has the content algorithm, whichever
// provider held the private key that decrypted it. Wipes `plain`.
bool ImportPlainKey(std::vector<BYTE>& plain, ALG_ID algorithm, MHFX::CryptProvHandle& provider,
                    MHFX::CryptKeyHandle& key) {
    std::vector<BYTE> blob(sizeof(BLOBHEADER) + sizeof(DWORD) + plain.size());
    auto* header = reinterpret_cast<BLOBHEADER*>(blob.data());
    header->bType = PLAINTEXTKEYBLOB;
    header->bVersion = CUR_BLOB_VERSION;
    header->reserved = 0;
    header->aiKeyAlg = algorithm;
    const DWORD plainLength = static_cast<DWORD>(plain.size());
    std::memcpy(blob.data() + sizeof(BLOBHEADER), &plainLength, sizeof plainLength);
    std::memcpy(blob.data() + sizeof(BLOBHEADER) + sizeof(DWORD), plain.data(), plain.size());
    ::SecureZeroMemory(plain.data(), plain.size());
    MHFX::CryptProvHandle aes;
    MHFX::CryptKeyHandle contentKey;
    const bool imported = ::CryptAcquireContextW(aes.put(), nullptr, nullptr, PROV_RSA_AES,
                                                 CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
                          ::CryptImportKey(aes.get(), blob.data(), static_cast<DWORD>(blob.size()),
                                           0, 0, contentKey.put());
    const DWORD error = ::GetLastError();
    ::SecureZeroMemory(blob.data(), blob.size());
    if (!imported) {
        ::SetLastError(error);
        return false;
    }
    provider = std::move(aes);
    key = std::move(contentKey);
    return true;
}

// The content key decrypted by a key storage provider's key.
bool DecryptWithNCrypt(NCRYPT_KEY_HANDLE privateKey, const Recipient& recipient,
                       std::vector<BYTE>& plain) {
    // CNG takes the transported key as it is encoded, most significant byte first.
    BCRYPT_OAEP_PADDING_INFO oaep = {recipient.oaepHash, nullptr, 0};
    const bool isOaep = recipient.transport == KeyTransport::Oaep;
    void* padding = isOaep ? &oaep : nullptr;
    const DWORD flags = isOaep ? NCRYPT_PAD_OAEP_FLAG : NCRYPT_PAD_PKCS1_FLAG;
    const DWORD encryptedLength = static_cast<DWORD>(recipient.encryptedKey.length);
    DWORD plainLength = 0;
    SECURITY_STATUS status =
        ::NCryptDecrypt(privateKey, const_cast<BYTE*>(recipient.encryptedKey.content),
                        encryptedLength, padding, nullptr, 0, &plainLength, flags);
    if (status == ERROR_SUCCESS) {
        plain.resize(plainLength);
        status = ::NCryptDecrypt(privateKey, const_cast<BYTE*>(recipient.encryptedKey.content),
                                 encryptedLength, padding, plain.data(), plainLength, &plainLength,
                                 flags);
    }
    if (status != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    plain.resize(plainLength);
    return true;
}

// The content key decrypted by a CryptoAPI key, in whatever provider holds it: a provider
// of type PROV_RSA_FULL (the base and smart-card ones) decrypts RSA but has no AES.
bool DecryptWithCryptoApi(HCRYPTPROV handle, DWORD keySpec, const Recipient& recipient,
                          std::vector<BYTE>& plain) {
    MHFX::CryptKeyHandle privateKey;
    if (!::CryptGetUserKey(handle, keySpec, privateKey.put())) {
        return false;
    }
    // The provider decrypts one whole block in place: a transported key of another length
    // is no key for it (and would be read past).
    DWORD bits = 0;
    DWORD bitsLength = sizeof bits;
    if (!::CryptGetKeyParam(privateKey.get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits),
                            &bitsLength, 0)) {
        return false;
    }
    if (recipient.encryptedKey.length != (bits + 7) / 8) {
        ::SetLastError(static_cast<DWORD>(NTE_BAD_DATA));
        return false;
    }
    // CryptoAPI keeps big numbers least significant byte first.
    plain.assign(recipient.encryptedKey.content,
                 recipient.encryptedKey.content + recipient.encryptedKey.length);
    std::reverse(plain.begin(), plain.end());
    DWORD length = static_cast<DWORD>(plain.size());
    const bool isOaep = recipient.transport == KeyTransport::Oaep;
    // CryptoAPI's OAEP is SHA-1's alone.
    if (isOaep && std::wcscmp(recipient.oaepHash, BCRYPT_SHA1_ALGORITHM) != 0) {
        ::SetLastError(static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO));
        return false;
    }
    const DWORD flags = isOaep ? CRYPT_OAEP : 0;
    if (!::CryptDecrypt(privateKey.get(), 0, TRUE, flags, plain.data(), &length)) {
        return false;
    }
    plain.resize(length);
    return true;
}

// The content key unwrapped with the private key of `certificate`, whichever kind of key
// store holds it. False (last error set) when the key is not at hand or does not open the
// transported key.
bool UnwrapKey(PCCERT_CONTEXT certificate, const Recipient& recipient, ALG_ID algorithm,
               MHFX::CryptProvHandle& provider, MHFX::CryptKeyHandle& key) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;
    if (!::CryptAcquireCertificatePrivateKey(certificate, CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG,
                                             nullptr, &handle, &keySpec, &callerFrees)) {
        return false;
    }
    std::vector<BYTE> plain;
    if (keySpec == CERT_NCRYPT_KEY_SPEC) {
        MHFX::NCryptKeyHandle owned(callerFrees ? handle : 0);
        if (!DecryptWithNCrypt(handle, recipient, plain)) {
            return false;
        }
    } else {
        MHFX::CryptProvHandle owned(callerFrees ? handle : 0);
        if (keySpec != AT_KEYEXCHANGE && keySpec != AT_SIGNATURE) {
            ::SetLastError(static_cast<DWORD>(NTE_BAD_KEYSET));
            return false;
        }
        if (!DecryptWithCryptoApi(handle, keySpec, recipient, plain)) {
            return false;
        }
    }
    return ImportPlainKey(plain, algorithm, provider, key);
}

// The envelopedData body of a ContentInfo; false when the message is no envelope.
bool EnvelopeBody(const BYTE* message, DWORD length, Der::Element& enveloped) {
    Der::Reader top(message, length, true);
    Der::Element contentInfo, type, explicitContent;
    if (!top.Expect(Der::kSequence, contentInfo)) {
        return false;
    }
    Der::Reader infoReader(contentInfo, true);
    if (!infoReader.Expect(Der::kOid, type) || !type.IsOid(Der::kOidEnvelopedData)) {
        return false;
    }
    // From here on it is an envelope: whatever is wrong with it is a failure.
    if (!top.AtEnd() || !infoReader.Expect(Der::kContext0, explicitContent) ||
        !infoReader.AtEnd()) {
        ThrowCorrupt();
    }
    Der::Reader explicitReader(explicitContent, true);
    if (!explicitReader.Expect(Der::kSequence, enveloped) || !explicitReader.AtEnd()) {
        ThrowCorrupt();
    }
    return true;
}

// The recipientInfos set of an envelope body, after version and originatorInfo.
Der::Element RecipientSet(Der::Reader& reader) {
    Der::Element version, element;
    if (!reader.Expect(Der::kInteger, version) || !reader.Next(element)) {
        ThrowCorrupt();
    }
    if (element.Is(Der::kContext0)) { // originatorInfo
        if (!reader.Next(element)) {
            ThrowCorrupt();
        }
    }
    if (!element.Is(Der::kSet)) {
        ThrowCorrupt();
    }
    return element;
}

// Steps into the element at `p` expected to carry `tag`, whose content may go on beyond the
// bytes at hand: `p` moves to its content and `end` to the end of what is at hand of it.
bool EnterHeader(const BYTE*& p, const BYTE*& end, BYTE tag) {
    if (end - p < 2 || p[0] != tag) {
        return false;
    }
    size_t length = p[1];
    size_t header = 2;
    if (length == 0x80 && (tag & 0x20)) { // indefinite: where it ends is not told
        p += 2;
        return true;
    }
    if (length & 0x80) {
        const size_t count = length & 0x7F;
        if (count == 0 || count > 4 || static_cast<size_t>(end - p) < 2 + count) {
            return false;
        }
        length = 0;
        for (size_t i = 0; i < count; ++i) {
            length = (length << 8) | p[2 + i];
        }
        header += count;
    }
    p += header;
    if (length < static_cast<size_t>(end - p)) {
        end = p + length;
    }
    return true;
}

// The next whole element at `p`, which then moves past it.
bool TakeElement(const BYTE*& p, const BYTE* end, Der::Element& element) {
    Der::Reader reader(p, static_cast<size_t>(end - p));
    if (!reader.Next(element)) {
        return false;
    }
    p = element.content + element.length;
    return true;
}

// Walks the first bytes of an envelope up to its recipients' set, past the ContentInfo, its
// type, [0], the body, its version and perhaps originatorInfo.
bool SkipToRecipients(const BYTE*& p, const BYTE*& end) {
    Der::Element element;
    if (!EnterHeader(p, end, Der::kSequence) || !TakeElement(p, end, element) ||
        !element.IsOid(Der::kOidEnvelopedData) || !EnterHeader(p, end, Der::kContext0) ||
        !EnterHeader(p, end, Der::kSequence) || !TakeElement(p, end, element) ||
        !element.Is(Der::kInteger)) {
        return false;
    }
    return !(p < end && *p == Der::kContext0 && !TakeElement(p, end, element));
}

// Where the encrypted bytes begin, when the first `length` bytes tell it: they hold all the
// envelope's headers and the bytes are one primitive string. Else 0.
DWORD EncryptedContentOffset(const BYTE* head, DWORD length) {
    const BYTE* p = head;
    const BYTE* end = head + length;
    Der::Element element;
    if (!SkipToRecipients(p, end) || !TakeElement(p, end, element) || !element.Is(Der::kSet) ||
        !EnterHeader(p, end, Der::kSequence) || !TakeElement(p, end, element) ||
        !TakeElement(p, end, element) || !EnterHeader(p, end, Der::kContext0Primitive)) {
        return 0;
    }
    return static_cast<DWORD>(p - head);
}

// With `inPlace`, `message` lies in `content`, which ends up narrowed to the plain content.
EnvelopeResult Open(const BYTE* message, DWORD length, HCERTSTORE store, ContentSection& content,
                    std::vector<BYTE>& innerContentType, bool inPlace, const Arrival& arrived,
                    std::string& unsupported, size_t& opener) {
    // All that is parsed lies before the encrypted bytes: wait for that much where the first
    // bytes tell where they begin, else for the whole message.
    const DWORD head = std::min(length, kHead);
    arrived(head);
    const DWORD encryptedOffset = EncryptedContentOffset(message, head);
    arrived(encryptedOffset != 0 ? encryptedOffset : length);
    Der::Element enveloped;
    if (!EnvelopeBody(message, length, enveloped)) {
        return EnvelopeResult::NotEnvelope;
    }
    Der::Reader reader(enveloped, true);
    const Der::Element recipients = RecipientSet(reader);
    Der::Element encryptedInfo;
    if (!reader.Expect(Der::kSequence, encryptedInfo)) {
        ThrowCorrupt();
    }

    // encryptedContentInfo: type, algorithm and IV, encrypted bytes (one primitive string or
    // a constructed one of definite-length pieces).
    Der::Reader encryptedReader(encryptedInfo, true);
    Der::Element innerType, algorithm, algorithmOid, iv, encrypted;
    if (!encryptedReader.Expect(Der::kOid, innerType) ||
        !encryptedReader.Expect(Der::kSequence, algorithm) || !encryptedReader.Next(encrypted)) {
        ThrowCorrupt();
    }
    Der::Reader algorithmReader(algorithm);
    if (!algorithmReader.Expect(Der::kOid, algorithmOid) ||
        !algorithmReader.Expect(Der::kOctetString, iv)) {
        ThrowCorrupt();
    }
    const CipherInfo* cipher = nullptr;
    for (const CipherInfo& candidate : kCiphers) {
        if (algorithmOid.IsOid(*candidate.oid)) {
            cipher = &candidate;
        }
    }
    if (cipher == nullptr) {
        unsupported = OidOf(algorithmOid);
        throw Win32Exception(static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO));
    }
    if (iv.length != cipher->blockSize) {
        ThrowCorrupt();
    }
    std::vector<Der::Element> pieces;
    if (encrypted.Is(Der::kContext0Primitive)) {
        pieces.push_back(encrypted);
    } else if (encrypted.Is(Der::kContext0)) {
        Der::Reader pieceReader(encrypted, true);
        Der::Element piece;
        while (pieceReader.Next(piece)) {
            if (!piece.Is(Der::kOctetString)) {
                ThrowCorrupt();
            }
            pieces.push_back(piece);
        }
        if (pieceReader.Failed()) {
            ThrowCorrupt();
        }
    } else {
        ThrowCorrupt();
    }
    // What was parsed had all arrived only if both readings find the encrypted bytes at one
    // place.
    if (encryptedOffset != 0 && pieces.front().content != message + encryptedOffset) {
        ThrowCorrupt();
    }
    uint64_t cipherLength = 0;
    for (const Der::Element& piece : pieces) {
        cipherLength += piece.length;
    }
    if (cipherLength == 0 || cipherLength % cipher->blockSize != 0) {
        ThrowCorrupt();
    }

    // The first recipient whose certificate and private key the store has. The certificate
    // is kept until the end: a provider that it caches must outlive the key.
    MHFX::CertContextHandle certificate;
    MHFX::CryptProvHandle provider;
    MHFX::CryptKeyHandle key;
    DWORD lastError = static_cast<DWORD>(CRYPT_E_RECIPIENT_NOT_FOUND);
    Der::Reader recipientReader(recipients);
    Der::Element info;
    // Counted as ReadEnvelopeRecipients lists them: the recipients it can name.
    size_t named = 0;
    while (!key && recipientReader.Next(info)) {
        Recipient recipient;
        if (!ReadRecipient(info, recipient)) {
            continue;
        }
        opener = named++;
        PCCERT_CONTEXT found = nullptr;
        while (!key && (found = FindRecipientCertificate(store, recipient, found)) != nullptr) {
            if (recipient.transport == KeyTransport::Unsupported) {
                if (HasPrivateKey(found)) {
                    unsupported = recipient.algorithm;
                }
            } else if (!UnwrapKey(found, recipient, cipher->algorithm, provider, key)) {
                lastError = ::GetLastError();
                if (lastError == static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO)) {
                    unsupported = recipient.algorithm;
                }
            }
        }
        certificate.reset(found);
    }
    if (recipientReader.Failed()) {
        ThrowCorrupt();
    }
    if (!key) {
        // Ours, but in a form this platform cannot open: not the same as not ours.
        throw Win32Exception(unsupported.empty() ? lastError
                                                 : static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO));
    }
    ThrowLastErrorIf(!::CryptSetKeyParam(key.get(), KP_IV, iv.content, 0));

    innerContentType.assign(innerType.content, innerType.content + innerType.length);
    // In place the pieces only move towards the front, each past the headers before it.
    if (!inPlace) {
        content.Create(static_cast<DWORD>(cipherLength));
    }
    BYTE* const start =
        inPlace ? content.Data() + (pieces.front().content - message) : content.Data();
    BYTE* out = start;
    for (const Der::Element& piece : pieces) {
        if (out != piece.content) {
            std::memmove(out, piece.content, piece.length);
        }
        out += piece.length;
    }
    const DWORD startOffset = static_cast<DWORD>(start - content.Data());
    const DWORD plainLength = Transform(key.get(), start, static_cast<DWORD>(cipherLength),
                                        static_cast<DWORD>(cipherLength), false,
                                        [&](DWORD end) { arrived(startOffset + end); });
    content.Narrow(startOffset, plainLength);
    return EnvelopeResult::Opened;
}

EnvelopeResult OpenGuarded(const BYTE* message, DWORD length, HCERTSTORE store,
                           ContentSection& content, std::vector<BYTE>& innerContentType,
                           bool inPlace, const Arrival& arrived, std::string* unsupportedAlgorithm,
                           size_t* openedRecipient) {
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    std::string unsupported;
    size_t opener = kNoRecipient;
    try {
        const EnvelopeResult result = Open(message, length, store, content, innerContentType,
                                           inPlace, arrived, unsupported, opener);
        if (unsupportedAlgorithm != nullptr) {
            unsupportedAlgorithm->clear();
        }
        if (openedRecipient != nullptr) {
            *openedRecipient = result == EnvelopeResult::Opened ? opener : kNoRecipient;
        }
        return result;
    } catch (const Win32Exception& e) {
        error = e.ErrorCode();
    } catch (const std::bad_alloc&) {
    }
    // A section still being read into is the reader's to let go.
    if (!inPlace) {
        content.Reset();
    }
    if (unsupportedAlgorithm != nullptr) {
        *unsupportedAlgorithm =
            error == static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO) ? unsupported : "";
    }
    if (openedRecipient != nullptr) {
        *openedRecipient = kNoRecipient;
    }
    ::SetLastError(error);
    return EnvelopeResult::Failed;
}

} // namespace

namespace {

EnvelopeRecipient Named(const Recipient& recipient) {
    EnvelopeRecipient named;
    if (recipient.keyId.content != nullptr) {
        named.keyId.assign(recipient.keyId.content,
                           recipient.keyId.content + recipient.keyId.length);
    } else {
        named.issuer.assign(recipient.issuer.begin, recipient.issuer.begin + recipient.issuer.size);
        named.serial.assign(recipient.serial.content,
                            recipient.serial.content + recipient.serial.length);
        std::reverse(named.serial.begin(), named.serial.end());
    }
    return named;
}

void AddRecipients(const BYTE* set, size_t length, size_t most,
                   std::vector<EnvelopeRecipient>& found) {
    Der::Reader recipientReader(set, length);
    Der::Element info;
    while (found.size() < most && recipientReader.Next(info)) {
        Recipient recipient;
        if (ReadRecipient(info, recipient)) {
            found.push_back(Named(recipient));
        }
    }
}

} // namespace

std::vector<EnvelopeRecipient> ReadEnvelopeRecipients(const BYTE* message, DWORD length) noexcept {
    std::vector<EnvelopeRecipient> found;
    try {
        Der::Element enveloped;
        if (!EnvelopeBody(message, length, enveloped)) {
            return found;
        }
        Der::Reader reader(enveloped);
        const Der::Element set = RecipientSet(reader);
        AddRecipients(set.content, set.length, std::numeric_limits<size_t>::max(), found);
    } catch (const Win32Exception&) {
    } catch (const std::bad_alloc&) {
    }
    return found;
}

std::vector<EnvelopeRecipient> ReadEnvelopeRecipientsFromHead(const BYTE* head, DWORD length,
                                                              size_t most) noexcept {
    std::vector<EnvelopeRecipient> found;
    const BYTE* p = head;
    const BYTE* end = head + length;
    if (!SkipToRecipients(p, end)) {
        return found;
    }
    try {
        if (EnterHeader(p, end, Der::kSet)) {
            AddRecipients(p, static_cast<size_t>(end - p), most, found);
        }
    } catch (const Win32Exception&) {
    } catch (const std::bad_alloc&) {
    }
    return found;
}

bool IsEnvelopedData(const BYTE* message, DWORD length) noexcept {
    // An indefinite length is told by the first bytes alone; the rest may not have arrived.
    if (length >= 2 && message[0] == Der::kSequence && message[1] == 0x80) {
        const BYTE* p = message;
        const BYTE* end = message + length;
        Der::Element type;
        return EnterHeader(p, end, Der::kSequence) && TakeElement(p, end, type) &&
               type.IsOid(Der::kOidEnvelopedData);
    }
    Der::Reader top(message, length);
    Der::Element contentInfo, type;
    if (!top.Expect(Der::kSequence, contentInfo)) {
        return false;
    }
    Der::Reader infoReader(contentInfo);
    return infoReader.Expect(Der::kOid, type) && type.IsOid(Der::kOidEnvelopedData);
}

EnvelopeResult OpenEnvelope(const BYTE* message, DWORD length, HCERTSTORE store,
                            ContentSection& content, std::vector<BYTE>& innerContentType,
                            std::string* unsupportedAlgorithm, size_t* openedRecipient) {
    return OpenGuarded(message, length, store, content, innerContentType, false, NoWait,
                       unsupportedAlgorithm, openedRecipient);
}

EnvelopeResult OpenEnvelopeInPlace(ContentSection& section, HCERTSTORE store,
                                   std::vector<BYTE>& innerContentType, const Arrival& arrived,
                                   std::string* unsupportedAlgorithm,
                                   size_t* openedRecipient) {
    return OpenGuarded(section.Data(), section.Length(), store, section, innerContentType, true,
                       arrived, unsupportedAlgorithm, openedRecipient);
}

} // namespace Dossiq::Documents
