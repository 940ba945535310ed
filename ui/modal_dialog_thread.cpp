#include "ui/modal_dialog_thread.h"

#include "foundation/threading/thread.h"
#include "ui/end_modal_message.h"
#include "ui/window.h"

namespace Dossiq::Ui {

class ModalDialogThread::DialogThread : public MHFX::Thread {
public:
    explicit DialogThread(ModalDialogThread& owner) : owner_(owner) {}

protected:
    DWORD Run() override {
        owner_.ShowModal();
        return 0;
    }

private:
    ModalDialogThread& owner_;
};

ModalDialogThread::ModalDialogThread(UINT templateId) : templateId_(templateId) {}

ModalDialogThread::~ModalDialogThread() {
    Close();
}

void ModalDialogThread::Start() {
    Close();
    shown_.Reset();
    thread_ = std::make_unique<DialogThread>(*this);
    thread_->Resume();
    // A template that cannot be shown never sets the event, but its thread ends.
    const HANDLE handles[] = {shown_.GetHandle(), thread_->GetHandle()};
    ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
}

void ModalDialogThread::Close() noexcept {
    if (!thread_) {
        return;
    }
    if (window_ != nullptr) {
        ::PostMessageW(window_, EndModalDialogMessage(), 0, 0);
    }
    thread_->Wait(INFINITE);
    thread_.reset();
    window_ = nullptr;
}

void ModalDialogThread::ShowModal() noexcept {
    // The owner is the new thread's active window, which is none.
    RunModal(templateId_, ::GetActiveWindow());
    shown_.Set();
}

bool ModalDialogThread::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message == WM_INITDIALOG) {
        window_ = Handle();
        try {
            OnInitDialog(window_);
        } catch (...) {
            // A missing text leaves the dialog as the template has it.
        }
        CenterWindow(window_, nullptr);
        shown_.Set();
        result = TRUE;
        return true;
    }
    if (message == EndModalDialogMessage()) {
        ::EndDialog(Handle(), 0);
        result = TRUE;
        return true;
    }
    return false;
}

} // namespace Dossiq::Ui
