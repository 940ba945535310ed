#include "shell/save_as_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "document/container/document_kind.h"

using namespace Dossiq::Documents;

namespace Dossiq::Shell {

namespace {

constexpr size_t kFilterLength = 1024;
constexpr size_t kFileLength = 260;
constexpr size_t kTitleLength = 256;

// The dialog calls this for its own child dialog; the defaults do everything.
UINT_PTR CALLBACK SaveAsHook(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

} // namespace

std::wstring SaveAsDialog::Ask(CreateMode mode, HWND owner) {
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

} // namespace Dossiq::Shell
