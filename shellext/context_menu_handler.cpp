#include "shellext/context_menu_handler.h"

#include <shellapi.h>
#include <strsafe.h>

#include <algorithm>

#include "config/localization.h"
#include "document/creation/output_name.h"
#include "foundation/handle.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "foundation/threading/thread.h"
#include "resources/shellext/resource.h"
#include "document/container/document_kind.h"
#include "resources/common/localized_ids.h"
#include "shell/document_creation_thread.h"
#include "shell/menu_bitmaps.h"
#include "views/co_signing_command.h"

using namespace Dossiq::Config;
using namespace Dossiq::Shell;
using namespace Dossiq::Documents;

namespace {

constexpr UINT kTextLength = 512;

struct MenuItem {
    UINT text;
    bool named; // the text takes the base name
    UINT icon;
    CreateMode mode;
};

const MenuItem kItems[] = {
    {IDS_MENU_SIGN_QUICK, true, IDI_MENU_SIGNED, CreateMode::SignQuick},
    {IDS_MENU_SIGN, false, IDI_MENU_SIGNED, CreateMode::Sign},
    {IDS_MENU_PROTECT_QUICK, true, IDI_MENU_PROTECTED, CreateMode::ProtectQuick},
    {IDS_MENU_PROTECT, false, IDI_MENU_PROTECTED, CreateMode::Protect},
};
constexpr UINT kItemCount = 4;

// The folder of a selected item as Explorer names it. The path rules refuse folders of 248
// characters or more, which Explorer still shows and whose items still get the menu.
std::wstring ParentFolder(const std::wstring& name) {
    const size_t root = MHFX::IO::Path::GetRootLength(name);
    const size_t separator = name.find_last_of(L"\\/");
    const size_t end = separator == std::wstring::npos || separator < root ? root : separator;
    return name.substr(0, end);
}

bool SystemDrawsBitmaps() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return ::GetVersionExW(&version) && version.dwMajorVersion >= 6;
}

// A running command keeps the module loaded: the Explorer may let the handler go at once.
class MenuCreationThread : public DocumentCreationThread {
public:
    using DocumentCreationThread::DocumentCreationThread;

private:
    ModuleLock lock_;
};

void StartCreation(const std::vector<std::wstring>& selection, const std::wstring& rootFolder,
                   CreateMode mode) {
    // The thread inherits the module's activation context, which its dialogs need.
    ActivationScope scope;
    MHFX::StartWorker<MenuCreationThread>(selection, rootFolder, std::wstring(), mode);
}

class MenuCoSigningThread : public MHFX::Thread {
public:
    explicit MenuCoSigningThread(std::wstring path) : path_(std::move(path)) { autoDelete_ = true; }

protected:
    DWORD Run() override {
        return Dossiq::Views::CoSigningCommand(path_, nullptr, IDS_SHELL_NAME).Run() ? 0 : 1;
    }

private:
    std::wstring path_;
    ModuleLock lock_;
};

bool HasExtension(const std::wstring& name, DocumentKind kind) {
    const std::wstring extension = L"." + KindExtension(kind);
    return name.size() > extension.size() &&
           ::CompareStringOrdinal(name.c_str() + name.size() - extension.size(), -1,
                                  extension.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace

HRESULT ContextMenuHandler::CreateInstance(REFIID iid, void** result) {
    return Create<ContextMenuHandler>(iid, result);
}

void ContextMenuHandler::ModuleEnding() noexcept {
    ReleaseMenuBitmaps();
}

IFACEMETHODIMP ContextMenuHandler::QueryInterface(REFIID iid, void** result) {
    static const QITAB interfaces[] = {
        QITABENT(ContextMenuHandler, IShellExtInit),
        QITABENT(ContextMenuHandler, IContextMenu),
        QITABENT(ContextMenuHandler, IContextMenu2),
        QITABENT(ContextMenuHandler, IContextMenu3),
        {nullptr, 0},
    };
    return ::QISearch(this, interfaces, iid, result);
}

HRESULT ContextMenuHandler::OnSelection(std::vector<std::wstring> names) {
    // The menu has always read names into a MAX_PATH buffer, which cuts longer ones.
    for (std::wstring& name : names) {
        if (name.size() >= MAX_PATH) {
            name.resize(MAX_PATH - 1);
        }
    }
    // An empty list reads as one empty name on some systems; it names nothing.
    names.erase(std::remove(names.begin(), names.end(), std::wstring()), names.end());
    if (names.empty()) {
        return E_INVALIDARG;
    }
    rootFolder_ = ParentFolder(names.front());
    signatureEnabled_ = names.size() == 1 && HasExtension(names.front(), DocumentKind::Signed);
    offersSignature_ = signatureEnabled_ ||
                       (names.size() == 1 && HasExtension(names.front(), DocumentKind::Protected));
    selection_ = std::move(names);
    useBitmaps_ = SystemDrawsBitmaps();
    return S_OK;
}

IFACEMETHODIMP ContextMenuHandler::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT,
                                                    UINT flags) {
    if (flags & CMF_DEFAULTONLY) {
        return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    }
    return ComBoundary([&] { return BuildMenu(menu, index, firstId); });
}

HRESULT ContextMenuHandler::BuildMenu(HMENU menu, UINT index, UINT firstId) {
    MHFX::MenuHandle popup(::CreatePopupMenu());
    if (!popup) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    const std::wstring baseName = OutputName::BaseName(selection_, rootFolder_);
    for (UINT position = 0; position < kItemCount; ++position) {
        const MenuItem& item = kItems[position];
        const std::wstring format = LoadLocalizedString(item.text);
        wchar_t text[kTextLength] = {};
        if (item.named) {
            ::StringCchPrintfW(text, kTextLength, format.c_str(), baseName.c_str());
        } else {
            ::StringCchCopyW(text, kTextLength, format.c_str());
        }
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_BITMAP;
        info.fType = MFT_STRING;
        info.wID = firstId + position;
        info.dwTypeData = text;
        info.hbmpItem = useBitmaps_ ? MenuBitmap(item.icon) : HBMMENU_CALLBACK;
        if (!::InsertMenuItemW(popup.get(), position, TRUE, &info)) {
            return HRESULT_FROM_WIN32(::GetLastError());
        }
        iconMap_[info.wID] = item.icon;
        commandMap_[position] = item.mode;
    }
    UINT items = kItemCount;
    if (offersSignature_) {
        std::wstring text = LoadLocalizedString(IDS_ADD_SIGNATURE);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_BITMAP | MIIM_STATE;
        info.fType = MFT_STRING;
        info.fState = signatureEnabled_ ? MFS_ENABLED : MFS_DISABLED;
        info.wID = firstId + items;
        info.dwTypeData = text.data();
        info.hbmpItem = useBitmaps_ ? MenuBitmap(IDI_MENU_SIGNED) : HBMMENU_CALLBACK;
        if (!::InsertMenuItemW(popup.get(), items, TRUE, &info)) {
            return HRESULT_FROM_WIN32(::GetLastError());
        }
        iconMap_[info.wID] = IDI_MENU_SIGNED;
        ++items;
    }

    std::wstring product = MHFX::LoadNeutralString(IDS_PRODUCT_NAME);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_BITMAP | MIIM_SUBMENU;
    info.fType = MFT_STRING;
    info.wID = firstId + items;
    info.hSubMenu = popup.get();
    info.dwTypeData = product.data();
    info.hbmpItem = useBitmaps_ ? MenuBitmap(IDI_MENU_PRODUCT) : HBMMENU_CALLBACK;
    if (!::InsertMenuItemW(menu, index, TRUE, &info)) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    popup.release(); // Explorer's menu owns it now
    iconMap_[info.wID] = IDI_MENU_PRODUCT;
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, items + 1);
}

