#include "ui/dialog.h"

#include "foundation/resource_string.h"
#include "ui/window.h"

namespace Dossiq::Ui {

Dialog::~Dialog() {
    if (hwnd_ && mode_ == Mode::Modeless && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
}

HWND Dialog::CreateModeless(UINT id, HWND parent) {
    mode_ = Mode::Modeless;
    return ::CreateDialogParamW(MHFX::CurrentModule(), MAKEINTRESOURCEW(id), parent,
                                &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::RunModal(const DLGTEMPLATE* dialogTemplate, HWND owner) {
    mode_ = Mode::Modal;
    return ::DialogBoxIndirectParamW(MHFX::CurrentModule(), dialogTemplate, owner,
                                     &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::RunModal(UINT id, HWND owner) {
    mode_ = Mode::Modal;
    return ::DialogBoxParamW(MHFX::CurrentModule(), MAKEINTRESOURCEW(id), owner,
                             &Dialog::StaticProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::PreparePage(PROPSHEETPAGEW& page) {
    mode_ = Mode::Page;
    page.pfnDlgProc = &Dialog::PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = message == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lParam)
                                          : static_cast<Dialog*>(BoundObject(hwnd));
    return Dispatch(self, hwnd, message, wParam, lParam);
}

// A page gets its PROPSHEETPAGE at WM_INITDIALOG, with the object in its lParam.
INT_PTR CALLBACK Dialog::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self =
        message == WM_INITDIALOG
            ? reinterpret_cast<Dialog*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam)
            : static_cast<Dialog*>(BoundObject(hwnd));
    return Dispatch(self, hwnd, message, wParam, lParam);
}

INT_PTR Dialog::Dispatch(Dialog* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!self) {
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        self->hwnd_ = hwnd;
        BindObject(hwnd, self);
    }
    INT_PTR result = FALSE;
    bool handled = false;
    try {
        handled = self->OnMessage(message, wParam, lParam, result);
    } catch (...) {
        handled = false;
    }
    if (message == WM_NCDESTROY) {
        BindObject(hwnd, nullptr);
        self->hwnd_ = nullptr;
    }
    if (!handled) {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    return result;
}

} // namespace Dossiq::Ui
