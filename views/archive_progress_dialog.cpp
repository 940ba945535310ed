#include "views/archive_progress_dialog.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "config/localization.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Views {

namespace {
// Characters of the shortened file name, terminator included.
constexpr UINT kNameBuffer = 60;
constexpr uint64_t kMaxRange = 0x7FFFFFFF;
} // namespace

ArchiveProgressDialog::ArchiveProgressDialog(bool compressing)
    : ModalDialogThread(IDD_ARCHIVE_PROGRESS), compressing_(compressing) {}

void ArchiveProgressDialog::OnInitDialog(HWND dialog) {
    ::SetWindowTextW(
        dialog, LoadLocalizedString(compressing_ ? IDS_COMPRESSING : IDS_UNCOMPRESSING).c_str());
}

void ArchiveProgressDialog::Init(const std::wstring& fileInZip, const std::wstring& externalFile) {
    CZipActionCallback::Init(fileInZip, externalFile);
    done_ = 0;
}

void ArchiveProgressDialog::SetTotal(uint64_t total) {
    CZipActionCallback::SetTotal(total);
    done_ = 0;
    scale_ = total > kMaxRange ? total / kMaxRange + 1 : 1;
    const HWND dialog = Window();
    if (dialog == nullptr) {
        return;
    }
    ::SendDlgItemMessageW(dialog, IDC_ARCHIVE_PROGRESS_BAR, PBM_SETRANGE32, 0,
                          static_cast<LPARAM>(total / scale_));
    ::SendDlgItemMessageW(dialog, IDC_ARCHIVE_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool ArchiveProgressDialog::OnProgress(uint64_t amount) {
    done_ += amount;
    const HWND dialog = Window();
    if (dialog == nullptr) {
        return true;
    }
    const std::wstring& source = GetExternalFile();
    wchar_t name[kNameBuffer] = {};
    if (!::PathCompactPathExW(name, ::PathFindFileNameW(source.c_str()), kNameBuffer, 0)) {
        name[0] = L'\0';
    }
    ::SetDlgItemTextW(dialog, IDC_ARCHIVE_PROGRESS_TEXT, name);
    ::SendDlgItemMessageW(dialog, IDC_ARCHIVE_PROGRESS_BAR, PBM_SETPOS,
                          static_cast<WPARAM>(done_ / scale_), 0);
    return true;
}

} // namespace Dossiq::Views
