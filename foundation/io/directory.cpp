#include "foundation/io/directory.h"

#include <deque>

#include "foundation/argument_exception.h"
#include "foundation/handle.h"
#include "foundation/io/error_mode_scope.h"
#include "foundation/io/path.h"
#include "foundation/io/path_too_long_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX::IO {

namespace {

// A pattern may hold ".." inside a name ("a..b") but must not climb out of the folder.
void CheckSearchPattern(const std::wstring& pattern) {
    for (std::size_t at = pattern.find(L".."); at != std::wstring::npos;
         at = pattern.find(L"..", at + 2)) {
        if (at + 2 == pattern.size() || Path::IsDirectorySeparator(pattern[at + 2])) {
            throw ArgumentException(LoadNeutralString(IDS_SEARCH_PATTERN_DOTDOT));
        }
    }
}

// The pattern is always appended below the folder, even when it looks rooted.
std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || Path::IsDirectorySeparator(folder.back()) || folder.back() == L':') {
        return folder + name;
    }
    return folder + L'\\' + name;
}

struct PendingFolder {
    std::wstring shownPath; // as the caller wrote it, for the results
    std::wstring fullPath;
};

// Appends the folder's matches and queues the subfolders among them when descending.
void ListFolder(const PendingFolder& folder, const std::wstring& pattern, bool descend,
                std::vector<std::wstring>& entries, std::deque<PendingFolder>& pending) {
    ErrorModeScope errorMode;
    WIN32_FIND_DATAW data;
    FindHandle find(::FindFirstFileW(Join(folder.fullPath, pattern).c_str(), &data));
    if (!find) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return;
        }
        throw Win32Exception(error);
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        entries.push_back(Join(folder.shownPath, name));
        if (descend && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // Joined, not normalized again: that would trim a name ending in a dot.
            std::wstring fullPath = Join(folder.fullPath, name);
            if (fullPath.size() >= Path::MaxPath) {
                throw PathTooLongException();
            }
            pending.push_back({entries.back(), std::move(fullPath)});
        }
    } while (::FindNextFileW(find.get(), &data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throw Win32Exception(error);
    }
}

} // namespace

std::vector<std::wstring> Directory::GetFileSystemEntries(const std::wstring& path,
                                                          const std::wstring& searchPattern,
                                                          SearchOption searchOption) {
    if (searchOption != SearchOption::AllDirectories &&
        searchOption != SearchOption::TopDirectoryOnly) {
        throw ArgumentException(LoadNeutralString(IDS_ENUM_OUT_OF_RANGE), L"searchOption");
    }
    CheckSearchPattern(searchPattern);
    Path::CheckInvalidPathChars(searchPattern);

    std::vector<std::wstring> entries;
    if (path.empty()) {
        return entries;
    }
    const bool descend = searchOption == SearchOption::AllDirectories;
    std::deque<PendingFolder> pending;
    pending.push_back({path, Path::GetFullPath(path)});
    while (!pending.empty()) {
        const PendingFolder folder = std::move(pending.front());
        pending.pop_front();
        ListFolder(folder, searchPattern, descend, entries, pending);
    }
    return entries;
}

} // namespace MHFX::IO
