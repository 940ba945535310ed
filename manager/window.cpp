#include "manager/window.h"

#include "foundation/exception.h"
#include "foundation/resource_string.h"

namespace Manager {

namespace {
constexpr wchar_t kThisProperty[] = L"Manager.Window";
}

Window::~Window() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
}

HWND Window::Create(const wchar_t* className, HWND parent, const wchar_t* title, DWORD style,
                    DWORD exStyle, const RECT& rect, HMENU menu, HICON icon, HBRUSH background) {
    const HINSTANCE module = MHFX::CurrentModule();
    WNDCLASSEXW known = {};
    known.cbSize = sizeof(known);
    if (!::GetClassInfoExW(module, className, &known)) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Window::StaticProc;
        wc.hInstance = module;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = icon;
        wc.hIconSm = icon;
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        if (!::RegisterClassExW(&wc)) {
            return nullptr;
        }
    }
    return ::CreateWindowExW(exStyle, className, title, style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, menu, module,
                             this);
}

Window* Window::FromHandle(HWND hwnd) {
    return static_cast<Window*>(::GetPropW(hwnd, kThisProperty));
}

bool Window::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(hwnd);
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetPropW(hwnd, kThisProperty, self);
    }
    if (!self) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->OnMessage(message, wParam, lParam, result);
    } catch (const MHFX::Exception&) {
        handled = false;
    } catch (...) {
        handled = false;
    }
    if (!handled) {
        result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kThisProperty);
        self->hwnd_ = nullptr;
        self->OnFinalMessage();
    }
    return result;
}

} // namespace Manager
