#include "certificates/revocation/verified_crl_cache.h"

#include <algorithm>

#include "certificates/revocation/web_address.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// One address may not take the whole budget of a check.
constexpr ULONGLONG kPerAddressMs = 10000;
constexpr ULONGLONG kRetryAfterMs = 60000;

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

// The list's CRL number, most significant byte first without leading zeros; empty without.
std::vector<BYTE> CrlNumber(PCCRL_CONTEXT crl) {
    const CRL_INFO& info = *crl->pCrlInfo;
    const CERT_EXTENSION* extension =
        ::CertFindExtension(szOID_CRL_NUMBER, info.cExtension, info.rgExtension);
    DWORD size = 0;
    if (!extension || !::CryptDecodeObject(kEncoding, X509_MULTI_BYTE_UINT, extension->Value.pbData,
                                           extension->Value.cbData, 0, nullptr, &size)) {
        return {};
    }
    std::vector<BYTE> buffer(size);
    if (!::CryptDecodeObject(kEncoding, X509_MULTI_BYTE_UINT, extension->Value.pbData,
                             extension->Value.cbData, 0, buffer.data(), &size)) {
        return {};
    }
    const auto* blob = reinterpret_cast<const CRYPT_UINT_BLOB*>(buffer.data());
    std::vector<BYTE> number(blob->pbData, blob->pbData + blob->cbData);
    std::reverse(number.begin(), number.end());
    number.erase(number.begin(),
                 std::find_if(number.begin(), number.end(), [](BYTE b) { return b != 0; }));
    return number;
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

// Issued before `kept`, or numbered lower.
bool IsOlder(PCCRL_CONTEXT crl, PCCRL_CONTEXT kept) {
    if (::CompareFileTime(&crl->pCrlInfo->ThisUpdate, &kept->pCrlInfo->ThisUpdate) < 0) {
        return true;
    }
    const std::vector<BYTE> number = CrlNumber(crl), keptNumber = CrlNumber(kept);
    if (number.empty() || keptNumber.empty() || number.size() != keptNumber.size()) {
        return !number.empty() && !keptNumber.empty() && number.size() < keptNumber.size();
    }
    return std::lexicographical_compare(number.begin(), number.end(), keptNumber.begin(),
                                        keptNumber.end());
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
        if (urls->rgwszUrl[i] && IsWebAddress(urls->rgwszUrl[i])) {
            addresses.emplace_back(urls->rgwszUrl[i]);
        }
    }
    return addresses;
}

bool VerifiedCrlCache::Cached(const std::wstring& url, const std::vector<BYTE>& issuer,
                              bool currentOnly, const FILETIME* after, bool issuedAfter,
                              Found& found) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Item& item : items_) {
        if (item.url != url || item.issuer != issuer) {
            continue;
        }
        const PCCRL_CONTEXT crl = item.crl.get();
        if (currentOnly && (!IsCurrent(crl) ||
                            (after && ::CompareFileTime(&crl->pCrlInfo->ThisUpdate, after) < 0 &&
                             (issuedAfter || ::CompareFileTime(&item.fetched, after) < 0)))) {
            return false;
        }
        found.crl.reset(::CertDuplicateCRLContext(crl));
        found.url = url;
        found.cached = true;
        found.fetched = item.fetched;
        return true;
    }
    return false;
}

void VerifiedCrlCache::Keep(const std::wstring& url, const std::vector<BYTE>& issuer,
                            CrlContextHandle crl, Found& found) {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    std::lock_guard<std::mutex> lock(mutex_);
    found.url = url;
    auto item = std::find_if(items_.begin(), items_.end(), [&](const Item& kept) {
        return kept.url == url && kept.issuer == issuer;
    });
    if (item == items_.end()) {
        items_.push_back(
            {url, issuer, CrlContextHandle(::CertDuplicateCRLContext(crl.get())), now});
        found.crl = std::move(crl);
        found.fetched = now;
        return;
    }
    // A replayed older list must not hide a revocation the kept one shows.
    if (IsOlder(crl.get(), item->crl.get())) {
        found.crl.reset(::CertDuplicateCRLContext(item->crl.get()));
        found.cached = true;
        found.fetched = item->fetched;
        return;
    }
    item->crl.reset(::CertDuplicateCRLContext(crl.get()));
    item->fetched = now;
    found.crl = std::move(crl);
    found.fetched = now;
}

bool VerifiedCrlCache::RecentlyFailed(const std::wstring& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ULONGLONG now = ::GetTickCount64();
    for (const auto& failure : failures_) {
        if (failure.first == url && now - failure.second < kRetryAfterMs) {
            return true;
        }
    }
    return false;
}

void VerifiedCrlCache::Failed(const std::wstring& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& failure : failures_) {
        if (failure.first == url) {
            failure.second = ::GetTickCount64();
            return;
        }
    }
    failures_.emplace_back(url, ::GetTickCount64());
}

VerifiedCrlCache::Found VerifiedCrlCache::Find(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                                               ULONGLONG deadline, const FILETIME* after,
                                               bool issuedAfter) {
    Found found;
    const std::vector<std::wstring> addresses = CrlAddresses(certificate);
    if (addresses.empty()) {
        return found;
    }
    found.url = addresses.front();
    const std::vector<BYTE> key = Thumbprint(issuer);
    for (const std::wstring& address : addresses) {
        if (Cached(address, key, true, after, issuedAfter, found)) {
            return found;
        }
    }
    for (const std::wstring& address : addresses) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            break;
        }
        if (RecentlyFailed(address)) {
            continue;
        }
        void* object = nullptr;
        // Straight from the wire: what the platform remembers is not evidence.
        if (!::CryptRetrieveObjectByUrlW(
                address.c_str(), CONTEXT_OID_CRL,
                CRYPT_WIRE_ONLY_RETRIEVAL | CRYPT_NO_AUTH_RETRIEVAL | CRYPT_DONT_CACHE_RESULT,
                static_cast<DWORD>(std::min(deadline - now, kPerAddressMs)), &object, nullptr,
                nullptr, nullptr, nullptr) ||
            object == nullptr) {
            Failed(address);
            continue;
        }
        CrlContextHandle fetched(static_cast<PCCRL_CONTEXT>(object));
        if (!IsCrlSignedBy(fetched.get(), issuer)) {
            continue;
        }
        Keep(address, key, std::move(fetched), found);
        return found;
    }
    // An outdated list still tells what was known; the caller judges its age.
    for (const std::wstring& address : addresses) {
        if (Cached(address, key, false, nullptr, false, found)) {
            return found;
        }
    }
    return found;
}

} // namespace MHFX::Security::Cryptography::X509
