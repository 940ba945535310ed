// The choice of recipients in the Explorer command: the candidates in a list with check
// boxes, narrowed to those whose name or e-mail address holds what is typed in the search
// box (any case; what was checked stays checked while hidden), and "Also for me". OK needs a
// recipient (or "Also for me") and no more than an envelope takes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "certificates/x509_certificate.h"
#include "ui/dialog.h"

namespace Dossiq::Views {

class RecipientChoiceDialog : public Ui::Dialog {
public:
    RecipientChoiceDialog(
        const std::vector<MHFX::Security::Cryptography::X509::X509Certificate>& candidates,
        bool forMe);

    // True when the user chose with OK; false on Cancel or when the dialog cannot be shown.
    bool Ask(HWND owner);
    // The checked candidates, in the order offered.
    std::vector<MHFX::Security::Cryptography::X509::X509Certificate> Chosen() const;
    bool ForMe() const { return forMe_; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    struct Row {
        MHFX::Security::Cryptography::X509::X509Certificate certificate;
        std::wstring name, email, validTo;
        bool checked = false;
    };

    void Initialize();
    // Lists the rows the search text matches.
    void Fill();
    void OnItemChanged(const NMLISTVIEW& change);
    void UpdateOk();

    std::vector<Row> rows_;
    bool forMe_;
    bool filling_ = false;
};

} // namespace Dossiq::Views
