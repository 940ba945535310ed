#include "manager/report_pane.h"

#include <commctrl.h>

#include "resources/manager/resource.h"

namespace Manager {

namespace {

constexpr SignatureReport::IconIds kIcons = {IDI_STATE_QUALIFIED, IDI_STATE_QUALIFIED_HOT,
                                             IDI_STATE_WARNING,   IDI_STATE_WARNING_HOT,
                                             IDI_STATE_TAMPERED,  IDI_STATE_PROGRESS};

} // namespace

HWND ReportPane::Create(HWND parent) {
    return CreateModeless(IDD_SIGNATURE_REPORT, parent);
}

LRESULT CALLBACK ReportPane::MouseDeafProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR) {
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
        ::RemoveWindowSubclass(hwnd, &ReportPane::MouseDeafProc, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

bool ReportPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG: {
        const HWND text = ::GetDlgItem(Handle(), IDC_REPORT_TEXT);
        ::SetWindowSubclass(text, &ReportPane::MouseDeafProc, 0, 0);
        report_.Attach(text, ::GetDlgItem(Handle(), IDC_REPORT_PICTURE), kIcons);
        result = FALSE;
        return true;
    }
    case WM_DRAWITEM:
        result = report_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case WM_COMMAND:
    case WM_NOTIFY:
        ::SendMessageW(::GetParent(Handle()), message, wParam, lParam);
        result = TRUE;
        return true;
    default:
        return false;
    }
}

} // namespace Manager
