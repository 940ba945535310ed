// Certificate revocation lists fetched by the product itself, each kept only after its
// signature verified against the issuer it is asked for. One cache serves a whole process,
// so verify workers running side by side share what any of them fetched; a list is fetched
// again once its next update has passed, or when a caller needs one issued after a time the
// cached copy predates. A kept list is never replaced by an older one; an address that did
// not answer is not asked again for a minute.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <mutex>
#include <string>
#include <vector>

#include "certificates/revocation/crl_context_handle.h"

namespace MHFX::Security::Cryptography::X509 {

class VerifiedCrlCache {
public:
    VerifiedCrlCache() = default;
    VerifiedCrlCache(const VerifiedCrlCache&) = delete;
    VerifiedCrlCache& operator=(const VerifiedCrlCache&) = delete;

    // The process's cache.
    static VerifiedCrlCache& Shared();

    // The http and https CRL addresses `certificate` names, in its order; other schemes are
    // never used (they could reach files, directories or logons a stranger chose).
    static std::vector<std::wstring> CrlAddresses(PCCERT_CONTEXT certificate);

    struct Found {
        CrlContextHandle crl;  // null when none could be had
        std::wstring url;      // where it came from, else the first address, else empty
        bool cached = false;   // served from this cache rather than fetched by this call
        FILETIME fetched = {}; // when it was fetched
    };

    // The CRL from the first of `certificate`'s addresses that gives one `issuer` signed,
    // fetched before `deadline` (a GetTickCount64 value). A cached copy serves while current
    // and, with `after`, only when it was issued (or, unless `issuedAfter`, fetched) no
    // earlier than `after`; else an outdated copy is returned when nothing newer could be
    // fetched. Thread-safe; never throws for the network.
    Found Find(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer, ULONGLONG deadline,
               const FILETIME* after = nullptr, bool issuedAfter = false);

private:
    struct Item {
        std::wstring url;
        std::vector<BYTE> issuer; // the issuer certificate's SHA-1 hash
        CrlContextHandle crl;
        FILETIME fetched = {};
    };

    bool Cached(const std::wstring& url, const std::vector<BYTE>& issuer, bool currentOnly,
                const FILETIME* after, bool issuedAfter, Found& found);
    // Keeps `crl` unless a newer list is kept; `found` receives whichever is kept.
    void Keep(const std::wstring& url, const std::vector<BYTE>& issuer, CrlContextHandle crl,
              Found& found);
    bool RecentlyFailed(const std::wstring& url);
    void Failed(const std::wstring& url);

    std::mutex mutex_;
    std::vector<Item> items_;
    std::vector<std::pair<std::wstring, ULONGLONG>> failures_; // address, tick of failure
};

// Whether `issuer` signed `crl`.
bool IsCrlSignedBy(PCCRL_CONTEXT crl, PCCERT_CONTEXT issuer);

} // namespace MHFX::Security::Cryptography::X509
