// File-drop lists (CF_HDROP) as the shell hands them over: in global memory for
// WM_DROPFILES, or offered by a data object to a shell extension.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "foundation/com_ptr.h"

namespace TestSupport {

// A DROPFILES header followed by the wide paths, each ending in a null, and a final null
// (an empty list is that null alone, twice, so a reader looking one past the end finds it).
std::vector<BYTE> DropFilesBytes(const std::vector<std::wstring>& paths);
// The list in movable global memory, owned by whoever it is handed to.
HGLOBAL DropFilesGlobal(const std::vector<std::wstring>& paths);
// A data object offering exactly one format, CF_HDROP in global memory, listing `paths`.
MHFX::ComPtr<IDataObject> DropDataObject(const std::vector<std::wstring>& paths);
// A data object that offers nothing.
MHFX::ComPtr<IDataObject> EmptyDataObject();

} // namespace TestSupport
