#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>

#include "certificates/decode_object.h"
#include "certificates/memory_store.h"
#include "certificates/store_name.h"
#include "certificates/x509_exception.h"
#include "certificates/x509_store.h"
#include "common/control_readers.h"
#include "common/dialog_driver.h"
#include "foundation/argument_exception.h"
#include "foundation/win32_exception.h"
#include "pki/test_pki.h"

using TestSupport::CreateTestWindow;
using TestSupport::DialogUser;
using TestSupport::ListViewTexts;

using namespace MHFX::Security::Cryptography::X509;
using MHFX::ArgumentException;
using MHFX::Win32Exception;

namespace {

constexpr DWORD kCurrentUser = CERT_SYSTEM_STORE_CURRENT_USER;

X509Certificate Kit(const std::string& name) {
    auto context = TestPki::Pki::Get().Certificate(name);
    return X509Certificate(context.get());
}

template <typename F> std::wstring X509Message(F call) {
    try {
        call();
    } catch (const X509Exception& e) {
        return e.Message();
    }
    return L"(no exception)";
}

std::wstring UniqueStoreName(const wchar_t* hint) {
    return std::wstring(L"DossiqTest") + hint + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::GetTickCount64());
}

std::vector<std::string> KitNamesIn(X509Store& store) {
    std::vector<std::string> names;
    const auto& pki = TestPki::Pki::Get();
    for (const X509Certificate& certificate : store.Certificates()) {
        if (!pki.Owns(certificate.Handle())) {
            continue;
        }
        for (const std::string& name : pki.Names()) {
            const std::string& der = pki.Find(name).der;
            if (der.size() == certificate.Handle()->cbCertEncoded &&
                memcmp(der.data(), certificate.Handle()->pbCertEncoded, der.size()) == 0) {
                names.push_back(name);
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(StoreName, TheEightWellKnownStores) {
    EXPECT_EQ(StoreName::AddressBook, L"AddressBook");
    EXPECT_EQ(StoreName::AuthRoot, L"AuthRoot");
    EXPECT_EQ(StoreName::CA, L"CA");
    EXPECT_EQ(StoreName::Disallowed, L"Disallowed");
    EXPECT_EQ(StoreName::My, L"My");
    EXPECT_EQ(StoreName::Root, L"Root");
    EXPECT_EQ(StoreName::TrustedPeople, L"TrustedPeople");
    EXPECT_EQ(StoreName::TrustedPublisher, L"TrustedPublisher");
}

// "My" exists once something was put into it: in a new Wine prefix it does not yet, and
// opening it fails with ERROR_FILE_NOT_FOUND. The kit fills it.
TEST(Store, OpenAcceptsOnlyTheAllowedFlags) {
    TestPki::Pki::Get();
    X509Store store(StoreName::My, kCurrentUser);
    EXPECT_FALSE(store.IsOpen());
    for (DWORD flags : {0x9000u, 0x9200u, 0x0100u, 0x0001u, 0x4000u, 0x00010000u}) {
        try {
            store.Open(flags);
            ADD_FAILURE() << std::hex << flags << " accepted";
            store.Close();
        } catch (const ArgumentException& e) {
            EXPECT_EQ(e.Message(), L"Invalid flags specified.") << std::hex << flags;
            EXPECT_EQ(e.ParamName(), L"");
        }
        EXPECT_FALSE(store.IsOpen());
    }
    for (DWORD flags : {0x0u, 0x8000u, 0x1000u, 0x0200u, 0x8200u}) {
        EXPECT_NO_THROW(store.Open(flags)) << std::hex << flags;
        EXPECT_TRUE(store.IsOpen());
        store.Close();
    }
}

TEST(Store, StateErrors) {
    TestPki::Pki::Get();
    X509Store store(StoreName::My, kCurrentUser);
    EXPECT_EQ(X509Message([&] { store.Certificates(); }), L"Certificate store is not opened.");
    EXPECT_EQ(X509Message([&] { store.SelectCertificate(L"t", L"d"); }),
              L"Certificate store is not opened.");
    EXPECT_EQ(X509Message([&] { store.Close(); }), L"Certificate store is already closed.");
    store.Open(CERT_STORE_READONLY_FLAG);
    EXPECT_EQ(X509Message([&] { store.Open(0); }), L"Certificate store is already opened.");
    EXPECT_EQ(X509Message([&] { store.CreateStore(kCurrentUser, L"x"); }),
              L"Certificate store is already opened.");
    store.Close();
    EXPECT_EQ(X509Message([&] { store.Close(); }), L"Certificate store is already closed.");
    // Reopening after a close works.
    store.Open(CERT_STORE_READONLY_FLAG);
    EXPECT_TRUE(store.IsOpen());
}

TEST(Store, OpeningAStoreThatDoesNotExistFails) {
    X509Store store(UniqueStoreName(L"Missing"), kCurrentUser);
    try {
        store.Open(0);
        ADD_FAILURE() << "opened";
    } catch (const Win32Exception& e) {
        EXPECT_NE(e.ErrorCode(), 0u);
    }
    EXPECT_FALSE(store.IsOpen());
}

TEST(Store, CreateFillDeleteAStore) {
    const std::wstring name = UniqueStoreName(L"Create");
    X509Store store(L"unused", 0);
    store.CreateStore(kCurrentUser, name);
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(store.Name(), name);
    EXPECT_EQ(store.Location(), kCurrentUser);

    store.Open(0);
    EXPECT_TRUE(store.Certificates().Empty());
    const X509Certificate qualified = Kit("qualified");
    ASSERT_TRUE(::CertAddCertificateContextToStore(store.Handle(), qualified.Handle(),
                                                   CERT_STORE_ADD_ALWAYS, nullptr));
    EXPECT_EQ(store.Certificates().Count(), 1u) << "seen through the handle that added it";
    store.Close();

    // A second object sees what the first stored.
    X509Store again(name, kCurrentUser);
    again.Open(CERT_STORE_READONLY_FLAG);
    const X509CertificateCollection certificates = again.Certificates();
    ASSERT_EQ(certificates.Count(), 1u);
    EXPECT_TRUE(::CertCompareCertificate(X509_ASN_ENCODING, certificates[0].Handle()->pCertInfo,
                                         qualified.Handle()->pCertInfo));
    again.Close();

    // Creating it once more fails with the system's own error.
    X509Store duplicate(L"unused", 0);
    try {
        duplicate.CreateStore(kCurrentUser, name);
        ADD_FAILURE() << "created twice";
    } catch (const Win32Exception& e) {
        EXPECT_NE(e.ErrorCode(), 0u);
        EXPECT_EQ(e.Message(), Win32Exception::SystemText(e.ErrorCode()));
    }
    EXPECT_EQ(duplicate.Name(), L"unused");

    X509Store::DeleteStore(kCurrentUser, name);
    // Windows removes the store; Wine only empties it and keeps its registry key.
    X509Store gone(name, kCurrentUser);
    try {
        gone.Open(CERT_STORE_READONLY_FLAG);
        EXPECT_TRUE(gone.Certificates().Empty());
        gone.Close();
    } catch (const Win32Exception&) {
    }
    // A stale last error does not make a delete fail.
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_NO_THROW(X509Store::DeleteStore(kCurrentUser, name));
    ::RegDeleteTreeW(HKEY_CURRENT_USER,
                     (L"Software\\Microsoft\\SystemCertificates\\" + name).c_str());
}

TEST(Store, CertificatesListsTheInstalledKit) {
    X509Store my(StoreName::My, kCurrentUser);
    my.Open(CERT_STORE_READONLY_FLAG);
    const std::vector<std::string> inMy = KitNamesIn(my);
    EXPECT_EQ(std::count(inMy.begin(), inMy.end(), "qualified"), 1);
    EXPECT_EQ(std::count(inMy.begin(), inMy.end(), "recipient_both"), 1);
    EXPECT_EQ(std::count(inMy.begin(), inMy.end(), "root"), 0);

    X509Store addressBook(StoreName::AddressBook, kCurrentUser);
    addressBook.Open(CERT_STORE_READONLY_FLAG);
    EXPECT_EQ(KitNamesIn(addressBook),
              (std::vector<std::string>{"recipient_ab", "recipient_both", "recipient_no_ke"}));
    X509Store trustedPeople(StoreName::TrustedPeople, kCurrentUser);
    trustedPeople.Open(CERT_STORE_READONLY_FLAG);
    EXPECT_EQ(KitNamesIn(trustedPeople),
              (std::vector<std::string>{"recipient_both", "recipient_tp"}));
}

TEST(MemoryStore, LinksEveryCertificate) {
    X509CertificateCollection collection;
    for (const char* name : {"issuing", "qualified", "recipient_tp"}) {
        collection.Add(Kit(name));
    }
    MHFX::CertStoreHandle store = CreateMemoryStore(collection);
    ASSERT_TRUE(store);
    size_t count = 0;
    PCCERT_CONTEXT context = nullptr;
    while ((context = ::CertEnumCertificatesInStore(store.get(), context)) != nullptr) {
        ++count;
    }
    EXPECT_EQ(count, collection.Count());
    for (const X509Certificate& certificate : collection) {
        MHFX::CertContextHandle found(::CertFindCertificateInStore(
            store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate.Handle(), nullptr));
        EXPECT_TRUE(found);
    }
    // A link carries the properties of what it links to: the key of the "My" copy.
    MHFX::CertContextHandle linked(::CertFindCertificateInStore(
        store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, collection[1].Handle(), nullptr));
    EXPECT_TRUE(X509Certificate(linked.get()).HasPrivateKey());
    EXPECT_TRUE(CreateMemoryStore(X509CertificateCollection())); // an empty store is fine
}

TEST(MemoryStore, AnEmptyWrapperFailsAndLeavesNothingOpen) {
    X509CertificateCollection collection;
    collection.Add(Kit("qualified"));
    collection.Add(X509Certificate());
    try {
        CreateMemoryStore(collection);
        ADD_FAILURE() << "no exception";
    } catch (const Win32Exception& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(E_INVALIDARG));
    }
}

TEST(DecodeObject, DecodesIntoTheProcessHeapAndFailsOnGarbage) {
    const X509ExtensionCollection extensions = Kit("qualified_others").Extensions();
    const X509Extension* statements = nullptr;
    for (const X509Extension& extension : extensions) {
        if (extension.Oid.Value == L"1.3.6.1.5.5.7.1.3") {
            statements = &extension;
        }
    }
    ASSERT_NE(statements, nullptr);
    ProcessHeapBlock decoded = DecodeObject(PKCS_SMIME_CAPABILITIES, statements->RawData.data(),
                                            static_cast<DWORD>(statements->RawData.size()));
    ASSERT_TRUE(decoded);
    EXPECT_NE(::HeapSize(::GetProcessHeap(), 0, decoded.get()), static_cast<SIZE_T>(-1));
    const auto* list = static_cast<const CRYPT_SMIME_CAPABILITIES*>(decoded.get());
    std::vector<std::string> ids;
    for (DWORD i = 0; i < list->cCapability; ++i) {
        ids.push_back(list->rgCapability[i].pszObjId);
    }
    EXPECT_EQ(ids,
              (std::vector<std::string>{"1.3.6.1.5.5.7.11.2", "0.4.0.1862.1.4", "0.4.0.1862.1.3",
                                        "0.4.0.1862.1.1", "0.4.0.1862.1.6"}));
    // Statement information comes along as the encoded parameter.
    EXPECT_EQ(list->rgCapability[2].Parameters.cbData, 3u); // INTEGER 10

    const BYTE garbage[] = {0x05, 0x00};
    try {
        DecodeObject(PKCS_SMIME_CAPABILITIES, garbage, sizeof garbage);
        ADD_FAILURE() << "decoded";
    } catch (const Win32Exception& e) {
        EXPECT_NE(e.ErrorCode(), 0u);
    }
}

namespace {

// Shows only the kit's certificates of one subject, starts with a chosen one selected and
// counts how often it was asked to display a certificate.
class FilteringStore : public X509Store {
public:
    FilteringStore(std::wstring preselected)
        : X509Store(StoreName::My, kCurrentUser), preselected_(std::move(preselected)) {}

    bool FilterCertificate(const X509Certificate& certificate, bool& initiallySelected) override {
        ++asked;
        const std::wstring name = certificate.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME);
        initiallySelected = name == preselected_;
        return TestPki::Pki::Get().Owns(certificate.Handle()) &&
               certificate.GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr).rfind(L"recipient_", 0) == 0;
    }

    bool DisplayCertificate(const X509Certificate& certificate, HWND parent) override {
        ++displayed;
        displayedName = certificate.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME);
        displayParent = parent;
        return true; // shown here: the dialog must not open its own viewer
    }

    std::atomic<int> asked{0};
    std::atomic<int> displayed{0};
    std::wstring displayedName;
    HWND displayParent = nullptr;

private:
    std::wstring preselected_;
};

HWND FindChildOfClass(HWND parent, const wchar_t* className) {
    return ::FindWindowExW(parent, nullptr, className, nullptr);
}

} // namespace

