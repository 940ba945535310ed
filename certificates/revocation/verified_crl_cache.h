// Certificate revocation lists fetched by the product itself, each kept only after its
// signature verified against the issuer it is asked for. One cache serves a whole process,
// so verify workers running side by side share what any of them fetched; a list is fetched
// again once its next update has passed.
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

    // The CRL from the first of `certificate`'s addresses that gives one `issuer` signed; null
    // when none does before `deadline` (a GetTickCount64 value). `url` receives the address
    // the list came from, else the first address, else nothing. Blocks on the network only
    // when the cache holds no current list. Thread-safe; never throws for the network.
    CrlContextHandle Find(PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer, ULONGLONG deadline,
                          std::wstring& url);

private:
    struct Item {
        std::wstring url;
        std::vector<BYTE> issuer; // the issuer certificate's SHA-1 hash
        CrlContextHandle crl;
    };

    CrlContextHandle Cached(const std::wstring& url, const std::vector<BYTE>& issuer,
                            bool currentOnly);
    void Keep(const std::wstring& url, const std::vector<BYTE>& issuer, PCCRL_CONTEXT crl);

    std::mutex mutex_;
    std::vector<Item> items_;
};

// Whether `issuer` signed `crl`.
bool IsCrlSignedBy(PCCRL_CONTEXT crl, PCCERT_CONTEXT issuer);

} // namespace MHFX::Security::Cryptography::X509
