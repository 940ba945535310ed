// The CNG key handle the handle owners name, for the native fuzzing build; no parser reaches
// a CNG key (the key shim hands out CryptoAPI keys), so freeing one does nothing and
// decrypting with one fails.
#pragma once

#include "windows.h"

using NCRYPT_HANDLE = ULONG_PTR;
using NCRYPT_KEY_HANDLE = ULONG_PTR;
using SECURITY_STATUS = LONG;

inline SECURITY_STATUS NCryptFreeObject(NCRYPT_HANDLE) {
    return 0;
}

constexpr DWORD NCRYPT_PAD_PKCS1_FLAG = 0x2;

inline SECURITY_STATUS NCryptDecrypt(NCRYPT_KEY_HANDLE, BYTE*, DWORD, void*, BYTE*, DWORD, DWORD*,
                                     DWORD) {
    return static_cast<SECURITY_STATUS>(0x80090029); // NTE_NOT_SUPPORTED
}
