#include "certificates/revocation/web_address.h"

#include <algorithm>
#include <cwctype>

namespace MHFX::Security::Cryptography::X509 {

bool IsWebAddress(const std::wstring& url) {
    std::wstring lower = url.substr(0, 8);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

} // namespace MHFX::Security::Cryptography::X509
