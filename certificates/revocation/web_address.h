// The only addresses revocation data is fetched from: http and https. Any other scheme a
// certificate names could reach files, directories or logons a stranger chose.
#pragma once

#include <string>

namespace MHFX::Security::Cryptography::X509 {

bool IsWebAddress(const std::wstring& url);

} // namespace MHFX::Security::Cryptography::X509
