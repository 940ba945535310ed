// What the creation tests share: reading and driving the windows that a command shows on
// its own threads (message boxes, the certificate selection, Save As, progress dialogs),
// screenshots of them, and the exact contents of the user's certificate stores per test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace CreationTest {

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

// The rows of the first column of a list view.
std::vector<std::wstring> ListViewTexts(HWND listView, int column = 0);
// Selects row `index` as a click would, focus included.
void SelectListViewRow(HWND listView, int index);

// Saves what the screen shows inside `window` (or the whole screen for null) as
// <build>/screens-creation/<name>.png.
void Screenshot(HWND window, const std::string& name);

// Sets "My", "AddressBook" and "TrustedPeople" of the current user to exactly the named
// certificates of the test PKI, and puts back what they held when it goes. A name in "My"
// may end in "!nokey" (no private key property), "!badkey" (its key property names a key
// container that does not exist) or "!dsskey" (its key property names the DSS container
// DssKeyContainer(name), which the test makes).
std::wstring DssKeyContainer(const std::string& name);

class StoreScenario {
public:
    StoreScenario(const std::vector<std::string>& my, const std::vector<std::string>& addressBook,
                  const std::vector<std::string>& trustedPeople);
    ~StoreScenario();
    StoreScenario(const StoreScenario&) = delete;
    StoreScenario& operator=(const StoreScenario&) = delete;
};

// The kit names of the certificates in a list of contexts' encodings.
std::string KitNameOf(const std::string& der);

// Whether a system store of the current user exists.
bool SystemStoreExists(const std::wstring& name);

// Runs `body` on a new thread with its own message queue and waits for it; the windows it
// shows are read and driven from the calling thread in the meantime through `driver`.
void RunBeside(const std::function<void()>& body, const std::function<void()>& driver);

} // namespace CreationTest
