#include "document/container/message_builder.h"

#include <cstring>
#include <new>
#include <vector>

#include "document/container/der.h"
#include "document/container/envelope.h"
#include "document/container/signed_attributes.h"
#include "document/container/signer_attributes.h"
#include "document/timestamp/timestamp_token.h"
#include "foundation/handle.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

using MHFX::ThrowLastErrorIf;
using MHFX::Win32Exception;

// The signer's private key, able to sign with `hashAlgorithm`. The certificate's own
// provider comes first, a key storage provider (CNG) as well as a CryptoAPI one. The older
// Microsoft RSA providers know no SHA-2, and their key containers open as well through the
// enhanced RSA and AES provider; a key only CNG reaches is taken from CNG. Anything else
// ends in kErrorSigningKeyHashUnsupported, never in a signature with another hash.
class SigningKey {
public:
    SigningKey(PCCERT_CONTEXT signer, ALG_ID hashAlgorithm) {
        HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
        DWORD keySpec = 0;
        BOOL callerFrees = FALSE;
        DWORD acquireError = ERROR_SUCCESS;
        if (::CryptAcquireCertificatePrivateKey(signer, CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG,
                                                nullptr, &handle, &keySpec, &callerFrees)) {
            if (keySpec == CERT_NCRYPT_KEY_SPEC) {
                TakeCng(handle, callerFrees);
                return;
            }
            MHFX::CryptProvHandle owned(callerFrees ? handle : 0);
            if (CanHash(handle, hashAlgorithm)) {
                Take(std::move(owned), handle, keySpec);
                return;
            }
            if (OpenEnhanced(signer, keySpec, hashAlgorithm)) {
                return;
            }
        } else {
            acquireError = ::GetLastError();
        }
        if (OpenCng(signer)) {
            return;
        }
        // No key at all is the ordinary failure; a key that cannot hash is this one.
        throw Win32Exception(acquireError != ERROR_SUCCESS ? acquireError
                                                           : kErrorSigningKeyHashUnsupported);
    }

    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE Handle() const noexcept { return handle_; }
    DWORD KeySpec() const noexcept { return keySpec_; }

private:
    static bool CanHash(HCRYPTPROV provider, ALG_ID hashAlgorithm) {
        MHFX::CryptHashHandle hash;
        return ::CryptCreateHash(provider, hashAlgorithm, 0, 0, hash.put()) != FALSE;
    }

    void Take(MHFX::CryptProvHandle owned, HCRYPTPROV handle, DWORD keySpec) {
        provider_ = std::move(owned);
        handle_ = handle;
        keySpec_ = keySpec;
    }

    // The certificate's key container through PROV_RSA_AES, if it holds the certificate's
    // key there.
    bool OpenEnhanced(PCCERT_CONTEXT signer, DWORD keySpec, ALG_ID hashAlgorithm) {
        DWORD length = 0;
        if (!::CertGetCertificateContextProperty(signer, CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                                 &length)) {
            return false;
        }
        std::vector<BYTE> buffer(length);
        if (!::CertGetCertificateContextProperty(signer, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(),
                                                 &length)) {
            return false;
        }
        const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
        if (info->dwProvType == 0 || info->pwszContainerName == nullptr) {
            return false; // a CNG key
        }
        MHFX::CryptProvHandle provider;
        if (!::CryptAcquireContextW(provider.put(), info->pwszContainerName, MS_ENH_RSA_AES_PROV_W,
                                    PROV_RSA_AES, info->dwFlags & CRYPT_MACHINE_KEYSET) ||
            !CanHash(provider.get(), hashAlgorithm)) {
            return false;
        }
        // A container of the same name need not hold the same key.
        DWORD publicLength = 0;
        if (!::CryptExportPublicKeyInfo(provider.get(), keySpec, X509_ASN_ENCODING, nullptr,
                                        &publicLength)) {
            return false;
        }
        std::vector<BYTE> publicKey(publicLength);
        if (!::CryptExportPublicKeyInfo(provider.get(), keySpec, X509_ASN_ENCODING,
                                        reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(publicKey.data()),
                                        &publicLength) ||
            !::CertComparePublicKeyInfo(
                X509_ASN_ENCODING, &signer->pCertInfo->SubjectPublicKeyInfo,
                reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(publicKey.data()))) {
            return false;
        }
        const HCRYPTPROV handle = provider.get();
        Take(std::move(provider), handle, keySpec);
        return true;
    }

