// The PKCS#7 message of each container kind, made from the archive bytes. Each returns false
// with the thread's last error set to the cause when the message cannot be made; `message`
// is then empty.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/container/envelope.h"
#include "document/container/message_blob.h"
#include "document/container/signed_data_encoder.h"
#include "document/container/signing_key.h"
#include "document/container/validation_data.h"

namespace Dossiq::Documents {

// The algorithms new containers are made with, whoever makes them: signatures with SHA-256
// and RSA, envelopes with aes256-CBC. SHA-1 and des-ede3-cbc are only read.
constexpr char kSignatureHashOid[] = "2.16.840.1.101.3.4.2.1";
constexpr ContentCipher kContentCipher = ContentCipher::Aes256Cbc;

// signedData over the archive (SignedDataEncoder): one signer, `hashOid` (by default
// kSignatureHashOid), the signer's certificate embedded, the archive embedded, the signed
// attributes of SignedAttributes. A key whose provider cannot hash with `hashOid` is opened
// again through one that can (SigningKey); failing that, the last error is
// kErrorSigningKeyHashUnsupported and nothing is signed with another hash. A `stamper`'s
// token becomes the signer's unsigned signatureTimeStampToken attribute; a `source`'s data
// goes into the certificates and crls fields.
bool SignArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                 const std::string& hashOid, MessageBlob& message,
                 const SignatureStamper& stamper = {}, const ValidationDataSource& source = {});
bool SignArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                 MessageBlob& message);

// Whom an envelope is for: 1 to kMostRecipients certificates with RSA keys, each of which
// opens it alone.
using Recipients = std::vector<PCCERT_CONTEXT>;

// envelopedData around the archive (`cipher`, by default kContentCipher; the one content key
// transported with each recipient's RSA key).
bool EncryptArchive(const MessageBlob& archive, const Recipients& recipients, MessageBlob& message,
                    ContentCipher cipher = kContentCipher);
bool EncryptArchive(const MessageBlob& archive, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message, ContentCipher cipher = kContentCipher);

// envelopedData whose encrypted content is the bare SignedData that SignArchive would wrap.
bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    const std::string& hashOid, const Recipients& recipients, MessageBlob& message,
                    ContentCipher cipher = kContentCipher, const SignatureStamper& stamper = {},
                    const ValidationDataSource& source = {});
bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    const std::string& hashOid, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message, ContentCipher cipher = kContentCipher,
                    const SignatureStamper& stamper = {}, const ValidationDataSource& source = {});
bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    PCCERT_CONTEXT recipientCertificate, MessageBlob& message);

} // namespace Dossiq::Documents
