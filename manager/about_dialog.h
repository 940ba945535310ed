// The About box (dialog 100 in the preference language), modal, centred on its owner.
#pragma once

#include "ui/dialog.h"
#include "ui/window.h"

namespace Dossiq::Manager {

class AboutDialog : public Ui::Dialog {
public:
    // Runs the dialog; -1 when the template is missing.
    INT_PTR Show(HWND owner);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
};

using Ui::CenterWindow;

} // namespace Dossiq::Manager
