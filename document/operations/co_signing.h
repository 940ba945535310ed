// Adding a parallel signature to a Signed Document: the new signer signs the same content
// with the same signed attributes, timestamp and long-term data as a first signature. The
// existing SignerInfos (with their unsigned attributes) and the content are kept byte for
// byte, so earlier signatures and their timestamps stay valid; the new signer's
// certificates and revocation data join the message's, without duplicates. The file is
// written through a temporary file renamed into place, so a failure leaves it as it was. A
// Protected Document's inner signature could only be co-signed by encrypting it anew, so it
// is left alone.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <string>
#include <vector>

#include "document/container/message_builder.h"

namespace Dossiq::Documents {

enum class CoSigningOutcome {
    Signed,
    AlreadySigned, // the certificate has signed the document before: left unchanged
    Enveloped,     // a Protected or Encrypted Document: left unchanged
    Tampered,      // a signature does not match: not touched
    Unreadable,    // not a Signed Document in a form that can be extended
    NotSigned,     // the new signature could not be made (`error` says why)
    WriteFailed,   // the new file could not be written; the old one is as it was
};

struct CoSigningResult {
    CoSigningOutcome outcome = CoSigningOutcome::Unreadable;
    DWORD error = 0; // the platform's code of a failure, when known
};

// Signs the document at `path` with `signer` as well and writes it to `outputPath` (which
// may be `path`). Blocks while the stamper and the source reach the network. Never throws.
CoSigningResult AddSignature(const std::wstring& path, const std::wstring& outputPath,
                             PCCERT_CONTEXT signer, const SignatureStamper& stamper = {},
                             const ValidationDataSource& source = {});

// The bare SignedData `signedData` with the signer of the one-signer SignedData `other`
// (over the same content) added after its own, and the certificates, revocation data and
// digest algorithms of `other` it lacks; empty when either is not a definite-length
// SignedData.
std::vector<BYTE> WithParallelSigner(const BYTE* signedData, size_t length, const BYTE* other,
                                     size_t otherLength);

} // namespace Dossiq::Documents
