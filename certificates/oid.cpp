#include "certificates/oid.h"

#include <wincrypt.h>

namespace MHFX::Security::Cryptography::X509 {

std::wstring WidenIdentifier(const char* text) {
    if (text == nullptr || *text == '\0') {
        return {};
    }
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

Oid Oid::FromText(const char* text) {
    // The name key is a wide string: handing the narrow text over as it is would make the
    // table read past its end.
    std::wstring wide = WidenIdentifier(text);
    const CRYPT_OID_INFO* info = ::CryptFindOIDInfo(CRYPT_OID_INFO_NAME_KEY, wide.data(), 0);
    if (info != nullptr) {
        return Oid(WidenIdentifier(info->pszOID), info->pwszName ? info->pwszName : L"");
    }
    return Oid(std::move(wide), L"");
}

} // namespace MHFX::Security::Cryptography::X509
