#include "manager/about_dialog.h"

#include "config/localization.h"
#include "resources/manager/resource.h"

namespace Manager {

void CenterWindow(HWND window, HWND parent) {
    RECT area;
    if (parent && ::IsWindowVisible(parent) && !::IsIconic(parent)) {
        ::GetWindowRect(parent, &area);
    } else {
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
        area = info.rcWork;
    }
    RECT rect;
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

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

} // namespace Manager
