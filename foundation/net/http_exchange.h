// One HTTP or HTTPS request through WinHTTP, bounded in time and in the size of its reply:
// what a signer asks of a time-stamping authority, of the CAs' CRL addresses and of their
// OCSP responders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace MHFX::Net {

enum class HttpOutcome {
    Replied,     // a reply with the status and body given
    Unreachable, // no reply (the last error says why), or a URL that is not http(s)
    TooLarge,    // the body grew beyond what was allowed
    TimedOut,    // the reply did not come whole in the time allowed
};

struct HttpRequest {
    std::wstring url;
    const wchar_t* verb = L"GET";
    std::wstring headers; // "Name: value\r\n" lines
    std::vector<BYTE> body;
    DWORD timeoutMs = 15000; // for the whole exchange
    size_t maxReply = 1 << 20;
};

struct HttpReply {
    DWORD status = 0;
    std::vector<BYTE> body;
};

HttpOutcome HttpExchange(const HttpRequest& request, HttpReply& reply);

} // namespace MHFX::Net
