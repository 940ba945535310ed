#include "pki/store_scenario.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <vector>

#include "common/test_support.h"
#include "foundation/handle.h"
#include "pki/test_pki.h"

namespace TestPki {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
const wchar_t* const kScenarioStores[] = {L"My", L"AddressBook", L"TrustedPeople"};

struct Snapshot {
    bool taken = false;
    // Per store: each certificate serialized with its properties, and its encoding.
    std::map<std::wstring, std::vector<std::pair<std::string, std::string>>> stores;
};

Snapshot& TheSnapshot() {
    static Snapshot snapshot;
    return snapshot;
}

// The registry store itself: Wine forgets deletions made through the system store.
MHFX::CertStoreHandle OpenSystemStore(const std::wstring& name) {
    MHFX::CertStoreHandle store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                                CERT_SYSTEM_STORE_CURRENT_USER, name.c_str()));
    if (!store) {
        throw std::runtime_error("cannot open store " + TestSupport::Narrow(name));
    }
    return store;
}

std::vector<MHFX::CertContextHandle> Contents(HCERTSTORE store) {
    std::vector<MHFX::CertContextHandle> contexts;
    PCCERT_CONTEXT context = nullptr;
    while ((context = ::CertEnumCertificatesInStore(store, context)) != nullptr) {
        contexts.emplace_back(::CertDuplicateCertificateContext(context));
    }
    return contexts;
}

void Clear(HCERTSTORE store) {
    for (MHFX::CertContextHandle& context : Contents(store)) {
        ::CertDeleteCertificateFromStore(context.release());
    }
}

void TakeSnapshot() {
    Snapshot& snapshot = TheSnapshot();
    if (snapshot.taken) {
        return;
    }
    for (const wchar_t* name : kScenarioStores) {
        MHFX::CertStoreHandle store = OpenSystemStore(name);
        auto& list = snapshot.stores[name];
        for (MHFX::CertContextHandle& context : Contents(store.get())) {
            // The prefix is this build's own: what is not of this run's kit is left over from
            // earlier runs, which could not remove it, and is dropped for good.
            if (!Pki::Get().Owns(context.get())) {
                continue;
            }
            DWORD length = 0;
            ::CertSerializeCertificateStoreElement(context.get(), 0, nullptr, &length);
            std::string element(length, '\0');
            ::CertSerializeCertificateStoreElement(
                context.get(), 0, reinterpret_cast<BYTE*>(element.data()), &length);
            list.emplace_back(
                element, std::string(reinterpret_cast<const char*>(context.get()->pbCertEncoded),
                                     context.get()->cbCertEncoded));
        }
    }
    snapshot.taken = true;
}

MHFX::CertContextHandle AddSerialized(HCERTSTORE store, const std::string& element) {
    MHFX::CertContextHandle added;
    const void* context = nullptr;
    if (!::CertAddSerializedElementToStore(
            store, reinterpret_cast<const BYTE*>(element.data()),
            static_cast<DWORD>(element.size()), CERT_STORE_ADD_REPLACE_EXISTING, 0,
            CERT_STORE_CERTIFICATE_CONTEXT_FLAG, nullptr, &context)) {
        throw std::runtime_error("cannot restore a certificate");
    }
    added.reset(static_cast<PCCERT_CONTEXT>(context));
    return added;
}

void AddNamed(HCERTSTORE store, const std::wstring& storeName, const std::string& entry) {
    const size_t bang = entry.find('!');
    const std::string name = entry.substr(0, bang);
    const std::string variant = bang == std::string::npos ? "" : entry.substr(bang + 1);
    const std::string& der = Pki::Get().Find(name).der;

    MHFX::CertContextHandle added;
    // The kit's own copy first: in "My" it carries the key property.
    for (const auto& [element, encoded] : TheSnapshot().stores[storeName]) {
        if (encoded == der) {
            added = AddSerialized(store, element);
            break;
        }
    }
    if (!added &&
        !::CertAddEncodedCertificateToStore(
            store, kEncoding, reinterpret_cast<const BYTE*>(der.data()),
            static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, added.put())) {
        throw std::runtime_error("cannot add " + name);
    }
    if (variant == "nokey") {
        ::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, nullptr);
    } else if (variant == "badkey") {
        CRYPT_KEY_PROV_INFO info = {};
        std::wstring container = L"DossiqMissingContainer-" + TestSupport::Widen(name);
        info.pwszContainerName = container.data();
        info.pwszProvName = const_cast<wchar_t*>(MS_ENH_RSA_AES_PROV_W);
        info.dwProvType = PROV_RSA_AES;
        info.dwKeySpec = AT_KEYEXCHANGE;
        ::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info);
    } else if (variant == "cancelkey") {
        // The kit's own key container, reached through the other provider.
        DWORD length = 0;
        ::CertGetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                            &length);
        std::vector<BYTE> buffer(length);
        if (length == 0 || !::CertGetCertificateContextProperty(
                               added.get(), CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &length)) {
            throw std::runtime_error("no key for " + name);
        }
        auto* info = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buffer.data());
        info->pwszProvName = const_cast<wchar_t*>(kCancellingProvider);
        info->dwProvType = PROV_RSA_AES;
        ::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, info);
    } else if (variant == "dsskey") {
        CRYPT_KEY_PROV_INFO info = {};
        std::wstring container = DssKeyContainer(name);
        info.pwszContainerName = container.data();
        info.pwszProvName = const_cast<wchar_t*>(MS_DEF_DSS_PROV_W);
        info.dwProvType = PROV_DSS;
        info.dwKeySpec = AT_SIGNATURE;
        ::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info);
    }
}

} // namespace

std::wstring DssKeyContainer(const std::string& name) {
    return L"DossiqDssKey-" + TestSupport::Widen(name);
}

StoreScenario::StoreScenario(const std::vector<std::string>& my,
                             const std::vector<std::string>& addressBook,
                             const std::vector<std::string>& trustedPeople) {
    Pki::Get();
    TakeSnapshot();
    const std::vector<std::string>* wanted[] = {&my, &addressBook, &trustedPeople};
    for (int i = 0; i < 3; ++i) {
        MHFX::CertStoreHandle store = OpenSystemStore(kScenarioStores[i]);
        Clear(store.get());
        for (const std::string& entry : *wanted[i]) {
            AddNamed(store.get(), kScenarioStores[i], entry);
        }
    }
}

StoreScenario::~StoreScenario() {
    for (const wchar_t* name : kScenarioStores) {
        try {
            MHFX::CertStoreHandle store = OpenSystemStore(name);
            Clear(store.get());
            for (const auto& [element, encoded] : TheSnapshot().stores[name]) {
                AddSerialized(store.get(), element);
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

std::string KitNameOf(const std::string& der) {
    const Pki& pki = Pki::Get();
    for (const std::string& name : pki.Names()) {
        if (pki.Find(name).der == der) {
            return name;
        }
    }
    return "?";
}

bool SystemStoreExists(const std::wstring& name) {
    MHFX::CertStoreHandle store(::CertOpenStore(
        CERT_STORE_PROV_SYSTEM_W, 0, 0,
        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_OPEN_EXISTING_FLAG | CERT_STORE_READONLY_FLAG,
        name.c_str()));
    return store.valid();
}

} // namespace TestPki
