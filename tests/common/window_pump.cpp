#include "common/window_pump.h"

namespace TestSupport {

namespace {

int g_quitCode = -1;

// Dispatches one queued message; false when the queue is empty.
bool DispatchOne(const std::function<void(const MSG&)>& observer) {
    MSG message;
    if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (observer) {
        observer(message);
    }
    if (message.message == WM_QUIT) {
        g_quitCode = static_cast<int>(message.wParam);
        return true;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

} // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs,
               const std::function<void(const MSG&)>& observer,
               const std::function<void()>& idle) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        while (DispatchOne(observer)) {
            if (done()) {
                return true;
            }
        }
        if (idle) {
            idle();
        }
        if (done()) {
            return true;
        }
        if (::GetTickCount64() > deadline) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void Pump(DWORD milliseconds, const std::function<void()>& idle) {
    PumpUntil([] { return false; }, milliseconds, {}, idle);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        ::Sleep(20);
    }
    return true;
}

int LastQuitCode() {
    return g_quitCode;
}

} // namespace TestSupport
