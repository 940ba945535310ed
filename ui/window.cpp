#include "ui/window.h"

#include "foundation/exception.h"
#include "foundation/resource_string.h"

namespace Dossiq::Ui {

namespace {
constexpr wchar_t kThisProperty[] = L"Dossiq.Object";
}

void BindObject(HWND hwnd, void* object) {
    if (object) {
        ::SetPropW(hwnd, kThisProperty, object);
    } else {
        ::RemovePropW(hwnd, kThisProperty);
    }
}

void* BoundObject(HWND hwnd) {
    return ::GetPropW(hwnd, kThisProperty);
}

void CenterWindow(HWND window, HWND parent) {
    RECT area;
    if (parent && ::IsWindowVisible(parent) && !::IsIconic(parent)) {
        ::GetWindowRect(parent, &area);
    } else {
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
        area = info.rcWork;
    }
    RECT rect;
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    return static_cast<Window*>(BoundObject(hwnd));
}

bool Window::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(hwnd);
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        BindObject(hwnd, self);
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
        BindObject(hwnd, nullptr);
        self->hwnd_ = nullptr;
        self->OnFinalMessage();
    }
    return result;
}

} // namespace Dossiq::Ui
