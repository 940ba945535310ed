#include "certificates/revocation/ocsp_client.h"

#include <algorithm>
#include <cstring>

#include "certificates/decode_object.h"
#include "certificates/revocation/ocsp_request.h"
#include "certificates/revocation/web_address.h"
#include "foundation/net/http_exchange.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

// One address may not take the whole budget of a check.
constexpr ULONGLONG kPerAddressMs = 10000;

OcspResult NoReply(const std::wstring& url) {
    OcspResult result;
    result.url = url;
    result.answer.problem = OcspProblem::Unreachable;
    return result;
}

FILETIME Now() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return now;
}

} // namespace

OcspClient& OcspClient::Shared() {
    static OcspClient client;
    return client;
}

std::vector<std::wstring> OcspClient::OcspAddresses(PCCERT_CONTEXT certificate) {
    std::vector<std::wstring> addresses;
    const CERT_INFO* info = certificate ? certificate->pCertInfo : nullptr;
    const PCERT_EXTENSION extension =
        info ? ::CertFindExtension(szOID_AUTHORITY_INFO_ACCESS, info->cExtension, info->rgExtension)
             : nullptr;
    if (!extension) {
        return addresses;
    }
    try {
        const ProcessHeapBlock block = DecodeObject(
            X509_AUTHORITY_INFO_ACCESS, extension->Value.pbData, extension->Value.cbData);
        const auto* access = static_cast<const CERT_AUTHORITY_INFO_ACCESS*>(block.get());
        for (DWORD i = 0; access && i < access->cAccDescr; ++i) {
            const CERT_ACCESS_DESCRIPTION& description = access->rgAccDescr[i];
            if (description.pszAccessMethod &&
                std::strcmp(description.pszAccessMethod, szOID_PKIX_OCSP) == 0 &&
                description.AccessLocation.dwAltNameChoice == CERT_ALT_NAME_URL &&
                description.AccessLocation.pwszURL &&
                IsWebAddress(description.AccessLocation.pwszURL)) {
                addresses.emplace_back(description.AccessLocation.pwszURL);
            }
        }
    } catch (...) {
        // An extension that does not decode names no responder.
        addresses.clear();
    }
    return addresses;
}

bool OcspClient::Cached(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                        const OcspQuery& query, OcspResult& result) {
    if (!query.useCache ||
        !cache_.Find(url, certificate, issuer, Now(), query.notBefore, result.answer)) {
        return false;
    }
    result.url = url;
    result.cached = true;
    return true;
}

OcspResult OcspClient::Fetch(const std::wstring& url, PCCERT_CONTEXT certificate,
                             PCCERT_CONTEXT issuer, const OcspQuery& query) {
    const ULONGLONG now = ::GetTickCount64();
    if (!IsWebAddress(url) || now >= query.deadline || cache_.IsSilent(url, now)) {
        return NoReply(url);
    }
    OcspRequest request;
    try {
        request = OcspRequest::For(certificate, issuer);
    } catch (...) {
        return NoReply(url);
    }
    Net::HttpRequest http;
    http.url = url;
    http.verb = L"POST";
    http.headers = L"Content-Type: application/ocsp-request\r\n"
                   L"Accept: application/ocsp-response\r\n";
    http.body = request.encoded;
    http.timeoutMs = static_cast<DWORD>(std::min(query.deadline - now, kPerAddressMs));
    http.maxReply = kMaxReply;
    Net::HttpReply reply;
    if (Net::HttpExchange(http, reply) != Net::HttpOutcome::Replied || reply.status != 200) {
        cache_.MarkSilent(url, ::GetTickCount64());
        return NoReply(url);
    }
    OcspResult result;
    result.url = url;
    result.answer = VerifyOcspResponse(reply.body, certificate, issuer, &request.nonce);
    cache_.Keep(url, certificate, issuer, result.answer);
    return result;
}

OcspResult OcspClient::Ask(const std::wstring& url, PCCERT_CONTEXT certificate,
                           PCCERT_CONTEXT issuer, const OcspQuery& query) {
    if (!certificate || !issuer) {
        return NoReply(url);
    }
    OcspResult result;
    if (Cached(url, certificate, issuer, query, result)) {
        return result;
    }
    return Fetch(url, certificate, issuer, query);
}

OcspResult OcspClient::Find(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                            const OcspQuery& query) {
    const std::vector<std::wstring> addresses = OcspAddresses(certificate);
    if (addresses.empty() || !issuer) {
        return NoReply(L"");
    }
    OcspResult result;
    for (const std::wstring& address : addresses) {
        if (Cached(address, certificate, issuer, query, result)) {
            return result;
        }
    }
    OcspResult best = NoReply(addresses.front());
    for (const std::wstring& address : addresses) {
        result = Fetch(address, certificate, issuer, query);
        if (result.answer.verified) {
            return result;
        }
        if (best.answer.problem == OcspProblem::Unreachable &&
            result.answer.problem != OcspProblem::Unreachable) {
            best = std::move(result);
        }
    }
    return best;
}

} // namespace MHFX::Security::Cryptography::X509
