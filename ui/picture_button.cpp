#include "ui/picture_button.h"

PictureButton::~PictureButton() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::RemoveWindowSubclass(hwnd_, &PictureButton::SubclassProc, 0);
    }
}

void PictureButton::Attach(HWND button, HIMAGELIST images) {
    hwnd_ = button;
    imageList_ = images;
    const LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
    ::SetWindowLongPtrW(button, GWL_STYLE,
                        (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    ::SetWindowSubclass(button, &PictureButton::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void PictureButton::SetImages(int normal, int pushed, int hover, int disabled) {
    images_[Normal] = normal;
    images_[Pushed] = pushed;
    images_[Hover] = hover;
    images_[Disabled] = disabled;
}

void PictureButton::SetEffects(DWORD effects) {
    effects_ = effects;
    if (!(effects_ & HoverTracking)) {
        hot_ = false;
    }
}

int PictureButton::CurrentImage() const {
    if (hwnd_ && !::IsWindowEnabled(hwnd_)) {
        return images_[Disabled];
    }
    if (pushed_) {
        return images_[Pushed];
    }
    if (hot_ && (effects_ & HoverTracking)) {
        return images_[Hover];
    }
    return images_[Normal];
}

void PictureButton::SizeToImage() {
    int cx = 0, cy = 0;
    if (!hwnd_ || !::ImageList_GetIconSize(imageList_, &cx, &cy)) {
        return;
    }
    ::SetWindowPos(hwnd_, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    ::UpdateWindow(hwnd_);
}

void PictureButton::Draw(const DRAWITEMSTRUCT& item) const {
    const HDC dc = item.hDC;
    const RECT rect = item.rcItem;
    ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    int image = CurrentImage();
    if (pushed && ::IsWindowEnabled(hwnd_)) {
        image = images_[Pushed];
    }
    if (image >= 0 && imageList_) {
        ::ImageList_Draw(imageList_, image, dc, rect.left, rect.top, ILD_TRANSPARENT);
    }
    // The focus is always shown, so that a keyboard user sees where it is.
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        ::InflateRect(&focus, -2, -2);
        ::DrawFocusRect(dc, &focus);
    }
    if (effects_ & Frame3D) {
        RECT frame = rect;
        if (pushed) {
            ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
        } else if (hot_) {
            ::DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
        }
    }
}

void PictureButton::SetHot(bool hot) {
    if (hot_ != hot) {
        hot_ = hot;
        ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

LRESULT CALLBACK PictureButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<PictureButton*>(data);
    switch (message) {
    case WM_MOUSEMOVE:
        if ((self->effects_ & HoverTracking) && !self->hot_) {
            TRACKMOUSEEVENT track = {};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd;
            ::TrackMouseEvent(&track);
            self->SetHot(true);
        }
        break;
    case WM_MOUSELEAVE:
        self->SetHot(false);
        break;
    case BM_SETSTATE:
        self->pushed_ = wParam != 0;
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, &PictureButton::SubclassProc, 0);
        self->hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
