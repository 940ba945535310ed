// Where a creation command with options writes its container: wherever the user says.
#pragma once

#include <windows.h>

#include <string>

#include "document/creation/create_mode.h"

namespace Dossiq::Shell {

class SaveAsDialog {
public:
    // The Save As dialog for the mode's kind: one filter, the kind's extension added to a
    // name typed without one, a prompt before replacing a file. Empty when cancelled.
    static std::wstring Ask(Documents::CreateMode mode, HWND owner);
};

} // namespace Dossiq::Shell
