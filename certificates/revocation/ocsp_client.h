// Asks a certificate's OCSP responders (its authority information access, http and https
// only) for its status: POST with a nonce, bounded in time and size, verified before it is
// kept. One client serves a whole process, so workers share what any of them asked; an
// address that gave no reply is not asked again for a minute.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "certificates/revocation/ocsp_cache.h"
#include "certificates/revocation/ocsp_response.h"

namespace MHFX::Security::Cryptography::X509 {

struct OcspQuery {
    ULONGLONG deadline = 0;  // GetTickCount64 value by which every exchange has ended
    bool useCache = true;    // false: ask the responders whatever this process kept
    FILETIME notBefore = {}; // a kept answer must be issued at or after this (zero: any)
};

struct OcspResult {
    // The address that gave `answer`; else the first address asked; empty when the
    // certificate names no responder.
    std::wstring url;
    // problem Unreachable when no responder replied (answer.encoded then empty).
    OcspAnswer answer;
    bool cached = false; // served from this process's cache
};

class OcspClient {
public:
    static constexpr size_t kMaxReply = 1 << 20;

    OcspClient() = default;
    OcspClient(const OcspClient&) = delete;
    OcspClient& operator=(const OcspClient&) = delete;

    // The process's client.
    static OcspClient& Shared();

    // The http and https OCSP addresses `certificate` names (id-ad-ocsp), in its order.
    static std::vector<std::wstring> OcspAddresses(PCCERT_CONTEXT certificate);

    // The first verified answer from `certificate`'s responders: a current kept one, else
    // one asked for now. Without one, the most telling failure (a received answer that
    // failed verification before no reply at all). Never throws.
    OcspResult Find(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer, const OcspQuery& query);
    // The same for one address.
    OcspResult Ask(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                   const OcspQuery& query);

private:
    bool Cached(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                const OcspQuery& query, OcspResult& result);
    OcspResult Fetch(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                     const OcspQuery& query);

    OcspCache cache_;
};

} // namespace MHFX::Security::Cryptography::X509
