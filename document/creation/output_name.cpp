#include "document/creation/output_name.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace Dossiq::Documents {

namespace {

constexpr size_t kFilterLength = 1024;
constexpr size_t kFileLength = 260;
constexpr size_t kTitleLength = 256;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The last component of a path; a trailing separator (a folder written as "C:\Work\") does
// not hide the folder's name, but a drive root has none.
std::wstring LastComponent(std::wstring path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != L':') {
        path.pop_back();
    }
    const size_t last = path.find_last_of(L"\\/:");
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

// The dialog calls this for its own child dialog; the defaults do everything.
UINT_PTR CALLBACK SaveAsHook(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

} // namespace

std::wstring OutputName::BaseName(const std::vector<std::wstring>& selection,
                                  const std::wstring& rootFolder) {
    if (selection.size() == 1) {
        const std::wstring name = LastComponent(selection.front());
        const size_t dot = name.rfind(L'.');
        return dot == std::wstring::npos ? name : name.substr(0, dot);
    }
    return LastComponent(rootFolder);
}

std::wstring OutputName::QuickPath(const std::vector<std::wstring>& selection,
                                   const std::wstring& rootFolder, CreateMode mode) {
    const std::wstring extension = ModeExtension(mode);
    if (extension.empty()) {
        return std::wstring();
    }
    std::wstring path = rootFolder;
    if (path.empty() || !(IsSeparator(path.back()) || path.back() == L':')) {
        path += L'\\';
    }
    return path + BaseName(selection, rootFolder) + L'.' + extension;
}

std::wstring OutputName::AskSaveAs(CreateMode mode, HWND owner) {
    const std::optional<DocumentKind> kind = ModeKind(mode);
    if (!kind) {
        return std::wstring();
    }
    // The filter is a list of zero-terminated texts ended by one more zero.
    std::vector<wchar_t> filter(kFilterLength, L'\0');
    const std::wstring filterText = FilterText({*kind});
    std::copy_n(filterText.begin(), std::min(filterText.size(), kFilterLength - 2), filter.begin());
    std::vector<wchar_t> file(kFileLength, L'\0');
    std::vector<wchar_t> title(kTitleLength, L'\0');
    const std::wstring extension = KindExtension(*kind);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.data();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFileTitle = title.data();
    dialog.nMaxFileTitle = static_cast<DWORD>(title.size());
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags =
        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_EXPLORER | OFN_ENABLESIZING;
    dialog.lpfnHook = SaveAsHook;
    if (!::GetSaveFileNameW(&dialog)) {
        return std::wstring();
    }
    return std::wstring(file.data());
}

} // namespace Dossiq::Documents
