#include "foundation/io/path.h"

#include <shlwapi.h>

#include <cwctype>

#include "foundation/argument_exception.h"
#include "foundation/io/path_too_long_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX::IO {

namespace {

[[noreturn]] void ThrowNotLegalForm() {
    throw ArgumentException(LoadNeutralString(IDS_PATH_NOT_LEGAL_FORM));
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const std::size_t length = ::wcslen(prefix);
    return text.size() >= length && ::_wcsnicmp(text.c_str(), prefix, length) == 0;
}

std::wstring ToBackslashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

// The last error, or `fallback` when a failing call left none.
DWORD ErrorOr(DWORD fallback) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Device paths ("\\?\C:\x", "\\.\C:") carry their drive colon after the prefix.
bool IsDevicePrefix(const std::wstring& text) {
    return text.size() >= 4 && text[0] == L'\\' && text[1] == L'\\' &&
           (text[2] == L'?' || text[2] == L'.') && text[3] == L'\\';
}

bool ColonAllowedAfter(const std::wstring& text) {
    if (text.size() == 1) {
        return IsAsciiLetter(text[0]);
    }
    return text.size() == 5 && IsDevicePrefix(text) && IsAsciiLetter(text[4]);
}

void CheckFolderLength(const std::wstring& path) {
    const std::size_t lastSeparator = path.find_last_of(L'\\');
    if (lastSeparator != std::wstring::npos && lastSeparator >= Path::MaxDirectoryLength) {
        throw PathTooLongException();
    }
}

// A UNC path needs a server and a share: "\\server" and "\\server\" name neither a file
// nor a folder.
void CheckUncHasShare(const std::wstring& path) {
    if (path.size() < 2 || path[0] != L'\\' || path[1] != L'\\') {
        return;
    }
    const std::size_t shareStart = path.find(L'\\', 2);
    if (shareStart == std::wstring::npos || shareStart + 1 >= path.size() || shareStart == 2) {
        ThrowNotLegalForm();
    }
}

} // namespace

