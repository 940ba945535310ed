#include "foundation/io/file.h"

#include <shlwapi.h>

#include "foundation/io/error_mode_scope.h"
#include "foundation/io/path.h"
#include "foundation/win32_exception.h"

namespace MHFX::IO {

bool File::Exists(const std::wstring& path) {
    if (Path::TrimWhiteSpace(path).empty()) {
        return false;
    }
    if (::PathIsDirectoryW(path.c_str())) {
        return false;
    }
    return ::PathFileExistsW(path.c_str()) != FALSE;
}

DWORD File::GetAttributes(const std::wstring& path) {
    const std::wstring fullPath = Path::GetFullPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    DWORD error = ERROR_SUCCESS;
    {
        ErrorModeScope errorMode;
        if (!::GetFileAttributesExW(fullPath.c_str(), GetFileExInfoStandard, &data)) {
            error = ::GetLastError();
        }
    }
    if (error != ERROR_SUCCESS) {
        throw Win32Exception(error);
    }
    return data.dwFileAttributes;
}

} // namespace MHFX::IO
