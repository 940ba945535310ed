// Dialogs of the window layer: the object is bound at WM_INITDIALOG and every message goes
// to OnMessage. Child panes are created modeless from a template; the About box runs modal
// from a template found in the preference language.
#pragma once

#include <windows.h>

namespace Manager {

class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    HWND Handle() const { return hwnd_; }

    // A modeless dialog from template `id` of the running module.
    HWND CreateModeless(UINT id, HWND parent);
    // A modal dialog from a template already in memory.
    INT_PTR RunModal(const DLGTEMPLATE* dialogTemplate, HWND owner);

protected:
    // True when handled; `result` is then the dialog procedure's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

} // namespace Manager
