#include "manager/report_pane.h"

#include <algorithm>

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

HWND ReportPane::DetailsBox() const {
    return ::GetDlgItem(Handle(), IDC_REPORT_DETAILS);
}

bool ReportPane::ShowDetails(const std::vector<ReportDetail>& details) {
    const HWND box = DetailsBox();
    WriteDetails(box, details);
    ::ShowWindow(box, details.empty() ? SW_HIDE : SW_SHOW);
    Layout();
    return !details.empty();
}

void ReportPane::Layout() {
    RECT client, text;
    ::GetClientRect(Handle(), &client);
    const HWND box = DetailsBox();
    ::GetWindowRect(::GetDlgItem(Handle(), IDC_REPORT_TEXT), &text);
    ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&text), 2);
    RECT margin = {4, 3, 4, 4};
    ::MapDialogRect(Handle(), &margin);
    const int top = text.bottom + margin.top;
    ::MoveWindow(box, margin.left, top, client.right - margin.left - margin.right,
                 std::max(0L, client.bottom - margin.bottom - top), TRUE);
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
    case WM_SIZE:
        Layout();
        return false;
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
