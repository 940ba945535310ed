// The server's COM classes hold the module lock while they live.
#pragma once

#include "shell/shell_module.h"
#include "ui/com_object.h"

namespace Dossiq::Shell {

template <typename... Interfaces> using ComObject = Ui::ComObject<ModuleLock, Interfaces...>;
using Ui::ComBoundary;

} // namespace Dossiq::Shell
