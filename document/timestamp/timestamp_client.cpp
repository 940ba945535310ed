#include "document/timestamp/timestamp_client.h"

#include <winhttp.h>

#include "foundation/handle.h"

namespace {

struct InternetTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::WinHttpCloseHandle(value); }
};
using InternetHandle = MHFX::UniqueHandle<InternetTraits>;

constexpr size_t kMaxReply = 1 << 20;

void Reachable(bool ok) {
    if (!ok) {
        throw TimestampError(TimestampProblem::Unreachable, ::GetLastError());
    }
}

} // namespace

std::vector<BYTE> PostTimestampQuery(const std::wstring& url, const std::vector<BYTE>& query) {
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {};
    wchar_t path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.dwExtraInfoLength = 1; // the query string stays part of the path
    Reachable(!url.empty() && ::WinHttpCrackUrl(url.c_str(), 0, 0, &parts));
    std::wstring object = path;
    if (parts.lpszExtraInfo && parts.dwExtraInfoLength) {
        object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }

    InternetHandle session(::WinHttpOpen(L"Dossiq", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    Reachable(session.get() != nullptr);
    const int timeout = static_cast<int>(kTimestampTimeoutMs);
    ::WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
    InternetHandle connection(::WinHttpConnect(session.get(), host, parts.nPort, 0));
    Reachable(connection.get() != nullptr);
    InternetHandle request(
        ::WinHttpOpenRequest(connection.get(), L"POST", object.empty() ? L"/" : object.c_str(),
                             nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    Reachable(request.get() != nullptr);
    const wchar_t headers[] = L"Content-Type: application/timestamp-query\r\n"
                              L"Accept: application/timestamp-reply\r\n";
    Reachable(::WinHttpSendRequest(
                  request.get(), headers, static_cast<DWORD>(-1), const_cast<BYTE*>(query.data()),
                  static_cast<DWORD>(query.size()), static_cast<DWORD>(query.size()), 0) &&
              ::WinHttpReceiveResponse(request.get(), nullptr));
    DWORD status = 0;
    DWORD statusLength = sizeof(status);
    Reachable(::WinHttpQueryHeaders(
        request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
        WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusLength, WINHTTP_NO_HEADER_INDEX));
    if (status != 200) {
        throw TimestampError(TimestampProblem::Unreachable, status);
    }
    std::vector<BYTE> reply;
    for (;;) {
        BYTE buffer[8192];
        DWORD read = 0;
        Reachable(::WinHttpReadData(request.get(), buffer, sizeof(buffer), &read));
        if (read == 0) {
            break;
        }
        reply.insert(reply.end(), buffer, buffer + read);
        if (reply.size() > kMaxReply) {
            throw TimestampError(TimestampProblem::Malformed);
        }
    }
    return reply;
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
