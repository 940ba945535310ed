#include "manager/toolbar.h"

#include "foundation/resource_string.h"
#include "resources/manager/resource.h"
#include "ui/dpi.h"

namespace Dossiq::Manager {

ToolbarLayout LoadToolbarLayout(HMODULE module, UINT id) {
    ToolbarLayout layout;
    HRSRC found =
        ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kToolbarResourceType));
    if (!found) {
        return layout;
    }
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* words = static_cast<const WORD*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!words || size < 8 || words[0] != 1) {
        return layout;
    }
    const WORD count = words[3];
    if (size < 8u + 2u * count) {
        return layout;
    }
    layout.buttonWidth = words[1];
    layout.buttonHeight = words[2];
    layout.commands.assign(words + 4, words + 4 + count);
    return layout;
}

UINT ToolbarResourceFor(DWORD major, DWORD minor, UINT modern, UINT classic) {
    return (major < 5 || (major == 5 && minor == 0)) ? classic : modern;
}

Toolbar::~Toolbar() {
    Destroy();
}

void Toolbar::Destroy() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
    if (images_) {
        ::ImageList_Destroy(images_);
        images_ = nullptr;
    }
}

HWND Toolbar::Create(HWND parent, UINT resourceId, bool alphaImages, UINT dpi) {
    Destroy();
    const HMODULE module = MHFX::CurrentModule();
    ToolbarLayout layout = LoadToolbarLayout(module, resourceId);
    if (layout.commands.empty()) {
        return nullptr;
    }
    // The images drawn for the scale, never the resource's own stretched.
    UINT bitmapId = resourceId;
    if (alphaImages && layout.buttonWidth == 32) {
        const struct {
            int size;
            UINT bitmap;
        } sizes[] = {{40, IDB_TOOLBAR_40}, {48, IDB_TOOLBAR_48}, {64, IDB_TOOLBAR_64}};
        const int fitting = Ui::FittingSize(layout.buttonWidth, dpi, {32, 40, 48, 64});
        for (const auto& size : sizes) {
            if (size.size == fitting) {
                bitmapId = size.bitmap;
                layout.buttonWidth = layout.buttonHeight = size.size;
            }
        }
    }
    imageSize_ = layout.buttonWidth;
    hwnd_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                  TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP,
                              0, 0, 0, 0, parent, nullptr, module, nullptr);
    if (!hwnd_) {
        return nullptr;
    }
    ::SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    HBITMAP bitmap =
        static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0,
                                          alphaImages ? LR_CREATEDIBSECTION : 0));
    if (bitmap) {
        images_ = ::ImageList_Create(layout.buttonWidth, layout.buttonHeight,
                                     alphaImages ? ILC_COLOR32 : (ILC_COLOR24 | ILC_MASK), 8, 0);
        if (alphaImages) {
            ::ImageList_Add(images_, bitmap, nullptr);
        } else {
            ::ImageList_AddMasked(images_, bitmap, RGB(255, 0, 255));
        }
        ::DeleteObject(bitmap);
        ::SendMessageW(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    }
    ::SendMessageW(hwnd_, TB_SETBITMAPSIZE, 0, MAKELPARAM(layout.buttonWidth, layout.buttonHeight));

    std::vector<TBBUTTON> buttons;
    buttons.push_back({0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0});
    int image = 0;
    for (UINT command : layout.commands) {
        TBBUTTON button = {};
        if (command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = static_cast<int>(command);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    ::SendMessageW(hwnd_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(hwnd_, TB_AUTOSIZE, 0, 0);
    return hwnd_;
}

std::wstring Toolbar::TooltipText(const std::wstring& commandString) {
    const size_t lineFeed = commandString.find(L'\n');
    if (lineFeed == std::wstring::npos) {
        return {};
    }
    return commandString.substr(lineFeed + 1, 79);
}

} // namespace Dossiq::Manager
