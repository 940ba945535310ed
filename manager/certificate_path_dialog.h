// The signer's certificate path (dialog 102 in the preference language): a small tree with
// the root at the top and the signer at the bottom, the status of the chosen certificate
// below it, and the system's certificate view for it. Everything comes from the report.
#pragma once

#include <string>

#include "document/report/validation_report.h"
#include "ui/dialog.h"

namespace Dossiq::Manager {

class CertificatePathDialog : public Ui::Dialog {
public:
    // The chain of the one signature the window shows.
    explicit CertificatePathDialog(const Dossiq::Documents::SignatureFacts& signature)
        : signature_(signature) {}

    // Runs the dialog; -1 when the template is missing.
    INT_PTR Show(HWND owner);

    // Root first, signer last: each element's name and its status in words.
    struct Row {
        std::wstring name;
        std::wstring status;
        bool problem = false;
    };
    static std::vector<Row> RowsOf(const Dossiq::Documents::SignatureFacts& signature);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void OnInitDialog();
    int SelectedRow() const;
    void ShowStatus();
    void OnView();

    const Dossiq::Documents::SignatureFacts& signature_;
    std::vector<Row> rows_;
};

} // namespace Dossiq::Manager
