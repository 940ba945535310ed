// The pane under the file list (dialog 101): the signature report's picture button and its
// rich-edit box. The box ignores the mouse buttons and always shows the arrow, so its text
// cannot be selected. Commands and notifications of the controls go to the parent.
#pragma once

#include "document/signature_report.h"
#include "manager/dialog.h"

namespace Manager {

class ReportPane : public Dialog {
public:
    HWND Create(HWND parent);
    SignatureReport& Report() { return report_; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    static LRESULT CALLBACK MouseDeafProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR data);

    SignatureReport report_;
};

} // namespace Manager
