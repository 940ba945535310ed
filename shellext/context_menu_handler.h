// The context-menu extension: a "Dossiq" submenu with the four create commands for the
// selected files and folders. A chosen command runs on a creation thread of its own.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "document/creation/create_mode.h"
#include "shell/shell_extension.h"

class ContextMenuHandler : public Dossiq::Shell::ShellExtension<IContextMenu3> {
public:
    static HRESULT CreateInstance(REFIID iid, void** result);
    static void ModuleEnding() noexcept;

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override;

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

private:
    friend class ComObject;
    ContextMenuHandler() = default;
    ~ContextMenuHandler() override = default;

    HRESULT OnSelection(std::vector<std::wstring> names) override;
    HRESULT BuildMenu(HMENU menu, UINT index, UINT firstId);

    bool useBitmaps_ = false;
    std::wstring rootFolder_;
    std::vector<std::wstring> selection_;
    std::map<UINT, UINT> iconMap_; // menu command id -> icon resource id
    std::map<UINT, Dossiq::Documents::CreateMode>
        commandMap_; // submenu position -> creation command
    // Of one selected Signed Document the submenu offers to add the user's signature; of a
    // Protected Document it shows the command disabled, its help saying why.
    bool offersSignature_ = false;
    bool signatureEnabled_ = false;
};
