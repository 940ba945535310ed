// Pictures of what the screen shows, saved as PNG files to look at after a run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TestSupport {

// 32-bit pixels, top row first, blue-green-red-unused per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<BYTE> bgra;
};

// What the screen shows inside `window` (the whole screen for null) now.
Picture Capture(HWND window);
// How many different colours the picture holds (a blank window has one or two).
size_t DistinctColours(const Picture& picture);
void SavePng(const Picture& picture, const std::wstring& path);

// Lets `window` paint itself (only painting: the pictured state does not move on) and saves
// it as screenshots\<name>.png beside the test program.
void SaveScreenshot(HWND window, const std::wstring& name);
// The folder SaveScreenshot writes to, created on first use.
std::wstring ScreenshotFolder();

} // namespace TestSupport
