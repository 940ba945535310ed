// The first signer of a bare SignedData (the SEQUENCE, without its ContentInfo) read and
// extended at the DER level: its signature value, and a new unsigned attribute, which the
// signature does not cover and may therefore be added after signing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace Dossiq::Documents {

// The first signer's signature value; empty when the encoding is not a SignedData.
std::vector<BYTE> FirstSignatureValue(const BYTE* signedData, size_t length);

// The SignedData with an attribute (`oid` encoded, one `value` element) added to the first
// signer's unsigned attributes; empty when the encoding is not a SignedData.
std::vector<BYTE> WithUnsignedAttribute(const BYTE* signedData, size_t length,
                                        const std::vector<BYTE>& oid,
                                        const std::vector<BYTE>& value);

} // namespace Dossiq::Documents
