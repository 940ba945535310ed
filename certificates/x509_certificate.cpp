#include "certificates/x509_certificate.h"

#include <cryptuiapi.h>

#include <cwchar>
#include <utility>

#include "certificates/process_heap.h"
#include "certificates/x509_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

X509Certificate::X509Certificate(PCCERT_CONTEXT context) noexcept
    : context_(context ? ::CertDuplicateCertificateContext(context) : nullptr) {}

X509Certificate::X509Certificate(const X509Certificate& other) noexcept
    : X509Certificate(other.context_) {}

X509Certificate::X509Certificate(X509Certificate&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)) {}

X509Certificate& X509Certificate::operator=(const X509Certificate& other) noexcept {
    if (this != &other) {
        PCCERT_CONTEXT copy =
            other.context_ ? ::CertDuplicateCertificateContext(other.context_) : nullptr;
        Reset();
        context_ = copy;
    }
    return *this;
}

X509Certificate& X509Certificate::operator=(X509Certificate&& other) noexcept {
    if (this != &other) {
        Reset();
        context_ = std::exchange(other.context_, nullptr);
    }
    return *this;
}

X509Certificate::~X509Certificate() {
    Reset();
}

X509Certificate X509Certificate::Adopt(PCCERT_CONTEXT owned) noexcept {
    X509Certificate certificate;
    certificate.context_ = owned;
    return certificate;
}

void X509Certificate::Reset() noexcept {
    if (context_ != nullptr) {
        ::CertFreeCertificateContext(std::exchange(context_, nullptr));
    }
}

void X509Certificate::ThrowIfNotInitialized() const {
    if (context_ == nullptr) {
        throw X509Exception(LoadNeutralString(IDS_CERTIFICATE_NOT_INITIALIZED));
    }
}

X509ExtensionCollection X509Certificate::Extensions() const {
    ThrowIfNotInitialized();
    X509ExtensionCollection extensions;
    const CERT_INFO* info = context_->pCertInfo;
    for (DWORD i = 0; i < info->cExtension; ++i) {
        const CERT_EXTENSION& source = info->rgExtension[i];
        X509Extension extension;
        extension.Oid = Oid::FromText(source.pszObjId);
        extension.Critical = source.fCritical != FALSE;
        if (source.Value.cbData != 0) {
            extension.RawData.assign(source.Value.pbData,
                                     source.Value.pbData + source.Value.cbData);
        }
        extensions.Add(std::move(extension));
    }
    return extensions;
}

DWORD X509Certificate::KeyUsage() const {
    ThrowIfNotInitialized();
    BYTE usage[4] = {};
    // A missing extension fails without touching the last error: make that read as 0.
    ::SetLastError(ERROR_SUCCESS);
    if (!::CertGetIntendedKeyUsage(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, context_->pCertInfo,
                                   usage, sizeof usage)) {
        throw Win32Exception();
    }
    return static_cast<DWORD>(usage[0]) | static_cast<DWORD>(usage[1]) << 8 |
           static_cast<DWORD>(usage[2]) << 16 | static_cast<DWORD>(usage[3]) << 24;
}

std::wstring X509Certificate::GetNameInfo(DWORD nameType, const void* typePara) const {
    ThrowIfNotInitialized();
    void* para = const_cast<void*>(typePara);
    const DWORD length = ::CertGetNameStringW(context_, nameType, 0, para, nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring buffer(length, L'\0');
    ::CertGetNameStringW(context_, nameType, 0, para, buffer.data(), length);
    buffer.resize(wcsnlen(buffer.c_str(), length));
    return buffer;
}

bool X509Certificate::HasPrivateKey() const {
    ThrowIfNotInitialized();
    try {
        DWORD length = 0;
        if (!::CertGetCertificateContextProperty(context_, CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                                 &length)) {
            const DWORD error = ::GetLastError();
            if (error == static_cast<DWORD>(CRYPT_E_NOT_FOUND)) {
                return false;
            }
            throw Win32Exception(error);
        }
        ProcessHeapBlock block(AllocateFromProcessHeap(length));
        ThrowLastErrorIf(!::CertGetCertificateContextProperty(context_, CERT_KEY_PROV_INFO_PROP_ID,
                                                              block.get(), &length));
        return length != 0;
    } catch (const Win32Exception&) {
        return false;
    }
}

void X509Certificate::ShowCertificate(HWND parent) const {
    ThrowIfNotInitialized();
    CRYPTUI_VIEWCERTIFICATE_STRUCTW view = {};
    static_assert(sizeof view == 120, "the viewer expects the x64 structure");
    view.dwSize = sizeof view;
    view.hwndParent = parent;
    view.pCertContext = context_;
    BOOL propertiesChanged = FALSE;
    ::CryptUIDlgViewCertificateW(&view, &propertiesChanged);
}

} // namespace MHFX::Security::Cryptography::X509
