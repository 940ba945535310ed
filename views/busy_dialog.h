// The modal "please wait" dialog with a marquee bar (template 503) shown while an archive
// is signed or encrypted.
#pragma once

#include "ui/modal_dialog_thread.h"

namespace Dossiq::Views {

class BusyDialog : public Ui::ModalDialogThread {
public:
    // String ids (per-language table) of the window title and of the description line.
    BusyDialog(UINT titleId, UINT descriptionId);

protected:
    void OnInitDialog(HWND dialog) override;

private:
    UINT titleId_;
    UINT descriptionId_;
};

} // namespace Dossiq::Views
