#include "document/container/message_builder.h"

#include <cstring>
#include <new>
#include <vector>

#include "document/container/der.h"
#include "document/container/envelope.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

using MHFX::Win32Exception;

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
        SignedDataEncoder encoder(archive.Data(), archive.Length());
        encoder.AddSigner(signingCertificate, hashOid, stamper, source);
        encoder.Encode();
        const std::vector<BYTE> header = SignedDataEncoder::ContentInfoHeader(encoder.Length());
        const uint64_t total = static_cast<uint64_t>(header.size()) + encoder.Length();
        if (total > MAXDWORD) {
            throw Win32Exception(ERROR_ARITHMETIC_OVERFLOW);
        }
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
        SignedDataEncoder encoder(archive.Data(), archive.Length());
        encoder.AddSigner(signingCertificate, hashOid, stamper, source);
        encoder.Encode();
        if (encoder.Length() > MAXDWORD) {
            throw Win32Exception(ERROR_ARITHMETIC_OVERFLOW);
        }
        EnvelopeSealer sealer(recipients, Der::kOidSignedData, static_cast<DWORD>(encoder.Length()),
                              cipher);
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
