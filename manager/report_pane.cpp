#include "manager/report_pane.h"

#include "resources/manager/resource.h"
#include "ui/mouse_deaf.h"

namespace Manager {

namespace {

constexpr SignatureReport::IconIds kIcons = {IDI_STATE_QUALIFIED, IDI_STATE_QUALIFIED_HOT,
                                             IDI_STATE_WARNING,   IDI_STATE_WARNING_HOT,
                                             IDI_STATE_TAMPERED,  IDI_STATE_PROGRESS};

} // namespace

HWND ReportPane::Create(HWND parent) {
    return CreateModeless(IDD_SIGNATURE_REPORT, parent);
}

bool ReportPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG: {
        const HWND text = ::GetDlgItem(Handle(), IDC_REPORT_TEXT);
        Ui::MakeMouseDeaf(text);
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
