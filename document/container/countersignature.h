// Countersignatures (RFC 5652 section 11.4): a SignerInfo in a signer's unsigned attributes
// whose message digest is that of the signer's signature value. It vouches for the signature,
// not the content, and is verified the way a signature is, over those bytes.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/container/signature_verifier.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

constexpr char kCountersignatureOid[] = "1.2.840.113549.1.9.6";

struct Countersignature {
    // From the message's certificates; null when it carries none the countersignature names
    // (which then does not verify).
    MHFX::CertContextHandle signer;
    SignatureStatus status = SignatureStatus::Invalid;
    std::string unsupportedAlgorithm;
    std::vector<BYTE> signatureValue;
};

// Every countersignature among `info`'s unsigned attributes in their order, each verified
// over `info`'s signature value with its certificate from `certificates`. Never throws; one
// that cannot be parsed reads as invalid.
std::vector<Countersignature> ReadCountersignatures(const CMSG_SIGNER_INFO& info,
                                                    HCERTSTORE certificates);

} // namespace Dossiq::Documents
