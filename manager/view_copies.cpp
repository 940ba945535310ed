#include "manager/view_copies.h"

#include <windows.h>

#include "foundation/io/path.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Manager {

namespace {

// Removes the files of `folder` (copies are read-only) and then the folder; a file that is
// open elsewhere stays, read-only again.
bool RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                continue;
            }
            const std::wstring file = folder + L"\\" + data.cFileName;
            ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::DeleteFileW(file.c_str())) {
                ::SetFileAttributesW(file.c_str(), data.dwFileAttributes);
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    return ::RemoveDirectoryW(folder.c_str()) != FALSE ||
           ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

} // namespace

ViewCopies::~ViewCopies() {
    RemoveAll();
}

std::wstring ViewCopies::NewFolder() {
    if (root_.empty()) {
        const std::wstring temp = MHFX::IO::Path::GetTempPath();
        for (unsigned attempt = 0;; ++attempt) {
            wchar_t name[48];
            swprintf(name, 48, L"Dossiq View %lx-%lx", ::GetCurrentProcessId(),
                     ::GetTickCount() + attempt);
            const std::wstring root = MHFX::IO::Path::Combine(temp, name);
            if (::CreateDirectoryW(root.c_str(), nullptr)) {
                root_ = root;
                break;
            }
            MHFX::ThrowLastErrorIf(::GetLastError() != ERROR_ALREADY_EXISTS || attempt > 100);
        }
    }
    const std::wstring folder = root_ + L"\\" + std::to_wstring(++folders_);
    MHFX::ThrowLastErrorIf(!::CreateDirectoryW(folder.c_str(), nullptr));
    return folder;
}

bool ViewCopies::RemoveAll() {
    if (root_.empty()) {
        return true;
    }
    bool removed = true;
    for (unsigned i = 1; i <= folders_; ++i) {
        removed = RemoveFolder(root_ + L"\\" + std::to_wstring(i)) && removed;
    }
    if (removed && RemoveFolder(root_)) {
        root_.clear();
        folders_ = 0;
        return true;
    }
    return false;
}

} // namespace Dossiq::Manager
