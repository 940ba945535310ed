// Blocks of the process heap: what CryptoAPI decodes into here and what property queries
// read into. Zero-filled; a failed allocation throws Win32Exception with E_OUTOFMEMORY.
#pragma once

#include <windows.h>

#include "foundation/handle.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

struct ProcessHeapTraits {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::HeapFree(::GetProcessHeap(), 0, value); }
};

using ProcessHeapBlock = UniqueHandle<ProcessHeapTraits>;

inline void* AllocateFromProcessHeap(size_t size) {
    void* block = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
    if (block == nullptr) {
        throw Win32Exception(static_cast<DWORD>(E_OUTOFMEMORY));
    }
    return block;
}

} // namespace MHFX::Security::Cryptography::X509
