#include "certificates/revocation/verified_crl_cache.h"

#include <algorithm>
#include <cwctype>

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// One address may not take the whole budget of a check.
constexpr ULONGLONG kPerAddressMs = 10000;

bool HasWebScheme(const std::wstring& url) {
    std::wstring lower = url.substr(0, 8);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

std::vector<BYTE> Thumbprint(PCCERT_CONTEXT certificate) {
    std::vector<BYTE> hash(20);
    DWORD length = static_cast<DWORD>(hash.size());
    if (!::CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash.data(),
                                             &length)) {
        return {};
    }
    hash.resize(length);
    return hash;
}

bool IsCurrent(PCCRL_CONTEXT crl) {
    const FILETIME& next = crl->pCrlInfo->NextUpdate;
    if (next.dwHighDateTime == 0 && next.dwLowDateTime == 0) {
        return true;
    }
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return ::CompareFileTime(&now, &next) <= 0;
}

} // namespace

bool IsCrlSignedBy(PCCRL_CONTEXT crl, PCCERT_CONTEXT issuer) {
    return crl && issuer &&
           ::CertCompareCertificateName(kEncoding, &crl->pCrlInfo->Issuer,
                                        &issuer->pCertInfo->Subject) &&
           ::CryptVerifyCertificateSignatureEx(
               0, kEncoding, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL, const_cast<CRL_CONTEXT*>(crl),
               CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(issuer), 0, nullptr);
}

VerifiedCrlCache& VerifiedCrlCache::Shared() {
    static VerifiedCrlCache cache;
    return cache;
}

std::vector<std::wstring> VerifiedCrlCache::CrlAddresses(PCCERT_CONTEXT certificate) {
    std::vector<std::wstring> addresses;
    DWORD length = 0;
    if (!::CryptGetObjectUrl(URL_OID_CERTIFICATE_CRL_DIST_POINT,
                             const_cast<CERT_CONTEXT*>(certificate), 0, nullptr, &length, nullptr,
                             nullptr, nullptr) ||
        length == 0) {
        return addresses;
    }
    std::vector<BYTE> buffer(length);
    auto* urls = reinterpret_cast<PCRYPT_URL_ARRAY>(buffer.data());
    if (!::CryptGetObjectUrl(URL_OID_CERTIFICATE_CRL_DIST_POINT,
                             const_cast<CERT_CONTEXT*>(certificate), 0, urls, &length, nullptr,
                             nullptr, nullptr)) {
        return addresses;
    }
    for (DWORD i = 0; i < urls->cUrl; ++i) {
        if (urls->rgwszUrl[i] && HasWebScheme(urls->rgwszUrl[i])) {
            addresses.emplace_back(urls->rgwszUrl[i]);
        }
    }
    return addresses;
}

CrlContextHandle VerifiedCrlCache::Cached(const std::wstring& url, const std::vector<BYTE>& issuer,
                                          bool currentOnly) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Item& item : items_) {
        if (item.url == url && item.issuer == issuer &&
            (!currentOnly || IsCurrent(item.crl.get()))) {
            return CrlContextHandle(::CertDuplicateCRLContext(item.crl.get()));
        }
    }
    return {};
}

void VerifiedCrlCache::Keep(const std::wstring& url, const std::vector<BYTE>& issuer,
                            PCCRL_CONTEXT crl) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Item& item : items_) {
        if (item.url == url && item.issuer == issuer) {
            item.crl.reset(::CertDuplicateCRLContext(crl));
            return;
        }
    }
    items_.push_back({url, issuer, CrlContextHandle(::CertDuplicateCRLContext(crl))});
}

CrlContextHandle VerifiedCrlCache::Find(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                                        ULONGLONG deadline, std::wstring& url) {
    url.clear();
    const std::vector<std::wstring> addresses = CrlAddresses(certificate);
    if (addresses.empty()) {
        return {};
    }
    url = addresses.front();
    const std::vector<BYTE> key = Thumbprint(issuer);
    for (const std::wstring& address : addresses) {
        if (CrlContextHandle kept = Cached(address, key, true)) {
            url = address;
            return kept;
        }
    }
    for (const std::wstring& address : addresses) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            break;
        }
        void* object = nullptr;
        // Straight from the wire: what the platform remembers is not evidence.
        if (!::CryptRetrieveObjectByUrlW(
                address.c_str(), CONTEXT_OID_CRL,
                CRYPT_WIRE_ONLY_RETRIEVAL | CRYPT_NO_AUTH_RETRIEVAL,
                static_cast<DWORD>(std::min(deadline - now, kPerAddressMs)), &object, nullptr,
                nullptr, nullptr, nullptr) ||
            object == nullptr) {
            continue;
        }
        CrlContextHandle fetched(static_cast<PCCRL_CONTEXT>(object));
        if (!IsCrlSignedBy(fetched.get(), issuer)) {
            continue;
        }
        Keep(address, key, fetched.get());
        url = address;
        return fetched;
    }
    // An outdated list still tells what was known; the caller judges its age.
    for (const std::wstring& address : addresses) {
        if (CrlContextHandle kept = Cached(address, key, false)) {
            url = address;
            return kept;
        }
    }
    return {};
}

} // namespace MHFX::Security::Cryptography::X509
