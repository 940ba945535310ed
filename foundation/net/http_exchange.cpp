#include "foundation/net/http_exchange.h"

#include <winhttp.h>

#include "foundation/handle.h"

namespace MHFX::Net {

namespace {

using InternetHandle = MHFX::UniqueHandle<MHFX::ClosedBy<HINTERNET, ::WinHttpCloseHandle>>;

} // namespace

HttpOutcome HttpExchange(const HttpRequest& request, HttpReply& reply) {
    reply = {};
    const ULONGLONG started = ::GetTickCount64();
    URL_COMPONENTS url = {};
    url.dwStructSize = sizeof(url);
    wchar_t host[256] = {};
    wchar_t path[2048] = {};
    url.lpszHostName = host;
    url.dwHostNameLength = 256;
    url.lpszUrlPath = path;
    url.dwUrlPathLength = 2048;
    url.dwExtraInfoLength = 1; // the query string stays part of the path
    if (request.url.empty() || !::WinHttpCrackUrl(request.url.c_str(), 0, 0, &url)) {
        return HttpOutcome::Unreachable;
    }
    if (url.nScheme != INTERNET_SCHEME_HTTP && url.nScheme != INTERNET_SCHEME_HTTPS) {
        ::SetLastError(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
        return HttpOutcome::Unreachable;
    }
    std::wstring object = path;
    if (url.lpszExtraInfo && url.dwExtraInfoLength) {
        object.append(url.lpszExtraInfo, url.dwExtraInfoLength);
    }

    InternetHandle session(::WinHttpOpen(L"Dossiq", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return HttpOutcome::Unreachable;
    }
    const int timeout = static_cast<int>(request.timeoutMs);
    ::WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
    InternetHandle connection(::WinHttpConnect(session.get(), host, url.nPort, 0));
    if (!connection) {
        return HttpOutcome::Unreachable;
    }
    InternetHandle handle(
        ::WinHttpOpenRequest(connection.get(), request.verb, object.empty() ? L"/" : object.c_str(),
                             nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                             url.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    const DWORD bodyLength = static_cast<DWORD>(request.body.size());
    if (!handle ||
        !::WinHttpSendRequest(handle.get(),
                              request.headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS
                                                      : request.headers.c_str(),
                              request.headers.empty() ? 0 : static_cast<DWORD>(-1),
                              const_cast<BYTE*>(request.body.data()), bodyLength, bodyLength, 0) ||
        !::WinHttpReceiveResponse(handle.get(), nullptr)) {
        return HttpOutcome::Unreachable;
    }
    DWORD statusLength = sizeof(reply.status);
    if (!::WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &reply.status, &statusLength,
                               WINHTTP_NO_HEADER_INDEX)) {
        return HttpOutcome::Unreachable;
    }
    for (;;) {
        // The per-step timeouts do not bound a reply that trickles in.
        if (::GetTickCount64() - started > request.timeoutMs) {
            return HttpOutcome::TimedOut;
        }
        BYTE buffer[8192];
        DWORD read = 0;
        if (!::WinHttpReadData(handle.get(), buffer, sizeof(buffer), &read)) {
            return HttpOutcome::Unreachable;
        }
        if (read == 0) {
            return HttpOutcome::Replied;
        }
        reply.body.insert(reply.body.end(), buffer, buffer + read);
        if (reply.body.size() > request.maxReply) {
            return HttpOutcome::TooLarge;
        }
    }
}

} // namespace MHFX::Net
