#include "certificates/memory_store.h"

#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

CertStoreHandle CreateMemoryStore(const X509CertificateCollection& certificates) {
    CertStoreHandle store(
        ::CertOpenStore(CERT_STORE_PROV_MEMORY, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                        CERT_STORE_CREATE_NEW_FLAG | CERT_STORE_ENUM_ARCHIVED_FLAG, nullptr));
    ThrowLastErrorIf(!store);
    for (const X509Certificate& certificate : certificates) {
        // The handle closes the store before the exception leaves; closing keeps the error.
        if (!certificate.IsInitialized()) {
            throw Win32Exception(static_cast<DWORD>(E_INVALIDARG));
        }
        ThrowLastErrorIf(!::CertAddCertificateLinkToStore(store.get(), certificate.Handle(),
                                                          CERT_STORE_ADD_ALWAYS, nullptr));
    }
    return store;
}

} // namespace MHFX::Security::Cryptography::X509
