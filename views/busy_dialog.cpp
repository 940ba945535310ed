#include "views/busy_dialog.h"

#include <commctrl.h>

#include "config/localization.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Views {

BusyDialog::BusyDialog(UINT titleId, UINT descriptionId)
    : ModalDialogThread(IDD_BUSY), titleId_(titleId), descriptionId_(descriptionId) {}

void BusyDialog::OnInitDialog(HWND dialog) {
    ::SendDlgItemMessageW(dialog, IDC_BUSY_BAR, PBM_SETMARQUEE, TRUE, 0);
    ::SetWindowTextW(dialog, LoadLocalizedString(titleId_).c_str());
    ::SetDlgItemTextW(dialog, IDC_BUSY_TEXT, LoadLocalizedString(descriptionId_).c_str());
}

} // namespace Dossiq::Views
