// Asks a time-stamping authority (RFC 3161 over HTTP) for a token over a signature value.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "document/timestamp/timestamp_token.h"

namespace Dossiq::Documents {

// How long one request may take in all.
constexpr DWORD kTimestampTimeoutMs = 15000;

// POSTs an application/timestamp-query to `url` and returns the reply's body. Throws
// TimestampError(Unreachable) for anything short of a 200 reply.
std::vector<BYTE> PostTimestampQuery(const std::wstring& url, const std::vector<BYTE>& query);

// A token over `signature` (SHA-256 imprint, a fresh nonce, the certificate asked for),
// checked: granted, the imprint and nonce match, the token's signature verifies and its
// signer has the time-stamping usage. Throws TimestampError with the reason.
std::vector<BYTE> RequestSignatureTimestamp(const std::wstring& url,
                                            const std::vector<BYTE>& signature);

} // namespace Dossiq::Documents
