#include "pki/test_pki.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "common/test_support.h"

namespace TestPki {

namespace {

using TestSupport::Narrow;
using TestSupport::ShellQuote;
using TestSupport::Widen;

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr wchar_t kProvider[] = L"Microsoft Enhanced RSA and AES Cryptographic Provider";
constexpr DWORD kProviderType = PROV_RSA_AES;
constexpr wchar_t kContainerPrefix[] = L"DossiqTestPki-";
constexpr const wchar_t* kStores[] = {L"Root", L"CA", L"My", L"AddressBook", L"TrustedPeople"};
// A kit older than this belongs to a run that ended without cleaning up.
constexpr unsigned kStaleSeconds = 1800;
constexpr unsigned kServerLifetimeSeconds = 1800;

std::unique_ptr<Pki> g_pki;
std::string g_failure;

std::string Script(const char* name) {
    return std::string(DOSSIQ_SOURCE_DIR) + "/tests/pki/" + name;
}

std::string Der(const std::string& pem) {
    DWORD length = 0;
    if (!::CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()),
                                CRYPT_STRING_BASE64HEADER, nullptr, &length, nullptr, nullptr)) {
        return {};
    }
    std::string der(length, '\0');
    ::CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                           reinterpret_cast<BYTE*>(der.data()), &length, nullptr, nullptr);
    der.resize(length);
    return der;
}

MHFX::CertStoreHandle OpenStore(const std::wstring& name) {
    return MHFX::CertStoreHandle(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                                 CERT_SYSTEM_STORE_CURRENT_USER, name.c_str()));
}

MHFX::CertContextHandle ContextOf(const std::string& der) {
    return MHFX::CertContextHandle(::CertCreateCertificateContext(
        kEncoding, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size())));
}

void DeleteContainer(const std::wstring& container) {
    HCRYPTPROV provider = 0;
    ::CryptAcquireContextW(&provider, container.c_str(), kProvider, kProviderType,
                           CRYPT_DELETEKEYSET);
}

std::wstring ContainerOf(PCCERT_CONTEXT context) {
    DWORD length = 0;
    if (!::CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                             &length)) {
        return {};
    }
    std::vector<BYTE> buffer(length);
    ::CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(),
                                        &length);
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
    return info->pwszContainerName ? info->pwszContainerName : L"";
}

class PkiEnvironment : public ::testing::Environment {
public:
    void TearDown() override { Pki::Shutdown(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PkiEnvironment);

} // namespace

std::string MarkOf(PCCERT_CONTEXT context) {
    DWORD length = 0;
    if (!::CertGetCertificateContextProperty(context, CERT_DESCRIPTION_PROP_ID, nullptr, &length)) {
        return {};
    }
    std::wstring text(length / sizeof(wchar_t) + 1, L'\0');
    ::CertGetCertificateContextProperty(context, CERT_DESCRIPTION_PROP_ID, text.data(), &length);
    text.resize(wcsnlen(text.c_str(), text.size()));
    const std::wstring prefix = kMarkPrefix;
    if (text.compare(0, prefix.size(), prefix) != 0) {
        return {};
    }
    return Narrow(text.substr(prefix.size()));
}

bool SetMark(PCCERT_CONTEXT context, const std::string& runAndTime) {
    const std::wstring text = kMarkPrefix + Widen(runAndTime);
    CRYPT_DATA_BLOB blob = {static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                            reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str()))};
    return ::CertSetCertificateContextProperty(context, CERT_DESCRIPTION_PROP_ID, 0, &blob) !=
           FALSE;
}

Pki& Pki::Get() {
    if (g_pki) {
        return *g_pki;
    }
    if (!g_failure.empty()) {
        throw std::runtime_error(g_failure);
    }
    std::unique_ptr<Pki> pki(new Pki);
    try {
        pki->Create();
    } catch (const std::exception& e) {
        g_failure = e.what();
        pki->Uninstall();
        throw;
    }
    g_pki = std::move(pki);
    return *g_pki;
}

void Pki::Shutdown() {
    if (g_pki) {
        g_pki->Uninstall();
        g_pki.reset();
    }
    g_failure.clear();
}

