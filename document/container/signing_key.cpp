#include "document/container/signing_key.h"

#include <ncrypt.h>

#include <algorithm>

#include "document/container/signature_verifier.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

using MHFX::ThrowLastErrorIf;
using MHFX::Win32Exception;

const wchar_t* CngHashName(ALG_ID hashAlgorithm) {
    switch (hashAlgorithm) {
    case CALG_SHA1:
        return BCRYPT_SHA1_ALGORITHM;
    case CALG_SHA_256:
        return BCRYPT_SHA256_ALGORITHM;
    case CALG_SHA_384:
        return BCRYPT_SHA384_ALGORITHM;
    case CALG_SHA_512:
        return BCRYPT_SHA512_ALGORITHM;
    default:
        throw Win32Exception(static_cast<DWORD>(NTE_BAD_ALGID));
    }
}

SigningKey::SigningKey(PCCERT_CONTEXT signer, ALG_ID hashAlgorithm)
    : hashAlgorithm_(hashAlgorithm) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;
    DWORD acquireError = ERROR_SUCCESS;
    if (::CryptAcquireCertificatePrivateKey(signer, CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG, nullptr,
                                            &handle, &keySpec, &callerFrees)) {
        if (keySpec == CERT_NCRYPT_KEY_SPEC) {
            TakeCng(handle, callerFrees);
            return;
        }
        MHFX::CryptProvHandle owned(callerFrees ? handle : 0);
        if (CanHash(handle, hashAlgorithm)) {
            Take(std::move(owned), handle, keySpec);
            return;
        }
        if (OpenEnhanced(signer, keySpec)) {
            return;
        }
    } else {
        acquireError = ::GetLastError();
    }
    if (OpenCng(signer)) {
        return;
    }
    // No key at all is the ordinary failure; a key that cannot hash is this one.
    throw Win32Exception(acquireError != ERROR_SUCCESS ? acquireError
                                                       : kErrorSigningKeyHashUnsupported);
}

std::vector<BYTE> SigningKey::Sign(const BYTE* data, size_t length) const {
    if (keySpec_ == CERT_NCRYPT_KEY_SPEC) {
        return SignWithCng(data, length);
    }
    MHFX::CryptHashHandle hash;
    ThrowLastErrorIf(!::CryptCreateHash(handle_, hashAlgorithm_, 0, 0, hash.put()));
    ThrowLastErrorIf(!::CryptHashData(hash.get(), data, static_cast<DWORD>(length), 0));
    DWORD size = 0;
    ThrowLastErrorIf(!::CryptSignHashW(hash.get(), keySpec_, nullptr, 0, nullptr, &size));
    std::vector<BYTE> signature(size);
    ThrowLastErrorIf(!::CryptSignHashW(hash.get(), keySpec_, nullptr, 0, signature.data(), &size));
    signature.resize(size);
    // CryptoAPI gives the value least significant byte first.
    std::reverse(signature.begin(), signature.end());
    return signature;
}

std::vector<BYTE> SigningKey::SignWithCng(const BYTE* data, size_t length) const {
    const wchar_t* name = CngHashName(hashAlgorithm_);
    std::vector<BYTE> digest = SignatureVerifier::Digest(name, data, length);
    if (digest.empty()) {
        throw Win32Exception(static_cast<DWORD>(NTE_BAD_ALGID));
    }
    BCRYPT_PKCS1_PADDING_INFO padding = {name};
    DWORD size = 0;
    SECURITY_STATUS status =
        ::NCryptSignHash(handle_, &padding, digest.data(), static_cast<DWORD>(digest.size()),
                         nullptr, 0, &size, BCRYPT_PAD_PKCS1);
    if (status != ERROR_SUCCESS) {
        throw Win32Exception(static_cast<DWORD>(status));
    }
    std::vector<BYTE> signature(size);
    status = ::NCryptSignHash(handle_, &padding, digest.data(), static_cast<DWORD>(digest.size()),
                              signature.data(), size, &size, BCRYPT_PAD_PKCS1);
    if (status != ERROR_SUCCESS) {
        throw Win32Exception(static_cast<DWORD>(status));
    }
    signature.resize(size);
    return signature;
}

bool SigningKey::CanHash(HCRYPTPROV provider, ALG_ID hashAlgorithm) {
    MHFX::CryptHashHandle hash;
    return ::CryptCreateHash(provider, hashAlgorithm, 0, 0, hash.put()) != FALSE;
}

void SigningKey::Take(MHFX::CryptProvHandle owned, HCRYPTPROV handle, DWORD keySpec) {
    provider_ = std::move(owned);
    handle_ = handle;
    keySpec_ = keySpec;
}

// The certificate's key container through PROV_RSA_AES, if it holds the certificate's key
// there.
bool SigningKey::OpenEnhanced(PCCERT_CONTEXT signer, DWORD keySpec) {
    DWORD length = 0;
    if (!::CertGetCertificateContextProperty(signer, CERT_KEY_PROV_INFO_PROP_ID, nullptr,
                                             &length)) {
        return false;
    }
    std::vector<BYTE> buffer(length);
    if (!::CertGetCertificateContextProperty(signer, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(),
                                             &length)) {
        return false;
    }
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
    if (info->dwProvType == 0 || info->pwszContainerName == nullptr) {
        return false; // a CNG key
    }
    MHFX::CryptProvHandle provider;
    if (!::CryptAcquireContextW(provider.put(), info->pwszContainerName, MS_ENH_RSA_AES_PROV_W,
                                PROV_RSA_AES, info->dwFlags & CRYPT_MACHINE_KEYSET) ||
        !CanHash(provider.get(), hashAlgorithm_)) {
        return false;
    }
    // A container of the same name need not hold the same key.
    DWORD publicLength = 0;
    if (!::CryptExportPublicKeyInfo(provider.get(), keySpec, X509_ASN_ENCODING, nullptr,
                                    &publicLength)) {
        return false;
    }
    std::vector<BYTE> publicKey(publicLength);
    if (!::CryptExportPublicKeyInfo(provider.get(), keySpec, X509_ASN_ENCODING,
                                    reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(publicKey.data()),
                                    &publicLength) ||
        !::CertComparePublicKeyInfo(X509_ASN_ENCODING, &signer->pCertInfo->SubjectPublicKeyInfo,
                                    reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(publicKey.data()))) {
        return false;
    }
    const HCRYPTPROV handle = provider.get();
    Take(std::move(provider), handle, keySpec);
    return true;
}

// CNG signs with every SHA-2 hash.
bool SigningKey::OpenCng(PCCERT_CONTEXT signer) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;
    if (!::CryptAcquireCertificatePrivateKey(signer, CRYPT_ACQUIRE_ONLY_NCRYPT_KEY_FLAG, nullptr,
                                             &handle, &keySpec, &callerFrees)) {
        return false;
    }
    if (keySpec != CERT_NCRYPT_KEY_SPEC) {
        // Not what was asked for: let it go the way it came.
        MHFX::CryptProvHandle unwanted(callerFrees ? handle : 0);
        return false;
    }
    TakeCng(handle, callerFrees);
    return true;
}

void SigningKey::TakeCng(HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle, BOOL callerFrees) {
    key_.reset(callerFrees ? handle : 0);
    handle_ = handle;
    keySpec_ = CERT_NCRYPT_KEY_SPEC;
}

} // namespace Dossiq::Documents
