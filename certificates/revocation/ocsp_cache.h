// OCSP answers this process verified, by responder address, issuer and serial number, and
// the addresses that recently gave no reply. A kept answer is only ever replaced by one at
// least as new (by thisUpdate), so a replayed old answer cannot push out a newer one.
// Thread-safe.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "certificates/revocation/ocsp_response.h"

namespace MHFX::Security::Cryptography::X509 {

class OcspCache {
public:
    // How long an address that gave no reply is left alone.
    static constexpr ULONGLONG kSilenceMs = 60000;

    OcspCache() = default;
    OcspCache(const OcspCache&) = delete;
    OcspCache& operator=(const OcspCache&) = delete;

    // Keeps a verified `answer` from `url` for `certificate` issued by `issuer`, unless the
    // one already kept has a later thisUpdate.
    void Keep(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
              const OcspAnswer& answer);
    // The kept answer when it is current at `now` and issued at or after `notBefore`.
    bool Find(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
              const FILETIME& now, const FILETIME& notBefore, OcspAnswer& answer);

    // `url` gave no reply at `tick` (GetTickCount64).
    void MarkSilent(const std::wstring& url, ULONGLONG tick);
    // Whether `url` gave no reply within kSilenceMs before `tick`.
    bool IsSilent(const std::wstring& url, ULONGLONG tick);

private:
    struct Key {
        std::wstring url;
        std::vector<BYTE> issuer; // the issuer certificate's SHA-1 hash
        std::vector<BYTE> serial;
        auto operator<=>(const Key&) const = default;
    };
    static Key KeyOf(const std::wstring& url, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer);

    std::mutex mutex_;
    std::map<Key, OcspAnswer> answers_;
    std::map<std::wstring, ULONGLONG> silent_;
};

} // namespace MHFX::Security::Cryptography::X509