void Pki::Create() {
    RemoveStaleInstallations(kStaleSeconds);

    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    char run[32];
    snprintf(run, sizeof run, "r%lx-%lx", ::GetCurrentProcessId(),
             (now.dwLowDateTime >> 16) | (now.dwHighDateTime << 16));
    run_ = run;

    dir_ = TestSupport::MakeTempDir(L"pki");
    unixDir_ = TestSupport::UnixPath(dir_);
    if (dir_.empty() || unixDir_.empty()) {
        throw std::runtime_error("test PKI: no scratch folder");
    }
    ::CreateDirectoryW((dir_ + L"\\www").c_str(), nullptr);

    auto server = TestSupport::RunHost("python3 " + ShellQuote(Script("crl_server.py")) + " " +
                                       ShellQuote(unixDir_ + "/www") + " " +
                                       std::to_string(kServerLifetimeSeconds));
    int port = 0, deadPort = 0;
    std::istringstream(server.output) >> port >> deadPort >> serverPid_;
    if (server.exitCode != 0 || port == 0 || deadPort == 0 || serverPid_ == 0) {
        serverPid_ = 0;
        throw std::runtime_error("test PKI: CRL server did not start: " + server.output);
    }
    baseUrl_ = "http://127.0.0.1:" + std::to_string(port) + "/" + run_;
    deadUrl_ = "http://127.0.0.1:" + std::to_string(deadPort) + "/" + run_;

    auto made = TestSupport::RunHost("bash " + ShellQuote(Script("make_pki.sh")) + " " +
                                         ShellQuote(unixDir_) + " " + ShellQuote(baseUrl_) + " " +
                                         ShellQuote(deadUrl_) + " " + ShellQuote(run_),
                                     120000);
    if (made.exitCode != 0) {
        throw std::runtime_error("test PKI: make_pki.sh failed: " + made.output);
    }

    // Every certificate, installed or not, is listed by its files; the manifest names the
    // installed ones and their stores.
    std::map<std::string, std::vector<std::wstring>> storesOf;
    std::istringstream manifest(TestSupport::ReadFileBytes(dir_ + L"\\manifest.txt"));
    std::string name, storeList;
    while (manifest >> name >> storeList) {
        order_.push_back(name);
        std::istringstream list(storeList);
        for (std::string store; std::getline(list, store, ',');) {
            if (store != "-") {
                storesOf[name].push_back(Widen(store));
            }
        }
    }
    order_.push_back("orphan_ca");
    for (const std::string& n : order_) {
        Entry entry;
        entry.name = n;
        entry.stores = storesOf[n];
        entry.der = Der(TestSupport::ReadFileBytes(CertPath(n)));
        if (entry.der.empty()) {
            throw std::runtime_error("test PKI: no certificate " + n);
        }
        entries_[n] = std::move(entry);
    }
    for (const wchar_t* name : kStores) {
        stores_[name] = OpenStore(name);
        if (!stores_[name]) {
            throw std::runtime_error("test PKI: cannot open store " + Narrow(name));
        }
    }
    for (const std::string& n : order_) {
        Install(entries_[n], stores_);
    }
    // Lookups go through fresh handles: under Wine a system store handle does not find what
    // was added through it.
    for (const wchar_t* name : kStores) {
        stores_[name] = OpenStore(name);
    }
}

