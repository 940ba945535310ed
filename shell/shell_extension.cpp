#include "shell/shell_extension.h"

#include "config/preferences.h"
#include "ui/drop_list.h"

using namespace Dossiq::Config;

namespace Dossiq::Shell {

HRESULT ReadShellSelection(IDataObject* data, std::vector<std::wstring>& names) {
    names.clear();
    if (data == nullptr || !Preferences::Instance().Load()) {
        return E_INVALIDARG;
    }
    return FAILED(Ui::ReadDropList(data, names)) ? E_INVALIDARG : S_OK;
}

} // namespace Dossiq::Shell
