#include "ui/mouse_deaf.h"

#include <commctrl.h>

namespace Dossiq::Ui {

namespace {

LRESULT CALLBACK MouseDeafProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return 0;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, &MouseDeafProc, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace

void MakeMouseDeaf(HWND control) {
    // A second subclass with the same procedure and id replaces the first.
    if (control != nullptr) {
        ::SetWindowSubclass(control, &MouseDeafProc, 0, 0);
    }
}

} // namespace Dossiq::Ui
