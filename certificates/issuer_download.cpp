#include "certificates/issuer_download.h"

#include <algorithm>
#include <string>
#include <vector>

#include "certificates/revocation/web_address.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr int kLevels = 3;
constexpr ULONGLONG kPerAddressMs = 5000;

std::vector<std::wstring> IssuerAddresses(PCCERT_CONTEXT certificate) {
    std::vector<std::wstring> addresses;
    DWORD length = 0;
    if (!::CryptGetObjectUrl(URL_OID_CERTIFICATE_ISSUER, const_cast<CERT_CONTEXT*>(certificate), 0,
                             nullptr, &length, nullptr, nullptr, nullptr) ||
        length == 0) {
        return addresses;
    }
    std::vector<BYTE> buffer(length);
    auto* urls = reinterpret_cast<PCRYPT_URL_ARRAY>(buffer.data());
    if (!::CryptGetObjectUrl(URL_OID_CERTIFICATE_ISSUER, const_cast<CERT_CONTEXT*>(certificate), 0,
                             urls, &length, nullptr, nullptr, nullptr)) {
        return addresses;
    }
    for (DWORD i = 0; i < urls->cUrl; ++i) {
        if (urls->rgwszUrl[i] && IsWebAddress(urls->rgwszUrl[i])) {
            addresses.emplace_back(urls->rgwszUrl[i]);
        }
    }
    return addresses;
}

// The certificate the first of `last`'s addresses serves that names `last`'s issuer.
bool FetchIssuer(PCCERT_CONTEXT last, ULONGLONG deadline, X509CertificateCollection& extra) {
    for (const std::wstring& address : IssuerAddresses(last)) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        void* object = nullptr;
        if (!::CryptRetrieveObjectByUrlW(
                address.c_str(), CONTEXT_OID_CERTIFICATE,
                CRYPT_WIRE_ONLY_RETRIEVAL | CRYPT_NO_AUTH_RETRIEVAL | CRYPT_DONT_CACHE_RESULT,
                static_cast<DWORD>(std::min(deadline - now, kPerAddressMs)), &object, nullptr,
                nullptr, nullptr, nullptr) ||
            object == nullptr) {
            continue;
        }
        const auto* issuer = static_cast<PCCERT_CONTEXT>(object);
        const bool names = ::CertCompareCertificateName(
            X509_ASN_ENCODING, &issuer->pCertInfo->Subject, &last->pCertInfo->Issuer);
        if (names) {
            extra.Add(X509Certificate(issuer));
        }
        ::CertFreeCertificateContext(issuer);
        if (names) {
            return true;
        }
    }
    return false;
}

} // namespace

void BuildFetchingIssuers(X509Chain& chain, const X509Certificate& certificate,
                          ULONGLONG budgetMs) {
    const ULONGLONG deadline = ::GetTickCount64() + budgetMs;
    chain.Build(certificate);
    for (int level = 0; level < kLevels; ++level) {
        const PCCERT_CHAIN_CONTEXT context = chain.ChainContext();
        if (!context || context->cChain == 0 ||
            !(context->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN)) {
            return;
        }
        const CERT_SIMPLE_CHAIN* simple = context->rgpChain[0];
        if (simple->cElement == 0 ||
            !FetchIssuer(simple->rgpElement[simple->cElement - 1]->pCertContext, deadline,
                         chain.ChainPolicy.ExtraStore)) {
            return;
        }
        chain.Build(certificate);
    }
}

} // namespace MHFX::Security::Cryptography::X509
