#include "console/container_search.h"

#include <windows.h>

#include <algorithm>

#include "console/commands.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

namespace Dossiq::Console {

namespace {

bool IsContainerName(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) {
        return false;
    }
    std::wstring extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::towlower);
    return extension == L"snx" || extension == L"pnx" || extension == L"enx";
}

// The containers of a folder, sorted by name, folders below it too when `recursive`. False
// after naming on standard error a folder whose listing failed or ended early.
bool CollectFolder(const std::wstring& folder, bool recursive, std::vector<std::wstring>& found,
                   const CommandOutput& output) {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return true;
        }
        output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_LIST_FOLDER, {folder}));
        return false;
    }
    std::vector<std::wstring> files, folders;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or symbolic link could lead back up, and is said to be passed over;
            // other reparse points (cloud placeholders, deduplicated folders) are real folders.
            const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                              IsReparseTagNameSurrogate(data.dwReserved0);
            if (recursive && link) {
                output.Fail(kExitOk,
                            ConsoleText(IDS_CONSOLE_LINK_SKIPPED, {folder + L"\\" + name}));
            } else if (recursive) {
                folders.push_back(folder + L"\\" + name);
            }
        } else if (IsContainerName(name)) {
            files.push_back(folder + L"\\" + name);
        }
    } while (::FindNextFileW(find, &data));
    const DWORD end = ::GetLastError();
    ::FindClose(find);
    if (end != ERROR_NO_MORE_FILES) {
        output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_LIST_FOLDER, {folder}));
        return false;
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    found.insert(found.end(), files.begin(), files.end());
    bool ok = true;
    for (const std::wstring& sub : folders) {
        ok = CollectFolder(sub, recursive, found, output) && ok;
    }
    return ok;
}

} // namespace

bool CollectContainers(const std::vector<std::wstring>& operands, bool recursive,
                       std::vector<std::wstring>& found, const CommandOutput& output) {
    bool ok = true;
    for (const std::wstring& operand : operands) {
        wchar_t full[MAX_PATH * 4];
        const DWORD length = ::GetFullPathNameW(operand.c_str(), MAX_PATH * 4, full, nullptr);
        std::wstring path = length && length < MAX_PATH * 4 ? full : operand;
        while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
            path.pop_back();
        }
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {operand}));
            ok = false;
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CollectFolder(path, recursive, found, output) && ok;
        } else {
            found.push_back(path);
        }
    }
    return ok;
}

} // namespace Dossiq::Console
