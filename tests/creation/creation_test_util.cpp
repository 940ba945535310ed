#include "creation/creation_test_util.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>

#include "common/test_support.h"
#include "foundation/handle.h"
#include "pki/test_pki.h"

namespace CreationTest {

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
            if (!TestPki::Pki::Get().Owns(context.get())) {
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

} // namespace

std::wstring DssKeyContainer(const std::string& name) {
    return L"DossiqDssKey-" + TestSupport::Widen(name);
}

namespace {

void AddNamed(HCERTSTORE store, const std::wstring& storeName, const std::string& entry) {
    const size_t bang = entry.find('!');
    const std::string name = entry.substr(0, bang);
    const std::string variant = bang == std::string::npos ? "" : entry.substr(bang + 1);
    const std::string& der = TestPki::Pki::Get().Find(name).der;

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

struct FindData {
    std::wstring title;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto* data = reinterpret_cast<FindData*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window)) {
        return TRUE;
    }
    if (WindowText(window) != data->title) {
        return TRUE;
    }
    if (data->className != nullptr) {
        wchar_t name[256] = {};
        ::GetClassNameW(window, name, 256);
        if (std::wstring(name) != data->className) {
            return TRUE;
        }
    }
    data->found.push_back(window);
    return TRUE;
}

struct ChildQuery {
    int id;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
    auto* query = reinterpret_cast<ChildQuery*>(parameter);
    if (query->className != nullptr) {
        wchar_t name[256] = {};
        ::GetClassNameW(window, name, 256);
        if (_wcsicmp(name, query->className) == 0) {
            query->found.push_back(window);
        }
    } else if (::GetDlgCtrlID(window) == query->id) {
        query->found.push_back(window);
    }
    return TRUE;
}

} // namespace

std::vector<HWND> WindowsTitled(const std::wstring& title) {
    FindData data{title, nullptr, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs, const wchar_t* className) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    do {
        FindData data{title, className, {}};
        ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&data));
        if (!data.found.empty()) {
            // Let the dialog finish its initialisation before it is read.
            ::Sleep(300);
            return data.found.front();
        }
        ::Sleep(50);
    } while (::GetTickCount64() < end);
    return nullptr;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (::IsWindow(window)) {
        if (::GetTickCount64() >= end) {
            return false;
        }
        ::Sleep(50);
    }
    return true;
}

std::wstring WindowText(HWND window) {
    const int length = static_cast<int>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = static_cast<int>(
        ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(copied));
    return text;
}

HWND ChildById(HWND parent, int id) {
    ChildQuery query{id, nullptr, {}};
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
    return query.found.empty() ? nullptr : query.found.front();
}

HWND ChildByClass(HWND parent, const wchar_t* className) {
    ChildQuery query{0, className, {}};
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
    return query.found.empty() ? nullptr : query.found.front();
}

std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* className) {
    ChildQuery query{0, className, {}};
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
    std::vector<std::wstring> texts;
    for (HWND child : query.found) {
        texts.push_back(WindowText(child));
    }
    return texts;
}

MessageBoxContent ReadMessageBox(HWND window) {
    MessageBoxContent content;
    content.window = window;
    if (window == nullptr) {
        return content;
    }
    content.caption = WindowText(window);
    if (HWND text = ::GetDlgItem(window, 0xFFFF)) {
        content.text = WindowText(text);
    }
    ChildQuery query{0, L"Static", {}};
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&query));
    for (HWND child : query.found) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            content.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        }
    }
    return content;
}

void PressButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::vector<std::wstring> ListViewTexts(HWND listView, int column) {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(::SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t buffer[512] = {};
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 512;
        ::SendMessageW(listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        texts.emplace_back(buffer);
    }
    return texts;
}

void SelectListViewRow(HWND listView, int index) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(listView, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

void Screenshot(HWND window, const std::string& name) {
    const std::string folder = TestSupport::UnixPath(TestSupport::BuildDir()) + "/screens-creation";
    std::string crop;
    RECT rect;
    if (window != nullptr && ::GetWindowRect(window, &rect)) {
        crop = " -crop " + std::to_string(rect.right - rect.left) + "x" +
               std::to_string(rect.bottom - rect.top) + "+" + std::to_string(rect.left) + "+" +
               std::to_string(rect.top) + " +repage";
    }
    ::Sleep(200); // let the window paint
    TestSupport::RunHost("mkdir -p " + TestSupport::ShellQuote(folder) + " && import -window root" +
                         crop + " " + TestSupport::ShellQuote(folder + "/" + name + ".png"));
}

StoreScenario::StoreScenario(const std::vector<std::string>& my,
                             const std::vector<std::string>& addressBook,
                             const std::vector<std::string>& trustedPeople) {
    TestPki::Pki::Get();
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
    const TestPki::Pki& pki = TestPki::Pki::Get();
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

namespace {

DWORD WINAPI RunBody(void* parameter) {
    try {
        (*static_cast<const std::function<void()>*>(parameter))();
    } catch (...) {
        return 1;
    }
    return 0;
}

} // namespace

void RunBeside(const std::function<void()>& body, const std::function<void()>& driver) {
    MHFX::KernelHandle thread(
        ::CreateThread(nullptr, 0, RunBody, const_cast<std::function<void()>*>(&body), 0, nullptr));
    ASSERT_TRUE(thread.valid());
    driver();
    EXPECT_EQ(::WaitForSingleObject(thread.get(), 120000), WAIT_OBJECT_0) << "the body hangs";
}

} // namespace CreationTest
