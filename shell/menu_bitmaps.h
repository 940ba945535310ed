// Menu item pictures made from the module's icons: 32-bit bitmaps with alpha drawn through
// buffered painting, one per icon for the module's whole life.
#pragma once

#include <windows.h>

namespace Dossiq::Shell {

// The size of the menu icons: the largest made (16, 20, 24, 32) that fits the system's
// small-icon size, which follows the display's scale.
int MenuIconSize();

// The bitmap for icon `iconId`, made on first request; null when the icon cannot be loaded
// or buffered painting is not at hand. The bitmap stays owned by the map. Any thread may
// ask; all get the same bitmap for an icon.
HBITMAP MenuBitmap(UINT iconId);

// Deletes every bitmap made so far (the module ends).
void ReleaseMenuBitmaps() noexcept;

} // namespace Dossiq::Shell
