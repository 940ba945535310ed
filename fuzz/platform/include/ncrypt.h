// The CNG key handle the handle owners name, for the native fuzzing build; no parser reaches
// a CNG key (the key shim hands out CryptoAPI keys), so freeing one does nothing and
// decrypting with one fails.
#pragma once

#include "windows.h"

using NCRYPT_HANDLE = ULONG_PTR;
using NCRYPT_KEY_HANDLE = ULONG_PTR;
using SECURITY_STATUS = LONG;
// The CNG primitives' handles: no parser reaches them either.
using BCRYPT_KEY_HANDLE = void*;
using BCRYPT_ALG_HANDLE = void*;
using NTSTATUS = LONG;

inline NTSTATUS BCryptDestroyKey(BCRYPT_KEY_HANDLE) {
    return 0;
}
inline NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE, ULONG) {
    return 0;
}

inline SECURITY_STATUS NCryptFreeObject(NCRYPT_HANDLE) {
    return 0;
}

constexpr DWORD NCRYPT_PAD_PKCS1_FLAG = 0x2;
constexpr DWORD NCRYPT_PAD_OAEP_FLAG = 0x4;
#define BCRYPT_SHA1_ALGORITHM L"SHA1"
#define BCRYPT_SHA256_ALGORITHM L"SHA256"
#define BCRYPT_SHA384_ALGORITHM L"SHA384"
#define BCRYPT_SHA512_ALGORITHM L"SHA512"
struct BCRYPT_OAEP_PADDING_INFO {
    const wchar_t* pszAlgId;
    BYTE* pbLabel;
    ULONG cbLabel;
};

inline SECURITY_STATUS NCryptDecrypt(NCRYPT_KEY_HANDLE, BYTE*, DWORD, void*, BYTE*, DWORD, DWORD*,
                                     DWORD) {
    return static_cast<SECURITY_STATUS>(0x80090029); // NTE_NOT_SUPPORTED
}