    // CNG signs with every SHA-2 hash.
    bool OpenCng(PCCERT_CONTEXT signer) {
        HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
        DWORD keySpec = 0;
        BOOL callerFrees = FALSE;
        if (!::CryptAcquireCertificatePrivateKey(signer, CRYPT_ACQUIRE_ONLY_NCRYPT_KEY_FLAG,
                                                 nullptr, &handle, &keySpec, &callerFrees)) {
            return false;
        }
        if (keySpec != CERT_NCRYPT_KEY_SPEC) {
            // Not what was asked for: let it go the way it came.
            if (callerFrees) {
                ::CryptReleaseContext(handle, 0);
            }
            return false;
        }
        TakeCng(handle, callerFrees);
        return true;
    }

    // A key storage provider's key: the encoder signs through it with dwKeySpec telling so.
    void TakeCng(HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle, BOOL callerFrees) {
        key_.reset(callerFrees ? handle : 0);
        handle_ = handle;
        keySpec_ = CERT_NCRYPT_KEY_SPEC;
    }

    MHFX::CryptProvHandle provider_;
    MHFX::NCryptKeyHandle key_;
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle_ = 0;
    DWORD keySpec_ = 0;
};

// A SignedData over the archive, encoded once by the platform: the signature is computed
// while the content is fed in, and the bare encoding (without its ContentInfo) is then
// written straight into the caller's buffer.
class SignedDataEncoder {
public:
    SignedDataEncoder(const MessageBlob& archive, PCCERT_CONTEXT signer, const std::string& hashOid,
                      const SignatureStamper& stamper, const ValidationDataSource& source)
        : key_(signer, HashAlgorithm(hashOid)) {
        SignedAttributes attributes(signer);
        CMSG_SIGNER_ENCODE_INFO signerInfo = {};
        signerInfo.cbSize = sizeof signerInfo;
        signerInfo.pCertInfo = signer->pCertInfo;
        signerInfo.hCryptProv = key_.Handle();
        signerInfo.dwKeySpec = key_.KeySpec();
        signerInfo.HashAlgorithm.pszObjId = const_cast<char*>(hashOid.c_str());
        signerInfo.cAuthAttr = attributes.Count();
        signerInfo.rgAuthAttr = attributes.Get();
        CERT_BLOB certificate = {signer->cbCertEncoded, signer->pbCertEncoded};
        CMSG_SIGNED_ENCODE_INFO info = {};
        info.cbSize = sizeof info;
        info.cSigners = 1;
        info.rgSigners = &signerInfo;
        info.cCertEncoded = 1;
        info.rgCertEncoded = &certificate;
        message_.reset(::CryptMsgOpenToEncode(kEncoding, 0, CMSG_SIGNED, &info, nullptr, nullptr));
        ThrowLastErrorIf(!message_);
        ThrowLastErrorIf(!::CryptMsgUpdate(message_.get(), archive.Data(), archive.Length(), TRUE));
        ThrowLastErrorIf(
            !::CryptMsgGetParam(message_.get(), CMSG_BARE_CONTENT_PARAM, 0, nullptr, &length_));
        if (stamper || source) {
            Complete(signer, stamper, source);
        }
    }

    DWORD Length() const { return length_; }

    void Write(BYTE* out) const {
        if (!stamped_.empty()) {
            std::memcpy(out, stamped_.data(), stamped_.size());
            return;
        }
        DWORD length = length_;
        ThrowLastErrorIf(
            !::CryptMsgGetParam(message_.get(), CMSG_BARE_CONTENT_PARAM, 0, out, &length));
        // The layout around it was made for the announced length.
        if (length != length_) {
            throw Win32Exception(static_cast<DWORD>(CRYPT_E_BAD_ENCODE));
        }
    }

private:
    // The token goes into the signer's unsigned attributes and the validation data into the
    // certificates and crls fields, so the encoding is rewritten around them; the signature
    // itself does not change.
    void Complete(PCCERT_CONTEXT signer, const SignatureStamper& stamper,
                  const ValidationDataSource& source) {
        std::vector<BYTE> bare(length_);
        Write(bare.data());
        const std::vector<BYTE> token =
            stamper ? stamper(FirstSignatureValue(bare.data(), bare.size())) : std::vector<BYTE>();
        if (!token.empty()) {
            bare =
                WithUnsignedAttribute(bare.data(), bare.size(), kOidTimestampTokenAttribute, token);
            Check(bare);
        }
        const ValidationData data = source ? source(signer, token) : ValidationData();
        if (!data.Empty()) {
            bare = WithValidationData(bare.data(), bare.size(), data);
            Check(bare);
        }
        if (!token.empty() || !data.Empty()) {
            stamped_ = std::move(bare);
            length_ = static_cast<DWORD>(stamped_.size());
        }
    }

    static void Check(const std::vector<BYTE>& encoding) {
        if (encoding.empty() || encoding.size() > MAXDWORD) {
            throw Win32Exception(static_cast<DWORD>(CRYPT_E_BAD_ENCODE));
        }
    }

