#pragma once

#include <windows.h>

#include <string>

namespace MHFX::IO {

class File {
public:
    // True only for an existing file: blanks and folders are not files.
    static bool Exists(const std::wstring& path);
    // The attribute word of a file or folder.
    static DWORD GetAttributes(const std::wstring& path);
};

} // namespace MHFX::IO
