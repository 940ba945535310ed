// The TSTInfo of an RFC 3161 time-stamp token, read at the DER level from a stranger's bytes:
// where a token's SignedData encapsulates it, and the fields a signature time-stamp needs.
// Nothing here verifies a signature; see timestamp_token.h.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "document/container/der.h"

namespace Dossiq::Documents {

enum class ImprintHash { Sha256, Sha384, Sha512 };

struct TstInfo {
    ImprintHash imprintHash = ImprintHash::Sha256;
    std::vector<BYTE> imprint;      // as long as the hash's digest
    std::vector<BYTE> nonce;        // the INTEGER's content bytes, empty when absent
    unsigned long long genTime = 0; // 100 ns since 1601-01-01 UTC (a FILETIME's value)
};

// The encoded TSTInfo (the eContent's OCTET STRING content) of a token, a ContentInfo with a
// SignedData of content type id-ct-TSTInfo. Throws TimestampError(Malformed).
Der::Element EncapsulatedTstInfo(const BYTE* token, size_t length);

// Throws TimestampError: UnsupportedImprint for a hash other than SHA-256, -384 and -512,
// Malformed for anything else that is not a TSTInfo.
TstInfo DecodeTstInfo(const BYTE* data, size_t length);

// The digest length of `hash` in bytes.
size_t ImprintLength(ImprintHash hash);

} // namespace Dossiq::Documents
