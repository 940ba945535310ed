// The signer's private key, able to sign with one hash, and the signature it makes over the
// DER of a SignerInfo's signed attributes (RSA PKCS#1 v1.5, big-endian as CMS carries it).
// The certificate's own provider comes first, a key storage provider (CNG) as well as a
// CryptoAPI one. The older Microsoft RSA providers know no SHA-2, and their key containers
// open as well through the enhanced RSA and AES provider; a key only CNG reaches is taken
// from CNG. Anything else ends in kErrorSigningKeyHashUnsupported, never in a signature with
// another hash.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <vector>

#include "foundation/handle.h"

namespace Dossiq::Documents {

// The error a signing command ends with when the signer's key cannot sign with the hash
// asked for, not even through the enhanced RSA and AES provider or CNG (a customer code).
constexpr DWORD kErrorSigningKeyHashUnsupported = 0x20000101;

// The CNG name of a CryptoAPI hash that signatures use (SHA-1, SHA-2); Win32Exception
// (NTE_BAD_ALGID) for another.
const wchar_t* CngHashName(ALG_ID hashAlgorithm);

class SigningKey {
public:
    // Throws Win32Exception: the acquiring error when there is no key, else
    // kErrorSigningKeyHashUnsupported.
    SigningKey(PCCERT_CONTEXT signer, ALG_ID hashAlgorithm);
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    // The signature over `data`, hashed with the key's hash. Throws Win32Exception.
    std::vector<BYTE> Sign(const BYTE* data, size_t length) const;

private:
    static bool CanHash(HCRYPTPROV provider, ALG_ID hashAlgorithm);
    void Take(MHFX::CryptProvHandle owned, HCRYPTPROV handle, DWORD keySpec);
    bool OpenEnhanced(PCCERT_CONTEXT signer, DWORD keySpec);
    bool OpenCng(PCCERT_CONTEXT signer);
    void TakeCng(HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle, BOOL callerFrees);
    std::vector<BYTE> SignWithCng(const BYTE* data, size_t length) const;

    ALG_ID hashAlgorithm_;
    MHFX::CryptProvHandle provider_;
    MHFX::NCryptKeyHandle key_;
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle_ = 0;
    DWORD keySpec_ = 0;
};

} // namespace Dossiq::Documents
