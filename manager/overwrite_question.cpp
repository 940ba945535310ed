#include "manager/overwrite_question.h"

#include "config/localization.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "foundation/text/readable_text.h"

#include <shlwapi.h>

using namespace Dossiq::Config;

namespace Dossiq::Manager {

namespace {
constexpr UINT kShownChars = 72; // terminator included
} // namespace

OverwriteQuestion::Answer OverwriteQuestion::Ask(HWND owner, const std::wstring& shownName) {
    shownName_ = shownName;
    switch (RunModal(IDD_OVERWRITE_QUESTION, owner)) {
    case IDYES:
        return Answer::Replace;
    case IDC_OVERWRITE_ALL:
        return Answer::ReplaceAll;
    case IDNO:
        return Answer::Skip;
    default:
        return Answer::Cancel; // also when the dialog cannot be shown
    }
}

bool OverwriteQuestion::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message == WM_INITDIALOG) {
        const HWND dialog = Handle();
        ::SetWindowTextW(dialog, LoadLocalizedString(IDS_MANAGER_NAME).c_str());
        // A long path would not wrap: its middle gives way to "...".
        wchar_t shown[kShownChars] = {};
        const std::wstring readable = MHFX::ReadableText(shownName_);
        if (!::PathCompactPathExW(shown, readable.c_str(), kShownChars, 0)) {
            lstrcpynW(shown, readable.c_str(), kShownChars);
        }
        const std::wstring text =
            MHFX::FormatString(LoadLocalizedString(IDS_OVERWRITE_QUESTION), shown);
        ::SetDlgItemTextW(dialog, IDC_OVERWRITE_TEXT, text.c_str());
        const struct {
            int control;
            UINT text;
        } buttons[] = {{IDYES, IDS_OVERWRITE_REPLACE},
                       {IDC_OVERWRITE_ALL, IDS_OVERWRITE_REPLACE_ALL},
                       {IDNO, IDS_OVERWRITE_SKIP},
                       {IDCANCEL, IDS_OVERWRITE_CANCEL}};
        for (const auto& button : buttons) {
            ::SetDlgItemTextW(dialog, button.control, LoadLocalizedString(button.text).c_str());
        }
        ::SendDlgItemMessageW(dialog, IDC_OVERWRITE_ICON, STM_SETICON,
                              reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_WARNING)), 0);
        result = TRUE;
        return true;
    }
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if (id == IDYES || id == IDC_OVERWRITE_ALL || id == IDNO || id == IDCANCEL) {
            ::EndDialog(Handle(), id);
            result = TRUE;
            return true;
        }
    }
    return false;
}

} // namespace Dossiq::Manager