void Pki::Install(Entry& entry, std::map<std::wstring, MHFX::CertStoreHandle>& stores) {
    const bool wantsKey =
        std::find(entry.stores.begin(), entry.stores.end(), L"My") != entry.stores.end();
    CRYPT_KEY_PROV_INFO keyInfo = {};
    if (wantsKey) {
        entry.container = kContainerPrefix + Widen(run_ + "-" + entry.name);
        // PVK: a 24-byte header whose last word is the length of the PRIVATEKEYBLOB after it.
        const std::string pvk =
            TestSupport::ReadFileBytes(dir_ + L"\\" + Widen(entry.name) + L".pvk");
        if (pvk.size() < 24) {
            throw std::runtime_error("test PKI: no key file for " + entry.name);
        }
        const DWORD blobLength = *reinterpret_cast<const DWORD*>(pvk.data() + 20);
        MHFX::CryptProvHandle provider;
        DeleteContainer(entry.container);
        if (!::CryptAcquireContextW(provider.put(), entry.container.c_str(), kProvider,
                                    kProviderType, CRYPT_NEWKEYSET)) {
            throw std::runtime_error("test PKI: CryptAcquireContext failed: " +
                                     std::to_string(::GetLastError()));
        }
        MHFX::CryptKeyHandle key;
        if (!::CryptImportKey(provider.get(), reinterpret_cast<const BYTE*>(pvk.data() + 24),
                              blobLength, 0, CRYPT_EXPORTABLE, key.put())) {
            throw std::runtime_error("test PKI: CryptImportKey failed for " + entry.name + ": " +
                                     std::to_string(::GetLastError()));
        }
        keyInfo.pwszContainerName = const_cast<wchar_t*>(entry.container.c_str());
        keyInfo.pwszProvName = const_cast<wchar_t*>(kProvider);
        keyInfo.dwProvType = kProviderType;
        keyInfo.dwKeySpec = AT_KEYEXCHANGE;
    }
    const std::string mark = run_ + " " + std::to_string(static_cast<long long>(time(nullptr)));
    for (const std::wstring& storeName : entry.stores) {
        MHFX::CertContextHandle added;
        if (!::CertAddEncodedCertificateToStore(stores.at(storeName).get(), kEncoding,
                                                reinterpret_cast<const BYTE*>(entry.der.data()),
                                                static_cast<DWORD>(entry.der.size()),
                                                CERT_STORE_ADD_REPLACE_EXISTING, added.put())) {
            throw std::runtime_error("test PKI: cannot add " + entry.name + " to " +
                                     Narrow(storeName) + ": " + std::to_string(::GetLastError()));
        }
        SetMark(added.get(), mark);
        if (wantsKey && storeName == L"My") {
            if (!::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0,
                                                     &keyInfo)) {
                throw std::runtime_error("test PKI: cannot set the key of " + entry.name);
            }
        }
    }
}

