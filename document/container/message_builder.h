// The PKCS#7 message of each container kind, made from the archive bytes. Each returns false
// with the thread's last error set to the cause when the message cannot be made; `message`
// is then empty.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "document/container/message_blob.h"

// signedData over the archive: one signer, `hashOid` (e.g. "1.2.840.113549.1.1.5"), the
// signer's certificate embedded, the archive embedded.
bool SignArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                 const std::string& hashOid, MessageBlob& message);

// envelopedData around the archive for one recipient (des-ede3-cbc, key transported with the
// recipient's RSA key).
bool EncryptArchive(const MessageBlob& archive, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message);

// envelopedData whose encrypted content is the bare SignedData that SignArchive would wrap.
bool ProtectArchive(const MessageBlob& archive, PCCERT_CONTEXT signingCertificate,
                    const std::string& hashOid, PCCERT_CONTEXT recipientCertificate,
                    MessageBlob& message);
