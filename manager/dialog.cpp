#include "manager/dialog.h"

#include "foundation/exception.h"
#include "foundation/resource_string.h"

namespace Manager {

namespace {
constexpr wchar_t kThisProperty[] = L"Manager.Dialog";
}

Dialog::~Dialog() {
    if (hwnd_ && !modal_ && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
}

HWND Dialog::CreateModeless(UINT id, HWND parent) {
    modal_ = false;
    return ::CreateDialogParamW(MHFX::CurrentModule(), MAKEINTRESOURCEW(id), parent,
                                &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::RunModal(const DLGTEMPLATE* dialogTemplate, HWND owner) {
    modal_ = true;
    return ::DialogBoxIndirectParamW(MHFX::CurrentModule(), dialogTemplate, owner,
                                     &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Dialog*>(::GetPropW(hwnd, kThisProperty));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        ::SetPropW(hwnd, kThisProperty, self);
    }
    if (!self) {
        return FALSE;
    }
    INT_PTR result = FALSE;
    bool handled = false;
    try {
        handled = self->OnMessage(message, wParam, lParam, result);
    } catch (...) {
        handled = false;
    }
    if (message == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kThisProperty);
        self->hwnd_ = nullptr;
    }
    if (!handled) {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    return result;
}

} // namespace Manager