std::wstring Path::TrimWhiteSpace(const std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::iswspace(text[begin])) {
        ++begin;
    }
    while (end > begin && std::iswspace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

void Path::CheckInvalidPathChars(const std::wstring& path) {
    for (const wchar_t c : path) {
        if (c == L'"' || c == L'<' || c == L'>' || c == L'|' || c < 32) {
            throw ArgumentException(LoadNeutralString(IDS_ILLEGAL_PATH_CHARACTERS));
        }
    }
}

std::wstring Path::Combine(const std::wstring& path1, const std::wstring& path2) {
    CheckInvalidPathChars(path1);
    CheckInvalidPathChars(path2);
    if (path2.empty()) {
        return path1;
    }
    if (path1.empty()) {
        return path2;
    }
    if (IsDirectorySeparator(path2[0]) || (path2.size() >= 2 && path2[1] == L':')) {
        return path2;
    }
    const wchar_t last = path1.back();
    if (IsDirectorySeparator(last) || last == L':') {
        return path1 + path2;
    }
    return path1 + L'\\' + path2;
}

std::size_t Path::GetRootLength(const std::wstring& path) {
    const std::size_t length = path.size();
    if (length >= 1 && IsDirectorySeparator(path[0])) {
        if (length < 2 || !IsDirectorySeparator(path[1])) {
            return 1;
        }
        // UNC: through the separator that ends the share name.
        std::size_t i = 2;
        int separators = 0;
        while (i < length) {
            if (IsDirectorySeparator(path[i]) && ++separators == 2) {
                return i + 1;
            }
            ++i;
        }
        return length;
    }
    if (length >= 2 && path[1] == L':') {
        return (length >= 3 && IsDirectorySeparator(path[2])) ? 3 : 2;
    }
    return 0;
}

std::wstring Path::GetDirectoryName(const std::wstring& path) {
    if (path.empty()) {
        return std::wstring();
    }
    CheckInvalidPathChars(path);
    const std::wstring normalized = Normalize(path, false);
    const std::size_t root = GetRootLength(normalized);
    std::size_t i = normalized.size();
    if (i <= root) {
        return std::wstring();
    }
    while (i > root && !IsDirectorySeparator(normalized[--i])) {
    }
    return normalized.substr(0, i);
}

std::wstring Path::GetFileName(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/:");
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

std::wstring Path::GetExtension(const std::wstring& path) {
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || dot + 1 == path.size()) {
        return std::wstring();
    }
    const std::size_t separator = path.find_last_of(L"\\/:");
    if (separator != std::wstring::npos && separator > dot) {
        return std::wstring();
    }
    return path.substr(dot);
}

std::wstring Path::GetItemName(const std::wstring& path) {
    if (!path.empty() && ::PathIsDirectoryW(path.c_str())) {
        return GetFileName(GetDirectoryName(path + L"\\dummy.ext"));
    }
    return GetFileName(path);
}

std::wstring Path::GetFullPath(const std::wstring& path) {
    return Normalize(path, true);
}

std::wstring Path::GetTempPath() {
    wchar_t buffer[MaxPath];
    const DWORD length = ::GetTempPathW(MaxPath, buffer);
    if (length == 0) {
        throw Win32Exception();
    }
    if (length >= MaxPath) {
        throw PathTooLongException();
    }
    return GetFullPath(std::wstring(buffer, length));
}

std::wstring Path::GetRelativePath(const std::wstring& rootFolder, const std::wstring& path) {
    // The shell function works in MAX_PATH buffers of its own.
    if (rootFolder.size() >= MaxPath || path.size() >= MaxPath) {
        throw PathTooLongException();
    }
    // It only knows backslashes, and a folder given with a trailing one comes out as
    // "\name" instead of ".\name".
    std::wstring from = ToBackslashes(rootFolder);
    while (from.size() > GetRootLength(from) && from.back() == L'\\') {
        from.pop_back();
    }
    const std::wstring to = ToBackslashes(path);
    wchar_t buffer[MaxPath + 1] = {};
    ::SetLastError(ERROR_SUCCESS);
    if (!::PathRelativePathToW(buffer, from.c_str(), FILE_ATTRIBUTE_DIRECTORY, to.c_str(),
                               FILE_ATTRIBUTE_NORMAL)) {
        // Without a common root the function fails without setting an error.
        throw Win32Exception(ErrorOr(ERROR_INVALID_PARAMETER));
    }
    return buffer;
}

std::wstring Path::Normalize(const std::wstring& input, bool fullCheck) {
    std::wstring path = input;
    if (fullCheck) {
        path = TrimWhiteSpace(path);
        CheckInvalidPathChars(path);
        if (StartsWithNoCase(path, L"http:") || StartsWithNoCase(path, L"file:")) {
            ThrowNotLegalForm();
        }
    }

    std::wstring walked;
    walked.reserve(MaxPath);
    bool mightBeShortName = false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        wchar_t c = path[i];
        if (IsDirectorySeparator(c)) {
            c = L'\\';
            // Runs of separators fold into one, except the two that open a UNC path.
            if (!walked.empty() && walked.back() == L'\\' && !(i == 1 && walked.size() == 1)) {
                continue;
            }
        } else if (c == L':') {
            if (!ColonAllowedAfter(walked)) {
                ThrowNotLegalForm();
            }
        } else if (c == L'~') {
            mightBeShortName = true;
        }
        walked.push_back(c);
        if (walked.size() >= MaxPath) {
            throw PathTooLongException();
        }
    }

    if (!fullCheck) {
        // Only a rewrite: a relative path stays relative, "." and ".." stay as written.
        CheckFolderLength(walked);
        return walked;
    }

    wchar_t buffer[MaxPath + 1];
    if (mightBeShortName) {
        const DWORD length = ::GetLongPathNameW(walked.c_str(), buffer, MaxPath + 1);
        if (length >= MaxPath) {
            throw PathTooLongException();
        }
        // A name that does not exist (yet) keeps its short form.
        if (length > 0) {
            walked.assign(buffer, length);
        }
    }

    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetFullPathNameW(walked.c_str(), MaxPath + 1, buffer, nullptr);
    if (length == 0) {
        // An empty path fails without an error of its own.
        throw Win32Exception(ErrorOr(ERROR_INVALID_NAME));
    }
    if (length >= MaxPath) {
        throw PathTooLongException();
    }
    std::wstring full(buffer, length);
    CheckFolderLength(full);
    CheckUncHasShare(full);
    if (StartsWithNoCase(full, L"\\\\?\\globalroot")) {
        throw ArgumentException(LoadNeutralString(IDS_PATH_GLOBALROOT));
    }
    return full;
}

} // namespace MHFX::IO
