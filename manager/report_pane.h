// The pane under the file list (dialog 101): the signature report's picture button and its
// rich-edit box. The box ignores the mouse buttons and always shows the arrow, so its text
// cannot be selected. Commands and notifications of the controls go to the parent.
#pragma once

#include "document/report/signature_report.h"
#include "ui/dialog.h"

namespace Manager {

class ReportPane : public Ui::Dialog {
public:
    HWND Create(HWND parent);
    SignatureReport& Report() { return report_; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    SignatureReport report_;
};

} // namespace Manager
