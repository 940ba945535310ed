// RFC 3161 time-stamp tokens over a signature value: the request a signer sends, the reply
// it gets, and the token itself (a SignedData over a TSTInfo) decoded and checked. Only the
// parts a signature time-stamp needs are read; anything else in a token is carried, not
// interpreted.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/timestamp/timestamp_problem.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

// id-aa-signatureTimeStampToken, the unsigned signer attribute that carries the token.
constexpr char kTimestampTokenAttributeOid[] = "1.2.840.113549.1.9.16.2.14";
extern const std::vector<BYTE> kOidTimestampTokenAttribute; // encoded

struct TimestampToken {
    std::vector<BYTE> imprint; // the hashed message
    ALG_ID imprintAlgorithm = CALG_SHA_256;
    std::vector<BYTE> nonce; // the INTEGER's content bytes, empty when absent
    FILETIME time = {};      // genTime, UTC
    MHFX::CertContextHandle authority;
};

std::vector<BYTE> Sha256(const BYTE* data, size_t length);
// A fresh positive nonce of eight bytes.
std::vector<BYTE> NewNonce();
// TimeStampReq: version 1, SHA-256 imprint of `signature`, `nonce`, certReq true.
std::vector<BYTE> EncodeTimestampRequest(const std::vector<BYTE>& signature,
                                         const std::vector<BYTE>& nonce);
// The token of a TimeStampResp; Refused or Malformed when it has none.
std::vector<BYTE> TokenOfResponse(const BYTE* response, size_t length);
// Decodes the token and verifies its signature against the certificate it carries, which
// its signing-certificate attribute must name and whose extended key usage must be
// time-stamping alone, marked critical; a token signed with MD5 or SHA-1 is refused.
// Throws TimestampError.
TimestampToken DecodeTimestampToken(const std::vector<BYTE>& token);
// The token's imprint is the hash of `signature` under the token's algorithm. Throws
// ImprintMismatch.
void CheckImprint(const TimestampToken& token, const std::vector<BYTE>& signature);
// The authority's common name (or, lacking one, its simple display name).
std::wstring AuthorityName(PCCERT_CONTEXT authority);

} // namespace Dossiq::Documents
