#include "certificates/x509_store.h"

#include "certificates/cryptui_select.h"
#include "certificates/x509_exception.h"
#include "foundation/argument_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kAllowedOpenFlags =
    CERT_STORE_READONLY_FLAG | CERT_STORE_MAXIMUM_ALLOWED_FLAG | CERT_STORE_ENUM_ARCHIVED_FLAG;
// The friendly-name and location columns.
constexpr DWORD kHiddenColumns = 0x18;

// The dialog's callbacks come from cryptui: nothing may be thrown back into it.
BOOL WINAPI FilterProc(PCCERT_CONTEXT context, BOOL* initiallySelected, void* data) {
    try {
        bool selected = false;
        const bool show =
            static_cast<X509Store*>(data)->FilterCertificate(X509Certificate(context), selected);
        if (initiallySelected != nullptr) {
            *initiallySelected = selected ? TRUE : FALSE;
        }
        return show ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI DisplayProc(PCCERT_CONTEXT context, HWND dialog, void* data) {
    try {
        return static_cast<X509Store*>(data)->DisplayCertificate(X509Certificate(context), dialog)
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

} // namespace

X509Store::X509Store(std::wstring name, DWORD location)
    : location_(location), name_(std::move(name)) {}

X509Store::~X509Store() = default;

bool X509Store::FilterCertificate(const X509Certificate&, bool& initiallySelected) {
    initiallySelected = false;
    return true;
}

bool X509Store::DisplayCertificate(const X509Certificate&, HWND) {
    return false;
}

void X509Store::CreateStore(DWORD /*location*/, const std::wstring& name) {
    // Renaming an open store would leave its handle on another store.
    if (IsOpen()) {
        throw X509Exception(LoadNeutralString(IDS_STORE_ALREADY_OPENED));
    }
    CertStoreHandle created(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEncoding, 0,
                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_CREATE_NEW_FLAG, name.c_str()));
    ThrowLastErrorIf(!created);
    name_ = name;
    location_ = CERT_SYSTEM_STORE_CURRENT_USER;
}

void X509Store::Open(DWORD flags) {
    if (IsOpen()) {
        throw X509Exception(LoadNeutralString(IDS_STORE_ALREADY_OPENED));
    }
    const DWORD readOnlyAndMaximum = CERT_STORE_READONLY_FLAG | CERT_STORE_MAXIMUM_ALLOWED_FLAG;
    if ((flags & readOnlyAndMaximum) == readOnlyAndMaximum || (flags & ~kAllowedOpenFlags) != 0) {
        throw ArgumentException(LoadNeutralString(IDS_INVALID_FLAGS));
    }
    store_.reset(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEncoding, 0,
                                 flags | location_ | CERT_STORE_OPEN_EXISTING_FLAG, name_.c_str()));
    ThrowLastErrorIf(!store_);
}

void X509Store::Close() {
    if (!IsOpen()) {
        throw X509Exception(LoadNeutralString(IDS_STORE_ALREADY_CLOSED));
    }
    ThrowLastErrorIf(!::CertCloseStore(store_.release(), 0));
}

void X509Store::ThrowIfNotOpen() const {
    if (!IsOpen()) {
        throw X509Exception(LoadNeutralString(IDS_STORE_NOT_OPENED));
    }
}

X509CertificateCollection X509Store::Certificates() const {
    ThrowIfNotOpen();
    X509CertificateCollection certificates;
    PCCERT_CONTEXT context = nullptr;
    while ((context = ::CertEnumCertificatesInStore(store_.get(), context)) != nullptr) {
        certificates.Add(X509Certificate(context));
    }
    return certificates;
}

X509Certificate X509Store::SelectCertificate(const std::wstring& title,
                                             const std::wstring& displayText) {
    ThrowIfNotOpen();
    HCERTSTORE stores[] = {store_.get()};
    CRYPTUI_SELECTCERTIFICATE_STRUCTW select = {};
    static_assert(sizeof select == 128, "the dialog expects the x64 structure");
    select.dwSize = sizeof select;
    select.szTitle = title.empty() ? nullptr : title.c_str();
    select.dwDontUseColumn = kHiddenColumns;
    select.szDisplayString = displayText.empty() ? nullptr : displayText.c_str();
    select.pFilterCallback = FilterProc;
    select.pDisplayCallback = DisplayProc;
    select.pvCallbackData = this;
    select.cDisplayStores = 1;
    select.rghDisplayStores = stores;
    return X509Certificate::Adopt(::CryptUIDlgSelectCertificateW(&select));
}

void X509Store::DeleteStore(DWORD /*location*/, const std::wstring& name) {
    // Deleting always returns null; only the last error tells. Start from a clean one so
    // that an earlier failure is not taken for this one.
    ::SetLastError(ERROR_SUCCESS);
    ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEncoding, 0,
                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_DELETE_FLAG, name.c_str());
    const DWORD error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
        throw Win32Exception(error);
    }
}

} // namespace MHFX::Security::Cryptography::X509