void Pki::Uninstall() {
    stores_.clear();
    for (const wchar_t* storeName : kStores) {
        MHFX::CertStoreHandle store = OpenStore(storeName);
        if (!store) {
            continue;
        }
        for (const auto& [name, entry] : entries_) {
            if (std::find(entry.stores.begin(), entry.stores.end(), storeName) ==
                entry.stores.end()) {
                continue;
            }
            MHFX::CertContextHandle file = ContextOf(entry.der);
            PCCERT_CONTEXT found = ::CertFindCertificateInStore(
                store.get(), kEncoding, 0, CERT_FIND_EXISTING, file.get(), nullptr);
            if (found != nullptr) {
                ::CertDeleteCertificateFromStore(found);
            }
        }
        // Wine writes deletions to the registry only on an explicit commit.
        ::CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    for (const auto& [name, entry] : entries_) {
        if (!entry.container.empty()) {
            DeleteContainer(entry.container);
        }
    }
    StopCrlServer();
}

void Pki::StopCrlServer() {
    if (serverPid_ != 0) {
        TestSupport::RunHost("kill " + std::to_string(serverPid_) + " 2>/dev/null; true");
        serverPid_ = 0;
    }
}

void Pki::PublishOnRequest(bool on) {
    const std::wstring marker = dir_ + L"\\publish-on-request";
    if (on) {
        TestSupport::WriteFileBytes(marker, "");
    } else {
        ::DeleteFileW(marker.c_str());
    }
}

void Pki::RestartCrlServer() {
    StopCrlServer();
    const std::string port = baseUrl_.substr(baseUrl_.rfind(':') + 1);
    // The old server may hold the port for a moment after it was told to go.
    for (int attempt = 0; attempt < 50 && serverPid_ == 0; ++attempt) {
        const auto server = TestSupport::RunHost(
            "python3 " + ShellQuote(Script("crl_server.py")) + " " + ShellQuote(unixDir_ + "/www") +
            " " + std::to_string(kServerLifetimeSeconds) + " " + port.substr(0, port.find('/')));
        int served = 0, dead = 0;
        std::istringstream(server.output) >> served >> dead >> serverPid_;
        if (server.exitCode != 0 || served == 0) {
            serverPid_ = 0;
            ::Sleep(100);
        }
    }
    if (serverPid_ == 0) {
        throw std::runtime_error("test PKI: CRL server did not start again");
    }
}

std::string Pki::RequestLog() const {
    return TestSupport::ReadFileBytes(dir_ + L"\\requests.log");
}

std::wstring Pki::CertPath(const std::string& name) const {
    return dir_ + L"\\" + Widen(name) + L".cert.pem";
}

std::string Pki::UnixCertPath(const std::string& name) const {
    return unixDir_ + "/" + name + ".cert.pem";
}

std::string Pki::UnixKeyPath(const std::string& name) const {
    return unixDir_ + "/" + name + ".key.pem";
}

std::string Pki::UnixCrlPath(const std::string& ca) const {
    return unixDir_ + "/" + ca + ".crl.pem";
}

std::string Pki::UnixTrustedChainPath() const {
    return unixDir_ + "/trusted-chain.pem";
}

const Entry& Pki::Find(const std::string& name) const {
    auto it = entries_.find(name);
    if (it == entries_.end()) {
        throw std::runtime_error("test PKI: no certificate named " + name);
    }
    return it->second;
}

std::vector<std::string> Pki::Names() const {
    return order_;
}

MHFX::CertContextHandle Pki::LoadCertificate(const std::string& name) const {
    return ContextOf(Find(name).der);
}

MHFX::CertContextHandle Pki::Certificate(const std::string& name) const {
    const Entry& entry = Find(name);
    MHFX::CertContextHandle file = ContextOf(entry.der);
    if (entry.stores.empty()) {
        return file;
    }
    // "My" first: that copy carries the key.
    std::wstring storeName = entry.stores.front();
    if (std::find(entry.stores.begin(), entry.stores.end(), L"My") != entry.stores.end()) {
        storeName = L"My";
    }
    MHFX::CertStoreHandle store = OpenStore(storeName);
    MHFX::CertContextHandle found(store ? ::CertFindCertificateInStore(store.get(), kEncoding, 0,
                                                                       CERT_FIND_EXISTING,
                                                                       file.get(), nullptr)
                                        : nullptr);
    if (!found) {
        throw std::runtime_error("test PKI: " + name + " is not in its store");
    }
    return found;
}

bool Pki::Owns(PCCERT_CONTEXT context) const {
    const std::string mark = MarkOf(context);
    return mark.compare(0, run_.size() + 1, run_ + " ") == 0;
}

int RemoveStaleInstallations(unsigned minAgeSeconds) {
    const long long now = static_cast<long long>(time(nullptr));
    int removed = 0;
    for (const wchar_t* storeName : kStores) {
        MHFX::CertStoreHandle store = OpenStore(storeName);
        if (!store) {
            continue;
        }
        std::vector<MHFX::CertContextHandle> stale;
        PCCERT_CONTEXT context = nullptr;
        while ((context = ::CertEnumCertificatesInStore(store.get(), context)) != nullptr) {
            const std::string mark = MarkOf(context);
            const size_t space = mark.find(' ');
            if (space == std::string::npos) {
                continue;
            }
            if (now - std::atoll(mark.c_str() + space + 1) >=
                static_cast<long long>(minAgeSeconds)) {
                stale.emplace_back(::CertDuplicateCertificateContext(context));
            }
        }
        for (MHFX::CertContextHandle& old : stale) {
            const std::wstring container = ContainerOf(old.get());
            if (container.rfind(kContainerPrefix, 0) == 0) {
                DeleteContainer(container);
            }
            if (::CertDeleteCertificateFromStore(old.release())) {
                ++removed;
            }
        }
        if (!stale.empty()) {
            ::CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
        }
    }
    return removed;
}

} // namespace TestPki
