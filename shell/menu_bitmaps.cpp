#include "shell/menu_bitmaps.h"

#include <uxtheme.h>

#include <map>
#include <new>
#include <vector>

#include "foundation/handle.h"
#include "foundation/resource_string.h"
#include "ui/dpi.h"

namespace Dossiq::Shell {

namespace {

using BeginBufferedPaintFunction = HPAINTBUFFER(WINAPI*)(HDC, const RECT*, BP_BUFFERFORMAT,
                                                         BP_PAINTPARAMS*, HDC*);
using EndBufferedPaintFunction = HRESULT(WINAPI*)(HPAINTBUFFER, BOOL);
using GetBufferedPaintBitsFunction = HRESULT(WINAPI*)(HPAINTBUFFER, RGBQUAD**, int*);

struct BufferedPaint {
    BeginBufferedPaintFunction begin = nullptr;
    EndBufferedPaintFunction end = nullptr;
    GetBufferedPaintBitsFunction bits = nullptr;
};

// Only when the theme library is already in the process: it is not loaded for this.
bool FindBufferedPaint(BufferedPaint& paint) {
    const HMODULE theme = ::GetModuleHandleW(L"uxtheme.dll");
    if (theme == nullptr) {
        return false;
    }
    paint.begin = reinterpret_cast<BeginBufferedPaintFunction>(
        reinterpret_cast<void*>(::GetProcAddress(theme, "BeginBufferedPaint")));
    paint.end = reinterpret_cast<EndBufferedPaintFunction>(
        reinterpret_cast<void*>(::GetProcAddress(theme, "EndBufferedPaint")));
    paint.bits = reinterpret_cast<GetBufferedPaintBitsFunction>(
        reinterpret_cast<void*>(::GetProcAddress(theme, "GetBufferedPaintBits")));
    return paint.begin && paint.end && paint.bits;
}

// Explorer calls in from the threads of all its windows. The lock is static data, ready
// before any thread runs, and a bitmap is made under it, so each icon gets exactly one.
SRWLOCK g_lock = SRWLOCK_INIT;

std::map<UINT, HBITMAP>& Bitmaps() {
    static std::map<UINT, HBITMAP> bitmaps;
    return bitmaps;
}

class ExclusiveLock {
public:
    ExclusiveLock() noexcept { ::AcquireSRWLockExclusive(&g_lock); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&g_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

bool HasAlpha(const RGBQUAD* pixels, int width, int height, int rowWidth) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (pixels[y * rowWidth + x].rgbReserved != 0) {
                return true;
            }
        }
    }
    return false;
}

// Icons without alpha (old formats) get it from their mask: opaque where the mask is clear.
void AlphaFromMask(HDC dc, HICON icon, RGBQUAD* pixels, int width, int height, int rowWidth) {
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info)) {
        return;
    }
    MHFX::BitmapHandle mask(info.hbmMask);
    MHFX::BitmapHandle color(info.hbmColor);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> maskPixels(static_cast<std::size_t>(width) * height);
    if (!mask || ::GetDIBits(dc, mask.get(), 0, height, maskPixels.data(), &header,
                             DIB_RGB_COLORS) != height) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            RGBQUAD& pixel = pixels[y * rowWidth + x];
            const RGBQUAD& m = maskPixels[y * width + x];
            if (m.rgbRed || m.rgbGreen || m.rgbBlue) {
                pixel = RGBQUAD{0, 0, 0, 0};
            } else {
                pixel.rgbReserved = 0xFF;
            }
        }
    }
}

HBITMAP MakeBitmap(UINT iconId) {
    const int width = ::GetSystemMetrics(SM_CXSMICON);
    const int height = ::GetSystemMetrics(SM_CYSMICON);
    const int size = MenuIconSize();
    MHFX::IconHandle icon(static_cast<HICON>(::LoadImageW(
        MHFX::CurrentModule(), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    BufferedPaint paint;
    if (!icon || !FindBufferedPaint(paint)) {
        return nullptr;
    }

    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height; // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    MHFX::BitmapHandle bitmap(
        ::CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool drawn = false;
    if (dc && bitmap) {
        const HGDIOBJ old = ::SelectObject(dc, bitmap.get());
        const RECT rect = {0, 0, width, height};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        BP_PAINTPARAMS params = {sizeof(params), BPPF_ERASE, nullptr, &blend};
        HDC bufferDc = nullptr;
        const HPAINTBUFFER buffer = paint.begin(dc, &rect, BPBF_DIB, &params, &bufferDc);
        if (buffer) {
            drawn = ::DrawIconEx(bufferDc, (width - size) / 2, (height - size) / 2, icon.get(),
                                 size, size, 0, nullptr, DI_NORMAL) != FALSE;
            RGBQUAD* pixels = nullptr;
            int rowWidth = 0;
            if (drawn && SUCCEEDED(paint.bits(buffer, &pixels, &rowWidth)) &&
                !HasAlpha(pixels, width, height, rowWidth)) {
                AlphaFromMask(dc, icon.get(), pixels, width, height, rowWidth);
            }
            paint.end(buffer, TRUE);
        }
        ::SelectObject(dc, old);
    }
    if (dc) {
        ::DeleteDC(dc);
    }
    ::ReleaseDC(nullptr, screen);
    return drawn ? bitmap.release() : nullptr;
}

} // namespace

int MenuIconSize() {
    return Ui::FittingSize(::GetSystemMetrics(SM_CXSMICON), Ui::kBaseDpi, {16, 20, 24, 32});
}

HBITMAP MenuBitmap(UINT iconId) {
    const ExclusiveLock lock;
    auto& bitmaps = Bitmaps();
    const auto found = bitmaps.find(iconId);
    if (found != bitmaps.end()) {
        return found->second;
    }
    const HBITMAP bitmap = MakeBitmap(iconId);
    if (bitmap) {
        try {
            bitmaps.emplace(iconId, bitmap);
        } catch (const std::bad_alloc&) {
            ::DeleteObject(bitmap);
            return nullptr;
        }
    }
    return bitmap;
}

void ReleaseMenuBitmaps() noexcept {
    const ExclusiveLock lock;
    for (auto& [id, bitmap] : Bitmaps()) {
        ::DeleteObject(bitmap);
    }
    Bitmaps().clear();
}

} // namespace Dossiq::Shell
