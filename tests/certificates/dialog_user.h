// Plays the user of a modal dialog that a test opens on its own thread: waits on another
// thread for a visible dialog window of the test's thread, acts on it, then keeps closing it and
// whatever it pops up until the test says the dialog returned, so that a test can fail but never
// hang.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

// A plain visible top-level window. Right after a Wine prefix was made, the first windows of
// the first program can fail to appear while the desktop process starts: try for a while.
inline HWND CreateTestWindow(const wchar_t* title) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND window = ::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                        200, 100, nullptr, nullptr, nullptr, nullptr);
        if (window != nullptr) {
            return window;
        }
        ::Sleep(100);
    }
    return nullptr;
}

class DialogUser {
public:
    DialogUser(std::function<void(HWND)> act, HWND ignore = nullptr)
        : uiThread_(::GetCurrentThreadId()), ignore_(ignore), thread_([this, act] { Run(act); }) {}
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;
    ~DialogUser() {
        if (thread_.joinable()) {
            Finish();
        }
    }

    // Called once the dialog returned; the window it acted on (null when none appeared).
    HWND Finish() {
        done_ = true;
        thread_.join();
        return dialog_;
    }

    HWND Owner() const { return owner_; }

private:
    struct Search {
        HWND ignore;
        HWND found = nullptr;
    };

    static BOOL CALLBACK Find(HWND window, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        wchar_t className[32] = {};
        ::GetClassNameW(window, className, 32);
        if (window != search->ignore && ::IsWindowVisible(window) &&
            wcscmp(className, L"#32770") == 0) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    struct Closing {
        HWND ignore;
    };

    static BOOL CALLBACK Close(HWND window, LPARAM param) {
        if (window != reinterpret_cast<Closing*>(param)->ignore && ::IsWindowVisible(window)) {
            ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return TRUE;
    }

    void Run(const std::function<void(HWND)>& act) {
        Search search{ignore_};
        Closing closing{ignore_};
        int sinceFound = 0;
        for (int tick = 0; !done_; ++tick) {
            ::Sleep(50);
            if (dialog_ == nullptr) {
                ::EnumThreadWindows(uiThread_, Find, reinterpret_cast<LPARAM>(&search));
                if (search.found != nullptr) {
                    dialog_ = search.found;
                    owner_ = ::GetWindow(dialog_, GW_OWNER);
                    ::Sleep(300); // let the dialog finish its initialization
                    act(dialog_);
                }
            } else {
                ++sinceFound;
            }
            // Whatever is still up after a while goes, found or not.
            if (sinceFound > 60 || tick > 300) {
                ::EnumThreadWindows(uiThread_, Close, reinterpret_cast<LPARAM>(&closing));
            }
        }
    }

    DWORD uiThread_;
    HWND ignore_;
    std::atomic<bool> done_{false};
    HWND dialog_ = nullptr;
    HWND owner_ = nullptr;
    std::thread thread_;
};
