#include "certificates/decode_object.h"

#include <wincrypt.h>

#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

LPVOID WINAPI AllocateBlock(size_t size) {
    return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

VOID WINAPI FreeBlock(LPVOID block) {
    ::HeapFree(::GetProcessHeap(), 0, block);
}

} // namespace

ProcessHeapBlock DecodeObject(LPCSTR structType, const BYTE* encoded, DWORD length) {
    CRYPT_DECODE_PARA para = {};
    para.cbSize = sizeof para;
    para.pfnAlloc = AllocateBlock;
    para.pfnFree = FreeBlock;
    void* decoded = nullptr;
    DWORD size = 0;
    ThrowLastErrorIf(!::CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, structType,
                                            encoded, length, CRYPT_DECODE_ALLOC_FLAG, &para,
                                            &decoded, &size));
    return ProcessHeapBlock(decoded);
}

} // namespace MHFX::Security::Cryptography::X509
