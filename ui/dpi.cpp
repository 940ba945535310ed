#include "ui/dpi.h"

namespace Dossiq::Ui {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Looked up by name: the program still starts on systems that predate it.
GetDpiForWindowFunction DpiForWindow() {
    static const auto function = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return function;
}

} // namespace

UINT SystemDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT WindowDpi(HWND window) {
    const GetDpiForWindowFunction function = DpiForWindow();
    const UINT dpi = function && window ? function(window) : 0;
    return dpi ? dpi : SystemDpi();
}

int FittingSize(int pixelsAt96, UINT dpi, std::initializer_list<int> made) {
    const int wanted = Scale(pixelsAt96, dpi);
    int fitting = 0;
    for (int size : made) {
        if (fitting == 0 || size <= wanted) {
            fitting = size;
        }
    }
    return fitting;
}

HFONT RescaledFont(HWND control, UINT oldDpi, UINT newDpi) {
    auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    if (!font) {
        font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    }
    LOGFONTW description = {};
    if (!::GetObjectW(font, sizeof(description), &description)) {
        return nullptr;
    }
    description.lfHeight =
        ::MulDiv(description.lfHeight, static_cast<int>(newDpi), static_cast<int>(oldDpi));
    description.lfWidth = 0;
    return ::CreateFontIndirectW(&description);
}

void RescaleChildren(HWND parent, UINT oldDpi, UINT newDpi, HFONT font) {
    const auto rescale = [&](LONG value) {
        return ::MulDiv(value, static_cast<int>(newDpi), static_cast<int>(oldDpi));
    };
    for (HWND child = ::GetWindow(parent, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        ::SetWindowPos(child, nullptr, rescale(rect.left), rescale(rect.top),
                       rescale(rect.right - rect.left), rescale(rect.bottom - rect.top),
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (font) {
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
    }
}

} // namespace Dossiq::Ui
