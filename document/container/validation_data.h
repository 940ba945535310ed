// The validation data a long-term signature keeps: certificates of the chains, CRLs and
// OCSP responses, added to a SignedData's certificates and crls fields. Neither field is covered by
// the signature, so adding them after signing changes no signed byte.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace Dossiq::Documents {

struct ValidationData {
    std::vector<std::vector<BYTE>> certificates; // encoded X.509 certificates
    std::vector<std::vector<BYTE>> crls;         // encoded X.509 CRLs
    // Encoded OCSPResponses, kept beside the CRLs as other revocation information (RFC 5940).
    std::vector<std::vector<BYTE>> ocspResponses;
    bool Empty() const noexcept {
        return certificates.empty() && crls.empty() && ocspResponses.empty();
    }
};

// The bare SignedData (the SEQUENCE, without its ContentInfo) with `data` added to its
// fields, leaving out what they already hold; empty when the encoding is not a SignedData.
std::vector<BYTE> WithValidationData(const BYTE* signedData, size_t length,
                                     const ValidationData& data);

} // namespace Dossiq::Documents
