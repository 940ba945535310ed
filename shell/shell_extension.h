// A shell extension the Explorer initializes with the selected items: IShellExtInit over
// the class's other interfaces. Initializing loads the preferences and reads the drop list
// of the data object; the class decides whether the selection is one it works on.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "shell/com_object.h"

namespace Dossiq::Shell {

// The names the data object's drop list holds, after the preferences have been loaded;
// E_INVALIDARG when either fails.
HRESULT ReadShellSelection(IDataObject* data, std::vector<std::wstring>& names);

template <typename... Interfaces>
class ShellExtension : public ComObject<IShellExtInit, Interfaces...> {
public:
    // IShellExtInit
    IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
        return ComBoundary(
            [&] {
                std::vector<std::wstring> names;
                const HRESULT hr = ReadShellSelection(data, names);
                return FAILED(hr) ? hr : OnSelection(std::move(names));
            },
            E_INVALIDARG);
    }

protected:
    // The selection, empty names included; S_OK when the extension takes it.
    virtual HRESULT OnSelection(std::vector<std::wstring> names) = 0;
};

} // namespace Dossiq::Shell
