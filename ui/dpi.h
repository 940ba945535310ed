// Pixel sizes of the user interface are given at 96 DPI and scaled to the DPI of the window
// that shows them. Pictures come in a few sizes made for common scales; the one that fits is
// the largest not bigger than the scaled size, so a small picture is never stretched.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace Dossiq::Ui {

constexpr UINT kBaseDpi = 96;

// The DPI `window` is shown at: its own on systems that know per-monitor DPI, else the
// system's.
UINT WindowDpi(HWND window);
// The DPI of the system (the primary monitor's for windows that are not yet placed).
UINT SystemDpi();

inline int Scale(int pixelsAt96, UINT dpi) {
    return ::MulDiv(pixelsAt96, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

// Of the sizes a picture was made in (ascending), the one for `pixelsAt96` at `dpi`: the
// largest not above the scaled size, the smallest when all are above.
int FittingSize(int pixelsAt96, UINT dpi, std::initializer_list<int> made);

// A new font like `control`'s (the default GUI font when it has none) with its height
// scaled from `oldDpi` to `newDpi`; the caller owns it. Null on failure.
HFONT RescaledFont(HWND control, UINT oldDpi, UINT newDpi);

// Moves and sizes the children of `parent` from `oldDpi` to `newDpi` and gives them `font`.
void RescaleChildren(HWND parent, UINT oldDpi, UINT newDpi, HFONT font);

} // namespace Dossiq::Ui
