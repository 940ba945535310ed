// The modal progress dialog of the archive writer and reader (template 501): the archive
// calls it as its progress interface on the working thread, and it updates its controls
// on the dialog's own thread by direct window calls.
#pragma once

#include "ui/modal_dialog_thread.h"
#include "zip/zip_action_callback.h"

namespace Dossiq::Views {

class ArchiveProgressDialog : public Ui::ModalDialogThread, public CZipActionCallback {
public:
    // `compressing` selects the title: "Compressing file(s)..." or "Uncompressing file(s)...".
    explicit ArchiveProgressDialog(bool compressing);

    void Init(const std::wstring& fileInZip, const std::wstring& externalFile) override;
    void SetTotal(uint64_t total) override;
    bool OnProgress(uint64_t amount) override;

protected:
    void OnInitDialog(HWND dialog) override;

private:
    bool compressing_;
    uint64_t done_ = 0;
    uint64_t scale_ = 1; // the bar's range is 32-bit: larger totals are shown scaled down
};

} // namespace Dossiq::Views
