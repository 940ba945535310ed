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
    const CRYPT_OID_INFO* info =
        ::CryptFindOIDInfo(CRYPT_OID_INFO_NAME_KEY, const_cast<char*>(text), 0);
    if (info != nullptr) {
        return Oid(WidenIdentifier(info->pszOID), info->pwszName ? info->pwszName : L"");
    }
    return Oid(WidenIdentifier(text), L"");
}

} // namespace MHFX::Security::Cryptography::X509
