#include "manager/report_pane.h"

#include <algorithm>

#include <oleacc.h>
#include <richedit.h>

#include "config/localization.h"
#include "document/report/report_details.h"
#include "document/report/validation_report.h"
#include "resources/manager/resource.h"
#include "ui/accessible_text.h"
#include "ui/dpi.h"
#include "ui/mouse_deaf.h"
#include "views/signature_choice.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Views;

namespace Dossiq::Manager {

namespace {

constexpr SignatureReport::IconIds kIcons = {IDI_STATE_QUALIFIED, IDI_STATE_QUALIFIED_HOT,
                                             IDI_STATE_WARNING,   IDI_STATE_WARNING_HOT,
                                             IDI_STATE_TAMPERED,  IDI_STATE_PROGRESS};

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

UINT VerdictText(ReportPicture picture) {
    switch (picture) {
    case ReportPicture::Qualified:
        return IDS_VERDICT_QUALIFIED;
    case ReportPicture::Warning:
        return IDS_VERDICT_WARNING;
    case ReportPicture::Tampered:
        return IDS_VERDICT_TAMPERED;
    case ReportPicture::InProgress:
    case ReportPicture::None:
        break;
    }
    return IDS_VERDICT_IN_PROGRESS;
}

} // namespace

HWND ReportPane::Create(HWND parent, UINT dpi) {
    dpi_ = dpi;
    return CreateModeless(IDD_SIGNATURE_REPORT, parent);
}

int ReportPane::PictureSizeFor(UINT dpi) {
    return Ui::FittingSize(48, dpi, {48, 60, 72, 96});
}

void ReportPane::SetDpi(UINT oldDpi, UINT newDpi) {
    dpi_ = newDpi;
    // The old font goes only once the controls have the new one.
    MHFX::FontHandle font(Ui::RescaledFont(Handle(), oldDpi, newDpi));
    Ui::RescaleChildren(Handle(), oldDpi, newDpi, font.get());
    if (font) {
        font_ = std::move(font);
    }
    report_.SetPictureSize(PictureSizeFor(newDpi));
    baseHeight_ = ::MulDiv(baseHeight_, static_cast<int>(newDpi), static_cast<int>(oldDpi));
    textTop_ = ::MulDiv(textTop_, static_cast<int>(newDpi), static_cast<int>(oldDpi));
    wrapWidth_ = 0;
    Layout();
}

void ReportPane::Describe() {
    const ReportPane* self = this;
    Ui::AccessibleText picture;
    picture.name = [self] {
        return LoadLocalizedString(VerdictText(self->report_.PictureState()));
    };
    picture.role = ROLE_SYSTEM_PUSHBUTTON;
    Ui::SetAccessibleText(report_.Picture().Handle(), std::move(picture));

    const HWND text = report_.TextBox();
    Ui::AccessibleText report;
    report.name = [] { return LoadLocalizedString(IDS_REPORT_NAME); };
    report.value = [text] { return WindowText(text); };
    report.role = ROLE_SYSTEM_TEXT;
    Ui::SetAccessibleText(text, std::move(report));

    const HWND box = DetailsBox();
    Ui::AccessibleText details;
    details.name = [] { return DetailsHeading(); };
    details.value = [box] { return WindowText(box); };
    details.role = ROLE_SYSTEM_TEXT;
    Ui::SetAccessibleText(box, std::move(details));
}

// A dotted frame around the text box that has the focus: a read-only box shows no caret.
void ReportPane::PaintFocus() {
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(Handle(), &paint);
    const HWND focus = ::GetFocus();
    if (dc && focus && (focus == report_.TextBox() || focus == DetailsBox())) {
        RECT rect;
        ::GetWindowRect(focus, &rect);
        ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
        ::InflateRect(&rect, 2, 2);
        ::DrawFocusRect(dc, &rect);
    }
    ::EndPaint(Handle(), &paint);
}

HWND ReportPane::DetailsBox() const {
    return ::GetDlgItem(Handle(), IDC_REPORT_DETAILS);
}

HWND ReportPane::SignatureChoice() const {
    return ::GetDlgItem(Handle(), IDC_REPORT_SIGNATURE);
}

void ReportPane::ShowSignatures(const ValidationReport* report) {
    if (report) {
        ShowSignatureChoice(SignatureChoice(), *report);
    } else {
        ::ShowWindow(SignatureChoice(), SW_HIDE);
    }
    Layout();
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
    const HWND report = ::GetDlgItem(Handle(), IDC_REPORT_TEXT);
    ::GetWindowRect(report, &text);
    ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&text), 2);
    RECT margin = {4, 3, 4, 4};
    ::MapDialogRect(Handle(), &margin);
    // The report wraps at the pane's edge, not at one the window may hide, and is as high
    // as its lines.
    const int width = std::max(0, static_cast<int>(client.right - margin.right - text.left));
    const int base = baseHeight_ > 0 ? baseHeight_ : static_cast<int>(text.bottom - text.top);
    const int height = std::max(base, neededHeight_);
    const HWND choice = SignatureChoice();
    text.top = textTop_;
    if (::IsWindowVisible(choice)) {
        RECT box;
        ::GetWindowRect(choice, &box);
        ::MoveWindow(choice, text.left, margin.top, width, box.bottom - box.top, TRUE);
        text.top = std::max<LONG>(textTop_, margin.top + (box.bottom - box.top) + margin.top);
    }
    ::MoveWindow(report, text.left, text.top, width, height, TRUE);
    if (width != wrapWidth_) {
        wrapWidth_ = width;
        ::SendMessageW(report, EM_REQUESTRESIZE, 0, 0);
    }
    const int top = text.top + height + margin.top;
    ::MoveWindow(box, margin.left, top, client.right - margin.left - margin.right,
                 std::max(0L, client.bottom - margin.bottom - top), TRUE);
}

bool ReportPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG: {
        const HWND text = ::GetDlgItem(Handle(), IDC_REPORT_TEXT);
        Ui::MakeMouseDeaf(text);
        RECT rect;
        ::GetWindowRect(text, &rect);
        baseHeight_ = rect.bottom - rect.top;
        ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
        textTop_ = rect.top;
        NameSignatureChoice(SignatureChoice());
        ::SendMessageW(text, EM_SETEVENTMASK, 0,
                       ::SendMessageW(text, EM_GETEVENTMASK, 0, 0) | ENM_REQUESTRESIZE);
        report_.Attach(text, ::GetDlgItem(Handle(), IDC_REPORT_PICTURE), kIcons,
                       PictureSizeFor(dpi_));
        Describe();
        result = FALSE;
        return true;
    }
    case WM_SIZE:
        Layout();
        return false;
    case WM_DRAWITEM:
        result = report_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case WM_PAINT:
        PaintFocus();
        result = 0;
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_SETFOCUS || HIWORD(wParam) == EN_KILLFOCUS) {
            ::RedrawWindow(Handle(), nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        }
        ::SendMessageW(::GetParent(Handle()), message, wParam, lParam);
        result = TRUE;
        return true;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom == IDC_REPORT_TEXT && header.code == EN_REQUESTRESIZE) {
            const RECT& needed = reinterpret_cast<const REQRESIZE*>(lParam)->rc;
            if (needed.bottom - needed.top != neededHeight_) {
                neededHeight_ = needed.bottom - needed.top;
                Layout();
            }
            result = 0;
            return true;
        }
        ::SendMessageW(::GetParent(Handle()), message, wParam, lParam);
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

} // namespace Dossiq::Manager
