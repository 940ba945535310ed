#include "document/container/entry_target.h"

#include "config/localization.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "zip/zip_path_guard.h"
#include "foundation/text/readable_text.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace {

// CreateDirectory's limit on a folder, and the longest path with its terminator.
constexpr size_t kMaxFolder = 248;
constexpr size_t kMaxPath = MAX_PATH;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsValidComponent(const std::wstring& component) {
    // Only dots and spaces: a way out of the folder, for the reader to refuse.
    if (component.find_first_not_of(L". ") == std::wstring::npos) {
        return true;
    }
    for (const wchar_t c : component) {
        if (c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
            c == L'>' || c == L'|') {
            return false;
        }
    }
    // Windows drops a trailing dot or space: the file would get another name.
    const wchar_t last = component.back();
    return last != L'.' && last != L' ' && !ZipPathGuard::IsReservedDeviceName(component);
}

} // namespace

EntryTargetFault CheckEntryTarget(const std::wstring& entryPath, const std::wstring& folder,
                                  bool withFolders) {
    // No name at all would name the folder itself.
    if (entryPath.empty()) {
        return EntryTargetFault::InvalidName;
    }
    // A drive-qualified name ("C:x") is the reader's to refuse, not a bad character.
    size_t start = entryPath.size() >= 2 && entryPath[1] == L':' ? 2 : 0;
    while (start <= entryPath.size()) {
        size_t end = start;
        while (end < entryPath.size() && !IsSeparator(entryPath[end])) {
            ++end;
        }
        const std::wstring component = entryPath.substr(start, end - start);
        if (!component.empty()) {
            const bool counts = withFolders || end == entryPath.size();
            if (counts && !IsValidComponent(component)) {
                return EntryTargetFault::InvalidName;
            }
        }
        start = end + 1;
    }
    const std::wstring target = ZipPathGuard::TargetPath(folder, entryPath, withFolders);
    const size_t separator = target.find_last_of(L"\\/");
    if (target.size() >= kMaxPath || (separator != std::wstring::npos && separator >= kMaxFolder)) {
        return EntryTargetFault::TooLong;
    }
    return EntryTargetFault::None;
}

std::wstring UnwritableEntryText(const std::wstring& entryPath, EntryTargetFault fault) {
    const UINT id =
        fault == EntryTargetFault::TooLong ? IDS_ENTRY_PATH_TOO_LONG : IDS_ENTRY_NAME_INVALID;
    return MHFX::FormatString(LoadLocalizedString(id), MHFX::ReadableText(entryPath).c_str());
}

} // namespace Dossiq::Documents
