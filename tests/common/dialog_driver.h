// Finding, reading and driving the windows a test's code shows: system and product
// dialogs, message boxes and the windows other threads of the program open.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace TestSupport {

// A visible top-level window of this process whose title is `title` (and, when given,
// whose class is `className`), waited for up to `timeoutMs`; null when none came.
HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 30000,
                   const wchar_t* className = nullptr);
// Every visible top-level window of this process with that title.
std::vector<HWND> WindowsTitled(const std::wstring& title);
// True when no such window exists any more within `timeoutMs`.
bool WaitUntilGone(HWND window, DWORD timeoutMs = 30000);

std::wstring WindowText(HWND window);
// The first child (at any depth) with `id`, or of `className`.
HWND ChildById(HWND parent, int id);
HWND ChildByClass(HWND parent, const wchar_t* className);
// Texts of the child windows of `className`, in Z order.
std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* className);

// A message box as the user sees it.
struct MessageBoxContent {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    HICON icon = nullptr;
};
MessageBoxContent ReadMessageBox(HWND window);
// Presses a button of a dialog as a click would (WM_COMMAND with BN_CLICKED).
void PressButton(HWND dialog, int id);

// Runs `body` on a new thread with its own message queue and waits for it; the windows it
// shows are read and driven from the calling thread in the meantime through `driver`.
void RunBeside(const std::function<void()>& body, const std::function<void()>& driver);

// A plain visible top-level window. Right after a Wine prefix was made, the first windows of
// the first program can fail to appear while the desktop process starts: try for a while.
HWND CreateTestWindow(const wchar_t* title);

// Plays the user of a modal dialog that the calling thread is about to run: waits on
// another thread for a visible dialog window of the calling thread, acts on it, then keeps
// closing it and whatever it pops up until Finish, so that a test can fail but never hang.
class DialogUser {
public:
    explicit DialogUser(std::function<void(HWND)> act, HWND ignore = nullptr);
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;
    ~DialogUser();

    // Called once the dialog returned; the window it acted on (null when none appeared).
    HWND Finish();
    HWND Owner() const { return owner_; }

private:
    void Run(const std::function<void(HWND)>& act);

    DWORD uiThread_;
    HWND ignore_;
    std::atomic<bool> done_{false};
    HWND dialog_ = nullptr;
    HWND owner_ = nullptr;
    HANDLE thread_ = nullptr;
    std::function<void(HWND)> act_;
};

// Answers dialogs (class #32770) of this process, whichever thread shows them, from a
// watcher thread for as long as it lives; every one it answered is recorded.
struct SeenDialog {
    std::wstring title;
    std::wstring text; // the static text of a message box
};
class DialogWatcher {
public:
    using Answer = std::function<void(HWND dialog)>;
    // `titles`: the titles to answer ("*" for any); `answer` defaults to pressing OK.
    explicit DialogWatcher(std::vector<std::wstring> titles, Answer answer = {});
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
    std::vector<SeenDialog> Seen() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    HANDLE thread_ = nullptr;
};

} // namespace TestSupport
