#include "document/timestamp/timestamp_client.h"

#include <winhttp.h>

#include "foundation/net/http_exchange.h"

namespace Dossiq::Documents {

using MHFX::Net::HttpExchange;
using MHFX::Net::HttpOutcome;
using MHFX::Net::HttpReply;
using MHFX::Net::HttpRequest;

std::vector<BYTE> PostTimestampQuery(const std::wstring& url, const std::vector<BYTE>& query) {
    HttpRequest request;
    request.url = url;
    request.verb = L"POST";
    request.headers = L"Content-Type: application/timestamp-query\r\n"
                      L"Accept: application/timestamp-reply\r\n";
    request.body = query;
    request.timeoutMs = kTimestampTimeoutMs;
    HttpReply reply;
    switch (HttpExchange(request, reply)) {
    case HttpOutcome::Replied:
        break;
    case HttpOutcome::TooLarge:
        throw TimestampError(TimestampProblem::Malformed);
    case HttpOutcome::TimedOut:
        throw TimestampError(TimestampProblem::Unreachable, ERROR_WINHTTP_TIMEOUT);
    case HttpOutcome::Unreachable:
        throw TimestampError(TimestampProblem::Unreachable, ::GetLastError());
    }
    if (reply.status != 200) {
        throw TimestampError(TimestampProblem::Unreachable, reply.status);
    }
    return std::move(reply.body);
}

std::vector<BYTE> RequestSignatureTimestamp(const std::wstring& url,
                                            const std::vector<BYTE>& signature) {
    if (signature.empty()) {
        throw TimestampError(TimestampProblem::Malformed);
    }
    const std::vector<BYTE> nonce = NewNonce();
    const std::vector<BYTE> reply =
        PostTimestampQuery(url, EncodeTimestampRequest(signature, nonce));
    std::vector<BYTE> encoded = TokenOfResponse(reply.data(), reply.size());
    const TimestampToken token = DecodeTimestampToken(encoded);
    CheckImprint(token, signature);
    if (token.nonce != nonce) {
        throw TimestampError(TimestampProblem::NonceMismatch);
    }
    return encoded;
}

} // namespace Dossiq::Documents