TEST(Store, SelectCertificateAsksTheVirtualsAndReturnsTheChoice) {
    TestPki::Pki::Get();
    ::DestroyWindow(CreateTestWindow(L"warm-up"));
    FilteringStore store(L"Jelena Jovanovi\u0107");
    store.Open(CERT_STORE_READONLY_FLAG);
    const wchar_t* title = L"Dossiq test selection";

    std::vector<std::wstring> listed;
    int selectedIndex = -1;
    std::wstring shownTitle;
    DialogUser user([&](HWND dialog) {
        wchar_t text[256] = {};
        ::GetWindowTextW(dialog, text, 256);
        shownTitle = text;
        HWND list = FindChildOfClass(dialog, WC_LISTVIEWW);
        listed = ListViewTexts(list);
        selectedIndex = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
        // Choose the address-book recipient, ask to see it, then take it.
        for (size_t i = 0; i < listed.size(); ++i) {
            if (listed[i] == L"Petar Petrovi\u0107") {
                LVITEMW state = {};
                state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                state.state = LVIS_SELECTED | LVIS_FOCUSED;
                ::SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
            }
        }
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t text[64] = {};
            ::GetWindowTextW(child, text, 64);
            if (wcsstr(text, L"View") != nullptr) {
                ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(child), BN_CLICKED),
                               reinterpret_cast<LPARAM>(child));
            }
        }
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    const X509Certificate chosen =
        store.SelectCertificate(title, L"Pick the address-book recipient.");
    const HWND dialog = user.Finish();
    ASSERT_NE(dialog, nullptr) << "no dialog";
    EXPECT_EQ(shownTitle, title);
    EXPECT_EQ(user.Owner(), nullptr) << "the dialog has no parent";

    EXPECT_GT(store.asked.load(), 4);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"Jelena Jovanovi\u0107", L"Milica Nikoli\u0107",
                                                 L"Petar Petrovi\u0107",
                                                 L"\u0110or\u0111e \u0110uri\u0107"}));
    EXPECT_GE(selectedIndex, 0) << "the filter's initial selection";
    EXPECT_EQ(store.displayed.load(), 1);
    EXPECT_EQ(store.displayedName, L"Petar Petrovi\u0107");
    ASSERT_TRUE(chosen.IsInitialized());
    EXPECT_EQ(chosen.GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr), L"recipient_ab@dossiq.test");
}

TEST(Store, CancelledSelectionReturnsNoCertificate) {
    TestPki::Pki::Get();
    ::DestroyWindow(CreateTestWindow(L"warm-up"));
    X509Store store(StoreName::My, kCurrentUser);
    store.Open(CERT_STORE_READONLY_FLAG);
    const wchar_t* title = L"Dossiq test cancel";
    DialogUser user([](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    const X509Certificate chosen = store.SelectCertificate(title, L"");
    EXPECT_NE(user.Finish(), nullptr);
    EXPECT_FALSE(chosen.IsInitialized());
}
