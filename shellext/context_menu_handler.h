// The context-menu extension: a "Dossiq" submenu with the four create commands for the
// selected files and folders. A chosen command runs on a creation thread of its own.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "document/create_mode.h"
#include "shellext/shell_module.h"

class ContextMenuHandler : public IShellExtInit, public IContextMenu3 {
public:
    static HRESULT CreateInstance(REFIID iid, void** result);
    static void ModuleEnding() noexcept;

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY key) override;

    // IContextMenu
    IFACEMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId,
                                    UINT flags) override;
    IFACEMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    IFACEMETHODIMP GetCommandString(UINT_PTR position, UINT type, UINT* reserved, CHAR* name,
                                    UINT length) override;
    // IContextMenu2
    IFACEMETHODIMP HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) override;
    // IContextMenu3
    IFACEMETHODIMP HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM lParam,
                                  LRESULT* result) override;

    // The name the quick commands give the output: the one item's name without its
    // extension, or the root folder's name for several items (empty at a drive root).
    static std::wstring BaseName(const std::vector<std::wstring>& selection,
                                 const std::wstring& rootFolder);

private:
    ContextMenuHandler() = default;
    virtual ~ContextMenuHandler() = default;

    HRESULT InitializeFrom(IDataObject* data);
    HRESULT BuildMenu(HMENU menu, UINT index, UINT firstId);

    ModuleLock moduleLock_;
    volatile LONG references_ = 1;
    bool useBitmaps_ = false;
    std::wstring rootFolder_;
    std::vector<std::wstring> selection_;
    std::map<UINT, UINT> iconMap_;          // menu command id -> icon resource id
    std::map<UINT, CreateMode> commandMap_; // submenu position -> creation command
};
