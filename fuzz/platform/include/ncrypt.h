// The CNG key handle the handle owners name, for the native fuzzing build; no parser reaches
// a CNG key, so freeing one does nothing.
#pragma once

#include "windows.h"

using NCRYPT_HANDLE = ULONG_PTR;
using NCRYPT_KEY_HANDLE = ULONG_PTR;
using SECURITY_STATUS = LONG;

inline SECURITY_STATUS NCryptFreeObject(NCRYPT_HANDLE) {
    return 0;
}
