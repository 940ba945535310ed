// The pane under the file list (dialog 101): the signature report's picture button, its
// rich-edit box and, under them, the details box that fills the rest of the pane when a
// report has details. The box ignores the mouse buttons and always shows the arrow, so its text
// cannot be selected. Commands and notifications of the controls go to the parent.
#pragma once

#include "document/report/signature_report.h"
#include "ui/dialog.h"

namespace Manager {

class ReportPane : public Ui::Dialog {
public:
    HWND Create(HWND parent);
    SignatureReport& Report() { return report_; }
    // Shows the details (hidden when there are none); true when the box is shown.
    bool ShowDetails(const std::vector<ReportDetail>& details);
    HWND DetailsBox() const;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Layout();

    SignatureReport report_;
};

} // namespace Manager
