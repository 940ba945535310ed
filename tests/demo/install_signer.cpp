// Puts a demo PKI signer into the current user's "My" store with its private key, the way
// the test PKI installs its signers, so that scripts/demo can sign with dossiq.exe itself.
//
//   install_signer CERT.der KEY.pvk CONTAINER
//
// KEY.pvk is OpenSSL's PVK without password: a 24-byte header whose last word is the length
// of the PRIVATEKEYBLOB after it. The key goes into CONTAINER of the enhanced RSA and AES
// provider, replacing one of that name.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/handle.h"

namespace {

constexpr wchar_t kProvider[] = L"Microsoft Enhanced RSA and AES Cryptographic Provider";

std::string ReadAll(const wchar_t* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int Fail(const char* what) {
    std::fprintf(stderr, "install_signer: %s (error 0x%08lX)\n", what, ::GetLastError());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: install_signer CERT.der KEY.pvk CONTAINER\n");
        return 2;
    }
    const std::string der = ReadAll(argv[1]);
    const std::string pvk = ReadAll(argv[2]);
    if (der.empty() || pvk.size() < 24) {
        return Fail("cannot read the certificate or the key");
    }
    const DWORD blobLength = *reinterpret_cast<const DWORD*>(pvk.data() + 20);
    HCRYPTPROV unused = 0;
    ::CryptAcquireContextW(&unused, argv[3], kProvider, PROV_RSA_AES, CRYPT_DELETEKEYSET);
    MHFX::CryptProvHandle provider;
    MHFX::CryptKeyHandle key;
    if (blobLength > pvk.size() - 24 ||
        !::CryptAcquireContextW(provider.put(), argv[3], kProvider, PROV_RSA_AES,
                                CRYPT_NEWKEYSET) ||
        !::CryptImportKey(provider.get(), reinterpret_cast<const BYTE*>(pvk.data() + 24),
                          blobLength, 0, 0, key.put())) {
        return Fail("cannot import the key");
    }
    MHFX::CertStoreHandle store(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My"));
    MHFX::CertContextHandle added;
    if (!store ||
        !::CertAddEncodedCertificateToStore(
            store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
            static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, added.put())) {
        return Fail("cannot add the certificate to My");
    }
    CRYPT_KEY_PROV_INFO keyInfo = {};
    keyInfo.pwszContainerName = argv[3];
    keyInfo.pwszProvName = const_cast<wchar_t*>(kProvider);
    keyInfo.dwProvType = PROV_RSA_AES;
    keyInfo.dwKeySpec = AT_KEYEXCHANGE;
    if (!::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0,
                                             &keyInfo)) {
        return Fail("cannot tie the key to the certificate");
    }
    return 0;
}
