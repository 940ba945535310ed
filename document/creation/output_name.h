// Where a quick creation command writes its container: beside the selection under a name
// made from it, the name its menu item shows. Commands with options ask their host
// (SaveAsDialog).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "document/creation/create_mode.h"

namespace Dossiq::Documents {

class OutputName {
public:
    // One item: its last path component up to the last dot (all of it without a dot).
    // Several: the root folder's last component, empty at a drive root.
    static std::wstring BaseName(const std::vector<std::wstring>& selection,
                                 const std::wstring& rootFolder);

    // The root folder, a separator unless it already ends with one (or a colon), the base
    // name, a dot and the mode's extension. Empty for a mode outside 1 to 6.
    static std::wstring QuickPath(const std::vector<std::wstring>& selection,
                                  const std::wstring& rootFolder, CreateMode mode);
};

} // namespace Dossiq::Documents
