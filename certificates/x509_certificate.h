// A certificate of the platform's certificate services, owned by one reference: copies
// duplicate it, destruction releases it. A wrapper without a context is "not initialized"
// and every operation on it throws.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "certificates/x509_extension_collection.h"

namespace MHFX::Security::Cryptography::X509 {

class X509Certificate {
public:
    X509Certificate() noexcept = default;
    // Takes a duplicate of `context`; the caller keeps its own reference. Null gives an
    // uninitialized wrapper.
    explicit X509Certificate(PCCERT_CONTEXT context) noexcept;
    X509Certificate(const X509Certificate& other) noexcept;
    X509Certificate(X509Certificate&& other) noexcept;
    X509Certificate& operator=(const X509Certificate& other) noexcept;
    X509Certificate& operator=(X509Certificate&& other) noexcept;
    ~X509Certificate();

    // Takes over a reference the caller owns (from a store enumeration or a dialog).
    static X509Certificate Adopt(PCCERT_CONTEXT owned) noexcept;

    // The context, still owned by this wrapper; null when not initialized.
    PCCERT_CONTEXT Handle() const noexcept { return context_; }
    bool IsInitialized() const noexcept { return context_ != nullptr; }
    void Reset() noexcept;

    X509ExtensionCollection Extensions() const;
    // The key-usage bits, first byte low. Throws Win32Exception when the certificate has no
    // usable key-usage extension (code 0 when it simply has none).
    DWORD KeyUsage() const;
    // CertGetNameStringW over the subject; `typePara` is what the name type wants (the
    // attribute identifier as a narrow string for CERT_NAME_ATTR_TYPE).
    std::wstring GetNameInfo(DWORD nameType, const void* typePara) const;
    bool HasPrivateKey() const;
    // The system's modal certificate viewer.
    void ShowCertificate(HWND parent) const;

private:
    void ThrowIfNotInitialized() const;

    PCCERT_CONTEXT context_ = nullptr;
};

} // namespace MHFX::Security::Cryptography::X509
