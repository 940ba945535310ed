#include "manager/about_dialog.h"

#include "config/localization.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;

namespace Dossiq::Manager {

INT_PTR AboutDialog::Show(HWND owner) {
    const LocalizedResource found = FindLocalizedResource(RT_DIALOG, IDD_ABOUTBOX);
    if (!found) {
        return -1;
    }
    return RunModal(static_cast<const DLGTEMPLATE*>(found.data), owner);
}

bool AboutDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(Handle(), ::GetParent(Handle()));
        result = TRUE;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) >= IDOK && LOWORD(wParam) <= IDNO) {
            ::EndDialog(Handle(), LOWORD(wParam));
            result = TRUE;
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace Dossiq::Manager
