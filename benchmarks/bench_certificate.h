// A throw-away signing certificate for a benchmark run: a 2048-bit RSA key in a key container
// of its own and a self-signed certificate for it in the current user's "My" store, both
// removed when the object goes.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/handle.h"

inline constexpr wchar_t kBenchProvider[] =
    L"Microsoft Enhanced RSA and AES Cryptographic Provider";

[[noreturn]] inline void BenchFail(const char* what) {
    std::printf("FAILED: %s (error 0x%08lX)\n", what, ::GetLastError());
    std::exit(1);
}

struct BenchCertificate {
    std::wstring container;
    MHFX::CertContextHandle certificate;
    std::string thumbprint;

    explicit BenchCertificate(const std::wstring& name) : container(name) {
        MHFX::CryptProvHandle provider;
        MHFX::CryptKeyHandle key;
        if (!::CryptAcquireContextW(provider.put(), container.c_str(), kBenchProvider, PROV_RSA_AES,
                                    CRYPT_NEWKEYSET) ||
            !::CryptGenKey(provider.get(), AT_KEYEXCHANGE, (2048u << 16), key.put())) {
            BenchFail("making the bench key");
        }
        CRYPT_KEY_PROV_INFO keyInfo = {};
        keyInfo.pwszContainerName = const_cast<wchar_t*>(container.c_str());
        keyInfo.pwszProvName = const_cast<wchar_t*>(kBenchProvider);
        keyInfo.dwProvType = PROV_RSA_AES;
        keyInfo.dwKeySpec = AT_KEYEXCHANGE;
        BYTE nameBuffer[256];
        DWORD nameLength = sizeof nameBuffer;
        if (!::CertStrToNameW(X509_ASN_ENCODING, L"CN=Dossiq Bench", CERT_X500_NAME_STR, nullptr,
                              nameBuffer, &nameLength, nullptr)) {
            BenchFail("encoding the bench name");
        }
        CERT_NAME_BLOB subject = {nameLength, nameBuffer};
        MHFX::CertContextHandle made(::CertCreateSelfSignCertificate(
            provider.get(), &subject, 0, &keyInfo, nullptr, nullptr, nullptr, nullptr));
        if (!made) {
            BenchFail("making the bench certificate");
        }
        MHFX::CertStoreHandle my(
            ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My"));
        if (!::CertAddCertificateContextToStore(
                my.get(), made.get(), CERT_STORE_ADD_REPLACE_EXISTING, certificate.put())) {
            BenchFail("adding the bench certificate to My");
        }
        // Wine writes a system store back when it is closed; the child processes look now.
        ::CertControlStore(my.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
        BYTE hash[20];
        DWORD hashLength = sizeof hash;
        ::CertGetCertificateContextProperty(certificate.get(), CERT_SHA1_HASH_PROP_ID, hash,
                                            &hashLength);
        char hex[3];
        for (DWORD i = 0; i < hashLength; ++i) {
            std::snprintf(hex, sizeof hex, "%02x", hash[i]);
            thumbprint += hex;
        }
    }

    ~BenchCertificate() {
        if (certificate) {
            ::CertDeleteCertificateFromStore(::CertDuplicateCertificateContext(certificate.get()));
        }
        HCRYPTPROV provider = 0;
        ::CryptAcquireContextW(&provider, container.c_str(), kBenchProvider, PROV_RSA_AES,
                               CRYPT_DELETEKEYSET);
    }
};
