// PKCS#7 envelopedData made and opened with the platform's cryptographic primitives:
// key-transport recipients (RSA, PKCS#1 v1.5, identified by issuer and serial number) and
// content encryption with a fresh key and a random IV carried as the algorithm's parameter,
// as other PKCS#7 implementations expect. New envelopes use aes256-CBC; des-ede3-cbc and the
// other AES sizes are still opened, in definite or (as streaming writers make them)
// indefinite-length form, for RSA-OAEP recipients too (SHA-1; SHA-2 with keys CNG holds).
// The content key is decrypted by whatever provider holds the recipient's key and used in
// one that has the content cipher. A key-agreement recipient is recognised, never opened.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <functional>
#include <string>
#include <vector>

#include "document/container/content_section.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

// The content-encryption algorithms an envelope can be sealed with.
enum class ContentCipher {
    Aes256Cbc,  // what new containers use
    DesEde3Cbc, // what earlier versions wrote
};

// The most recipients one envelope is sealed for: each costs a key transport and a
// RecipientInfo in the header, and more than a few dozen is a mailing list, not a document.
constexpr size_t kMostRecipients = 32;

// Seals content that the caller places into the message buffer itself, so that large
// content is copied at most once: ask for MessageLength(), allocate, put the plain content
// at ContentOffset(), then Seal() writes the header in front and encrypts in place.
class EnvelopeSealer {
public:
    // Generates the content key and IV and transports the one key to each of `recipients`
    // (1 to kMostRecipients, RSA keys), in that order. `innerContentType` is Der::kOidData or
    // Der::kOidSignedData. Throws Win32Exception.
    EnvelopeSealer(const std::vector<PCCERT_CONTEXT>& recipients,
                   const std::vector<BYTE>& innerContentType, DWORD contentLength,
                   ContentCipher cipher = ContentCipher::Aes256Cbc);
    EnvelopeSealer(PCCERT_CONTEXT recipient, const std::vector<BYTE>& innerContentType,
                   DWORD contentLength, ContentCipher cipher = ContentCipher::Aes256Cbc)
        : EnvelopeSealer(std::vector<PCCERT_CONTEXT>{recipient}, innerContentType, contentLength,
                         cipher) {}

    DWORD MessageLength() const noexcept { return messageLength_; }
    DWORD ContentOffset() const noexcept { return static_cast<DWORD>(header_.size()); }

    // `message` holds MessageLength() bytes with the content at ContentOffset(), or, with
    // `content`, the content is copied there from it a slice at a time, each just before it
    // is encrypted. Throws Win32Exception.
    void Seal(BYTE* message, const BYTE* content = nullptr);

private:
    MHFX::CryptProvHandle provider_;
    MHFX::CryptKeyHandle key_;
    std::vector<BYTE> header_;
    DWORD contentLength_;
    DWORD messageLength_ = 0;
};

// The outcome of opening an enveloped message.
enum class EnvelopeResult {
    Opened,      // content decrypted
    NotEnvelope, // not an envelopedData ContentInfo (or one this module cannot read)
    Failed,      // an envelope, but malformed, for nobody in the store, or not decryptable
};

// Whether `message` starts as a ContentInfo of type envelopedData.
bool IsEnvelopedData(const BYTE* message, DWORD length) noexcept;

// Whom an envelope is for: each key-transport recipient by the issuer's encoded name and the
// serial number (little-endian, as the platform keeps it), or by a subject key identifier.
struct EnvelopeRecipient {
    std::vector<BYTE> issuer;
    std::vector<BYTE> serial;
    std::vector<BYTE> keyId;
};
// The recipients of an envelopedData ContentInfo; empty when it cannot be read. Never throws.
std::vector<EnvelopeRecipient> ReadEnvelopeRecipients(const BYTE* message, DWORD length) noexcept;
// The first `most` recipients from the first bytes of such a file: the recipients come
// before the encrypted content, so the rest need not be read.
std::vector<EnvelopeRecipient> ReadEnvelopeRecipientsFromHead(const BYTE* head, DWORD length,
                                                              size_t most) noexcept;

// Opens an envelopedData ContentInfo: finds a recipient among the certificates of `store`
// whose private key is at hand, unwraps the content key with it and decrypts the content
// straight into `content`. `innerContentType` receives the encoded type of the content.
// Never throws; on Failed the last error tells why. CRYPT_E_UNKNOWN_ALGO means the content
// cipher, or the key transport or agreement of a recipient whose key this user holds, is one
// the platform cannot use: `unsupportedAlgorithm` then receives its OID (dotted).
// `openedRecipient` receives the place, among ReadEnvelopeRecipients', of the recipient whose
// key opened it (kNoRecipient unless Opened).
constexpr size_t kNoRecipient = static_cast<size_t>(-1);
EnvelopeResult OpenEnvelope(const BYTE* message, DWORD length, HCERTSTORE store,
                            ContentSection& content, std::vector<BYTE>& innerContentType,
                            std::string* unsupportedAlgorithm = nullptr,
                            size_t* openedRecipient = nullptr);
// Waits until the first bytes of a message, as many as it is given, are at hand; throws
// Win32Exception when they never will be.
using Arrival = std::function<void(DWORD)>;
// OpenEnvelope over a message that `section` holds, decrypted where it lies: on Opened the
// section holds just the plain content, on NotEnvelope it is untouched, on Failed it is left
// to be discarded. The message may still be arriving: no byte is used before `arrived` has
// returned for it.
EnvelopeResult OpenEnvelopeInPlace(ContentSection& section, HCERTSTORE store,
                                   std::vector<BYTE>& innerContentType, const Arrival& arrived,
                                   std::string* unsupportedAlgorithm = nullptr,
                                   size_t* openedRecipient = nullptr);

} // namespace Dossiq::Documents
