// A named system certificate store with an explicit open or closed state, and the modal
// selection dialog over it. Derived classes decide through the two virtuals which
// certificates the dialog lists and how a certificate is shown from it.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "certificates/x509_certificate.h"
#include "certificates/x509_certificate_collection.h"
#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

class X509Store {
public:
    // Closed; nothing is called.
    X509Store(std::wstring name, DWORD location);
    X509Store(const X509Store&) = delete;
    X509Store& operator=(const X509Store&) = delete;
    virtual ~X509Store();

    // Asked by the selection dialog for each certificate: show it, and whether it starts
    // selected. The base shows every certificate, none selected.
    virtual bool FilterCertificate(const X509Certificate& certificate, bool& initiallySelected);
    // Asked when the user wants to see a certificate from the dialog; false lets the dialog
    // show its own view.
    virtual bool DisplayCertificate(const X509Certificate& certificate, HWND parent);

    // Creates a new current-user system store `name`; this object then names it and stays
    // closed. Fails with the system's error when such a store already exists.
    void CreateStore(DWORD location, const std::wstring& name);
    // flags: 0 (read and write) or CERT_STORE_READONLY_FLAG, optionally with
    // CERT_STORE_MAXIMUM_ALLOWED_FLAG (not with read-only) or CERT_STORE_ENUM_ARCHIVED_FLAG.
    void Open(DWORD flags);
    void Close();
    X509CertificateCollection Certificates() const;
    // The chosen certificate, or an uninitialized one when the user cancelled.
    X509Certificate SelectCertificate(const std::wstring& title, const std::wstring& displayText);
    static void DeleteStore(DWORD location, const std::wstring& name);

    bool IsOpen() const noexcept { return store_.valid(); }
    // The open store's handle, still owned here (null while closed).
    HCERTSTORE Handle() const noexcept { return store_.get(); }
    const std::wstring& Name() const noexcept { return name_; }
    DWORD Location() const noexcept { return location_; }

private:
    void ThrowIfNotOpen() const;

    CertStoreHandle store_;
    DWORD location_;
    std::wstring name_;
};

} // namespace MHFX::Security::Cryptography::X509
