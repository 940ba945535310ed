// The window layer both deliverables share: a window object bound to its HWND. The static
// window procedure stores `this` at WM_NCCREATE (the one way an object is bound to a window
// here: dialogs do the same at WM_INITDIALOG) and hands every message to OnMessage; whatever
// is not handled goes to the default procedure. No exception leaves the procedure.
#pragma once

#include <windows.h>

namespace Dossiq::Ui {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Destroys the window if it still exists.
    virtual ~Window();

    HWND Handle() const { return hwnd_; }

    // Registers `className` once per process (with `icon` and `background`) and creates
    // the window; null on failure.
    HWND Create(const wchar_t* className, HWND parent, const wchar_t* title, DWORD style,
                DWORD exStyle, const RECT& rect, HMENU menu = nullptr, HICON icon = nullptr,
                HBRUSH background = nullptr);

    // The object bound to `hwnd`, if it is one of ours.
    static Window* FromHandle(HWND hwnd);

protected:
    // True when the message was handled; `result` is then returned to the system.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After WM_NCDESTROY; the handle is already cleared.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// Centres `window` on `parent` (the work area of the window's monitor when there is none or
// it is hidden or minimized).
void CenterWindow(HWND window, HWND parent);

// Binds `object` to `hwnd` (null unbinds); the object bound, if any.
void BindObject(HWND hwnd, void* object);
void* BoundObject(HWND hwnd);

} // namespace Dossiq::Ui
