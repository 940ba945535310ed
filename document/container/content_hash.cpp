#include "document/container/content_hash.h"

#include <algorithm>

#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

void Check(NTSTATUS status, DWORD error) {
    if (status != 0) {
        throw MHFX::Win32Exception(error);
    }
}

} // namespace

ContentHash::ContentHash(const wchar_t* algorithm) {
    const DWORD bad = static_cast<DWORD>(NTE_BAD_ALGID);
    if (algorithm == nullptr) {
        throw MHFX::Win32Exception(bad);
    }
    Check(::BCryptOpenAlgorithmProvider(provider_.put(), algorithm, nullptr, 0), bad);
    ULONG got = 0;
    Check(::BCryptGetProperty(provider_.get(), BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&size_),
                              sizeof size_, &got, 0),
          bad);
    Check(::BCryptCreateHash(provider_.get(), &hash_, nullptr, 0, nullptr, 0, 0), bad);
}

ContentHash::~ContentHash() {
    if (hash_ != nullptr) {
        ::BCryptDestroyHash(hash_);
    }
}

void ContentHash::Add(const BYTE* data, size_t length) {
    // CNG hashes at most 4 GiB a call.
    for (size_t offset = 0; offset < length;) {
        const ULONG slice = static_cast<ULONG>(std::min<size_t>(length - offset, 0x40000000));
        Check(::BCryptHashData(hash_, const_cast<PUCHAR>(data + offset), slice, 0),
              static_cast<DWORD>(NTE_FAIL));
        offset += slice;
    }
}

std::vector<BYTE> ContentHash::Finish() {
    std::vector<BYTE> digest(size_);
    Check(::BCryptFinishHash(hash_, digest.data(), size_, 0), static_cast<DWORD>(NTE_FAIL));
    return digest;
}

} // namespace Dossiq::Documents
