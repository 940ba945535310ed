// The current user's certificate stores set to exactly some of the test PKI's
// certificates for the length of a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TestPki {

// Sets "My", "AddressBook" and "TrustedPeople" of the current user to exactly the named
// certificates of the test PKI, and puts back what they held when it goes. A name in "My"
// may end in "!nokey" (no private key property), "!badkey" (its key property names a key
// container that does not exist), "!dsskey" (its key property names the DSS container
// DssKeyContainer(name), which the test makes) or "!cancelkey" (its key property names its
// own container in the provider kCancellingProvider, of type PROV_RSA_AES, which the test
// registers).
constexpr wchar_t kCancellingProvider[] = L"Dossiq Cancelling Provider";

class StoreScenario {
public:
    StoreScenario(const std::vector<std::string>& my, const std::vector<std::string>& addressBook,
                  const std::vector<std::string>& trustedPeople);
    ~StoreScenario();
    StoreScenario(const StoreScenario&) = delete;
    StoreScenario& operator=(const StoreScenario&) = delete;
};

std::wstring DssKeyContainer(const std::string& name);

// The kit names of the certificates in a list of contexts' encodings.
std::string KitNameOf(const std::string& der);

// Whether a system store of the current user exists.
bool SystemStoreExists(const std::wstring& name);

} // namespace TestPki
