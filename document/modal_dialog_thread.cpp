#include "document/modal_dialog_thread.h"

#include "document/end_modal_message.h"
#include "foundation/resource_string.h"
#include "foundation/threading/thread.h"

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

namespace {

void CenterOnWorkArea(HWND window) {
    RECT frame = {};
    RECT area = {};
    if (!::GetWindowRect(window, &frame) ||
        !::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
        return;
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

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
    ::DialogBoxParamW(MHFX::CurrentModule(), MAKEINTRESOURCEW(templateId_), ::GetActiveWindow(),
                      &ModalDialogThread::DialogProc, reinterpret_cast<LPARAM>(this));
    shown_.Set();
}

INT_PTR CALLBACK ModalDialogThread::DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ModalDialogThread*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->window_ = dialog;
        try {
            self->OnInitDialog(dialog);
        } catch (...) {
            // A missing text leaves the dialog as the template has it.
        }
        CenterOnWorkArea(dialog);
        self->shown_.Set();
        return TRUE;
    }
    if (message == EndModalDialogMessage()) {
        ::EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