    static ALG_ID HashAlgorithm(const std::string& hashOid) {
        const ALG_ID algorithm = ::CertOIDToAlgId(hashOid.c_str());
        if (algorithm == 0 || GET_ALG_CLASS(algorithm) != ALG_CLASS_HASH) {
            throw Win32Exception(static_cast<DWORD>(NTE_BAD_ALGID));
        }
        return algorithm;
    }

    // The message is closed before the key it signs with.
    SigningKey key_;
    MHFX::CryptMsgHandle message_;
    DWORD length_ = 0;
    std::vector<BYTE> stamped_;
};

template <typename Step> bool Reported(MessageBlob& message, Step step) {
    message.Release();
    try {
        step();
        return true;
    } catch (const Win32Exception& e) {
        message.Release();
        ::SetLastError(e.ErrorCode());
    } catch (const std::bad_alloc&) {
        message.Release();
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return false;
}

void Allocate(MessageBlob& message, DWORD length) {
    if (!message.Allocate(length)) {
        throw Win32Exception(ERROR_NOT_ENOUGH_MEMORY);
    }
}

void CheckArguments(const MessageBlob& archive, PCCERT_CONTEXT certificate) {
    if (archive.Data() == nullptr || certificate == nullptr) {
        throw Win32Exception(ERROR_INVALID_PARAMETER);
    }
}

void CheckArguments(const MessageBlob& archive, const Recipients& recipients) {
    if (recipients.empty()) {
        throw Win32Exception(ERROR_INVALID_PARAMETER);
    }
    for (PCCERT_CONTEXT recipient : recipients) {
        CheckArguments(archive, recipient);
    }
}

} // namespace

bool SignArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                 const std::string& hashOid, MessageBlob& message, const SignatureStamper& stamper,
                 const ValidationDataSource& source) {
    return Reported(message, [&] {
        CheckArguments(archive, signingCertificate);
        SignedDataEncoder encoder(archive, signingCertificate, hashOid, stamper, source);
        const uint64_t bare = encoder.Length();
        const uint64_t inner = Der::HeaderLength(Der::kOidSignedData.size()) +
                               Der::kOidSignedData.size() + Der::HeaderLength(bare) + bare;
        const uint64_t total = Der::HeaderLength(inner) + inner;
        if (total > MAXDWORD) {
            throw Win32Exception(ERROR_ARITHMETIC_OVERFLOW);
        }
        std::vector<BYTE> header;
        Der::AppendHeader(header, Der::kSequence, inner);
        Der::AppendElement(header, Der::kOid, Der::kOidSignedData);
        Der::AppendHeader(header, Der::kContext0, bare);
        Allocate(message, static_cast<DWORD>(total));
        std::memcpy(message.Data(), header.data(), header.size());
        encoder.Write(message.Data() + header.size());
    });
}

bool SignArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                 MessageBlob& message) {
    return SignArchive(archive, signingCertificate, kSignatureHashOid, message);
}

bool EncryptArchive(const MessageBlob& archive, const Recipients& recipients, MessageBlob& message,
                    ContentCipher cipher) {
    return Reported(message, [&] {
        CheckArguments(archive, recipients);
        EnvelopeSealer sealer(recipients, Der::kOidData, archive.Length(), cipher);
        Allocate(message, sealer.MessageLength());
        sealer.Seal(message.Data(), archive.Data());
    });
}

bool EncryptArchive(const MessageBlob& archive, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message, ContentCipher cipher) {
    return EncryptArchive(archive, Recipients{recipientCertificate}, message, cipher);
}

bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    const std::string& hashOid, const Recipients& recipients, MessageBlob& message,
                    ContentCipher cipher, const SignatureStamper& stamper,
                    const ValidationDataSource& source) {
    return Reported(message, [&] {
        CheckArguments(archive, signingCertificate);
        CheckArguments(archive, recipients);
        SignedDataEncoder encoder(archive, signingCertificate, hashOid, stamper, source);
        EnvelopeSealer sealer(recipients, Der::kOidSignedData, encoder.Length(), cipher);
        Allocate(message, sealer.MessageLength());
        // The signed data is encoded where it is then encrypted in place.
        encoder.Write(message.Data() + sealer.ContentOffset());
        sealer.Seal(message.Data());
    });
}

bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    const std::string& hashOid, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message, ContentCipher cipher, const SignatureStamper& stamper,
                    const ValidationDataSource& source) {
    return ProtectArchive(archive, signingCertificate, hashOid, Recipients{recipientCertificate},
                          message, cipher, stamper, source);
}

bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    PCCERT_CONTEXT recipientCertificate, MessageBlob& message) {
    return ProtectArchive(archive, signingCertificate, kSignatureHashOid, recipientCertificate,
                          message);
}

} // namespace Dossiq::Documents
