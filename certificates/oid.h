#pragma once

#include <windows.h>

#include <string>

namespace MHFX::Security::Cryptography::X509 {

class Oid {
public:
    Oid() = default;
    Oid(std::wstring value, std::wstring friendlyName)
        : Value(std::move(value)), FriendlyName(std::move(friendlyName)) {}

    // Looks `text` up by name in the platform's identifier table: a known name gives its
    // dotted identifier and the name; anything else, a dotted identifier included, is kept
    // as the value with an empty friendly name.
    static Oid FromText(const char* text);

    std::wstring Value;
    std::wstring FriendlyName;
};

// Identifier strings from CryptoAPI are ASCII; the ANSI code page widens them.
std::wstring WidenIdentifier(const char* text);

} // namespace MHFX::Security::Cryptography::X509
