#include "manager/splitter.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "ui/dpi.h"

namespace Dossiq::Manager {

HWND Splitter::Create(HWND parent, const RECT& rect) {
    bar_ = std::max(4, ::GetSystemMetrics(SM_CYSIZEFRAME));
    return Window::Create(L"Dossiq.Splitter", parent, L"",
                          WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, rect,
                          nullptr, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
}

void Splitter::SetDpi(UINT dpi) {
    bar_ = std::max(Ui::Scale(4, dpi), ::GetSystemMetrics(SM_CYSIZEFRAME));
    Layout();
}

void Splitter::SetPanes(HWND top, HWND bottom) {
    top_ = top;
    bottom_ = bottom;
    Layout();
}

int Splitter::Available() const {
    RECT rect = {};
    ::GetClientRect(Handle(), &rect);
    return std::max(0, static_cast<int>(rect.bottom) - bar_);
}

int Splitter::Clamp(int position) const {
    const int available = Available();
    if (available >= 2 * minPane_) {
        position = std::clamp(position, minPane_, available - minPane_);
    }
    return std::clamp(position, 0, available);
}

void Splitter::SetSplitterPos(int position) {
    position_ = Clamp(position);
    const int available = Available();
    proportion_ = available > 0 ? static_cast<double>(position_) / available : -1.0;
    Layout();
}

void Splitter::Layout() {
    if (!Handle()) {
        return;
    }
    RECT rect;
    ::GetClientRect(Handle(), &rect);
    if (position_ < 0) {
        position_ = Clamp(Available() / 2);
    }
    const int width = rect.right;
    const int bottomTop = position_ + bar_;
    if (top_) {
        ::MoveWindow(top_, 0, 0, width, position_, TRUE);
    }
    if (bottom_) {
        ::MoveWindow(bottom_, 0, bottomTop, width,
                     std::max(0, static_cast<int>(rect.bottom) - bottomTop), TRUE);
    }
    RECT barRect = {0, position_, width, bottomTop};
    ::InvalidateRect(Handle(), &barRect, TRUE);
}

void Splitter::MoveBar(int y) {
    const int available = Available();
    position_ = Clamp(y);
    proportion_ = available > 0 ? static_cast<double>(position_) / available : -1.0;
    Layout();
}

bool Splitter::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SIZE:
        if (proportion_ >= 0.0) {
            position_ = Clamp(static_cast<int>(std::lround(proportion_ * Available())));
        }
        Layout();
        return true;
    case WM_COMMAND:
    case WM_NOTIFY:
        result = ::SendMessageW(::GetParent(Handle()), message, wParam, lParam);
        return true;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Handle(), &paint);
        RECT rect;
        ::GetClientRect(Handle(), &rect);
        RECT barRect = {0, position_, rect.right, position_ + bar_};
        ::FillRect(dc, &barRect, ::GetSysColorBrush(COLOR_BTNFACE));
        ::EndPaint(Handle(), &paint);
        return true;
    }
    case WM_SETCURSOR:
        if (draggable_ && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_SIZENS));
            result = TRUE;
            return true;
        }
        return false;
    case WM_LBUTTONDOWN:
        if (draggable_) {
            dragging_ = true;
            ::SetCapture(Handle());
        }
        return true;
    case WM_MOUSEMOVE:
        if (dragging_) {
            MoveBar(GET_Y_LPARAM(lParam));
        }
        return true;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (dragging_) {
            dragging_ = false;
            if (message == WM_LBUTTONUP) {
                ::ReleaseCapture();
            }
        }
        return true;
    default:
        return false;
    }
}

} // namespace Dossiq::Manager
