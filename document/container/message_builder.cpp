#include "document/container/message_builder.h"

#include <cstring>
#include <new>

#include "document/container/der.h"
#include "document/container/envelope.h"
#include "foundation/handle.h"
#include "foundation/win32_exception.h"

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

using MHFX::ThrowLastErrorIf;
using MHFX::Win32Exception;

// A SignedData over the archive, encoded once by the platform: the signature is computed
// while the content is fed in, and the bare encoding (without its ContentInfo) is then
// written straight into the caller's buffer.
class SignedDataEncoder {
public:
    SignedDataEncoder(const MessageBlob& archive, PCCERT_CONTEXT signer,
                      const std::string& hashOid) {
        HCRYPTPROV provider = 0;
        DWORD keySpec = 0;
        BOOL callerFrees = FALSE;
        ThrowLastErrorIf(!::CryptAcquireCertificatePrivateKey(signer, 0, nullptr, &provider,
                                                              &keySpec, &callerFrees));
        provider_.reset(callerFrees ? provider : 0);

        CMSG_SIGNER_ENCODE_INFO signerInfo = {};
        signerInfo.cbSize = sizeof signerInfo;
        signerInfo.pCertInfo = signer->pCertInfo;
        signerInfo.hCryptProv = provider;
        signerInfo.dwKeySpec = keySpec;
        signerInfo.HashAlgorithm.pszObjId = const_cast<char*>(hashOid.c_str());
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
    }

    DWORD Length() const { return length_; }

    void Write(BYTE* out) const {
        DWORD length = length_;
        ThrowLastErrorIf(
            !::CryptMsgGetParam(message_.get(), CMSG_BARE_CONTENT_PARAM, 0, out, &length));
        // The layout around it was made for the announced length.
        if (length != length_) {
            throw Win32Exception(static_cast<DWORD>(CRYPT_E_BAD_ENCODE));
        }
    }

private:
    // The message is closed before the provider it signs with.
    MHFX::CryptProvHandle provider_;
    MHFX::CryptMsgHandle message_;
    DWORD length_ = 0;
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

} // namespace

bool SignArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                 const std::string& hashOid, MessageBlob& message) {
    return Reported(message, [&] {
        CheckArguments(archive, signingCertificate);
        SignedDataEncoder encoder(archive, signingCertificate, hashOid);
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

bool EncryptArchive(const MessageBlob& archive, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message) {
    return Reported(message, [&] {
        CheckArguments(archive, recipientCertificate);
        EnvelopeSealer sealer(recipientCertificate, Der::kOidData, archive.Length());
        Allocate(message, sealer.MessageLength());
        std::memcpy(message.Data() + sealer.ContentOffset(), archive.Data(), archive.Length());
        sealer.Seal(message.Data());
    });
}

bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    const std::string& hashOid, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message) {
    return Reported(message, [&] {
        CheckArguments(archive, signingCertificate);
        CheckArguments(archive, recipientCertificate);
        SignedDataEncoder encoder(archive, signingCertificate, hashOid);
        EnvelopeSealer sealer(recipientCertificate, Der::kOidSignedData, encoder.Length());
        Allocate(message, sealer.MessageLength());
        // The signed data is encoded where it is then encrypted in place.
        encoder.Write(message.Data() + sealer.ContentOffset());
        sealer.Seal(message.Data());
    });
}
