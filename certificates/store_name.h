#pragma once

#include <string>

namespace MHFX::Security::Cryptography::X509 {

// The well-known current-user system store names.
struct StoreName {
    static const std::wstring AddressBook;
    static const std::wstring AuthRoot;
    static const std::wstring CA;
    static const std::wstring Disallowed;
    static const std::wstring My;
    static const std::wstring Root;
    static const std::wstring TrustedPeople;
    static const std::wstring TrustedPublisher;
};

} // namespace MHFX::Security::Cryptography::X509
