#include "certificates/store_name.h"

namespace MHFX::Security::Cryptography::X509 {

const std::wstring StoreName::AddressBook = L"AddressBook";
const std::wstring StoreName::AuthRoot = L"AuthRoot";
const std::wstring StoreName::CA = L"CA";
const std::wstring StoreName::Disallowed = L"Disallowed";
const std::wstring StoreName::My = L"My";
const std::wstring StoreName::Root = L"Root";
const std::wstring StoreName::TrustedPeople = L"TrustedPeople";
const std::wstring StoreName::TrustedPublisher = L"TrustedPublisher";

} // namespace MHFX::Security::Cryptography::X509
