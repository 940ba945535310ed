// Dialogs of the window layer: the object is bound at WM_INITDIALOG and every message goes
// to OnMessage. A dialog runs modeless from a template (child panes), modal from a template
// in memory or of the running module, or as a property page whose window the sheet owns.
#pragma once

#include <windows.h>
#include <prsht.h>

namespace Dossiq::Ui {

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
    // A modal dialog from template `id` of the running module.
    INT_PTR RunModal(UINT id, HWND owner);
    // Makes `page` describe this dialog as a property page: its procedure and parameter. The
    // sheet creates and destroys the window.
    void PreparePage(PROPSHEETPAGEW& page);

protected:
    // True when handled; `result` is then the dialog procedure's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

private:
    enum class Mode { Modeless, Modal, Page };

    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Dispatch(Dialog* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    Mode mode_ = Mode::Modeless;
};

} // namespace Dossiq::Ui
