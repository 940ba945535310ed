#include "common/screenshot.h"

#include <zlib.h>

#include <set>

#include "common/test_support.h"
#include "foundation/handle.h"

namespace TestSupport {

namespace {

void AppendBigEndian(std::string& out, uLong value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    AppendBigEndian(png, static_cast<uLong>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    AppendBigEndian(png, ::crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                 static_cast<uInt>(body.size())));
}

} // namespace

Picture Capture(HWND window) {
    RECT rect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (window != nullptr) {
        ::GetWindowRect(window, &rect);
    }
    Picture picture;
    picture.width = rect.right - rect.left;
    picture.height = rect.bottom - rect.top;
    if (picture.width <= 0 || picture.height <= 0) {
        return {};
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    MHFX::BitmapHandle bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        const HGDIOBJ old = ::SelectObject(memory, bitmap.get());
        ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, rect.left, rect.top,
                 SRCCOPY);
        ::GdiFlush();
        const BYTE* pixels = static_cast<const BYTE*>(bits);
        picture.bgra.assign(pixels, pixels + picture.width * picture.height * 4);
        ::SelectObject(memory, old);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return picture;
}

size_t DistinctColours(const Picture& picture) {
    std::set<UINT32> colours;
    for (size_t i = 0; i + 3 < picture.bgra.size(); i += 4) {
        colours.insert(picture.bgra[i] | picture.bgra[i + 1] << 8 | picture.bgra[i + 2] << 16);
    }
    return colours.size();
}

void SavePng(const Picture& picture, const std::wstring& path) {
    std::string raw;
    raw.reserve(static_cast<size_t>(picture.height) * (picture.width * 3 + 1));
    for (int y = 0; y < picture.height; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < picture.width; ++x) {
            const BYTE* p = &picture.bgra[(static_cast<size_t>(y) * picture.width + x) * 4];
            raw += static_cast<char>(p[2]);
            raw += static_cast<char>(p[1]);
            raw += static_cast<char>(p[0]);
        }
    }
    uLongf size = ::compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    ::compress(reinterpret_cast<Bytef*>(packed.data()), &size,
               reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);

    std::string header;
    AppendBigEndian(header, static_cast<uLong>(picture.width));
    AppendBigEndian(header, static_cast<uLong>(picture.height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", "");
    WriteFileBytes(path, png);
}

std::wstring ScreenshotFolder() {
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program);
    folder = folder.substr(0, folder.find_last_of(L'\\')) + L"\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void SaveScreenshot(HWND window, const std::wstring& name) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    MSG message;
    while (::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        ::DispatchMessageW(&message);
    }
    ::GdiFlush();
    // A window of another thread paints when that thread gets to it.
    const bool own = window == nullptr || ::GetWindowThreadProcessId(window, nullptr) ==
                                              ::GetCurrentThreadId();
    ::Sleep(own ? 100 : 400);
    SavePng(Capture(window), ScreenshotFolder() + L"\\" + name + L".png");
}

} // namespace TestSupport
