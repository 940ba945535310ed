// A CNG hash fed in pieces: content that lies in several places, or that is hashed while
// the rest of it is still being read.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <vector>

#include "foundation/handle.h"

namespace Dossiq::Documents {

class ContentHash {
public:
    // `algorithm` is a CNG name (BCRYPT_SHA256_ALGORITHM ...). Throws Win32Exception
    // (NTE_BAD_ALGID) when the platform has no such hash.
    explicit ContentHash(const wchar_t* algorithm);
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    // Throws Win32Exception.
    void Add(const BYTE* data, size_t length);
    // The digest; the hash takes nothing more afterwards. Throws Win32Exception.
    std::vector<BYTE> Finish();

private:
    MHFX::BCryptAlgorithmHandle provider_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    DWORD size_ = 0;
};

} // namespace Dossiq::Documents
