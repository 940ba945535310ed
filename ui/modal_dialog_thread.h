// A language-neutral dialog template shown modally on a thread of its own, for the
// progress dialogs: Start returns once the dialog is up, Close ends it from the calling
// thread by posting the end message and waits for the dialog's thread.
#pragma once

#include <windows.h>

#include <memory>

#include "foundation/threading/event.h"
#include "ui/dialog.h"

namespace Dossiq::Ui {

class ModalDialogThread : public Dialog {
public:
    explicit ModalDialogThread(UINT templateId);
    ~ModalDialogThread() override;

    // Starts the thread and waits until the dialog is shown (or could not be shown, which
    // leaves Window() null). Throws Win32Exception when the thread cannot be made.
    void Start();
    // Ends the dialog and waits until its thread has ended; does nothing when not started.
    void Close() noexcept;

    // Null until Start has returned with the dialog up, and again after Close.
    HWND Window() const noexcept { return window_; }

protected:
    // Called on the dialog's thread when the dialog is created, before Start returns.
    virtual void OnInitDialog(HWND dialog) = 0;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    class DialogThread;
    void ShowModal() noexcept;

    UINT templateId_;
    HWND window_ = nullptr;
    MHFX::Event shown_{true, false};
    std::unique_ptr<DialogThread> thread_;
};

} // namespace Dossiq::Ui
