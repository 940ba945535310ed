#pragma once

#include <windows.h>

#include "certificates/process_heap.h"

namespace MHFX::Security::Cryptography::X509 {

// CryptDecodeObjectEx of `structType` into a zero-filled block of the process heap, which
// the caller owns through the returned holder.
ProcessHeapBlock DecodeObject(LPCSTR structType, const BYTE* encoded, DWORD length);

} // namespace MHFX::Security::Cryptography::X509