IFACEMETHODIMP ContextMenuHandler::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    try {
        if (info == nullptr || !IS_INTRESOURCE(info->lpVerb)) {
            return S_OK;
        }
        const UINT position = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
        const auto command = commandMap_.find(position);
        if (command != commandMap_.end()) {
            StartCreation(selection_, rootFolder_, command->second);
        } else if (position == kItemCount && signatureEnabled_) {
            ActivationScope scope;
            MHFX::StartWorker<MenuCoSigningThread>(selection_.front());
        }
    } catch (...) {
        // A command that cannot even start has nothing more to report.
    }
    return S_OK;
}

IFACEMETHODIMP ContextMenuHandler::GetCommandString(UINT_PTR position, UINT type, UINT*, CHAR* name,
                                                    UINT length) {
    const bool signature = offersSignature_ && position == kItemCount;
    if (position != 0 && position != 1 && !signature) {
        return E_INVALIDARG;
    }
    return ComBoundary([&] {
        if (type != GCS_HELPTEXTW && type != GCS_HELPTEXTA) {
            return S_OK;
        }
        if (name == nullptr || length == 0) {
            return E_INVALIDARG;
        }
        const std::wstring help = LoadLocalizedString(
            signature ? (signatureEnabled_ ? IDS_ADD_SIGNATURE_HELP : IDS_ADD_SIGNATURE_PROTECTED)
            : position == 0 ? IDS_HELP_SIGN_QUICK
                            : IDS_HELP_SIGN);
        if (type == GCS_HELPTEXTW) {
            ::StringCchCopyW(reinterpret_cast<wchar_t*>(name), length, help.c_str());
        } else {
            const int size =
                ::WideCharToMultiByte(CP_ACP, 0, help.c_str(), -1, nullptr, 0, nullptr, nullptr);
            std::string ansi(size > 0 ? size : 1, '\0');
            ::WideCharToMultiByte(CP_ACP, 0, help.c_str(), -1, ansi.data(), size, nullptr, nullptr);
            ::StringCchCopyA(name, length, ansi.c_str());
        }
        return S_OK;
    });
}

IFACEMETHODIMP ContextMenuHandler::HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) {
    return HandleMenuMsg2(message, wParam, lParam, nullptr);
}

IFACEMETHODIMP ContextMenuHandler::HandleMenuMsg2(UINT message, WPARAM, LPARAM lParam, LRESULT*) {
    try {
        if (message == WM_MEASUREITEM) {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure && measure->CtlType == ODT_MENU) {
                const auto iconSize = static_cast<UINT>(MenuIconSize());
                measure->itemWidth += 2;
                if (measure->itemHeight < iconSize) {
                    measure->itemHeight = iconSize;
                }
            }
        } else if (message == WM_DRAWITEM) {
            auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            if (draw && draw->CtlType == ODT_MENU) {
                const int iconSize = MenuIconSize();
                const auto icon = iconMap_.find(draw->itemID);
                if (icon != iconMap_.end()) {
                    MHFX::IconHandle picture(static_cast<HICON>(
                        ::LoadImageW(Module().Handle(), MAKEINTRESOURCEW(icon->second), IMAGE_ICON,
                                     iconSize, iconSize, LR_DEFAULTCOLOR)));
                    const RECT& r = draw->rcItem;
                    if (picture) {
                        ::DrawIconEx(draw->hDC, r.left - iconSize,
                                     r.top + (r.bottom - r.top - iconSize) / 2, picture.get(),
                                     iconSize, iconSize, 0, nullptr, DI_NORMAL);
                    }
                }
            }
        }
    } catch (...) {
        // Drawing an icon is never worth a failure.
    }
    return S_OK;
}
