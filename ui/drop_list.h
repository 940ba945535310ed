// The one reader of a drop list (CF_HDROP): the names as the list holds them, in order,
// empty ones included, so that each caller decides what a list must look like.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace Dossiq::Ui {

std::vector<std::wstring> ReadDropList(HDROP drop);

// The drop list a data object carries; E_INVALIDARG when it carries none that can be read.
HRESULT ReadDropList(IDataObject* data, std::vector<std::wstring>& names);

} // namespace Dossiq::Ui
