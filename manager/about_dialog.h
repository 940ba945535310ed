// The About box (dialog 100 in the preference language), modal, centred on its owner.
#pragma once

#include "manager/dialog.h"

namespace Manager {

class AboutDialog : public Dialog {
public:
    // Runs the dialog; -1 when the template is missing.
    INT_PTR Show(HWND owner);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
};

// Centres `window` on `parent` (the screen's work area when there is none).
void CenterWindow(HWND window, HWND parent);

} // namespace Manager
