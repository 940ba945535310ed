#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace MHFX::IO {

enum class SearchOption : int {
    AllDirectories = 0,   // the folder and every folder below it
    TopDirectoryOnly = 1, // the folder alone
};

class Directory {
public:
    // Files and folders matching `searchPattern`, each as `path` joined with its name (and
    // the names of the folders in between), in the order the file system returns them.
    static std::vector<std::wstring> GetFileSystemEntries(const std::wstring& path,
                                                          const std::wstring& searchPattern,
                                                          SearchOption searchOption);
};

} // namespace MHFX::IO
