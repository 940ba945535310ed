// A toolbar built from a toolbar resource (version, button size, count, then one command id
// per button, 0 for a separator) and the bitmap of the same id.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace Dossiq::Manager {

constexpr WORD kToolbarResourceType = 241;

struct ToolbarLayout {
    int buttonWidth = 0;
    int buttonHeight = 0;
    std::vector<UINT> commands; // 0 for a separator
};

// The layout of toolbar resource `id` in `module`; empty when missing or malformed.
ToolbarLayout LoadToolbarLayout(HMODULE module, UINT id);

// The toolbar resource for the system: the classic one before Windows XP.
UINT ToolbarResourceFor(DWORD major, DWORD minor, UINT modern, UINT classic);

class Toolbar {
public:
    Toolbar() = default;
    Toolbar(const Toolbar&) = delete;
    Toolbar& operator=(const Toolbar&) = delete;
    ~Toolbar();

    // A flat toolbar with tooltips whose first button is a separator; null on failure. A
    // toolbar made before is destroyed.
    // `alphaImages`: 32-bit images with alpha, in the size made for `dpi`; otherwise 24-bit
    // with magenta as transparent, in the resource's size only.
    HWND Create(HWND parent, UINT resourceId, bool alphaImages, UINT dpi = 96);
    HWND Handle() const { return hwnd_; }
    // The size of the button images in pixels.
    int ImageSize() const { return imageSize_; }

    // The tooltip of a command: the text after the first line feed of its string, at most
    // 79 characters; empty without a line feed.
    static std::wstring TooltipText(const std::wstring& commandString);

private:
    HWND hwnd_ = nullptr;
    void Destroy();

    HIMAGELIST images_ = nullptr;
    int imageSize_ = 0;
};

} // namespace Dossiq::Manager
