// Read-only boxes that take no mouse input: their text can be neither clicked nor selected,
// and the cursor stays an arrow over them. The subclass removes itself when the box goes.
#pragma once

#include <windows.h>

namespace Dossiq::Ui {

// Subclasses `control` (nothing for null or a control already made mouse-deaf).
void MakeMouseDeaf(HWND control);

} // namespace Dossiq::Ui
