#include "certificates/revocation/ocsp_cache.h"

#include "certificates/revocation/ocsp_cert_id.h"

namespace MHFX::Security::Cryptography::X509 {

OcspCache::Key OcspCache::KeyOf(const std::wstring& url, PCCERT_CONTEXT certificate,
                                PCCERT_CONTEXT issuer) {
    Key key{url, std::vector<BYTE>(20), EncodedSerial(certificate)};
    DWORD length = static_cast<DWORD>(key.issuer.size());
    if (!::CertGetCertificateContextProperty(issuer, CERT_SHA1_HASH_PROP_ID, key.issuer.data(),
                                             &length)) {
        key.issuer.clear();
    }
    return key;
}

void OcspCache::Keep(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                     const OcspAnswer& answer) {
    if (!answer.verified) {
        return;
    }
    const Key key = KeyOf(url, certificate, issuer);
    if (key.issuer.empty() || key.serial.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto [kept, added] = answers_.try_emplace(key, answer);
    if (!added && ::CompareFileTime(&kept->second.thisUpdate, &answer.thisUpdate) <= 0) {
        kept->second = answer;
    }
}

bool OcspCache::Find(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                     const FILETIME& now, const FILETIME& notBefore, OcspAnswer& answer) {
    const Key key = KeyOf(url, certificate, issuer);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto kept = answers_.find(key);
    if (kept == answers_.end() || !IsCurrent(kept->second, now) ||
        ::CompareFileTime(&kept->second.thisUpdate, &notBefore) < 0) {
        return false;
    }
    answer = kept->second;
    return true;
}

void OcspCache::MarkSilent(const std::wstring& url, ULONGLONG tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    silent_[url] = tick;
}

bool OcspCache::IsSilent(const std::wstring& url, ULONGLONG tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto since = silent_.find(url);
    if (since == silent_.end()) {
        return false;
    }
    if (tick - since->second >= kSilenceMs) {
        silent_.erase(since);
        return false;
    }
    return true;
}

} // namespace MHFX::Security::Cryptography::X509
