#include "foundation/io/full_path_name.h"

#include <windows.h>

namespace MHFX::IO {

bool TryGetFullPathName(const std::wstring& path, std::wstring& full) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return false;
    }
    full.assign(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        full.clear();
        return false;
    }
    full.resize(length);
    return true;
}

std::wstring FullPathOf(const std::wstring& path) {
    std::wstring full;
    return TryGetFullPathName(path, full) ? full : path;
}

} // namespace MHFX::IO
