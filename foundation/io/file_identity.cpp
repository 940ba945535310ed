#include "foundation/io/file_identity.h"

#include <windows.h>

#include "foundation/handle.h"
#include "foundation/io/full_path_name.h"

namespace MHFX::IO {

namespace {

bool Identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    FileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(file.get(), &info);
}

} // namespace

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    std::wstring fullA;
    std::wstring fullB;
    if (TryGetFullPathName(a, fullA) && TryGetFullPathName(b, fullB) &&
        ::CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                               static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL) {
        return true;
    }
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    return Identity(a, first) && Identity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

} // namespace MHFX::IO
